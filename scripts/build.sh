#!/usr/bin/env bash
# Configures and builds Orvane into build/ (the portable program folder is
# build/Orvane), or into ORVANE_BUILD_DIR. Extra arguments go to cmake's
# configure step. The build is a Release one (-O3: the codecs run per
# sample) unless the arguments name another CMAKE_BUILD_TYPE; a folder
# configured otherwise is configured again. An existing build folder is
# otherwise only configured again when arguments are given; the build itself
# re-runs CMake when a CMakeLists.txt changed.
set -euo pipefail
cd "$(dirname "$0")/.."
build="${ORVANE_BUILD_DIR:-build}"
type=Release
for arg in "$@"; do
  case "$arg" in
    -DCMAKE_BUILD_TYPE=* | -DCMAKE_BUILD_TYPE:*=*) type="" ;;
  esac
done
configured=""
if [ -f "$build/CMakeCache.txt" ]; then
  configured="$(sed -n 's/^CMAKE_BUILD_TYPE:[A-Z]*=//p' "$build/CMakeCache.txt")"
fi
if [ $# -gt 0 ] || [ ! -f "$build/build.ninja" ] || { [ -n "$type" ] && [ "$configured" != "$type" ]; }; then
  cmake -S . -B "$build" -G Ninja ${type:+"-DCMAKE_BUILD_TYPE=$type"} "$@"
fi
cmake --build "$build" --parallel "$(nproc)"
