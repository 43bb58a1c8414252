#!/usr/bin/env python3
"""A stand-in for a sync editor: the editor's side of the TCP link, driven step by step by
the end-to-end test. It listens on a free loopback port, runs the demo it is given with
--rocket pointed at it, and checks what the demo does through its log, its window and its
sync script.

usage: rocket_editor.py CASE DIR SCRIPT TITLE STRIP -- PROGRAM ARGS...
  CASE    production (the test production, every check) or glasshall (Glass Hall: its
          track names, a key on its beat grid, the save)
  DIR     the demo's working directory (its log goes to DIR/run.log)
  SCRIPT  the sync script the demo edits
  TITLE   the demo window's title (screenshots)
  STRIP   a region WxH+X+Y of the window whose brightness the backdrop curve sets
"""
import os
import re
import socket
import struct
import subprocess
import sys
import time

from demo_run import DemoRun

SET_KEY, DELETE_KEY, GET_TRACK, SET_ROW, PAUSE, SAVE_TRACKS = range(6)


def fail(message):
    RUN.fail(message)


def log_text():
    return RUN.log_text()


class Log:
    """Lines the demo printed since a mark."""

    def __init__(self):
        self.mark()

    def mark(self):
        self.start = len(log_text())

    def since(self):
        return log_text()[self.start:]

    def wait(self, pattern, seconds=60):
        return RUN.wait_for(lambda: re.search(pattern, self.since(), re.M), "line '%s'" % pattern, seconds)


def recv_exact(conn, size, seconds=60):
    conn.settimeout(seconds)
    data = b""
    while len(data) < size:
        chunk = conn.recv(size - len(data))
        if not chunk:
            fail("the demo closed the link after %d of %d bytes" % (len(data), size))
        data += chunk
    return data


def accept(server, seconds=60):
    """The demo's connection and its greeting, answered; then its track requests."""
    server.settimeout(seconds)
    try:
        conn, _ = server.accept()
    except socket.timeout:
        fail("the demo did not connect within %d s" % seconds)
    conn.setsockopt(socket.IPPROTO_TCP, socket.TCP_NODELAY, 1)
    greeting = recv_exact(conn, 19)
    if greeting != b"hello, synctracker!":
        fail("greeting %r" % greeting)
    conn.sendall(b"hello, demo!")
    return conn


def read_tracks(conn, count):
    names = []
    for _ in range(count):
        command = recv_exact(conn, 1)[0]
        if command != GET_TRACK:
            fail("expected a track request, got command %d" % command)
        size = struct.unpack(">I", recv_exact(conn, 4))[0]
        names.append(recv_exact(conn, size).decode())
    return names


def set_key(track, row, value, kind):
    return struct.pack(">BIIfB", SET_KEY, track, row, value, kind)


def window():
    out = subprocess.run(["xdotool", "search", "--name", "^%s$" % TITLE], capture_output=True, text=True)
    ids = out.stdout.split()
    if not ids:
        fail("no window '%s'" % TITLE)
    return ids[0]


def brightness():
    shot = os.path.join(WORK, "shot.png")
    subprocess.run(["import", "-window", window(), shot], check=True)
    out = subprocess.run(["convert", shot, "-crop", STRIP, "+repage", "-colorspace", "Gray", "-format",
                          "%[fx:mean]", "info:"], capture_output=True, text=True, check=True)
    return float(out.stdout)


def wait_brightness(test, what):
    for _ in range(100):
        m = brightness()
        if test(m):
            return m
    fail("%s: the picture did not change (mean %f)" % (what, m))


CASE, WORK, SCRIPT, TITLE, STRIP = sys.argv[1:6]
PROGRAM = sys.argv[sys.argv.index("--") + 1:]
RUN = DemoRun(WORK)

server = socket.socket(socket.AF_INET, socket.SOCK_STREAM)
server.setsockopt(socket.SOL_SOCKET, socket.SO_REUSEADDR, 1)
server.bind(("127.0.0.1", 0))
server.listen(1)
port = server.getsockname()[1]
original = open(SCRIPT).read()

RUN.start(PROGRAM + ["--rocket", "127.0.0.1:%d" % port])


def glasshall():
    log = Log()
    conn = accept(server, 120)
    count = int(log.wait(r"^Rocket: linked to the editor at .*, (\d+) tracks$", 120).group(1))
    names = read_tracks(conn, count)
    for name in ["cameralens_effect:x", "cameralens_effect:active", "postprocess_effect:brightness",
                 "postprocess_effect:active"]:
        if name not in names:
            fail("no track %s among %s" % (name, names))
    if any(n.count(":") != 1 for n in names) or len(set(names)) != len(names):
        fail("track names: %s" % names)
    brightness_track = names.index("postprocess_effect:brightness")
    log.wait(r"^\[Demo Init\]", 120)
    # Paused in the ring arena, bar 21.
    log.mark()
    conn.sendall(struct.pack(">BB", PAUSE, 1) + struct.pack(">BI", SET_ROW, 800))
    log.wait(r"^Seek to 00:40:000 row 800 bar 21\.1$")
    time.sleep(0.5)
    base = brightness()
    sent = time.time()
    conn.sendall(set_key(brightness_track, 0, -0.3, 1))
    lit = wait_brightness(lambda m: m < base - 0.1, "Glass Hall SET_KEY")
    print("Glass Hall key to screen: %d ms (brightness %.3f -> %.3f); the demo: %s"
          % ((time.time() - sent) * 1000, base, lit,
             log.wait(r"^Rocket: key on screen [0-9.]+ ms after it was taken$").group(0)))
    # A key between beats is written on the beat grid.
    log.mark()
    conn.sendall(set_key(brightness_track, 805, -0.3, 0) + struct.pack(">B", SAVE_TRACKS))
    log.wait(r"^Rocket: saved 2 changes into ")
    want = original.replace("  curve brightness\n    bar 1 0\n",
                            "  curve brightness\n    bar 1 -0.3\n    bar 21.1+0.5 -0.3 hold\n")
    saved = open(SCRIPT).read()
    if want == original or saved != want:
        fail("the saved script differs:\n" + "".join(
            l for l in __import__("difflib").unified_diff(original.splitlines(True), saved.splitlines(True))))
    conn.close()


