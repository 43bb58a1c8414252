// The timeline editor: the demo's timeline from its API, drawn on two canvases, edited
// with the mouse and the keyboard. Every change goes to the demo at once (it plays with
// it in its next frame); the demo's answer is the state the page shows.

import { api, connectEvents, token, ApiError } from "./api.js";
import { valueAt, valueRange, valueStep, snapValue, snapRow, barBeat, formatValue, TYPE_NAMES } from "./curves.js";
import { Layer, drawHeader, drawLanes, gridFor, effectColour, HEADER_H, RULER_H, SECTION_H, EFFECT_H } from "./view.js";
import { History } from "./history.js";

const $ = (id) => document.getElementById(id);
const LABEL_W = 190;
const WAVEFORM_COLUMNS = 16384;
const MIN_LANE = 11, MAX_LANE = 160;

// ---- State -------------------------------------------------------------------------

const st = {
  tl: null,
  tracks: new Map(),     // "effect:curve" or "effect:active" -> {effect, curve|null}
  revision: 0,
  trackRevision: new Map(),
  row: 0, playing: false, loop: null,
  view: { start: 0, pxPerRow: 1 },
  collapsed: new Set(),
  laneHeight: 0,         // 0: fit the window
  lanes: [], contentH: 0,
  selection: null,       // {track, row}
  drag: null,
  waveform: null,
  modified: false,
  connected: false,
  displayKeys,
  isSelected: (track, row) => !!st.selection && st.selection.track === track && st.selection.row === row,
};

const stats = {
  draws: 0, staticDraws: 0, lastDrawMs: 0, maxDrawMs: 0, totalDrawMs: 0, lastStaticMs: 0,
  recent: [], roundTrips: [], lastRoundTripMs: null, ready: false, errors: [],
};
window.editorStats = stats;

// The keys a lane shows: the demo's, with a key being dragged where the pointer has it.
function displayKeys(track) {
  const t = st.tracks.get(track);
  if (!t) return [];
  const keys = t.curve ? t.curve.keys : t.effect.keys;
  const d = st.drag;
  if (!d || d.track !== track || !d.moved) return keys;
  if (d.cache && d.cache.keys === keys && d.cache.row === d.row && d.cache.value === d.value) return d.cache.out;
  const out = keys.filter((k) => k.row !== d.serverRow);
  out.push(Object.assign({}, d.key, { row: d.row, value: d.value }));
  out.sort((a, b) => a.row - b.row);
  d.cache = { keys, row: d.row, value: d.value, out };
  return out;
}

function keysOf(track) {
  const t = st.tracks.get(track);
  return t ? (t.curve ? t.curve.keys : t.effect.keys) : [];
}

// ---- Messages ------------------------------------------------------------------------

let messageTimer = 0;
function message(text, kind) {
  const m = $("message");
  m.textContent = text;
  m.className = kind || "";
  clearTimeout(messageTimer);
  if (kind !== "bad") messageTimer = setTimeout(() => { m.textContent = ""; }, 6000);
}

function banner(text) {
  $("bannertext").textContent = text;
  $("banner").hidden = false;
  layout();
}

function failed(e, what) {
  const text = (what ? what + ": " : "") + (e instanceof ApiError ? e.message : String(e));
  message(text, "bad");
  stats.errors.push(text);
}

// ---- Loading -------------------------------------------------------------------------

function adopt(tl) {
  st.tl = tl;
  st.revision = tl.revision;
  st.trackRevision.clear();
  st.tracks.clear();
  tl.effects.forEach((e, i) => {
    e.colour = effectColour(i, tl.effects.length);
    e.keys.sort((a, b) => a.row - b.row);
    st.tracks.set(e.name + ":active", { effect: e, curve: null });
    for (const c of e.curves) {
      c.keys.sort((a, b) => a.row - b.row);
      st.tracks.set(c.track, { effect: e, curve: c });
    }
  });
  st.row = tl.row; st.playing = tl.playing; st.loop = tl.loop;
  st.modified = !!tl.modified;
  if (st.selection && !keysOf(st.selection.track).some((k) => k.row === st.selection.row)) st.selection = null;
  $("script").textContent = tl.script || "";
  document.title = `${(tl.script || "").split("/").pop() || "timeline"} \u2014 Demosys timeline`;
  const sel = $("section");
  sel.length = 1;
  tl.sections.forEach((s, i) => sel.add(new Option(`${s.name} (bar ${s.bar})`, String(i))));
  updateTransport();
  updateSave();
}

async function load(first) {
  const tl = await api.timeline();
  adopt(tl);
  if (first) showWhole();
  layout();
  invalidate(true);
}

async function loadWaveform() {
  try {
    const wf = await api.waveform(WAVEFORM_COLUMNS);
    st.waveform = { width: wf.width, startMs: wf.startMs, endMs: wf.endMs,
      min: Float32Array.from(wf.min), max: Float32Array.from(wf.max) };
    invalidate(true);
  } catch (e) {
    failed(e, "waveform");
  }
}

