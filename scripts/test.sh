#!/usr/bin/env bash
# Sets up, builds and runs every test. Needs no display, sound card or modem.
# Then builds the audio engine and its tests once more with AddressSanitizer
# and UndefinedBehaviorSanitizer and runs them again (SKIP_SANITIZERS=1
# leaves that pass out).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh "$@"
QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure --parallel "$(nproc)" --timeout 300

if [[ "${SKIP_SANITIZERS:-0}" != 1 ]]; then
    # Debug last: a build type among the arguments is for the first pass.
    cmake -S . -B build-sanitize -G Ninja -DORVANE_ENGINE_ONLY=ON \
        -DORVANE_SANITIZE=address,undefined "$@" -DCMAKE_BUILD_TYPE=Debug
    cmake --build build-sanitize --parallel "$(nproc)"
    # ALSA and PulseAudio keep their configuration caches until exit.
    export LSAN_OPTIONS="suppressions=$PWD/tests/audio/leak_suppressions.txt:print_suppressions=0"
    export ASAN_OPTIONS="abort_on_error=0:detect_stack_use_after_return=1"
    export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
    ctest --test-dir build-sanitize --output-on-failure --parallel "$(nproc)" --timeout 600
fi
