#!/usr/bin/env bash
# Live editing end to end, driven with xdotool and read back through screenshots: the
# test production (fast, every case) and Glass Hall (once, on a copy of the build's
# resource tree):
#  - Space pauses (two screenshots a second apart are identical, the overlay's time code
#    included; in Glass Hall inside scene 1, whose picture builds up over time) and resumes;
#  - beat, bar and section seeks land on the right rows (the "Seek to" lines);
#  - a sync script saved while the demo runs changes a curve's value at the current time
#    (the picture changes), a script with an error leaves the old timeline playing and
#    shows the error in red;
#  - a shader (an include of it, on the test production) saved with a syntax error keeps
#    the last good program drawing (the picture stays) and shows the error; fixing it
#    recovers;
#  - the packed track files compiled anew while it runs take effect.
# Every save writes a temporary file and renames it over the original, as editors do.
# The time from each save to the changed frame on screen is printed ("Save to screen").
set -euo pipefail
. "$(dirname "$0")/own_display.sh"
PROD=${DEMOSYS_TEST_PRODUCTION:?}
GLASSHALL=${DEMOSYS_GLASSHALL:-}
SOURCE=${DEMOSYS_SOURCE_DIR:?}
require_tools Xvfb xdotool import compare convert
# Keys go to the focused window: a display of its own, so that no other test's window
# takes them.
run_on_own_display 800x600x24 "$@"
export LIBGL_ALWAYS_SOFTWARE=1 SDL_AUDIODRIVER=dummy
WORK=$(mktemp -d)
PID=""
trap '[ -n "$PID" ] && kill "$PID" 2>/dev/null; rm -rf "$WORK"' EXIT

fail() { echo "FAILED: $*"; [ -n "${LOG:-}" ] && grep -vE "^(-> |Shader |VAO )" "$LOG" | tail -25; exit 1; }
now_ms() { date +%s%3N; }

start() { # start DIR TITLE PROGRAM ARGS...: runs it in DIR until its frame loop runs
  local dir=$1 title=$2; shift 2
  LOG=$dir/run.log
  (cd "$dir" && exec "$@" > "$LOG" 2>&1) &
  PID=$!
  for _ in $(seq 1 600); do grep -q "^\[Demo Init\]" "$LOG" && break; kill -0 "$PID" 2>/dev/null || break; sleep 0.1; done
  grep -q "^\[Demo Init\]" "$LOG" || fail "$title did not reach its frame loop"
  focus_window "$title" || fail "no window '$title'"
}
key() { xdotool key --clearmodifiers "$@"; sleep 0.3; }
shot() { import -window "$WID" "$WORK/$1.png"; }
# Mean brightness (0..1) of a region WxH+X+Y of a screenshot.
mean() { convert "$WORK/$1.png" -crop "$2" +repage -colorspace Gray -format "%[fx:mean]" info:; }
same() { [ "$(compare -metric AE "$WORK/$1.png" "$WORK/$2.png" null: 2>&1)" = 0 ]; }
# Pixels of the error red in a region.
red_pixels() {
  convert "$WORK/$1.png" -crop "$2" +repage -fx "r > 0.7 && g < 0.3 && b < 0.3" -format "%[fx:mean*w*h]" info:
}

