#!/usr/bin/env bash
# The release check of the Debian package, on this machine (Debian 12, run
# as root or with sudo; it installs and removes the package orvane):
#
#   1. builds the package (scripts/package.sh) and runs lintian on it;
#   2. installs it with `apt-get install ./orvane_*.deb` and runs
#      `orvane --version`;
#   3. as a fresh user made for the check: starts the modem emulator's
#      demonstration line and Orvane under Xvfb with that line, waits until
#      one demo call is recorded into the user's default recordings folder,
#      and ends Orvane (`orvane -uia`);
#   4. `apt-get remove orvane`; installs it again and `apt-get purge orvane`;
#      after each removal shows that the user's recordings and settings are
#      still there.
#
# Every step prints its command and output, for the release notes. The user
# is removed at the end, with its home folder.
#
#   scripts/package-check.sh [--no-build]    (--no-build: use build-deb/*.deb)
set -euo pipefail
cd "$(dirname "$0")/.."
here="$PWD"
build=1
if [ "${1:-}" = "--no-build" ]; then build=0; fi

as_root=()
if [ "$(id -u)" -ne 0 ]; then as_root=(sudo); fi
export DEBIAN_FRONTEND=noninteractive

# Prints a command, runs it, and fails the check when it fails.
step() {
  printf '\n$ %s\n' "$*"
  "$@"
}
fail() {
  echo "package-check: FAILED: $*" >&2
  exit 1
}

user="orvane-check-$$"
user_made=0
home=""
# The processes this check started as the user, by their ids.
user_pid() { "${as_root[@]}" cat "$home/.run/$1.pid" 2>/dev/null || true; }
running() { [ -n "$1" ] && "${as_root[@]}" kill -0 "$1" 2>/dev/null; }
stop_user_process() {
  local pid
  pid="$(user_pid "$1")"
  if running "$pid"; then
    "${as_root[@]}" kill "$pid" 2>/dev/null || true
    for _ in $(seq 20); do running "$pid" || break; sleep 0.25; done
  fi
}
cleanup() {
  if [ "$user_made" = 1 ]; then
    stop_user_process orvane
    stop_user_process modemsim
    "${as_root[@]}" userdel -r "$user" 2>/dev/null || true
  fi
}
trap cleanup EXIT

# Runs a command line as the check's user, in a login shell with the
# user's own folders and a private runtime folder.
as_user() {
  "${as_root[@]}" runuser -l "$user" -c "export XDG_RUNTIME_DIR=$home/.run; $*"
}
user_step() {
  printf '\n$ (as %s) %s\n' "$user" "$*"
  as_user "$@"
}

echo "== Build the package"
if [ "$build" = 1 ]; then
  printf '\n$ scripts/package.sh build-deb   (full log: build-deb/build.log)\n'
  mkdir -p build-deb
  if ! scripts/package.sh build-deb >build-deb/build.log 2>&1; then
    tail -n 40 build-deb/build.log
    fail "the package did not build"
  fi
  grep -E '^dpkg-deb: building package' build-deb/build.log || true
fi
deb="$(ls -1 "$here"/build-deb/orvane_*.deb 2>/dev/null | sort -V | tail -n 1)"
[ -n "$deb" ] || fail "no build-deb/orvane_*.deb"
step dpkg-deb --info "$deb"
step dpkg-deb --contents "$deb"
if command -v lintian >/dev/null; then
  # Tags of level info and above; overrides are listed too, with their
  # reasons in debian/orvane.lintian-overrides.
  step lintian --info --display-info --show-overrides "$deb"
else
  echo "lintian is missing: run scripts/install-deps.sh --package" >&2
fi

echo
echo "== Install"
step "${as_root[@]}" apt-get install -y "$deb"
step dpkg -L orvane
step orvane --version
step desktop-file-validate /usr/share/applications/org.quenzo.Orvane.desktop
printf '\n$ man orvane | head -n 12\n'
MANWIDTH=80 man -P cat orvane 2>/dev/null | head -n 12 || true

