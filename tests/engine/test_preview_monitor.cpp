// Preview player: whole 3-second pieces into a 6-second ring, the lost last
// part of a file, the clamped jump, short files, the exact-size block, bad
// files, and the preview in the mixer's monitor.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "engine/Mixer.h"
#include "engine/PreviewMonitor.h"
#include "engine/SampleMath.h"
#include "engine/SoundSource.h"
#include "tests/engine/DeckTestSupport.h"
#include "tests/support/TestFiles.h"

namespace zonda {
namespace {

// A deck-PCM file of `seconds` whose every frame is distinct: left = frame % 30000, right = -left.
std::vector<int16_t> Ramp(int32_t seconds) {
  std::vector<int16_t> pcm(size_t(seconds) * 44100 * 2);
  for (size_t i = 0; i < pcm.size() / 2; ++i) {
    pcm[2 * i] = static_cast<int16_t>(i % 30000);
    pcm[2 * i + 1] = static_cast<int16_t>(-(int32_t(i % 30000)));
  }
  return pcm;
}

// Reads everything the preview hands out, block by block, refilling as the periodic update does.
std::vector<int16_t> Drain(TPreviewMonitor& p, int32_t blockFrames, int32_t blocks) {
  std::vector<int16_t> out, block(size_t(blockFrames) * 2);
  for (int32_t b = 0; b < blocks; ++b) {
    if (b % 20 == 0) p.Refill();
    p.ReadPreview(block.data(), blockFrames * 4);
    out.insert(out.end(), block.begin(), block.end());
  }
  return out;
}

TEST(PreviewMonitor, TenSecondFileQueuesThreeSecondPiecesAndLosesItsLastSecond) {
  test::TempDir dir;
  const auto pcm = Ramp(10);
  test::WriteDeckWav(dir.file("ten.wav"), pcm);
  TPreviewMonitor p;
  EXPECT_TRUE(p.Ready());
  EXPECT_EQ(p.Open(dir.file("ten.wav")), 1764000);
  EXPECT_TRUE(p.PreviewPlaying());
  EXPECT_EQ(p.QueuedBytes(), kPreviewPieceBytes);  // 3 s at once
  p.Refill();
  EXPECT_EQ(p.QueuedBytes(), kPreviewPieceBytes);  // no more than 3 s free yet
  std::vector<int16_t> block(2 * 441);
  p.ReadPreview(block.data(), 441 * 4);
  p.Refill();
  EXPECT_EQ(p.QueuedBytes(), 2 * kPreviewPieceBytes - 441 * 4);
  EXPECT_EQ(p.ReadPosition(), 2 * kPreviewPieceBytes);

  // The rest, then silence: 9 s queued in all, of which the last block is
  // silent too (the ring then holds exactly that block, not more).
  auto out = Drain(p, 441, 1100);
  out.insert(out.begin(), block.begin(), block.end());
  const size_t heard = (9 * 44100 - 441) * 2;
  for (size_t i = 0; i < heard; ++i) ASSERT_EQ(out[i], pcm[i]) << "sample " << i;
  for (size_t i = heard; i < out.size(); ++i) ASSERT_EQ(out[i], 0) << "sample " << i;
  EXPECT_EQ(p.ReadPosition(), 3 * kPreviewPieceBytes);
}

TEST(PreviewMonitor, JumpsAreClampedSoAWholePieceFits) {
  test::TempDir dir;
  const auto pcm = Ramp(21);
  test::WriteDeckWav(dir.file("long.wav"), pcm);
  TPreviewMonitor p;
  ASSERT_EQ(p.Open(dir.file("long.wav")), 21 * 176400);
  struct Case {
    int32_t second, startSecond;
  };
  for (const Case c : {Case{20, 18}, Case{5, 5}, Case{-3, 0}, Case{1000, 18}}) {
    SCOPED_TRACE(c.second);
    p.JumpToSecond(c.second);
    EXPECT_EQ(p.ReadPosition(), c.startSecond * 176400 + kPreviewPieceBytes);
    std::vector<int16_t> block(2 * 256);
    p.ReadPreview(block.data(), 1024);
    EXPECT_EQ(0, std::memcmp(block.data(), pcm.data() + size_t(c.startSecond) * 44100 * 2, 1024));
  }
}

TEST(PreviewMonitor, ShortAndBadFilesAndTheExactSizeBlock) {
  test::TempDir dir;
  test::WriteDeckWav(dir.file("short.wav"), Ramp(2));
  TPreviewMonitor p;
  EXPECT_EQ(p.Open(dir.file("short.wav")), 2 * 176400);
  EXPECT_EQ(p.QueuedBytes(), 0);  // not one whole piece
  p.JumpToSecond(1);
  EXPECT_EQ(p.ReadPosition(), 0);
  EXPECT_EQ(p.QueuedBytes(), 0);
  std::vector<int16_t> block(2 * 256, 5);
  p.ReadPreview(block.data(), 1024);
  EXPECT_EQ(block, std::vector<int16_t>(2 * 256, 0));

  EXPECT_EQ(p.Open(dir.file("missing.wav")), 0);
  EXPECT_FALSE(p.PreviewPlaying());
  p.Refill();
  p.JumpToSecond(3);
  block.assign(block.size(), 5);
  p.ReadPreview(block.data(), 1024);
  EXPECT_EQ(block[0], 0);

  test::WriteDeckWav(dir.file("ten.wav"), Ramp(10));
  ASSERT_GT(p.Open(dir.file("ten.wav")), 0);
  std::vector<int16_t> whole(kPreviewPieceBytes / 2, 5);
  p.ReadPreview(whole.data(), kPreviewPieceBytes);  // the ring holds exactly this much: silence
  EXPECT_EQ(whole[100], 0);
  EXPECT_EQ(p.QueuedBytes(), kPreviewPieceBytes);
  p.ReadPreview(nullptr, 1024);
}

TEST(PreviewMonitor, HeardInTheMonitorWhilePreviewOn) {
  test::TempDir dir;
  const auto pcm = Ramp(4);
  test::WriteDeckWav(dir.file("p.wav"), pcm);
  TKAVMixer mixer(TMixerDeck{}, TMixerDeck{}, nullptr);
  mixer.SetSubBlocks(1);
  mixer.Start();
  ASSERT_GT(mixer.Preview->Open(dir.file("p.wav")), 0);
  std::vector<int16_t> master(2 * 256), monitor(2 * 256);
  ASSERT_TRUE(mixer.MixBlock(master.data(), 1024));
  ASSERT_TRUE(mixer.ReadMonitor(monitor.data(), 1024));
  EXPECT_EQ(monitor[2 * 100], 0);  // preview switch off
  mixer.PreviewOn = true;
  ASSERT_TRUE(mixer.MixBlock(master.data(), 1024));
  ASSERT_TRUE(mixer.ReadMonitor(monitor.data(), 1024));
  for (int i = 0; i < 256; ++i) {
    ASSERT_EQ(monitor[2 * i], RoundToSample(pcm[2 * i] / 1.2)) << i;
    ASSERT_EQ(monitor[2 * i + 1], RoundToSample(pcm[2 * i + 1] / 1.2)) << i;
  }
  EXPECT_EQ(master[2 * 100], 0);  // never in the master
}

TEST(PreviewMonitor, RefillGivesWayToADeckThatNeedsDecoding) {
  // Both decode under the one decoder lock: a seek of a playing deck first.
  test::IsolatedProgramDir program;
  test::TempDir dir;
  test::WriteDeckWav(dir.file("p.wav"), Ramp(20));
  test::WriteDeckWav(dir.file("deck.wav"), Ramp(30));
  TSoundSource deck(true);
  ASSERT_TRUE(deck.Load(dir.file("deck.wav")));
  ASSERT_TRUE(test::WaitUntil([&] { return deck.LoadOk.load() && !deck.DecodingNeeded(); }));
  TKAVMixer mixer(TMixerDeck{&deck, nullptr, {}}, TMixerDeck{}, nullptr);
  ASSERT_GT(mixer.Preview->Open(dir.file("p.wav")), 0);
  std::vector<int16_t> block(256 * 2);
  mixer.Preview->ReadPreview(block.data(), 1024);  // room for the next piece
  const int32_t queued = mixer.Preview->QueuedBytes();
  deck.Position.store(25.0 * 44100);  // a chunk not decoded yet
  EXPECT_TRUE(deck.DecodingNeeded());
  EXPECT_FALSE(mixer.RefillPreview());
  EXPECT_EQ(mixer.Preview->QueuedBytes(), queued);
  deck.WakeEvent.Signal();
  ASSERT_TRUE(test::WaitUntil([&] { return !deck.DecodingNeeded(); }));
  EXPECT_TRUE(mixer.RefillPreview());
  EXPECT_GT(mixer.Preview->QueuedBytes(), queued);
}

}  // namespace
}  // namespace zonda
