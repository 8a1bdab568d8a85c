#!/usr/bin/env bash
# Configures and builds Orvane into build/ (the portable program folder is
# build/Orvane). Extra arguments go to cmake's configure step.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake -S . -B build -G Ninja "$@"
cmake --build build --parallel "$(nproc)"
