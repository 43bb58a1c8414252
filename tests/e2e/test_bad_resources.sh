#!/usr/bin/env bash
# Glass Hall on broken copies of its resources.7z: one file missing, cut short or
# corrupted (a scene, a texture, a shader, an include, the track data, the music) and the
# archive itself cut short or with a flipped bit. Each run loads through the real loading
# pipeline (glasshall_check: the program without its setup dialog) and must print the
# loader's failure texts, shut down to "[Application End]" and exit with status 0, within
# a time limit: never a crash or a hang. Then the program itself, through its dialog, on
# one broken archive.
# The archive is build/resources.7z, or DEMOSYS_GLASSHALL_RESOURCES/resources.7z.
set -euo pipefail
. "$(dirname "$0")/own_display.sh"
CHECK=${DEMOSYS_GLASSHALL_CHECK:?}
GLASSHALL=${DEMOSYS_GLASSHALL:-}
RES=${DEMOSYS_GLASSHALL_RESOURCES:-${DEMOSYS_BINARY_DIR:?}}
[ -n "${DISPLAY:-}" ] || { echo "no display: the test command runs this under Xvfb"; exit 1; }
[ -s "$RES/resources.7z" ] || { echo "SKIPPED: no $RES/resources.7z (build the content)"; exit 77; }
command -v 7z > /dev/null || { echo "7z is not installed (package p7zip-full)"; exit 1; }
export LIBGL_ALWAYS_SOFTWARE=1 SDL_AUDIODRIVER=dummy
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
ARCHIVE="$WORK/resources.7z"
cp "$RES/resources.7z" "$ARCHIVE"
mkdir "$WORK/tree"
(cd "$WORK/tree" && 7z x -bd -bso0 "$ARCHIVE")
FAILED=0
fail() { echo "FAILED: $*"; FAILED=1; }

