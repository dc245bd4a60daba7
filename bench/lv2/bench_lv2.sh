#!/bin/sh
# Cost per deck of an LV2 low-pass at 256-frame blocks: libilvex.so's
# vst_process against a bare lilv loop (both in bench_lv2_lowpass) and against
# lv2apply running the same plug-in on a WAV of the same length, in the same run.
#
#   bench/lv2/bench_lv2.sh [BUILD_DIR] [SECONDS] [ROUNDS]
#
# BUILD_DIR is a Release bench build (default build/bench:
#   cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DZONDA_BENCH=ON -DZONDA_TESTS=OFF
#   cmake --build build/bench --target bench_lv2_lowpass).
# The plug-in is Invada's stereo low-pass (1 kHz at its defaults; Debian package
# invada-studio-plugins-lv2), seen alone through a private LV2_PATH so every side
# loads the same small world. lv2apply's cost is its CPU time on the long WAV less
# its CPU time on a 0.1 s WAV (start-up, world loading), best of ROUNDS; it also
# reads and writes the files, so it stands for a plain offline host, not a bare loop.
set -eu

BUILD=${1:-build/bench}
AUDIO_SECONDS=${2:-60}
ROUNDS=${3:-3}
BENCH=$BUILD/bench/bench_lv2_lowpass
URI=http://invadarecords.com/plugins/lv2/filter/lpf/stereo
[ -x "$BENCH" ] || { echo "no $BENCH (build the bench_lv2_lowpass target in a Release bench build)" >&2; exit 1; }
for tool in lv2apply sox python3; do
  command -v $tool >/dev/null || { echo "$tool is needed (Debian packages lilv-utils, sox, python3)" >&2; exit 1; }
done
BUNDLE=""
for dir in /usr/lib/lv2 /usr/local/lib/lv2 /usr/lib/x86_64-linux-gnu/lv2; do
  [ -d "$dir/invada.lv2" ] && BUNDLE=$dir/invada.lv2 && break
done
[ -n "$BUNDLE" ] || { echo "invada.lv2 is not installed (Debian package invada-studio-plugins-lv2)" >&2; exit 1; }

WORK=$(mktemp -d)
trap 'rm -rf "$WORK"' EXIT
mkdir "$WORK/lv2"
ln -s "$BUNDLE" "$WORK/lv2/invada.lv2"
LV2_PATH=$WORK/lv2
export LV2_PATH

# The same two tones the bench program feeds (100 Hz and 8 kHz, 0.3 each).
sox -n -r 44100 -c 2 -b 16 "$WORK/long.wav" synth "$AUDIO_SECONDS" sine 100 synth "$AUDIO_SECONDS" sine mix 8000 vol 0.6
sox -n -r 44100 -c 2 -b 16 "$WORK/short.wav" synth 0.1 sine 100

"$BENCH" "$AUDIO_SECONDS" "$ROUNDS" "$URI" | tee "$WORK/bench.txt" | grep -v '^  ('

# CPU seconds (user + system) of one lv2apply run.
cpu_of() {
  python3 - "$@" <<'PY'
import resource, subprocess, sys
before = resource.getrusage(resource.RUSAGE_CHILDREN)
subprocess.run(sys.argv[1:], check=True, stdout=subprocess.DEVNULL)
after = resource.getrusage(resource.RUSAGE_CHILDREN)
print(f"{(after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime):.4f}")
PY
}

best=""
for r in $(seq "$ROUNDS"); do
  long=$(cpu_of lv2apply -i "$WORK/long.wav" -o "$WORK/out.wav" "$URI")
  short=$(cpu_of lv2apply -i "$WORK/short.wav" -o "$WORK/out-short.wav" "$URI")
  net=$(python3 -c "print(f'{max($long - $short, 1e-6):.4f}')")
  if [ -z "$best" ] || python3 -c "import sys; sys.exit(0 if $net < $best else 1)"; then best=$net; fi
done

python3 - "$WORK/bench.txt" "$best" "$AUDIO_SECONDS" <<'PY'
import sys
values = {}
for line in open(sys.argv[1]):
    words = line.split()
    for i in range(0, len(words) - 1, 2):
        values[words[i]] = words[i + 1]
lv2apply = float(sys.argv[2])
seconds = float(sys.argv[3])
ours = float(values["vst_process_cpu_seconds"])
print(f"lv2apply_cpu_seconds {lv2apply:.4f} realtime_share {lv2apply / seconds:.5f} (start-up subtracted; includes WAV reading and writing)")
print(f"ratio_vst_process_to_lv2apply {ours / lv2apply:.3f}")
PY
