#!/usr/bin/env bash
# Configures (once) and builds the project in build/ (Release, ccache when present).
# Arguments are target names (saldomat saldomat-cli test_engine ...) or options
# for `cmake --build`; without any, everything is built.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
if [ ! -f "$BUILD_DIR/build.ninja" ]; then
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release
fi
args=()
for a in "$@"; do
  case $a in
    -*) args+=("$a") ;;
    *) args+=(--target "$a") ;;
  esac
done
cmake --build "$BUILD_DIR" -j"$(nproc)" "${args[@]}"
