#!/usr/bin/env bash
# Every frame of Glass Hall is a function of its music time alone:
#  1. at one time in each section of the music, the frame drawn alone, at the end of runs
#     from 10 s before at 25 and at 60 fps, after a pause on it and after a seek back to
#     it are the same bit for bit (glasshall_check --purity, through the offline renderer);
#  2. glasshall-capture --at 00:21.000, in a process of its own, is the frame at 00:21.000
#     of a capture that starts at 00:16 (scene 1: its disks turn and its lights follow
#     the music, so a frame that depended on where the run began would differ);
#  3. two MP4 captures of the same range decode to the same video frames and sound, bit
#     for bit.
set -euo pipefail
CHECK=${DEMOSYS_GLASSHALL_CHECK:?}
CAPTURE=${DEMOSYS_CAPTURE:?}
COMPARE=${DEMOSYS_CAPTURE_CHECK:?}
SRC=${DEMOSYS_SOURCE_DIR:?}
. "$SRC/tests/e2e/tool_checks.sh"
[ -n "${DISPLAY:-}" ] || { echo "no display: the test command runs this under Xvfb"; exit 1; }
glasshall_content
export LIBGL_ALWAYS_SOFTWARE=1 SDL_AUDIODRIVER=dummy
export DEMOSYS_TEST_OUTPUT=${DEMOSYS_TEST_OUTPUT:-$PWD/time_purity}
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
fail() { echo "FAILED: $*"; exit 1; }
cd "$WORK"
ln -s "${CONTENT[1]}" .
mode=1; [ "${CONTENT[0]}" = --archive ] || mode=0

# 1. High quality keeps the staging buffers at the frame's size, the cheapest here.
timeout 1200 "$CHECK" --mode $mode --size 160x90 --quality 2 --purity "$SRC/tests/glasshall/purity_times.txt" \
  "$DEMOSYS_TEST_OUTPUT" > purity.log 2>&1 || fail "glasshall_check --purity exit status $?: $(tail -5 purity.log)"
grep '^Purity ' purity.log || true
times=$(grep -cvE '^(#|$)' "$SRC/tests/glasshall/purity_times.txt")
[ "$(grep -c '^Purity .*: ok$' purity.log)" -eq "$times" ] ||
  fail "frames depend on how their time was reached; the differing frames are in $DEMOSYS_TEST_OUTPUT"

# 2. Two processes, two ways to reach 00:21.
"$CAPTURE" "${CONTENT[@]}" --size 320x180 --at 00:21.000 -o alone.png > capture.log 2> capture.err ||
  fail "glasshall-capture --at: $(tail -3 capture.err)"
"$CAPTURE" "${CONTENT[@]}" --size 320x180 --fps 10 --from 00:16 --to 00:21.050 -o seq > capture.log 2> capture.err ||
  fail "glasshall-capture --from 00:16: $(tail -3 capture.err)"
"$COMPARE" compare alone.png seq/frame_000050.png at_00:21 0 99 ||
  fail "--at 00:21.000 is not the frame at 00:21.000 of a capture from 00:16"
"$COMPARE" differ alone.png seq/frame_000049.png || fail "00:20.900 and 00:21.000 are the same: nothing moves"

# 3. The same second twice, in two processes.
for n in 1 2; do
  env -u DISPLAY "$CAPTURE" "${CONTENT[@]}" --size 160x90 --fps 25 --from 00:40 --to 00:41 -o "clip$n.mp4" \
    > capture.log 2> capture.err || fail "glasshall-capture -o clip$n.mp4: $(tail -3 capture.err)"
  ffmpeg -v error -i "clip$n.mp4" -map 0:v -f framemd5 - > "video$n.md5"
  ffmpeg -v error -i "clip$n.mp4" -map 0:a -f framemd5 - > "audio$n.md5"
done
[ "$(grep -vc '^#' video1.md5)" -eq 25 ] || fail "25 video frames expected, got $(grep -vc '^#' video1.md5)"
cmp -s video1.md5 video2.md5 || fail "two captures of 00:40-00:41 differ in their video"
cmp -s audio1.md5 audio2.md5 || fail "two captures of 00:40-00:41 differ in their sound"
echo "time purity: ok"
