#!/bin/sh
# Xruns of the audio thread while the main thread works: zonda-engine plays
# both decks in real time through a running JACK server (or the null device)
# while its script loads tracks, records, previews and reads the meters over
# and over; the audio library reports the xruns at close. Run for a newer and
# an older build in the same run, beside bench_ilvex_roundtrip's plain libjack
# pass-through peer at the same block sizes.
#
#   bench/xruns/bench_xruns.sh AFTER_DIR [BEFORE_DIR]
#
# AFTER_DIR/BEFORE_DIR: Release build folders with zonda/zonda-engine (the
# peer is AFTER_DIR/bench/bench_ilvex_roundtrip when it was built). With JACK
# each run gets a private dummy server whose period is the block size.
# Settings: SECONDS_EACH=120  BLOCKS="128 256"  DEVICE=jack|null
set -eu

AFTER=$(cd "${1:?usage: bench_xruns.sh AFTER_DIR [BEFORE_DIR]}" && pwd)
BEFORE=${2:+$(cd "$2" && pwd)}
T=${SECONDS_EACH:-120}
BLOCKS=${BLOCKS:-128 256}
DEVICE=${DEVICE:-jack}
command -v sox >/dev/null || { echo "sox is needed" >&2; exit 1; }

WORK=$(mktemp -d)
trap 'stop_server; rm -rf "$WORK"' EXIT
sox -n -r 44100 -b 16 -c 2 "$WORK/a.wav" synth 300 sine 440 vol 0.4
sox -n -r 44100 -b 16 -c 2 "$WORK/b.wav" synth 300 pinknoise vol 0.3
sox -n -r 44100 -b 16 -c 2 "$WORK/p.wav" synth 60 sine 880 vol 0.3

# The main thread's work: a load every 4 s (alternating decks, both playing
# again), the preview opened and moved, the meters read and a recording made
# throughout (drained by the periodic update).
{
  echo "at 0 load a $WORK/a.wav"
  echo "at 0 load b $WORK/b.wav"
  echo "at 0.1 play a"
  echo "at 0.1 play b"
  echo "at 0.2 record start $WORK/rec.wav"
  echo "at 0.3 preview open $WORK/p.wav"
  t=1
  while [ $t -lt $((T - 1)) ]; do
    d=a; [ $((t / 4 % 2)) -eq 1 ] && d=b
    if [ $((t % 4)) -eq 0 ]; then
      echo "at $t load $d $WORK/$d.wav"
      echo "at $t.05 play $d"
    fi
    echo "at $t.5 preview seek $((t % 50))"
    echo "at $t.6 meters"
    t=$((t + 1))
  done
  echo "at $((T - 1)) record stop"
  echo "at $T end"
} >"$WORK/script.txt"

JACK_PID=""
start_server() {  # block: a private dummy server whose period is the block
  [ "$DEVICE" = jack ] || return 0
  export JACK_DEFAULT_SERVER="zonda-xruns-$$" JACK_NO_AUDIO_RESERVATION=1
  jackd --no-realtime -n "$JACK_DEFAULT_SERVER" -d dummy -r 44100 -p "$1" -C 4 -P 4 >"$WORK/jackd.log" 2>&1 &
  JACK_PID=$!
  for _ in $(seq 1 150); do jack_lsp >/dev/null 2>&1 && return 0; sleep 0.2; done
  echo "the JACK dummy server did not start" >&2
  exit 1
}
stop_server() {
  [ -n "$JACK_PID" ] && kill "$JACK_PID" 2>/dev/null && wait "$JACK_PID" 2>/dev/null || true
  JACK_PID=""
}

run() {  # label dir block
  start_server "$3"
  dir=$2
  mkdir -p "$WORK/$1-$3"
  ZONDA_PROGRAM_DIR="$WORK/$1-$3" XDG_CONFIG_HOME="$WORK/$1-$3" ZONDA_AUDIO_VERBOSE=1 ZONDA_AUDIO_BLOCK=$3 \
    sh -c "ln -s '$dir/zonda/'*.so '$WORK/$1-$3/'; '$dir/zonda/zonda-engine' --device $DEVICE '$WORK/script.txt'" \
    >/dev/null 2>"$WORK/$1-$3.err" || true
  stop_server
  printf '%-7s block %-4s %s\n' "$1" "$3" "$(grep -o 'after [0-9]* blocks, [0-9]* xruns' "$WORK/$1-$3.err" | tail -1)"
}

echo "# xruns over ${T}s, device $DEVICE, load average $(cut -d' ' -f1-3 /proc/loadavg)"
for block in $BLOCKS; do
  [ -n "$BEFORE" ] && run before "$BEFORE" "$block"
  run after "$AFTER" "$block"
  peer=$AFTER/bench/bench_ilvex_roundtrip
  if [ "$DEVICE" = jack ] && [ -x "$peer" ]; then
    ZONDA_BENCH_SECONDS=$T "$peer" --benchmark_filter="frames:$block/peer:1/" 2>/dev/null | grep -E "^BM_" | sed 's/^/peer    /'
  fi
done
