#!/usr/bin/env bash
# Sets up, builds and runs every test. Needs no display, sound card or modem.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh "$@"
QT_QPA_PLATFORM=offscreen ctest --test-dir build --output-on-failure --parallel "$(nproc)" --timeout 300