# error_kept NAME BEFORE WHAT: after a WHAT (sync or shader) with an error the picture is
# still BEFORE's, and the overlay shows the error in red.
error_kept() {
  shot "$1"
  same "$2" "$1" || fail "a $3 error changed the picture"
  key Tab
  shot "$1_overlay"
  [ "$(red_pixels "$1_overlay" 640x60+0+300)" -gt 30 ] || fail "the $3 error is not shown in red"
  key Tab
}
# The transport's lines since the mark.
mark() { MARK=$(wc -l < "$LOG"); }
since_mark() { tail -n +"$((MARK + 1))" "$LOG"; }
expect_lines() { # expect_lines LINE...: the transport printed exactly these since the mark
  local got
  got=$(since_mark | grep -E "^(Paused at|Resumed at|Seek to|Loop) " || true)
  [ "$got" = "$(printf '%s\n' "$@")" ] || fail "expected:$(printf '\n  %s' "$@")
got:$(printf '%s' "$got" | sed 's/^/  /')"
}
wait_line() { # wait_line PATTERN: a line matching it since the mark, within 20 s
  for _ in $(seq 1 200); do since_mark | grep -qE "$1" && return 0; sleep 0.1; done
  fail "no line '$1'"
}
save() { # save FILE SED-SCRIPT: the edited file replaces FILE by a rename
  sed -e "$2" "$1" > "$1.tmp~"
  cmp -s "$1" "$1.tmp~" && fail "the edit '$2' changes nothing in $1"
  SAVED=$(now_ms)
  mv "$1.tmp~" "$1"
}
restore() { cp "$1.orig" "$1.tmp~"; SAVED=$(now_ms); mv "$1.tmp~" "$1"; }
wait_picture() { # wait_picture WHAT REGION TEST: screenshots until the region's mean passes TEST
  local m
  for _ in $(seq 1 100); do
    shot poll
    m=$(mean poll "$2")
    if awk -v m="$m" "BEGIN { exit !($3) }"; then
      echo "Save to screen ($1): $(($(now_ms) - SAVED)) ms ($(since_mark | grep -oE '\([0-9]+ ms after the save\)' | tail -1))"
      return 0
    fi
  done
  fail "$1: the picture did not change (mean $m, wanted $3)"
}
quit() {
  key Escape
  for _ in $(seq 1 100); do kill -0 "$PID" 2>/dev/null || break; sleep 0.1; done
  wait "$PID" || fail "exit status $?"
  PID=""
  [ "$(tail -1 "$LOG")" = "[Application End]" ] || fail "no clean shutdown"
}

# ---- The test production --------------------------------------------------------
DIR=$WORK/production
mkdir -p "$DIR"
cp -r "${DEMOSYS_TEST_PRODUCTION_RESOURCES:?}" "$DIR/resources"
cp "$SOURCE/tests/production/timeline.sync" "$DIR/"
cp "$DIR/timeline.sync" "$DIR/timeline.sync.orig"
COMMON=$DIR/resources/shaders/common.glsl
cp "$COMMON" "$COMMON.orig"
# 120 beats a minute, sections at bars 1 and 3 (00:04.000).
printf 'tempo 120\nrows 20\nsection one 1 2\nsection two 3 3\n' > "$DIR/grid.score"
start "$DIR" "Demosys test production" "$PROD" --edit --size 640x360 --sync timeline.sync --score grid.score
grep -q "^Edit : timeline from .*timeline.sync$" "$LOG" || fail "the sync script was not applied"

# A production without music starts on a paused clock: Space plays, Space pauses.
mark
key space
sleep 1
shot run1; sleep 1; shot run2
same run1 run2 && fail "the picture does not move while playing"
key space
expect_lines "Resumed at 00:00:000 row 0 bar 1.1" "$(since_mark | grep '^Paused at' || echo 'Paused at ?')"
since_mark | grep -qE "^Paused at 00:0[1-9]:" || fail "paused before a second had passed"
shot paused1; sleep 1; shot paused2
# The time code (the overlay's first line) stands still; the frame time may not.
convert "$WORK/paused1.png" -crop 400x14+0+8 +repage "$WORK/code1.png"
convert "$WORK/paused2.png" -crop 400x14+0+8 +repage "$WORK/code2.png"
same code1 code2 || fail "the time code moves while paused"
key Tab
shot bare1; sleep 1; shot bare2
same bare1 bare2 || fail "two frames a second apart differ while paused"

