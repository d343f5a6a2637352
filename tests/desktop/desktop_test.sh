#!/usr/bin/env bash
# desktop_test.sh BIN OUT TRAY: the tray program against the emulator on Xvfb,
# openbox, a tray host (trayer: XEmbed, xfce4-panel: StatusNotifierItem) and
# dunst in a session bus of their own. A run from the tray menu maps no window
# and leaves a menu opened during it open; two phones turning red give two
# notifications; the tray shows the digits; the hint (XEmbed only), the phones
# window and the history chooser come up; /Close ends the program.
set -uo pipefail
BIN=$1 TRAY=${3:-trayer} OUT=$2/${3:-trayer}
for tool in Xvfb openbox dunst dbus-run-session dbus-monitor "$TRAY" xdotool xwininfo xprop import convert; do
  command -v "$tool" >/dev/null || { echo "$tool is missing"; exit 77; }
done
if [ -z "${SALDOMAT_DESKTOP_SESSION:-}" ]; then
  # Private folders first: the session bus starts the panel's settings service with them.
  WORK=$(mktemp -d)
  export SALDOMAT_DESKTOP_SESSION=$WORK XDG_CONFIG_HOME=$WORK/xdg XDG_RUNTIME_DIR=$WORK HOME=$WORK
  mkdir -p "$XDG_CONFIG_HOME"
  dbus-run-session -- "$0" "$@"
  status=$?
  rm -rf "$WORK"
  exit $status
fi
WORK=$SALDOMAT_DESKTOP_SESSION EMU_PID="" APP_PID="" MON_PID=""
export QT_QPA_PLATFORM=xcb SALDOMAT_HOME=$WORK/home TMPDIR=$WORK
mkdir -p "$OUT" "$SALDOMAT_HOME"
. "$(dirname "$0")/../../scripts/lib.sh"
cleanup() { kill $APP_PID $EMU_PID $MON_PID 2>/dev/null; stop_test_display; }
trap cleanup EXIT
fail() { echo "FAILED ($TRAY): $*"; import -window root "$OUT/failure.png" 2>/dev/null; exit 1; }
start_desktop_session "$TRAY" || fail "no desktop"
export DISPLAY=$TEST_DISPLAY
# Every notification asked of the desktop, as the bus carries it.
dbus-monitor --session "type='method_call',interface='org.freedesktop.Notifications',member='Notify'" >"$WORK/notify.log" 2>&1 &
MON_PID=$!

# Every viewable window but the notification popups, one id a line.
visible_windows() {
  comm -23 <(xdotool search --onlyvisible --name '' 2>/dev/null | sort -u) \
    <(xdotool search --class Dunst 2>/dev/null | sort -u)
}

# Five phones: two good, two with a low balance, one that fails after 4 s (a run lasts).
printf '[916111000%s]\nPassword=%s\n%b\n' 1 111 'UserName=Первый Абонент\nBalance=45.50' \
  2 222 'UserName=Второй Абонент\nBalance=1.25' 3 333 'Balance=310\nLayout=sentences' 4 444 'Balance=0.50' \
  5 555 'Balance=20\nBehaviour=unavailable\nDelayMs=4000' >"$WORK/phones.ini"
start_emulator "$BIN/issa-emulator" "$WORK/phones.ini" "$WORK/emulator.log" || fail "the emulator did not start"

CLI="$BIN/saldomat-cli"
"$CLI" history init >/dev/null || fail "history init"
"$CLI" regions add "Эмулятор" "ЭМУ" "http://127.0.0.1:$PORT/cgi-bin/cgi.exe?function=is_login" >/dev/null || fail "region"
n=0
for extra in "--alias Рабочий --tray yes" "--alias Домашний" "" "--alias Дачный" "--alias Гаражный"; do
  n=$((n + 1))
  "$CLI" phones set $n --number 916111000$n --password $n$n$n --region "ЭМУ" --monitor yes $extra >/dev/null || fail "phone $n"
