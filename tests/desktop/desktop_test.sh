#!/usr/bin/env bash
# End to end on a desktop made of Debian packages: Xvfb, the openbox window
# manager, a tray host ($3: "trayer" for XEmbed icons, "xfce4-panel" for
# StatusNotifierItem icons) and the dunst notification server, in a session
# bus of their own. The tray program runs against the local emulator: a run
# started from the tray menu maps no window of its own and leaves a menu
# opened during it open; two phones turning red in one run give two
# notifications; the tray shows the digits; the hint (XEmbed only: the
# position of a StatusNotifierItem icon is not known to the program), the
# phones window and the history chooser come up; a second start with /Close
# ends the first. Screenshots of each step go to the output folder.
set -uo pipefail
BIN=$1
OUT=$2
TRAY=${3:-trayer}
for tool in Xvfb openbox dunst dbus-run-session dbus-monitor "$TRAY" xdotool xwininfo xprop import convert; do
  command -v "$tool" >/dev/null || { echo "$tool is missing"; exit 77; }
done
if [ -z "${SALDOMAT_DESKTOP_SESSION:-}" ]; then
  # Private folders first: the session bus starts the panel's settings
  # service with this environment.
  WORK=$(mktemp -d)
  export SALDOMAT_DESKTOP_SESSION=$WORK XDG_CONFIG_HOME=$WORK/xdg XDG_RUNTIME_DIR=$WORK HOME=$WORK
  mkdir -p "$XDG_CONFIG_HOME"
  dbus-run-session -- "$0" "$@"
  status=$?
  rm -rf "$WORK"
  exit $status
fi
WORK=$SALDOMAT_DESKTOP_SESSION
export QT_QPA_PLATFORM=xcb
OUT=$OUT/$TRAY
mkdir -p "$OUT"
export SALDOMAT_HOME=$WORK/home TMPDIR=$WORK
mkdir -p "$SALDOMAT_HOME"
EMU_PID=""; APP_PID=""; MON_PID=""
. "$(dirname "$0")/../../scripts/lib.sh"
cleanup() {
  for pid in $APP_PID $EMU_PID $MON_PID; do kill "$pid" 2>/dev/null; done
  stop_test_display
}
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

# The emulator with five phones: two good ones, two with a low balance, one
# that fails and answers only after a while (so that a run lasts).
cat > "$WORK/phones.ini" <<'INI'
[9161110001]
Password=111
UserName=Первый Абонент
Balance=45.50
[9161110002]
Password=222
UserName=Второй Абонент
Balance=1.25
[9161110003]
Password=333
Balance=310
Layout=sentences
[9161110004]
Password=444
Balance=0.50
[9161110005]
Password=555
Balance=20
Behaviour=unavailable
DelayMs=4000
INI
start_emulator "$BIN/issa-emulator" "$WORK/phones.ini" "$WORK/emulator.log" || fail "the emulator did not start"

CLI="$BIN/saldomat-cli"
"$CLI" history init >/dev/null || fail "history init"
"$CLI" regions add "Эмулятор" "ЭМУ" "http://127.0.0.1:$PORT/cgi-bin/cgi.exe?function=is_login" >/dev/null || fail "region"
"$CLI" phones set 1 --number 9161110001 --password 111 --alias "Рабочий" --region "ЭМУ" --monitor yes --tray yes >/dev/null || fail "phone 1"
"$CLI" phones set 2 --number 9161110002 --password 222 --alias "Домашний" --region "ЭМУ" --monitor yes >/dev/null || fail "phone 2"
"$CLI" phones set 3 --number 9161110003 --password 333 --region "ЭМУ" --monitor yes >/dev/null || fail "phone 3"
"$CLI" phones set 4 --number 9161110004 --password 444 --alias "Дачный" --region "ЭМУ" --monitor yes >/dev/null || fail "phone 4"
"$CLI" phones set 5 --number 9161110005 --password 555 --alias "Гаражный" --region "ЭМУ" --monitor yes >/dev/null || fail "phone 5"
"$CLI" settings set Connection cbAutoReRquest 0 >/dev/null || fail "settings"
printf '[Debug]\r\nTestPauseMs=500\r\n' >>"$SALDOMAT_HOME/Saldomat.ini"

"$BIN/saldomat" 2>"$WORK/app.log" &
APP_PID=$!

