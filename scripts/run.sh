#!/usr/bin/env bash
# Sets up, builds, installs Orvane into a portable program folder and starts
# it. ORVANE_HOME chooses the folder (default ~/.local/opt/orvane). The
# programs orvane, orvane-reg, sonvel and modemsim get links in
# ~/.local/bin, so they can be started by name, and their manual pages
# links in ~/.local/share/man/man1, so `man orvane` finds them.
#
# Without a modem (no USB modem or USB serial adapter plugged in), or with
# ORVANE_DEMO_LINE=1, the line is the modem emulator: modemsim runs beside
# Orvane with its demonstration (a call every 20 seconds) and is stopped
# when Orvane ends. ORVANE_DEMO_LINE=0 never starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
home="${ORVANE_HOME:-$HOME/.local/opt/orvane}"
scripts/install-deps.sh
scripts/build.sh
cmake --install build --prefix "$home" --strip
"$home/orvane-setup"

# Links on the user's PATH; a file there that is not a link is the user's
# own and stays.
bin="$HOME/.local/bin"
mkdir -p "$bin"
linked=()
for program in orvane orvane-reg sonvel modemsim; do
  if [ -e "$bin/$program" ] && [ ! -L "$bin/$program" ]; then
    echo "Not linking $bin/$program: a file of that name is already there." >&2
    continue
  fi
  ln -sfn "$home/$program" "$bin/$program"
  linked+=("$program")
done
if [ ${#linked[@]} -gt 0 ]; then
  echo "Linked ${linked[*]} into $bin." >&2
fi
scripts/link-man-pages.sh "$home"

case ":$PATH:" in
  *":$bin:"*) ;;
  *)
    echo "$bin is not on your PATH. To add it, run:" >&2
    echo "  echo 'export PATH=\"\$HOME/.local/bin:\$PATH\"' >> ~/.bashrc && export PATH=\"\$HOME/.local/bin:\$PATH\"" >&2
    ;;
esac

has_modem() {
  compgen -G "/dev/ttyACM*" >/dev/null || compgen -G "/dev/ttyUSB*" >/dev/null
}

demo="${ORVANE_DEMO_LINE:-}"
if [ -z "$demo" ]; then
  if has_modem; then demo=0; else demo=1; fi
fi

sim_pid=""
stop_sim() {
  if [ -n "$sim_pid" ]; then kill "$sim_pid" 2>/dev/null || true; wait "$sim_pid" 2>/dev/null || true; fi
}
if [ "$demo" = 1 ]; then
  runtime="${XDG_RUNTIME_DIR:-/tmp}"
  link="$runtime/orvane-demo-modem"
  key='HKLM\SOFTWARE\Quenzo\Orvane 1.1\Properties\TabDevices'
  "$home/modemsim" --demo --stay --link "$link" >/dev/null &
  sim_pid=$!
  trap stop_sim EXIT
  "$home/orvane-reg" add "$key" /v txtLinePorts /d "$link" /f >/dev/null
  "$home/orvane-reg" add "$key" /v cmbModemDev \
    /d "Orvane modemsim V.253 voice modem (orvane-demo-modem)" /f >/dev/null
  echo "No modem found: the line is the emulator (modemsim --demo, a call every 20 s)." >&2
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: starting Orvane on a virtual X server (xvfb-run)." >&2
  xvfb-run -a "$home/orvane" "$@"
else
  "$home/orvane" "$@"
fi
