# shellcheck shell=bash
# Helpers shared by the scripts and the shell tests; source this file, do not run it.
#
#   . scripts/lib.sh
#   start_emulator "$BIN/issa-emulator" phones.ini emulator.log || exit 1   # EMU_PID, PORT
#   start_test_display || exit 1                   # TEST_DISPLAY, XVFB_PID, TRAY_PID
#   trap stop_test_display EXIT

# Waits up to 5 s for a line matching the pattern in the file, giving up
# early when the process that should write it has ended.
wait_for_line() {
  local file=$1 pattern=$2 pid=$3
  for _ in $(seq 100); do
    grep -q "$pattern" "$file" && return 0
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.05
  done
  return 1
}

# Starts the ISSA emulator on a free port of 127.0.0.1 with the given phones
# file, its log going to the given file. Sets EMU_PID and PORT; fails (EMU_PID
# still set, for the caller's clean-up) when no port is reported within 5 s.
start_emulator() {
  local emulator=$1 phones=$2 log=$3 portfile
  portfile=$(mktemp)
  "$emulator" --phones "$phones" --port 0 >"$portfile" 2>"$log" &
  EMU_PID=$!
  wait_for_line "$portfile" '^port ' "$EMU_PID" || true
  PORT=$(awk '/^port /{print $2}' "$portfile")
  rm -f "$portfile"
  if [ -z "$PORT" ]; then
    echo "the ISSA emulator did not start; see $log" >&2
    return 1
  fi
}

# Starts a private Xvfb display, its number chosen by the server among the free
# ones, and the trayer tray host on it. Sets TEST_DISPLAY (":N"), XVFB_PID and
# TRAY_PID; fails when either does not come up within 5 s.
start_test_display() {
  local numfile num
  numfile=$(mktemp)
  # Xvfb writes the display number to fd 3 once it accepts clients; -noreset
  # keeps it from resetting (and refusing clients meanwhile) when the check
  # below, its first client, disconnects.
  Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp -noreset 3>"$numfile" >/dev/null 2>&1 &
  XVFB_PID=$!
  wait_for_line "$numfile" '^[0-9][0-9]*$' "$XVFB_PID" || true
  num=$(head -1 "$numfile")
  rm -f "$numfile"
  if [ -z "$num" ] || ! kill -0 "$XVFB_PID" 2>/dev/null || ! xdpyinfo -display ":$num" >/dev/null 2>&1; then
    echo "Xvfb did not start" >&2
    return 1
  fi
  TEST_DISPLAY=:$num
  DISPLAY=$TEST_DISPLAY trayer --edge bottom --align right --widthtype request --height 24 >/dev/null 2>&1 &
  TRAY_PID=$!
  # The tray host is up once its windows are there.
  for _ in $(seq 100); do
    DISPLAY=$TEST_DISPLAY xdotool search --class trayer >/dev/null 2>&1 && return 0
    kill -0 "$TRAY_PID" 2>/dev/null || break
    sleep 0.05
  done
  echo "trayer did not start on $TEST_DISPLAY" >&2
  return 1
}

# Stops what start_test_display started (safe to call when it started nothing).
stop_test_display() {
  local pid
  for pid in ${TRAY_PID:-} ${XVFB_PID:-}; do
    kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true
  done
  TRAY_PID="" XVFB_PID=""
  true
}
