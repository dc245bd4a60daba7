// The full mixer must not allocate on the audio thread: this executable
// replaces the global operator new/delete and counts the calls made on the
// thread while it is inside MixBlock/ReadMonitor (decks, filters designing
// their coefficients, equalisers redesigning their kernels, meters, recorder).
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <thread>

#include "dsp/FFTFilter.h"
#include "engine/Mixer.h"
#include "engine/MixerLaws.h"
#include "engine/Recorder.h"
#include "tests/engine/RenderDeckFixture.h"
#include "tests/support/AllocationCounter.h"

namespace zonda {
namespace {

using test::CountAllocations;

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
  mixer.FilterA.SetCutoff(true, 800.0f);
  mixer.FilterB.SetCutoff(false, 300.0f);
  eqA.SetLowGain(EqualiserBandDb(0, true));
  eqA.SetMidGain(EqualiserBandDb(6, false));
  eqB.SetHighGain(EqualiserBandDb(-12, false));
  TCrossfaderState x;
  const TCrossfaderLaw law = CrossfaderLaw(x, 90, {}, {false, true});
  mixer.SetCrossfadeGainA(law.deckADb);
  mixer.SetCrossfadeGainB(law.deckBDb);
  mixer.SetVolumeB(ChannelFaderDb(100));
  mixer.TrimA = TrimFromGainDb(5);
  EXPECT_EQ(blocks(20), 0) << "after control changes";
  mixer.OnAir = true;
  mixer.TalkOver = true;
  mixer.PhonesSplit = true;
  EXPECT_EQ(blocks(10), 0) << "talk-over, on-air, split";
  mixer.PhonesMaster = true;
  mixer.DeckALineIn = true;
  mixer.FilterA.SetCutoff(true, -1.0f);
  EXPECT_EQ(blocks(10), 0) << "master monitor, line input, filter off";
  EXPECT_EQ(blocks(1) + CountAllocations([&] { mixer.MixBlock(master.data(), 2205 * 4); }), 0)
      << "the largest block";
  recorder.Drain();
  EXPECT_GT(recorder.RecordedBytes(), 0);
  EXPECT_GT(mixer.LevelB(), -96.0);
  recorder.Stop();
}

}  // namespace
}  // namespace zonda
