// The full mixer must not allocate on the audio thread: this executable
// replaces the global operator new/delete and counts the calls made on the
// thread while it is inside MixBlock/ReadMonitor (decks, filters designing
// their coefficients, equalisers redesigning their kernels, meters, recorder).
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <new>
#include <thread>

#include "dsp/FFTFilter.h"
#include "engine/Mixer.h"
#include "engine/MixerLaws.h"
#include "engine/Recorder.h"
#include "tests/engine/RenderDeckFixture.h"
#include "engine/PreviewMonitor.h"
#include "tests/support/AllocationCounter.h"
#include "tests/support/LockCounter.h"

namespace zonda {
namespace {

using test::CountAllocations;
using test::CountLocks;

TEST(MixerPath, CountingSeesAnAllocation) {
  const int n = CountAllocations([] {
    auto* p = new int(3);
    delete p;
  });
  EXPECT_EQ(n, 2);
}

TEST(MixerPath, MixBlockNeverAllocates) {
  const auto toneA = test::SineStereo(200000, 500, 700, 0.4);
  const auto toneB = test::SineStereo(200000, 90, 5000, 0.4);
  test::TRenderDeck a(toneA), b(toneB);
  TFFTFilter eqA, eqB;
  test::TempDir dir;
  TRecorder recorder;
  ASSERT_TRUE(recorder.Start(dir.file("rec.wav")));
  TKAVMixer mixer(TMixerDeck{&a.deck(), &eqA, {}}, TMixerDeck{&b.deck(), &eqB, {}}, &recorder);
  mixer.SetSubBlocks(2);
  mixer.Start();
  a.PlayAt(1000.0, 1.06);
  b.PlayAt(1000.0, 1.0);
  a.deck().KeyLock.store(true);

  std::vector<int16_t> master(2 * kMixerAreaFrames), monitor(2 * kMixerAreaFrames);
  auto blocks = [&](int count) {
    return CountAllocations([&] {
      for (int i = 0; i < count; ++i) {
        mixer.MixBlock(master.data(), 512 * 4);
        mixer.ReadMonitor(monitor.data(), 512 * 4);
      }
    });
  };
  EXPECT_EQ(blocks(20), 0) << "plain mix";
  // Changes the audio thread picks up: coefficient and kernel redesigns, ramps.
  mixer.Channels[0].Filter.SetCutoff(true, 800.0f);
  mixer.Channels[1].Filter.SetCutoff(false, 300.0f);
  eqA.SetLowGain(EqualiserBandDb(0, true));
  eqA.SetMidGain(EqualiserBandDb(6, false));
  eqB.SetHighGain(EqualiserBandDb(-12, false));
  TCrossfaderState x;
  const TCrossfaderLaw law = CrossfaderLaw(x, 90, {}, {false, true});
  mixer.SetCrossfadeGain(0, law.deckADb);
  mixer.SetCrossfadeGain(1, law.deckBDb);
  mixer.SetVolume(1, ChannelFaderDb(100));
  mixer.Channels[0].Trim = TrimFromGainDb(5);
  EXPECT_EQ(blocks(20), 0) << "after control changes";
  mixer.OnAir = true;
  mixer.TalkOver = true;
  mixer.PhonesSplit = true;
  EXPECT_EQ(blocks(10), 0) << "talk-over, on-air, split";
  mixer.PhonesMaster = true;
  mixer.Channels[0].LineIn = true;
  mixer.Channels[0].Filter.SetCutoff(true, -1.0f);
  EXPECT_EQ(blocks(10), 0) << "master monitor, line input, filter off";
  EXPECT_EQ(blocks(1) + CountAllocations([&] { mixer.MixBlock(master.data(), 2205 * 4); }), 0)
      << "the largest block";
  recorder.Drain();
  EXPECT_GT(recorder.RecordedBytes(), 0);
  EXPECT_GT(mixer.Level(1), -96.0);
  recorder.Stop();
}

TEST(MixerPath, CountingSeesALock) {
  std::mutex m;
  EXPECT_EQ(CountLocks([&] { std::lock_guard g(m); }), 1);
}

TEST(MixerPath, MixBlockTakesNoLockWhileTheMainThreadUsesTheRings) {
  // Both decks, recording, preview and meters; another thread hammers what the
  // main thread does meanwhile: reads the meters, drains the recording,
  // refills and moves the preview, asks for the monitor ring to be cleared.
  const auto toneA = test::SineStereo(400000, 500, 700, 0.4);
  const auto toneB = test::SineStereo(400000, 90, 5000, 0.4);
  test::TRenderDeck a(toneA), b(toneB);
  TFFTFilter eqA, eqB;
  test::TempDir dir;
  test::WriteDeckWav(dir.file("preview.wav"), test::SineStereo(44100 * 20, 300, 300, 0.3));
  TRecorder recorder;
  ASSERT_TRUE(recorder.Start(dir.file("rec.wav")));
  TKAVMixer mixer(TMixerDeck{&a.deck(), &eqA, {}}, TMixerDeck{&b.deck(), &eqB, {}}, &recorder);
  mixer.SetSubBlocks(2);
  ASSERT_GT(mixer.Preview->Open(dir.file("preview.wav")), 0);
  mixer.PreviewOn = true;
  mixer.Start();
  a.PlayAt(1000.0, 1.0);
  b.PlayAt(1000.0, 1.0);

  std::atomic<bool> stop{false};
  std::atomic<int> mainPasses{0};
  std::thread mainThread([&] {
    for (int i = 0; !stop; ++i) {
      mixer.Level(0);
      mixer.Level(1);
      mixer.MasterLevels();
      recorder.Drain();
      mixer.Preview->Refill();
      if (i % 50 == 0) mixer.Preview->JumpToSecond(i % 7);
      if (i % 30 == 0) mixer.ClearMonitor();
      mainPasses.fetch_add(1);
      std::this_thread::yield();
    }
  });
  std::vector<int16_t> master(2 * kMixerAreaFrames), monitor(2 * kMixerAreaFrames);
  int locks = 0;
  for (int i = 0; i < 400 || mainPasses.load() < 200; ++i) {
    locks += CountLocks([&] {
      mixer.MixBlock(master.data(), 256 * 4);
      mixer.ReadMonitor(monitor.data(), 256 * 4);
    });
    if (i > 100000) break;
  }
  stop = true;
  mainThread.join();
  EXPECT_EQ(locks, 0);
  EXPECT_GE(mainPasses.load(), 200);
  recorder.Stop();
}

}  // namespace
}  // namespace zonda
