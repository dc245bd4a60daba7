// The whole two-deck chain per device block: MixBlock with both decks playing
// at +6 % with key lock, the cut-off filter on both, every equaliser band at a
// non-zero gain, 256-frame device blocks, then ReadMonitor.
//
//   bench_mixer --benchmark_counters_tabular=true
// realtime_x = seconds of audio mixed per second of one core (the real-time
// factor); core_share = the part of a core the mix takes in real time.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "dsp/FFTFilter.h"
#include "engine/Mixer.h"
#include "engine/SoundSource.h"
#include "platform/ProgramDir.h"
#include "tests/support/TestFiles.h"

namespace zonda {
namespace {

// Three chunks: the worker keeps all of them, so no decoding runs while timing.
constexpr int32_t kTrackFrames = 17 * 44100;

const test::TempDir& Dir() {
  static test::TempDir dir;
  return dir;
}

std::string Track(const std::string& name, double leftHz, double rightHz) {
  const std::string file = Dir().file(name);
  auto pcm = test::SineStereo(kTrackFrames, leftHz, rightHz, 0.4);
  for (size_t i = 0; i < pcm.size(); ++i) pcm[i] = static_cast<int16_t>(pcm[i] + int(i * 7919 % 4001) - 2000);
  test::WriteDeckWav(file, pcm);
  return file;
}

void LoadFully(TSoundSource& deck, const std::string& file) {
  deck.Load(file);
  const int32_t chunks = (kTrackFrames + kChunkFrames - 1) / kChunkFrames;
  while (!(deck.LoadOk.load() && !deck.LoadPending.load())) std::this_thread::sleep_for(std::chrono::milliseconds(2));
  deck.PreloadEnd();
  for (int i = 0; i < 2000 && deck.ChunksPresent() < chunks; ++i) {
    deck.WakeEvent.Signal();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

void Play(TSoundSource& deck) {
  deck.Position.store(1000.0);
  deck.SetKeyLock(true);
  deck.SetPitch(600);  // 1.06
  deck.StartAtSpeed(1.06);
  deck.Playing.store(true);
}

// range(1): 1 = the full chain; 0 = decks only (filters off, no equalisers), to see the split.
void BM_MixBlockTwoDecks(benchmark::State& state) {
  const bool fullChain = state.range(1) != 0;
  setenv("ZONDA_PROGRAM_DIR", Dir().path().c_str(), 1);
  ResetProgramDirForTests();
  const int32_t blockFrames = int32_t(state.range(0));
  TSoundSource deckA(true), deckB(false);
  LoadFully(deckA, Track("a.wav", 220, 330));
  LoadFully(deckB, Track("b.wav", 440, 550));
  TFFTFilter eqA, eqB;
  for (TFFTFilter* eq : {&eqA, &eqB}) {
    eq->SetLowGain(-9);
    eq->SetMidGain(4);
    eq->SetHighGain(-20);
  }
  TKAVMixer mixer(TMixerDeck{&deckA, fullChain ? &eqA : nullptr, {}},
                  TMixerDeck{&deckB, fullChain ? &eqB : nullptr, {}}, nullptr);
  mixer.Channels[0].Filter.SetCutoff(true, fullChain ? 6000.0f : -1.0f);
  mixer.Channels[1].Filter.SetCutoff(false, fullChain ? 150.0f : -1.0f);
  mixer.SetCrossfadeGain(0, -3);
  mixer.SetCrossfadeGain(1, -3);
  mixer.SetSubBlocks(1);
  mixer.Start();
  Play(deckA);
  Play(deckB);

  std::vector<int16_t> master(size_t(blockFrames) * 2), monitor(size_t(blockFrames) * 2);
  int64_t frames = 0;
  for (auto _ : state) {
    mixer.MixBlock(master.data(), blockFrames * 4);
    mixer.ReadMonitor(monitor.data(), blockFrames * 4);
    benchmark::DoNotOptimize(master.data());
    frames += blockFrames;
    if (deckA.Position.load() > kTrackFrames - 44100) {
      state.PauseTiming();
      deckA.Position.store(1000.0);
      deckB.Position.store(1000.0);
      mixer.Level(0);  // drain the meter rings as the periodic update would
      mixer.Level(1);
      mixer.MasterLevels();
      state.ResumeTiming();
    }
  }
  state.counters["realtime_x"] = benchmark::Counter(double(frames) / 44100.0, benchmark::Counter::kIsRate);
  state.counters["core_share"] =
      benchmark::Counter(double(frames) / 44100.0, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  state.SetItemsProcessed(frames);
}
BENCHMARK(BM_MixBlockTwoDecks)->Args({256, 1})->Args({2205, 1})->Args({256, 0})->MinTime(2.0);

}  // namespace
}  // namespace zonda

BENCHMARK_MAIN();
