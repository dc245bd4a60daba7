// A LADSPA low-pass through libtorvane.so as an effect slot runs it: one
// deck's 16-bit stereo in 256-frame blocks through processshortint, over
// ZONDA_BENCH_SECONDS (default 60) of two tones. Reported: cpu_share, the
// processor time as a share of the audio's real time, for one deck. The plug-in
// is ladspa-sdk's "Simple Low Pass Filter" (filter.so, 1041: paired mono, so
// two instances) unless ZONDA_BENCH_LADSPA names another moniker.
// bench/torvane/bench_torvane.sh runs this beside applyplugin on the same
// plug-in and prints the ratio.
//
//   build/bench/bench/bench_torvane --benchmark_counters_tabular=true
#include <benchmark/benchmark.h>
#include <dlfcn.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

#include "torvane/Torvane.h"

namespace {

constexpr int32_t kBlockFrames = 256;
constexpr int32_t kRateHz = 44100;

std::u16string Wide(const std::string& ascii) { return std::u16string(ascii.begin(), ascii.end()); }

void BM_TorvaneLowPass(benchmark::State& state) {
  const char* secondsEnv = std::getenv("ZONDA_BENCH_SECONDS");
  const double seconds = secondsEnv ? std::atof(secondsEnv) : 60.0;
  const char* monikerEnv = std::getenv("ZONDA_BENCH_LADSPA");
  const std::string moniker = monikerEnv ? monikerEnv : "ladspa:/usr/lib/ladspa/filter.so:1041";
  void* library = dlopen(ZONDA_BENCH_PROGRAM_DIR "/libtorvane.so", RTLD_NOW | RTLD_LOCAL);
  if (!library) {
    state.SkipWithError("libtorvane.so is not in the installation tree");
    return;
  }
  auto load = reinterpret_cast<TorvaneLoadPlugin>(dlsym(library, "loadplugin"));
  auto unload = reinterpret_cast<TorvaneUnloadPlugin>(dlsym(library, "unloadplugin"));
  auto process = reinterpret_cast<TorvaneProcessShortInt>(dlsym(library, "processshortint"));
  const std::u16string name = Wide(moniker);
  const intptr_t host = load && unload && process ? load(nullptr, name.c_str(), kBlockFrames, kRateHz) : 0;
  if (!host) {
    state.SkipWithError(("cannot load " + moniker).c_str());
    dlclose(library);
    return;
  }

  // About a second of deck PCM (whole blocks), 200 Hz left and 5 kHz right at half scale, played round.
  constexpr int32_t kSourceBlocks = 172;
  constexpr int32_t kSourceFrames = kSourceBlocks * kBlockFrames;
  std::vector<int16_t> source(size_t(kSourceFrames) * 2);
  for (int32_t i = 0; i < kSourceFrames; ++i) {
    const double t = double(i) / kRateHz;
    source[2 * i] = int16_t(std::lround(16000 * std::sin(2 * std::numbers::pi * 200 * t)));
    source[2 * i + 1] = int16_t(std::lround(16000 * std::sin(2 * std::numbers::pi * 5000 * t)));
  }
  const int64_t blocks = int64_t(seconds * kRateHz / kBlockFrames);
  std::vector<int16_t> block(kBlockFrames * 2);
  for (auto _ : state) {
    for (int64_t b = 0; b < blocks; ++b) {
      const int16_t* from = source.data() + (b % kSourceBlocks) * kBlockFrames * 2;
      std::memcpy(block.data(), from, block.size() * sizeof(int16_t));
      process(host, block.data(), kBlockFrames);
      benchmark::DoNotOptimize(block.data());
    }
  }
  const double audioSeconds = double(blocks) * kBlockFrames / kRateHz * double(state.iterations());
  // Processor seconds per second of audio: the inverse of a rate over CPU time.
  state.counters["cpu_share"] =
      benchmark::Counter(audioSeconds, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["audio_s"] = double(blocks) * kBlockFrames / kRateHz;
  unload(host);
  dlclose(library);
}
BENCHMARK(BM_TorvaneLowPass)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
