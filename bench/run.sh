#!/usr/bin/env bash
# Builds what the benchmarks need, measures the production and prints the performance
# table (name, value, unit, ratio, goal); writes it as JSON to bench/results.json or to
# the path given.
#
#   bench/run.sh [RESULTS.json]
#
# GL figures come from Mesa's llvmpipe under Xvfb (started here when no display is set).
# The machine's load moves every figure: compare ratios from one run, not runs.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
OUT=${1:-$ROOT/bench/results.json}
BUILD=${DEMOSYS_BUILD_DIR:-$ROOT/build}
JOBS=${DEMOSYS_JOBS:-2}
export LIBGL_ALWAYS_SOFTWARE=1

if [ -z "${DISPLAY:-}" ] && [ -z "${DEMOSYS_BENCH_UNDER_XVFB:-}" ]; then
  exec env DEMOSYS_BENCH_UNDER_XVFB=1 xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$0" "$@"
fi

cmake -S "$ROOT" -B "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDEMOSYS_BENCH=ON > /dev/null
targets="glasshall_check bench_music bench_frames music"
for t in bench_timeline glasshall-capture; do
  if cmake --build "$BUILD" --target help | grep -q "^\.\.\. $t\$"; then targets="$targets $t"; fi
done
cmake --build "$BUILD" -j"$JOBS" --target $targets > /dev/null
[ -s "$BUILD/resources.7z" ] && [ -d "$BUILD/resources" ] || { echo "no resources in $BUILD (build the default target)"; exit 1; }

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
ROWS="$WORK/rows.tsv"
: > "$ROWS"
row() { printf '%s\t%s\t%s\t%s\t%s\n' "$1" "$2" "$3" "$4" "$5" >> "$ROWS"; } # name value unit ratio goal

# Every line of a program's output with the seconds since it started in front.
stamped() {
  python3 -u -c '
import subprocess, sys, time
start = time.monotonic()
p = subprocess.Popen(sys.argv[1:], stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True, bufsize=1)
for line in p.stdout:
    sys.stdout.write("%.4f %s" % (time.monotonic() - start, line))
sys.exit(p.wait())' "$@"
}
first_line() { awk -v pat="$2" '{ line = substr($0, index($0, " ") + 1) } index(line, pat) == 1 { print $1; exit }' "$1"; }
ms_between() { python3 -c "import sys; print('%.0f' % ((float(sys.argv[2]) - float(sys.argv[1])) * 1000))" "$1" "$2"; }
CHECK="$BUILD/tests/glasshall_check"

# ---- loading: archive, loose files, the archiver's own test of the archive ----------------
load_run() { # load_run MODE LOG: load, one frame, shutdown; peak memory into LOG.mem
  (cd "$BUILD" && /usr/bin/time -f "%M" -o "$2.mem" "$CHECK" --mode "$1" --size 640x360 --play 0 0 > /dev/null 2>&1) || true
  (cd "$BUILD" && stamped "$CHECK" --mode "$1" --size 640x360 --play 0 0 > "$2") || true
}
best_load() { # best_load MODE NAME: the fastest of three runs (the machine is shared)
  local best="" bestfirst="" i
  for i in 1 2 3; do
    load_run "$1" "$WORK/$2.$i.log"
    local l f
    l=$(ms_between "$(first_line "$WORK/$2.$i.log" "Run demo")" "$(first_line "$WORK/$2.$i.log" "[Demo Init]")")
    f=$(ms_between "$(first_line "$WORK/$2.$i.log" "Run demo")" "$(first_line "$WORK/$2.$i.log" "Duration : ")")
    if [ -z "$best" ] || [ "$l" -lt "$best" ]; then best=$l; bestfirst=$f; cp "$WORK/$2.$i.log" "$WORK/$2.log"; fi
  done
  echo "$best $bestfirst"
}
read -r archive_ms archive_first_ms < <(best_load 1 archive)
read -r loose_ms loose_first_ms < <(best_load 0 loose)
sevenz_ms=999999
for i in 1 2 3; do
  s=$(date +%s.%N); 7z t "$BUILD/resources.7z" > /dev/null; e=$(date +%s.%N)
  t=$(ms_between "$s" "$e"); [ "$t" -lt "$sevenz_ms" ] && sevenz_ms=$t