// A track's new state, from an answer or the push channel; older states are dropped (an
// answer and the push of the same change can arrive in either order).
function applyTrack(msg) {
  if (!msg || typeof msg.track !== "string") return;
  const t = st.tracks.get(msg.track);
  if (!t) { reload("a track the page does not know changed"); return; }
  const seen = st.trackRevision.get(msg.track) || 0;
  if (msg.revision < seen) return;
  st.trackRevision.set(msg.track, msg.revision);
  if (msg.revision > st.revision) st.revision = msg.revision;
  const keys = msg.keys.slice().sort((a, b) => a.row - b.row);
  if (t.curve) {
    t.curve.keys = keys;
  } else {
    t.effect.keys = keys;
    const firstStart = keys.find((k) => k.type === "start");
    if (firstStart) t.effect.target = firstStart.target;
  }
  st.modified = true;
  updateSave();
  if (st.selection && st.selection.track === msg.track && !keys.some((k) => k.row === st.selection.row) &&
      !(st.drag && st.drag.track === msg.track)) st.selection = null;
  rangesDirty = true;
  if (st.selection && st.selection.track === msg.track) updateKeyBox();
  invalidate(true);
}

let reloading = null;
// A full reload of the timeline; from a script changed on disk or a restarted demo the
// undo history no longer applies (keep it for a resync after a refused change).
function reload(why, keepHistory) {
  if (reloading) return reloading;
  reloading = (async () => {
    try {
      await load(false);
      if (why) message("Reloaded: " + why);
      if (!keepHistory) history.clear();
      updateHistory();
    } catch (e) {
      failed(e, "reload");
    } finally {
      reloading = null;
    }
  })();
  return reloading;
}

// ---- Layout --------------------------------------------------------------------------

const header = new Layer($("header"));
const lanesLayer = new Layer($("lanes"));
let rangesDirty = true;

function layout() {
  if (!st.tl) return;
  const view = $("view"), scroller = $("scroller");
  const w = Math.max(50, scroller.clientWidth - LABEL_W);
  const viewH = Math.max(50, view.clientHeight - HEADER_H);
  header.resize(w, HEADER_H);
  let curves = 0, effects = 0;
  for (const e of st.tl.effects) { effects++; if (!st.collapsed.has(e.name)) curves += e.curves.length; }
  let lh = st.laneHeight;
  if (!lh) lh = curves ? Math.max(MIN_LANE, Math.min(64, Math.floor((viewH - effects * EFFECT_H) / curves))) : 40;
  st.laneH = lh;
  const lanes = [];
  let y = 0, index = 0;
  for (const e of st.tl.effects) {
    lanes.push({ kind: "effect", effect: e, track: e.name + ":active", y, h: EFFECT_H, colour: e.colour });
    y += EFFECT_H;
    if (st.collapsed.has(e.name)) continue;
    for (const c of e.curves) {
      lanes.push({ kind: "curve", effect: e, curve: c, track: c.track, y, h: lh, colour: e.colour, index: index++ });
      y += lh;
    }
  }
  st.lanes = lanes;
  st.contentH = y;
  $("content").style.height = Math.max(y, 1) + "px";
  $("labels").style.height = Math.max(y, 1) + "px";
  lanesLayer.resize(w, Math.min(viewH, Math.max(y, 1)));
  rangesDirty = true;
  buildLabels();
  clampView();
  invalidate(true);
}

// Lane ranges follow the keys, except while a key is dragged: the graph must not rescale
// under the pointer.
function updateRanges() {
  if (!rangesDirty) return;
  rangesDirty = false;
  for (const lane of st.lanes) {
    if (lane.kind !== "curve") continue;
    if (st.drag && st.drag.track === lane.track && lane.range) continue;
    lane.range = valueRange(lane.curve.keys);
  }
}

const labelValues = [];
function buildLabels() {
  const box = $("labels");
  box.textContent = "";
  labelValues.length = 0;
  for (const lane of st.lanes) {
    const d = document.createElement("div");
    d.className = "lab " + lane.kind + (lane.h < 16 ? " small" : "");
    d.style.top = lane.y + "px";
    d.style.height = lane.h + "px";
    if (lane.kind === "effect") {
      const e = lane.effect;
      d.innerHTML = `<span class="tw">${st.collapsed.has(e.name) ? "\u25b8" : "\u25be"}</span>` +
        `<span class="name"></span><span class="meta"></span>`;
      d.querySelector(".name").textContent = e.name;
      d.querySelector(".meta").textContent = `${e.priority} \u00b7 ${e.curves.length}`;
      d.title = `${e.name}: priority ${e.priority}, drawn into ${e.target || "screen"}; click to fold its curves`;
      d.addEventListener("click", () => {
        if (st.collapsed.has(e.name)) st.collapsed.delete(e.name); else st.collapsed.add(e.name);
        layout();
      });
    } else {
      d.innerHTML = `<span class="sw"></span><span class="name"></span><span class="val"></span>`;
      d.querySelector(".sw").style.background = lane.colour;
      d.querySelector(".name").textContent = lane.curve.name;
      d.title = lane.track;
      labelValues.push({ lane, el: d.querySelector(".val"), shown: null });
    }
    box.appendChild(d);
  }
  lastLabelRow = null;
}

// The value each curve has at the playhead, beside its name.
let lastLabelRow = null;
function updateLabelValues() {
  if (lastLabelRow === st.row && !labelsDirty) return;
  lastLabelRow = st.row;
  labelsDirty = false;
  for (const lv of labelValues) {
    const text = formatValue(valueAt(displayKeys(lv.lane.track), st.row));
    if (text !== lv.shown) { lv.el.textContent = text; lv.shown = text; }
  }
}
let labelsDirty = true;

// ---- View ----------------------------------------------------------------------------

