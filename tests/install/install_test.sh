#!/usr/bin/env bash
# install_test.sh BUILD_DIR CMAKE: installs into a temporary prefix; programs,
# icons, manual page and systemd user units are in place, the test emulator is
# not; the installed tool keeps a user's files in ~/.local/share/saldomat/; the
# service's command, run as systemd runs it, stores a query in the history;
# --notify gives a desktop notice through the session bus (dunst on Xvfb).
set -euo pipefail
. "$(dirname "$0")/../../scripts/lib.sh"
fail() { echo "FAIL: $*"; exit 1; }
if [ "$1" = --notify ]; then  # run again inside a session bus of its own
  work=$2 cli=$3
  start_xvfb || exit 1
  DISPLAY=$TEST_DISPLAY dunst >/dev/null 2>&1 &
  NOTIFY_PID=$!
  trap 'kill ${monitor:-} 2>/dev/null; stop_test_display' EXIT
  wait_until "$NOTIFY_PID" sh -c "gdbus call --session --dest org.freedesktop.DBus --object-path /org/freedesktop/DBus \
    --method org.freedesktop.DBus.NameHasOwner org.freedesktop.Notifications | grep -q true" || fail "dunst did not start"
  dbus-monitor --session "type='method_call',interface='org.freedesktop.Notifications',member='Notify'" >"$work/notices" 2>&1 &
  monitor=$!
  wait_for_line "$work/notices" . "$monitor" || true  # connected: it prints its own name
  "$cli" query --notify --phone 2 --pause-ms 0 >"$work/notify-query.out" 2>&1 || true
  wait_for_line "$work/notices" member=Notify "$monitor" || true
  cat "$work/notices"
  exit 0
fi
build=$1 work=$(mktemp -d)
trap 'kill "${EMU_PID:-}" 2>/dev/null; rm -rf "$work"' EXIT
"$2" --install "$build" --prefix "$work/prefix" >/dev/null
for f in bin/saldomat bin/saldomat-cli share/applications/saldomat.desktop share/man/man1/saldomat-cli.1 \
         share/icons/hicolor/16x16/apps/saldomat.png share/icons/hicolor/256x256/apps/saldomat.png; do
  [ -e "$work/prefix/$f" ] || fail "missing after install: $f"
done
[ -z "$(find "$work/prefix" -name 'issa-emulator*')" ] || fail "the test emulator was installed"
grep -q '^\.SH EXIT STATUS' "$work/prefix/share/man/man1/saldomat-cli.1" || fail "the manual page has no exit status"
cli=$work/prefix/bin/saldomat-cli units=$work/prefix/lib/systemd/user
mkdir -p "$work/home" "$work/service-home"
env -u SALDOMAT_HOME HOME="$work/home" "$cli" regions add "Тест" "ТСТ" "http://127.0.0.1:1/" >/dev/null
[ -f "$work/home/.local/share/saldomat/servers.ini" ] || fail "servers.ini is not in the user's data folder"
[ ! -e "$work/prefix/bin/servers.ini" ] || fail "servers.ini was written beside the program"

grep -qx 'Persistent=true' "$units/saldomat-query.timer" || fail "the timer is not persistent"
grep -qx 'OnCalendar=\*-\*-\* 00/3:00:00' "$units/saldomat-query.timer" || fail "the timer does not fire every 3 hours"
exec_start=$(sed -n 's/^ExecStart=//p' "$units/saldomat-query.service")
[[ $exec_start == "$cli query"* ]] || fail "the service does not run the installed saldomat-cli: $exec_start"

printf '[9161110001]\nPassword=111\nBalance=45.50\n[9161110002]\nPassword=222\nBalance=1.25\n' >"$work/phones.ini"
start_emulator "$build/bin/issa-emulator" "$work/phones.ini" "$work/emulator.log" || exit 1
export SALDOMAT_HOME=$work/service-home
"$cli" history init >/dev/null
"$cli" regions add "Эмулятор" "ЭМУ" "http://127.0.0.1:$PORT/cgi-bin/cgi.exe?function=is_login" >/dev/null
echo 111 | "$cli" phones set 1 --number "+7 916 111-00-01" --password-stdin --region "ЭМУ" --monitor yes >/dev/null
# As systemd runs it: the words of ExecStart, no shell, no terminal.
read -r -a words <<<"$exec_start"
"${words[@]}" </dev/null >"$work/service.out" 2>&1 || fail "the service's command failed: $(cat "$work/service.out")"
rows=$("$cli" history show 9161110001 --format json | python3 -c 'import json, sys; print(len(json.load(sys.stdin)))')
[ "$rows" = 1 ] || fail "the service stored $rows history rows, not 1"

# A phone fallen to its threshold gives a desktop notice.
echo 222 | "$cli" phones set 2 --number 9161110002 --password-stdin --alias "Дача" --region "ЭМУ" --monitor yes >/dev/null
notices=$(dbus-run-session -- "$0" --notify "$work" "$cli")
grep -q "string \"Дача: баланс 1.25 (порог 2.50)\"" <<<"$notices" ||
  fail "no desktop notice for the low balance: $(cat "$work/notify-query.out") $notices"
