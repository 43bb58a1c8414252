#!/usr/bin/env bash
# The timeline editor in a real browser: headless chromium, driven through selenium
# (web_editor.py), on the page that --edit --web serves. The test production: requests
# from elsewhere refused, bad ones answering 400 and changing nothing, the page's curves
# equal to the values the demo plays, a key added and one dragged with the mouse, undo
# and redo, a key's type from its menu, Delete, the ruler's seek and loop, Space, and a
# save with every other line of the script unchanged. Glass Hall: the whole timeline on
# one screen, its frame time, a drag and its time to the demo's answer, the screenshots
# (into FOLDER too with DEMOSYS_WEB_SCREENSHOTS=FOLDER).
set -euo pipefail
. "$(dirname "$0")/own_display.sh"
. "$(dirname "$0")/tool_checks.sh"
# The system's python, where Debian's selenium is.
PYTHON=python3
$PYTHON -c 'import selenium' 2> /dev/null || PYTHON=/usr/bin/python3
$PYTHON -c 'import selenium' 2> /dev/null || { echo "FAILED: python3-selenium is not installed"; exit 1; }
# The demo's window on a display of its own; the browser runs headless.
run_on_own_display 800x600x24 "$@"
edit_test_setup Xvfb xdotool convert chromium chromedriver
# The page's token is kept in the user's configuration folder: the test's own.
export XDG_CONFIG_HOME="$WORK/config"
copy_production_to_edit "$WORK/production"
[ -s "$WORK/production/resources/web/index.html" ] || { echo "FAILED: no web/ page in the resource tree"; exit 1; }
$PYTHON "$SOURCE/tests/e2e/web_editor.py" production "$WORK/production" "$WORK/production/timeline.sync" \
  -- "$PROD" --edit --size 640x360 --sync timeline.sync --web 0

if [ -z "$GLASSHALL" ]; then echo "glasshall is not built: the test production passed"; exit 0; fi
copy_glasshall_to_edit "$WORK/glasshall" || { echo "SKIPPED: no Glass Hall content built"; exit 77; }
$PYTHON "$SOURCE/tests/e2e/web_editor.py" glasshall "$WORK/glasshall" "$WORK/glasshall/glasshall.sync" \
  -- "$GLASSHALL" "${EDIT_GLASSHALL[@]}" --web 0