# Seeks, paused: beats, bars and sections from the grid file.
mark
key Home Right shift+Right Down Left Up Next Prior
key bracketleft; key Right Right Right Right bracketright l
expect_lines "Seek to 00:00:000 row 0 bar 1.1" "Seek to 00:00:500 row 10 bar 1.2" "Seek to 00:02:000 row 40 bar 2.1" \
  "Seek to 00:04:000 row 80 bar 3.1" "Seek to 00:03:500 row 70 bar 2.4" "Seek to 00:00:000 row 0 bar 1.1" \
  "Seek to 00:10:000 row 200 bar 6.1" "Seek to 00:00:000 row 0 bar 1.1" "Loop 00:00:000 - --:--:--- off" \
  "Seek to 00:00:500 row 10 bar 1.2" "Seek to 00:01:000 row 20 bar 1.3" "Seek to 00:01:500 row 30 bar 1.4" \
  "Seek to 00:02:000 row 40 bar 2.1" "Loop 00:00:000 - 00:02:000 off" "Loop 00:00:000 - 00:02:000 on"
key l
# At 00:04 the backdrop's fade is at 1; the strip below the panels is backdrop only.
key Down
STRIP=640x50+0+305
shot base
BASE=$(mean base $STRIP)

# The sync script: the fade keyed down to 0.2 at 00:02 darkens the backdrop now.
mark
save "$DIR/timeline.sync" 's/^    @00:02.000 1 ease-out$/    @00:02.000 0.2 ease-out/'
wait_picture sync $STRIP "m < $BASE * 0.5"
wait_line "^Reloaded sync script from .*timeline.sync \([0-9]+ ms after the save\)$"
shot synced
# A script with an error: reported with file and line, the timeline stays.
mark
save "$DIR/timeline.sync" 's/^  curve fade$/  curve fade bogus/'
wait_line "^Reload of sync script from .*timeline.sync failed"
since_mark | grep -qE "^  .*timeline.sync:[0-9]+: " || fail "no file:line in the sync error"
error_kept broken synced sync
mark
restore "$DIR/timeline.sync"
wait_picture "sync restored" $STRIP "m > $BASE * 0.95 && m < $BASE * 1.05"
wait_line "^Reloaded sync script from"

# The shared include of backdrop's shader: an error keeps the last good program, the
# log names the include and its line; a fix draws at once.
mark
save "$COMMON" 's/return color \* fade;/return color * fade/'
wait_line "^Reload of shader backdrop from resources/shaders/common.glsl failed"
since_mark | grep -qE "^  common.glsl:[0-9]+: error" || fail "the compiler's error does not name common.glsl"
error_kept shader_broken base shader
mark
save "$COMMON" 's/return color \* fade$/return color * fade * 0.5;/'
wait_picture shader $STRIP "m < $BASE * 0.6"
wait_line "^Reloaded shader backdrop from resources/shaders/common.glsl"
key Tab
shot shader_fixed_overlay
[ "$(red_pixels shader_fixed_overlay 640x60+0+300)" -lt 5 ] || fail "the shader error stays on screen after the fix"
key Tab
mark
restore "$COMMON"
wait_picture "shader restored" $STRIP "m > $BASE * 0.95 && m < $BASE * 1.05"
# The packed tracks compiled anew while it runs: the compile writes three files, and
# the reload after the last of them takes the new keys.
mark
sed -e 's/^    @00:02.000 1 ease-out$/    @00:02.000 0.2 ease-out/' "$DIR/timeline.sync" > "$WORK/dark.sync"
SAVED=$(now_ms)
"${DEMOSYS_BIN:?}/demosys-tracks" compile "$WORK/dark.sync" "$DIR/resources/tracks" > /dev/null 2>&1
wait_picture tracks $STRIP "m < $BASE * 0.5"
wait_line "^Reloaded tracks from "
quit