done
"$CLI" settings set Connection cbAutoReRquest 0 >/dev/null || fail "settings"
printf '[Debug]\r\nTestPauseMs=500\r\n' >>"$SALDOMAT_HOME/Saldomat.ini"

"$BIN/saldomat" 2>"$WORK/app.log" &
APP_PID=$!

# Runs the command up to N times, 0.1 s apart, until it succeeds.
retry() { local n=$1; shift; for _ in $(seq "$n"); do "$@" && return 0; sleep 0.1; done; return 1; }
away() { xdotool mousemove $((CX - 300)) $((CY - 300)); sleep "${1:-0.3}"; }
# The tray icon: with trayer a window named "Saldomat" inside the tray host;
# with xfce4-panel the panel itself (it holds only the tray) once it has grown.
find_icon() {
  if [ "$TRAY" = trayer ]; then
    ICON=$(xwininfo -root -tree 2>/dev/null | awk '/"Saldomat": \("saldomat"/ {print $1; exit}')
  else
    ICON=$(xdotool search --onlyvisible --class xfce4-panel 2>/dev/null | while read -r w; do
      xwininfo -id "$w" | awk -v w="$w" '/Width:/{if ($2 >= 20) print w}'; done | head -1)
  fi
  [ -n "$ICON" ]
}
retry 100 find_icon || fail "no tray icon"
sleep 1
eval "$(xwininfo -id "$ICON" | awk '/Absolute upper-left X/{print "IX="$4} /Absolute upper-left Y/{print "IY="$4} /Width/{print "IW="$2} /Height/{print "IH="$2}')"
CX=$((IX + IW / 2)); CY=$((IY + IH / 2))
import -window root "$OUT/1-started.png"

# 1. Query now from the tray menu (right click, the item above the last,
#    "Выйти"); the mouse leaves the icon at once, so that no hint comes up.
our_windows() { xdotool search --onlyvisible --pid "$APP_PID" 2>/dev/null | sort -u; }
no_new_ours() {
  local new; new=$(comm -13 <(echo "$1") <(our_windows))
  for w in $new; do fail "a window came up during the run: $w \"$(xdotool getwindowname "$w" 2>/dev/null)\""; done
}
IDLE=$(visible_windows)
IDLE_OURS=$(our_windows)
xdotool mousemove $CX $CY click 3; sleep 0.8
import -window root "$OUT/2-menu.png"
xdotool key Up Up Return
away 0
wait_for_line "$WORK/emulator.log" "login of 9161110001" "$EMU_PID" || fail "the run did not start"
sleep 0.5
no_new_ours "$IDLE_OURS"
#    A menu opened during the run (new, at least 100 pixels high: not a
#    tooltip) stays open until the run has ended, the last phone answering
#    after 4 s; no window of the program comes up meanwhile.
xdotool mousemove $CX $CY click 3; sleep 0.8
MENU=$(comm -13 <(echo "$IDLE") <(visible_windows) | while read -r w; do
  xwininfo -id "$w" 2>/dev/null | awk -v w="$w" '/Height:/{if ($2 >= 100) print w}'; done)
[ -n "$MENU" ] || fail "no menu during the run"
import -window root "$OUT/2-menu-during-run.png"
WITH_MENU=$(our_windows)
retry 300 grep -q "login of 9161110005" "$WORK/emulator.log" || fail "the run never reached phone 5"
for i in $(seq 24); do
  no_new_ours "$WITH_MENU"
  for w in $MENU; do
    visible_windows | grep -qx "$w" || fail "the menu closed by itself during the run (check $i, $(tail -1 "$WORK/emulator.log"))"
  done
  sleep 0.25
done
xdotool key Escape; sleep 0.3
away 0