done
ratio() { python3 -c "import sys; a, b = float(sys.argv[1]), float(sys.argv[2]); print('%.2f' % (a / b) if b > 0 else '-')" "$1" "$2"; }
row "load from resources.7z" "$archive_ms" ms "$(ratio "$archive_ms" "$loose_ms")" "<= 1.3 x loose load"
row "load from resources/" "$loose_ms" ms 1.00 "-"
row "7z t resources.7z" "$sevenz_ms" ms "-" "-"
row "archive overhead / 7z t" "$((archive_ms - loose_ms))" ms "$(ratio "$((archive_ms - loose_ms))" "$sevenz_ms")" "<= 1.5 x 7z t"
row "start of loading to first frame (archive)" "$archive_first_ms" ms "$(ratio "$archive_first_ms" 3000)" "<= 3000 ms"
# Mesa keeps compiled shaders on disk, so the runs above compile little; once without it.
(cd "$BUILD" && MESA_SHADER_CACHE_DISABLE=true stamped "$CHECK" --mode 1 --size 640x360 --play 0 0 > "$WORK/cold.log") || true
cold=$(ms_between "$(first_line "$WORK/cold.log" "Run demo")" "$(first_line "$WORK/cold.log" "Duration : ")")
shaders=$(ms_between "$(first_line "$WORK/cold.log" "[Loading Shaders]")" "$(first_line "$WORK/cold.log" "[Loading 3D Objects]")")
row "first frame, no shader cache (archive)" "$cold" ms "$(ratio "$cold" 3000)" "<= 3000 ms"
row "  of which loading shaders, no shader cache" "$shaders" ms "-" "-"
row "peak memory, load and one frame" "$(( $(cat "$WORK/archive.1.log.mem") / 1024 ))" MiB "-" "-"

# Where the loading time goes: the stages of the fastest archive load.
echo "loading stages (archive, fastest run):"
awk '{ t = $1; line = substr($0, index($0, " ") + 1) }
     line ~ /^\[/ || line == "Run demo" { if (name != "") printf "  %-32s %7.0f ms\n", name, (t - from) * 1000; name = line; from = t }
     line ~ /^Duration : / { printf "  %-32s %7.0f ms\n", name " to the first frame", (t - from) * 1000; exit }' "$WORK/archive.log"

# ---- frame times at 640 x 360 through the offline renderer, in full-screen passes ----------
# bench_frames: each effect with only what it needs (the solo check's cases), whole
# sections, the demo at one frame a second, and one full-screen two-texture pass; each
# case again through the frame profiler (its stages).
(cd "$BUILD" && "$BUILD/bench/bench_frames" "$ROOT/tests/glasshall/solo_cases.txt" --size 640x360 --frames 8 \
  --sections 2000,24000,42000,56000,72000,92000,112000,152000 > "$WORK/frames.log" 2>&1) || true
pass=$(awk '$1 == "frame" && $2 == "pass" { print $3 }' "$WORK/frames.log")
if [ -n "$pass" ]; then
  row "full-screen pass, two texture reads" "$pass" ms 1.00 "the unit of the ratios below (passes)"
  awk -v pass="$pass" '$1 == "frame" && $2 != "pass" && $2 != "pass-alone" {
      name = $2; sub(/^effect:/, "effect ", name); sub(/^section:/, "section from ms ", name)
      if (name == "demo") name = "demo average (1 frame per second)"
      if ($3 == "failed") printf "%s frame\tnot measured\t-\t-\tthe render failed\n", name
      else printf "%s frame\t%s\tms\t%.1f\t-\n", name, $3, $3 / pass }' "$WORK/frames.log" >> "$ROWS"
  # Each scene's own passes (geometry, lights, and what the effect adds to them, but not
  # its composite into the target, nor the other effects' stages of the case such as the
  # grade's), timed by the frame profiler, against one full-screen pass timed the same
  # way (alone).
  alone=$(awk '$1 == "frame" && $2 == "pass-alone" { print $3 }' "$WORK/frames.log")
  awk -v alone="$alone" '$1 == "stage" && $2 ~ /^scene[0-9]$/ && split($3, part, "/") == 2 && part[1] ~ /^scene_[0-9]_effect$/ && part[2] != "composite" { sum[$2] += $4 }
      END { for (s in sum) printf "%s geometry and lighting (profiled)\t%.1f\tms\t%.1f\t<= 9 passes alone\n", s, sum[s], sum[s] / alone }' \
      "$WORK/frames.log" | sort >> "$ROWS"
  row "full-screen pass alone (profiled unit)" "$alone" ms 1.00 "the unit of the scene rows"
