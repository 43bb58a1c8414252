#!/usr/bin/env bash
# Glass Hall in the sanitizer build: the load, 20 seconds of play through the real frame
# loop and the shutdown, then every effect drawn alone (tests/glasshall/solo_cases.txt),
# which reaches the scenes the first 20 seconds do not. Any AddressSanitizer or
# UndefinedBehaviorSanitizer report fails it. Leak checks are off: the GL driver does not
# free its own memory at context teardown (valgrind covers the engine's leaks; see the
# README).
set -euo pipefail
CHECK=${DEMOSYS_GLASSHALL_CHECK:?}
SRC=${DEMOSYS_SOURCE_DIR:?}/tests/glasshall
RES=${DEMOSYS_GLASSHALL_RESOURCES:-${DEMOSYS_BINARY_DIR:?}}
SECONDS_OF_PLAY=${DEMOSYS_PLAY_SECONDS:-20}
[ -n "${DISPLAY:-}" ] || { echo "no display: the test command runs this under Xvfb"; exit 1; }
[ -s "$RES/resources.7z" ] || { echo "SKIPPED: no $RES/resources.7z (build the content)"; exit 77; }
export LIBGL_ALWAYS_SOFTWARE=1 SDL_AUDIODRIVER=dummy
export ASAN_OPTIONS=detect_leaks=0:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
cp "$RES/resources.7z" "$WORK/"
cd "$WORK"

fail() { echo "FAILED: $*"; tail -30 "$2"; exit 1; }
sanitizer_clean() { ! grep -nE "^(==[0-9]+==ERROR|SUMMARY: (Address|UndefinedBehavior)Sanitizer)|runtime error:" "$1"; }

rc=0
timeout -k 5 240 "$CHECK" --mode 1 --size 160x90 --play 0 $((SECONDS_OF_PLAY * 1000)) > play.log 2>&1 || rc=$?
[ "$rc" -eq 0 ] || fail "play: exit status $rc" play.log
sanitizer_clean play.log || fail "play: sanitizer report" play.log
grep -q "^\[Demo Init\]$" play.log || fail "play: the demo did not run" play.log
[ "$(tail -1 play.log)" = "[Application End]" ] || fail "play: no clean shutdown" play.log
echo "play: $(grep '^Duration : ' play.log), $(grep '^Average FPS' play.log)"

timeout -k 5 240 "$CHECK" --mode 1 --size 160x90 --solo "$SRC/solo_cases.txt" solo > solo.log 2>&1 || rc=$?
[ "$rc" -eq 0 ] || fail "solo: exit status $rc" solo.log
sanitizer_clean solo.log || fail "solo: sanitizer report" solo.log
cases=$(grep -cvE '^(#|$)' "$SRC/solo_cases.txt")
[ "$(grep -c '^Solo .*: ok ' solo.log)" -eq "$cases" ] || fail "solo: not every effect drew" solo.log
[ "$(tail -1 solo.log)" = "[Application End]" ] || fail "solo: no clean shutdown" solo.log
echo "glass hall under the sanitizers: $cases effects drawn, no report"
