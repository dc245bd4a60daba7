#!/bin/bash
# Tempo accuracy, sync drift and cost of the beat analysis, beside two peers
# measured in the same run: `aubio tempo` (Debian aubio-tools) and `bpm`
# (Debian bpm-tools, fed by sox as its manual shows).
#
#   bench/beats/bench_beats.sh BUILD_DIR
#
# BUILD_DIR: a Release build folder with zonda/zonda-analyse,
# zonda/zonda-engine and bench-tools/beatgen, bench-tools/onset_drift
# (cmake -DCMAKE_BUILD_TYPE=Release -DZONDA_BENCH=ON; targets zonda-analyse
# zonda-engine beatgen onset_drift). The peers are installed with apt-get when
# missing. Settings (environment): TRACK_SECONDS=45 TRACKS=66 DRIFT_SECONDS=180
#
# 1. Accuracy: TRACKS generated tracks (70..180 BPM, fractional tempos; styles
#    four-on-the-floor, breakbeat, swing, half-time, drumless intro, noise,
#    silence gaps) through zonda-analyse (--slow below 120 BPM, the normal
#    range from 120), aubio tempo and bpm. Acc1: within 4 % of the true
#    tempo; Acc2: also counting x2, x1/2, x3, x1/3. Tracks inside the analysis's
#    ranges (75..119 slow, 120..149 normal) are reported apart from the others.
# 2. Sync drift: pairs of kick tracks (deck A kicks on the left, deck B on the
#    right), deck B playing, SYNC on deck A at 8 s, DRIFT_SECONDS of play
#    rendered offline by zonda-engine; onset_drift measures the phase of A's
#    kicks against B's every 10 s from the rendered master.
# 3. Cost: CPU time (user + system) to analyse one 6-minute track.
set -eu

BUILD=$(cd "${1:?usage: bench_beats.sh BUILD_DIR}" && pwd)
SECS=${TRACK_SECONDS:-45}
TRACKS=${TRACKS:-66}
DRIFT=${DRIFT_SECONDS:-180}
GEN=$BUILD/bench-tools/beatgen
DRIFTTOOL=$BUILD/bench-tools/onset_drift
for f in "$BUILD/zonda/zonda-analyse" "$BUILD/zonda/zonda-engine" "$GEN" "$DRIFTTOOL"; do
  [ -x "$f" ] || { echo "no $f" >&2; exit 1; }
done
if ! command -v aubio >/dev/null || ! command -v bpm >/dev/null || ! command -v sox >/dev/null; then
  apt-get install -y --no-install-recommends aubio-tools bpm-tools sox >/dev/null
