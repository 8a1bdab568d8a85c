#!/usr/bin/env bash
# Times `sonvel convert` against sox and ffmpeg on one hour of 8 kHz 16-bit
# mono speech-like PCM: whole processes, median of N runs, CPU (user+sys)
# and wall seconds; then the whole hour's SNR of each IMA ADPCM encode (sox
# decodes all three). Fails when sonvel is slower than the faster peer or
# its IMA ADPCM SNR is below sox's. Not part of the test run.
#
#   bench/compare_convert.sh [--build-dir DIR] [--build-type TYPE] [--sonvel PATH]
#                            [--runs N] [--work DIR] [--inputs DIR]
#
# Without --sonvel it builds the tool in DIR (default build-bench) as TYPE
# (default Release, what scripts/build.sh installs; RelWithDebInfo for the
# -O2 build installed before). --inputs keeps the generated input files in
# DIR and reuses them next time.
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_dir="$here/build-bench"
build_type=Release
sonvel=""
runs=5
work_parent=""
inputs=""

while [[ $# -gt 0 ]]; do
  case "$1" in
    --build-dir) build_dir="$2"; shift 2 ;;
    --build-type) build_type="$2"; shift 2 ;;
    --sonvel) sonvel="$2"; shift 2 ;;
    --runs) runs="$2"; shift 2 ;;
    --work) work_parent="$2"; shift 2 ;;
    --inputs) inputs="$2"; shift 2 ;;
    -h|--help) sed -n '2,15p' "$0"; exit 0 ;;
    *) echo "unknown argument: $1" >&2; exit 2 ;;
  esac
done

if [[ -z "$sonvel" ]]; then
  cmake -S "$here" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE="$build_type" \
    -DORVANE_BUILD_TESTS=OFF >/dev/null
  cmake --build "$build_dir" --parallel 2 --target sonvel_tool >/dev/null
  sonvel="$build_dir/Orvane/sonvel"
fi
[[ -x "$sonvel" ]] || { echo "no sonvel at $sonvel" >&2; exit 1; }

