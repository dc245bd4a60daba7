// The null device's pace against the clock: 441-frame blocks (100 a second)
// through libilvex.so for ZONDA_BENCH_SECONDS (default 10). Reported: the
// callbacks and the clock's count for the same time, their ratio (1.0 on an
// idle machine; a busy one loses the time it steals, since the device drops
// late blocks instead of catching up), late blocks (more than two blocks after
// the previous callback) and the largest gap.
//
//   ./build.sh bench   or   build/bench/bench/bench_ilvex_null
#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "engine/IlvexLibrary.h"

namespace zonda {
namespace {

using Clock = std::chrono::steady_clock;

std::atomic<int64_t> g_calls{0}, g_lastCallNs{0}, g_maxGapNs{0}, g_lateBlocks{0};
int64_t g_blockNs = 0;

int64_t NowNs() { return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch()).count(); }

int32_t OnInput(float*, int32_t frames) { return frames; }

int32_t OnOutput(float*, int32_t frames) {
  const int64_t now = NowNs();
  const int64_t last = g_lastCallNs.exchange(now);
  if (last != 0) {
    const int64_t gap = now - last;
    if (gap > g_maxGapNs.load()) g_maxGapNs.store(gap);
    if (gap > 2 * g_blockNs) g_lateBlocks.fetch_add(1);
  }
  g_calls.fetch_add(1);
  return frames;
}

void BM_IlvexNullPace(benchmark::State& state) {
  ::setenv("ZONDA_PROGRAM_DIR", ZONDA_BENCH_PROGRAM_DIR, 0);  // before the library is first looked up
  const int block = static_cast<int>(state.range(0));
  const char* secondsEnv = std::getenv("ZONDA_BENCH_SECONDS");
  const double seconds = secondsEnv ? std::atof(secondsEnv) : 10.0;
  ::setenv("ZONDA_AUDIO", "null", 1);
  ::setenv("ZONDA_AUDIO_BLOCK", std::to_string(block).c_str(), 1);
  g_blockNs = int64_t{block} * 1000000000 / 44100;
  for (auto _ : state) {
    g_calls = g_lastCallNs = g_maxGapNs = g_lateBlocks = 0;
    IlvexLibrary ilvex;
    if (!ilvex.Load() || ilvex.InitAudioIO(nullptr, &OnInput, &OnOutput) == 0) {
      state.SkipWithError("libilvex.so did not open the null device");
      return;
    }
    const auto start = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
    ilvex.DeinitAudioIO();
    const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
    state.SetIterationTime(elapsed);
    const double expected = elapsed * 44100.0 / block;
    state.counters["callbacks"] = double(g_calls.load());
    state.counters["callbacks_expected"] = expected;
    state.counters["pace"] = double(g_calls.load()) / expected;
    state.counters["late_blocks"] = double(g_lateBlocks.load());
    state.counters["max_gap_ms"] = double(g_maxGapNs.load()) / 1e6;
  }
}

BENCHMARK(BM_IlvexNullPace)->ArgNames({"frames"})->Arg(441)->Arg(64)->Iterations(1)->UseManualTime()->Unit(
    benchmark::kSecond);

}  // namespace
}  // namespace zonda

BENCHMARK_MAIN();