fi

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
# A private program folder: the analyser files its results in the song
# settings beside the program, not in the build's.
mkdir -p "$WORK/prog"
for so in "$BUILD"/zonda/*.so; do ln -s "$so" "$WORK/prog/"; done
ZA() { ZONDA_PROGRAM_DIR="$WORK/prog" "$BUILD/zonda/zonda-analyse" "$@"; }
ZE() { ZONDA_PROGRAM_DIR="$WORK/prog" XDG_CONFIG_HOME="$WORK/prog" "$BUILD/zonda/zonda-engine" "$@"; }

aubio_bpm() { aubio tempo "$1" 2>/dev/null | awk '/bpm/ { v = $1 } END { print v + 0 }'; }
bpmtools_bpm() { sox "$1" -t raw -r 44100 -e float -c 1 - 2>/dev/null | bpm 2>/dev/null || echo 0; }

STYLES=(four break swing halftime intro noise gaps)
RESULTS=$WORK/results.txt
: >"$RESULTS"
echo "== accuracy: $TRACKS tracks of $SECS s"
for ((i = 0; i < TRACKS; i++)); do
  bpm=$(awk -v i="$i" -v n="$TRACKS" 'BEGIN { printf "%.1f", 70 + i * 110.0 / (n - 1) + (i % 3) * 0.3 }')
  style=${STYLES[$((i % ${#STYLES[@]}))]}
  file=$WORK/t$i.wav
  "$GEN" "$style" "$bpm" "$SECS" "$file" "$((i + 1))"
  if awk -v b="$bpm" 'BEGIN { exit !(b < 120) }'; then slow=--slow; else slow=; fi
  z=$(ZA $slow "$file" | cut -f1)
  a=$(aubio_bpm "$file")
  p=$(bpmtools_bpm "$file")
  echo "$bpm $style $z $a $p" >>"$RESULTS"
  rm -f "$file"
done
awk '
function ok1(e, t) { return e > 0 && (e - t < 0 ? t - e : e - t) <= 0.04 * t }
function ok2(e, t) { return ok1(e, t) || ok1(e, 2 * t) || ok1(e, t / 2) || ok1(e, 3 * t) || ok1(e, t / 3) }
{
  t = $1; g = (t >= 75 && t < 150) ? "inside" : "outside"
  n[g]++
  for (k = 0; k < 3; k++) { e = $(3 + k); a1[g, k] += ok1(e, t); a2[g, k] += ok2(e, t) }
  printf "  %6.1f %-9s zonda %5s  aubio %7s  bpm %7s\n", t, $2, $3, $4, $5
}
END {
  split("zonda-analyse,aubio tempo,bpm", name, ",")
  for (gi = 1; gi <= 2; gi++) {
    g = gi == 1 ? "inside" : "outside"
    if (!n[g]) continue
    printf "%s the ranges (%d tracks):\n", g == "inside" ? "inside" : "outside", n[g]
    for (k = 0; k < 3; k++)
      printf "  %-14s Acc1 %5.1f %%  Acc2 %5.1f %%\n", name[k + 1], 100 * a1[g, k] / n[g], 100 * a2[g, k] / n[g]
  }
}' "$RESULTS"

echo "== sync drift: $DRIFT s after SYNC, rendered offline"
for pair in "124.0 127.3 normal" "121.7 128.0 normal" "130.0 126.5 normal" "95.0 97.5 slow"; do
  set -- $pair
  "$GEN" kicks "$1" $((DRIFT + 20)) "$WORK/a.wav" 3 1
  "$GEN" kicks "$2" $((DRIFT + 20)) "$WORK/b.wav" 7 2
  {
    echo "at 0 load a $WORK/a.wav"
    echo "at 0 load b $WORK/b.wav"
    if [ "$3" = slow ]; then echo "at 0 slowbpm a on"; echo "at 0 slowbpm b on"; fi
    echo "at 0 play b"
    echo "at 8 sync a"
    echo "at $((8 + DRIFT)) end"
  } >"$WORK/script.txt"
  ZE --offline --master-only --out "$WORK/mix.wav" "$WORK/script.txt" >/dev/null
  printf "  A %s -> B %s: " "$1" "$2"
  "$DRIFTTOOL" "$WORK/mix.wav" "$2" 8 | tail -1
done
rm -f "$WORK/a.wav" "$WORK/b.wav" "$WORK/mix.wav"

echo "== cost: CPU seconds (user + system) for one 6-minute track"
"$GEN" four 126.0 360 "$WORK/long.wav" 11
cpu() {  # the command's user + system seconds: this shell's waited-for children
  local me=$BASHPID start end
  start=$(awk '{ print $14 + $15 + $16 + $17 }' /proc/$me/stat)
  "$@" >/dev/null 2>&1
  end=$(awk '{ print $14 + $15 + $16 + $17 }' /proc/$me/stat)
  echo "$start $end" | awk -v hz="$(getconf CLK_TCK)" '{ printf "%.2f", ($2 - $1) / hz }'
}
tz=$(cpu ZA "$WORK/long.wav")
ta=$(cpu aubio tempo "$WORK/long.wav")
tb=$(cpu sh -c "sox '$WORK/long.wav' -t raw -r 44100 -e float -c 1 - | bpm")
echo "  zonda-analyse $tz s   aubio tempo $ta s   bpm (with sox) $tb s"
awk -v z="$tz" -v a="$ta" -v b="$tb" 'BEGIN { printf "  ratio zonda/aubio %.2f   zonda/bpm %.2f\n", z / a, z / b }'
