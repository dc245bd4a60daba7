#!/bin/sh
# Runs bench_midi_latency on a private JACK dummy server (256 frames).
#   bench/midi/bench_midi.sh BUILD_DIR      (a build with ZONDA_BENCH=ON)
set -eu
BIN=$(cd "${1:?usage: bench_midi.sh BUILD_DIR}" && pwd)/bench/bench_midi_latency
export JACK_DEFAULT_SERVER="zonda-midi-bench-$$" JACK_NO_AUDIO_RESERVATION=1
jackd --no-realtime -n "$JACK_DEFAULT_SERVER" -d dummy -r 44100 -p 256 >/dev/null 2>&1 &
JACK_PID=$!
trap 'kill $JACK_PID 2>/dev/null; wait $JACK_PID 2>/dev/null || true' EXIT
for _ in $(seq 1 150); do jack_lsp >/dev/null 2>&1 && break; sleep 0.2; done
echo "# MIDI latency, JACK dummy server at 256 frames (5.8 ms), load average $(cut -d' ' -f1-3 /proc/loadavg)"
"$BIN"
