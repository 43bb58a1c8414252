#!/usr/bin/env bash
# The link to a sync editor end to end: a stand-in editor (rocket_editor.py) on a free
# loopback port drives the test production's edit mode: the greeting and the track
# requests, a seek, a key changing the picture, play and pause with the rows reported,
# a save into the sync script that changes only the keyed lines, a command that does not
# exist and one cut off (the link drops, the demo plays on, links again, nothing of the
# cut command is applied); then Glass Hall, once: its track names, a key that lights the
# picture and a key saved on its beat grid. It prints the time from a key sent to the
# changed picture.
set -euo pipefail
. "$(dirname "$0")/own_display.sh"
. "$(dirname "$0")/tool_checks.sh"
# Its own display: the screenshots must show its window alone.
run_on_own_display 800x600x24 "$@"
edit_test_setup Xvfb xdotool import convert python3
copy_production_to_edit "$WORK/production"
# The top right corner shows the backdrop alone (the overlay writes its errors at the
# bottom).
python3 "$SOURCE/tests/e2e/rocket_editor.py" production "$WORK/production" "$WORK/production/timeline.sync" \
  "Demosys test production" 200x40+430+15 -- "$PROD" --edit --size 640x360 --sync timeline.sync

if [ -z "$GLASSHALL" ]; then echo "glasshall is not built: the test production passed"; exit 0; fi
copy_glasshall_to_edit "$WORK/glasshall" || { echo "SKIPPED: no Glass Hall content built"; exit 77; }
python3 "$SOURCE/tests/e2e/rocket_editor.py" glasshall "$WORK/glasshall" "$WORK/glasshall/glasshall.sync" \
  "Glass Hall" 640x200+0+160 -- "$GLASSHALL" "${EDIT_GLASSHALL[@]}"
