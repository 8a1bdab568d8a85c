#!/usr/bin/env bash
# Wall-clock figures of `sonvel record --seconds` and `sonvel play` through a
# private PulseAudio with a null sink, which ALSA's "default" reaches through
# the pulse plugin. Not part of the test run: wall time on a shared machine
# is no pass/fail figure.
#
#   bench/pulse_timing.sh SONVEL [--warm]
#
# The idle null sink works in blocks of up to 2 s and serves a new stream
# only when its block runs out, so the first sound of each run may come up to
# 2 s late. --warm keeps a low-latency capture stream open on the sink's
# monitor, which keeps the sink's blocks short: what remains is the engine's
# own time.
set -euo pipefail

sonvel="${1:?usage: pulse_timing.sh SONVEL [--warm]}"
warm="${2:-}"
for tool in pulseaudio sox; do
    command -v "$tool" >/dev/null || { echo "pulse_timing: $tool is needed" >&2; exit 2; }
done

home="$(mktemp -d)"
export HOME="$home" XDG_RUNTIME_DIR="$home"
unset PULSE_SERVER ALSA_CONFIG_PATH SONVEL_NO_ALSA
pids=()
cleanup() {
    # The clients before the server.
    for ((i = ${#pids[@]} - 1; i >= 0; i--)); do kill "${pids[i]}" 2>/dev/null || true; done
    wait 2>/dev/null || true
    rm -rf "$home"
}
trap cleanup EXIT

pulseaudio -n --daemonize=no --exit-idle-time=-1 --load=module-null-sink \
    --load=module-native-protocol-unix --log-level=error &
pids+=($!)
for _ in $(seq 100); do [[ -S "$home/pulse/native" ]] && break; sleep 0.05; done
[[ -S "$home/pulse/native" ]] || { echo "pulse_timing: pulseaudio did not come up" >&2; exit 2; }

if [[ "$warm" == "--warm" ]]; then
    command -v parecord >/dev/null || { echo "pulse_timing: --warm needs parecord" >&2; exit 2; }
    parecord --latency-msec=20 --rate=8000 --channels=1 --format=s16le --raw >/dev/null 2>&1 &
    pids+=($!)
    sleep 2.5  # past the block the sink was in when the stream came
fi

now() { date +%s.%N; }
for seconds in 4 10; do
    start="$(now)"
    "$sonvel" record --device 0 --seconds "$seconds" "$home/record_$seconds.wav" >/dev/null
    end="$(now)"
    printf 'record --seconds %-2s: %s s of sound, %.2f s wall\n' "$seconds" \
        "$(sox --i -D "$home/record_$seconds.wav")" "$(echo "$end - $start" | bc)"
done

sox -n -r 8000 -c 1 -b 16 "$home/five_seconds.wav" synth 5 sine 440 vol 0.3
start="$(now)"
"$sonvel" play --device 0 "$home/five_seconds.wav" >/dev/null 2>&1
end="$(now)"
printf 'play of 5 s: ended after %.2f s wall\n' "$(echo "$end - $start" | bc)"
