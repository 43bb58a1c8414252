#!/usr/bin/env bash
# A production of one's own from the template, as a new demo maker makes it: the engine
# installed into a temporary prefix; demosys-new writes a production into a folder
# outside the tree (and refuses a bad name or a folder in use); it builds against the
# installed package; its capture program renders frames offline with no display (not
# black, and the template's curve and sweep make two times differ), and an MP4 with its
# music; its player's edit mode runs on an X server of its own until Escape ends it with
# exit status 0.
set -euo pipefail
BUILD=${DEMOSYS_BINARY_DIR:?}
command -v xdotool > /dev/null || { echo "FAILED: xdotool is not installed"; exit 1; }
if [ "${1:-}" != --own-display ]; then
  WORK=$(mktemp -d)
  trap 'rm -rf "$WORK"' EXIT
  fail() { echo "FAILED: $*"; exit 1; }
  . "$(dirname "$0")/tool_checks.sh"
  PREFIX=$WORK/prefix
  quiet "$WORK/install.log" cmake --install "$BUILD" --prefix "$PREFIX"
  NEW=$PREFIX/bin/demosys-new

  # Refusals: one line, status 2 for a bad name; a folder in use is left as it was.
  if "$NEW" "9lives" "$WORK/bad" 2> "$WORK/err.txt"; then fail "a name starting with a digit was taken"; fi
  [ -e "$WORK/bad" ] && fail "a refused name left a folder"
  mkdir "$WORK/used" && echo keep > "$WORK/used/notes.txt"
  if "$NEW" used "$WORK/used" 2> "$WORK/err.txt"; then fail "a folder in use was written into"; fi
  [ "$(ls "$WORK/used")" = notes.txt ] || fail "a folder in use was changed: $(ls "$WORK/used")"

  quiet "$WORK/new.log" "$NEW" mydemo "$WORK/mydemo" --title "My Demo"
  grep -q "cmake -S $WORK/mydemo" "$WORK/new.log" || fail "demosys-new does not say how to build: $(cat "$WORK/new.log")"
  ! grep -rn "@NAME@\|@TITLE@" "$WORK/mydemo" || fail "placeholders left in the production"
  quiet "$WORK/configure.log" cmake -S "$WORK/mydemo" -B "$WORK/mydemo/build" -DCMAKE_PREFIX_PATH="$PREFIX"
  quiet "$WORK/build.log" cmake --build "$WORK/mydemo/build" -j2
  [ -s "$WORK/mydemo/build/resources.7z" ] || fail "no archive built"

  # Offline, without a display.
  cd "$WORK/mydemo/build"
  export LIBGL_ALWAYS_SOFTWARE=1
  for t in 00:01.000 00:06.000; do
    quiet "$WORK/capture.log" env -u DISPLAY ./mydemo-capture --size 320x180 --at $t -o "frame-$t.png"
    mean=$(convert "frame-$t.png" -colorspace Gray -format "%[fx:mean]" info:)
    awk -v m="$mean" 'BEGIN { exit !(m > 0.1) }' || fail "the frame at $t is black (mean $mean)"
  done
  [ "$(compare -metric AE "frame-00:01.000.png" "frame-00:06.000.png" null: 2>&1)" -gt 10000 ] ||
    fail "the frames at 00:01 and 00:06 are (nearly) the same: the curve does not show"
  quiet "$WORK/video.log" env -u DISPLAY ./mydemo-capture --preset preview --from 2 --to 3 -o clip.mp4
  streams=$(ffprobe -v error -show_entries stream=codec_name -of csv=p=0 clip.mp4 | sort | xargs)
  [ "$streams" = "aac h264" ] || fail "the clip holds '$streams', not H.264 video with AAC sound"
  "$NEW" 2> /dev/null && fail "demosys-new without a name succeeded"

  # The player's edit mode, on a display of its own.
  . "$(dirname "$0")/own_display.sh"
  on_own_display 640x360x24 bash "$0" --own-display "$WORK"
  echo "template: all checks passed"
  exit 0
fi

WORK=$2
fail() { echo "FAILED: $*"; [ -f "$WORK/edit.log" ] && tail -20 "$WORK/edit.log"; exit 1; }
cd "$WORK/mydemo/build"
export LIBGL_ALWAYS_SOFTWARE=1 SDL_AUDIODRIVER=dummy
./mydemo --edit --size 320x180 > "$WORK/edit.log" 2>&1 &
PID=$!
for _ in $(seq 1 300); do grep -q "^\[Demo Init\]" "$WORK/edit.log" && break; kill -0 $PID 2>/dev/null || break; sleep 0.1; done
grep -q "^\[Demo Init\]" "$WORK/edit.log" || fail "edit mode did not reach its frame loop"
grep -q "^Edit : timeline from .*sync/mydemo.sync$" "$WORK/edit.log" || fail "edit mode did not take the sync script"
. "$(dirname "$0")/own_display.sh"
focus_window "My Demo" || fail "no window 'My Demo'"
xdotool key --clearmodifiers Escape
for _ in $(seq 1 100); do kill -0 $PID 2>/dev/null || break; sleep 0.1; done
wait $PID || fail "edit mode ended with exit status $?"
[ "$(tail -1 "$WORK/edit.log")" = "[Application End]" ] || fail "no clean shutdown"
! grep -n "not found!\|^\[GL_ERROR" "$WORK/edit.log" || fail "fault lines in the edit mode's log"
