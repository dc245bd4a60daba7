#!/bin/bash
# Cost per deck of each shipped effect against sox's nearest effect, both
# measured in the same run of bench_effects, as CPU share and as a ratio.
#
#   bench/effects/bench_effects.sh BUILD_DIR
#
# BUILD_DIR: a Release build folder with bench/bench_effects and the modules
# in zonda/effects/ (cmake -DCMAKE_BUILD_TYPE=Release -DZONDA_BENCH=ON
# -DZONDA_TESTS=OFF; target bench_effects, which builds the modules). This
# script builds nothing.
#
# Per effect: ns per stereo frame for ours and for sox (sox less its cost of
# reading the file, BM_Sox/none), our CPU share of one core per deck at
# 256-frame blocks (target under 0.1 %), and ours / sox.
set -eu

BUILD=$(cd "${1:?usage: bench_effects.sh BUILD_DIR}" && pwd)
BENCH=$BUILD/bench/bench_effects
[ -x "$BENCH" ] || { echo "no $BENCH" >&2; exit 1; }
command -v sox >/dev/null || { echo "sox is not installed" >&2; exit 1; }

CSV=$(mktemp)
trap 'rm -f "$CSV"' EXIT
ZONDA_PROGRAM_DIR=$BUILD/zonda "$BENCH" --benchmark_format=csv 2>/dev/null >"$CSV"

awk -F, '
NR == 1 { for (i = 1; i <= NF; i++) { gsub(/"/, "", $i); col[$i] = i }; next }
{
  gsub(/"/, "", $1)
  split($1, part, "/")
  t = $(col["time_per_frame"])
  if (part[1] == "BM_Effect") { ours[part[2]] = t; share[part[2]] = $(col["core_pct"]); order[++n] = part[2] }
  if (part[1] == "BM_Sox") sox[part[2]] = t
  if (part[1] == "BM_EffectStart") first[part[2]] = $(col["cpu_time"])
}
END {
  base = sox["none"]
  printf "%-12s %12s %14s %14s %10s\n", "effect", "ours ns/fr", "% core/deck", "sox ns/fr", "ours/sox"
  for (k = 1; k <= n; k++) {
    e = order[k]
    net = sox[e] - base
    printf "%-12s %12.2f %14.4f %14.2f %10.3f%s\n", e, ours[e] * 1e9, share[e], net * 1e9,
           (net > 0 ? ours[e] / net : 0), (share[e] < 0.1 ? "" : "   over 0.1 %")
  }
  printf "sox reading the file alone: %.2f ns per frame (taken off the sox figures)\n", base * 1e9
  for (e in first) printf "first block after start, %s: %.0f us (clears its delay lines)\n", e, first[e]
}' "$CSV"
