// The audio callbacks, the sub-block rule and latency text, and the recorder.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <limits>

#include "engine/AudioOutput.h"
#include "engine/DeckDirectMixer.h"
#include "engine/Recorder.h"
#include "tests/engine/RenderDeckFixture.h"
#include "tests/support/Require.h"

namespace zonda {
namespace {

TEST(SetupBlockSizes, DivisorClosestTo250) {
  struct Case { int32_t frames; int32_t subBlockFrames; int32_t subBlocks; };
  for (const Case c : {Case{512, 256, 2}, Case{441, 147, 3}, Case{1024, 256, 4}, Case{509, 509, 1},
                       Case{2205, 245, 9}, Case{64, 64, 1}, Case{500, 250, 2}, Case{300, 300, 1},
                       Case{2, 2, 1}, Case{1, 1, 1}}) {
    const TBlockSizes s = ComputeBlockSizes(c.frames);
    EXPECT_EQ(s.SubBlockFrames, c.subBlockFrames) << c.frames;
    EXPECT_EQ(s.SubBlocks, c.subBlocks) << c.frames;
  }
  // 600: divisors 200 and 300 are both 50 away; the smaller wins.
  EXPECT_EQ(ComputeBlockSizes(600).SubBlockFrames, 200);
  EXPECT_EQ(ComputeBlockSizes(0).SubBlocks, 1);
  EXPECT_EQ(ComputeBlockSizes(-5).SubBlocks, 1);
}

TEST(SetupBlockSizes, LatencyTextAndMixerSetUp) {
  EXPECT_EQ(LatencyText(512), "Latency: 11 ms at 44100 Hz sample rate");
  EXPECT_EQ(LatencyText(2205), "Latency: 50 ms at 44100 Hz sample rate");
  TDeckDirectMixer mixer(nullptr, nullptr);
  TAudioOutput output(mixer);
  mixer.Start();
  std::vector<int16_t> block(441 * 2);
  ASSERT_TRUE(mixer.MixBlock(block.data(), 441 * 4));  // leaves a monitor block behind
  EXPECT_EQ(output.SetupBlockSizes(441), "Latency: 10 ms at 44100 Hz sample rate");
  EXPECT_EQ(mixer.SubBlocks(), 3);
  EXPECT_FALSE(mixer.ReadMonitor(block.data(), 441 * 4)) << "the monitor ring was cleared";
}

TEST(AudioInputCallback, ScalesAndClampsToSixteenBits) {
  TDeckDirectMixer mixer(nullptr, nullptr);
  TAudioOutput output(mixer);
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const std::vector<float> in{1.2f, -1.5f, 0.5f, -0.25f, nan, 1.0f, -1.0f, 0.0f};
  EXPECT_EQ(output.OnInput(in.data(), 2), 2);
  const int16_t* a = mixer.LineArea(0);
  const int16_t* b = mixer.LineArea(1);
  EXPECT_EQ(a[0], 32767);
  EXPECT_EQ(a[1], -32768);
  EXPECT_EQ(b[0], 16384);  // 16383.5 to the nearest integer
  EXPECT_EQ(b[1], -8192);
  EXPECT_EQ(a[2], 0) << "NaN reads as silence";
  EXPECT_EQ(a[3], 32767);
  EXPECT_EQ(b[2], -32767);
  EXPECT_EQ(b[3], 0);
}

TEST(AudioOutputCallback, LeavesTheBufferUntilTheMixerRunsThenWritesFourChannels) {
  const auto pcm = test::MakeFrames(50000, [](int32_t k, int16_t& l, int16_t& r) {
    l = static_cast<int16_t>(k % 2 ? 32767 : -32768);
    r = static_cast<int16_t>(k % 1000);
  });
  test::TRenderDeck t(pcm);
  TDeckDirectMixer mixer(&t.deck(), nullptr);
  TAudioOutput output(mixer);
  output.SetupBlockSizes(256);
  std::vector<float> buffer(256 * 4, 7.0f);
  EXPECT_EQ(AudioOutputCallback(buffer.data(), 256), 0) << "nothing installed";
  output.Install();
  EXPECT_EQ(AudioOutputCallback(buffer.data(), 256), 0) << "start-up not finished";
  for (float v : buffer) ASSERT_EQ(v, 7.0f);
  mixer.Start();
  EXPECT_EQ(AudioOutputCallback(buffer.data(), 2206), 0) << "larger than a mixer area";

  t.PlayAt(0.0, 1.0);
  ASSERT_EQ(AudioOutputCallback(buffer.data(), 256), 256);
  for (int i = 0; i < 256; ++i) {
    const int16_t l = static_cast<int16_t>(std::lround(0.9 * pcm[2 * (i + 1)]));
    const int16_t r = static_cast<int16_t>(std::lround(0.9 * pcm[2 * (i + 1) + 1]));
    ASSERT_FLOAT_EQ(buffer[4 * i], l * 3e-5f) << i;
    ASSERT_FLOAT_EQ(buffer[4 * i + 1], r * 3e-5f);
    ASSERT_FLOAT_EQ(buffer[4 * i + 2], l * 3e-5f) << "monitor = master for the direct mixer";
    ASSERT_FLOAT_EQ(buffer[4 * i + 3], r * 3e-5f);
  }
  EXPECT_NEAR(32767 * 3e-5f, 0.98301f, 1e-6);
  output.Uninstall();
  EXPECT_EQ(AudioOutputCallback(buffer.data(), 256), 0);
}

TEST(DeckDirectMixer, RendersInSubBlocksAndSilenceWithoutADeck) {
  const auto pcm = test::MakeFrames(50000, [](int32_t k, int16_t& l, int16_t& r) {
    l = static_cast<int16_t>(k);
    r = static_cast<int16_t>(-k);
  });
  test::TRenderDeck t(pcm);
  TDeckDirectMixer mixer(&t.deck(), nullptr);
  mixer.SetSubBlocks(3);
  mixer.Start();
  t.PlayAt(100.0, 1.0);
  const int32_t renders = t.deck().RenderCount.load();
  std::vector<int16_t> block(1000 * 2);
  ASSERT_TRUE(mixer.MixBlock(block.data(), 1000 * 4));
  EXPECT_EQ(t.deck().RenderCount.load() - renders, 3);
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(block[2 * i], std::lround(0.9 * (101 + i))) << i;

  TDeckDirectMixer empty(nullptr, nullptr);
  empty.Start();
  std::fill(block.begin(), block.end(), int16_t{5});
  ASSERT_TRUE(empty.MixBlock(block.data(), 1000 * 4));
  for (int16_t s : block) ASSERT_EQ(s, 0);
}

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

void ExpectHeader(const std::vector<uint8_t>& file, uint32_t dataBytes) {
  ASSERT_GE(file.size(), 44u);
  EXPECT_EQ(std::memcmp(file.data(), "RIFF", 4), 0);
  EXPECT_EQ(Le32(file, 4), dataBytes + 36);
  EXPECT_EQ(std::memcmp(file.data() + 8, "WAVEfmt ", 8), 0);
  EXPECT_EQ(Le32(file, 16), 16u);
  EXPECT_EQ(file[20] | (file[21] << 8), 1);
  EXPECT_EQ(file[22] | (file[23] << 8), 2);
  EXPECT_EQ(Le32(file, 24), 44100u);
  EXPECT_EQ(Le32(file, 28), 176400u);
  EXPECT_EQ(file[32] | (file[33] << 8), 4);
  EXPECT_EQ(file[34] | (file[35] << 8), 16);
  EXPECT_EQ(std::memcmp(file.data() + 36, "data", 4), 0);
  EXPECT_EQ(Le32(file, 40), dataBytes);
}

TEST(Recorder, ThreeAndAHalfSecondsGiveTheExactFile) {
  test::TempDir dir;
  const std::string name = dir.file("set.wav");
  TRecorder rec;
  ASSERT_TRUE(rec.Start(name));
  EXPECT_TRUE(rec.Recording());
  EXPECT_EQ(test::ReadAll(name).size(), 44u) << "a valid empty WAV from the start";

  std::vector<int16_t> fed;
  std::vector<int16_t> block(441 * 2);
  for (int b = 0; b < 350; ++b) {  // 350 blocks of 10 ms
    for (int i = 0; i < 441 * 2; ++i) block[i] = static_cast<int16_t>((b * 882 + i) % 65536 - 32768);
    rec.Feed(block.data(), 441 * 4);
    fed.insert(fed.end(), block.begin(), block.end());
    if (b % 20 == 19) rec.Drain();
    if (b == 199) {
      // Interrupted here, the file is already a playable WAV of what was drained.
      const auto partial = test::ReadAll(name);
      ExpectHeader(partial, static_cast<uint32_t>(partial.size() - 44));
      EXPECT_EQ(partial.size(), 44u + 200 * 1764);
      EXPECT_EQ(rec.TimeText(), "00:02");
      ZONDA_REQUIRE_TOOLS("soxi");  // the independent reader
      EXPECT_EQ(test::Run("test \"$(soxi -s '" + name + "')\" = 88200"), 0) << "an independent reader agrees";
    }
  }
  rec.Drain();
  rec.Drain();
  EXPECT_EQ(rec.RecordedBytes(), 617400);
  rec.Stop();
  EXPECT_FALSE(rec.Recording());
  EXPECT_EQ(rec.TimeText(), "00:00");
  const auto file = test::ReadAll(name);
  ASSERT_EQ(file.size(), 44u + 617400);
  ExpectHeader(file, 617400);
  EXPECT_EQ(std::memcmp(file.data() + 44, fed.data(), 617400), 0) << "the audio exactly as fed";
}

TEST(Recorder, CancelledDialogAndBadPathLeaveNoFile) {
  test::TempDir dir;
  TRecorder rec;
  EXPECT_FALSE(rec.Start(""));  // the save dialog was cancelled
  EXPECT_FALSE(rec.Toggle(""));
  EXPECT_FALSE(rec.Recording());
  EXPECT_FALSE(rec.Start(dir.file("missing/folder/x.wav")));
  EXPECT_FALSE(rec.Recording());
  EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
  rec.Stop();  // harmless
  ASSERT_TRUE(rec.Toggle(dir.file("t.wav")));
  EXPECT_FALSE(rec.Toggle(""));  // the second press stops
  EXPECT_EQ(test::ReadAll(dir.file("t.wav")).size(), 44u);
  std::filesystem::remove(dir.file("t.wav"));
  int16_t block[4] = {1, 2, 3, 4};
  rec.Feed(block, 8);  // not recording: ignored
  rec.Drain();
  EXPECT_EQ(rec.RecordedBytes(), 0);
}

TEST(Recorder, FullRingDropsWholeBlocksAndStopDiscardsTheRest) {
  test::TempDir dir;
  const std::string name = dir.file("r.wav");
  TRecorder rec;
  ASSERT_TRUE(rec.Start(name));
  std::vector<int16_t> block(1000 * 2, 100);
  for (int b = 0; b < 200; ++b) rec.Feed(block.data(), 4000);  // 4.5 s, no drain
  int64_t drained = 0;
  for (int k = 0; k < 10; ++k) rec.Drain();
  drained = rec.RecordedBytes();
  EXPECT_EQ(drained, 176 * 4000) << "176 whole blocks fit the 705600-byte ring";
  rec.Feed(block.data(), 4000);  // still in the ring at Stop: discarded
  rec.Stop();
  EXPECT_EQ(test::ReadAll(name).size(), 44u + drained);
}

TEST(Recorder, TimeText) {
  EXPECT_EQ(TRecorder::TimeTextFor(0), "00:00");
  EXPECT_EQ(TRecorder::TimeTextFor(176400 * 9), "00:09");
  EXPECT_EQ(TRecorder::TimeTextFor(10584000 + 176400 * 5), "01:05");
  EXPECT_EQ(TRecorder::TimeTextFor(10584000LL * 125), "125:00");
}

}  // namespace
}  // namespace zonda