missing=()
command -v sox >/dev/null || missing+=(sox libsox-fmt-all)
command -v ffmpeg >/dev/null || missing+=(ffmpeg)
[[ -x /usr/bin/time ]] || missing+=(time)
if [[ ${#missing[@]} -gt 0 ]]; then
  sudo=""
  [[ $(id -u) -eq 0 ]] || sudo="sudo"
  $sudo apt-get update
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y --no-install-recommends "${missing[@]}"
fi

# tmpfs when there is one: the disk is not what is measured.
if [[ -z "$work_parent" ]]; then
  if [[ -d /dev/shm && -w /dev/shm ]]; then work_parent=/dev/shm; else work_parent="${TMPDIR:-/tmp}"; fi
fi
work="$(mktemp -d "$work_parent/sonvel_bench.XXXXXX")"
trap 'rm -rf "$work"' EXIT

# ffmpeg's GSM 6.10 WAV encoder is libgsm_ms in Debian; gsm_ms where built in.
gsm_encoder=gsm_ms
if ! ffmpeg -hide_banner -encoders 2>/dev/null | grep -qE "^ A\S* +gsm_ms "; then
  gsm_encoder=libgsm_ms
fi

[[ -n "$inputs" ]] || inputs="$work"
mkdir -p "$inputs"
in="$inputs/in.wav"
if [[ ! -s "$inputs/in_mulaw.wav" ]]; then
  echo "making one hour of speech-like 8 kHz 16-bit mono PCM in $inputs ..."
  sox -n -r 8000 -b 16 -c 1 "$in" synth 3600 sine 300-3400 synth pinknoise mix \
    synth sine amod 0.5 gain -3
  # The decode rows all start from the same (sox-made) files.
  sox "$in" -e gsm-full-rate "$inputs/in_gsm.wav"
  sox "$in" -e ima-adpcm "$inputs/in_ima.wav"
  sox "$in" -e u-law "$inputs/in_mulaw.wav"
fi

# median of the numbers on stdin
median() { sort -g | awk '{ v[NR] = $1 } END { if (NR % 2) print v[(NR + 1) / 2]; else printf "%.2f\n", (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# time_runs NAME CMD...: prints "cpu wall" medians; fails when CMD fails.
time_runs() {
  local name="$1"; shift
  local cpu=() wall=()
  for ((i = 0; i < runs; i++)); do
    rm -f "$work/out.wav"
    if ! /usr/bin/time -f "%e %U %S" -o "$work/time.txt" "$@" >/dev/null 2>"$work/err.txt"; then
      echo "$name failed:" >&2; cat "$work/err.txt" >&2; return 1
    fi
    read -r e u s < <(tail -n 1 "$work/time.txt")
    wall+=("$e")
    cpu+=("$(awk -v u="$u" -v s="$s" 'BEGIN { printf "%.2f", u + s }')")
  done
  echo "$(printf '%s\n' "${cpu[@]}" | median) $(printf '%s\n' "${wall[@]}" | median)"
}

rows=(
  "PCM -> GSM 6.10|$in|gsm|-e gsm-full-rate|-c:a $gsm_encoder"
  "GSM 6.10 -> PCM|$inputs/in_gsm.wav|pcm|-e signed -b 16|-c:a pcm_s16le"
  "PCM -> IMA ADPCM|$in|ima|-e ima-adpcm|-c:a adpcm_ima_wav -block_size 256"
  "IMA ADPCM -> PCM|$inputs/in_ima.wav|pcm|-e signed -b 16|-c:a pcm_s16le"
  "PCM -> mu-law|$in|mulaw|-e u-law|-c:a pcm_mulaw"
  "mu-law -> PCM|$inputs/in_mulaw.wav|pcm|-e signed -b 16|-c:a pcm_s16le"
)

out="$work/out.wav"
printf '\nOne hour of 8 kHz mono, median of %d runs, seconds as CPU (user+sys) / wall\n\n' "$runs"
printf '| %-17s | %-13s | %-13s | %-13s | %-10s |\n' conversion sonvel sox ffmpeg "sonvel vs best"
printf '|%s|%s|%s|%s|%s|\n' "-------------------" "---------------" "---------------" \
  "---------------" "------------"
status=0
for row in "${rows[@]}"; do
  IFS='|' read -r title src to soxargs ffargs <<<"$row"
  # shellcheck disable=SC2086
  read -r s_cpu s_wall < <(time_runs "sonvel $title" "$sonvel" convert "$src" "$out" --to "$to")
  # shellcheck disable=SC2086
  read -r x_cpu x_wall < <(time_runs "sox $title" sox "$src" $soxargs "$out")
  # shellcheck disable=SC2086
  read -r f_cpu f_wall < <(time_runs "ffmpeg $title" ffmpeg -nostdin -hide_banner -loglevel error \
    -y -i "$src" $ffargs "$out")
  verdict=$(awk -v s="$s_cpu" -v a="$x_cpu" -v b="$f_cpu" 'BEGIN {
    best = a < b ? a : b
    # /usr/bin/time counts in 10 ms steps
    if (s <= best + 0.01) printf "%.1fx", (s > 0 ? best / s : 99); else { printf "SLOWER"; exit 1 } }') ||
    status=1
  printf '| %-17s | %5s / %5s | %5s / %5s | %5s / %5s | %-10s |\n' "$title" \
    "$s_cpu" "$s_wall" "$x_cpu" "$x_wall" "$f_cpu" "$f_wall" "$verdict"
done
printf '\nffmpeg GSM encoder: %s; decode rows read sox-made files.\n' "$gsm_encoder"

# Quality of the IMA ADPCM encoders: signal over the difference of the
# decoded hour from the input, in dB.
rms() { sox -D "$@" -n stat 2>&1 | awk '/RMS +amplitude/ { print $3 }'; }
signal_rms=$(rms "$in")
snr() {
  sox -D "$1" -e signed -b 16 "$work/decoded.wav"
  awk -v s="$signal_rms" -v d="$(rms -m -v 1 "$in" -v -1 "$work/decoded.wav")" \
    'BEGIN { printf "%.2f", 20 * log(s / d) / log(10) }'
}
"$sonvel" convert "$in" "$work/ima_sonvel.wav" --to ima >/dev/null
sox "$in" -e ima-adpcm "$work/ima_sox.wav"
ffmpeg -nostdin -hide_banner -loglevel error -y -i "$in" -c:a adpcm_ima_wav -block_size 256 \
  "$work/ima_ffmpeg.wav"
s_snr=$(snr "$work/ima_sonvel.wav")
x_snr=$(snr "$work/ima_sox.wav")
f_snr=$(snr "$work/ima_ffmpeg.wav")
printf 'IMA ADPCM SNR of the hour (dB): sonvel %s, sox %s, ffmpeg %s\n' "$s_snr" "$x_snr" "$f_snr"
awk -v s="$s_snr" -v x="$x_snr" 'BEGIN { exit !(s >= x) }' || {
  echo "sonvel's IMA ADPCM is below sox's" >&2
  status=1
}
exit "$status"
