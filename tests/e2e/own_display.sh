# Sourced by the end-to-end tests that press keys or need a screen of a given size.
#
# on_own_display SCREEN COMMAND...: runs COMMAND on an X server of its own (Xvfb, screen
# SCREEN such as 640x360x24) and returns its status. Keys go to the focused window, so a
# test that presses them must not share its display with the tests ctest runs beside it.
# The server picks a free display number itself (-displayfd), so tests that start at the
# same moment never race for one, as they do with xvfb-run -a. -noreset: by default the
# server resets when its last client leaves and refuses a client that connects meanwhile,
# so a program started just after another closed (the readiness check below, a window
# search) could fail to open the display.
on_own_display() {
  local screen=$1 fifo num server status attempt up
  shift
  # A server that reported its number but does not take a connection within 2 s is
  # stopped and another started, up to three times. (The one failure that led to this was
  # most likely the reset that -noreset now prevents; the check stays as a safeguard.)
  for attempt in 1 2 3; do
    fifo=$(mktemp -u)
    mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp -noreset 3> "$fifo" > /dev/null 2>&1 &
    server=$!
    num=""
    read -r -t 30 num < "$fifo" || true
    rm -f "$fifo"
    up=0
    if [ -n "$num" ]; then
      for _ in $(seq 1 20); do
        DISPLAY=":$num" xdotool getdisplaygeometry > /dev/null 2>&1 && { up=1; break; }
        sleep 0.1
      done
    fi
    [ "$up" = 1 ] && break
    kill "$server" 2> /dev/null || true
    wait "$server" 2> /dev/null || true
  done
  if [ "$up" != 1 ]; then
    echo "FAILED: no X server of its own started"
    return 1
  fi
  status=0
  DISPLAY=":$num" "$@" || status=$?
  kill "$server" 2> /dev/null || true
  wait "$server" 2> /dev/null || true
  return $status
}

# run_on_own_display SCREEN "$@": the start of a test that needs a display of its own.
# Called from the script as it was started, it runs the script again (with
# --own-display) on a server of its own and exits with that run's status; in that run
# it returns at once.
run_on_own_display() {
  local screen=$1
  shift
  [ "${1:-}" = --own-display ] && return 0
  on_own_display "$screen" bash "$0" --own-display
  exit $?
}

# window_test_setup: the start of a test of the smoke program's window, on its own
# display: SMOKE from the environment, WORK (removed at the end, when the program PID
# still runs it is killed), software GL, and the engine's source tree as the working
# directory, where its own resource files (the default loading screen) are read from.
window_test_setup() {
  SMOKE=${DEMOSYS_SMOKE:?}
  WORK=$(mktemp -d)
  trap 'rm -rf "$WORK"; [ -n "${PID:-}" ] && kill "$PID" 2>/dev/null || true' EXIT
  export LIBGL_ALWAYS_SOFTWARE=1
  cd "${DEMOSYS_SOURCE_DIR:?}"
}

# require_tools TOOL...: fails the test when a program it needs is not installed.
require_tools() {
  local tool
  for tool in "$@"; do
    command -v "$tool" > /dev/null || { echo "FAILED: $tool is not installed"; exit 1; }
  done
}

# press_dialog_button X Y: clicks the setup dialog ("Orvane Demosys v.2.0") at X, Y once
# it is on screen, and again while that window stays on screen: a click that lands before
# the dialog is ready to take it is lost. False when the dialog never appears or never
# goes. Exported, so that the commands run by on_own_display (bash -c) have it too.
press_dialog_button() {
  local x=$1 y=$2 w="" tries
  for _ in $(seq 1 300); do
    w=$(xdotool search --onlyvisible --name "^Orvane Demosys v.2.0$" 2> /dev/null | head -1 || true)
    [ -n "$w" ] && break
    sleep 0.1
  done
  [ -n "$w" ] || return 1
  for tries in 1 2 3 4 5; do
    xdotool mousemove --sync --window "$w" "$x" "$y" click 1 2> /dev/null || true
    for _ in $(seq 1 20); do
      xdotool search --onlyvisible --name "^Orvane Demosys v.2.0$" 2> /dev/null | grep -qx "$w" || return 0
      sleep 0.1
    done
  done
  return 1
}
export -f press_dialog_button

# focus_window TITLE: sets WID to the window of that title and waits until it has the
# focus (on a busy machine a key pressed before could be lost). False when there is none.
focus_window() {
  WID=$(xdotool search --name "^$1\$" | head -1)
  [ -n "$WID" ] || return 1
  for _ in $(seq 1 50); do
    [ "$(xdotool getwindowfocus 2> /dev/null)" = "$WID" ] && break
    xdotool windowfocus "$WID" 2> /dev/null || true
    sleep 0.1
  done
  sleep 0.5
}
