#!/usr/bin/env bash
# The whole program on a real X server with a system tray: the main window
# appears, a second copy ends at once, "-uia" ends the first copy, which
# saves its window placement, and "-st" starts in the tray only.
# Usage: program_under_x11.sh <built program folder>
set -euo pipefail

built="$1"
for tool in Xvfb trayer xwininfo; do
  if ! command -v "$tool" >/dev/null; then
    echo "SKIPPED: $tool is not installed (scripts/install-deps.sh installs it)" >&2
    exit 77
  fi
done

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT

cp -a "$built" "$work/program"
program="$work/program/orvane"
mkdir -p "$work/config" "$work/data" "$work/runtime"
chmod 700 "$work/runtime"
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work/runtime"
unset ORVANE_PROGRAM_DIR ORVANE_CONFIG_DIR QT_QPA_PLATFORM
export LANG=C.UTF-8

fail() { echo "FAILED: $*" >&2; xwininfo -root -tree >&2 || true; exit 1; }

# Polls a condition; the limit only bounds a failing run.
wait_for() {
  local limit=$1; shift
  local end=$((SECONDS + limit))
  until "$@"; do
    [ $SECONDS -lt $end ] || return 1
    sleep 0.1
  done
}

exec 3>"$work/display"
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
pids+=($!)
wait_for 20 test -s "$work/display" || fail "Xvfb did not start"
export DISPLAY=":$(head -n1 "$work/display")"
trayer --edge top --align right --widthtype pixel --width 120 --height 24 >/dev/null 2>&1 &
pids+=($!)
wait_for 20 xwininfo -name panel >/dev/null 2>&1 || fail "no tray panel"

"$work/program/orvane-setup" >/dev/null

main_window_shown() { xwininfo -root -tree | grep -qF '"Orvane Recorder 1.1.0.1": ("orvane"'; }
tray_icon_shown() { xwininfo -name panel -tree | grep -qF '("orvane" "orvane")'; }
has_exited() { ! kill -0 "$1" 2>/dev/null; }

# 1. A normal start shows the main window.
"$program" &
first=$!
pids+=($first)
wait_for 30 main_window_shown || fail "main window did not appear"

# 2. A second copy ends silently, at once, with exit code 0.
start=$SECONDS
timeout 2 "$program" || fail "second copy did not end with 0 within 2 seconds"
[ "$(xwininfo -root -tree | grep -cF '"Orvane Recorder 1.1.0.1": ("orvane"')" -eq 1 ] ||
  fail "a second main window appeared"
kill -0 "$first" || fail "the first copy ended"

# 3. "-uia" ends the first copy, which writes its placement on the way out.
"$program" -uia || fail "-uia did not end with 0"
wait_for 5 has_exited "$first" || fail "first copy still runs 5 seconds after -uia"
hive="$work/config/orvane/HKEY_LOCAL_MACHINE.reg"
for value in lLeft lTop lWidth lHeight lState; do
  grep -q "^\"$value\"=\"" "$hive" || fail "$value was not saved"
done

# 4. "-st" shows only the tray icon.
"$program" -st &
hidden=$!
pids+=($hidden)
wait_for 30 tray_icon_shown || fail "no tray icon after -st"
main_window_shown && fail "-st showed the main window"
"$program" -uia
wait_for 5 has_exited "$hidden" || fail "-st copy still runs after -uia"

# 5. "-st " with a trailing blank is not the switch.
"$program" "-st " &
shown=$!
pids+=($shown)
wait_for 30 main_window_shown || fail "'-st ' did not show the main window"
"$program" -uia
wait_for 5 has_exited "$shown" || fail "copy still runs after -uia"

echo "program under X11: all checks passed"
