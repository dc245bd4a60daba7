// Cost per frame of the deck chain's filters, and sox doing the same kind of
// work on a file as a peer measured in the same run.
//
//   bench_dsp --benchmark_counters_tabular=true
// time_per_frame (seconds, "n" = ns) is the figure to compare. Ours is CPU time
// of this thread; sox's is the CPU time (user + system) of the sox process, so
// both hold on a busy machine. Sox's includes reading and writing its files:
// BM_SoxCopy gives that part alone.
#include <benchmark/benchmark.h>

#include <sys/resource.h>

#include <cstdint>
#include <string>
#include <vector>

#include "dsp/FFTFilter.h"
#include "dsp/IIRFilter.h"
#include "tests/support/TestFiles.h"

namespace zonda {
namespace {

std::vector<int16_t> Music(int64_t frames) {
  auto a = test::SineStereo(frames, 110.0, 165.0, 0.3);
  auto b = test::SineStereo(frames, 1760.0, 2500.0, 0.2);
  for (size_t i = 0; i < a.size(); ++i) a[i] = static_cast<int16_t>(a[i] + b[i] + int(i * 7919 % 2001) - 1000);
  return a;
}

void SetCounters(benchmark::State& state, int64_t framesPerIteration) {
  state.counters["time_per_frame"] = benchmark::Counter(
      double(framesPerIteration), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.SetItemsProcessed(state.iterations() * framesPerIteration);
}

void BM_FFTFilterProcessStereo(benchmark::State& state) {
  const int64_t block = state.range(0);
  const auto source = Music(44100);
  TFFTFilter eq;
  eq.SetLowGain(-9);
  eq.SetMidGain(3);
  eq.SetHighGain(6);
  std::vector<int16_t> area(size_t(2 * block));
  size_t pos = 0;
  for (auto _ : state) {
    if (pos + area.size() > source.size()) pos = 0;
    std::copy_n(source.begin() + long(pos), area.size(), area.begin());
    pos += area.size();
    eq.ProcessStereo(area.data(), int32_t(block * 4));
    benchmark::DoNotOptimize(area.data());
  }
  SetCounters(state, block);
}
BENCHMARK(BM_FFTFilterProcessStereo)->Arg(256)->Arg(512)->Arg(2205);

void BM_IIRFilterProcessStereo(benchmark::State& state) {
  const int64_t block = state.range(0);
  const auto source = Music(44100);
  TIIRFilter filter;
  filter.SetCutoff(true, 1000.0f);
  std::vector<int16_t> area(size_t(2 * block));
  size_t pos = 0;
  for (auto _ : state) {
    if (pos + area.size() > source.size()) pos = 0;
    std::copy_n(source.begin() + long(pos), area.size(), area.begin());
    pos += area.size();
    filter.ProcessStereo(area.data(), int32_t(block * 4));
    benchmark::DoNotOptimize(area.data());
  }
  SetCounters(state, block);
}
BENCHMARK(BM_IIRFilterProcessStereo)->Arg(256)->Arg(2205);

// The copy both loops above pay, to subtract if wanted.
void BM_CopyOnly(benchmark::State& state) {
  const int64_t block = state.range(0);
  const auto source = Music(44100);
  std::vector<int16_t> area(size_t(2 * block));
  size_t pos = 0;
  for (auto _ : state) {
    if (pos + area.size() > source.size()) pos = 0;
    std::copy_n(source.begin() + long(pos), area.size(), area.begin());
    pos += area.size();
    benchmark::DoNotOptimize(area.data());
  }
  SetCounters(state, block);
}
BENCHMARK(BM_CopyOnly)->Arg(256);

// sox on a 60-second stereo file: a three-band equaliser, and a cascade of three
// two-pole low-passes (the same number of biquads as the cut-off filter).
void SoxPeer(benchmark::State& state, const std::string& effect) {
  if (!test::HaveTool("sox")) {
    state.SkipWithError("sox not installed");
    return;
  }
  constexpr int64_t kFrames = 60 * 44100;
  test::TempDir dir;
  const std::string in = dir.file("in.wav"), out = dir.file("out.wav");
  test::WriteDeckWav(in, Music(kFrames));
  auto childCpuSeconds = [] {
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return double(u.ru_utime.tv_sec + u.ru_stime.tv_sec) + 1e-6 * double(u.ru_utime.tv_usec + u.ru_stime.tv_usec);
  };
  for (auto _ : state) {
    const double t0 = childCpuSeconds();
    if (test::Run("sox -q '" + in + "' '" + out + "' " + effect) != 0) {
      state.SkipWithError("sox failed");
      return;
    }
    state.SetIterationTime(childCpuSeconds() - t0);
  }
  SetCounters(state, kFrames);
}

void BM_SoxEqualizer(benchmark::State& state) {
  SoxPeer(state, "equalizer 150 1q -9 equalizer 1500 1q 3 equalizer 9000 1q 6");
}
BENCHMARK(BM_SoxEqualizer)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

void BM_SoxLowpass(benchmark::State& state) { SoxPeer(state, "lowpass 1000 lowpass 1000 lowpass 1000"); }
BENCHMARK(BM_SoxLowpass)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

// sox copying the file unchanged: its fixed cost of reading and writing.
void BM_SoxCopy(benchmark::State& state) { SoxPeer(state, ""); }
BENCHMARK(BM_SoxCopy)->UseManualTime()->Iterations(3)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zonda

BENCHMARK_MAIN();
