#!/usr/bin/env bash
# Rewrites Glass Hall's reference frames (tests/data/reference/glasshall/NAME.png) from
# the list beside them, after a deliberate change to the picture or the timeline. Look at
# every frame it writes before committing them, and say in the commit why they changed.
#
#   scripts/update-reference-frames.sh [BUILD_DIR] [RESOURCES]
#
# RESOURCES is an archive (.7z) or a resources/ tree; by default BUILD_DIR/resources.7z,
# else BUILD_DIR/resources. No display needed: the capture's GL context is offscreen.
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build}
RES=${2:-}
CAPTURE=$BUILD/tools/glasshall-capture
REF=$ROOT/tests/data/reference/glasshall
[ -x "$CAPTURE" ] || { echo "no $CAPTURE: build it first (cmake --build $BUILD --target glasshall-capture)"; exit 1; }
if [ -z "$RES" ]; then
  if [ -s "$BUILD/resources.7z" ]; then RES=$BUILD/resources.7z; else RES=$BUILD/resources; fi
fi
if [ -d "$RES" ]; then SOURCE=(--resources "$RES"); else SOURCE=(--archive "$RES"); fi

# The same pictures as the test: Mesa's software renderer, no audio device.
export LIBGL_ALWAYS_SOFTWARE=1 SDL_AUDIODRIVER=dummy
"$CAPTURE" "${SOURCE[@]}" --size 320x180 --fps 30 --quality 2 \
  --list "$REF/frames.list" -o "$REF" > /dev/null
echo "wrote $(grep -cvE '^\s*(#|$)' "$REF/frames.list") frames into $REF; look at them before committing"
