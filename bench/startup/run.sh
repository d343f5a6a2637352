#!/usr/bin/env bash
# Runs the start-up benchmark on a private Xvfb display with a tray host.
set -euo pipefail
cd "$(dirname "$0")/../.."
BIN=${BIN:-build/bin}
D=:$((200 + RANDOM % 50))
Xvfb "$D" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 & XPID=$!
trap 'kill $XPID $TPID 2>/dev/null' EXIT
for _ in $(seq 50); do xdpyinfo -display "$D" >/dev/null 2>&1 && break; sleep 0.1; done
DISPLAY=$D trayer --edge bottom --align right --widthtype request --height 24 >/dev/null 2>&1 & TPID=$!
sleep 1
DISPLAY=$D "$BIN/startup_bench" "$BIN/saldomat" "$BIN/tray_baseline" "${1:-7}"
