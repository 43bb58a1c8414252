#!/usr/bin/env bash
# Builds everything and runs the main program. The engine's player comes with the
# rendering core; until then the main program is the track tool chain: the example sync
# script is compiled into the packed track files the player reads, and the timeline the
# engine loads from them is printed, with what is active ten seconds in.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build build -j"$(nproc 2>/dev/null || echo 2)"
build/tools/demosys-tracks compile content/sync/example.sync build/resources/tracks
build/tools/demosys-inspect tracks build/resources/tracks --at 200