function maxRows() { return st.tl ? st.tl.lengthRows : 1; }

function clampView() {
  const w = header.w || 1;
  const minPx = w / (maxRows() * 1.02);
  const maxPx = 48;
  st.view.pxPerRow = Math.min(maxPx, Math.max(minPx, st.view.pxPerRow));
  const visible = w / st.view.pxPerRow;
  const lo = -maxRows() * 0.01;
  const hi = Math.max(lo, maxRows() * 1.01 - visible);
  st.view.start = Math.min(hi, Math.max(lo, st.view.start));
}

function showRows(a, b) {
  const w = header.w || 1;
  st.view.pxPerRow = w / Math.max(1, b - a);
  st.view.start = a;
  clampView();
  invalidate(true);
}

function showWhole() {
  layout();
  const w = header.w || 1;
  const margin = maxRows() * 0.005;
  st.view.pxPerRow = w / (maxRows() + 2 * margin);
  st.view.start = -margin;
  clampView();
  invalidate(true);
}

function showSection(i) {
  const s = st.tl.sections[i];
  if (!s) return;
  const next = st.tl.sections[i + 1];
  const end = next ? next.row : st.tl.lengthRows;
  const pad = (end - s.row) * 0.02;
  showRows(s.row - pad, end + pad);
}

function zoomAt(factor, x) {
  const row = st.view.start + x / st.view.pxPerRow;
  st.view.pxPerRow *= factor;
  clampView();
  st.view.start = row - x / st.view.pxPerRow;
  clampView();
  invalidate(true);
}

const rowAtX = (x) => st.view.start + x / st.view.pxPerRow;
const xOfRow = (row) => (row - st.view.start) * st.view.pxPerRow;

// The grid a drag snaps to: beats, or bars when beats are too close to aim at; Shift:
// single rows.
function snapUnit(shift) {
  if (shift) return 1;
  const g = gridFor(st.view, st.tl);
  return g.beatPx >= 6 ? st.tl.rowsPerBeat : st.tl.rowsPerBeat * st.tl.beatsPerBar;
}

function clampRow(r) { return Math.max(0, Math.min(st.tl.lengthRows, r)); }

// ---- Drawing -------------------------------------------------------------------------

let staticDirty = true, frameRequested = false;
function invalidate(full) {
  if (full) { staticDirty = true; labelsDirty = true; }
  if (!frameRequested) { frameRequested = true; requestAnimationFrame(frame); }
}

function frame() {
  frameRequested = false;
  if (!st.tl) return;
  const t0 = performance.now();
  const scroll = $("scroller").scrollTop;
  if (staticDirty || scroll !== lastScroll) {
    updateRanges();
    drawHeader(header, st);
    if (measuring) header.flush();
    const t1 = performance.now();
    drawLanes(lanesLayer, st, st.lanes, scroll);
    if (measuring) lanesLayer.flush();
    stats.headerMs = t1 - t0;
    stats.lanesMs = performance.now() - t1;
    lastScroll = scroll;
    staticDirty = false;
    stats.staticDraws++;
    stats.lastStaticMs = performance.now() - t0;
  }
  placeMarks();
  updateLabelValues();
  updateClock();
  const ms = performance.now() - t0;
  stats.draws++;
  stats.lastDrawMs = ms;
  stats.totalDrawMs += ms;
  if (ms > stats.maxDrawMs) stats.maxDrawMs = ms;
  stats.recent.push(ms);
  if (stats.recent.length > 240) stats.recent.shift();
  if (stats.draws % 10 === 1) showPerf();
}
let lastScroll = -1, measuring = false;

// The playhead and the loop being dragged: elements over the canvases.
function placeMarks() {
  const ph = $("playhead");
  const x = Math.round(xOfRow(st.row));
  if (x < 0 || x > header.w) ph.hidden = true;
  else { ph.hidden = false; ph.style.transform = `translateX(${x}px)`; }
  const lp = $("looppreview");
  const d = st.drag;
  if (d && d.kind === "loop" && d.moved) {
    const a = Math.max(0, xOfRow(Math.min(d.a, d.b))), b = Math.min(header.w, xOfRow(Math.max(d.a, d.b)));
    lp.hidden = false;
    lp.style.transform = `translateX(${a}px)`;
    lp.style.width = Math.max(1, b - a) + "px";
  } else {
    lp.hidden = true;
  }
}

function showPerf() {
  const r = stats.recent.slice().sort((a, b) => a - b);
  const p95 = r[Math.min(r.length - 1, Math.floor(r.length * 0.95))] || 0;
  const rt = stats.lastRoundTripMs == null ? "" : ` \u00b7 drag\u2192answer ${stats.lastRoundTripMs.toFixed(1)} ms`;
  $("perf").textContent = `frame ${stats.lastDrawMs.toFixed(2)} ms (p95 ${p95.toFixed(2)}, full ${stats.lastStaticMs.toFixed(2)})${rt} \u00b7 rev ${st.revision}`;
}

function fmtTime(row) {
  const ms = Math.round(row * 1000 / st.tl.rate);
  const m = Math.floor(ms / 60000), s = Math.floor(ms / 1000) % 60, f = ms % 1000;
  return `${String(m).padStart(2, "0")}:${String(s).padStart(2, "0")}.${String(f).padStart(3, "0")}`;
}