# The tray icon: with trayer a window named "Saldomat" inside the tray host;
# with xfce4-panel an icon the panel draws (the panel holds only the tray, so
# the icon is the panel's middle once the panel has grown to hold it).
ICON=""
for _ in $(seq 100); do
  if [ "$TRAY" = trayer ]; then
    ICON=$(xwininfo -root -tree 2>/dev/null | awk '/"Saldomat": \("saldomat"/ {print $1; exit}')
  else
    ICON=$(xdotool search --onlyvisible --class xfce4-panel 2>/dev/null | while read -r w; do
      xwininfo -id "$w" | awk -v w="$w" '/Width:/{if ($2 >= 20) print w}'; done | head -1)
  fi
  [ -n "$ICON" ] && break; sleep 0.1
done
[ -n "$ICON" ] || fail "no tray icon"
sleep 1
eval "$(xwininfo -id "$ICON" | awk '/Absolute upper-left X/{print "IX="$4} /Absolute upper-left Y/{print "IY="$4} /Width/{print "IW="$2} /Height/{print "IH="$2}')"
CX=$((IX + IW / 2)); CY=$((IY + IH / 2))
import -window root "$OUT/1-started.png"

# 1. Query now from the tray menu: right click, the last item is "Выйти", the
#    one above it "Запросить информацию сейчас". The mouse leaves the icon at
#    once, so that no hint comes up; the run maps no window of the program.
our_windows() { xdotool search --onlyvisible --pid "$APP_PID" 2>/dev/null | sort -u; }
new_ours() { comm -13 <(echo "$1") <(our_windows); }
describe() { for w in "$@"; do echo "$w \"$(xdotool getwindowname "$w" 2>/dev/null)\""; done; }
# The windows at least 100 pixels high (a menu, not a tooltip) among those
# that are new against the list given.
new_large() {
  comm -13 <(echo "$1") <(visible_windows) | while read -r w; do
    xwininfo -id "$w" 2>/dev/null | awk -v w="$w" '/Height:/{if ($2 >= 100) print w}'
  done
}
IDLE=$(visible_windows)
IDLE_OURS=$(our_windows)
xdotool mousemove $CX $CY click 3; sleep 0.8
import -window root "$OUT/2-menu.png"
xdotool key Up Up Return
xdotool mousemove $((CX - 300)) $((CY - 300))
wait_for_line "$WORK/emulator.log" "login of 9161110001" "$EMU_PID" || fail "the run did not start"
sleep 0.5
NEW=$(new_ours "$IDLE_OURS")
[ -z "$NEW" ] || fail "a window came up during the run: $(describe $NEW)"
#    The menu opened during the run stays open until the run has ended (the
#    last phone answers after 4 s), and no window of the program comes up
#    meanwhile.
xdotool mousemove $CX $CY click 3; sleep 0.8
MENU=$(new_large "$IDLE")
[ -n "$MENU" ] || fail "no menu during the run"
import -window root "$OUT/2-menu-during-run.png"
WITH_MENU=$(our_windows)
for _ in $(seq 100); do grep -q "login of 9161110005" "$WORK/emulator.log" && break; sleep 0.1; done
for i in $(seq 24); do
  NEW=$(new_ours "$WITH_MENU")
  [ -z "$NEW" ] || fail "a window came up during the run: $(describe $NEW)"
  for w in $MENU; do
    visible_windows | grep -qx "$w" || fail "the menu closed by itself during the run (check $i, $(tail -1 "$WORK/emulator.log"))"
  done
  sleep 0.25
done
xdotool key Escape; sleep 0.3
xdotool mousemove $((CX - 300)) $((CY - 300))

# 2. Two phones turned red in this run: two notifications, each naming its phone.
for _ in $(seq 20); do [ "$(grep -c 'member=Notify' "$WORK/notify.log")" -ge 2 ] && break; sleep 0.25; done
grep -q 'string "Домашний: баланс 1.25' "$WORK/notify.log" || fail "no notification for phone 2: $(cat "$WORK/notify.log")"
grep -q 'string "Дачный: баланс 0.50' "$WORK/notify.log" || fail "no notification for phone 4: $(cat "$WORK/notify.log")"
[ "$(grep -c 'member=Notify' "$WORK/notify.log")" -eq 2 ] || fail "not two notifications: $(cat "$WORK/notify.log")"

for _ in $(seq 100); do
  rows=$("$CLI" history show 9161110003 --all 2>/dev/null | grep -c '^[0-9][0-9]\.')
  [ "${rows:-0}" -ge 1 ] && break; sleep 0.2
