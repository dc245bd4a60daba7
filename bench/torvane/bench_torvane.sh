#!/usr/bin/env bash
# The cost of one deck's LADSPA low-pass through libtorvane.so (256-frame
# blocks, bench_torvane) against the same plug-in run by applyplugin, ladspa-sdk's
# plain host, in the same run, as shares of real time, and their ratio.
#
#   bench/torvane/bench_torvane.sh BUILD_DIR [SECONDS]
#
# BUILD_DIR is a Release build with benchmarks, e.g.
#   cmake -S . -B build/bench -DCMAKE_BUILD_TYPE=Release -DZONDA_BENCH=ON -DZONDA_TESTS=OFF
#   cmake --build build/bench --target bench_torvane
# A deck is stereo and the low-pass is mono, so the bridge runs two instances;
# applyplugin matches a file's channels to the plug-in's inputs, so it gets a
# mono WAV twice as long: the same number of samples through the same plug-in.
# Its time includes reading and writing the WAV and starting the process; the
# best of five runs of each is taken.
set -euo pipefail
build=${1:?usage: bench_torvane.sh BUILD_DIR [SECONDS]}
seconds=${2:-60}
bench=$build/bench/bench_torvane
plugin_dir=/usr/lib/ladspa
for tool in applyplugin sox python3; do
  command -v "$tool" >/dev/null || { echo "missing tool: $tool" >&2; exit 1; }
done
[ -x "$bench" ] || { echo "no $bench: build the target bench_torvane in $build" >&2; exit 1; }
[ -f "$plugin_dir/filter.so" ] || { echo "missing $plugin_dir/filter.so (ladspa-sdk)" >&2; exit 1; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

ZONDA_BENCH_SECONDS=$seconds ZONDA_BENCH_LADSPA="ladspa:$plugin_dir/filter.so:1041" \
  "$bench" --benchmark_repetitions=5 --benchmark_format=json >"$work/torvane.json"
sox -n -r 44100 -c 1 -b 16 "$work/in.wav" synth $((2 * seconds)) sine 200 sine 5000 gain -6

python3 - "$work" "$seconds" <<'PY'
import json, os, resource, subprocess, sys
work, seconds = sys.argv[1], float(sys.argv[2])
runs = [b for b in json.load(open(os.path.join(work, "torvane.json")))["benchmarks"]
        if b.get("run_type") == "iteration"]
torvane = min(b["cpu_share"] for b in runs)

env = dict(os.environ, LADSPA_PATH="/usr/lib/ladspa")
def applyplugin(*plugin):
    best = None
    for _ in range(5):
        before = resource.getrusage(resource.RUSAGE_CHILDREN)
        subprocess.run(["applyplugin", os.path.join(work, "in.wav"), os.path.join(work, "out.wav"), *plugin],
                       env=env, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        after = resource.getrusage(resource.RUSAGE_CHILDREN)
        cpu = (after.ru_utime - before.ru_utime) + (after.ru_stime - before.ru_stime)
        best = cpu if best is None else min(best, cpu)
    return best / seconds
plain = applyplugin("filter.so", "lpf", "440")
files = applyplugin("amp.so", "amp_mono", "1")  # the same run through a 0 dB amplifier: mostly file work

print(f'"Simple Low Pass Filter" (ladspa-sdk filter.so, 1041) at 440 Hz, {seconds:g} s of one stereo deck at 44100 Hz')
print(f"  libtorvane.so, processshortint, 256-frame blocks: {100 * torvane:.4f} % of real time per deck")
print(f"  applyplugin, mono WAV of {2 * seconds:g} s (file I/O included): {100 * plain:.4f} % of real time per deck")
print(f"    of which reading, converting and writing the files (a 0 dB amp_mono run): {100 * files:.4f} %")
print(f"  ratio libtorvane.so / applyplugin: {torvane / plain:.2f}")
PY
