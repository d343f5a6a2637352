#!/usr/bin/env bash
# End to end on a desktop: the tray program with the local emulator. Rest the
# mouse on the icon (hint), left click (phones window), right click and choose
# "Запросить информацию сейчас", then check the grid, the history and the tray
# image, open the history windows (a module loaded on demand); a second start
# with /Close ends the first. Screenshots of each step go
# to the output folder.
set -uo pipefail
BIN=$1
OUT=$2
[ -n "${SALDOMAT_TEST_DISPLAY:-}" ] || { echo "no test display (run through scripts/test.sh)"; exit 77; }
for tool in xdotool xwininfo import convert; do
  command -v $tool >/dev/null || { echo "$tool is missing"; exit 77; }
done
export DISPLAY=$SALDOMAT_TEST_DISPLAY QT_QPA_PLATFORM=xcb
mkdir -p "$OUT"
WORK=$(mktemp -d)
export SALDOMAT_HOME=$WORK/home TMPDIR=$WORK XDG_RUNTIME_DIR=$WORK XDG_CONFIG_HOME=$WORK/xdg
mkdir -p "$SALDOMAT_HOME"
EMU_PID=""; APP_PID=""
cleanup() {
  [ -n "$APP_PID" ] && kill "$APP_PID" 2>/dev/null
  [ -n "$EMU_PID" ] && kill "$EMU_PID" 2>/dev/null
  rm -rf "$WORK"
}
trap cleanup EXIT
fail() { echo "FAILED: $*"; import -window root "$OUT/failure.png" 2>/dev/null; exit 1; }
. "$(dirname "$0")/../../scripts/lib.sh"

# The emulator with three phones: two good ones, one with a low balance.
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
INI
start_emulator "$BIN/issa-emulator" "$WORK/phones.ini" "$WORK/emulator.log" || fail "the emulator did not start"

CLI="$BIN/saldomat-cli"
"$CLI" history init >/dev/null || fail "history init"
"$CLI" regions add "Эмулятор" "ЭМУ" "http://127.0.0.1:$PORT/cgi-bin/cgi.exe?function=is_login" >/dev/null || fail "region"
"$CLI" phones set 1 --number 9161110001 --password 111 --alias "Рабочий" --region "ЭМУ" --monitor yes --tray yes >/dev/null || fail "phone 1"
"$CLI" phones set 2 --number 9161110002 --password 222 --alias "Домашний" --region "ЭМУ" --monitor yes >/dev/null || fail "phone 2"
"$CLI" phones set 3 --number 9161110003 --password 333 --region "ЭМУ" --monitor yes >/dev/null || fail "phone 3"
"$CLI" settings set Connection cbAutoReRquest 0 >/dev/null || fail "settings"

"$BIN/saldomat" 2>"$WORK/app.log" &
APP_PID=$!

# The tray icon: a window named "Saldomat" inside the tray host.
ICON=""
for _ in $(seq 100); do
  ICON=$(xwininfo -root -tree 2>/dev/null | awk '/"Saldomat": \("saldomat"/ {print $1; exit}')
  [ -n "$ICON" ] && break; sleep 0.1
done
[ -n "$ICON" ] || fail "no tray icon"
eval "$(xwininfo -id "$ICON" | awk '/Absolute upper-left X/{print "IX="$4} /Absolute upper-left Y/{print "IY="$4} /Width/{print "IW="$2} /Height/{print "IH="$2}')"
CX=$((IX + IW / 2)); CY=$((IY + IH / 2))
import -window root "$OUT/1-started.png"

# 1. Query now from the tray menu: right click, the last item is "Выйти", the
#    one above it "Запросить информацию сейчас".
xdotool mousemove $CX $CY click 3; sleep 0.8
import -window root "$OUT/2-menu.png"
xdotool key Up Up Return
for _ in $(seq 100); do
  rows=$("$CLI" history show 9161110003 --all 2>/dev/null | grep -c '^[0-9][0-9]\.')
  [ "${rows:-0}" -ge 1 ] && break; sleep 0.2
done
[ "${rows:-0}" -ge 1 ] || fail "no history row after the run"
sleep 1
for n in 9161110001 9161110002; do
  "$CLI" history show $n --all | grep -q '^[0-9][0-9]\.' || fail "no history row for $n"
