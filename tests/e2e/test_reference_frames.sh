#!/usr/bin/env bash
# Glass Hall's reference frames: each frame of tests/data/reference/glasshall/frames.list
# rendered by glasshall-capture at 320x180 and compared with its committed picture. A
# frame that differs is written with a difference image into $DEMOSYS_TEST_OUTPUT (by
# default reference_frames/ in the test's directory). After a deliberate visual change,
# scripts/update-reference-frames.sh writes new ones.
set -euo pipefail
CAPTURE=${DEMOSYS_CAPTURE:?}
CHECK=${DEMOSYS_CAPTURE_CHECK:?}
REF=${DEMOSYS_SOURCE_DIR:?}/tests/data/reference/glasshall
. "$DEMOSYS_SOURCE_DIR/tests/e2e/tool_checks.sh"
# Offline rendering needs no X server.
unset DISPLAY
glasshall_content
export LIBGL_ALWAYS_SOFTWARE=1 SDL_AUDIODRIVER=dummy
export DEMOSYS_TEST_OUTPUT=${DEMOSYS_TEST_OUTPUT:-$PWD/reference_frames}
mkdir -p "$DEMOSYS_TEST_OUTPUT"
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

"$CAPTURE" "${CONTENT[@]}" --size 320x180 --fps 30 --quality 2 --list "$REF/frames.list" -o "$WORK" \
  > "$WORK/capture.log" 2> "$WORK/capture.err" || { echo "FAILED: glasshall-capture: $(tail -3 "$WORK/capture.err")"; exit 1; }
! grep -nE "not found!|^\[GL_ERROR|Fallback draw method" "$WORK/capture.log" || { echo "FAILED: fault lines while drawing"; exit 1; }
failed=0
for name in $(grep -vE '^\s*(#|$)' "$REF/frames.list" | awk '{ print $1 }'); do
  "$CHECK" compare "$WORK/$name.png" "$REF/$name.png" "$name" 3.0 26.0 || failed=1
done
[ "$failed" = 0 ] || { echo "FAILED: frames differ from their references; actual and difference images in $DEMOSYS_TEST_OUTPUT"; exit 1; }
echo "reference frames: ok"