function fmtPos(row) {
  const b = barBeat(row, st.tl.rowsPerBeat, st.tl.beatsPerBar);
  return `${b.bar}.${b.beat}${b.rest ? "+" + b.rest : ""}`;
}

let lastClock = "";
function updateClock() {
  const text = `${fmtPos(st.row)} \u00b7 ${fmtTime(st.row)} \u00b7 row ${st.row}`;
  if (text !== lastClock) { $("clock").textContent = text; lastClock = text; }
}

function updateTransport() {
  $("play").innerHTML = st.playing ? "&#10074;&#10074;" : "&#9654;";
  $("loopbox").hidden = !st.loop;
  if (st.loop) $("loop").textContent = `${fmtPos(st.loop[0])} \u2013 ${fmtPos(st.loop[1])}`;
}

function updateSave() {
  $("save").classList.toggle("unsaved", st.modified);
  $("save").textContent = st.modified ? "Save \u25cf" : "Save";
}

function updateHistory() {
  $("undo").disabled = !history.canUndo();
  $("redo").disabled = !history.canRedo();
}

function updateKeyBox() {
  const s = st.selection;
  const box = $("keybox");
  if (!s) { box.hidden = true; return; }
  const t = st.tracks.get(s.track);
  const k = keysOf(s.track).find((x) => x.row === s.row);
  if (!t || !k) { box.hidden = true; return; }
  box.hidden = false;
  $("keyname").textContent = `${s.track} @ ${fmtPos(k.row)} (row ${k.row})`;
  const isCurve = !!t.curve;
  $("keyvalue").hidden = !isCurve;
  $("keytype").hidden = !isCurve;
  if (isCurve) {
    if (document.activeElement !== $("keyvalue")) $("keyvalue").value = String(k.value);
    $("keytype").value = String(k.type);
  } else {
    $("keyname").textContent += ` ${k.type}${k.target ? " " + k.target : ""}`;
  }
}

// ---- Changes ---------------------------------------------------------------------------

// Runs one operation through the API and takes its answer in.
async function run(operation) {
  const answer = operation.op === "delete"
    ? await api.deleteKey(operation.track, operation.row)
    : await api.setKey(operation.body);
  applyTrack(answer);
  return answer;
}

const history = new History(run);

function keyBody(track, k) {
  const t = st.tracks.get(track);
  if (t.curve) return { track, row: k.row, value: k.value, type: k.type };
  const body = { track, row: k.row, value: k.type === "start" ? 1 : 0 };
  if (k.type === "start" && k.target) body.target = k.target;
  return body;
}

async function change(label, forward, backward, select) {
  try {
    for (const operation of forward) await run(operation);
    history.record(label, forward, backward);
    if (select !== undefined) st.selection = select;
    message(label);
  } catch (e) {
    failed(e, label);
    reload("", true);
  }
  updateHistory();
  updateKeyBox();
  invalidate(true);
}

function addKey(track, row, value) {
  const old = keysOf(track).find((k) => k.row === row);
  const body = { track, row, value };
  if (old) body.type = old.type;
  const backward = old ? [{ op: "set", body: keyBody(track, old) }] : [{ op: "delete", track, row }];
  return change(old ? `Set ${track} at ${fmtPos(row)} to ${formatValue(value)}` : `Added a key to ${track} at ${fmtPos(row)}`,
    [{ op: "set", body: Object.assign({ type: old ? old.type : 0 }, body) }], backward, { track, row });
}

function deleteSelected() {
  const s = st.selection;
  if (!s) return;
  const k = keysOf(s.track).find((x) => x.row === s.row);
  if (!k) return;
  st.selection = null;
  return change(`Deleted the key of ${s.track} at ${fmtPos(k.row)}`, [{ op: "delete", track: s.track, row: k.row }],
    [{ op: "set", body: keyBody(s.track, k) }], null);
}

function setSelectedKey(changes, label) {
  const s = st.selection;
  if (!s) return;
  const k = keysOf(s.track).find((x) => x.row === s.row);
  if (!k) return;
  const to = Object.assign({}, k, changes);
  return change(label, [{ op: "set", body: keyBody(s.track, to) }], [{ op: "set", body: keyBody(s.track, k) }], s);
}

async function undo() {
  try {
    const label = await history.undo();
    if (label) message("Undone: " + label);
  } catch (e) {
    failed(e, "undo");
    reload("", true);
  }
  updateHistory(); updateKeyBox(); invalidate(true);
}

async function redo() {
  try {
    const label = await history.redo();
    if (label) message("Redone: " + label);
  } catch (e) {
    failed(e, "redo");
    reload("", true);
  }
  updateHistory(); updateKeyBox(); invalidate(true);
}

async function save() {
  try {
    const answer = await api.save(st.revision);
    st.modified = false;
    updateSave();
    $("banner").hidden = true;
    message(answer.changes ? `Saved ${answer.changes} change${answer.changes === 1 ? "" : "s"} into ${answer.saved}` : `Nothing to save: ${answer.saved} is up to date`, "good");
  } catch (e) {
    if (e.status === 409) banner("Not saved: " + e.message);
    else failed(e, "save");
  }
}

async function transport(body) {
  try {
    const t = await api.transport(body);
    applyTransport(t);
  } catch (e) {
    failed(e, "transport");
  }
}

