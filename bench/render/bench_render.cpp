// RenderBlock cost per deck at the speeds a DJ uses, in 256-frame sub-blocks,
// and as a peer the sox command line doing the same change of speed (speed)
// or of tempo with the pitch kept (tempo) on the same file.
//
// Counters: ns_per_frame (output frames; shown with an "s" suffix, the value
// is nanoseconds) and rt_factor (seconds of audio rendered per second of one
// core). Both sides are measured in CPU time, so a busy machine does not skew
// the ratio; sox's includes its start-up.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <numbers>
#include <string>
#include <thread>
#include <vector>

#include "engine/SoundSource.h"
#include "platform/ProgramDir.h"
#include "tests/support/TestFiles.h"

namespace zonda {
namespace {

constexpr int32_t kTrackFrames = 260000;  // one chunk, so nothing waits for the worker
constexpr int32_t kSubBlockFrames = 256;
constexpr int kSoxRepeats = 10;           // sox plays the file this many times per run

struct TBenchDeck {
  test::TempDir dir;
  std::string file;
  std::unique_ptr<TSoundSource> deck;

  TBenchDeck() {
    setenv("ZONDA_PROGRAM_DIR", dir.path().c_str(), 1);
    ResetProgramDirForTests();
    // Music-like content: two detuned tones with a slow beat envelope.
    std::vector<int16_t> pcm(static_cast<size_t>(kTrackFrames) * 2);
    for (int32_t k = 0; k < kTrackFrames; ++k) {
      const double env = 0.6 + 0.4 * std::sin(2 * std::numbers::pi * k / 22050.0);
      pcm[2 * k] = static_cast<int16_t>(std::lround(9000 * env * std::sin(2 * std::numbers::pi * k / 100.3)));
      pcm[2 * k + 1] = static_cast<int16_t>(std::lround(9000 * env * std::sin(2 * std::numbers::pi * k / 61.7)));
    }
    file = dir.file("in.wav");
    test::WriteDeckWav(file, pcm);
    deck = std::make_unique<TSoundSource>(true);
    deck->Load(file);
    for (int i = 0; i < 5000 && !(deck->LoadOk.load() && !deck->LoadPending.load()); ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
};

TBenchDeck& Bench() {
  static TBenchDeck b;
  return b;
}

void RenderAt(benchmark::State& state, double speed, bool keyLock) {
  TSoundSource& d = *Bench().deck;
  if (!d.LoadOk.load()) {
    state.SkipWithError("the deck did not load");
    return;
  }
  d.SongLoop.store(true);
  d.KeyLock.store(keyLock);
  d.Position.store(kTrackFrames / 2.0);
  d.StartAtSpeed(speed);
  d.Playing.store(true);
  std::vector<int16_t> out(kSubBlockFrames * 2);
  for (auto _ : state) {
    if (!d.RenderBlock(out.data(), kSubBlockFrames * 4)) state.SkipWithError("RenderBlock failed");
    benchmark::DoNotOptimize(out.data());
  }
  d.Playing.store(false);
  const double frames = static_cast<double>(state.iterations()) * kSubBlockFrames;
  state.counters["ns_per_frame"] = benchmark::Counter(frames * 1e-9, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["rt_factor"] = benchmark::Counter(frames / 44100.0, benchmark::Counter::kIsRate);
}

void Sox(benchmark::State& state, const std::string& effect) {
  if (!test::HaveTool("sox")) {
    state.SkipWithError("sox is not installed");
    return;
  }
  const std::string command = "sox '" + Bench().file + "' -t raw /dev/null repeat " + std::to_string(kSoxRepeats - 1) +
                              " " + effect;
  auto childCpuSeconds = [] {
    rusage u{};
    getrusage(RUSAGE_CHILDREN, &u);
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + 1e-6 * (u.ru_utime.tv_usec + u.ru_stime.tv_usec);
  };
  for (auto _ : state) {
    const double before = childCpuSeconds();
    if (test::Run(command) != 0) state.SkipWithError("sox failed");
    state.SetIterationTime(childCpuSeconds() - before);
  }
  const double frames = static_cast<double>(state.iterations()) * kTrackFrames * kSoxRepeats;
  state.counters["ns_per_frame"] = benchmark::Counter(frames * 1e-9, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.counters["rt_factor"] = benchmark::Counter(frames / 44100.0, benchmark::Counter::kIsRate);
}

BENCHMARK_CAPTURE(RenderAt, speed_1_00, 1.0, false);
BENCHMARK_CAPTURE(RenderAt, speed_1_08, 1.08, false);
BENCHMARK_CAPTURE(RenderAt, speed_minus_1_00, -1.0, false);
BENCHMARK_CAPTURE(RenderAt, speed_0_30, 0.3, false);
BENCHMARK_CAPTURE(RenderAt, keylock_1_06, 1.06, true);
BENCHMARK_CAPTURE(Sox, sox_speed_1_08, std::string("speed 1.08"))->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(Sox, sox_tempo_1_06, std::string("tempo 1.06"))->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zonda

BENCHMARK_MAIN();
