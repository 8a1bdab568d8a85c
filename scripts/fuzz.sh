#!/usr/bin/env bash
# Fuzzes one file-format reader with libFuzzer under AddressSanitizer and
# UndefinedBehaviorSanitizer. Not part of the test run.
#   scripts/fuzz.sh <registry_hive|language_file|wave_file|modem_stream|call_index|vcard> [seconds, default 600]
# Inputs that reach new code are merged into fuzz/corpus/<target>/, which
# every test run replays; a crash leaves its input in build-fuzz/ (keep it as
# a fixture once fixed).
set -euo pipefail
cd "$(dirname "$0")/.."
target="${1:?usage: scripts/fuzz.sh <registry_hive|language_file|wave_file|modem_stream|call_index|vcard> [seconds]}"
seconds="${2:-600}"
scripts/install-deps.sh
if ! command -v clang++ >/dev/null; then
  sudo_cmd=(); [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get install -y --no-install-recommends clang libclang-rt-14-dev
fi
CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DORVANE_FUZZ=ON -DORVANE_BUILD_TESTS=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build-fuzz --target "fuzz_$target" --parallel "$(nproc)"
# Fuzz in a working copy of the corpus, then keep only the inputs that add
# coverage, so the committed corpus stays small.
corpus="fuzz/corpus/$target"
work="build-fuzz/corpus-$target"
mkdir -p "$corpus" "$work"
cp -n "$corpus"/* "$work"/ 2>/dev/null || true
fuzzer="build-fuzz/fuzz/fuzz_$target"
(cd build-fuzz && "../$fuzzer" -max_total_time="$seconds" -max_len=65536 -timeout=10 \
  -rss_limit_mb=4096 "../$work")
merged=$(mktemp -d)
"$fuzzer" -merge=1 "$merged" "$corpus" "$work" >/dev/null 2>&1
cp -n "$merged"/* "$corpus"/ 2>/dev/null || true
rm -rf "$merged"
echo "corpus of $target: $(ls "$corpus" | wc -l) inputs"