function applyTransport(t) {
  const loopChanged = JSON.stringify(t.loop || null) !== JSON.stringify(st.loop || null);
  if (typeof t.row === "number") st.row = t.row;
  if (typeof t.playing === "boolean") st.playing = t.playing;
  if ("loop" in t) st.loop = t.loop;
  updateTransport();
  follow();
  invalidate(loopChanged);
}

// While playing, the view turns the page when the playhead leaves it.
function follow() {
  if (!st.playing || st.drag) return;
  const x = xOfRow(st.row);
  if (x < 0 || x > header.w - 10) {
    st.view.start = st.row - (header.w * 0.08) / st.view.pxPerRow;
    clampView();
    invalidate(true);
  }
}

// ---- Push channel --------------------------------------------------------------------

let everConnected = false;
function onEvent(msg) {
  switch (msg.type) {
    case "hello":
      if (msg.revision !== st.revision) reload("", true);
      break;
    case "row":
      applyTransport(msg);
      break;
    case "track":
      applyTrack(msg);
      break;
    case "timeline":
      reload(msg.reason || "the timeline changed");
      break;
    case "saved":
      st.modified = false;
      updateSave();
      message(`Saved into ${msg.path}`, "good");
      break;
  }
}

function onLink(up) {
  st.connected = up;
  const b = $("link");
  b.textContent = up ? "live" : "reconnecting\u2026";
  b.classList.toggle("on", up);
  if (up && everConnected) reload("the demo is back");
  if (up) everConnected = true;
}

// ---- Pointer: lanes --------------------------------------------------------------------

const lanesCanvas = $("lanes"), headerCanvas = $("header");

function lanePoint(ev) {
  const r = lanesCanvas.getBoundingClientRect();
  const x = ev.clientX - r.left, y = ev.clientY - r.top + $("scroller").scrollTop;
  const lane = st.lanes.find((l) => y >= l.y && y < l.y + l.h);
  return { x, y, lane };
}

function valueAtY(lane, y) {
  const range = lane.range;
  const t = 1 - (y - lane.y - 2) / (lane.h - 4);
  return range.lo + t * (range.hi - range.lo);
}

function yOfValue(lane, v) {
  const range = lane.range;
  return lane.y + 2 + (1 - (v - range.lo) / (range.hi - range.lo)) * (lane.h - 4);
}

function keyAt(lane, x, y) {
  const keys = keysOf(lane.track);
  let best = null, bestD = 7;
  for (const k of keys) {
    const dx = Math.abs(xOfRow(k.row) - x);
    if (dx > bestD) continue;
    const dy = lane.kind === "curve" ? Math.abs(yOfValue(lane, k.value) - y) : 0;
    if (dy > Math.max(7, lane.kind === "curve" ? 0 : 99)) continue;
    const d = Math.hypot(dx, dy);
    if (d < bestD) { best = k; bestD = d; }
  }
  return best;
}

lanesCanvas.addEventListener("pointerdown", (ev) => {
  if (!st.tl || ev.button !== 0) return;
  closeMenu();
  const p = lanePoint(ev);
  if (!p.lane) return;
  lanesCanvas.setPointerCapture(ev.pointerId);
  const k = keyAt(p.lane, p.x, p.y);
  if (k) {
    st.selection = { track: p.lane.track, row: k.row };
    st.drag = { kind: p.lane.kind === "curve" ? "key" : "edge", lane: p.lane, track: p.lane.track, key: Object.assign({}, k),
      origRow: k.row, origValue: k.value, serverRow: k.row, serverValue: k.value, row: k.row, value: k.value,
      x0: ev.clientX, y0: ev.clientY, moved: false, busy: false, sentAt: 0 };
    if (p.lane.kind === "edge" || p.lane.kind === "effect") {
      const keys = keysOf(p.lane.track);
      const i = keys.findIndex((x) => x.row === k.row);
      st.drag.min = i > 0 ? keys[i - 1].row + 1 : 0;
      st.drag.max = i + 1 < keys.length ? keys[i + 1].row - 1 : st.tl.lengthRows;
    }
    updateKeyBox();
    invalidate(true);
  } else {
    // Empty space: a click adds a key, a drag pans.
    st.drag = { kind: "pan", lane: p.lane, x0: ev.clientX, y0: ev.clientY, start0: st.view.start, moved: false, shift: ev.shiftKey, alt: ev.altKey };
  }
});

lanesCanvas.addEventListener("pointermove", (ev) => {
  const d = st.drag;
  if (!d || !lanesCanvas.hasPointerCapture(ev.pointerId)) {
    hover(ev);
    return;
  }
  if (!d.moved && Math.hypot(ev.clientX - d.x0, ev.clientY - d.y0) < 3) return;
  d.moved = true;
  if (d.kind === "pan") {
    st.view.start = d.start0 - (ev.clientX - d.x0) / st.view.pxPerRow;
    clampView();
    invalidate(true);
    return;
  }
  const p = lanePoint(ev);
  const unit = snapUnit(ev.shiftKey);
  let row = clampRow(snapRow(rowAtX(p.x), unit));
  if (d.kind === "key") {
    // Another key's row is not taken over: the dragged key stays where it was.
    const taken = keysOf(d.track).some((k) => k.row === row && k.row !== d.serverRow);
    if (!taken) d.row = row;
    let v = valueAtY(d.lane, p.y);
    if (!ev.altKey) v = snapValue(v, valueStep(d.lane.range));
    d.value = v;
  } else {
    d.row = Math.max(d.min, Math.min(d.max, row));
  }
  d.movedAt = performance.now();
  pump(d);
  invalidate(true);
});

