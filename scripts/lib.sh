# shellcheck shell=bash
# Helpers shared by the scripts and the shell tests; source this file, do not run it.
#
#   . scripts/lib.sh
#   start_emulator "$BIN/issa-emulator" phones.ini emulator.log || exit 1   # EMU_PID, PORT
#   start_test_display || exit 1                   # TEST_DISPLAY, XVFB_PID, TRAY_PID
#   trap stop_test_display EXIT
#   start_desktop_session xfce4-panel || exit 1    # in dbus-run-session: + WM_PID, NOTIFY_PID

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
# ones. Sets TEST_DISPLAY (":N") and XVFB_PID; fails when it does not come up
# within 5 s.
start_xvfb() {
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
}

# Waits up to 5 s for the command to succeed while the process runs.
wait_until() {
  local pid=$1; shift
  for _ in $(seq 100); do
    "$@" >/dev/null 2>&1 && return 0
    kill -0 "$pid" 2>/dev/null || return 1
    sleep 0.05
  done
  return 1
}

# Starts the trayer tray host (XEmbed) on TEST_DISPLAY. Sets TRAY_PID.
start_trayer() {
  DISPLAY=$TEST_DISPLAY trayer --edge bottom --align right --widthtype request --height 24 >/dev/null 2>&1 &
  TRAY_PID=$!
  # The tray host is up once its windows are there.
  wait_until "$TRAY_PID" env DISPLAY="$TEST_DISPLAY" xdotool search --class trayer && return 0
  echo "trayer did not start on $TEST_DISPLAY" >&2
  return 1
}

# Starts a private Xvfb display with the trayer tray host on it. Sets
# TEST_DISPLAY, XVFB_PID and TRAY_PID.
start_test_display() {
  start_xvfb && start_trayer
}

# A desktop made of Debian packages, for tests of what a user sees; call it
# inside dbus-run-session, with XDG_CONFIG_HOME set to a private folder before
# the session started (the panel's settings service reads it). On a private
# Xvfb display: the openbox window manager, the tray host $1 ("trayer", XEmbed,
# or "xfce4-panel", which also hosts StatusNotifierItem icons) and the dunst
# notification server. Sets TEST_DISPLAY, XVFB_PID, TRAY_PID, WM_PID and
# NOTIFY_PID; stop_test_display ends them all.
start_desktop_session() {
  local tray=$1 panel
  start_xvfb || return 1
  DISPLAY=$TEST_DISPLAY openbox >/dev/null 2>&1 &
  WM_PID=$!
  wait_until "$WM_PID" sh -c "xprop -display $TEST_DISPLAY -root _NET_SUPPORTING_WM_CHECK | grep -q 'window id'" ||
    { echo "openbox did not start" >&2; return 1; }
  case $tray in
  trayer) start_trayer || return 1 ;;
  xfce4-panel)
    panel=$XDG_CONFIG_HOME/xfce4/xfconf/xfce-perchannel-xml
    mkdir -p "$panel"
    # One small panel at the bottom holding only the tray, so that no
    # first-start question comes up and the tray's place is the panel's.
    cat >"$panel/xfce4-panel.xml" <<'XML'
<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-panel" version="1.0">
  <property name="configver" type="int" value="2"/>
  <property name="panels" type="array">
    <value type="int" value="1"/>
    <property name="panel-1" type="empty">
      <property name="position" type="string" value="p=10;x=640;y=780"/>
      <property name="position-locked" type="bool" value="true"/>
      <property name="length" type="uint" value="1"/>
      <property name="length-adjust" type="bool" value="true"/>
      <property name="size" type="uint" value="26"/>
      <property name="plugin-ids" type="array">
        <value type="int" value="1"/>
      </property>
    </property>
  </property>
  <property name="plugins" type="empty">
    <property name="plugin-1" type="string" value="systray"/>
  </property>
</channel>
XML
    DISPLAY=$TEST_DISPLAY xfce4-panel --disable-wm-check >/dev/null 2>&1 &
    TRAY_PID=$!
    # Up once it watches for StatusNotifierItems and its window is there.
    wait_until "$TRAY_PID" sh -c "dbus-send --session --print-reply --dest=org.freedesktop.DBus / \
        org.freedesktop.DBus.NameHasOwner string:org.kde.StatusNotifierWatcher | grep -q 'boolean true'" ||
      { echo "xfce4-panel did not start on $TEST_DISPLAY" >&2; return 1; }
    wait_until "$TRAY_PID" env DISPLAY="$TEST_DISPLAY" xdotool search --onlyvisible --class xfce4-panel ||
      { echo "xfce4-panel shows no panel on $TEST_DISPLAY" >&2; return 1; }
    ;;
  *) echo "unknown tray host $tray" >&2; return 1 ;;
  esac
  DISPLAY=$TEST_DISPLAY dunst >/dev/null 2>&1 &
  NOTIFY_PID=$!
  wait_until "$NOTIFY_PID" sh -c "dbus-send --session --print-reply --dest=org.freedesktop.DBus / \
      org.freedesktop.DBus.NameHasOwner string:org.freedesktop.Notifications | grep -q 'boolean true'" ||
    { echo "dunst did not start" >&2; return 1; }
}

# Stops what start_test_display or start_desktop_session started (safe to call
# when it started nothing).
stop_test_display() {
  local pid
  for pid in ${NOTIFY_PID:-} ${TRAY_PID:-} ${WM_PID:-} ${XVFB_PID:-}; do
    kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true
  done
  NOTIFY_PID="" TRAY_PID="" WM_PID="" XVFB_PID=""
  true
}