# ---- Glass Hall ---------------------------------------------------------------------
if [ -z "$GLASSHALL" ]; then echo "glasshall is not built: the test production passed"; exit 0; fi
RES=${DEMOSYS_BINARY_DIR:-$SOURCE/build}/resources
[ -s "$RES/objects/Scene1.vbo" ] || { echo "SKIPPED: no Glass Hall content in $RES"; exit 77; }
DIR=$WORK/glasshall
mkdir -p "$DIR"
cp -r "$RES" "$DIR/resources"
SYNC=$DIR/glasshall.sync
cp "$SOURCE/content/sync/glasshall.sync" "$SYNC"
cp "$SYNC" "$SYNC.orig"
POST=$DIR/resources/shaders/PostProcess.frag
cp "$POST" "$POST.orig"
start "$DIR" "Glass Hall" "$GLASSHALL" --edit --size 640x360 --quality 0 --resources resources --sync glasshall.sync \
  --score "$SOURCE/content/music/glass_hall.score"
grep -q "^Edit : beat grid from .*glass_hall.score$" "$LOG" || fail "the score was not read"
mark
key space
since_mark | grep -qE "^Paused at " || fail "Space did not pause the music"
# build1 starts at bar 9 (00:16), drop1 at bar 17 (00:32).
key Home Down Down Right shift+Right Up
expect_lines "$(since_mark | grep '^Paused at')" "Seek to 00:00:000 row 0 bar 1.1" "Seek to 00:16:000 row 320 bar 9.1" \
  "Seek to 00:32:000 row 640 bar 17.1" "Seek to 00:32:500 row 650 bar 17.2" "Seek to 00:34:000 row 680 bar 18.1" \
  "Seek to 00:32:000 row 640 bar 17.1"
# At 00:21, in scene 1 (bar 11 beat 3), without the overlay: its disks turn and its
# lights follow the music, yet the paused picture stands still.
mark
key Home Down shift+Right shift+Right Right Right Tab
expect_lines "Seek to 00:00:000 row 0 bar 1.1" "Seek to 00:16:000 row 320 bar 9.1" "Seek to 00:18:000 row 360 bar 10.1" \
  "Seek to 00:20:000 row 400 bar 11.1" "Seek to 00:20:500 row 410 bar 11.2" "Seek to 00:21:000 row 420 bar 11.3"
sleep 0.5
shot s1a; sleep 1; shot s1b
same s1a s1b || fail "Glass Hall: two frames of scene 1 a second apart differ while paused"
# At 00:40, in the ring arena.
key Down shift+Right shift+Right shift+Right shift+Right
sleep 0.5
shot gh1; sleep 1; shot gh2
same gh1 gh2 || fail "Glass Hall: two frames a second apart differ while paused"
FULL=640x300+0+0
BASE=$(mean gh1 $FULL)
mark
save "$SYNC" '/^  curve brightness$/{n;s/^    bar 1 0$/    bar 1 0.4/}'
wait_picture "Glass Hall sync" $FULL "m > $BASE + 0.15"
wait_line "^Reloaded sync script from .*glasshall.sync"
shot gh_synced
mark
save "$SYNC" 's/^  curve contrast$/  curve contrast 1 2 3/'
wait_line "^Reload of sync script from .*glasshall.sync failed"
shot gh_sync_broken
same gh_synced gh_sync_broken || fail "Glass Hall: a script with an error changed the picture"
mark
save "$POST" 's/^    fragColor = vec4(c, 1.0);$/    fragColor = vec4(c, 1.0)/'
wait_line "^Reload of shader post_process_shader from resources/shaders/PostProcess.frag failed"
since_mark | grep -qE "^  PostProcess.frag:[0-9]+: error" || fail "Glass Hall: the compiler's error does not name PostProcess.frag"
shot gh_shader_broken
same gh_synced gh_shader_broken || fail "Glass Hall: a shader with an error changed the picture"
mark
save "$POST" 's/^    fragColor = vec4(c, 1.0)$/    fragColor = vec4(c * 0.25, 1.0);/'
wait_picture "Glass Hall shader" $FULL "m < $(mean gh_synced $FULL) * 0.5"
wait_line "^Reloaded shader post_process_shader from resources/shaders/PostProcess.frag"
quit
echo "live editing: all checks passed"
