#!/usr/bin/env bash
# other_user_test.sh BIN_DIR: a second local user (root creates it; skipped, 77,
# otherwise) can read none of the program's files and cannot keep the first
# user's copy from starting by planting files in the shared temporary folder.
set -u
BIN=$1
if [ "$(id -u)" != 0 ] || ! command -v useradd >/dev/null || ! command -v runuser >/dev/null; then
  echo "needs root, useradd and runuser: skipped"
  exit 77
fi
OTHER=sldm-other-$$ WORK=$(mktemp -d) PROGRAM_PID=
trap '[ -n "$PROGRAM_PID" ] && kill "$PROGRAM_PID" 2>/dev/null; userdel "$OTHER" 2>/dev/null; rm -rf "$WORK"' EXIT
fail() { echo "FAIL: $*"; exit 1; }
useradd --no-create-home --shell /usr/sbin/nologin "$OTHER" || fail "useradd failed"
as_other() { runuser -u "$OTHER" -- "$@"; }
# Waits up to 10 s for the shell condition to hold.
wait_for() { for _ in $(seq 200); do eval "$1" && return 0; sleep 0.05; done; return 1; }

chmod 755 "$WORK" && mkdir -m 1777 "$WORK/tmp" && mkdir -m 700 "$WORK/user" && unset XDG_RUNTIME_DIR
export HOME=$WORK/user TMPDIR=$WORK/tmp SALDOMAT_HOME=$WORK/home QT_QPA_PLATFORM=offscreen
export XDG_CONFIG_HOME=$WORK/user/.config XDG_CACHE_HOME=$WORK/user/.cache

# The other user plants, in the shared folder, a lock naming a live process and
# a file in the socket's place under the names the program could use.
version=$("$BIN/saldomat-cli" --version | awk '{print $2}') && [ -n "$version" ] || fail "no version printed"
hash=$(printf 'Saldomat  v %s\n%s' "$version" "${USER:-root}" | sha1sum | cut -c1-16)
as_other sh -c "printf '1\nsystemd\n%s\n' \"\$(hostname)\" >'$TMPDIR/saldomat-$hash.lock'; : >'$TMPDIR/saldomat-$hash'; mkdir -p '$TMPDIR/saldomat-0'" ||
  fail "the other user could not plant files"
as_other mkdir -p "$XDG_CACHE_HOME/saldomat" 2>/dev/null && fail "the other user wrote into the user's home"

"$BIN/saldomat" 2>"$WORK/err.log" & PROGRAM_PID=$!
wait_for 'ls "$XDG_CACHE_HOME"/saldomat/saldomat-* >/dev/null 2>&1 || ! kill -0 $PROGRAM_PID 2>/dev/null'
kill -0 "$PROGRAM_PID" 2>/dev/null || fail "the program did not start: $(cat "$WORK/err.log")"
[ "$(stat -c %a "$XDG_CACHE_HOME/saldomat")" = 700 ] || fail "the channel's folder is open to others"
"$BIN/saldomat-cli" phones set 1 --number 9160000001 --password 271828 >/dev/null &&
  "$BIN/saldomat-cli" settings set Connection cbAutoReRquest 0 >/dev/null || fail "saldomat-cli failed"
"$BIN/saldomat" -close || fail "-close was not carried out"
wait_for '! kill -0 $PROGRAM_PID 2>/dev/null' && PROGRAM_PID= || fail "the program did not end"

[ "$(stat -c %a "$SALDOMAT_HOME")" = 700 ] || fail "the program folder was created open to others"
chmod 755 "$SALDOMAT_HOME"  # even in a folder opened up by hand the files stay closed
for f in phones.xml Saldomat.ini Saldomat.err Saldomat.db; do
  [ -f "$SALDOMAT_HOME/$f" ] || fail "$f was not written"
  as_other cat "$SALDOMAT_HOME/$f" >/dev/null 2>&1 && fail "the other user can read $f"
done
echo "ok"
