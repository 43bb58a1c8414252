// Drawing the timeline on two canvases: the header (ruler, sections, waveform) and the
// lanes (each effect's active ranges, then its curves). What changes only when the
// timeline, the view or the selection changes is drawn into an offscreen layer; the
// playhead is drawn over a copy of it, so that playing costs two copies and a line.

import { segmentValue, activeRanges, formatValue } from "./curves.js";

export const RULER_H = 42;   // section band 16 + bar numbers and beat ticks
export const SECTION_H = 16;
export const WAVE_H = 46;
export const HEADER_H = RULER_H + WAVE_H;
export const EFFECT_H = 20;

export const C = {
  bg: "#15171c",
  laneA: "#1a1d23",
  laneB: "#1d2027",
  effectRow: "#22262e",
  active: "rgba(255,255,255,0.035)",
  beat: "rgba(255,255,255,0.045)",
  bar: "rgba(255,255,255,0.10)",
  section: "rgba(255,255,255,0.30)",
  text: "#c9d1d9",
  dim: "#7d8590",
  ruler: "#1f232b",
  wave: "#4f7fa8",
  waveDim: "#2d4a63",
  playhead: "#ff5a4e",
  loop: "rgba(246,196,83,0.16)",
  loopEdge: "#f6c453",
  select: "#ffffff",
  zero: "rgba(255,255,255,0.14)",
};

const SECTION_COLOURS = ["#3b5b7a", "#4a6b3f", "#7a4b3b", "#5b4a7a", "#3f6b66", "#7a6a3b"];

export function effectColour(i, n) {
  const hue = (200 + (i * 360) / Math.max(n, 1)) % 360;
  return `hsl(${hue.toFixed(0)}, 62%, 63%)`;
}

function targetColour(target) {
  let h = 0;
  for (const ch of target) h = (h * 31 + ch.charCodeAt(0)) % 360;
  return `hsl(${h}, 40%, 42%)`;
}

// A canvas sized in CSS pixels and drawn at the device's. The playhead is not drawn on
// it (a positioned element over it), so playing costs no canvas work at all.
export class Layer {
  constructor(canvas) {
    this.canvas = canvas;
    this.ctx = canvas.getContext("2d", { alpha: false });
    this.w = 0; this.h = 0; this.dpr = 1;
  }
  resize(w, h) {
    const dpr = window.devicePixelRatio || 1;
    if (w === this.w && h === this.h && dpr === this.dpr) return false;
    this.w = w; this.h = h; this.dpr = dpr;
    this.canvas.width = Math.max(1, Math.round(w * dpr));
    this.canvas.height = Math.max(1, Math.round(h * dpr));
    this.canvas.style.width = w + "px";
    this.canvas.style.height = h + "px";
    return true;
  }
  begin() {
    this.ctx.setTransform(this.dpr, 0, 0, this.dpr, 0, 0);
    return this.ctx;
  }
  // Waits for the drawing to be rasterized (the canvas records commands and draws them
  // later): only for measuring.
  flush() { this.ctx.getImageData(0, 0, 1, 1); }
}

// Grid spacing for the current zoom: bar labels every `barStep` bars, beat ticks when a
// beat is wide enough to see.
export function gridFor(view, tl) {
  const beatPx = tl.rowsPerBeat * view.pxPerRow;
  const barPx = beatPx * tl.beatsPerBar;
  let barStep = 1;
  while (barPx * barStep < 46 && barStep < 4096) barStep *= 2;
  return { beatPx, barPx, barStep, showBeats: beatPx >= 5 };
}

function visibleRows(view, w) {
  return [view.start, view.start + w / view.pxPerRow];
}

function drawGrid(g, view, tl, w, top, h, strong) {
  const grid = gridFor(view, tl);
  const [r0, r1] = visibleRows(view, w);
  const beatsPerBar = tl.beatsPerBar;
  const b0 = Math.max(0, Math.floor(r0 / tl.rowsPerBeat));
  const b1 = Math.ceil(r1 / tl.rowsPerBeat);
  const beats = new Path2D(), bars = new Path2D();
  for (let b = b0; b <= b1; b++) {
    const isBar = b % beatsPerBar === 0;
    const bar = b / beatsPerBar;
    if (isBar && bar % grid.barStep === 0) {
      const x = Math.round((Math.round(b * tl.rowsPerBeat) - view.start) * view.pxPerRow) + 0.5;
      bars.moveTo(x, top); bars.lineTo(x, top + h);
    } else if (grid.showBeats || (isBar && grid.barPx >= 5)) {
      const x = Math.round((Math.round(b * tl.rowsPerBeat) - view.start) * view.pxPerRow) + 0.5;
      beats.moveTo(x, top); beats.lineTo(x, top + h);
    }
  }
  g.lineWidth = 1;
  g.strokeStyle = C.beat; g.stroke(beats);
  g.strokeStyle = strong ? C.bar : C.bar; g.stroke(bars);
  const sections = new Path2D();
  for (const s of tl.sections) {
    const x = Math.round((s.row - view.start) * view.pxPerRow) + 0.5;
    if (x < 0 || x > w) continue;
    sections.moveTo(x, top); sections.lineTo(x, top + h);
  }
  g.strokeStyle = C.section; g.stroke(sections);
}

