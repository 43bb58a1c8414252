#!/usr/bin/env python3
"""The timeline editor's page in a real browser (headless chromium through selenium),
against a demo started with --edit --web 0: it loads the page, checks what it shows, edits
through mouse and keyboard and checks the demo's answers through the API and the sync
script.

usage: web_editor.py CASE DIR SCRIPT -- PROGRAM ARGS...
  CASE    production (the test production: every check) or glasshall (Glass Hall: the
          page with the whole timeline, its frame time, a drag, screenshots)
  DIR     the demo's working directory (its log goes to DIR/run.log)
  SCRIPT  the sync script the demo edits
Screenshots go to DIR; with DEMOSYS_WEB_SCREENSHOTS=FOLDER Glass Hall's are also written
there as web-editor-whole.png and web-editor-section.png.
"""
import difflib
import http.client
import json
import os
import re
import subprocess
import sys
import time

from demo_run import DemoRun
from selenium import webdriver
from selenium.webdriver.chrome.service import Service
from selenium.webdriver.common.action_chains import ActionChains
from selenium.webdriver.common.actions.action_builder import ActionBuilder
from selenium.webdriver.common.keys import Keys

CASE, WORK, SCRIPT = sys.argv[1:4]
PROGRAM = sys.argv[sys.argv.index("--") + 1:]
BROWSER = None


def browser_report():
    if BROWSER is not None:
        BROWSER.save_screenshot(os.path.join(WORK, "failed.png"))
        for entry in BROWSER.get_log("browser"):
            print("console: %s" % entry["message"])


RUN = DemoRun(WORK)
RUN.on_failure = browser_report
fail, wait_for, log_text = RUN.fail, RUN.wait_for, RUN.log_text


# ---- The API, as a page or another tool sends it ----------------------------------------

def request(method, path, body=None, token=True, headers=None, raw=None):
    """(status, decoded JSON or text) of one request; Host and Origin as the page sends
    them unless headers replace them."""
    conn = http.client.HTTPConnection("127.0.0.1", PORT, timeout=30)
    h = {"Host": "127.0.0.1:%d" % PORT}
    if token:
        h["Authorization"] = "Bearer " + TOKEN
    if body is not None or raw is not None:
        h["Content-Type"] = "application/json"
    h.update(headers or {})
    data = raw if raw is not None else (json.dumps(body) if body is not None else None)
    conn.request(method, path, body=data, headers=h)
    res = conn.getresponse()
    text = res.read().decode(errors="replace")
    conn.close()
    try:
        return res.status, json.loads(text)
    except ValueError:
        return res.status, text


def api(method, path, body=None):
    status, answer = request(method, path, body)
    if status != 200:
        fail("%s %s %s: %d %s" % (method, path, json.dumps(body) if body else "", status, answer))
    return answer


def timeline():
    return api("GET", "/api/timeline")


def keys_of(tl, track):
    name, curve = track.split(":")
    effect = next(e for e in tl["effects"] if e["name"] == name)
    if curve == "active":
        return effect["keys"]
    return next(c for c in effect["curves"] if c["name"] == curve)["keys"]


def demo_value(track, row):
    return api("GET", "/api/value?track=%s&row=%d" % (track, row))["value"]


# ---- The page ----------------------------------------------------------------------------

def open_browser():
    global BROWSER
    options = webdriver.ChromeOptions()
    for arg in ["--headless=new", "--no-sandbox", "--disable-dev-shm-usage", "--disable-gpu",
                "--window-size=1920,1080", "--hide-scrollbars=false"]:
        options.add_argument(arg)
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    driver = "/usr/bin/chromedriver" if os.path.exists("/usr/bin/chromedriver") else "chromedriver"
    BROWSER = webdriver.Chrome(service=Service(driver), options=options)
    # The page as on a 1920x1080 screen, whatever the headless window's frame takes.
    BROWSER.execute_cdp_cmd("Emulation.setDeviceMetricsOverride",
                            {"width": 1920, "height": 1080, "deviceScaleFactor": 1, "mobile": False})
    return BROWSER


def js(script, *args):
    return BROWSER.execute_script(script, *args)