else
  row "frame times" "not measured" "-" "-" "bench_frames failed: $(tail -1 "$WORK/frames.log")"
fi

# ---- peak memory while playing: load, then 10 s of the real frame loop --------------------
(cd "$BUILD" && /usr/bin/time -f "%M" -o "$WORK/play.mem" "$CHECK" --mode 1 --size 640x360 --play 20000 30000 \
  > "$WORK/play.log" 2>&1) || true
row "peak memory, load and 10 s of play" "$(( $(cat "$WORK/play.mem") / 1024 ))" MiB "-" "-"
fps=$(sed -n 's/^Average FPS = //p' "$WORK/play.log")
[ -n "$fps" ] && row "frame loop 20-30 s at 640x360 (window)" "$(python3 -c "import sys; print('%.1f' % (1000 / float(sys.argv[1])))" "$fps")" ms/frame "-" "-"

# ---- 1280 x 720, quality High, through the real frame loop: each section of the music -----
# One run per section (the program without its dialog, from the section's first to its
# last millisecond of music); the whole demo is their frames over their time. Set
# DEMOSYS_BENCH_QUICK=1 to leave these rows out (about four minutes).
if [ -z "${DEMOSYS_BENCH_QUICK:-}" ]; then
  SECTIONS="intro:0:16000 build1:16000:32000 drop1:32000:64000 break:64000:80000 build2:80000:96000
            drop2:96000:128000 drive:128000:144000 bridge:144000:160000 build3:160000:176000
            drop3:176000:208000 credits:208000:224000 ending:224000:231000"
  frames_sum=0; ms_sum=0; slowest=""
  for s in $SECTIONS; do
    IFS=: read -r name from to <<< "$s"
    (cd "$BUILD" && "$CHECK" --mode 1 --size 1280x720 --quality 2 --play "$from" "$to" > "$WORK/section.log" 2>&1) || true
    f=$(sed -n 's/^Average FPS = //p' "$WORK/section.log")
    if [ -z "$f" ]; then
      row "section $name at 1280x720" "not measured" "-" "-" "glasshall_check failed: $(tail -1 "$WORK/section.log")"
      continue
    fi
    row "section $name ($((from / 1000))-$((to / 1000)) s) at 1280x720" "$(printf '%.1f' "$f")" fps \
      "$(python3 -c "import sys; print('%.2f' % (float(sys.argv[1]) / 20))" "$f")" ">= 20 fps"
    frames_sum=$(python3 -c "import sys; print(float(sys.argv[1]) + float(sys.argv[2]) * (int(sys.argv[4]) - int(sys.argv[3])) / 1000)" "$frames_sum" "$f" "$from" "$to")
    ms_sum=$((ms_sum + to - from))
  done
  if [ "$ms_sum" -gt 0 ]; then
    whole=$(python3 -c "import sys; print('%.1f' % (float(sys.argv[1]) * 1000 / float(sys.argv[2])))" "$frames_sum" "$ms_sum")
    row "whole demo at 1280x720, High, frame loop" "$whole" fps "$(python3 -c "import sys; print('%.2f' % (float(sys.argv[1]) / 30))" "$whole")" ">= 30 fps"
  fi
fi

