#!/usr/bin/env bash
# Builds everything (engine, tools, the production and all of its content, packed into
# build/resources.7z) and starts Glass Hall: the setup dialog first, then the demo,
# loaded from the archive in the build tree.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build build -j"$(nproc 2>/dev/null || echo 2)"

if [ -z "${DISPLAY:-}" ]; then
  echo "run: no display to show the demo on; watch it as a video instead: (cd build && tools/glasshall-capture --preset preview -o glasshall.mp4)" >&2
  exit 1
fi
# The program reads resources.7z from its working directory.
cd build
exec ./glasshall "$@"
