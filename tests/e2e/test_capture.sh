#!/usr/bin/env bash
# glasshall-capture end to end, on small sizes and short ranges, with no X display (its GL
# context is offscreen):
#  1. bad input (arguments, an unknown preset, an odd size, a range outside the demo):
#     one line on standard error, exit status 2 and nothing written; no GL context or no
#     ffmpeg: one line, non-zero; an encode that fails and a capture interrupted by
#     Ctrl+C leave no file behind;
#  2. a frame rendered alone (--at) is the same frame of a PNG sequence, and not its
#     neighbour's;
#  3. an MP4 of three seconds: an H.264 stream of the size and frame count asked for,
#     showing the frames the renderer drew (within the codec's loss), and a sound stream
#     that is the music of that range, found by correlating it with the MP3 decoded by
#     ffmpeg (the correlation and its offset are printed);
#  4. the presets: party on a tenth of a second at its 1920x1080 is H.264 High, yuv420p,
#     60 fps, at least 8 Mbit/s, AAC stereo at 48 kHz and 256 kbit/s, its index (moov)
#     before the data; --fps and --size given with it win; preview is 640x360;
#  5. where EGL gives no context, the hidden window on an X server draws the same frame.
set -euo pipefail
CAPTURE=${DEMOSYS_CAPTURE:?}
CHECK=${DEMOSYS_CAPTURE_CHECK:?}
. "${DEMOSYS_SOURCE_DIR:?}/tests/e2e/tool_checks.sh"
. "$DEMOSYS_SOURCE_DIR/tests/e2e/own_display.sh"
# Whatever runs this: the capture must not need a display.
unset DISPLAY
command -v ffmpeg > /dev/null || { echo "FAILED: ffmpeg is not installed (package ffmpeg)"; exit 1; }
glasshall_content
export LIBGL_ALWAYS_SOFTWARE=1 SDL_AUDIODRIVER=dummy
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
cd "$WORK"
fail() { echo "FAILED: $*"; exit 1; }
capture() { "$CAPTURE" "${CONTENT[@]}" "$@" > capture.log 2> capture.err || fail "glasshall-capture $*: $(tail -3 capture.err)"; }

# 1. Refusals: status 2, one line naming the fault, nothing written. The last ones are
# found once the demo is loaded (it ends at 03:51).
mkdir refusals
refused() { # refused NAME-IN-MESSAGE ARGUMENTS...
  local name=$1 status=0
  shift
  (cd refusals && "$CAPTURE" "$@" > ../out.txt 2> ../err.txt) || status=$?
  [ "$status" = 2 ] || fail "'$*' exited with status $status, not 2: $(cat err.txt)"
  [ "$(wc -l < err.txt)" -eq 1 ] && grep -q -- "$name" err.txt || fail "'$*' does not say '$name' in one line: $(cat err.txt)"
  [ -z "$(ls -A refusals)" ] || fail "'$*' wrote $(ls -A refusals | xargs)"
}
refused "--size" --size 320 -o out
refused "--fps" --fps 0 -o out
refused "--quality" --quality 4 -o out
refused "--from" --from 1:7x -o out
refused "must come after" --from 00:10 --to 5 -o out.mp4
refused "must come after" --from 00:10 --to 10 -o out.mp4
refused "no output" --at 5
refused "PNG" --at 5 -o out.mp4
refused "even" --size 321x180 -o out.mp4
refused "even width and height, not 1920x1081" --preset party --size 1920x1081 -o out.mp4
refused "unknown --preset 'festival': party or preview" --preset festival -o out.mp4
refused "makes a video" --preset party -o frames
refused "unknown argument '--bogus'" --bogus -o out
refused "exclude" --archive a.7z --resources r -o out
refused "not a frame of a run from 00:40" "${CONTENT[@]}" --fps 10 --from 40 --at 40.25 -o out.png
refused "--to 04:00 lies past the end of the demo at 03:51" "${CONTENT[@]}" --from 03:50 --to 04:00 -o late.mp4
refused "--from 03:51 lies past the end" "${CONTENT[@]}" --from 03:51 -o frames
refused "--at 05:00 lies past the end" "${CONTENT[@]}" --at 5:00 -o late.png
expect_failure "no archive" "$CAPTURE" --archive missing.7z --at 1 -o out.png
expect_failure "ffmpeg is not installed" env PATH=/nonexistent "$CAPTURE" "${CONTENT[@]}" -o out.mp4
# No EGL driver (the vendor list points nowhere) and no display: no context, and each
# platform's reason.
expect_failure "no offscreen GL context: EGL.*DISPLAY is not set" \
  env __EGL_VENDOR_LIBRARY_FILENAMES=/nonexistent "$CAPTURE" "${CONTENT[@]}" --at 1 -o out.png