// Sends the dragged key's position when the previous one has been answered: the demo
// follows the pointer without a queue of stale positions building up.
async function pump(d) {
  if (d.busy || d.failed) return;
  if (d.row === d.serverRow && (d.kind !== "key" || d.value === d.serverValue)) { if (d.released) finishDrag(d); return; }
  d.busy = true;
  const row = d.row, value = d.value, started = d.movedAt || performance.now();
  const body = { track: d.track, from: d.serverRow, row };
  if (d.kind === "key") body.value = value;
  else { body.value = d.key.type === "start" ? 1 : 0; if (d.key.target) body.target = d.key.target; }
  try {
    const answer = await api.setKey(body);
    d.serverRow = row; d.serverValue = value;
    if (st.selection && st.selection.track === d.track) st.selection.row = row;
    applyTrack(answer);
    const rt = performance.now() - started;
    stats.lastRoundTripMs = rt;
    stats.roundTrips.push(rt);
    if (stats.roundTrips.length > 200) stats.roundTrips.shift();
  } catch (e) {
    d.failed = true;
    failed(e, "move");
    if (st.drag === d) st.drag = null;
    reload("", true);
    // What did move stays undoable.
    if (d.serverRow !== d.origRow || d.serverValue !== d.origValue) recordMove(d);
    return;
  } finally {
    d.busy = false;
  }
  pump(d);
}

function recordMove(d) {
  const track = d.track;
  if (d.kind === "key") {
    history.record(`Moved a key of ${track} to ${fmtPos(d.serverRow)}`,
      [{ op: "set", body: { track, from: d.origRow, row: d.serverRow, value: d.serverValue } }],
      [{ op: "set", body: { track, from: d.serverRow, row: d.origRow, value: d.origValue } }]);
  } else {
    const body = (from, row) => {
      const b = { track, from, row, value: d.key.type === "start" ? 1 : 0 };
      if (d.key.target) b.target = d.key.target;
      return b;
    };
    history.record(`Moved the ${d.key.type} of ${track.split(":")[0]} to ${fmtPos(d.serverRow)}`,
      [{ op: "set", body: body(d.origRow, d.serverRow) }], [{ op: "set", body: body(d.serverRow, d.origRow) }]);
  }
  updateHistory();
}

function finishDrag(d) {
  if (d.finished) return;
  d.finished = true;
  if (st.drag === d) st.drag = null;
  if (d.serverRow !== d.origRow || d.serverValue !== d.origValue) {
    recordMove(d);
    message(`Moved a key of ${d.track} to ${fmtPos(d.serverRow)}`);
  }
  rangesDirty = true;
  updateKeyBox();
  invalidate(true);
}

lanesCanvas.addEventListener("pointerup", (ev) => {
  const d = st.drag;
  if (!d || !lanesCanvas.hasPointerCapture(ev.pointerId)) return;
  lanesCanvas.releasePointerCapture(ev.pointerId);
  if (d.kind === "pan") {
    st.drag = null;
    if (!d.moved) {
      const p = lanePoint(ev);
      if (p.lane && p.lane.kind === "curve") {
        const row = clampRow(snapRow(rowAtX(p.x), snapUnit(ev.shiftKey)));
        let v = valueAtY(p.lane, p.y);
        if (!ev.altKey) v = snapValue(v, valueStep(p.lane.range));
        addKey(p.lane.track, row, v);
      } else {
        st.selection = null;
        updateKeyBox();
      }
    }
    invalidate(true);
    return;
  }
  d.released = true;
  if (!d.moved) { st.drag = null; invalidate(true); return; }
  if (!d.busy) pump(d);
});

lanesCanvas.addEventListener("pointercancel", () => {
  if (st.drag && st.drag.kind === "pan") st.drag = null;
  else if (st.drag) { st.drag.released = true; pump(st.drag); }
});

lanesCanvas.addEventListener("dblclick", (ev) => {
  const p = lanePoint(ev);
  if (p.lane && p.lane.kind === "curve" && keyAt(p.lane, p.x, p.y)) { $("keyvalue").focus(); $("keyvalue").select(); }
});

let hoverText = "";
function hover(ev) {
  if (!st.tl) return;
  const p = lanePoint(ev);
  let text = "";
  if (p.lane) {
    const row = Math.max(0, Math.floor(rowAtX(p.x)));
    const k = keyAt(p.lane, p.x, p.y);
    if (k && p.lane.kind === "curve") text = `${p.lane.track} key @ ${fmtPos(k.row)} = ${formatValue(k.value)} (${TYPE_NAMES[k.type]})`;
    else if (k) text = `${p.lane.track}: ${k.type} @ ${fmtPos(k.row)}${k.target ? " into " + k.target : ""}`;
    else if (p.lane.kind === "curve") text = `${p.lane.track} @ ${fmtPos(row)}: ${formatValue(valueAt(keysOf(p.lane.track), row))}`;
    else text = `${p.lane.effect.name} (priority ${p.lane.effect.priority})`;
    lanesCanvas.style.cursor = k ? (p.lane.kind === "curve" ? "grab" : "ew-resize") : "crosshair";
  }
  if (text !== hoverText) { hoverText = text; $("hint").textContent = text || defaultHint; }
}
const defaultHint = $("hint").textContent;

