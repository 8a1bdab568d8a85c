#!/usr/bin/env bash
# What a recorded call costs the program: the real program over modemsim,
# calls of speech-like sound recorded in the chosen format, and for each
# the process CPU time (user + system, /proc/PID/stat) from the start of
# the recording to the end of the call, as a share of one core over the
# wall time between the two. A last call runs under `strace -c -f` for the
# system calls a second (strace slows the program, so it is not timed).
# Not part of the test run: CPU time on a shared machine is no pass/fail
# figure.
#
#   bench/recorded_call_bench.sh [--program-dir DIR] [--calls N] [--seconds S]
#                                [--format pcm|mulaw|gsm] [--offscreen]
#
# DIR is a built program folder (default build/Orvane). The window is shown
# on a private Xvfb, so the level display's drawing is counted; --offscreen
# uses Qt's offscreen platform instead.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
program_dir="$here/build/Orvane"
calls=3
seconds=30
format=gsm
offscreen=0
while [[ $# -gt 0 ]]; do
  case "$1" in
    --program-dir) program_dir="$2"; shift 2 ;;
    --calls) calls="$2"; shift 2 ;;
    --seconds) seconds="$2"; shift 2 ;;
    --format) format="$2"; shift 2 ;;
    --offscreen) offscreen=1; shift ;;
    -h|--help) sed -n '2,16p' "$0"; exit 0 ;;
    *) echo "unknown argument: $1" >&2; exit 2 ;;
  esac
done
case "$format" in
  pcm) setting=0 ;;
  mulaw) setting=1 ;;
  gsm) setting=2 ;;
  *) echo "--format is pcm, mulaw or gsm" >&2; exit 2 ;;
esac
[[ -x "$program_dir/orvane" && -x "$program_dir/modemsim" ]] ||
  { echo "no built program in $program_dir" >&2; exit 1; }
if [[ "$offscreen" == 0 ]] && ! command -v Xvfb >/dev/null; then
  echo "recorded_call_bench: no Xvfb; using the offscreen platform" >&2
  offscreen=1
fi
have_strace=0
command -v strace >/dev/null && have_strace=1

work="$(mktemp -d)"
pids=()
cleanup() {
  for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
  wait 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

cp -a "$program_dir" "$work/program"
mkdir -p "$work/config" "$work/data" "$work/runtime" "$work/Recordings"
chmod 700 "$work/runtime"
export HOME="$work" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
export XDG_RUNTIME_DIR="$work/runtime" SONVEL_NO_ALSA=1
unset ORVANE_PROGRAM_DIR QT_QPA_PLATFORM
prog="$work/program"
"$prog/orvane-setup" >"$work/setup.log" 2>&1
reg() { "$prog/orvane-reg" add "HKLM\\SOFTWARE\\Quenzo\\Orvane 1.1\\Properties\\$1" /v "$2" /d "$3" /f >/dev/null; }
reg TabLog chkLogSys 1
reg TabDevices txtLinePorts "$work/modem"
reg TabDevices cmbModemDev "Orvane modemsim V.253 voice modem (modem)"
reg TabGeneral txtPath "$work/Recordings/"
reg TabGeneral cmbRecordFormatRec "$setting"

# One more call than timed: the last one runs under strace.
total=$((calls + have_strace))
"$prog/modemsim" --link "$work/modem" -e "voice speech; repeat $total; wait-command VCID=1; \
call rings=2 every=300 name=\"Alice Example\" number=5551234; pickup; wait-command VRX; \
sleep $((seconds * 1000)); remote-hangup busy; wait-hangup timeout 20000; end; sleep 600000" \
  >"$work/modemsim.out" 2>&1 &
pids+=($!)
for _ in $(seq 100); do [[ -e "$work/modem" ]] && break; sleep 0.05; done

if [[ "$offscreen" == 1 ]]; then
  export QT_QPA_PLATFORM=offscreen
else
  exec 3>"$work/display"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  pids+=($!)
  for _ in $(seq 100); do [[ -s "$work/display" ]] && break; sleep 0.05; done
  export DISPLAY=":$(head -1 "$work/display")"
fi
"$prog/orvane" >"$work/orvane.log" 2>&1 &
orvane=$!
pids+=($orvane)

# How often `text` stands in the system journal.
count() { cat "$prog"/Journal/* 2>/dev/null | grep -c -- "$1" || true; }
wait_count() {
  local deadline=$((SECONDS + seconds + 60))
  while (($(count "$1") < $2)); do
    ((SECONDS < deadline)) || { echo "recorded_call_bench: no \"$1\" #$2" >&2; exit 1; }
    kill -0 "$orvane" 2>/dev/null || { echo "recorded_call_bench: the program ended" >&2; exit 1; }
    sleep 0.02
  done
}
cpu_ticks() { awk '{print $14 + $15}' "/proc/$orvane/stat"; }
now_ns() { date +%s%N; }
hz="$(getconf CLK_TCK)"

shares=()
for ((call = 1; call <= calls; call++)); do
  wait_count StartRecordACM "$call"
  t0="$(now_ns)"; c0="$(cpu_ticks)"
  wait_count "End Of Call" "$call"
  t1="$(now_ns)"; c1="$(cpu_ticks)"
  share="$(awk -v c=$((c1 - c0)) -v hz="$hz" -v ns=$((t1 - t0)) \
    'BEGIN { printf "%.3f", 100 * c / hz / (ns / 1e9) }')"
  printf 'call %d: %.1f s, %d ms CPU, %s %% of one core\n' "$call" \
    "$(awk -v ns=$((t1 - t0)) 'BEGIN { print ns / 1e9 }')" $(((c1 - c0) * 1000 / hz)) "$share"
  shares+=("$share")
done
median="$(printf '%s\n' "${shares[@]}" | sort -g | awk '{ v[NR] = $1 } END {
  print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }')"
echo "median of $calls $format calls: $median % of one core"

if [[ "$have_strace" == 1 ]]; then
  wait_count StartRecordACM "$total"
  strace -c -f -p "$orvane" -o "$work/strace.txt" 2>/dev/null &
  tracer=$!
  t0="$(now_ns)"
  wait_count "End Of Call" "$total"
  t1="$(now_ns)"
  kill -INT "$tracer" 2>/dev/null || true
  wait "$tracer" 2>/dev/null || true
  wall="$(awk -v ns=$((t1 - t0)) 'BEGIN { print ns / 1e9 }')"
  awk -v wall="$wall" '
    /^-+/ { rule++; next }
    rule == 1 && NF >= 5 { calls[$NF] = $4 }
    $NF == "total" { total = $4 }
    END {
      printf "system calls: %.0f a second", total / wall
      top = ""
      for (k in calls) if (calls[k] / wall >= 5) top = top sprintf(" %s %.0f", k, calls[k] / wall)
      print (top == "" ? "" : " (" substr(top, 2) ")")
    }' "$work/strace.txt"
fi
"$prog/orvane" -uia >/dev/null 2>&1 || true
for _ in $(seq 100); do kill -0 "$orvane" 2>/dev/null || break; sleep 0.05; done
