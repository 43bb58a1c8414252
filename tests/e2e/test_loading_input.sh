#!/usr/bin/env bash
# Keys pressed while the demo loads: Escape has no effect until loading is over (the
# window reads its events meanwhile, and nothing queued before the input callback is
# installed reaches it), then an Escape during playback ends the demo as usual.
set -euo pipefail
. "$(dirname "$0")/own_display.sh"
# Keys go to the focused window: a display of its own, so that no other test's window
# (ctest runs several at once) takes them.
run_on_own_display 1280x1024x24 "$@"
window_test_setup
LOG=$WORK/run.log

fail() { echo "FAILED: $*"; cat "$LOG"; exit 1; }
wait_for_line() { # wait_for_line PATTERN: up to 30 s
  for _ in $(seq 1 300); do grep -q -- "$1" "$LOG" && return 0; sleep 0.1; done
  fail "'$1' never appeared"
}
press_escape() {
  xdotool windowfocus --sync "$WID" 2>/dev/null || true
  xdotool key --clearmodifiers Escape
}

# Each redraw of the loading screen takes 1.5 s: three of them, one at the start of the
# resource stage, one after the sound set-up and one as playback starts.
"$SMOKE" --slow-load 1500 > "$LOG" 2>&1 &
PID=$!
WID=""
for _ in $(seq 1 100); do
  WID=$(xdotool search --name "Demosys smoke test" 2>/dev/null | head -1 || true)
  [ -n "$WID" ] && break
  sleep 0.1
done
[ -n "$WID" ] || fail "no window appeared"

# Escape during the first redraw and during the one after the sound set-up.
wait_for_line "^\[Define Effects\]"
sleep 0.3
press_escape
wait_for_line "^\[Setting up sound\]"
sleep 0.3
press_escape
wait_for_line "^\[Demo Init\]"
grep -q "Duration : " "$LOG" && fail "an Escape pressed while loading ended the demo"
sleep 1.5
kill -0 "$PID" 2>/dev/null || fail "the demo ended right after loading"

press_escape
for _ in $(seq 1 100); do kill -0 "$PID" 2>/dev/null || break; sleep 0.1; done
kill -0 "$PID" 2>/dev/null && fail "Escape after loading did not end the demo"
status=0; wait "$PID" || status=$?; PID=""
[ "$status" -eq 0 ] || fail "exit status $status"
frames=$(sed -n 's/^frames = //p' "$LOG")
[ "${frames:-0}" -ge 10 ] || fail "only ${frames:-0} frames were drawn before the last Escape"
grep -q "\[Application End\]" "$LOG" || fail "no orderly shutdown"
echo "loading input: all checks passed"
