#!/usr/bin/env bash
# Installs what is missing, builds, prepares a demo program directory and starts
# the tray program on it when a display is there.
set -euo pipefail
cd "$(dirname "$0")/.."
./scripts/deps.sh
./scripts/build.sh

DEMO_HOME=${DEMO_HOME:-$PWD/build/demo-home}
mkdir -p "$DEMO_HOME"
export SALDOMAT_HOME=$DEMO_HOME
echo "Program directory: $SALDOMAT_HOME"

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "Starting the tray program (quit it from its tray menu, \"Выйти\")."
  exec ./build/bin/saldomat
else
  echo "The tray program needs a graphical display (DISPLAY or WAYLAND_DISPLAY is not set);"
  echo "start ./build/bin/saldomat with SALDOMAT_HOME=$SALDOMAT_HOME on a desktop."
fi
