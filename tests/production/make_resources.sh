#!/usr/bin/env bash
# Builds the test production's resources/ tree in DIR from its sources: the shaders as
# they are, the scene through demosys-vbo, the timeline through demosys-tracks and the
# generated media (texture, binary, misc file, video) from the production itself.
#
#   make_resources.sh DIR        (DEMOSYS_BIN, DEMOSYS_SOURCE_DIR, DEMOSYS_TEST_PRODUCTION set)
set -euo pipefail
OUT=${1:?usage: make_resources.sh DIR}/resources
SRC=${DEMOSYS_SOURCE_DIR:?}/tests/production
mkdir -p "$OUT/shaders" "$OUT/objects" "$OUT/tracks"
cp "$SRC"/resources/shaders/* "$OUT/shaders/"
# The engine's own loading screen.
cp "$DEMOSYS_SOURCE_DIR"/resources/shaders/default_Progress.* "$OUT/shaders/"
"${DEMOSYS_BIN:?}/demosys-vbo" "$SRC/hall.obj" "$OUT/objects/hall.vbo" > /dev/null
"$DEMOSYS_BIN/demosys-vbo" "$SRC/hall.obj" "$OUT/objects/lit_hall.vbo" > /dev/null
"$DEMOSYS_BIN/demosys-tracks" compile "$SRC/timeline.sync" "$OUT/tracks" > /dev/null
"${DEMOSYS_TEST_PRODUCTION:?}" --make-media "$OUT"
