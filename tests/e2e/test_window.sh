#!/usr/bin/env bash
# The engine's frame loop in a real window: it starts, draws frames, ends on Escape
# (sent as a real key press) or at the end position, prints its statistics and shuts
# down in order with exit status 0.
set -euo pipefail
. "$(dirname "$0")/own_display.sh"
# Keys go to the focused window: a display of its own, so that no other test's window
# (ctest runs several at once) takes them.
run_on_own_display 1280x1024x24 "$@"
window_test_setup

expect_line() { grep -q -- "$1" "$2" || { echo "FAILED: '$1' missing from $2:"; cat "$2"; exit 1; }; }

# 1. Escape ends the loop.
"$SMOKE" > "$WORK/escape.log" 2>&1 &
PID=$!
for _ in $(seq 1 100); do
  WID=$(xdotool search --name "Demosys smoke test" 2>/dev/null | head -1 || true)
  [ -n "$WID" ] && break
  sleep 0.1
done
[ -n "$WID" ] || { echo "FAILED: no window appeared"; cat "$WORK/escape.log"; exit 1; }
# Escape has no effect while loading: press it once the frame loop runs.
for _ in $(seq 1 300); do grep -q "^\[Demo Init\]" "$WORK/escape.log" && break; sleep 0.1; done
sleep 0.5
xdotool windowfocus --sync "$WID" 2>/dev/null || true
xdotool key --clearmodifiers Escape
for _ in $(seq 1 100); do kill -0 "$PID" 2>/dev/null || break; sleep 0.1; done
if kill -0 "$PID" 2>/dev/null; then echo "FAILED: Escape did not end the loop"; cat "$WORK/escape.log"; exit 1; fi
wait "$PID"; status=$?; PID=""
[ "$status" -eq 0 ] || { echo "FAILED: exit status $status"; exit 1; }
for line in "\[Creating DataPools\]" "OpenGL version : " "GLSL version : " "\[Defining Resources\]" \
            "\[Define Effects\]" "\[Loading Shaders\]" "\[Loading Textures\]" "\[Create track data\]" \
            "\[Initializing Effect Instances\]" "Validating StartStop track data." "\[Setting up sound\]" "\[Demo Init\]" \
            "Duration : (0000000000)-\[00:00:000\]" "Average FPS = " "\[Shutting Down\]" "\[Deleting Pools\]" \
            "delete ORVDemosys::tracks" "delete ORVDemosys::timer" "Query GL for remaining texture objects (1-250)" \
            "ORVDemosys::shutdown()" "\[Application End\]"; do
  expect_line "$line" "$WORK/escape.log"
done
frames=$(sed -n 's/^frames = //p' "$WORK/escape.log")
[ "${frames:-0}" -ge 2 ] || { echo "FAILED: only ${frames:-0} frames before Escape"; exit 1; }
if grep -q "GL_ERROR\|Message from demosys" "$WORK/escape.log"; then echo "FAILED: errors reported"; cat "$WORK/escape.log"; exit 1; fi

# 2. A clock past the end position draws that one frame, then ends by itself.
timeout 20 "$SMOKE" --start 231001 --end 231000 > "$WORK/end.log" 2>&1
expect_line "frames = 1" "$WORK/end.log"
expect_line "Duration : (0000231001)-\[03:51:001\]" "$WORK/end.log"
expect_line "Average FPS = " "$WORK/end.log"

# 3. A window that cannot open is reported, and the program still shuts down cleanly.
timeout 20 "$SMOKE" --size 0x0 > "$WORK/fail.log" 2>&1
expect_line "Message from demosys :" "$WORK/fail.log"
expect_line "Failed to open window" "$WORK/fail.log"
expect_line "Failed to open screen : 0x0Failed to open window" "$WORK/fail.log"
expect_line "\[Application End\]" "$WORK/fail.log"
if grep -q "Duration : " "$WORK/fail.log"; then echo "FAILED: a failed load ran the loop"; exit 1; fi
# 4. Music that cannot be opened stops the load with the sound stage's texts.
timeout 20 "$SMOKE" --music missing.mp3 > "$WORK/nomusic.log" 2>&1
expect_line "Play : missing.mp3" "$WORK/nomusic.log"
expect_line "Failed to create sound sysmte sound! Error code: " "$WORK/nomusic.log"
grep -A2 "Message from resourceloader" "$WORK/nomusic.log" | grep -q "Failed to load sound!" ||
  { echo "FAILED: sound failure text missing"; cat "$WORK/nomusic.log"; exit 1; }
expect_line "File : 'missing.mp3'" "$WORK/nomusic.log"
expect_line "\[Application End\]" "$WORK/nomusic.log"

# 5. Without a display GLFW cannot start: the texts are printed without a loader record.
env -u DISPLAY -u WAYLAND_DISPLAY timeout 20 "$SMOKE" > "$WORK/noglfw.log" 2>&1
grep -A3 "Message from demosys :" "$WORK/noglfw.log" | tail -1 | grep -qx "Failed to initialize GLFW" ||
  { echo "FAILED: GLFW failure text missing"; cat "$WORK/noglfw.log"; exit 1; }
expect_line "\[Application End\]" "$WORK/noglfw.log"
echo "window: all checks passed"
