#!/usr/bin/env bash
# Installs what is missing, builds, prepares a demo program directory, starts the
# local ISSA emulator, runs a request for every demo phone and shows the results;
# then starts the tray program on the same directory when a display is there.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
./scripts/build.sh

BIN=$PWD/build/bin
DEMO_HOME=${DEMO_HOME:-$PWD/build/demo-home}
rm -rf "$DEMO_HOME"
mkdir -p "$DEMO_HOME"
export SALDOMAT_HOME=$DEMO_HOME
CLI="$BIN/saldomat-cli"

# The emulator stands in for the operator's site on 127.0.0.1.
. scripts/lib.sh
EMU_PID=""
trap '[ -z "$EMU_PID" ] || kill "$EMU_PID" 2>/dev/null' EXIT
start_emulator "$BIN/issa-emulator" tools/issa-emulator/demo-phones.ini "$DEMO_HOME/emulator.log" || exit 1
echo "ISSA emulator on http://127.0.0.1:$PORT/"

# Program directory: history file, a region pointing at the emulator, a dozen phones.
"$CLI" history init
"$CLI" regions add "Демо-регион" "ДЕМО" "http://127.0.0.1:$PORT/cgi-bin/cgi.exe?function=is_login" >/dev/null
aliases=("Иван" "Анна" "Ромашка" "Дача" "Офис" "Машина" "Мама" "Планшет" "Сервер" "Сторож" "Бухгалтер" "Склад")
for n in $(seq 1 12); do
  num=$(printf '91610000%02d' "$n")
  pass=$(printf "50000%02d" "$n")
  [ "$n" -eq 11 ] && pass="5000099"   # a wrong password: the authentication error
  tray=no; [ "$n" -eq 2 ] && tray=yes
  "$CLI" phones set "$n" --number "$num" --password "$pass" --alias "${aliases[$((n-1))]}" \
    --region "ДЕМО" --monitor yes --tray "$tray" >/dev/null
done
"$CLI" settings set Connection cbExecAfterRun 0 >/dev/null

echo
echo "Querying 12 phones (one answers slowly, one never answers and times out after 10 s):"
"$CLI" query --pause-ms 200 --timeout-s 10 || true
echo
"$CLI" history show 9161000002 --all

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo
  echo "Starting the tray program on $SALDOMAT_HOME (quit it from its tray menu, \"Выйти\")."
  "$BIN/saldomat"
else
  echo
  echo "The tray program needs a graphical display (DISPLAY or WAYLAND_DISPLAY is not set);"
  echo "on a desktop run: SALDOMAT_HOME=$SALDOMAT_HOME $BIN/saldomat"
fi
