#!/usr/bin/env bash
# keyring_test.sh BIN_DIR: passwords in gnome-keyring on a private session bus, against the ISSA emulator:
# into the keyring and back, never in the phone list meanwhile; runs log in; a lost entry is logged; no bus, no keyring.
set -u
BIN=$1
for tool in dbus-run-session gnome-keyring-daemon secret-tool iconv; do
  command -v "$tool" >/dev/null || { echo "$tool is missing: skipped"; exit 77; }
done
if [ -z "${SALDOMAT_KEYRING_INNER:-}" ]; then
  WORK=$(mktemp -d)
  trap 'rm -rf "$WORK"' EXIT
  SALDOMAT_KEYRING_INNER=$WORK dbus-run-session -- "$0" "$@" 2> >(grep -v 'fd limit' >&2)
  exit $?
fi

WORK=$SALDOMAT_KEYRING_INNER
mkdir -p "$WORK/user" "$WORK/run" "$WORK/home" && chmod 700 "$WORK/run"
export HOME=$WORK/user XDG_RUNTIME_DIR=$WORK/run SALDOMAT_HOME=$WORK/home TMPDIR=$WORK QT_QPA_PLATFORM=offscreen
export XDG_CONFIG_HOME=$WORK/user/.config XDG_DATA_HOME=$WORK/user/.local/share
EMU_PID=""; APP_PID=""; KEYRING_PID=""
trap 'for pid in $APP_PID $EMU_PID $KEYRING_PID; do kill "$pid" 2>/dev/null; done' EXIT
fail() { echo "FAIL: $*"; exit 1; }
. "$(dirname "$0")/../../scripts/lib.sh"

# The unlock password must not be empty, or there is no login collection.
KEYRING_ENV=$(printf 'unlock-secret' | gnome-keyring-daemon --unlock --components=secrets) || fail "gnome-keyring did not start"
KEYRING_PID=$(printf '%s\n' "$KEYRING_ENV" | sed -n 's/^GNOME_KEYRING_PID=//p')
printf '[9161110001]\nPassword=271828\nBalance=45.50\n[9161110002]\nPassword=314159\nBalance=12\n' >"$WORK/phones.ini"
start_emulator "$BIN/issa-emulator" "$WORK/phones.ini" "$WORK/emulator.log" || fail "the emulator did not start"

CLI="$BIN/saldomat-cli"
PHONES=$SALDOMAT_HOME/phones.xml
entry() { secret-tool lookup server Saldomat user "$1" 2>/dev/null; }
masked_count() { grep -cE 'Password="[0-9A-F]{54}"' "$PHONES"; }
query_ok() {  # the slots that logged in
  "$CLI" query --pause-ms 0 --timeout-s 20 2>/dev/null | awk 'NR > 1 { for (i = 2; i <= NF; i++) if ($i == "ok") { print $1; break } }' | tr '\n' ' '
}
new_home() {  # the history, the emulator's region and phone 1 (and 2)
  "$CLI" history init >/dev/null && "$CLI" regions add "Эмулятор" "ЭМУ" "http://127.0.0.1:$PORT/cgi-bin/cgi.exe?function=is_login" >/dev/null || fail "history and region"
  "$CLI" phones set 1 --number 9161110001 --password 271828 --region "ЭМУ" --monitor yes >/dev/null || fail "phone 1"
  [ $# = 0 ] || "$CLI" phones set 2 --number 9161110002 --password 314159 --region "ЭМУ" --monitor yes >/dev/null || fail "phone 2"
}

# 1. Into the keyring (the tick is on by default and the keyring answers).
new_home 2
[ "$(entry 9161110001)" = 271828 ] && [ "$(entry 9161110002)" = 314159 ] || fail "the keyring lacks the entries"
[ "$(grep -c 'Keyring="True"' "$PHONES")" = 2 ] || fail "the phones are not marked: $(cat "$PHONES")"
grep -qE '271828|314159|Password="[0-9A-F]{54}"' "$PHONES" && fail "a password is in phones.xml"
[ "$(query_ok)" = "1 2 " ] || fail "saldomat-cli did not log in with the keyring's passwords"

# 2. The tray program's start-up run waits for the keyring's passwords.
"$CLI" settings set Connection cbExecAfterRun 1 >/dev/null || fail "settings"
printf '[Debug]\r\nTestTrayWaitSeconds=0\r\nTestPauseMs=0\r\n' >>"$SALDOMAT_HOME/Saldomat.ini"
: >"$WORK/emulator.log"
"$BIN/saldomat" 2>"$WORK/app.log" &
APP_PID=$!
for n in 1 2; do
  wait_for_line "$WORK/emulator.log" "login of 916111000$n, with a password, behaviour" "$APP_PID" ||
    fail "the tray program's start-up run did not log in: $(cat "$WORK/emulator.log")"
done
"$BIN/saldomat" -close >/dev/null 2>&1 || fail "-close was not carried out"
wait_until "$APP_PID" false; ! kill -0 "$APP_PID" 2>/dev/null || fail "the tray program did not end on -close"
APP_PID=""

# 3. Back into the file: the next save with the tick off masks every password,
# then deletes the entries.
"$CLI" settings set Phones cbKeyring 0 >/dev/null && "$CLI" phones set 1 --alias "Рабочий" >/dev/null || fail "save with the tick off"
[ "$(masked_count)" = 2 ] && ! grep -q 'Keyring=' "$PHONES" || fail "the passwords did not come back masked: $(cat "$PHONES")"
[ -z "$(entry 9161110001)$(entry 9161110002)" ] || fail "the entries stayed in the keyring"
[ "$(query_ok)" = "1 2 " ] || fail "the masked passwords do not log in"

# 4. A list with masked passwords and no marks (as the Windows program writes
# it) moves into the keyring at the first save with the tick on.
"$CLI" settings set Phones cbKeyring 1 >/dev/null && "$CLI" phones set 2 --alias "Домашний" >/dev/null || fail "save with the tick on"
[ "$(masked_count)" = 0 ] && [ "$(entry 9161110001)" = 271828 ] && [ "$(entry 9161110002)" = 314159 ] ||
  fail "the masked passwords did not move into the keyring"

# 5. An entry gone from the keyring: that phone runs with an empty password
# and the log says why; the other still logs in.
secret-tool clear server Saldomat user 9161110002
[ "$(query_ok)" = "1 " ] || fail "the phones without and with an entry"
iconv -f windows-1251 -t utf-8 "$SALDOMAT_HOME/Saldomat.err" | grep -q 'Пароль телефона 9161110002 не прочитан из связки ключей системы' || fail "no log line for the missing entry"

# 5b. The setup dialog's tick moves them the same way.
"$BIN/test_ui_setup" --gtest_filter='SetupFormTest.KeyringTick*' --gtest_brief=1 >"$WORK/dialog.log" 2>&1 &&
  grep -q 'PASSED  ] 1 test' "$WORK/dialog.log" || fail "the setup dialog's keyring tick: $(cat "$WORK/dialog.log")"

# 6. Without a session bus the masked form is used as before.
unset DBUS_SESSION_BUS_ADDRESS
export SALDOMAT_HOME=$WORK/nobus
PHONES=$SALDOMAT_HOME/phones.xml
new_home
[ "$(masked_count)" = 1 ] && ! grep -q 'Keyring=' "$PHONES" || fail "no masked password without a bus"
[ "$(query_ok)" = "1 " ] || fail "the masked password does not log in without a bus"
echo "ok"
