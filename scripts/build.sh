#!/usr/bin/env bash
# Configures (once) and builds the project in build/ (Release, ccache when present).
# BUILD_DIR chooses another build folder; CMAKE_ARGS adds configure options
# (words without spaces), e.g. CMAKE_ARGS="-DSALDOMAT_SANITIZE=ON".
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
read -ra extra <<<"${CMAKE_ARGS:-}"
if [ ! -f "$BUILD_DIR/build.ninja" ] || [ ${#extra[@]} -gt 0 ]; then
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release "${extra[@]}"
fi
cmake --build "$BUILD_DIR" -j"$(nproc)" "$@"