# ---- the capture tool against real time ---------------------------------------------------
# timed_capture NAME SIZE FROM TO: captures FROM..TO at 30 fps into $WORK/NAME.mp4 and sets
# took to the ms it took; false when the capture failed (its log is $WORK/NAME.log).
timed_capture() {
  local s e
  s=$(date +%s.%N)
  (cd "$BUILD" && "$BUILD/tools/glasshall-capture" --archive resources.7z --size "$2" --fps 30 --from "$3" --to "$4" \
    -o "$WORK/$1.mp4" > "$WORK/$1.log" 2>&1) || return 1
  e=$(date +%s.%N)
  took=$(ms_between "$s" "$e")
}
if [ -x "$BUILD/tools/glasshall-capture" ]; then
  if timed_capture capture 640x360 00:20.000 00:30.000; then
    row "capture 10 s at 640x360, 30 fps" "$took" ms "$(ratio 10000 "$took")" ">= 1.0 x real time on 2 cores"
  else
    row "capture speed" "not measured" "-" "-" "glasshall-capture failed: $(tail -1 "$WORK/capture.log")"
  fi
  # The whole demo at 1920 x 1080 must capture in at most 12 minutes: 3.1 x real time.
  # Ten seconds of drop1 (scene 2 through the glow, the dearest stretch) stand for it.
  if [ -z "${DEMOSYS_BENCH_QUICK:-}" ]; then
    if timed_capture capture1080 1920x1080 00:40.000 00:50.000; then
      row "capture 10 s at 1920x1080, 30 fps (40-50 s)" "$took" ms "$(ratio "$took" 10000)" "<= 3.1 x real time (demo in 12 min)"
    else
      row "capture 1080p" "not measured" "-" "-" "glasshall-capture failed: $(tail -1 "$WORK/capture1080.log")"
    fi
  fi
else
  row "capture speed" "not measured" "-" "-" "glasshall-capture is not in this tree"
fi

# ---- the engine's own CPU cost per frame --------------------------------------------------
if [ -x "$BUILD/bench/bench_timeline" ]; then
  "$BUILD/bench/bench_timeline" --benchmark_format=json --benchmark_out="$WORK/timeline.json" > /dev/null 2>&1 || true
  python3 - "$WORK/timeline.json" >> "$ROWS" <<'EOF' || row "engine CPU per frame" "not measured" "-" "-" "bench_timeline failed"
import json, sys
runs = {b["name"]: b for b in json.load(open(sys.argv[1]))["benchmarks"]}
scale = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}
def ns(b): return b["real_time"] * scale[b["time_unit"]]
for name, b in runs.items():
    if "GetValue" in name:
        print("TrackInterpolate::getValue\t%.1f\tns/call\t-\t-" % ns(b))
    elif "DrawFrame" in name:
        ms = ns(b) / 1e6
        print("TrackManager::drawFrame (11 stub effects)\t%.4f\tms/frame\t%.2f\t<= 0.05 ms" % (ms, ms / 0.05))
        if "allocs/frame" in b:
            print("allocations per frame\t%.2f\tper frame\t-\t0" % b["allocs/frame"])
EOF
else
  row "engine CPU per frame" "not measured" "-" "-" "bench/bench_timeline is not in this tree"
fi

# ---- the music clock against the music ----------------------------------------------------
"$BUILD/bench/bench_music" 15 > "$WORK/music.log" 2>&1 || true
worst=$(awk '$1 == "silent" { for (i = 1; i <= NF; ++i) if ($i == "|clock") print $(i + 3) }' "$WORK/music.log")
row "silent clock - music, largest" "${worst:-not measured}" ms "-" "< 16 ms"
if SDL_AUDIODRIVER=disk SDL_DISKAUDIOFILE=/dev/null SDL_DISKAUDIODELAY=12 "$BUILD/bench/bench_music" 15 > "$WORK/music-disk.log" 2>&1 ||
   grep -q '^device' "$WORK/music-disk.log"; then
  worst=$(awk '$1 == "device" { for (i = 1; i <= NF; ++i) if ($i == "|clock") print $(i + 3) }' "$WORK/music-disk.log")
  row "disk-driver clock - music, largest" "${worst:-not measured}" ms "-" "< 16 ms"
fi

# ---- the table and its JSON ---------------------------------------------------------------
python3 - "$ROWS" "$OUT" <<'EOF'
import json, sys, platform, os
rows = [line.rstrip("\n").split("\t") for line in open(sys.argv[1]) if line.strip()]
print("%-48s %12s %-10s %7s  %s" % ("name", "value", "unit", "ratio", "goal"))
for r in rows:
    print("%-48s %12s %-10s %7s  %s" % tuple(r))
cpu = next((l.split(":", 1)[1].strip() for l in open("/proc/cpuinfo") if l.startswith("model name")), "unknown")
doc = {"machine": {"cpu": cpu, "cores": os.cpu_count(), "load": os.getloadavg()},
       "rows": [dict(zip(("name", "value", "unit", "ratio", "goal"), r)) for r in rows]}
json.dump(doc, open(sys.argv[2], "w"), indent=1)
print("written to", sys.argv[2])
EOF
