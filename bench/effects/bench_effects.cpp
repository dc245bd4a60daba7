// Cost per deck of each shipped effect: its module dlopen'ed as a slot loads
// it, "process" on 256-frame blocks of one deck's stereo signal, and sox's
// nearest effect on a 60-second file of the same signal as the peer, in the
// same run.
//
//   bench_effects --benchmark_counters_tabular=true   (bench_effects.sh prints ratios)
//
// time_per_frame (seconds) is the figure to compare; core_pct is a block's
// CPU time as a share of the block's 5.805 ms of audio (the target: under
// 0.1 %). Ours is CPU time of this thread; sox's is the CPU time (user +
// system) of the sox process, so both hold on a busy machine. Sox's includes
// reading the file: BM_Sox/none gives that part alone. BM_EffectStart is the
// one-off cost of the first block after "start".
//
// Peers: echo, flanger, phaser, reverb match; sox has no ping-pong delay (a
// two-tap echo stands in), no swept filter (a fixed two-pole low-pass), no bit
// crusher (overdrive, another per-sample waveshaper) and no gate (compand set
// up as one, as its manual shows).
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "tests/effects/native/EffectModule.h"
#include "tests/support/TestFiles.h"

namespace zonda {
namespace {

constexpr int64_t kBlockFrames = 256;
constexpr double kBlockSeconds = kBlockFrames / 44100.0;

// Music-like: two chords and a little noise, both channels different.
std::vector<int16_t> Music(int64_t frames) {
  auto a = test::SineStereo(frames, 110.0, 165.0, 0.3);
  auto b = test::SineStereo(frames, 1760.0, 2500.0, 0.2);
  for (size_t i = 0; i < a.size(); ++i) a[i] = static_cast<int16_t>(a[i] + b[i] + int(i * 7919 % 2001) - 1000);
  return a;
}

// The module of `file`, from the installation tree of this build unless
// ZONDA_PROGRAM_DIR names another; false after reporting the error.
bool OpenModule(benchmark::State& state, test::TEffectModule& module, const char* file) {
  setenv("ZONDA_PROGRAM_DIR", ZONDA_BENCH_PROGRAM_DIR, 0);
  if (module.Open(file)) return true;
  state.SkipWithError(module.error.c_str());
  return false;
}

void SetCounters(benchmark::State& state, int64_t framesPerIteration) {
  state.counters["time_per_frame"] = benchmark::Counter(
      double(framesPerIteration), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.SetItemsProcessed(state.iterations() * framesPerIteration);
}

void BM_Effect(benchmark::State& state, const char* file) {
  test::TEffectModule module;
  if (!OpenModule(state, module, file)) return;
  const auto source = Music(10 * 44100);
  std::vector<int16_t> block(2 * kBlockFrames);
  size_t pos = 0;
  {
    test::TEffectInstance fx(module);
    for (auto _ : state) {
      if (pos + block.size() > source.size()) pos = 0;
      std::copy_n(source.begin() + long(pos), block.size(), block.begin());
      pos += block.size();
      fx.Process(block, 126.0);
      benchmark::DoNotOptimize(block.data());
    }
  }
  SetCounters(state, kBlockFrames);
  state.counters["core_pct"] = benchmark::Counter(double(state.iterations()) * kBlockSeconds / 100.0,
                                                  benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK_CAPTURE(BM_Effect, echo, "echo.so");
BENCHMARK_CAPTURE(BM_Effect, pingpong, "pingpong.so");
BENCHMARK_CAPTURE(BM_Effect, flanger, "flanger.so");
BENCHMARK_CAPTURE(BM_Effect, phaser, "phaser.so");
BENCHMARK_CAPTURE(BM_Effect, reverb, "reverb.so");
BENCHMARK_CAPTURE(BM_Effect, filtersweep, "filtersweep.so");
BENCHMARK_CAPTURE(BM_Effect, bitcrusher, "bitcrusher.so");
BENCHMARK_CAPTURE(BM_Effect, gate, "gate.so");

// The first block after "start": the reset (clearing delay lines and tails,
// on the audio thread) is a one-off cost on top of a block's.
void BM_EffectStart(benchmark::State& state, const char* file) {
  test::TEffectModule module;
  if (!OpenModule(state, module, file)) return;
  const auto source = Music(kBlockFrames);
  std::vector<int16_t> block(2 * kBlockFrames);
  test::TEffectInstance fx(module, nullptr, false);
  for (auto _ : state) {
    std::copy(source.begin(), source.end(), block.begin());
    module.start(fx.handle());
    fx.Process(block, 126.0);
    benchmark::DoNotOptimize(block.data());
  }
}
BENCHMARK_CAPTURE(BM_EffectStart, echo, "echo.so")->Unit(benchmark::kMicrosecond);
BENCHMARK_CAPTURE(BM_EffectStart, reverb, "reverb.so")->Unit(benchmark::kMicrosecond);

// sox on a 60-second stereo file of the same signal, writing nothing (-n).
void BM_Sox(benchmark::State& state, const char* effect) {
  if (!test::HaveTool("sox")) {
    state.SkipWithError("sox not installed");
    return;
  }
  constexpr int64_t kFrames = 60 * 44100;
  test::TempDir dir;
  const std::string in = dir.file("in.wav");
  test::WriteDeckWav(in, Music(kFrames));
  auto childCpuSeconds = [] {
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + 1e-6 * double(u.ru_utime.tv_usec + u.ru_stime.tv_usec);
  };
  for (auto _ : state) {
    const double t0 = childCpuSeconds();
    if (test::Run("sox -q '" + in + "' -n " + effect) != 0) {
      state.SkipWithError("sox failed");
      return;
    }
    state.SetIterationTime(childCpuSeconds() - t0);
  }
  SetCounters(state, kFrames);
}
#define ZONDA_SOX_PEER(name, effect) \
  BENCHMARK_CAPTURE(BM_Sox, name, effect)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond)
ZONDA_SOX_PEER(none, "");
ZONDA_SOX_PEER(echo, "echo 0.8 0.88 250 0.45");
ZONDA_SOX_PEER(pingpong, "echo 0.8 0.88 250 0.5 500 0.25");
ZONDA_SOX_PEER(flanger, "flanger");
ZONDA_SOX_PEER(phaser, "phaser 0.8 0.74 3 0.4 0.5 -s");
ZONDA_SOX_PEER(reverb, "reverb");
ZONDA_SOX_PEER(filtersweep, "lowpass 1000");
ZONDA_SOX_PEER(bitcrusher, "overdrive");
ZONDA_SOX_PEER(gate, "compand .1,.2 -inf,-50.1,-inf,-50,-50 0 -90 .1");

}  // namespace
}  // namespace zonda

BENCHMARK_MAIN();
