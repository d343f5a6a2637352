#!/usr/bin/env bash
# Soak run of the tray program: a refresh every second (test-only settings),
# RUNS runs of 20 phones against the emulator with faults switched on at random
# before every run. At the end every success must be in the history exactly
# once, the error log must have a line for every failure, and the memory after
# the last run must be within 10 % of the memory after run 20.
#
#   bench/soak/soak.sh [RUNS]        (default 200, at least 20; needs curl and sqlite3)
set -euo pipefail
[ -n "${SOAK_TRACE:-}" ] && set -x
cd "$(dirname "$0")/../.."
BIN=${BIN:-$PWD/build/bin}
RUNS=${1:-200}
[ "$RUNS" -ge 20 ] || { echo "RUNS must be at least 20: the memory check compares the last run with run 20"; exit 2; }
PHONES=20
WORK=$(mktemp -d)
export SALDOMAT_HOME=$WORK/home TMPDIR=$WORK XDG_RUNTIME_DIR=$WORK XDG_CONFIG_HOME=$WORK/xdg QT_QPA_PLATFORM=offscreen
mkdir -p "$SALDOMAT_HOME"
EMU_PID=""; APP=""
trap '[ -n "$APP" ] && kill $APP 2>/dev/null; [ -n "$EMU_PID" ] && kill $EMU_PID 2>/dev/null; [ -n "${SOAK_KEEP:-}" ] || rm -rf "$WORK"' EXIT
. scripts/lib.sh