[ ! -e out.png ] || fail "a capture without a GL context wrote out.png"
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
# Ctrl+C while it encodes: status 130 (as a shell reports SIGINT), ffmpeg stopped and its
# partial file removed.
"$CAPTURE" "${CONTENT[@]}" --size 64x36 --from 0 --to 60 -o cut.mp4 > cut.log 2> cut.err &
pid=$!
for _ in $(seq 1 600); do [ -s cut.mp4.partial ] && break; sleep 0.1; done
[ -s cut.mp4.partial ] || fail "no partial file while capturing: $(ls | xargs) $(tail -2 cut.err)"
kill -INT "$pid"
status=0
wait "$pid" || status=$?
[ "$status" = 130 ] || fail "an interrupted capture exited with status $status: $(tail -2 cut.err)"
[ "$(tail -1 cut.err)" = "glasshall-capture: interrupted" ] || fail "an interrupted capture says: $(tail -2 cut.err)"
[ -z "$(ls cut.mp4* 2> /dev/null)" ] || fail "an interrupted capture left $(ls cut.mp4*)"

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

# 4. The presets, on a tenth of a second of the first scene.
streams() { # streams FILE: one line per stream, its properties in a fixed order
  ffprobe -v error -show_entries stream=codec_name,profile,pix_fmt,width,height,r_frame_rate,sample_rate,channels \
    -of compact=nk=1:p=0 "$1" | sed 's/|*$//'
}
capture --preset party --from 00:20 --to 00:20.100 -o party.mp4
[ "$(streams party.mp4 | xargs)" = "h264|High|1920|1080|yuv420p|60/1 aac|LC|48000|2|0/0" ] ||
  fail "party preset streams: $(streams party.mp4 | xargs)"
video_rate=$(ffprobe -v error -select_streams v -show_entries stream=bit_rate -of csv=p=0 party.mp4)
audio_rate=$(ffprobe -v error -select_streams a -show_entries stream=bit_rate -of csv=p=0 party.mp4)
[ "$video_rate" -ge 8000000 ] || fail "party preset video at $video_rate bit/s, under 8 Mbit/s"
[ "$audio_rate" -ge 240000 ] && [ "$audio_rate" -le 280000 ] || fail "party preset audio at $audio_rate bit/s, not 256 kbit/s"
# The top-level boxes in file order: the index before the media data.
python3 - party.mp4 <<'PY' || fail "party preset: moov does not come before mdat"
import struct, sys
data = open(sys.argv[1], "rb").read()
boxes, at = [], 0
while at + 8 <= len(data):
    size, kind = struct.unpack(">I4s", data[at:at + 8])
    size = struct.unpack(">Q", data[at + 8:at + 16])[0] if size == 1 else (size or len(data) - at)
    boxes.append(kind.decode("latin-1"))
    at += size
print("party.mp4 boxes:", " ".join(boxes))
sys.exit(0 if "moov" in boxes and "mdat" in boxes and boxes.index("moov") < boxes.index("mdat") else 1)
PY
capture --preset party --fps 30 --size 320x180 --from 00:20 --to 00:20.100 -o party30.mp4
[ "$(streams party30.mp4 | xargs)" = "h264|High|320|180|yuv420p|30/1 aac|LC|48000|2|0/0" ] ||
  fail "party preset with --fps 30 --size 320x180: $(streams party30.mp4 | xargs)"
capture --preset preview --from 00:20 --to 00:20.100 -o preview.mp4
streams preview.mp4 | head -1 | grep -q '^h264|.*|640|360|yuv420p|30/1$' || fail "preview preset: $(streams preview.mp4 | xargs)"

# 5. No EGL driver but an X server: the hidden window's context draws the same frame as the
# offscreen one did (item 2).
on_own_display 640x480x24 env __EGL_VENDOR_LIBRARY_FILENAMES=/nonexistent "$CAPTURE" "${CONTENT[@]}" \
  --size 160x90 --fps 10 --from 00:40 --at 40.3 -o window.png > window.log 2> window.err ||
  fail "capture in a hidden window: $(tail -3 window.err)"
grep -q "^Offscreen context : hidden GLFW window" window.log || fail "no hidden window: $(grep 'Offscreen context' window.log)"
cmp -s window.png at.png || fail "the hidden window's frame differs from the offscreen context's"
echo "capture: ok"
