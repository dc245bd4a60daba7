#!/bin/sh
# Offline render speed of zonda-engine against sox.
#
#   bench/host/bench_host.sh [BUILD_DIR] [RUNS]
#
# BUILD_DIR is a Release build holding zonda/zonda-engine (default
# build/release: cmake -S . -B build/release -DCMAKE_BUILD_TYPE=Release &&
# cmake --build build/release --target zonda-engine). Two 10-minute WAVs are
# generated; zonda-engine --offline renders a 10-minute two-deck mix of them
# (both decks playing through their full chains, crossfader moves, equaliser,
# filter, pitch with key lock) and `sox -m` mixes the same two files, each
# RUNS times (default 3) in the same run; the best wall time of each counts.
# Prints wall times, the real-time factors and the ratio to sox.
set -eu

BUILD=${1:-build/release}
RUNS=${2:-3}
ENGINE=$BUILD/zonda/zonda-engine
[ -x "$ENGINE" ] || { echo "no $ENGINE (build the zonda-engine target in Release)" >&2; exit 1; }
for tool in sox bc /usr/bin/time; do
  command -v $tool >/dev/null || { echo "$tool is needed (Debian packages sox, bc, time)" >&2; exit 1; }
done

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
SECONDS_LONG=600

# Two tracks with broadband content, so the filters and equalisers have work.
sox -n -r 44100 -c 2 -b 16 "$WORK/a.wav" synth $SECONDS_LONG pinknoise vol 0.3
sox -n -r 44100 -c 2 -b 16 "$WORK/b.wav" synth $SECONDS_LONG sine 110-880 sine 330 vol 0.4

{
  echo "at 0 load a a.wav"
  echo "at 0 load b b.wav"
  echo "at 0 play a"
  echo "at 0 play b"
  echo "at 0 pitch b 2.00"
  echo "at 0 keylock b on"
  echo "at 0 eq a low -4"
  echo "at 0 eq b high 3"
  t=30
  while [ $t -lt $SECONDS_LONG ]; do
    echo "at $t crossfader $(( (t / 30) % 2 * 127 ))"
    echo "at $t filter a $(( (t / 30) % 5 * 10 - 20 ))"
    echo "at $t eq b mid $(( (t / 30) % 3 - 1 ))"
    t=$((t + 30))
  done
  echo "at $SECONDS_LONG end"
} > "$WORK/mix.txt"

# Best wall time of RUNS runs of "$@", with that run's CPU time (user + system):
# the machine may be shared, and CPU time shows the work apart from waiting.
best() {
  b=""
  c=""
  i=0
  while [ $i -lt "$RUNS" ]; do
    /usr/bin/time -f "%e %U %S" -o "$WORK/time.txt" "$@" > /dev/null 2>"$WORK/err.txt" || { cat "$WORK/err.txt" >&2; exit 1; }
    read -r w u s < "$WORK/time.txt"
    if [ -z "$b" ] || [ "$(echo "$w < $b" | bc -l)" = 1 ]; then b=$w; c=$(echo "$u + $s" | bc -l); fi
    i=$((i + 1))
  done
  echo "$b $c"
}

cd "$WORK"
export ZONDA_PROGRAM_DIR="$WORK"   # the decks' song settings file stays here
ENGINE_ABS=$(cd "$OLDPWD" && cd "$(dirname "$ENGINE")" && pwd)/zonda-engine
set -- $(best "$ENGINE_ABS" --offline --out out4.wav mix.txt); engine4=$1; engine4cpu=$2
set -- $(best "$ENGINE_ABS" --offline --master-only --out out2.wav mix.txt); engine2=$1; engine2cpu=$2
set -- $(best sox -m a.wav b.wav out.wav); soxmix=$1; soxcpu=$2

report() {  # name wall cpu
  printf '%-40s %7.2f s wall %6.1fx real time %5.2fx sox | %6.2f s CPU %5.2fx sox\n' "$1" "$2" \
    "$(echo "$SECONDS_LONG / $2" | bc -l)" "$(echo "$2 / $soxmix" | bc -l)" "$3" "$(echo "$3 / $soxcpu" | bc -l)"
}
echo "10-minute two-deck mix, best of $RUNS, $(nproc) cores, load average $(cut -d' ' -f1 /proc/loadavg)"
report "zonda-engine --offline (4 channels)" "$engine4" "$engine4cpu"
report "zonda-engine --offline --master-only" "$engine2" "$engine2cpu"
report "sox -m a.wav b.wav out.wav" "$soxmix" "$soxcpu"