behaviours=(ok ok ok ok ok ok ok slow auth-error unavailable server-error session-expired hang drop)
write_phones() {
  : > "$WORK/phones.ini"
  for i in $(seq 1 $PHONES); do
    b=${behaviours[$((RANDOM % ${#behaviours[@]}))]}
    [ "$i" -eq $PHONES ] && b=ok   # the last phone counts the runs
    printf '[91620000%02d]\nPassword=%d\nBalance=%d.%02d\nBehaviour=%s\nDelayMs=200\nHangMs=2500\n' \
      "$i" $((1000 + i)) $((RANDOM % 500)) $((RANDOM % 100)) "$b" >> "$WORK/phones.ini"
  done
}
stat_of() { curl -s "http://127.0.0.1:$PORT/__stats" | awk -v k="$1" -v n="$2" '$1==k && $2==n {print $3}'; }
rss_kb() { awk '/VmRSS/{print $2}' /proc/$APP/status; }

write_phones
start_emulator "$BIN/issa-emulator" "$WORK/phones.ini" "$WORK/emulator.log" || exit 1

CLI="$BIN/saldomat-cli"
printf '[Debug]\r\nTestRefreshSeconds=1\r\nTestPauseMs=0\r\nTestTimeOutSeconds=1\r\n' > "$SALDOMAT_HOME/Saldomat.ini"
"$CLI" history init >/dev/null
"$CLI" regions add "Soak" "SK" "http://127.0.0.1:$PORT/cgi-bin/cgi.exe?function=is_login" >/dev/null
for i in $(seq 1 $PHONES); do
  "$CLI" phones set "$i" --number "$(printf '91620000%02d' $i)" --password $((1000 + i)) --region SK --monitor yes >/dev/null
done
"$CLI" settings set Connection cbAutoReRquest 0 >/dev/null
"$CLI" settings set Connection cbExecAfterRun 1 >/dev/null

"$BIN/saldomat" 2>/dev/null &
APP=$!
last=$(printf '91620000%02d' $PHONES)
start=$(date +%s)
rss20=0
for run in $(seq 1 "$RUNS"); do
  # Wait until the run has reached its last phone, then change the faults.
  for _ in $(seq 600); do
    n=$(stat_of login "$last"); [ "${n:-0}" -ge "$run" ] && break; sleep 0.05
  done
  write_phones
  # A POST without a body needs "Content-Length: 0", or the emulator's HTTP
  # server answers 400 and the faults stay as they were.
  curl -sf -X POST -H 'Content-Length: 0' "http://127.0.0.1:$PORT/__reload" >/dev/null ||
    { echo "the emulator refused to read the phones file again"; exit 1; }
  [ "$run" -eq 20 ] && rss20=$(rss_kb)
  [ $((run % 50)) -eq 0 ] && echo "run $run, $(( $(date +%s) - start )) s, RSS $(rss_kb) kB"
done
rssEnd=$(rss_kb)
"$BIN/saldomat" -close || true
wait $APP 2>/dev/null || true
APP=""

stats=$(curl -s "http://127.0.0.1:$PORT/__stats")
served=$(echo "$stats" | awk '$1=="account"{s+=$3} END{print s+0}')
rows=$(sqlite3 "$SALDOMAT_HOME/Saldomat.db" "select count(*) from Phones")
dup=$(sqlite3 "$SALDOMAT_HOME/Saldomat.db" "select count(*) from (select PhoneNumber, QueryDateTime, count(*) c from Phones group by 1, 2 having c > 1)")
# With faults drawn afresh before every run, every phone but the last both
# failed in some runs and had its account page served in others.
mixed=$(echo "$stats" | awk -v runs="$RUNS" -v last="$(printf '91620000%02d' $PHONES)" \
  '$1=="account" && $2!=last && $3>0 && $3<runs {n++} END{print n+0}')
failLines=$(iconv -f cp1251 -t utf-8 "$SALDOMAT_HOME/Saldomat.err" | grep -c ': Телефон № ' || true)
outcomes=$((rows + failLines))
failureKinds() {
  iconv -f cp1251 -t utf-8 "$SALDOMAT_HOME/Saldomat.err" | sed -n 's/.*: Телефон № [0-9]*, [0-9]*: //p' |
    sed -E 's#https?://[^ :]*(:[0-9]+)?[^ :]*#ADDRESS#g' | awk -F': ' '{print $1}' | sort | uniq -c | sort -rn
}
echo "runs $RUNS of $PHONES phones in $(( $(date +%s) - start )) s"
echo "account pages served $served, history rows $rows (duplicates $dup), failure lines in the log $failLines"
echo "failures by kind:"; failureKinds | sed 's/^/  /'
echo "phones with both failures and account pages: $mixed of $((PHONES - 1))"
echo "phone outcomes recorded $outcomes, phone requests $((RUNS * PHONES)) to $(((RUNS + 1) * PHONES))"
echo "RSS after run 20: $rss20 kB, after run $RUNS: $rssEnd kB"
ok=1
# The close at the end may stop a phone of the next run after its account page
# was served and before it was stored: it is logged as stopped, not lost.
stopped=$(iconv -f cp1251 -t utf-8 "$SALDOMAT_HOME/Saldomat.err" | grep -c ': Запрос остановлен пользователем' || true)
[ "$rows" -le "$served" ] && [ "$rows" -ge $((served - stopped)) ] ||
  { echo "history rows differ from the account pages served (phones stopped by the close: $stopped)"; ok=0; }
[ "$dup" -eq 0 ] || { echo "duplicate history rows"; ok=0; }
[ "$mixed" -eq $((PHONES - 1)) ] || { echo "the faults did not change between runs"; ok=0; }
[ "$outcomes" -ge $((RUNS * PHONES)) ] && [ "$outcomes" -le $(((RUNS + 1) * PHONES)) ] ||
  { echo "some phone requests have neither a history row nor a log line"; ok=0; }
if [ "${rss20:-0}" -gt 0 ] && [ "${rssEnd:-0}" -gt 0 ]; then
  awk -v a=$rss20 -v b=$rssEnd 'BEGIN{printf "memory change %+.1f %%\n", (b-a)*100/a; exit !(b <= a * 1.10)}' ||
    { echo "memory grew by more than 10 %"; ok=0; }
else
  echo "no memory figure of the program after run 20 or after the last run"; ok=0
fi
[ $ok -eq 1 ] && echo "soak passed" || { echo "soak FAILED"; exit 1; }
