// The engine's curve evaluation, ported line for line so that the graph is what plays:
// the same segment choice on the whole row, the same single-precision arithmetic.

export const TYPE_NAMES = ["linear", "ease-out", "ease-in", "hold", "quad", "smooth"];

const f32 = Math.fround;

// Value of a curve (keys sorted by row) at the fractional row x.
export function valueAt(keys, x) {
  const n = keys.length;
  if (n === 0) return 0;
  const row = Math.floor(x);
  if (n === 1) return row >= keys[0].row ? f32(keys[0].value) : 0;
  // The first key after the row (upper bound).
  let lo = 0, hi = n;
  while (lo < hi) {
    const mid = (lo + hi) >> 1;
    if (keys[mid].row <= row) lo = mid + 1; else hi = mid;
  }
  if (lo === 0) return 0;
  if (lo === n) return f32(keys[n - 1].value);
  return segmentValue(keys[lo - 1], keys[lo], x);
}

// Value inside the segment from key a to key b (a.row <= floor(x) < b.row).
export function segmentValue(a, b, x) {
  const av = f32(a.value), bv = f32(b.value);
  if (a.type === 3) return av;
  let c = f32(f32(f32(x) - a.row) / f32(b.row - a.row));
  if (c < 0) c = 0; else if (c > 1) c = 1;
  let w;
  switch (a.type) {
    case 1: w = f32(Math.cos((1 - c) * Math.PI * 0.5)); break;
    case 2: w = f32(1 - f32(Math.cos(c * Math.PI * 0.5))); break;
    case 4: w = f32(c * c); break;
    case 5: w = f32(f32(c * c) * f32(3 - 2 * c)); break;
    default: w = c; break;
  }
  return f32(av + f32(f32(bv - av) * w));
}

// Range of values a lane shows: the keys' values with a margin; a flat curve gets a unit
// range around its value.
export function valueRange(keys) {
  if (keys.length === 0) return { lo: 0, hi: 1 };
  let lo = Infinity, hi = -Infinity;
  for (const k of keys) { if (k.value < lo) lo = k.value; if (k.value > hi) hi = k.value; }
  if (hi - lo < 1e-9) {
    const m = Math.max(1, Math.abs(hi) * 0.5);
    return { lo: lo - m, hi: hi + m };
  }
  const pad = (hi - lo) * 0.12;
  return { lo: lo - pad, hi: hi + pad };
}

// The step that values snap to: two significant digits of the lane's range.
export function valueStep(range) {
  const span = range.hi - range.lo;
  return Math.pow(10, Math.floor(Math.log10(span)) - 1);
}

export function snapValue(v, step) {
  const s = Math.round(v / step) * step;
  // Print-clean: no 0.30000000000000004 in the script.
  const digits = Math.max(0, -Math.floor(Math.log10(step)));
  return Number(s.toFixed(Math.min(digits, 12)));
}

// The beat grid: a beat may fall between rows (128 BPM at 20 rows a second is 9.375
// rows); keys go on the row the beat starts in, as the script's bar notation does.
export function snapRow(row, unitRows) {
  return Math.round(Math.round(row / unitRows) * unitRows);
}

// "bar.beat" of a row (bars and beats count from 1), with the rows past the beat.
export function barBeat(row, rowsPerBeat, beatsPerBar) {
  const beats = row / rowsPerBeat;
  const bar = Math.floor(beats / beatsPerBar) + 1;
  const beat = Math.floor(beats - (bar - 1) * beatsPerBar) + 1;
  const rest = row - Math.round(((bar - 1) * beatsPerBar + beat - 1) * rowsPerBeat);
  return { bar, beat, rest };
}

export function formatValue(v) {
  if (!Number.isFinite(v)) return String(v);
  const a = Math.abs(v);
  if (a !== 0 && (a >= 1e5 || a < 1e-3)) return v.toExponential(2);
  return String(Number(v.toPrecision(4)));
}

// Start/stop keys as drawn ranges: a start runs to the next key (a stop, or a start that
// moves the effect to another target) or to the end of the demo.
export function activeRanges(keys, lengthRows) {
  const out = [];
  for (let i = 0; i < keys.length; i++) {
    const k = keys[i];
    if (k.type !== "start") continue;
    const next = keys[i + 1];
    out.push({ from: k.row, to: next ? next.row : lengthRows, target: k.target || "", open: !next });
  }
  return out;
}
