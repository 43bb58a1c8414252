# Shared by the tool tests (sourced, not run): a folder to work in, checks of a tool's
# JSON output and of its one-line errors. The checks work in the current directory.

# work_in_temp_dir: makes WORK, a folder removed when the test exits, and goes there.
work_in_temp_dir() {
  WORK=$(mktemp -d)
  trap 'rm -rf "$WORK"' EXIT
  cd "$WORK"
}

check() { # check DESCRIPTION PYTHON-EXPRESSION-ON-json FILE
  python3 - "$3" "$2" "$1" <<'PY'
import json, sys
data = json.load(open(sys.argv[1]))
if not eval(sys.argv[2], {"j": data}):
    sys.exit("FAILED: %s\n  expression: %s\n  json: %s" % (sys.argv[3], sys.argv[2], json.dumps(data)[:2000]))
PY
}

# The command must fail with exactly one line on standard error naming NAME; its
# standard output is left in out.txt, its error in err.txt.
expect_failure() { # expect_failure NAME-IN-MESSAGE COMMAND...
  local name=$1; shift
  if "$@" > out.txt 2> err.txt; then echo "FAILED: '$*' succeeded on bad input"; exit 1; fi
  [ "$(wc -l < err.txt)" -eq 1 ] || { echo "FAILED: '$*' error is not one line:"; cat err.txt; exit 1; }
  grep -q -- "$name" err.txt || { echo "FAILED: '$*' error does not name $name:"; cat err.txt; exit 1; }
}

# Glass Hall's built content for the capture tests: CONTENT holds the capture tool's
# arguments for it (the build's resources.7z, else its resources/ tree with the scenes;
# DEMOSYS_GLASSHALL_RESOURCES may name another directory holding either). Without any,
# the test is skipped.
glasshall_content() {
  local res=${DEMOSYS_GLASSHALL_RESOURCES:-${DEMOSYS_BINARY_DIR:?}}
  if [ -s "$res/resources.7z" ]; then
    CONTENT=(--archive "$res/resources.7z")
  elif [ -s "$res/resources/objects/Scene1.vbo" ]; then
    CONTENT=(--resources "$res/resources")
  else
    echo "SKIPPED: no Glass Hall content in $res (build the content, or set DEMOSYS_GLASSHALL_RESOURCES)"
    exit 77
  fi
}

# quiet LOG COMMAND...: runs COMMAND with its output in LOG; on failure says so with the
# end of LOG and exits.
quiet() {
  local log=$1; shift
  "$@" > "$log" 2>&1 || { echo "FAILED: $* (exit status $?):"; tail -30 "$log"; exit 1; }
}

# edit_test_setup TOOL...: the start of a test of edit mode's links, on its own display
# (with own_display.sh sourced): the tools checked, PROD, GLASSHALL and SOURCE from the
# environment, software GL with silent audio, and WORK, a folder removed at the end
# unless KEEP is set.
edit_test_setup() {
  require_tools "$@"
  PROD=${DEMOSYS_TEST_PRODUCTION:?}
  GLASSHALL=${DEMOSYS_GLASSHALL:-}
  SOURCE=${DEMOSYS_SOURCE_DIR:?}
  export LIBGL_ALWAYS_SOFTWARE=1 SDL_AUDIODRIVER=dummy
  WORK=$(mktemp -d)
  trap '[ -n "${KEEP:-}" ] || rm -rf "$WORK"' EXIT
  echo "work: $WORK"
}

# Copies to edit, for the tests of edit mode's links: the test production's resource tree
# and sync script in DIR; Glass Hall's built tree and script in DIR, with EDIT_GLASSHALL
# holding edit mode's arguments for it (false when the content is not built).
copy_production_to_edit() { # copy_production_to_edit DIR
  mkdir "$1"
  cp -r "${DEMOSYS_TEST_PRODUCTION_RESOURCES:?}" "$1/resources"
  cp "${DEMOSYS_SOURCE_DIR:?}/tests/production/timeline.sync" "$1/"
}
copy_glasshall_to_edit() { # copy_glasshall_to_edit DIR
  local res=${DEMOSYS_BINARY_DIR:-$DEMOSYS_SOURCE_DIR/build}/resources
  [ -s "$res/objects/Scene1.vbo" ] || return 1
  mkdir "$1"
  cp -r "$res" "$1/resources"
  cp "$DEMOSYS_SOURCE_DIR/content/sync/glasshall.sync" "$1/"
  EDIT_GLASSHALL=(--edit --size 640x360 --quality 0 --resources resources --sync glasshall.sync
    --score "$DEMOSYS_SOURCE_DIR/content/music/glass_hall.score")
}

