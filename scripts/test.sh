#!/usr/bin/env bash
# Builds everything and runs every test: the normal build (unit, gl, e2e and the
# fuzzers' short runs), then an AddressSanitizer + UndefinedBehaviorSanitizer build of
# the unit and GL tests, Glass Hall's play and its loading of broken archives. Starts a
# virtual X display when there is none, for the tests of the windowed program (dialog,
# frame loop, edit mode, window); the GL tests and the capture tool's tests render
# offscreen and run with DISPLAY removed (tests/CMakeLists.txt), which shows that offline
# rendering needs no X server.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
JOBS=$(nproc 2>/dev/null || echo 2)

if [ "${1:-}" != "--inside-display" ]; then
  scripts/install-deps.sh
  if [ -z "${DISPLAY:-}" ]; then
    exec xvfb-run -a -s "-screen 0 1280x1024x24 -noreset" "$0" --inside-display
  fi
fi

# Mesa's software rasteriser: a real core-profile context without a GPU.
export LIBGL_ALWAYS_SOFTWARE=1

echo "== Release build =="
cmake -S "$ROOT" -B "$ROOT/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo > /dev/null
cmake --build "$ROOT/build" -j"$JOBS"
(cd "$ROOT/build" && ctest --output-on-failure -j"$JOBS" -LE fuzz)

echo "== Sanitizer build (AddressSanitizer + UndefinedBehaviorSanitizer) =="
cmake -S "$ROOT" -B "$ROOT/build-asan" -DCMAKE_BUILD_TYPE=Debug -DDEMOSYS_SANITIZE=ON -DDEMOSYS_BENCH=OFF > /dev/null
cmake --build "$ROOT/build-asan" -j"$JOBS"
(cd "$ROOT/build-asan" && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
   ctest --output-on-failure -j"$JOBS" -L 'unit|gl')
# The test production goes through every loading stage, the frame loop and offline
# rendering: run it under the sanitizers too (without leak checks, which the GL driver
# fails at context teardown).
(cd "$ROOT/build-asan" && ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=print_stacktrace=1 \
   ctest --output-on-failure -R '^e2e_test_production$')
# Glass Hall itself, from the release tree's archive: 20 seconds of play and every effect
# drawn alone, and the loading pipeline on broken copies of the archive.
(cd "$ROOT/build-asan" && DEMOSYS_GLASSHALL_RESOURCES="$ROOT/build" UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
   ASAN_OPTIONS=detect_leaks=0 ctest --output-on-failure -R '^(glasshall_sanitized|e2e_test_bad_resources)$')

if command -v clang++ > /dev/null; then
  echo "== Fuzzers (short runs on their seed corpora) =="
  CC=clang CXX=clang++ cmake -S "$ROOT" -B "$ROOT/build-fuzz" -DCMAKE_BUILD_TYPE=Debug -DDEMOSYS_FUZZ=ON -DDEMOSYS_TESTS=OFF \
     -DDEMOSYS_BENCH=OFF > /dev/null
  cmake --build "$ROOT/build-fuzz" -j"$JOBS"
  (cd "$ROOT/build-fuzz" && ctest --output-on-failure -L fuzz)
fi
echo "All tests passed."
