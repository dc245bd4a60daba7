// The render path must not allocate: this executable replaces the global
// operator new/delete and counts the calls made on the thread while it is
// inside the audio path (RenderBlock, the mixer, the callbacks, recorder Feed).
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>
#include <thread>

#include "engine/AudioOutput.h"
#include "engine/DeckDirectMixer.h"
#include "engine/Recorder.h"
#include "tests/engine/RenderDeckFixture.h"
#include "tests/support/AllocationCounter.h"

namespace zonda {
namespace {

using test::CountAllocations;

TEST(RenderPath, CountingSeesAnAllocation) {
  // The counter itself works (guards against a replacement that is not linked in).
  const int n = CountAllocations([] {
    auto* p = new int(3);
    delete p;
  });
  EXPECT_EQ(n, 2);
}

TEST(RenderPath, NeverAllocatesWhateverTheDeckDoes) {
  const auto tone = test::MakeFrames(200000, [](int32_t k, int16_t& l, int16_t& r) {
    l = static_cast<int16_t>(std::lround(12000 * std::sin(k * 0.031)));
    r = static_cast<int16_t>(-l / 2);
  });
  test::TRenderDeck t(tone);
  TSoundSource& d = t.deck();
  test::TempDir dir;
  TRecorder recorder;
  ASSERT_TRUE(recorder.Start(dir.file("rec.wav")));
  TDeckDirectMixer mixer(&d, &recorder);
  TAudioOutput output(mixer);
  output.SetupBlockSizes(512);
  mixer.Start();
  output.Install();

  std::vector<float> device(512 * 4, 0.25f);
  auto callbacks = [&](int blocks) {
    return CountAllocations([&] {
      for (int b = 0; b < blocks; ++b) {
        AudioInputCallback(device.data(), 512);
        AudioOutputCallback(device.data(), 512);
      }
    });
  };

  t.PlayAt(1000.0, 1.0);
  EXPECT_EQ(callbacks(20), 0) << "normal play";
  d.Speed.store(-1.0);
  EXPECT_EQ(callbacks(20), 0) << "reverse ramp";
  d.Speed.store(1.06);
  d.KeyLock.store(true);
  EXPECT_EQ(callbacks(40), 0) << "key lock with splices";
  ASSERT_NE(d.NextSpliceJump(), 0);
  d.KeyLock.store(false);
  d.LoopStart.store(20000);
  d.LoopStartEff.store(20000);
  d.LoopEnd.store(25000);
  d.LoopEndEff.store(25000);
  d.LoopLength.store(5000);
  d.LoopLengthEff.store(5000);
  d.LoopActive.store(true);
  d.Position.store(21000.0);
  d.ExitLoopPending.store(true);
  EXPECT_EQ(callbacks(20), 0) << "loop wrap and exit";
  d.Brake.store(true);
  EXPECT_EQ(callbacks(20), 0) << "brake";
  d.Brake.store(false);
  d.Speed.store(1.0);
  d.HoldBegin(300);
  d.HoldMove(250);
  EXPECT_EQ(callbacks(10), 0) << "held";
  d.HoldEnd(250);
  d.CuePoint.store(5000);
  d.CueJumpRequest.store(true);
  EXPECT_EQ(callbacks(10), 0) << "cue jump and stop fade";
  d.Position.store(d.LastFrame.load() - 100.0);
  d.Playing.store(true);
  EXPECT_EQ(callbacks(5), 0) << "end of track";
  d.SeekPending.store(true);
  EXPECT_EQ(callbacks(5), 0) << "silent blocks while a seek is pending";
  d.SeekPending.store(false);
  recorder.Drain();
  EXPECT_GT(recorder.RecordedBytes(), 0) << "the recorder was fed";
  output.Uninstall();
  recorder.Stop();
}

}  // namespace
}  // namespace zonda
