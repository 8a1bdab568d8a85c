#!/usr/bin/env bash
# Fuzzes one file-format reader with libFuzzer under AddressSanitizer and
# UndefinedBehaviorSanitizer. Not part of the test run.
#   scripts/fuzz.sh <registry_hive|language_file> [seconds, default 600]
# New inputs that found new paths are added to fuzz/corpus/<target>/; a crash
# leaves its input in build-fuzz/ (keep it as a fixture once fixed).
set -euo pipefail
cd "$(dirname "$0")/.."
target="${1:?usage: scripts/fuzz.sh <registry_hive|language_file> [seconds]}"
seconds="${2:-600}"
scripts/install-deps.sh
if ! command -v clang++ >/dev/null; then
  sudo_cmd=(); [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get install -y --no-install-recommends clang libclang-rt-14-dev
fi
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DORVANE_FUZZ=ON -DORVANE_BUILD_TESTS=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build-fuzz --target "fuzz_$target" --parallel "$(nproc)"
corpus="fuzz/corpus/$target"
mkdir -p "$corpus"
cd build-fuzz
./fuzz/"fuzz_$target" -max_total_time="$seconds" -max_len=65536 -timeout=10 "../$corpus"
