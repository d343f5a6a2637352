#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole suite through ctest.
# Tests that need a real tray run under Xvfb with a tray host started here.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
./scripts/build.sh

export QT_QPA_PLATFORM=offscreen
cleanup() { [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null; [ -n "${TRAY_PID:-}" ] && kill "$TRAY_PID" 2>/dev/null; true; }
trap cleanup EXIT
# A display with a tray for the tests labelled "tray".
DISPLAY_NUM=:$((90 + RANDOM % 100))
Xvfb "$DISPLAY_NUM" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
XVFB_PID=$!
for _ in $(seq 50); do xdpyinfo -display "$DISPLAY_NUM" >/dev/null 2>&1 && break; sleep 0.1; done
DISPLAY=$DISPLAY_NUM trayer --edge bottom --align right --widthtype request --height 24 >/dev/null 2>&1 &
TRAY_PID=$!
export SALDOMAT_TEST_DISPLAY=$DISPLAY_NUM

cd build
ctest --output-on-failure -j"$(nproc)" --timeout 300 "$@"
