#!/usr/bin/env bash
# The test production through the whole engine: its resources/ tree (which the build
# makes from the sources) loaded in mode 0, packed with the script the engine writes,
# loaded again from the archive alone in mode 1 (both logs must match the expected log line by line),
# rendered offline twice (identical frames, and the expected image), and broken in each
# way a production's files can break (each must end with the loader's message, a clean
# shutdown and exit status 0).
set -euo pipefail
PROD=${DEMOSYS_TEST_PRODUCTION:?}
SRC=${DEMOSYS_SOURCE_DIR:?}/tests/production
[ -n "${DISPLAY:-}" ] || { echo "no display: the test command runs this under Xvfb"; exit 1; }
command -v 7z > /dev/null || { echo "FAILED: 7z is not installed (package p7zip-full)"; exit 1; }
export LIBGL_ALWAYS_SOFTWARE=1
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT

fail() { echo "FAILED: $*"; exit 1; }
# The lines that differ between machines and runs: driver versions, an address, a speed.
normalise() {
  sed -E -e 's/^(OpenGL version : ).*/\1<version>/' -e 's/^(GLSL version : ).*/\1<version>/' \
         -e 's/^(Video object ).+/\1<address>/' -e 's/^(Average FPS = ).*/\1<fps>/' "$1"
}
compare_log() { # compare_log LOG EXPECTED (DEMOSYS_UPDATE_REFERENCES=1 writes EXPECTED instead)
  normalise "$1" > "$1.normalised"
  [ -n "${DEMOSYS_UPDATE_REFERENCES:-}" ] && { cp "$1.normalised" "$2"; return; }
  diff -u "$2" "$1.normalised" > "$WORK/diff.txt" || { echo "FAILED: $1 differs from $2:"; head -80 "$WORK/diff.txt"; exit 1; }
}
run() { # run DIR LOG ARGS...: the program in DIR, which must exit with status 0
  local dir=$1 log=$2; shift 2
  (cd "$dir" && timeout 120 "$PROD" "$@" > "$log" 2>&1) || fail "exit status $? in $dir ($*):$(tail -20 "$dir/$log")"
}

mkdir "$WORK/base"
cp -r "${DEMOSYS_TEST_PRODUCTION_RESOURCES:?}" "$WORK/base/resources"

# 1. Mode 0 from the resources/ tree: every stage in order, three frames, shutdown.
cp -r "$WORK/base" "$WORK/mode0"
run "$WORK/mode0" run.log --frames 3
compare_log "$WORK/mode0/run.log" "$SRC/expected_run.log"

# 2. The packing script lists every file the production read, and 7z packs them.
run "$WORK/mode0" pack.log --pack pack.sh
diff -u "$SRC/expected_pack.sh" "$WORK/mode0/pack.sh" || fail "the packing script differs"
(cd "$WORK/mode0" && sh pack.sh > /dev/null 2>&1) || true
[ -s "$WORK/mode0/resources.7z" ] || fail "the packing script made no archive: $(cat "$WORK/mode0/resources.7z.log" 2>/dev/null)"

# 3. Mode 1 from the archive alone gives the same log.
mkdir "$WORK/mode1"
cp "$WORK/mode0/resources.7z" "$WORK/mode1/"
run "$WORK/mode1" run.log --mode 1 --frames 3
compare_log "$WORK/mode1/run.log" "$SRC/expected_run.log"

# Without the archive: said once, then the first file fails as usual.
mkdir "$WORK/no_archive"
run "$WORK/no_archive" run.log --mode 1 --frames 3
grep -qx "Cannot open the resource archive 'resources.7z'" "$WORK/no_archive/run.log" || fail "no line for a missing archive"
grep -A1 -x "Message from resourceloader" "$WORK/no_archive/run.log" | grep -qx "Vertex shader 'backdrop.vert' not found" ||
  fail "missing archive: $(sed -n '/Shutting Down/,$p' "$WORK/no_archive/run.log")"

# 4. Offline rendering: the same range twice gives the same pixels, from either source,
#    and the last frame is the expected image.
run "$WORK/mode0" render1.log --render 1000 30 3 "$WORK/render1" --render-size 160x90 --reference "$SRC/expected_frame.png"
run "$WORK/mode0" render2.log --render 1000 30 3 "$WORK/render2" --render-size 160x90
run "$WORK/mode1" render3.log --mode 1 --render 1000 30 3 "$WORK/render3" --render-size 160x90
grep -q "^Rendered frame 2 at 1066 ms$" "$WORK/mode0/render1.log" || fail "frame times: $(grep Rendered "$WORK/mode0/render1.log")"
for f in frame_0000.png frame_0001.png frame_0002.png; do
  cmp -s "$WORK/render1/$f" "$WORK/render2/$f" || fail "$f differs between two renders"
  cmp -s "$WORK/render1/$f" "$WORK/render3/$f" || fail "$f differs between the modes"