// Right button on a key: its type, or delete it.
lanesCanvas.addEventListener("contextmenu", (ev) => {
  ev.preventDefault();
  const p = lanePoint(ev);
  if (!p.lane) return;
  const k = keyAt(p.lane, p.x, p.y);
  if (!k) { closeMenu(); return; }
  st.selection = { track: p.lane.track, row: k.row };
  updateKeyBox();
  invalidate(true);
  const menu = $("menu");
  menu.textContent = "";
  if (p.lane.kind === "curve") {
    TYPE_NAMES.forEach((name, i) => {
      const item = document.createElement("div");
      item.textContent = name;
      item.dataset.type = String(i);
      if (k.type === i) item.className = "current";
      item.addEventListener("click", () => { closeMenu(); if (k.type !== i) setSelectedKey({ type: i }, `${p.lane.track} at ${fmtPos(k.row)}: ${name}`); });
      menu.appendChild(item);
    });
    menu.appendChild(document.createElement("hr"));
  }
  const del = document.createElement("div");
  del.textContent = "Delete key";
  del.dataset.action = "delete";
  del.addEventListener("click", () => { closeMenu(); deleteSelected(); });
  menu.appendChild(del);
  menu.hidden = false;
  // Inside the window near its right and bottom edges.
  const mw = menu.offsetWidth, mh = menu.offsetHeight;
  menu.style.left = Math.min(ev.clientX, innerWidth - mw - 4) + "px";
  menu.style.top = Math.min(ev.clientY, innerHeight - mh - 4) + "px";
});

function closeMenu() { $("menu").hidden = true; }
document.addEventListener("pointerdown", (ev) => { if (!$("menu").contains(ev.target)) closeMenu(); });

// ---- Pointer: ruler ------------------------------------------------------------------

headerCanvas.addEventListener("pointerdown", (ev) => {
  if (!st.tl || ev.button !== 0) return;
  headerCanvas.setPointerCapture(ev.pointerId);
  const x = ev.clientX - headerCanvas.getBoundingClientRect().left;
  const row = clampRow(snapRow(rowAtX(x), snapUnit(ev.shiftKey)));
  st.drag = { kind: "loop", x0: ev.clientX, a: row, b: row, moved: false };
});

headerCanvas.addEventListener("pointermove", (ev) => {
  const d = st.drag;
  if (!d || d.kind !== "loop" || !headerCanvas.hasPointerCapture(ev.pointerId)) return;
  if (!d.moved && Math.abs(ev.clientX - d.x0) < 4) return;
  d.moved = true;
  const x = ev.clientX - headerCanvas.getBoundingClientRect().left;
  d.b = clampRow(snapRow(rowAtX(x), snapUnit(ev.shiftKey)));
  invalidate(false);
});

headerCanvas.addEventListener("pointerup", (ev) => {
  const d = st.drag;
  if (!d || d.kind !== "loop") return;
  headerCanvas.releasePointerCapture(ev.pointerId);
  st.drag = null;
  if (d.moved && d.a !== d.b) transport({ loop: [Math.min(d.a, d.b), Math.max(d.a, d.b)] });
  else if (!d.moved) transport({ seek: d.a });
  invalidate(false);
});

headerCanvas.addEventListener("dblclick", (ev) => {
  const r = headerCanvas.getBoundingClientRect();
  if (ev.clientY - r.top > SECTION_H) return;
  const row = rowAtX(ev.clientX - r.left);
  const i = st.tl.sections.findIndex((s, j) => row >= s.row && (j + 1 >= st.tl.sections.length || row < st.tl.sections[j + 1].row));
  if (i >= 0) showSection(i);
});

// ---- Wheel: zoom (plain or Ctrl), scroll (Shift) -----------------------------------------

function onWheel(ev, canvas) {
  if (!st.tl) return;
  ev.preventDefault();
  const x = ev.clientX - canvas.getBoundingClientRect().left;
  const unit = ev.deltaMode === 1 ? 16 : ev.deltaMode === 2 ? 400 : 1;
  if (ev.shiftKey || Math.abs(ev.deltaX) > Math.abs(ev.deltaY)) {
    const d = (ev.shiftKey ? ev.deltaY || ev.deltaX : ev.deltaX) * unit;
    st.view.start += d / st.view.pxPerRow;
    clampView();
    invalidate(true);
  } else {
    zoomAt(Math.exp(-ev.deltaY * unit * 0.0015), x);
  }
}
lanesCanvas.addEventListener("wheel", (ev) => onWheel(ev, lanesCanvas), { passive: false });
headerCanvas.addEventListener("wheel", (ev) => onWheel(ev, headerCanvas), { passive: false });
$("scroller").addEventListener("scroll", () => invalidate(false));

// ---- Keyboard and toolbar ------------------------------------------------------------

document.addEventListener("keydown", (ev) => {
  const inField = ev.target instanceof HTMLInputElement || ev.target instanceof HTMLSelectElement;
  const mod = ev.ctrlKey || ev.metaKey;
  const key = ev.key.toLowerCase();
  if (mod && key === "s") { ev.preventDefault(); save(); return; }
  if (inField) return;
  if (mod && key === "z") { ev.preventDefault(); ev.shiftKey ? redo() : undo(); return; }
  if (mod && key === "y") { ev.preventDefault(); redo(); return; }
  if (ev.key === " ") { ev.preventDefault(); transport({ pause: st.playing }); return; }
  if (ev.key === "Delete" || ev.key === "Backspace") { ev.preventDefault(); deleteSelected(); return; }
  if (ev.key === "Escape") { closeMenu(); st.selection = null; updateKeyBox(); invalidate(true); return; }
  if (ev.key === "Home") { transport({ seek: 0 }); return; }
});

