#!/usr/bin/env bash
# Runs the start-up benchmark on a private Xvfb display with a tray host.
set -euo pipefail
cd "$(dirname "$0")/../.."
BIN=${BIN:-build/bin}
. scripts/lib.sh
trap stop_test_display EXIT
start_test_display
DISPLAY=$TEST_DISPLAY "$BIN/startup_bench" "$BIN/saldomat" "$BIN/tray_baseline" "${1:-7}"
