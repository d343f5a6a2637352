#!/usr/bin/env bash
# Installs into a temporary prefix and runs the installed command-line tool with
# a temporary home: it must keep its files in ~/.local/share/saldomat/.
set -euo pipefail
build=$1
cmake=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$cmake" --install "$build" --prefix "$work/prefix" >/dev/null
for f in bin/saldomat bin/saldomat-cli lib/saldomat/saldomat-reports.so share/applications/saldomat.desktop \
         share/icons/hicolor/16x16/apps/saldomat.png share/icons/hicolor/256x256/apps/saldomat.png; do
  [ -e "$work/prefix/$f" ] || { echo "missing after install: $f"; exit 1; }
done
mkdir -p "$work/home"
env -u SALDOMAT_HOME HOME="$work/home" "$work/prefix/bin/saldomat-cli" regions add "Тест" "ТСТ" "http://127.0.0.1:1/cgi-bin/cgi.exe?function=is_login" >/dev/null
[ -f "$work/home/.local/share/saldomat/servers.ini" ] || { echo "servers.ini is not in the user's data folder"; exit 1; }
[ ! -e "$work/prefix/bin/servers.ini" ] || { echo "servers.ini was written beside the program"; exit 1; }