$("play").addEventListener("click", () => transport({ pause: st.playing }));
$("noloop").addEventListener("click", () => transport({ loop: null }));
$("whole").addEventListener("click", showWhole);
$("section").addEventListener("change", (ev) => { if (ev.target.value !== "") showSection(Number(ev.target.value)); ev.target.value = ""; });
$("lanesLess").addEventListener("click", () => { st.laneHeight = Math.max(MIN_LANE, Math.round(st.laneH / 1.3)); layout(); });
$("lanesMore").addEventListener("click", () => { st.laneHeight = Math.min(MAX_LANE, Math.round(st.laneH * 1.3) + 1); layout(); });
$("lanesFit").addEventListener("click", () => { st.laneHeight = 0; layout(); });
$("undo").addEventListener("click", undo);
$("redo").addEventListener("click", redo);
$("save").addEventListener("click", save);
$("bannerclose").addEventListener("click", () => { $("banner").hidden = true; layout(); });
$("bannerreload").addEventListener("click", async () => { $("banner").hidden = true; await reload("from the demo"); layout(); });
$("keydelete").addEventListener("click", deleteSelected);
TYPE_NAMES.forEach((name, i) => $("keytype").add(new Option(name, String(i))));
$("keytype").addEventListener("change", (ev) => setSelectedKey({ type: Number(ev.target.value) }, `Key type: ${TYPE_NAMES[Number(ev.target.value)]}`));
$("keyvalue").addEventListener("keydown", (ev) => {
  if (ev.key === "Enter") {
    const v = Number(ev.target.value);
    if (ev.target.value.trim() === "" || !Number.isFinite(v)) { message("Not a number: " + ev.target.value, "bad"); return; }
    setSelectedKey({ value: v }, `Key value: ${formatValue(v)}`);
    ev.target.blur();
  } else if (ev.key === "Escape") {
    ev.target.blur();
    updateKeyBox();
  }
});

// Buttons and menus give the keyboard back: Space must pause, not press them again.
for (const el of document.querySelectorAll("#toolbar button, #toolbar select, #banner button"))
  el.addEventListener(el.tagName === "SELECT" ? "change" : "click", () => el.blur());

window.addEventListener("resize", () => layout());

// For the browser test and for scripts: where things are on screen, and the formulas.
window.editor = {
  valueAt: (track, x) => valueAt(keysOf(track), x),
  keys: (track) => keysOf(track).map((k) => Object.assign({}, k)),
  revision: () => st.revision,
  // Client coordinates of a row and value in a track's lane (null when not on screen).
  point(track, row, value) {
    const lane = st.lanes.find((l) => l.track === track);
    if (!lane) return null;
    const r = lanesCanvas.getBoundingClientRect();
    const y = lane.kind === "curve" && value !== undefined ? yOfValue(lane, value) : lane.y + lane.h / 2;
    return { x: r.left + xOfRow(row), y: r.top + y - $("scroller").scrollTop };
  },
  rulerPoint(row) {
    const r = headerCanvas.getBoundingClientRect();
    return { x: r.left + xOfRow(row), y: r.top + RULER_H - 10 };
  },
  range: (track) => { const l = st.lanes.find((x) => x.track === track); return l && l.range ? Object.assign({}, l.range) : null; },
  showRows, showWhole, showSection,
  scrollTo(track) {
    const lane = st.lanes.find((l) => l.track === track);
    if (lane) $("scroller").scrollTop = Math.max(0, lane.y - 40);
    invalidate(true);
  },
  setLaneHeight(h) { st.laneHeight = h; layout(); },
  busy: () => !!st.drag || history.busy,
  // Frame times over `frames` animation frames: each one a full redraw (the view moved by
  // a pixel) or, with playheadOnly, the playhead moved (what playing costs).
  measure(frames, playheadOnly) {
    measuring = true;
    return new Promise((resolve) => {
      const times = [];
      let n = 0;
      const step = () => {
        if (n > 0) times.push(stats.lastDrawMs);
        if (n++ >= frames) {
          times.sort((a, b) => a - b);
          measuring = false;
          resolve({ headerMs: stats.headerMs, lanesMs: stats.lanesMs, frames: times.length, mean: times.reduce((a, b) => a + b, 0) / times.length,
            p95: times[Math.floor(times.length * 0.95)], max: times[times.length - 1] });
          return;
        }
        if (playheadOnly) st.row = (st.row + 1) % Math.max(1, st.tl.lengthRows);
        else st.view.start += (n % 2 ? 1 : -1) / st.view.pxPerRow;
        invalidate(!playheadOnly);
        requestAnimationFrame(() => setTimeout(step, 0));
      };
      step();
    });
  },
  redraw: () => invalidate(true),
};

// ---- Start ---------------------------------------------------------------------------

async function start() {
  if (!token) {
    banner("This page needs the address the demo printed (it carries the token).");
    return;
  }
  try {
    await load(true);
  } catch (e) {
    banner("Cannot read the timeline: " + e.message);
    return;
  }
  updateHistory();
  connectEvents(onEvent, onLink);
  await loadWaveform();
  stats.ready = true;
}
start();
