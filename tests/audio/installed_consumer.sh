#!/usr/bin/env bash
# Installs the "devel" component (public headers, libsonvel.so) into a
# temporary prefix, builds tests/audio/installed_consumer.cpp against that
# prefix alone and runs it on the virtual devices.
#   installed_consumer.sh BUILD_DIR CXX EXPECTED_VERSION [EXTRA_FLAGS...]
set -euo pipefail
build="$1" cxx="$2" version="$3"
shift 3
source="$(cd "$(dirname "$0")" && pwd)/installed_consumer.cpp"
prefix="$(mktemp -d)"
trap 'rm -rf "$prefix"' EXIT

cmake --install "$build" --prefix "$prefix" --component devel >/dev/null
# Only the public headers and the library: no engine-internal header leaks.
find "$prefix" -type f -o -type l | sed "s|^$prefix/||" | sort
"$cxx" -std=c++20 -Wall -Wextra -Werror "$@" -I"$prefix/include" "$source" \
  -L"$prefix" -lsonvel -Wl,-rpath,"$prefix" -o "$prefix/installed_consumer"
SONVEL_NO_ALSA=1 "$prefix/installed_consumer" "$version"
