#!/usr/bin/env bash
# Installs into a temporary prefix and runs the installed command-line tool with
# a temporary home: it must keep its files in ~/.local/share/saldomat/.
set -euo pipefail
build=$1
cmake=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$cmake" --install "$build" --prefix "$work/prefix" >/dev/null
for f in bin/saldomat bin/saldomat-cli share/applications/saldomat.desktop \
         share/icons/hicolor/16x16/apps/saldomat.png share/icons/hicolor/256x256/apps/saldomat.png; do
  [ -e "$work/prefix/$f" ] || { echo "missing after install: $f"; exit 1; }
done
# The emulator is a test tool, run from the build tree: never installed.
leaked=$(find "$work/prefix" -name 'issa-emulator*')
[ -z "$leaked" ] || { echo "the test emulator was installed: $leaked"; exit 1; }
mkdir -p "$work/home"
env -u SALDOMAT_HOME HOME="$work/home" "$work/prefix/bin/saldomat-cli" regions add "Тест" "ТСТ" "http://127.0.0.1:1/cgi-bin/cgi.exe?function=is_login" >/dev/null
[ -f "$work/home/.local/share/saldomat/servers.ini" ] || { echo "servers.ini is not in the user's data folder"; exit 1; }
[ ! -e "$work/prefix/bin/servers.ini" ] || { echo "servers.ini was written beside the program"; exit 1; }

# The manual page and the systemd user units are installed; the service's
# command line, run as systemd would run it, queries the phones and stores the
# results in the user's history.
man=$work/prefix/share/man/man1/saldomat-cli.1
[ -f "$man" ] || { echo "missing after install: share/man/man1/saldomat-cli.1"; exit 1; }
grep -q '^\.SH EXIT STATUS' "$man" || { echo "the manual page has no exit status section"; exit 1; }
units=$work/prefix/lib/systemd/user
grep -qx 'Persistent=true' "$units/saldomat-query.timer" || { echo "the timer is not persistent"; exit 1; }
grep -qx 'OnCalendar=\*-\*-\* 00/3:00:00' "$units/saldomat-query.timer" || { echo "the timer does not fire every 3 hours"; exit 1; }
exec_start=$(sed -n 's/^ExecStart=//p' "$units/saldomat-query.service")
case $exec_start in
  "$work/prefix/bin/saldomat-cli query"*) ;;
  *) echo "the service does not run the installed saldomat-cli: $exec_start"; exit 1 ;;
esac

. "$(dirname "$0")/../../scripts/lib.sh"
cat > "$work/phones.ini" <<'INI'
[9161110001]
Password=111
Balance=45.50
[9161110002]
Password=222
Balance=1.25
INI
start_emulator "$build/bin/issa-emulator" "$work/phones.ini" "$work/emulator.log" || exit 1
trap 'kill "$EMU_PID" 2>/dev/null; rm -rf "$work"' EXIT
export SALDOMAT_HOME=$work/service-home
mkdir -p "$SALDOMAT_HOME"
cli=$work/prefix/bin/saldomat-cli
"$cli" history init >/dev/null
"$cli" regions add "Эмулятор" "ЭМУ" "http://127.0.0.1:$PORT/cgi-bin/cgi.exe?function=is_login" >/dev/null
echo 111 | "$cli" phones set 1 --number "+7 916 111-00-01" --password-stdin --region "ЭМУ" --monitor yes >/dev/null
# As systemd runs it: the words of ExecStart, no shell, no terminal.
read -r -a words <<<"$exec_start"
"${words[@]}" </dev/null >"$work/service.out" 2>&1 || { echo "the service's command failed:"; cat "$work/service.out"; exit 1; }
rows=$("$cli" history show 9161110001 --format json | python3 -c 'import json, sys; print(len(json.load(sys.stdin)))')
[ "$rows" = 1 ] || { echo "the service stored $rows history rows, not 1"; exit 1; }

# --notify: a phone that has fallen to its threshold gives a desktop notice
# through the notification service of the session bus (dunst on a private
# display and bus here).
echo 222 | "$cli" phones set 2 --number 9161110002 --password-stdin --alias "Дача" --region "ЭМУ" --monitor yes >/dev/null
cat > "$work/notify.sh" <<'SH'
work=$1 cli=$2
Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
DISPLAY=:$(head -1 "$work/display") dunst >/dev/null 2>&1 &
dunst=$!
for _ in $(seq 100); do
  gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
    --method org.freedesktop.DBus.NameHasOwner org.freedesktop.Notifications 2>/dev/null | grep -q true && break
  sleep 0.05
done
dbus-monitor --session "type='method_call',interface='org.freedesktop.Notifications',member='Notify'" >"$work/notices" 2>&1 &
monitor=$!
for _ in $(seq 100); do [ -s "$work/notices" ] && break; sleep 0.05; done  # connected: it prints its own name
"$cli" query --notify --phone 2 --pause-ms 0 >"$work/notify-query.out" 2>&1
for _ in $(seq 100); do grep -q 'member=Notify' "$work/notices" && break; sleep 0.05; done
kill $monitor $dunst $xvfb
cat "$work/notices"
SH
notices=$(dbus-run-session -- bash "$work/notify.sh" "$work" "$cli")
grep -q "string \"Дача: баланс 1.25 (порог 2.50)\"" <<<"$notices" || { echo "no desktop notice for the low balance:"; cat "$work/notify-query.out"; echo "$notices"; exit 1; }
