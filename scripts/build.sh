#!/usr/bin/env bash
# Configures (once) and builds the project in build/ (Release, ccache when present).
# Arguments are target names (saldomat saldomat-cli test_engine ...) or options
# for `cmake --build`; without any, everything is built.
# BUILD_DIR chooses another build folder; CMAKE_ARGS adds configure options
# (words without spaces), e.g. CMAKE_ARGS="-DSALDOMAT_SANITIZE=ON".
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR=${BUILD_DIR:-build}
read -ra extra <<<"${CMAKE_ARGS:-}"
if [ ! -f "$BUILD_DIR/build.ninja" ] || [ ${#extra[@]} -gt 0 ]; then
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=Release "${extra[@]}"
fi
args=()
for a in "$@"; do
  case $a in
    -*) args+=("$a") ;;
    *) args+=(--target "$a") ;;
  esac
done
cmake --build "$BUILD_DIR" -j"$(nproc)" "${args[@]}"
