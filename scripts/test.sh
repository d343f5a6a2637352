#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole suite through ctest.
# Tests that need a real tray run under Xvfb with a tray host started here.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
./scripts/build.sh

export QT_QPA_PLATFORM=offscreen
. scripts/lib.sh
# A display with a tray host for the tests that drive the real tray (SALDOMAT_TEST_DISPLAY).
trap stop_test_display EXIT
start_test_display
export SALDOMAT_TEST_DISPLAY=$TEST_DISPLAY

cd "${BUILD_DIR:-build}"
ctest --output-on-failure -j"$(nproc)" --timeout 300 "$@"
