// RenderBlock on a real loaded deck: interpolation and level, the stop fade,
// the speed ramps, track bounds and song loop, loops and the exit pass, key
// lock, silent blocks, block-split invariance and the cue jump handshake.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <thread>

#include "engine/KeyLockSplice.h"
#include "engine/SampleMath.h"
#include "tests/engine/DeckTestSupport.h"
#include "tests/engine/RenderDeckFixture.h"

namespace zonda {
namespace {

using test::MakeFrames;
using test::TRenderDeck;

// Frame k: left 3k - 20000 (a ramp), right a fixed pattern; no sample near a rounding tie matters.
std::vector<int16_t> RampTrack(int32_t frames) {
  return MakeFrames(frames, [](int32_t k, int16_t& l, int16_t& r) {
    l = static_cast<int16_t>((k * 3) % 40000 - 20000);
    r = static_cast<int16_t>(((static_cast<int64_t>(k) * 7919) % 30001) - 15000);
  });
}

std::vector<int16_t> SineTrack(int32_t frames, double periodFrames, double amplitude, double phase = 0.3) {
  return MakeFrames(frames, [=](int32_t k, int16_t& l, int16_t& r) {
    l = static_cast<int16_t>(std::lround(amplitude * std::sin(2 * std::numbers::pi * k / periodFrames + phase)));
    r = static_cast<int16_t>(std::lround(amplitude * std::cos(2 * std::numbers::pi * k / periodFrames + phase)));
  });
}

TEST(RenderBlock, SpeedOneReadsTheNextFramesAtNineTenths) {
  TRenderDeck t(RampTrack(20000));
  t.PlayAt(10.0, 1.0);
  const auto out = t.Render(300, 100);
  for (int i = 0; i < 300; ++i) {
    for (int c = 0; c < 2; ++c) {
      ASSERT_EQ(out[2 * i + c], RoundToInt(0.9 * t.Source(11 + i, c))) << "frame " << i << " channel " << c;
    }
  }
  EXPECT_DOUBLE_EQ(t.deck().Position.load(), 310.0);
}

TEST(RenderBlock, RejectsOversizeBlocksAndEmptyDecks) {
  TRenderDeck t(RampTrack(10000));
  std::vector<int16_t> out(5000 * 2, 123);
  EXPECT_FALSE(t.deck().RenderBlock(out.data(), 4002 * 4));
  EXPECT_EQ(out[0], 123);  // nothing written
  EXPECT_TRUE(t.deck().RenderBlock(out.data(), 4001 * 4));

  TSoundSource empty(false);
  EXPECT_FALSE(empty.RenderBlock(out.data(), 256 * 4));
}

TEST(RenderBlock, LevelFollowsSpeedBelowOneAndIsNotRaisedAbove) {
  TRenderDeck t(SineTrack(150000, 100.0, 20000.0));
  struct Case { double speed; double expectedRatio; };
  t.PlayAt(1000.0, 1.0);
  const double reference = test::Rms(t.Render(20000), 0, 20000, 0);
  for (const Case c : {Case{0.5, 221.0 / 441.0}, Case{0.25, 110.0 / 441.0}, Case{1.5, 1.0}, Case{-1.0, 1.0}}) {
    t.PlayAt(60000.0, c.speed);
    const double level = test::Rms(t.Render(20000), 0, 20000, 0);
    EXPECT_NEAR(level / reference, c.expectedRatio, 0.01) << "speed " << c.speed;
  }
}

// The fade of a stopped deck: frame 0 of each block with the current count,
// then each further frame with the count, decreasing it afterwards.
TEST(RenderBlock, StoppedDeckFadesTheLastFrameOverSeveralBlocks) {
  const auto constant = MakeFrames(50000, [](int32_t, int16_t& l, int16_t& r) {
    l = 10000;
    r = -8000;
  });
  for (int32_t block : {64, 256, 441, 1000}) {
    TRenderDeck t(constant);
    std::vector<int16_t> silent(block * 2, 1);
    ASSERT_TRUE(t.deck().RenderBlock(silent.data(), block * 4));
    for (int16_t s : silent) ASSERT_EQ(s, 0) << "a deck never played is silent";

    t.PlayAt(100.0, 1.0);
    t.Render(block, block);
    t.deck().Playing.store(false);
    const auto out = t.Render(block * 12, block);

    int32_t fade = 441;
    size_t k = 0;
    for (int b = 0; b < 12; ++b) {
      for (int32_t j = 0; j < block; ++j, ++k) {
        ASSERT_EQ(out[2 * k], RoundToInt(9000.0 * fade / 441)) << "block size " << block << " frame " << k;
        ASSERT_EQ(out[2 * k + 1], RoundToInt(-7200.0 * fade / 441));
        if (j > 0 && fade > 0) --fade;
      }
    }
    EXPECT_EQ(out[2 * (k - 1)], 0) << "silent after the fade, block size " << block;
    EXPECT_DOUBLE_EQ(t.deck().Position.load(), 100.0 + block) << "a stopped deck does not move";
  }
}

TEST(RenderBlock, OutputDoesNotDependOnTheBlockSplit) {
  const auto track = SineTrack(100000, 37.3, 15000.0);
  std::vector<int16_t> reference;
  for (int32_t block : {4000, 1000, 256, 77, 1}) {
    TRenderDeck t(track);
    t.PlayAt(5000.25, 1.0);
    t.deck().Speed.store(-0.7);  // a ramp runs across block edges (the deck stays clear of the track start)
    const auto out = t.Render(8000, block);
    if (reference.empty()) {
      reference = out;
      continue;
    }
    for (size_t k = 0; k < out.size(); ++k) ASSERT_EQ(out[k], reference[k]) << "block size " << block << " sample " << k;
  }
}

struct RampCase {
  const char* what;
  double from;
  double to;
  bool brake;
  int32_t frames;
};

TEST(RenderBlock, SpeedRampsRunOverTheirLengths) {
  for (const RampCase c : {RampCase{"pitch 0 to +8 %", 1.0, 1.08, false, 6000},
                           RampCase{"reverse at normal speed", 1.0, -1.0, false, 2000},
                           RampCase{"brake", 1.0, 0.0, true, 62500},
                           RampCase{"small change at low speed (f = 9)", 0.2, 0.3, false, 2250},
                           RampCase{"large change at low speed (f = 3)", 0.3, -0.3, false, 750}}) {
    TRenderDeck t(SineTrack(200000, 100.0, 20000.0));
    t.PlayAt(100000.0, c.from);
    if (c.brake)
      t.deck().Brake.store(true);
    else
      t.deck().Speed.store(c.to);
    std::vector<int16_t> frame(2);
    int32_t reached = -1;
    double halfway = 0.0;
    double levelEarly = 0.0, levelMid = 0.0;
    for (int32_t i = 1; i <= c.frames + 10; ++i) {
      ASSERT_TRUE(t.deck().RenderBlock(frame.data(), 4));
      if (i == c.frames / 2) halfway = t.deck().RenderedSpeed();
      if (i < 2000) levelEarly = std::max(levelEarly, std::fabs(double(frame[0])));
      if (i > c.frames / 2 - 1000 && i < c.frames / 2 + 1000) levelMid = std::max(levelMid, std::fabs(double(frame[0])));
      if (reached < 0 && t.deck().RenderedSpeed() == c.to) reached = i;
    }
    EXPECT_NEAR(reached, c.frames, 1) << c.what;
    EXPECT_NEAR(halfway, (c.from + c.to) / 2, 1e-3) << c.what << ": the ramp is linear";
    if (c.brake) {
      EXPECT_EQ(t.deck().Speed.load(), 0.0);
      EXPECT_NEAR(levelMid / levelEarly, 0.5, 0.05) << "the level falls with the speed";
    }
  }
}

TEST(RenderBlock, EndOfTrackStopsOrLoopsTheSong) {
  for (bool songLoop : {false, true}) {
    TRenderDeck t(RampTrack(30000));
    const int32_t last = t.deck().LastFrame.load();
    ASSERT_EQ(last, 29999);
    t.PlayAt(last - 100.5, 1.0);
    t.deck().SongLoop.store(songLoop);
    const auto out = t.Render(400, 128);
    if (songLoop) {
      EXPECT_DOUBLE_EQ(t.deck().Position.load(), last - 100.5 + 400 - last);
      EXPECT_NE(out[2 * 399], out[2 * 101]);  // still playing audio
    } else {
      EXPECT_EQ(t.deck().Position.load(), last);
      EXPECT_TRUE(t.deck().Playing.load());
      // After the end: the last frame, fading.
      const int16_t lastOut = out[2 * 99];
      EXPECT_EQ(out[2 * 100], lastOut);
      EXPECT_LE(std::abs(out[2 * 399]), std::abs(lastOut));
      EXPECT_LT(std::abs(out[2 * 399]), std::abs(lastOut) / 2);
    }
  }
}

TEST(RenderBlock, LoopExitPlaysOneMorePassWithReloop) {
  TRenderDeck t(SineTrack(250000, 100.0, 10000.0));
  TSoundSource& d = t.deck();
  d.LoopStart.store(100000);
  d.LoopStartEff.store(100000);
  d.LoopEnd.store(144099);
  d.LoopEndEff.store(144099);
  d.LoopLength.store(44099);
  d.LoopLengthEff.store(44099);
  d.LoopActive.store(true);
  t.PlayAt(140000.0, 1.0);
  t.Render(10000);
  EXPECT_TRUE(d.LoopActive.load());
  EXPECT_NEAR(d.Position.load(), 140000.0 + 10000 - 44099, 1e-9);

  d.ExitLoopPending.store(true);  // exit requested with ReloopAfterExit (the default)
  // Plays on to the loop end and wraps once more to the start: then the loop is gone.
  const double toEnd = 144099 - d.Position.load();
  t.Render(static_cast<int32_t>(toEnd) + 1, 1);
  EXPECT_FALSE(d.LoopActive.load());
  EXPECT_EQ(d.LoopEnd.load(), 0);
  EXPECT_FALSE(d.ExitLoopPending.load());
  EXPECT_NEAR(d.Position.load(), 100000.0, 2.0);
  t.Render(50000);
  EXPECT_GT(d.Position.load(), 144100.0) << "the next pass continues past the loop end";
}

TEST(RenderBlock, LoopEditsTakeEffectOnlyInsideTheNewLoop) {
  TRenderDeck t(SineTrack(250000, 100.0, 10000.0));
  TSoundSource& d = t.deck();
  d.LoopStart.store(100000);
  d.LoopStartEff.store(100000);
  d.LoopEnd.store(110000);
  d.LoopEndEff.store(110000);
  d.LoopLength.store(10000);
  d.LoopLengthEff.store(10000);
  d.LoopActive.store(true);
  t.PlayAt(105000.0, 1.0);
  // Requested: a shifted loop the position is not inside; the old one stays in effect.
  d.LoopStart.store(120000);
  d.LoopEnd.store(130000);
  t.Render(20000);
  EXPECT_EQ(d.LoopStartEff.load(), 100000);
  EXPECT_GE(d.Position.load(), 100000.0);
  EXPECT_LE(d.Position.load(), 110000.0);
  // Requested end further out, the position inside: taken over.
  d.LoopStart.store(100000);
  d.LoopEnd.store(115000);
  d.LoopLength.store(15000);
  t.Render(256);
  EXPECT_EQ(d.LoopEndEff.load(), 115000);
  EXPECT_EQ(d.LoopLengthEff.load(), 15000);
}

TEST(RenderBlock, KeyLockKeepsPitchAndSplicesWithoutSteps) {
  // A 441 Hz sine (the search finds jumps of whole periods) and a 35.7 Hz sine
  // (no jump within reach keeps its phase: only the crossfade hides the splice).
  struct Case { double period; bool wholePeriods; };
  for (const Case c : {Case{100.0, true}, Case{1234.5, false}}) {
    const double amplitude = 10000.0;
    TRenderDeck t(SineTrack(260000, c.period, amplitude));
    TSoundSource& d = t.deck();
    d.KeyLock.store(true);
    const double start = 2000.0;
    t.PlayAt(start, 1.06);
    const int32_t frames = kSpliceInterval * 40;
    std::vector<int16_t> out(static_cast<size_t>(frames) * 2);
    std::vector<int32_t> jumps;
    for (int32_t done = 0; done < frames; done += 252) {
      ASSERT_TRUE(d.RenderBlock(out.data() + static_cast<size_t>(done) * 2, 252 * 4));
      const int32_t jump = d.NextSpliceJump();
      if (jumps.empty() || jumps.back() != jump) jumps.push_back(jump);
    }
    // Tempo: 1.06 source frames per output frame on average (the last jump is still pending).
    EXPECT_NEAR(d.Position.load() - start, 1.06 * frames, kSpliceCoarseRange + 2 * kSpliceFineRange + 212);
    ASSERT_GE(jumps.size(), 2u);
    for (size_t k = 1; k < jumps.size(); ++k) {
      EXPECT_NEAR(jumps[k], 212, 2 * (kSpliceCoarseRange + kSpliceFineRange)) << k;
      if (c.wholePeriods) {
        const int32_t phase = ((jumps[k] % 100) + 100) % 100;
        EXPECT_TRUE(phase <= 1 || phase >= 99) << "jump " << jumps[k] << " is not a whole number of periods";
      }
    }
    // No step larger than the sine's own slope plus what the 400-frame
    // equal-power crossfade adds (a bare jump would step by thousands here).
    const double maxSlope = 0.9 * amplitude * 2 * std::numbers::pi / c.period;
    const double crossfadeAllowance = 2 * 0.9 * amplitude * (std::numbers::pi / 2) / kSpliceOverlap;
    int32_t maxStep = 0;
    for (int32_t i = 1; i < frames; ++i) maxStep = std::max(maxStep, std::abs(out[2 * i] - out[2 * (i - 1)]));
    EXPECT_LE(maxStep, maxSlope + crossfadeAllowance + 2) << "period " << c.period;
    if (c.wholePeriods) {
      // Pitch: zero crossings still one period apart on average.
      int32_t crossings = 0;
      for (int32_t i = 1; i < frames; ++i) crossings += (out[2 * (i - 1)] < 0) != (out[2 * i] < 0) ? 1 : 0;
      EXPECT_NEAR(crossings, 2.0 * frames / c.period, 0.02 * 2.0 * frames / c.period);
    }
  }
}

TEST(RenderBlock, AbsentChunkGivesSilenceThatStillAdvances) {
  TRenderDeck t(RampTrack(10000));
  TSoundSource& d = t.deck();
  t.PlayAt(1000.0, 1.0);
  d.LoadPending.store(true);  // as while a new load is pending
  std::vector<int16_t> out(256 * 2, 7);
  ASSERT_TRUE(d.RenderBlock(out.data(), 256 * 4));
  for (int16_t s : out) ASSERT_EQ(s, 0);
  EXPECT_DOUBLE_EQ(d.Position.load(), 1000.0) << "no advance while a load is pending";
  // That block woke the live worker, which now reloads the track: let it finish
  // (it clears LoadPending itself) before the seek case, so the two never race.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while ((d.LoadPending.load() || !d.LoadOk.load() || d.ChunksPresent() < 1) &&
         std::chrono::steady_clock::now() < deadline) {
    if (d.LoadOk.load()) d.WakeEvent.Signal();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  ASSERT_TRUE(d.LoadOk.load() && !d.LoadPending.load()) << "the reload did not finish";
  t.PlayAt(1000.0, 1.0);
  d.SeekTarget.store(1000);
  d.SeekPending.store(true);
  ASSERT_TRUE(d.RenderBlock(out.data(), 256 * 4));
  EXPECT_DOUBLE_EQ(d.Position.load(), 1000.0) << "the seek sets the position";
  EXPECT_EQ(d.Correlate(1000, 400, 0), 0.0);
  d.SeekPending.store(false);
  EXPECT_GT(d.Correlate(1000, 400, 0), 0.0);
}

TEST(RenderBlock, ChunkBoundariesReadAcross) {
  // 7 s: two chunks; play across the boundary at 264600.
  TRenderDeck t(RampTrack(kChunkFrames + 44100));
  ASSERT_EQ(t.deck().ChunksPresent(), 2);
  t.PlayAt(kChunkFrames - 50.0, 1.0);
  const auto out = t.Render(100, 64);
  for (int i = 0; i < 100; ++i) ASSERT_EQ(out[2 * i], RoundToInt(0.9 * t.Source(kChunkFrames - 49 + i, 0))) << i;
}

// The renderer wakes the worker on every 150th block and on no other. Counted
// in worker passes, each waited for: one pass of our own first, after which at
// most one pass left from the load can still come; then every 150 blocks must
// bring a pass, and the whole run no more passes than those plus that one.
TEST(RenderBlock, WakesTheWorkerEvery150Blocks) {
  TRenderDeck t(RampTrack(200000));
  TSoundSource& d = t.deck();
  t.PlayAt(1000.0, 1.0);
  t.Render(64, 64);  // the first block enters chunk 0, which wakes the worker
  ASSERT_TRUE(test::RunWorkerPass(d));
  const uint32_t passes = d.WorkerPasses.load();
  d.RenderCount.store(0);
  constexpr uint32_t kRounds = 4;
  for (uint32_t round = 1; round <= kRounds; ++round) {
    SCOPED_TRACE(testing::Message() << "round " << round);
    t.Render(149 * 64, 64);
    EXPECT_EQ(d.RenderCount.load(), 149);
    t.Render(64, 64);
    EXPECT_EQ(d.RenderCount.load(), 0) << "the 150th block starts the count again";
    ASSERT_TRUE(test::WaitUntil([&] { return d.WorkerPasses.load() >= passes + round; }))
        << "the 150th block did not wake the worker";
  }
  EXPECT_LE(d.WorkerPasses.load(), passes + kRounds + 1) << "the worker was woken before a 150th block";
}

TEST(RenderBlock, EnteringAnotherChunkWakesTheWorkerAtOnce) {
  // With large device blocks 150 blocks span more than a chunk, so the worker
  // would fall behind a playing deck if it waited for the count. Chunk 2 is
  // decoded only by a pass that finds the position in chunk 1.
  TRenderDeck t(RampTrack(5 * kChunkFrames), false);
  TSoundSource& d = t.deck();
  ASSERT_EQ(d.ChunkAt(2), nullptr);
  t.PlayAt(kChunkFrames - 200.0, 1.0);
  t.Render(64, 64);
  d.RenderCount.store(0);
  t.Render(256, 64);  // crosses into chunk 1
  EXPECT_TRUE(test::WaitUntil([&] { return d.ChunkAt(2) != nullptr; }, 10000));
  EXPECT_LT(d.RenderCount.load(), 150) << "woken by the chunk, not by the count";
}

TEST(RenderBlock, SilenceOfAPlayingDeckWithoutItsAudioIsCounted) {
  TRenderDeck t(RampTrack(3 * kChunkFrames));
  TSoundSource& d = t.deck();
  std::vector<int16_t> out(256 * 2);
  auto render = [&](int blocks) {
    for (int i = 0; i < blocks; ++i) ASSERT_TRUE(d.RenderBlock(out.data(), 256 * 4));
  };
  EXPECT_EQ(d.MissingAudioBlocks(), 0);
  // A pending seek: the renderer waits for the worker (which is not woken here).
  t.PlayAt(1000.0, 1.0);
  d.SeekTarget.store(1000);
  d.SeekPending.store(true);
  render(10);
  EXPECT_EQ(d.MissingAudioBlocks(), 10);
  EXPECT_EQ(d.MissingAudioFrames(), 2560);
  EXPECT_EQ(d.LongestMissingAudioRun(), 2560);
  d.SeekPending.store(false);
  render(1);  // audible: the run ends
  d.SeekPending.store(true);
  render(3);
  EXPECT_EQ(d.MissingAudioBlocks(), 13);
  EXPECT_EQ(d.LongestMissingAudioRun(), 2560) << "two runs, not one";
  // A stopped deck's silence is not missing audio.
  d.Playing.store(false);
  render(5);
  EXPECT_EQ(d.MissingAudioBlocks(), 13);
  d.SeekPending.store(false);
  // An absent chunk under a playing deck.
  t.PlayAt(kChunkFrames + 1000.0, 1.0);
  // A whole worker pass (decoding, then analysing) ends first: the worker then
  // sleeps until woken, so the chunk released here stays released.
  ASSERT_TRUE(test::RunWorkerPass(d));
  d.FreeChunk(1, true);
  ASSERT_EQ(d.ChunkAt(1), nullptr);
  render(1);
  for (int16_t v : out) ASSERT_EQ(v, 0);
  EXPECT_EQ(d.MissingAudioBlocks(), 14);
}

TEST(RenderBlock, WorkerCanWaitForTheRunningBlockToEnd) {
  TRenderDeck t(RampTrack(20000));
  TSoundSource& d = t.deck();
  t.PlayAt(10.0, 1.0);
  t.Render(256);
  EXPECT_EQ(d.RenderEpoch.load() % 2, 0u) << "no block running";
  d.WaitForRenderBlockEnd();  // returns at once
  d.RenderEpoch.fetch_add(1);  // as inside a block
  std::atomic<bool> waited{false};
  std::thread worker([&] {
    d.WaitForRenderBlockEnd();
    waited.store(true);
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_FALSE(waited.load());
  d.RenderEpoch.fetch_add(1);  // the block ends
  worker.join();
  EXPECT_TRUE(waited.load());
}

// No block has been rendered: the jump is made at once by the caller, never
// handed to a renderer. A stand-in renderer that takes any request it sees (as
// RenderBlock does between blocks) must find none.
TEST(CueJump, PerformedDirectlyWhenTheAudioThreadIsNotRendering) {
  TRenderDeck t(RampTrack(60000));
  TSoundSource& d = t.deck();
  d.CuePoint.store(44100);
  t.PlayAt(1000.0, 1.0);
  std::atomic<bool> watching{false}, stop{false};
  std::atomic<int> requestsSeen{0};
  std::thread renderer([&] {
    watching.store(true);
    while (!stop.load()) {
      if (d.CueJumpRequest.exchange(false)) {
        requestsSeen.fetch_add(1);
        d.PerformCueJump();
      }
    }
  });
  ASSERT_TRUE(test::WaitUntil([&] { return watching.load(); }));
  d.RequestCueJump(true);
  stop.store(true);
  renderer.join();
  EXPECT_EQ(requestsSeen.load(), 0) << "the jump waited for a renderer that was not rendering";
  EXPECT_FALSE(d.CueJumpRequest.load());
  EXPECT_FALSE(d.Playing.load());
  EXPECT_DOUBLE_EQ(d.Position.load(), 44100.0);
}

TEST(CueJump, TakenByTheRendererBetweenBlocks) {
  TRenderDeck t(RampTrack(60000));
  TSoundSource& d = t.deck();
  d.CuePoint.store(44100);
  d.LoopActive.store(true);
  d.LoopEnd.store(50000);
  t.PlayAt(1000.0, 1.0);
  std::atomic<bool> stop{false};
  std::atomic<int> blocksAfterJump{0};
  std::thread audio([&] {
    std::vector<int16_t> out(256 * 2);
    while (!stop.load()) {
      d.RenderBlock(out.data(), 256 * 4);
      if (!d.Playing.load()) blocksAfterJump.fetch_add(1);
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  d.RequestCueJump(true);
  EXPECT_FALSE(d.CueJumpRequest.load());
  EXPECT_FALSE(d.Playing.load());
  EXPECT_FALSE(d.LoopActive.load()) << "the jump ends the loop";
  EXPECT_DOUBLE_EQ(d.Position.load(), 44100.0);
  stop.store(true);
  audio.join();
}

TEST(CueJump, WaitIsBoundedWhenTheRendererStalls) {
  TRenderDeck t(RampTrack(60000));
  TSoundSource& d = t.deck();
  d.CuePoint.store(30000);
  t.PlayAt(1000.0, 1.0);
  t.Render(256);  // rendered just now, then the audio thread stalls
  const auto rendered = std::chrono::steady_clock::now();
  d.RequestCueJump(true);
  const auto end = std::chrono::steady_clock::now();
  const auto waited = end - rendered;
  EXPECT_GE(waited, std::chrono::milliseconds(200)) << "it waited for the renderer first";
  EXPECT_LT(waited, std::chrono::milliseconds(1000));
  EXPECT_FALSE(d.CueJumpRequest.load());
  EXPECT_DOUBLE_EQ(d.Position.load(), 30000.0);
}

}  // namespace
}  // namespace zonda