def production():
    log = Log()
    # The handshake and one request per curve and per start/stop track, in drawing order.
    conn = accept(server, 60)
    names = read_tracks(conn, 7)
    expected = ["backdrop:fade", "backdrop:active", "spin:speed", "spin:active", "lit:orbit", "lit:active",
                "panel:active"]
    if names != expected:
        fail("track names %s, expected %s" % (names, expected))
    log.wait(r"^Rocket: linked to the editor at 127\.0\.0\.1:%d, 7 tracks$" % port)
    log.wait(r"^\[Demo Init\]", 60)

    # SET_ROW seeks, paused (the production has no music: its clock starts paused); a
    # row beyond the end seeks to the end.
    log.mark()
    conn.sendall(struct.pack(">BI", SET_ROW, 5000) + struct.pack(">BI", SET_ROW, 80))
    log.wait(r"^Seek to 00:10:000 row 200\b")
    log.wait(r"^Seek to 00:04:000 row 80\b")
    if "Rocket:" in log.since():
        fail("the cursor beyond the end dropped the link")
    time.sleep(0.5)
    took = time.time()
    base = brightness()
    shot_ms = (time.time() - took) * 1000

    # SET_KEY: the fade's key at 00:02 keyed down to 0.2 darkens the backdrop now.
    sent = time.time()
    conn.sendall(set_key(0, 40, 0.2, 2))
    dark = wait_brightness(lambda m: m < base * 0.5, "SET_KEY")
    print("Key to screen: %d ms, one screenshot taking %d ms of it (brightness %.3f -> %.3f); the demo: %s"
          % ((time.time() - sent) * 1000, shot_ms, base, dark,
             log.wait(r"^Rocket: key on screen [0-9.]+ ms after it was taken$").group(0)))
    # A new key on another curve.
    conn.sendall(set_key(2, 100, 45, 1))

    # PAUSE 0 plays: the demo reports its rows; PAUSE 1 pauses again.
    log.mark()
    conn.sendall(struct.pack(">BB", PAUSE, 0))
    log.wait(r"^Resumed at 00:04:000 row 80\b")
    rows = []
    while len(rows) < 3:
        command = recv_exact(conn, 1)[0]
        if command != SET_ROW:
            fail("expected a row while playing, got command %d" % command)
        rows.append(struct.unpack(">I", recv_exact(conn, 4))[0])
    if rows != sorted(rows) or rows[0] < 80 or len(set(rows)) != 3:
        fail("rows while playing: %s" % rows)
    conn.sendall(struct.pack(">BB", PAUSE, 1))
    log.wait(r"^Paused at ")

    # SAVE_TRACKS: the two keys go into the script, every other line as it was.
    log.mark()
    conn.sendall(struct.pack(">B", SAVE_TRACKS))
    log.wait(r"^Rocket: saved 2 changes into .*%s$" % re.escape(os.path.basename(SCRIPT)))
    saved = open(SCRIPT).read()
    want = original.replace("    @00:02.000 1 ease-out\n", "    @00:02.000 0.2 smooth\n").replace(
        "  curve speed\n    0 90\n", "  curve speed\n    0 90\n    100 45\n")
    if want == original or saved != want:
        fail("the saved script differs:\n" + saved)

    # Bad input: a command that does not exist drops the link; the demo plays on and links
    # again (the editor went away and came back).
    log.mark()
    conn.sendall(bytes([9]))
    log.wait(r"^Rocket: unknown command 9: connection dropped$")
    conn.close()
    conn = accept(server)
    if read_tracks(conn, 7) != expected:
        fail("the tracks asked for on the second link differ")
    log.wait(r"^Rocket: linked to the editor")
    before = brightness()
    # A key cut off by the editor closing: nothing of it is applied.
    log.mark()
    conn.sendall(set_key(0, 40, 5.0, 1)[:9])
    time.sleep(0.3)
    conn.close()
    log.wait(r"^Rocket: the editor closed the connection in the middle of a command: dropped$")
    time.sleep(0.5)
    after = brightness()
    if abs(after - before) > 0.02:
        fail("a half-read key changed the picture (%f -> %f)" % (before, after))
    if open(SCRIPT).read() != saved:
        fail("the script changed without a save")
    # The editor comes back once more and goes away cleanly.
    conn = accept(server)
    read_tracks(conn, 7)
    log.mark()
    conn.close()
    log.wait(r"^Rocket: the editor went away$")
    if not RUN.running():
        fail("the demo ended")


RUN.run_case(glasshall if CASE == "glasshall" else production)
