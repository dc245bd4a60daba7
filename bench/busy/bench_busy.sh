#!/bin/sh
# A busy machine must not silence a playing deck: real-time zonda-engine runs
# on the null device (or JACK) beside ordinary busy processes (nice 0).
#
#   bench/busy/bench_busy.sh AFTER_DIR [BEFORE_DIR]
#
# AFTER_DIR and BEFORE_DIR are Release build folders holding zonda/zonda-engine
# and bench-tools/silence_scan (cmake -DCMAKE_BUILD_TYPE=Release -DZONDA_BENCH=ON,
# targets zonda-engine zonda_ilvex silence_scan); BEFORE_DIR is an older build
# to compare with in the same run. Settings (environment):
#   BUSY_LEVELS="0 2 4 8"  FORMATS="wav mp3 flac ogg"  PLAY_SECONDS=60
#   DEVICE=null|jack  (jack needs a running server)
# Each run loads a track into each deck (deck A: a tone on the left channel,
# deck B: a tone on the right), starts recording and PLAY on both at once,
# seeks deck A at 20 s into a part not decoded yet, and records the master for
# PLAY_SECONDS. The recording is scanned per channel: the delay of the first
# sound after PLAY, and the longest silence after it (deck A: the seek's gap;
# deck B never seeks, so any gap is silence during play). The busy processes
# are `dd if=/dev/zero of=/dev/null`; their throughput during the run shows
# what the decks' priority costs the rest of the machine.
set -eu

AFTER=$(cd "${1:?usage: bench_busy.sh AFTER_DIR [BEFORE_DIR]}" && pwd)
BEFORE=${2:+$(cd "$2" && pwd)}
LEVELS=${BUSY_LEVELS:-0 2 4 8}
FORMATS=${FORMATS:-wav mp3 flac ogg}
T=${PLAY_SECONDS:-60}
DEVICE=${DEVICE:-null}
for tool in sox lame ffmpeg oggenc dd timeout bc; do
  command -v $tool >/dev/null || { echo "$tool is needed (Debian: sox lame ffmpeg vorbis-tools coreutils bc)" >&2; exit 1; }
done
SCAN=$AFTER/bench-tools/silence_scan
[ -x "$SCAN" ] || { echo "no $SCAN" >&2; exit 1; }
for dir in $AFTER $BEFORE; do
  [ -x "$dir/zonda/zonda-engine" ] ||
    { echo "no zonda/zonda-engine in $dir" >&2; exit 1; }
done

WORK=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; rm -rf "$WORK"' EXIT
LEN=$((T + 30))
sox -n -r 44100 -b 16 -c 1 "$WORK/mono.wav" synth $LEN sine 1000 vol 0.5
sox "$WORK/mono.wav" "$WORK/a.wav" remix 1 0
sox "$WORK/mono.wav" "$WORK/b.wav" remix 0 1
for d in a b; do
  lame --quiet -b 192 "$WORK/$d.wav" "$WORK/$d.mp3"
  ffmpeg -loglevel error -y -i "$WORK/$d.wav" "$WORK/$d.flac"
  oggenc -Q -q 5 -o "$WORK/$d.ogg" "$WORK/$d.wav"
done

SEEK_AT=20
[ "$T" -lt 25 ] && SEEK_AT=$((T / 2))
run_one() {  # dir format busy -> one result line
  dir=$1 fmt=$2 busy=$3
  run=$WORK/run-$$-$fmt-$busy-$(basename "$dir")
  mkdir -p "$run"
  cat >"$run/script.txt" <<SCRIPT
at 0 load a $WORK/a.$fmt
at 0 load b $WORK/b.$fmt
at 1 record start $run/rec.wav
at 1 play a
at 1 play b
at $SEEK_AT seek a 40
at $((T + 1)) record stop
SCRIPT
  # Builds that count missing audio report it too.
  if "$dir/zonda/zonda-engine" --help 2>&1 | grep -q '^  report'; then
    echo "at $((T + 1)).1 report" >>"$run/script.txt"
  fi
  echo "at $((T + 1)).2 end" >>"$run/script.txt"
  i=0
  while [ $i -lt "$busy" ]; do
    timeout -s INT $((T + 60)) dd if=/dev/zero of=/dev/null bs=4k 2>"$run/busy$i.log" &
    i=$((i + 1))
  done
  sleep 1
  start=$(date +%s.%N)
  # A fresh settings folder, so the song memory of one run does not feed the next.
  XDG_CONFIG_HOME=$run ZONDA_PROGRAM_DIR=$run sh -c "ln -s '$dir/zonda/'*.so '$run/' 2>/dev/null; \
    '$dir/zonda/zonda-engine' --device $DEVICE '$run/script.txt'" >"$run/out.txt" 2>"$run/err.txt" || true
  end=$(date +%s.%N)
  # timeout passes the signal on to its dd, which prints what it copied.
  pkill -INT -P $$ timeout 2>/dev/null || true
  wait 2>/dev/null || true
  bytes=0
  for f in "$run"/busy*.log; do
    [ -f "$f" ] || continue
    b=$(awk '/bytes/ {print $1}' "$f" | tail -1)
    bytes=$((bytes + ${b:-0}))
  done
  secs=$(echo "$end - $start + 1" | bc -l)  # the second before the run counts too
  gbps=$(echo "$bytes / $secs / 1000000000" | bc -l)
  scan=$("$SCAN" "$run/rec.wav" 0 2>&1 | tr '\n' ' ')
  report=$(grep -o 'report.*' "$run/out.txt" | head -1 || true)
  printf '%-5s busy=%s %-7s %s busy_GB/s=%.2f %s\n' "$fmt" "$busy" "$2" "$scan" "$gbps" "${report:-}"
}

echo "# busy-machine silence: $(nproc) cores, device $DEVICE, ${T}s of play, seek of deck A at ${SEEK_AT}s"
echo "# ch0 = deck A (PLAY, then the seek), ch1 = deck B (PLAY, then play only); gaps of 10 ms windows below -50 dBFS"
for fmt in $FORMATS; do
  for busy in $LEVELS; do
    if [ -n "$BEFORE" ]; then
      printf 'before '; run_one "$BEFORE" "$fmt" "$busy"
    fi
    printf 'after  '; run_one "$AFTER" "$fmt" "$busy"
  done
done