export function drawHeader(layer, st) {
  const g = layer.begin();
  const { view, tl } = st;
  const w = layer.w;
  g.fillStyle = C.ruler; g.fillRect(0, 0, w, RULER_H);
  g.fillStyle = C.bg; g.fillRect(0, RULER_H, w, WAVE_H);
  const X = (row) => (row - view.start) * view.pxPerRow;

  // Sections: a coloured band each, named.
  g.font = "600 11px system-ui, sans-serif";
  g.textBaseline = "middle";
  tl.sections.forEach((s, i) => {
    const next = tl.sections[i + 1];
    const x0 = X(s.row), x1 = X(next ? next.row : tl.lengthRows);
    if (x1 < 0 || x0 > w) return;
    g.fillStyle = SECTION_COLOURS[i % SECTION_COLOURS.length];
    g.fillRect(x0, 0, x1 - x0 - 1, SECTION_H);
    g.save();
    g.beginPath(); g.rect(x0, 0, x1 - x0 - 1, SECTION_H); g.clip();
    g.fillStyle = "#e6edf3";
    g.fillText(s.name, Math.max(x0, 0) + 5, SECTION_H / 2 + 0.5);
    g.restore();
  });
  // Past the demo's end.
  const xe = X(tl.lengthRows);
  if (xe < w) { g.fillStyle = "rgba(0,0,0,0.35)"; g.fillRect(Math.max(0, xe), 0, w - xe, HEADER_H); }

  // Bar numbers and beat ticks.
  const grid = gridFor(view, tl);
  const [r0, r1] = visibleRows(view, w);
  g.font = "11px ui-monospace, monospace";
  g.textBaseline = "alphabetic";
  const ticks = new Path2D(), barTicks = new Path2D();
  const b0 = Math.max(0, Math.floor(r0 / tl.rowsPerBeat)), b1 = Math.ceil(r1 / tl.rowsPerBeat);
  for (let b = b0; b <= b1; b++) {
    const x = Math.round(X(Math.round(b * tl.rowsPerBeat))) + 0.5;
    const bar = Math.floor(b / tl.beatsPerBar);
    if (b % tl.beatsPerBar === 0 && bar % grid.barStep === 0) {
      barTicks.moveTo(x, SECTION_H); barTicks.lineTo(x, RULER_H);
      g.fillStyle = C.text;
      g.fillText(String(bar + 1), x + 3, SECTION_H + 13);
    } else if (grid.showBeats) {
      ticks.moveTo(x, RULER_H - 7); ticks.lineTo(x, RULER_H);
      if (grid.beatPx >= 34) {
        g.fillStyle = C.dim;
        g.fillText(`${bar + 1}.${(b % tl.beatsPerBar) + 1}`, x + 3, RULER_H - 3);
      }
    }
  }
  g.lineWidth = 1;
  g.strokeStyle = "rgba(255,255,255,0.25)"; g.stroke(ticks);
  g.strokeStyle = "rgba(255,255,255,0.55)"; g.stroke(barTicks);

  // The loop range.
  if (st.loop) {
    const a = X(st.loop[0]), b = X(st.loop[1]);
    g.fillStyle = C.loop; g.fillRect(a, SECTION_H, b - a, HEADER_H - SECTION_H);
    g.fillStyle = C.loopEdge;
    g.fillRect(a, SECTION_H, b - a, 3);
  }

  drawWaveform(g, st, w);
  g.fillStyle = "#2b3038"; g.fillRect(0, RULER_H - 1, w, 1); g.fillRect(0, HEADER_H - 1, w, 1);
}