def js_async(script):
    return BROWSER.execute_async_script("const done = arguments[arguments.length - 1];" + script)


def console_errors():
    return [e["message"] for e in BROWSER.get_log("browser") if e["level"] == "SEVERE"]


def load_page(names):
    BROWSER.get(URL)
    wait_for(lambda: js("return !!(window.editorStats && window.editorStats.ready)"), "page ready")
    errors = console_errors()
    if errors:
        fail("console errors on load: %s" % errors)
    text = js("return document.body.innerText")
    missing = [n for n in names if n not in text]
    if missing:
        fail("the page does not name %s" % missing)


def shot(name, copy_to=None):
    """A screenshot; fails when it is blank (one flat colour, or too few colours for a
    drawn timeline)."""
    js("window.editor.redraw()")
    time.sleep(0.3)
    path = os.path.join(WORK, name)
    BROWSER.save_screenshot(path)
    out = subprocess.run(["convert", path, "-colorspace", "Gray", "-format", "%[fx:standard_deviation] %k", "info:"],
                         capture_output=True, text=True, check=True).stdout.split()
    deviation, colours = float(out[0]), int(out[1])
    if deviation < 0.05 or colours < 200:
        fail("%s looks blank (deviation %.3f, %d colours)" % (name, deviation, colours))
    if copy_to:
        subprocess.run(["cp", path, os.path.join(copy_to, name.replace("glasshall-", "web-editor-"))], check=True)
    return path


def point(track, row, value=None):
    p = js("return window.editor.point(arguments[0], arguments[1], arguments[2])", track, row, value)
    if not p:
        fail("no lane for %s" % track)
    return p["x"], p["y"]


def mouse():
    return ActionBuilder(BROWSER)


def click_at(x, y, button="left"):
    a = mouse()
    a.pointer_action.move_to_location(int(x), int(y))
    if button == "right":
        a.pointer_action.context_click()
    else:
        a.pointer_action.click()
    a.perform()


def drag(x0, y0, x1, y1, steps=8):
    """Press, move in steps (the page follows each), release."""
    a = mouse()
    a.pointer_action.move_to_location(int(x0), int(y0)).pointer_down()
    for i in range(1, steps + 1):
        a.pointer_action.move_to_location(int(x0 + (x1 - x0) * i / steps), int(y0 + (y1 - y0) * i / steps))
    a.pointer_action.release()
    a.perform()


def keys(*chord):
    chain = ActionChains(BROWSER)
    mods = [k for k in chord[:-1]]
    for m in mods:
        chain.key_down(m)
    chain.send_keys(chord[-1])
    for m in reversed(mods):
        chain.key_up(m)
    chain.perform()


def settle():
    """Waits until the page has no drag or undo on its way and has the demo's revision."""
    wait_for(lambda: not js("return window.editor.busy()") and
             js("return window.editor.revision()") == timeline()["revision"], "the page in step with the demo")