done

# 2. The tray shows the balance of phone 1: navy digits on white, no plain icon.
import -window "$ICON" "$WORK/icon.png"
#    The navy pixels are counted alone (all else black, navy white): "46", drawn
#    unscaled with its light outline in a 22x22 icon, has 36 of them, a plain or
#    differently coloured icon none.
navy=$(convert "$WORK/icon.png" -alpha off -fuzz 12% -fill black +opaque navy -fill white -opaque navy -format "%[fx:round(mean*w*h)]" info:)
dark=$(convert "$WORK/icon.png" -colorspace gray -threshold 50% -negate -format "%[fx:round(mean*w*h)]" info:)
convert "$WORK/icon.png" -scale 800% "$OUT/3-tray-icon.png"
[ "${dark:-0}" -ge 10 ] || fail "the tray icon shows no digits"
[ "${navy:-0}" -ge 25 ] || fail "the tray digits are not navy (${navy:-no} navy pixels)"

# 3. Rest the mouse on the icon: the hint comes up above it.
xdotool mousemove $((CX - 300)) $((CY - 300)); sleep 0.3
xdotool mousemove $CX $CY; sleep 2.5
import -window root "$OUT/4-hint.png"
HINT=$(xwininfo -root -tree | awk '/"Saldomat 2.20"/ {print $1; exit}')
hintpixels=$(convert "$OUT/4-hint.png" -crop 200x120+$((CX - 200))+$((CY - 140)) -fill black -fuzz 3% +opaque "rgb(255,255,225)" -format "%[fx:round(mean*w*h)]" info:)
[ "${hintpixels:-0}" -ge 2000 ] || fail "no hint over the icon (hint window: ${HINT:-none})"

# 4. Left click: the phones window with the three phones.
xdotool mousemove $((CX - 300)) $((CY - 300)); sleep 0.5
xdotool mousemove $CX $CY click 1; sleep 1.2
WIN=$(xdotool search --onlyvisible --name "Информация о балансе телефонов" 2>/dev/null | head -1)
[ -n "$WIN" ] || fail "no phones window"
import -window root "$OUT/5-phones-window.png"
# A second left click hides it again.
xdotool mousemove $((CX - 300)) $((CY - 300)); sleep 0.3
xdotool mousemove $CX $CY click 1; sleep 0.8
[ -z "$(xdotool search --onlyvisible --name "Информация о балансе телефонов" 2>/dev/null)" ] || fail "the phones window stayed"

# 5. The history chooser from the tray menu (its fourth item from the top):
#    the history windows come from a module loaded now. The mouse comes to
#    the icon and clicks at once, before a hint can come up under it.
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

# 6. The phone's own history with its chart, from the phones window's menu:
#    right click on the first row, second item.
xdotool mousemove $((CX - 300)) $((CY - 300)); sleep 0.3
xdotool mousemove $CX $CY click 1; sleep 1.2
WIN=$(xdotool search --onlyvisible --name "Информация о балансе телефонов" 2>/dev/null | head -1)
[ -n "$WIN" ] || fail "no phones window the second time"
eval "$(xwininfo -id "$WIN" | awk '/Absolute upper-left X/{print "WX="$4} /Absolute upper-left Y/{print "WY="$4}')"
xdotool mousemove $((WX + 30)) $((WY + 30)) click 3; sleep 0.8
xdotool key Down Down Return
GRID=""
for _ in $(seq 50); do
  GRID=$(xdotool search --onlyvisible --name "История баланса по телефону" 2>/dev/null | head -1)
  [ -n "$GRID" ] && break; sleep 0.1
done
[ -n "$GRID" ] || fail "no phone history window"
sleep 0.8
import -window root "$OUT/7-phone-history.png"
xdotool windowfocus --sync "$GRID" key Escape; sleep 0.5
xdotool windowfocus --sync "$WIN" key Escape; sleep 0.5

# 7. A second start with /Close ends the first.
"$BIN/saldomat" /Close || fail "the closing copy failed"
for _ in $(seq 50); do kill -0 $APP_PID 2>/dev/null || break; sleep 0.1; done
kill -0 $APP_PID 2>/dev/null && fail "the program did not end on /Close"
APP_PID=""
echo "desktop test passed; screenshots in $OUT"