// The music's peak envelope under the ruler, drawn from the envelope fetched once for the
// whole demo: each pixel column takes the extremes of the envelope's columns it covers.
function drawWaveform(g, st, w) {
  const wf = st.waveform;
  if (!wf) return;
  const { view, tl } = st;
  const mid = RULER_H + WAVE_H / 2, amp = WAVE_H / 2 - 3;
  const msPerCol = (wf.endMs - wf.startMs) / wf.width;
  const top = new Float32Array(w + 1), bottom = new Float32Array(w + 1);
  let any = false;
  for (let px = 0; px <= w; px++) {
    const rowA = view.start + px / view.pxPerRow, rowB = view.start + (px + 1) / view.pxPerRow;
    let ca = Math.floor((rowA * 1000 / tl.rate - wf.startMs) / msPerCol);
    let cb = Math.floor((rowB * 1000 / tl.rate - wf.startMs) / msPerCol);
    if (cb < 0 || ca >= wf.width) { top[px] = 0; bottom[px] = 0; continue; }
    ca = Math.max(0, ca); cb = Math.min(wf.width - 1, Math.max(ca, cb));
    let hi = -1, lo = 1;
    for (let c = ca; c <= cb; c++) { if (wf.max[c] > hi) hi = wf.max[c]; if (wf.min[c] < lo) lo = wf.min[c]; }
    top[px] = hi; bottom[px] = lo; any = true;
  }
  if (!any) return;
  g.fillStyle = C.wave;
  g.beginPath();
  g.moveTo(0, mid - top[0] * amp);
  for (let px = 1; px <= w; px++) g.lineTo(px, mid - Math.max(top[px], 0.01) * amp);
  for (let px = w; px >= 0; px--) g.lineTo(px, mid - Math.min(bottom[px], -0.01) * amp);
  g.closePath();
  g.fill();
  g.fillStyle = C.waveDim; g.fillRect(0, mid, w, 1);
}

// The lanes: `lanes` from the layout, `scroll` the vertical offset of the scroller.
export function drawLanes(layer, st, lanes, scroll) {
  const g = layer.begin();
  const { view, tl } = st;
  const w = layer.w, h = layer.h;
  g.fillStyle = C.bg; g.fillRect(0, 0, w, h);
  const X = (row) => (row - view.start) * view.pxPerRow;
  const xe = X(tl.lengthRows);

  for (const lane of lanes) {
    const y = lane.y - scroll;
    if (y + lane.h < 0 || y > h) continue;
    if (lane.kind === "effect") {
      g.fillStyle = C.effectRow; g.fillRect(0, y, w, lane.h);
      drawActive(g, st, lane, y, w, X);
    } else {
      g.fillStyle = lane.index % 2 ? C.laneA : C.laneB;
      g.fillRect(0, y, w, lane.h);
      // Where the effect draws, so that the part of a curve that matters stands out.
      g.fillStyle = C.active;
      for (const r of activeRanges(lane.effect.keys, tl.lengthRows)) {
        const a = X(r.from), b = X(r.to);
        if (b < 0 || a > w) continue;
        g.fillRect(a, y, b - a, lane.h);
      }
    }
  }
  drawGrid(g, view, tl, w, 0, h, true);
  if (st.loop) {
    const a = X(st.loop[0]), b = X(st.loop[1]);
    g.fillStyle = "rgba(246,196,83,0.05)"; g.fillRect(a, 0, b - a, h);
  }
  for (const lane of lanes) {
    const y = lane.y - scroll;
    if (lane.kind !== "curve" || y + lane.h < 0 || y > h) continue;
    drawCurve(g, st, lane, y, w, X);
  }
  // Lane separators.
  g.fillStyle = "rgba(0,0,0,0.45)";
  for (const lane of lanes) {
    const y = lane.y - scroll;
    if (y + lane.h >= 0 && y <= h) g.fillRect(0, y + lane.h - 1, w, 1);
  }
  if (xe < w) { g.fillStyle = "rgba(0,0,0,0.35)"; g.fillRect(Math.max(0, xe), 0, w - xe, h); }
}

function keyMark(p, x, y, r, type) {
  if (type === 3) { p.rect(x - r, y - r, 2 * r, 2 * r); return; }
  if (type === 0) {
    p.moveTo(x, y - r - 0.5); p.lineTo(x + r + 0.5, y); p.lineTo(x, y + r + 0.5); p.lineTo(x - r - 0.5, y); p.closePath();
    return;
  }
  p.moveTo(x + r, y); p.arc(x, y, r, 0, Math.PI * 2);
}

function drawActive(g, st, lane, y, w, X) {
  const keys = st.displayKeys(lane.track);
  const ranges = activeRanges(keys, st.tl.lengthRows);
  g.font = "10px system-ui, sans-serif";
  g.textBaseline = "middle";
  for (const r of ranges) {
    const a = X(r.from), b = X(r.to);
    if (b < 0 || a > w) continue;
    g.fillStyle = targetColour(r.target);
    g.fillRect(a, y + 3, Math.max(1, b - a - 1), lane.h - 6);
    g.fillStyle = lane.colour;
    g.fillRect(a, y + 3, Math.max(1, b - a - 1), 2);
    if (b - a > 40) {
      g.save(); g.beginPath(); g.rect(a, y, b - a - 4, lane.h); g.clip();
      g.fillStyle = "#e6edf3";
      g.fillText(r.target, Math.max(a, 0) + 4, y + lane.h / 2 + 1);
      g.restore();
    }
  }
  // The keys: the edges that drag.
  for (const k of keys) {
    const x = Math.round(X(k.row));
    if (x < -4 || x > w + 4) continue;
    const sel = st.isSelected(lane.track, k.row);
    g.fillStyle = sel ? C.select : k.type === "start" ? "#9be9a8" : "#ff9b8e";
    g.fillRect(x - (k.type === "start" ? 0 : 2), y + 2, 2, lane.h - 4);
    if (sel) { g.strokeStyle = C.select; g.strokeRect(x - 3.5, y + 1.5, 7, lane.h - 3); }
  }
}

