#!/usr/bin/env bash
# Configures and builds Orvane into build/ (the portable program folder is
# build/Orvane). Extra arguments go to cmake's configure step. An existing
# build folder is only configured again when arguments are given; the
# build itself re-runs CMake when a CMakeLists.txt changed.
set -euo pipefail
cd "$(dirname "$0")/.."
if [ $# -gt 0 ] || [ ! -f build/build.ninja ]; then
  cmake -S . -B build -G Ninja "$@"
fi
cmake --build build --parallel "$(nproc)"