# Case directories hold a copy of the archive, changed by the helpers below.
new_case() { CASE="$WORK/case-$1"; mkdir -p "$CASE/edit"; cp "$ARCHIVE" "$CASE/resources.7z"; }
remove() { 7z d -bd -bso0 "$CASE/resources.7z" "$1"; }
# replace FILE COMMAND...: COMMAND turns the original (stdin) into the new file (stdout).
replace() {
  local file=$1; shift
  mkdir -p "$CASE/edit/$(dirname "$file")"
  "$@" < "$WORK/tree/$file" > "$CASE/edit/$file"
  (cd "$CASE/edit" && 7z a -bd -bso0 -ms=off -mx=1 "$CASE/resources.7z" "$file")
}
half() { local n; n=$(stat -c %s "$1"); echo $((n / 2)); }
# scramble OFFSET COUNT: COUNT bytes from OFFSET set to 0xff (counts, sizes, magic).
scramble() { python3 -c '
import sys
data = bytearray(sys.stdin.buffer.read()); off, n = int(sys.argv[1]), int(sys.argv[2])
data[off:off + n] = b"\xff" * len(data[off:off + n]); sys.stdout.buffer.write(data)' "$1" "$2"; }
flip_bit() { python3 -c '
import sys
path, off = sys.argv[1], int(sys.argv[2])
with open(path, "r+b") as f:
    f.seek(off); b = f.read(1)[0]; f.seek(off); f.write(bytes([b ^ 0x10]))' "$1" "$2"; }

# run_case NAME EXPECTED [runs]: the run's exit status and its end, and EXPECTED (an
# extended regular expression) in the log. Without "runs" the load must have failed: the
# failure texts printed at shutdown, the frame loop never entered.
run_case() {
  local name=$1 expected=$2 runs=${3:-} log="$CASE/run.log" rc=0
  (cd "$CASE" && timeout -k 5 60 "$CHECK" --mode 1 --size 160x90 --play 0 500 > run.log 2>&1) || rc=$?
  [ "$rc" -eq 0 ] || { fail "$name: exit status $rc"; tail -15 "$log"; return; }
  [ "$(tail -1 "$log")" = "[Application End]" ] && grep -q "^ORVDemosys::shutdown()$" "$log" ||
    { fail "$name: no clean shutdown"; tail -15 "$log"; return; }
  grep -qE "$expected" "$log" || { fail "$name: '$expected' missing"; tail -40 "$log"; return; }
  if [ -z "$runs" ]; then
    grep -q "^\[Demo Init\]$" "$log" && { fail "$name: the demo ran on broken resources"; return; }
    sed -n '/^\[Shutting Down\]$/,/^\[Deleting Pools\]$/p' "$log" | grep -q "^Message from resourceloader$" ||
      { fail "$name: no failure texts at shutdown"; return; }
  fi
  echo "ok: $name: $(grep -m1 -E "$expected" "$log")"
}

SCENE=resources/objects/Scene4.vbo
new_case scene-missing; remove "$SCENE"; run_case "scene missing" "^Object 'resources/objects/Scene4\.vbo' not found$"
new_case scene-short; replace "$SCENE" head -c "$(half "$WORK/tree/$SCENE")"
run_case "scene cut short" "^Object 'resources/objects/Scene4\.vbo' is corrupt: "
new_case scene-corrupt; replace "$SCENE" scramble 0 12
run_case "scene corrupted" "^Invalid object version in file 'resources/objects/Scene4\.vbo'"

TEXTURE=resources/graphics/FloorTileNormals.png
TEXTURE_FAILED="^Image 'resources/graphics/FloorTileNormals\.png': "
new_case texture-missing; remove "$TEXTURE"; run_case "texture missing" "${TEXTURE_FAILED}not found$"
new_case texture-short; replace "$TEXTURE" head -c 4000; run_case "texture cut short" "${TEXTURE_FAILED}damaged$"
new_case texture-corrupt; replace "$TEXTURE" scramble 16 8; run_case "texture corrupted" "${TEXTURE_FAILED}damaged$"

new_case shader-syntax
replace resources/shaders/deferred_geometry.frag sed '0,/^void main/s//this is not a declaration;\nvoid main/'
run_case "shader syntax error" "^Error while compiling fragment shader$"
new_case include-missing; remove resources/shaders/deferred_gbuffer.glsl
run_case "include missing" "^Failed to include '#include deferred_gbuffer\.glsl' in deferred_geometry\.frag"

# The timeline reports bad track data itself; the loader's message stays empty.
TRACKS=resources/tracks/track.data
new_case tracks-missing; remove "$TRACKS"
run_case "track data missing" "^Track data 'resources/tracks/track\.data' is missing"
new_case tracks-short; replace "$TRACKS" head -c "$(half "$WORK/tree/$TRACKS")"
run_case "track data cut short" "^Corrupt track file 'resources/tracks/index\.list': .* lies outside"
new_case tracks-corrupt; replace "$TRACKS" scramble 0 16
run_case "track data corrupted" "^Corrupt track file 'resources/tracks/track\.data': "
# Without an index the production has no track data at all, which the timeline accepts:
# the demo runs, every effect at its defaults.
new_case index-missing; remove resources/tracks/index.list
run_case "track index missing" "^Track index 'resources/tracks/index\.list' is missing" runs

MUSIC=resources/sound/orvane-glass_hall.mp3
new_case music-missing; remove "$MUSIC"; run_case "music missing" "^Failed to load sound!$"
new_case music-short; replace "$MUSIC" head -c 300; run_case "music cut short" "^Failed to load sound!$"
new_case music-corrupt; replace "$MUSIC" scramble 0 65536; run_case "music corrupted" "^Failed to load sound!$"

SIZE=$(stat -c %s "$ARCHIVE")
new_case archive-short; head -c $((SIZE / 2)) "$ARCHIVE" > "$CASE/resources.7z"
run_case "archive cut short" "^Cannot open the resource archive 'resources\.7z'$"
new_case archive-header-bit; flip_bit "$CASE/resources.7z" $((SIZE - 200))
run_case "archive header bit flipped" "^Cannot open the resource archive 'resources\.7z'$"
# The middle of the archive lies in the music's packed stream. Which byte that is moves
# with the archive's size, and a flipped bit in compressed data shows either as a bad
# checksum or as data the decompressor cannot decode: either is a failed read.
new_case archive-data-bit; flip_bit "$CASE/resources.7z" $((SIZE / 2))
run_case "archive data bit flipped" "^Cannot read '.*' from 'resources\.7z': (7-Zip bad CRC|Decompression failed)"

# The program itself: "Start!" in its dialog, a broken archive, the failure texts, status 0.
if [ -n "$GLASSHALL" ]; then
  CASE="$WORK/case-scene-missing"
  export GLASSHALL CASE
  on_own_display 640x360x24 timeout -k 5 60 bash -euo pipefail -c '
    cd "$CASE"
    "$GLASSHALL" > program.log 2>&1 & pid=$!
    press_dialog_button 172 260 || { echo "no setup dialog, or Start! not taken"; kill $pid; exit 1; }
    wait $pid' || fail "glasshall on a broken archive: status $?"
  [ "$(tail -1 "$CASE/program.log")" = "[Application End]" ] &&
    grep -q "^Object 'resources/objects/Scene4\.vbo' not found$" "$CASE/program.log" ||
    { fail "glasshall on a broken archive:"; tail -15 "$CASE/program.log"; }
  [ "$FAILED" = 1 ] || echo "ok: glasshall itself, scene missing"
fi

[ "$FAILED" = 0 ] || exit 1
echo "bad resources: all cases passed"
