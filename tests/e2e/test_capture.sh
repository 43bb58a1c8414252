#!/usr/bin/env bash
# glasshall-capture end to end, on small sizes and short ranges:
#  1. bad arguments, no display, no ffmpeg: one line on standard error, non-zero status;
#     an encode that fails leaves no file behind;
#  2. a frame rendered alone (--at) is the same frame of a PNG sequence, and not its
#     neighbour's;
#  3. an MP4 of three seconds: an H.264 stream of the size and frame count asked for,
#     showing the frames the renderer drew (within the codec's loss), and a sound stream
#     that is the music of that range, found by correlating it with the MP3 decoded by
#     ffmpeg (the correlation and its offset are printed).
set -euo pipefail
CAPTURE=${DEMOSYS_CAPTURE:?}
CHECK=${DEMOSYS_CAPTURE_CHECK:?}
. "${DEMOSYS_SOURCE_DIR:?}/tests/e2e/tool_checks.sh"
[ -n "${DISPLAY:-}" ] || { echo "no display: the test command runs this under Xvfb"; exit 1; }
command -v ffmpeg > /dev/null || { echo "FAILED: ffmpeg is not installed (package ffmpeg)"; exit 1; }
glasshall_content
export LIBGL_ALWAYS_SOFTWARE=1 SDL_AUDIODRIVER=dummy
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"
fail() { echo "FAILED: $*"; exit 1; }
capture() { "$CAPTURE" "${CONTENT[@]}" "$@" > capture.log 2> capture.err || fail "glasshall-capture $*: $(tail -3 capture.err)"; }

# 1. Refusals, before anything loads.
expect_failure "--size" "$CAPTURE" --size 320 -o out
expect_failure "--fps" "$CAPTURE" --fps 0 -o out
expect_failure "--quality" "$CAPTURE" --quality 4 -o out
expect_failure "--from" "$CAPTURE" --from 1:7x -o out
expect_failure "must come after" "$CAPTURE" --from 00:10 --to 5 -o out.mp4
expect_failure "no output" "$CAPTURE" --at 5
expect_failure "PNG" "$CAPTURE" --at 5 -o out.mp4
expect_failure "not a frame of a run from 00:40" "$CAPTURE" "${CONTENT[@]}" --fps 10 --from 40 --at 40.25 -o out.png
expect_failure "even" "$CAPTURE" --size 321x180 -o out.mp4
expect_failure "unknown argument '--bogus'" "$CAPTURE" --bogus -o out
expect_failure "exclude" "$CAPTURE" --archive a.7z --resources r -o out
expect_failure "no archive" "$CAPTURE" --archive missing.7z --at 1 -o out.png
expect_failure "no display" env -u DISPLAY "$CAPTURE" "${CONTENT[@]}" --at 1 -o out.png
expect_failure "ffmpeg is not installed" env PATH=/nonexistent "$CAPTURE" "${CONTENT[@]}" -o out.mp4
# An encoder that takes a few frames, writes part of a file and fails.
mkdir fake
cat > fake/ffmpeg <<'SH'
#!/bin/sh
for last; do :; done
echo partial > "$last"
head -c 50000 > /dev/null
echo "disk full" >&2
exit 1
SH
chmod +x fake/ffmpeg
# Besides the progress lines, one line of error.
if env PATH="$WORK/fake:$PATH" "$CAPTURE" "${CONTENT[@]}" --size 64x36 --from 0 --to 2 -o broken.mp4 \
  > out.txt 2> err.txt; then fail "a failed encode reported success"; fi
[ "$(grep -v '^capture \[' err.txt)" = "glasshall-capture: ffmpeg failed (exit status 1): disk full" ] ||
  fail "a failed encode says: $(cat err.txt)"
[ -z "$(ls broken.mp4* 2> /dev/null)" ] || fail "a failed encode left $(ls broken.mp4*)"

# 2. The scene turns every frame at 00:40 (the ring arena), so a frame from the wrong time
# would not match. Frame k of the sequence is at 40 s + k/10 s; the frame alone runs from
# the same start, as the grain and other effects that build up with time start with a run.
capture --size 160x90 --fps 10 --from 00:40 --to 00:40.500 --profile -o seq
[ "$(ls seq | wc -l)" -eq 5 ] || fail "5 frames expected in the sequence, got: $(ls seq | xargs)"
# --profile: the scene's light pass, timed in each of the 5 frames.
grep -Eq '^ +[0-9.]+ ms +5 x  scene_2_effect / lights$' capture.err ||
  fail "--profile: no light pass of scene 2 in 5 frames: $(grep ' x  ' capture.err | head -4 | xargs)"
capture --size 160x90 --fps 10 --from 00:40 --at 40.3 -o at.png
"$CHECK" compare at.png seq/frame_000003.png at_40.3 0 99 || fail "--at 40.3 is not frame 3 of the sequence"
"$CHECK" differ at.png seq/frame_000002.png || fail "frames 2 and 3 are the same: nothing moves"
"$CHECK" differ at.png seq/frame_000004.png || fail "frames 3 and 4 are the same: nothing moves"

# 3. Three seconds from the start of the first drop (its crash is at 00:32).
capture --size 160x90 --fps 30 --from 00:32 --to 00:35 -o drop.mp4
probe() { ffprobe -v error -select_streams "$1" -count_frames -show_entries "$2" -of default=nw=1:nk=1 drop.mp4 | xargs; }
[ "$(probe v stream=codec_name,width,height,nb_read_frames)" = "h264 160 90 90" ] ||
  fail "video stream: $(probe v stream=codec_name,width,height,nb_read_frames), wanted h264 160 90 90"
[ "$(probe a stream=codec_type,channels,sample_rate)" = "audio 44100 2" ] ||
  fail "audio stream: $(probe a stream=codec_type,channels,sample_rate)"
# The picture the other way up, or with red and blue swapped, reads 80 or 20 here.
capture --size 160x90 --fps 30 --from 00:32 --at 00:33.500 -o frame45.png
ffmpeg -v error -i drop.mp4 -vf "select=eq(n\,45)" -frames:v 1 -pix_fmt rgb24 video45.png
"$CHECK" compare video45.png frame45.png mp4_frame_45 12 21 || fail "frame 45 of the MP4 is not the frame at 00:33.500"
ffmpeg -v error -i drop.mp4 -map 0:a:0 -f s16le -ac 2 -ar 44100 sound.s16
if [ "${CONTENT[0]}" = --archive ]; then
  7z e -bd -bso0 -o"$WORK" "${CONTENT[1]}" resources/sound/orvane-glass_hall.mp3
  MUSIC=$WORK/orvane-glass_hall.mp3
else
  MUSIC=${CONTENT[1]}/sound/orvane-glass_hall.mp3
fi
ffmpeg -v error -i "$MUSIC" -f s16le -ac 2 -ar 44100 music.s16
# The music repeats bar after bar: a range a bar (2 s) away reads up to 0.92, the true one 0.999.
"$CHECK" correlate sound.s16 music.s16 $((32 * 44100)) 0.98 1.0
echo "capture: ok"
