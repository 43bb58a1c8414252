#!/usr/bin/env bash
# One picture of Glass Hall's content, for a look after changing a generator: the five
# scenes lit through the deferred renderer as the demo shows them (rendered by
# glasshall-capture), the five title frames, a credit and a greeting picture and the
# overlays (the generated files themselves).
#
#   scripts/content-sheet.sh [BUILD_DIR] [OUT.png]      (default build/, build/content-sheet.png)
set -euo pipefail
ROOT=$(cd "$(dirname "$0")/.." && pwd)
BUILD=${1:-$ROOT/build}
OUT=${2:-$BUILD/content-sheet.png}
CAPTURE=$BUILD/tools/glasshall-capture
GRAPHICS=$BUILD/resources/graphics
[ -x "$CAPTURE" ] || { echo "no $CAPTURE: build first (cmake --build $BUILD)"; exit 1; }
[ -d "$GRAPHICS" ] || { echo "no $GRAPHICS: build the content first (cmake --build $BUILD)"; exit 1; }
command -v montage > /dev/null || { echo "montage (ImageMagick) is missing: scripts/install-deps.sh"; exit 1; }

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
# One moment of each scene in the timeline (content/sync/glasshall.sync).
cat > "$WORK/scenes.list" <<'LIST'
scene1_glass_hall      03:06.000
scene2_ring_arena      00:55.000
scene4_machines        01:42.000
scene5_volume_meters   01:12.000
scene6_lamp_room       02:30.000
LIST
export LIBGL_ALWAYS_SOFTWARE=1 SDL_AUDIODRIVER=dummy
"$CAPTURE" --resources "$BUILD/resources" --size 640x360 --list "$WORK/scenes.list" -o "$WORK" > /dev/null

pictures=("$WORK"/scene*.png)
for f in GlassHallFrame1 GlassHallFrame2 GlassHallFrame3 GlassHallFrame4 GlassHallFrame5 Vesk ZAV \
         OverlayWide OverlayTall OverlayWhiteLeftBorder OverlayRedSideBorders OverlayWhiteBottomBorder; do
  pictures+=("$GRAPHICS/$f.png")
done
# Overlays are mostly transparent: shown over grey so their borders can be seen.
montage -background '#303030' -fill white -font /usr/share/fonts/truetype/dejavu/DejaVuSans.ttf \
  -label '%t' "${pictures[@]}" -geometry 384x216+4+4 -tile 4x "$OUT"
echo "wrote $OUT"