# 2. Two phones turned red in this run: two notifications, each naming its
#    phone; the run's rows are in the history.
notices() { [ "$(grep -c 'member=Notify' "$WORK/notify.log")" -ge 2 ]; }
retry 50 notices
grep -q 'string "Домашний: баланс 1.25' "$WORK/notify.log" || fail "no notification for phone 2: $(cat "$WORK/notify.log")"
grep -q 'string "Дачный: баланс 0.50' "$WORK/notify.log" || fail "no notification for phone 4: $(cat "$WORK/notify.log")"
[ "$(grep -c 'member=Notify' "$WORK/notify.log")" -eq 2 ] || fail "not two notifications: $(cat "$WORK/notify.log")"
has_row() { "$CLI" history show "$1" --all 2>/dev/null | grep -q '^[0-9][0-9]\.'; }
for n in 9161110003 9161110001 9161110002; do retry 150 has_row $n || fail "no history row for $n"; done

# 3. The tray shows the balance of phone 1: navy digits on white. Only the
#    navy pixels are counted: "46", drawn unscaled with its light outline in a
#    22x22 icon, has 36 of them, a plain or differently coloured icon none; the
#    panel draws the icon scaled down to its 16 pixels, with fewer of them.
import -window "$ICON" "$WORK/icon.png"
navy=$(convert "$WORK/icon.png" -alpha off -fuzz 12% -fill black +opaque navy -fill white -opaque navy -format "%[fx:round(mean*w*h)]" info:)
dark=$(convert "$WORK/icon.png" -colorspace gray -threshold 50% -negate -format "%[fx:round(mean*w*h)]" info:)
convert "$WORK/icon.png" -scale 800% "$OUT/3-tray-icon.png"
[ "${dark:-0}" -ge 10 ] || fail "the tray icon shows no digits"
minnavy=25; [ "$TRAY" = trayer ] || minnavy=10
[ "${navy:-0}" -ge $minnavy ] || fail "the tray digits are not navy (${navy:-no} navy pixels)"

# 4. Rest the mouse on the icon: the hint comes up above it (XEmbed only: the
#    position of a StatusNotifierItem icon is not known to the program).
if [ "$TRAY" = trayer ]; then
  away; xdotool mousemove $CX $CY; sleep 2.5
  import -window root "$OUT/4-hint.png"
  VERSION=$("$CLI" --version | awk '{print $2}')
  HINT=$(xwininfo -root -tree | awk -v title="\"Saldomat $VERSION\"" 'index($0, title) {print $1; exit}')
  hintpixels=$(convert "$OUT/4-hint.png" -crop 200x120+$((CX - 200))+$((CY - 140)) -fill black -fuzz 3% +opaque "rgb(255,255,225)" -format "%[fx:round(mean*w*h)]" info:)
  [ "${hintpixels:-0}" -ge 2000 ] || fail "no hint over the icon (hint window: ${HINT:-none})"
fi

# 5. A left click shows the phones window, a second one hides it again.
phones_window() { xdotool search --onlyvisible --name "Информация о балансе телефонов" 2>/dev/null; }
away 0.5; xdotool mousemove $CX $CY click 1; sleep 1.2
[ -n "$(phones_window)" ] || fail "no phones window"
import -window root "$OUT/5-phones-window.png"
away; xdotool mousemove $CX $CY click 1; sleep 0.8
[ -z "$(phones_window)" ] || fail "the phones window stayed"

# 6. The history chooser from the tray menu (its fourth item from the top);
#    the mouse clicks at once, before a hint can come up under it.
away; xdotool mousemove $CX $CY click 3; sleep 0.8
xdotool key Down Down Down Down Return
chooser() { HIST=$(xdotool search --onlyvisible --name "^История баланса$" 2>/dev/null | head -1); [ -n "$HIST" ]; }
retry 50 chooser || fail "no history chooser (log: $(cat "$SALDOMAT_HOME"/*.log 2>/dev/null | tail -3))"
sleep 0.5
import -window root "$OUT/6-history-chooser.png"
xdotool windowfocus --sync "$HIST" key Escape; sleep 0.5

# 7. A second start with /Close ends the first.
"$BIN/saldomat" /Close || fail "the closing copy failed"
ended() { ! kill -0 "$APP_PID" 2>/dev/null; }
retry 50 ended || fail "the program did not end on /Close"
APP_PID=""
echo "desktop test passed with $TRAY; screenshots in $OUT"