echo
echo "== A demo call recorded as a new user"
step "${as_root[@]}" useradd --create-home --shell /bin/bash "$user"
user_made=1
home="$(getent passwd "$user" | cut -d: -f6)"
"${as_root[@]}" install -d -m 0700 -o "$user" -g "$user" "$home/.run"
recordings="$home/.local/share/orvane/Recordings"
# No orvane-setup: the program sets a new user up at its first start, and
# follows the line chosen afterwards with orvane-reg (which changes values
# of existing keys only) while it runs.
user_step "modemsim --demo --stay --link \"\$XDG_RUNTIME_DIR/orvane-demo-modem\" >\$XDG_RUNTIME_DIR/modemsim.log 2>&1 & echo \$! >\$XDG_RUNTIME_DIR/modemsim.pid"
user_step "xvfb-run -a orvane >\$XDG_RUNTIME_DIR/orvane.log 2>&1 & echo \$! >\$XDG_RUNTIME_DIR/orvane.pid"
hive="$home/.config/orvane/HKEY_LOCAL_MACHINE.reg"
for _ in $(seq 60); do
  "${as_root[@]}" grep -q 'TabDevices' "$hive" 2>/dev/null && break
  sleep 0.5
done
"${as_root[@]}" grep -q 'TabDevices' "$hive" 2>/dev/null || fail "the first start made no settings keys"
user_step "ls -la ~/.config/orvane/ ~/.local/share/orvane/"
key='HKLM\SOFTWARE\Quenzo\Orvane 1.1\Properties\TabDevices'
user_step "orvane-reg add '$key' /v txtLinePorts /d \"\$XDG_RUNTIME_DIR/orvane-demo-modem\" /f"
user_step "orvane-reg add '$key' /v cmbModemDev /d 'Orvane modemsim V.253 voice modem (orvane-demo-modem)' /f"
echo
echo "Waiting (up to 120 s) for a call in $recordings/Data ..."
# A call is in the calls list when its 467-byte record is in the index.
deadline=$((SECONDS + 120))
while :; do
  size="$("${as_root[@]}" stat -c %s "$recordings/Data" 2>/dev/null || echo 0)"
  if [ "$size" -ge 467 ]; then break; fi
  if [ "$SECONDS" -ge "$deadline" ]; then
    as_user 'cat $XDG_RUNTIME_DIR/orvane.log $XDG_RUNTIME_DIR/modemsim.log' || true
    fail "no call recorded within 120 s"
  fi
  sleep 1
done
echo "recorded after $((SECONDS + 120 - deadline)) s"
user_step "ls -l ~/.local/share/orvane/Recordings/"
user_step "ls -la ~/.local/share/orvane/ ~/.local/share/orvane/Journal/"
user_step "orvane -uia"
# xvfb-run ends with the program.
orvane_pid="$(user_pid orvane)"
for _ in $(seq 60); do
  running "$orvane_pid" || break
  sleep 0.5
done
if running "$orvane_pid"; then fail "orvane did not end"; fi
echo "orvane has ended"
stop_user_process modemsim

show_user_files() {
  user_step "ls -l ~/.local/share/orvane/Recordings/ ~/.config/orvane/"
  as_user 'test -s ~/.local/share/orvane/Recordings/Data && ls ~/.local/share/orvane/Recordings/*.wav >/dev/null && test -n "$(ls -A ~/.config/orvane)"' ||
    fail "the user's recordings or settings are gone"
}

echo
echo "== Remove"
step "${as_root[@]}" apt-get remove -y orvane
show_user_files
echo
echo "== Install again over the user's files, then purge"
# A removed package without configuration files is gone from dpkg's
# database, so purge runs on an installed one.
step "${as_root[@]}" apt-get install -y "$deb"
step orvane --version
step "${as_root[@]}" apt-get purge -y orvane
show_user_files
step dpkg -s orvane || true

echo
echo "package-check: passed"