done
[ "${rows:-0}" -ge 1 ] || fail "no history row after the run"
sleep 1
for n in 9161110001 9161110002; do
  "$CLI" history show $n --all | grep -q '^[0-9][0-9]\.' || fail "no history row for $n"
done

# 3. The tray shows the balance of phone 1: navy digits on white, no plain icon.
import -window "$ICON" "$WORK/icon.png"
#    The navy pixels are counted alone (all else black, navy white): "46", drawn
#    unscaled with its light outline in a 22x22 icon, has 36 of them, a plain or
#    differently coloured icon none.
navy=$(convert "$WORK/icon.png" -alpha off -fuzz 12% -fill black +opaque navy -fill white -opaque navy -format "%[fx:round(mean*w*h)]" info:)
dark=$(convert "$WORK/icon.png" -colorspace gray -threshold 50% -negate -format "%[fx:round(mean*w*h)]" info:)
convert "$WORK/icon.png" -scale 800% "$OUT/3-tray-icon.png"
[ "${dark:-0}" -ge 10 ] || fail "the tray icon shows no digits"
#    The panel draws the icon scaled down to its 16 pixels: fewer of them.
minnavy=25; [ "$TRAY" = trayer ] || minnavy=10
[ "${navy:-0}" -ge $minnavy ] || fail "the tray digits are not navy (${navy:-no} navy pixels)"

# 4. Rest the mouse on the icon: the hint comes up above it (XEmbed only).
if [ "$TRAY" = trayer ]; then
  xdotool mousemove $((CX - 300)) $((CY - 300)); sleep 0.3
  xdotool mousemove $CX $CY; sleep 2.5
  import -window root "$OUT/4-hint.png"
  VERSION=$("$CLI" --version | awk '{print $2}')
  HINT=$(xwininfo -root -tree | awk -v title="\"Saldomat $VERSION\"" 'index($0, title) {print $1; exit}')
  hintpixels=$(convert "$OUT/4-hint.png" -crop 200x120+$((CX - 200))+$((CY - 140)) -fill black -fuzz 3% +opaque "rgb(255,255,225)" -format "%[fx:round(mean*w*h)]" info:)
  [ "${hintpixels:-0}" -ge 2000 ] || fail "no hint over the icon (hint window: ${HINT:-none})"
fi

# 5. Left click: the phones window with the three phones.
xdotool mousemove $((CX - 300)) $((CY - 300)); sleep 0.5
xdotool mousemove $CX $CY click 1; sleep 1.2
WIN=$(xdotool search --onlyvisible --name "Информация о балансе телефонов" 2>/dev/null | head -1)
[ -n "$WIN" ] || fail "no phones window"
import -window root "$OUT/5-phones-window.png"
# A second left click hides it again.
xdotool mousemove $((CX - 300)) $((CY - 300)); sleep 0.3
xdotool mousemove $CX $CY click 1; sleep 0.8
[ -z "$(xdotool search --onlyvisible --name "Информация о балансе телефонов" 2>/dev/null)" ] || fail "the phones window stayed"

# 6. The history chooser from the tray menu (its fourth item from the top):
#    the mouse comes to the icon and clicks at once, before a hint can come
#    up under it.
xdotool mousemove $((CX - 300)) $((CY - 300)); sleep 0.3
xdotool mousemove $CX $CY click 3; sleep 0.8
xdotool key Down Down Down Down Return
HIST=""
for _ in $(seq 50); do
  HIST=$(xdotool search --onlyvisible --name "^История баланса$" 2>/dev/null | head -1)
  [ -n "$HIST" ] && break; sleep 0.1
done
[ -n "$HIST" ] || fail "no history chooser (log: $(cat "$SALDOMAT_HOME"/*.log 2>/dev/null | tail -3))"
sleep 0.5
import -window root "$OUT/6-history-chooser.png"
xdotool windowfocus --sync "$HIST" key Escape; sleep 0.5

# 7. A second start with /Close ends the first.
"$BIN/saldomat" /Close || fail "the closing copy failed"
for _ in $(seq 50); do kill -0 $APP_PID 2>/dev/null || break; sleep 0.1; done
kill -0 $APP_PID 2>/dev/null && fail "the program did not end on /Close"
APP_PID=""
echo "desktop test passed with $TRAY; screenshots in $OUT"