def check_values(tl, tracks, rows_per_track):
    """The page's curves against the value the demo draws with: the same formulas."""
    checked = 0
    for track in tracks:
        ks = keys_of(tl, track)
        rows = set()
        for a, b in zip(ks, ks[1:]):
            rows.update([a["row"], (a["row"] + b["row"]) // 2, (3 * a["row"] + b["row"]) // 4])
        if ks:
            rows.update([max(0, ks[0]["row"] - 1), min(tl["lengthRows"], ks[-1]["row"] + 3)])
        for row in sorted(rows)[:rows_per_track]:
            page = js("return window.editor.valueAt(arguments[0], arguments[1])", track, row)
            demo = demo_value(track, row)
            if abs(page - demo) > 1e-5 * max(1.0, abs(demo)):
                fail("%s at row %d: the page draws %r, the demo plays %r" % (track, row, page, demo))
            checked += 1
    return checked


def start_demo():
    global PORT, TOKEN, URL
    RUN.start(PROGRAM)
    found = wait_for(lambda: re.search(r"^Web  : timeline editor at (http://127\.0\.0\.1:(\d+)/\?token=([0-9a-f]{32}))$",
                                       log_text(), re.M), "the editor's address", 120)
    URL, PORT, TOKEN = found.group(1), int(found.group(2)), found.group(3)


# ---- The test production: every check ------------------------------------------------------

def refused_and_bad_requests(tl):
    """Requests from elsewhere are refused; bad ones answer 400 and change nothing."""
    port = PORT
    refused = 0
    for what, kwargs in [
            ("no token", dict(token=False)),
            ("a wrong token", dict(token=False, headers={"Authorization": "Bearer " + "0" * 32})),
            ("a foreign Origin", dict(headers={"Origin": "http://evil.example"})),
            ("a foreign Host", dict(headers={"Host": "evil.example:%d" % port})),
            ("a loopback Origin on another port", dict(headers={"Origin": "http://127.0.0.1:%d" % (port + 1)}))]:
        for method, path, body in [("GET", "/api/timeline", None),
                                   ("POST", "/api/keys", {"track": "backdrop:fade", "row": 20, "value": 0.5})]:
            status, answer = request(method, path, body, **kwargs)
            if status != 403:
                fail("%s %s with %s: %d, expected 403" % (method, path, what, status))
            refused += 1
    # The page itself without its token.
    if request("GET", "/", token=False)[0] != 403:
        fail("the page was served without the token")
    length = tl["lengthRows"]
    bad = [("malformed JSON", '{"track": "backdrop:fade", "row": 20, "value": '),
           ("not an object", '[1, 2]'),
           ("an unknown track", json.dumps({"track": "backdrop:nothing", "row": 20, "value": 0.5})),
           ("an unknown effect", json.dumps({"track": "nothing:fade", "row": 20, "value": 0.5})),
           ("a NaN value", '{"track": "backdrop:fade", "row": 20, "value": NaN}'),
           ("an infinite value", '{"track": "backdrop:fade", "row": 20, "value": 1e999}'),
           ("a string value", '{"track": "backdrop:fade", "row": 20, "value": "0.5"}'),
           ("a row beyond the end", json.dumps({"track": "backdrop:fade", "row": length + 1, "value": 0.5})),
           ("a negative row", json.dumps({"track": "backdrop:fade", "row": -1, "value": 0.5})),
           ("a fractional row", json.dumps({"track": "backdrop:fade", "row": 20.5, "value": 0.5})),
           ("an unknown type", json.dumps({"track": "backdrop:fade", "row": 20, "value": 0.5, "type": 9})),
           ("a move from no key", json.dumps({"track": "backdrop:fade", "from": 21, "row": 20, "value": 0.5}))]
    for what, raw in bad:
        status, answer = request("POST", "/api/keys", raw=raw)
        if status != 400 or not isinstance(answer, dict) or not answer.get("error") or "\n" in answer["error"]:
            fail("POST /api/keys with %s: %d %r, expected 400 with a one-line reason" % (what, status, answer))
    for what, path in [("an unknown track", "/api/keys?track=backdrop:nothing&row=0"),
                       ("no key at the row", "/api/keys?track=backdrop:fade&row=1")]:
        status, answer = request("DELETE", path)
        if status != 400:
            fail("DELETE with %s: %d %r, expected 400" % (what, status, answer))
    after = timeline()
    if after["revision"] != tl["revision"] or after["effects"] != tl["effects"]:
        fail("a refused request changed the timeline")
    if open(SCRIPT).read() != ORIGINAL:
        fail("a refused request changed the script")
    # A save over a revision the page has not seen is refused.
    status, answer = request("POST", "/api/save", {"revision": tl["revision"] - 1})
    if status != 409:
        fail("a save with an old revision: %d %r, expected 409" % (status, answer))
    print("Refused: %d requests from elsewhere, %d bad ones, a stale save" % (refused + 1, len(bad) + 2))


def production():
    tl = timeline()
    refused_and_bad_requests(tl)
    names = [e["name"] for e in tl["effects"]]
    api("POST", "/api/transport", {"pause": True})
    api("POST", "/api/transport", {"seek": 80})
    open_browser()
    load_page(names)
    shot("production.png")
    curves = [c["track"] for e in tl["effects"] for c in e["curves"]]
    print("Page: %d effects named, %d values of the page's curves equal the demo's"
          % (len(names), check_values(tl, curves, 12)))

    fade = "backdrop:fade"
    before = keys_of(tl, fade)
    if [(k["row"], k["type"]) for k in before] != [(0, 0), (40, 1)]:
        fail("the test production's fade: %s" % before)

    # A click on the curve adds a key on the beat (row 100) with the value under the pointer.
    x, y = point(fade, 102, 0.55)
    click_at(x, y)
    added = wait_for(lambda: next((k for k in keys_of(timeline(), fade) if k["row"] == 100), None), "the added key")
    if abs(added["value"] - 0.55) > 0.03 or added["type"] != 0:
        fail("the added key: %s" % added)
    if demo_value(fade, 100) != added["value"] or demo_value(fade, 120) != added["value"]:
        fail("the demo does not draw with the added key (%r)" % demo_value(fade, 100))

    # A drag moves the key at row 40 to row 60 and down to about 0.8; it keeps its type.
    settle()
    x0, y0 = point(fade, 40, 1.0)
    x1, y1 = point(fade, 60, 0.8)
    drag(x0, y0, x1, y1)
    settle()
    moved = keys_of(timeline(), fade)
    if [k["row"] for k in moved] != [0, 60, 100] or moved[1]["type"] != 1 or abs(moved[1]["value"] - 0.8) > 0.03:
        fail("after the drag: %s" % moved)
    for row in (30, 50, 60, 80):
        page = js("return window.editor.valueAt(arguments[0], arguments[1])", fade, row)
        if abs(demo_value(fade, row) - page) > 1e-6:
            fail("after the drag, row %d: page %r, demo %r" % (row, page, demo_value(fade, row)))
    trip = js("return window.editorStats.lastRoundTripMs")
    screen = re.findall(r"^Web  : change on screen ([0-9.]+) ms", log_text(), re.M)

    # Undo takes the move back, then the added key; redo brings the key back.
    keys(Keys.CONTROL, "z")
    wait_for(lambda: keys_of(timeline(), fade) == before + [added], "the move undone")
    if demo_value(fade, 40) != before[1]["value"]:
        fail("the demo still draws the moved key after the undo")
    settle()
    keys(Keys.CONTROL, "z")
    wait_for(lambda: keys_of(timeline(), fade) == before, "the added key undone")
    settle()
    keys(Keys.CONTROL, Keys.SHIFT, "z")
    wait_for(lambda: len(keys_of(timeline(), fade)) == 3, "the key redone")
    settle()

    # The key's type from its menu (right button), then Delete and an undo of that.
    x, y = point(fade, 100, added["value"])
    click_at(x, y, "right")
    item = wait_for(lambda: js("const m = document.getElementById('menu');"
                               "return !m.hidden && [...m.children].find(c => c.dataset.type === '3')"), "the key's menu")
    item.click()
    wait_for(lambda: keys_of(timeline(), fade)[-1]["type"] == 3, "the key's type from the menu")
    settle()
    keys(Keys.DELETE)
    wait_for(lambda: len(keys_of(timeline(), fade)) == 2, "the key deleted")
    settle()
    keys(Keys.CONTROL, "z")
    wait_for(lambda: [(k["row"], k["type"]) for k in keys_of(timeline(), fade)] == [(0, 0), (40, 1), (100, 3)],
             "the delete undone")
    settle()

    # The backdrop's stop dragged from the end to row 160 (an edge of its range): it no
    # longer draws after it; undone.
    active = "backdrop:active"
    edges = keys_of(timeline(), active)
    x0, y0 = point(active, edges[-1]["row"])
    x1, _ = point(active, 160)
    drag(x0, y0, x1, y0)
    wait_for(lambda: [k["row"] for k in keys_of(timeline(), active)] == [0, 160], "the stop moved")
    if demo_value(active, 150) != 1 or demo_value(active, 170) != 0:
        fail("the demo draws the backdrop outside its new range")
    settle()
    keys(Keys.CONTROL, "z")
    wait_for(lambda: keys_of(timeline(), active) == edges, "the stop's move undone")
    settle()

    # A change from elsewhere (another page, the sync-editor link) shows in the page.
    api("POST", "/api/keys", {"track": "spin:speed", "row": 140, "value": 45})
    wait_for(lambda: any(k["row"] == 140 for k in js("return window.editor.keys('spin:speed')")),
             "the pushed change in the page")

    # The ruler: a click seeks, a drag sets a loop; Space plays and pauses.
    x, y = js("const p = window.editor.rulerPoint(60); return [p.x, p.y]")
    click_at(x, y)
    wait_for(lambda: timeline()["row"] == 60, "the seek from the ruler")
    xa, ya = js("const p = window.editor.rulerPoint(40); return [p.x, p.y]")
    xb, _ = js("const p = window.editor.rulerPoint(120); return [p.x, p.y]")
    drag(xa, ya, xb, ya)
    wait_for(lambda: timeline()["loop"] == [40, 120], "the loop from the ruler")
    keys(" ")
    wait_for(lambda: timeline()["playing"], "play on Space")
    keys(" ")
    wait_for(lambda: not timeline()["playing"], "pause on Space")
    api("POST", "/api/transport", {"loop": None})

    # Ctrl+S saves: the two keys into the script, every other line as it was.
    settle()
    keys(Keys.CONTROL, "s")
    wait_for(lambda: open(SCRIPT).read() != ORIGINAL, "the saved script")
    wait_for(lambda: "Saved" in js("return document.getElementById('message').textContent"), "the page's saved message")
    saved = open(SCRIPT).read()
    diff = [l for l in difflib.ndiff(ORIGINAL.splitlines(), saved.splitlines()) if l[:2] in ("- ", "+ ")]
    removed = [l for l in diff if l.startswith("- ")]
    added_lines = [l[2:] for l in diff if l.startswith("+ ")]
    if removed or len(added_lines) != 2 or not any(re.search(r"\bhold\b", l) for l in added_lines):
        fail("the save changed other lines or missed a key:\n" + "\n".join(diff))
    # The script edited in a text editor: the demo reloads it and the page follows.
    with open(SCRIPT, "w") as f:
        f.write(saved.replace("  curve speed\n    0 90\n", "  curve speed\n    0 91\n"))
    wait_for(lambda: js("return window.editor.keys('spin:speed')")[0]["value"] == 91, "the script's change in the page")
    errors = console_errors()
    if errors:
        fail("console errors: %s" % errors)
    print("Saved lines: %s" % added_lines)
    restarted()
    print("Drag: the demo's answer %.1f ms after the pointer's last move; the demo's changes on screen: %s ms"
          % (trip, ", ".join(screen[-3:]) or "not logged"))


def restarted():
    """The page left open while the demo is stopped, its script edited and the demo started
    again on the same port: the page reconnects and shows the script's keys."""
    global PROGRAM
    RUN.stop()
    wait_for_page = lambda: js("return document.getElementById('link').textContent")
    end = time.time() + 10
    while time.time() < end and wait_for_page() == "live":
        time.sleep(0.05)
    if wait_for_page() == "live":
        fail("the page did not notice the demo going away")
    text = open(SCRIPT).read()
    with open(SCRIPT, "w") as f:
        f.write(text.replace("  curve speed\n    0 91\n", "  curve speed\n    0 92\n"))
    token = TOKEN
    PROGRAM = PROGRAM[:PROGRAM.index("--web") + 1] + [str(PORT)]
    start_demo()
    if TOKEN != token:
        fail("the demo started again with another token: the open page cannot reach it")
    wait_for(lambda: wait_for_page() == "live", "the page linked again", 30)
    wait_for(lambda: js("return window.editor.keys('spin:speed')")[0]["value"] == 92, "the page's reload after the restart")
    print("Restart: the page linked again and read the timeline anew")


# ---- Glass Hall: the whole timeline ----------------------------------------------------------

def glasshall():
    tl = timeline()
    names = [e["name"] for e in tl["effects"]]
    curves = [c["track"] for e in tl["effects"] for c in e["curves"]]
    if len(names) != 11:
        fail("Glass Hall has %d effects: %s" % (len(names), names))
    api("POST", "/api/transport", {"pause": True})
    api("POST", "/api/transport", {"seek": 800})
    open_browser()
    load_page(names)
    copy_to = os.environ.get("DEMOSYS_WEB_SCREENSHOTS")
    # Every lane on screen at once.
    lanes = js("return [document.getElementById('content').offsetHeight, document.getElementById('scroller').clientHeight]")
    if lanes[0] > lanes[1]:
        fail("the whole timeline does not fit on a 1920x1080 page (%d px of lanes in %d)" % tuple(lanes))
    shot("glasshall-whole.png", copy_to)
    full = js_async("window.editor.measure(120).then(done)")
    play = js_async("window.editor.measure(120, true).then(done)")
    print("Frame time with all %d effects and %d curves on screen: %.2f ms mean, %.2f ms p95, %.2f ms max "
          "(a full redraw); %.2f ms mean while playing (the playhead alone)"
          % (len(names), len(curves), full["mean"], full["p95"], full["max"], play["mean"]))
    print("Page: %d values of the page's curves equal the demo's"
          % check_values(tl, [t for t in curves if t.split(":")[0] in ("postprocess_effect", "cameralens_effect")], 3))

    # Zoomed on the first drop, lanes tall enough to aim at, the effects that do not draw
    # there folded (a click on their names).
    sections = tl["sections"]
    drop = next(i for i, s in enumerate(sections) if s["name"] == "drop1")
    first, last = sections[drop]["row"], sections[drop + 1]["row"]
    js("window.editor.showSection(arguments[0])", drop)
    js("window.editor.setLaneHeight(40)")
    shown = ("cameralens_effect", "scene_2_effect", "glow_effect", "postprocess_effect")
    for name in names:
        if name not in shown:
            # The labels are made again after each fold.
            BROWSER.find_element("xpath", "//div[contains(@class, 'effect')][span[@class='name' and text()='%s']]"
                                 % name).click()
    js("document.getElementById('scroller').scrollTop = 0")
    time.sleep(0.3)
    shot("glasshall-section.png", copy_to)
    # A key of the picture's grading in the drop, not a hold (its value shows right away).
    track, key = next((c["track"], k) for e in tl["effects"] if e["name"] == "postprocess_effect" for c in e["curves"]
                      for k in c["keys"] if first < k["row"] < last - 40 and k["type"] != 3)
    ks = keys_of(tl, track)
    js("window.editor.scrollTo(arguments[0])", track)
    time.sleep(0.3)
    settle()
    beat = int(round(tl["rowsPerBeat"]))
    target = next(key["row"] + n * beat for n in (2, 1, 3, -1) if all(k["row"] != key["row"] + n * beat for k in ks))
    rng = js("return window.editor.range(arguments[0])", track)
    to_value = key["value"] + (rng["hi"] - rng["lo"]) * (0.25 if key["value"] < (rng["hi"] + rng["lo"]) / 2 else -0.25)
    x0, y0 = point(track, key["row"], key["value"])
    x1, y1 = point(track, target, to_value)
    drag(x0, y0, x1, y1)
    settle()
    now = keys_of(timeline(), track)
    moved = next((k for k in now if k["row"] == target), None)
    if moved is None or any(k["row"] == key["row"] for k in now) or moved["type"] != key["type"]:
        fail("the dragged key: %s -> %s" % (key, now))
    page = js("return window.editor.valueAt(arguments[0], arguments[1])", track, target)
    if abs(demo_value(track, target) - page) > 1e-6 or abs(page - moved["value"]) > 1e-6:
        fail("the demo does not draw with the dragged key")
    trip = js("return window.editorStats.lastRoundTripMs")
    screen = re.findall(r"^Web  : change on screen ([0-9.]+) ms", log_text(), re.M)
    keys(Keys.CONTROL, "z")
    wait_for(lambda: keys_of(timeline(), track) == ks, "the drag undone")
    if console_errors():
        fail("console errors: %s" % console_errors())
    print("Glass Hall drag: the demo's answer %.1f ms after the pointer's last move; the demo's change on screen: %s ms"
          % (trip, ", ".join(screen[-3:]) or "not logged"))
    if open(SCRIPT).read() != ORIGINAL:
        fail("the script changed without a save")


ORIGINAL = open(SCRIPT).read()
start_demo()
RUN.run_case(glasshall if CASE == "glasshall" else production,
             finish=lambda: BROWSER is not None and BROWSER.quit())
