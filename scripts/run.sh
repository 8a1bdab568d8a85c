#!/usr/bin/env bash
# Sets up, builds, installs Orvane into a portable program folder and starts
# it. ORVANE_HOME chooses the folder (default ~/.local/opt/orvane).
set -euo pipefail
cd "$(dirname "$0")/.."
home="${ORVANE_HOME:-$HOME/.local/opt/orvane}"
scripts/install-deps.sh
scripts/build.sh
cmake --install build --prefix "$home"
"$home/orvane-setup"
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: starting Orvane on a virtual X server (xvfb-run)." >&2
  exec xvfb-run -a "$home/orvane" "$@"
fi
exec "$home/orvane" "$@"
