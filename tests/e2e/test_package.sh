#!/usr/bin/env bash
# The engine as a CMake package for a production outside its tree: the build installed
# into a temporary prefix; the small production of tests/package copied to a temporary
# folder, configured and built against the prefix (find_package, Demosys::demosys, and
# demosys_add_resources for its resource tree and archive with the installed tools);
# run from its archive alone, where it checks its own frames. Then the rebuild rules:
# nothing runs when nothing changed, a changed material file converts the scene again,
# a changed shader is copied and packed. Last, the same production configured with the
# engine added from its source tree (add_subdirectory): no Glass Hall comes with it.
set -euo pipefail
BUILD=${DEMOSYS_BINARY_DIR:?}
SOURCE=${DEMOSYS_SOURCE_DIR:?}
[ -n "${DISPLAY:-}" ] || { echo "no display: the test command runs this under Xvfb"; exit 1; }
export LIBGL_ALWAYS_SOFTWARE=1
WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
fail() { echo "FAILED: $*"; exit 1; }
. "$SOURCE/tests/e2e/tool_checks.sh"

PREFIX=$WORK/prefix
quiet "$WORK/install.log" cmake --install "$BUILD" --prefix "$PREFIX"
cp -r "$SOURCE/tests/package" "$WORK/src"
quiet "$WORK/configure.log" cmake -S "$WORK/src" -B "$WORK/build" -DCMAKE_PREFIX_PATH="$PREFIX"
quiet "$WORK/build.log" cmake --build "$WORK/build" -j2

# The archive holds the production's files, the engine's loading-screen pair from the
# package's share/ and what the package's tools made.
quiet "$WORK/inspect.json" "$PREFIX/bin/demosys-inspect" archive "$WORK/build/resources.7z" --verify
python3 - "$WORK/inspect.json" <<'PY' || fail "archive entries: $(cat "$WORK/inspect.json")"
import json, re, sys
text = open(sys.argv[1]).read()
names = sorted(set(re.findall(r'"(resources/[^"]+)"', text)))
want = ["resources/objects/box.vbo", "resources/shaders/default_Progress.frag",
        "resources/shaders/default_Progress.vert", "resources/shaders/level.frag",
        "resources/shaders/level.vert", "resources/tracks/index.list", "resources/tracks/track.data"]
sys.exit(0 if names == want else "entries %s" % names)
PY
cmp -s "$PREFIX/share/demosys/shaders/default_Progress.vert" "$WORK/build/resources/shaders/default_Progress.vert" ||
  fail "the loading-screen shader is not the package's"
# The timeline editor's page from the package's share/, in the tree (not in the archive).
cmp -s "$PREFIX/share/demosys/web/index.html" "$WORK/build/resources/web/index.html" ||
  fail "the resource tree has no timeline editor page from the package"

mkdir "$WORK/run"
cp "$WORK/build/resources.7z" "$WORK/run/"
(cd "$WORK/run" && timeout 120 "$WORK/build/package_production" frame.png > run.log 2>&1) ||
  fail "package_production (exit status $?):$(echo; tail -20 "$WORK/run/run.log")"
grep -qx "package production: all checks passed" "$WORK/run/run.log" || fail "$(tail -20 "$WORK/run/run.log")"
[ -s "$WORK/run/frame.png" ] || fail "no frame written"
# The effect's shader samples no texture and the quad drawer, given none, sets no texture0.
! grep -n "not found!" "$WORK/run/run.log" || fail "a uniform the program does not use was set"

rebuild() { # rebuild NAME: builds again, the output in $WORK/NAME.log
  quiet "$WORK/$1.log" cmake --build "$WORK/build" -j2
}
rebuild again
grep -qE "Converting|Compiling|Packing|Linking" "$WORK/again.log" && fail "a build with nothing changed did work: $(cat "$WORK/again.log")"
touch "$WORK/src/box.mtl"
rebuild material
grep -q "Converting box.obj" "$WORK/material.log" || fail "a changed material file did not convert the scene again"
grep -q "Packing" "$WORK/material.log" || fail "the archive was not packed again"
echo "// edited" >> "$WORK/src/shaders/level.frag"
rebuild shader
cmp -s "$WORK/src/shaders/level.frag" "$WORK/build/resources/shaders/level.frag" || fail "the edited shader was not copied"
grep -q "Packing" "$WORK/shader.log" || fail "the archive was not packed again after a shader edit"
grep -q "Converting" "$WORK/shader.log" && fail "a shader edit converted the scene again"

# The engine from its source tree: configures as a part of another project, without
# Glass Hall, its tests or install rules.
quiet "$WORK/subdirectory.log" cmake -S "$WORK/src" -B "$WORK/subdirectory" -DDEMOSYS_SOURCE="$SOURCE"
cmake --build "$WORK/subdirectory" --target help > "$WORK/targets.txt"
grep -q "package_production_resources" "$WORK/targets.txt" || fail "add_subdirectory: no resource target"
grep -q "demosys-vbo" "$WORK/targets.txt" || fail "add_subdirectory: no converter"
grep -qE "glasshall|unit_tests|install" "$WORK/targets.txt" && fail "add_subdirectory brings Glass Hall, tests or install rules: $(grep -E "glasshall|unit_tests|install" "$WORK/targets.txt")"
echo "package: all checks passed"