done
cmp -s "$WORK/render1/frame_0000.png" "$WORK/render1/frame_0002.png" && fail "the frames do not change over time"
grep -qx "Reference: match" "$WORK/mode0/render1.log" || fail "$(grep Reference "$WORK/mode0/render1.log")"

# 5. Each way the files can break: the loader's message after "Message from
#    resourceloader", nothing loaded after the failure, no frame loop, a clean end.
broken() { # broken NAME 'COMMAND' FIRST-MESSAGE-LINE [SECOND-LINE]
  local dir="$WORK/broken_$1"
  cp -r "$WORK/base" "$dir"
  (cd "$dir/resources" && eval "$2")
  run "$dir" run.log --frames 3
  local log="$dir/run.log"
  grep -A2 -x "Message from resourceloader" "$log" | sed -n 2p | grep -qxF -- "$3" ||
    fail "$1: expected '$3' after the loader heading:$(sed -n '/Shutting Down/,$p' "$log")"
  if [ -n "${4:-}" ]; then
    grep -A2 -x "Message from resourceloader" "$log" | sed -n 3p | grep -qxF -- "$4" || fail "$1: expected '$4'"
  fi
  grep -q "^Duration : " "$log" && fail "$1: a failed load ran the frame loop"
  [ "$(tail -1 "$log")" = "[Application End]" ] || fail "$1: the shutdown did not finish"
  grep -q "^\[Deleting Pools\]$" "$log" || fail "$1: the pools were not deleted"
  return 0
}
broken shader 'rm shaders/geo.frag' "Fragement shader 'geo.frag' not found"
grep -qx "Failed to find fragment shader 'geo.frag'" "$WORK/broken_shader/run.log" || fail "shader: no read failure line"
grep -q "^\[Loading 3D Objects\]" "$WORK/broken_shader/run.log" && fail "shader: loading went on after the failure"
broken include 'rm shaders/common.glsl' "Failed to include '#include common.glsl' in backdrop.frag depth 0"
grep -qx "shaderInclude(..) failed " "$WORK/broken_include/run.log" || fail "include: no failure line"
broken texture 'rm graphics/backdrop.png' "Failed to load texture!" "File : 'resources/graphics/backdrop.png'"
grep -q "^\[Loading Binary Data\]" "$WORK/broken_texture/run.log" && fail "texture: loading went on after the failure"
grep -A3 -x "Message from resourceloader" "$WORK/broken_texture/run.log" | grep -qxF "Image 'resources/graphics/backdrop.png': not found" ||
  fail "texture: no reason line"
broken bad_texture 'head -c 100 graphics/backdrop.png > cut && mv cut graphics/backdrop.png' "Failed to load texture!" \
  "File : 'resources/graphics/backdrop.png'"
grep -A3 -x "Message from resourceloader" "$WORK/broken_bad_texture/run.log" | grep -qxF "Image 'resources/graphics/backdrop.png': damaged" ||
  fail "bad texture: no reason line: $(sed -n '/Message from resourceloader/,+4p' "$WORK/broken_bad_texture/run.log")"
broken object 'rm objects/hall.vbo' "Object 'resources/objects/hall.vbo' not found"
broken bad_object 'head -c 300 objects/hall.vbo > cut && mv cut objects/hall.vbo' \
  "Object 'resources/objects/hall.vbo' is corrupt: the file ends inside the head of mesh 2 of 3"
broken video 'rm video/clip.ivf' "Failed to load video!" "File : 'resources/video/clip.ivf'"
grep -qx "Video object 0" "$WORK/broken_video/run.log" || fail "video: the null video object line is missing"
broken cut_video 'head -c 20 video/clip.ivf > cut && mv cut video/clip.ivf' "Failed to load video!"
# Bad track data: the timeline reports it itself and the loader message stays empty.
broken tracks 'head -c 40 tracks/track.data > cut && mv cut tracks/track.data' ""
grep -q "^Corrupt track file 'resources/tracks/index.list': .*lies outside 'resources/tracks/track.data' (40 bytes)$" \
  "$WORK/broken_tracks/run.log" || fail "tracks: no corrupt-file report"
grep -q "^\[Setting up sound\]" "$WORK/broken_tracks/run.log" && fail "tracks: loading went on after the failure"
echo "test production: all checks passed"