// One curve with the engine's interpolation: zero before the first key, the last key's
// value after it, each segment with its earlier key's type.
function drawCurve(g, st, lane, y, w, X) {
  const keys = st.displayKeys(lane.track);
  const range = lane.range;
  const h = lane.h;
  const top = y + 2, span = h - 4;
  const Y = (v) => {
    const t = (v - range.lo) / (range.hi - range.lo);
    const yy = top + (1 - t) * span;
    return yy < y ? y : yy > y + h - 1 ? y + h - 1 : yy;
  };
  // No clip: every y is clamped into the lane, and x past the canvas costs nothing.
  // The zero line where it is inside the range.
  if (range.lo < 0 && range.hi > 0) {
    g.fillStyle = C.zero; g.fillRect(0, Math.round(Y(0)), w, 1);
  }
  // The lane's range at its left edge, on a backing so that curves do not garble it.
  if (h >= 30) {
    g.font = "9px ui-monospace, monospace";
    const hi = formatValue(range.hi), lo = formatValue(range.lo);
    g.fillStyle = "rgba(21,23,28,0.8)";
    g.fillRect(0, y + 1, g.measureText(hi).width + 5, 11);
    g.fillRect(0, y + h - 12, g.measureText(lo).width + 5, 11);
    g.fillStyle = C.dim;
    g.textBaseline = "top"; g.fillText(hi, 2, y + 2);
    g.textBaseline = "bottom"; g.fillText(lo, 2, y + h - 2);
  }
  if (keys.length === 0) return;

  const rowAt = (px) => st.view.start + px / st.view.pxPerRow;
  const path = new Path2D();
  const first = keys[0];
  const xf = X(first.row);
  // Before the first key the engine answers 0.
  path.moveTo(Math.min(0, xf), Y(0));
  path.lineTo(xf, Y(0));
  path.lineTo(xf, Y(first.value));
  // Eased segments sampled every other pixel, every third in a low lane.
  const step = h >= 24 ? 2 : 3;
  let cut = false;
  for (let i = 0; i + 1 < keys.length; i++) {
    const a = keys[i], b = keys[i + 1];
    const xa = X(a.row), xb = X(b.row);
    if (xa > w) { cut = true; break; }
    if (xb >= 0 && a.type !== 0 && a.type !== 3) {
      // Eased: sampled every other pixel across the visible part of the segment.
      for (let px = xa < 0 ? 0 : xa + step; px < Math.min(xb, w + step); px += step) path.lineTo(px, Y(segmentValue(a, b, rowAt(px))));
      path.lineTo(xb, Y(segmentValue(a, b, b.row)));
    } else if (a.type === 3) {
      path.lineTo(xb, Y(a.value));
    }
    path.lineTo(xb, Y(b.value));
  }
  if (!cut) {
    const last = keys[keys.length - 1];
    path.lineTo(Math.max(w, X(last.row)), Y(last.value));
  }
  g.strokeStyle = lane.colour;
  g.lineWidth = h >= 24 ? 1.5 : 1;
  g.lineJoin = "bevel";
  g.stroke(path);

  // Keys: hold as squares, linear as diamonds, the eased types as circles; one path for
  // all of a lane's keys (a fill per key is what costs on a long timeline).
  const r = h >= 24 ? 3.5 : 2.5;
  const marks = new Path2D();
  let selected = null;
  for (const k of keys) {
    const x = X(k.row);
    if (x < -6 || x > w + 6) continue;
    const yy = Math.min(Math.max(Y(k.value), y + r), y + h - 1 - r);
    if (st.isSelected(lane.track, k.row)) selected = { x, yy, type: k.type };
    keyMark(marks, x, yy, r, k.type);
  }
  g.fillStyle = lane.colour;
  g.fill(marks);
  if (selected) {
    const one = new Path2D();
    keyMark(one, selected.x, selected.yy, r + 1, selected.type);
    g.fillStyle = C.select; g.fill(one);
    g.strokeStyle = C.select; g.lineWidth = 1;
    g.beginPath(); g.arc(selected.x, selected.yy, r + 4, 0, Math.PI * 2); g.stroke();
  }
}

