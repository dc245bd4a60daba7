// The Rubber Band key lock engine beside the splice: it keeps the pitch, its
// position read-outs are true to what is heard (latency compensated), cue
// points and loops land on the same frames whatever the engine, switching
// engines or key lock never clicks, and the audio path neither allocates nor
// locks with a Rubber Band voice running.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "engine/KeyLockRubberBand.h"
#include "tests/engine/RenderDeckFixture.h"
#include "tests/support/AllocationCounter.h"
#include "tests/support/Fft.h"
#include "tests/support/LockCounter.h"

namespace zonda {
namespace {

constexpr double kTwoPi = 2.0 * M_PI;
constexpr int32_t kBlock = 256;

const char* EngineName(TKeyLockEngine e) {
  switch (e) {
    case TKeyLockEngine::Splice: return "splice";
    case TKeyLockEngine::RubberBand: return "rubberband R3";
    case TKeyLockEngine::RubberBandR2: return "rubberband R2";
  }
  return "?";
}

// Renders `frames` in 256-frame blocks and records Position after each block
// (positions[k] is the position at output frame k * 256).
std::vector<int16_t> RenderWithPositions(test::TRenderDeck& t, int32_t frames, std::vector<double>& positions) {
  frames = (frames + kBlock - 1) / kBlock * kBlock;
  std::vector<int16_t> out(static_cast<size_t>(frames) * 2);
  positions.assign(1, t.deck().Position.load());
  for (int32_t done = 0; done < frames; done += kBlock) {
    EXPECT_TRUE(t.deck().RenderBlock(out.data() + static_cast<size_t>(done) * 2, kBlock * 4));
    positions.push_back(t.deck().Position.load());
  }
  return out;
}

using test::Fft;

// Energy outside +-25 Hz of the two tones, relative to the whole, in dB
// (left channel; Hann-windowed 8192-frame spectra averaged over `count` frames from `first`).
double OutsideTonesDb(const std::vector<int16_t>& pcm, size_t first, size_t count, double f1, double f2) {
  constexpr size_t kN = 8192;
  double tone = 0.0, total = 0.0;
  for (size_t start = first; start + kN <= first + count; start += kN / 2) {
    std::vector<double> re(kN), im(kN, 0.0);
    for (size_t k = 0; k < kN; ++k) re[k] = pcm[2 * (start + k)] * (0.5 - 0.5 * std::cos(kTwoPi * k / kN));
    Fft(re, im);
    for (size_t b = 1; b < kN / 2; ++b) {
      const double e = re[b] * re[b] + im[b] * im[b];
      const double f = b * 44100.0 / kN;
      total += e;
      if (std::fabs(f - f1) <= 25.0 || std::fabs(f - f2) <= 25.0) tone += e;
    }
  }
  return 10.0 * std::log10((total - tone) / total);
}

// The largest |second difference| of the left channel: a click shows as a
// value far above a smooth signal's.
double MaxSecondDifference(const std::vector<int16_t>& pcm) {
  double m = 0.0;
  for (size_t k = 1; k + 1 < pcm.size() / 2; ++k)
    m = std::max(m, std::fabs(double(pcm[2 * (k + 1)]) - 2.0 * pcm[2 * k] + pcm[2 * (k - 1)]));
  return m;
}

// A quiet tone with loud 48-frame bursts at the given frames.
std::vector<int16_t> MarkedTrack(int32_t frames, const std::vector<int32_t>& marks) {
  auto pcm = test::MakeFrames(frames, [](int32_t k, int16_t& l, int16_t& r) {
    l = r = static_cast<int16_t>(std::lround(1500.0 * std::sin(kTwoPi * 330.0 * k / 44100.0)));
  });
  for (int32_t m : marks) {
    for (int32_t k = 0; k < 48; ++k) {
      const auto v = static_cast<int16_t>(std::lround(24000.0 * std::sin(kTwoPi * 2000.0 * k / 44100.0 + 0.3)));
      pcm[2 * static_cast<size_t>(m + k)] = pcm[2 * static_cast<size_t>(m + k) + 1] = v;
    }
  }
  return pcm;
}

// Output frames where a burst begins (|x| above 9000 after 2000 quiet frames).
std::vector<int32_t> Onsets(const std::vector<int16_t>& pcm) {
  std::vector<int32_t> at;
  int32_t quiet = 100000;
  for (int32_t k = 0; k < static_cast<int32_t>(pcm.size() / 2); ++k) {
    if (std::abs(pcm[2 * static_cast<size_t>(k)]) > 9000) {
      if (quiet > 2000) at.push_back(k);
      quiet = 0;
    } else {
      ++quiet;
    }
  }
  return at;
}

// The output frame at which the recorded positions pass source frame m
// (first crossing at or after output frame `from`); -1 when never.
double WhenPositionPasses(const std::vector<double>& positions, double m, double speed, int32_t from = 0) {
  for (size_t k = static_cast<size_t>(from / kBlock); k + 1 < positions.size(); ++k) {
    const double a = positions[k], b = positions[k + 1];
    if (b - a > 0 && b - a < 2.0 * kBlock * speed && a <= m && m < b)
      return static_cast<double>(k) * kBlock + (m - a) / (b - a) * kBlock;
  }
  return -1.0;
}

class KeyLockEngines : public ::testing::TestWithParam<TKeyLockEngine> {};

TEST_P(KeyLockEngines, MarksSoundWhereThePositionSaysTheyAre) {
  const TKeyLockEngine engine = GetParam();
  std::vector<int32_t> marks;
  for (int32_t m = 30000; m < 600000; m += 30000) marks.push_back(m);
  test::TRenderDeck t(MarkedTrack(700000, marks));
  TSoundSource& d = t.deck();
  d.SetKeyLockEngine(engine);
  d.SetKeyLock(true);
  for (double speed : {1.08, 0.92}) {
    t.PlayAt(10000.0, speed);
    std::vector<double> positions;
    const auto out = RenderWithPositions(t, 44100 * 8, positions);
    if (engine != TKeyLockEngine::Splice) {
      EXPECT_EQ(d.RenderedPath(), 2) << "the Rubber Band voice took over";
    }
    const auto onsets = Onsets(out);
    int checked = 0;
    double worst = 0.0;
    for (int32_t m : marks) {
      const double expected = WhenPositionPasses(positions, m, speed);
      if (expected < 0) continue;
      // The onset nearest to where the position passes the mark.
      double best = 1e9;
      for (int32_t o : onsets) best = std::min(best, std::fabs(o - expected));
      worst = std::max(worst, best);
      ++checked;
    }
    EXPECT_GE(checked, 8);
    std::printf("%s at %.2f: %d marks, worst onset %.0f frames from the position\n", EngineName(engine), speed,
                checked, worst);
    // Where the read-out says: R3 within 1.5 ms, R2 (its longer windows
    // smear a burst's edge) within 5 ms, the splice within one of its jumps
    // (its read head moves by jumps the block read-outs do not see).
    const double tolerance = engine == TKeyLockEngine::RubberBand
                                 ? 66.0
                                 : (engine == TKeyLockEngine::RubberBandR2 ? 220.0
                                                                          : 40.0 + std::fabs(speed - 1.0) * 3528.0);
    EXPECT_LE(worst, tolerance) << EngineName(engine) << " at speed " << speed;
  }
}

TEST_P(KeyLockEngines, CuePointsAndLoopsLandOnTheirFrames) {
  const TKeyLockEngine engine = GetParam();
  const int32_t loopStart = 200000, loopEnd = 244100, cue = 400000;
  test::TRenderDeck t(MarkedTrack(700000, {loopStart + 10000, cue + 30000}));
  TSoundSource& d = t.deck();
  d.SetKeyLockEngine(engine);
  d.SetKeyLock(true);
  const double speed = 1.04;

  // A loop of one second: every pass the mark sounds one loop later.
  d.LoopStart.store(loopStart);
  d.LoopStartEff.store(loopStart);
  d.LoopEnd.store(loopEnd);
  d.LoopEndEff.store(loopEnd);
  d.LoopLength.store(loopEnd - loopStart);
  d.LoopLengthEff.store(loopEnd - loopStart);
  d.LoopActive.store(true);
  t.PlayAt(loopStart + 100.0, speed);
  std::vector<double> positions;
  const auto out = RenderWithPositions(t, 44100 * 6, positions);
  for (double p : positions) {
    EXPECT_GE(p, loopStart - 1.0);
    EXPECT_LE(p, loopEnd + 1.0);
  }
  const auto onsets = Onsets(out);
  const double period = (loopEnd - loopStart) / speed;
  ASSERT_GE(onsets.size(), 5u) << EngineName(engine);
  for (size_t k = 1; k < onsets.size(); ++k) {
    // The splice's read head moves in jumps (up to 141 frames at +4 %).
    EXPECT_NEAR(onsets[k] - onsets[k - 1], period, 200.0) << EngineName(engine) << " pass " << k;
  }
  // The first pass: the mark sounds when the position passes it.
  const double expected = WhenPositionPasses(positions, loopStart + 10000, speed);
  EXPECT_NEAR(onsets[0], expected, 132.0) << EngineName(engine);
  d.LoopActive.store(false);

  // The cue: the jump lands on the cue point; from there the position and
  // the audio run on together.
  d.CuePoint.store(cue);
  d.RequestCueJump(false);
  std::vector<int16_t> block(kBlock * 2);
  d.RenderBlock(block.data(), kBlock * 4);
  EXPECT_EQ(d.Position.load(), static_cast<double>(cue)) << EngineName(engine);
  EXPECT_FALSE(d.Playing.load());
  d.StartAtSpeed(speed);
  d.Playing.store(true);
  const auto after = RenderWithPositions(t, 44100 * 2, positions);
  const auto cueOnsets = Onsets(after);
  ASSERT_FALSE(cueOnsets.empty());
  EXPECT_NEAR(cueOnsets[0], 30000.0 / speed, 132.0) << EngineName(engine);
  EXPECT_NEAR(positions[100], cue + 100.0 * kBlock * speed, 150.0) << EngineName(engine);
}

INSTANTIATE_TEST_SUITE_P(All, KeyLockEngines,
                         ::testing::Values(TKeyLockEngine::Splice, TKeyLockEngine::RubberBand,
                                           TKeyLockEngine::RubberBandR2),
                         [](const auto& info) {
                           return std::string(info.param == TKeyLockEngine::Splice
                                                  ? "Splice"
                                                  : (info.param == TKeyLockEngine::RubberBand ? "RubberBandR3"
                                                                                              : "RubberBandR2"));
                         });

TEST(RubberBandKeyLock, KeepsThePitchCleanerThanTheSplice) {
  const auto tones = test::MakeFrames(44100 * 12, [](int32_t k, int16_t& l, int16_t& r) {
    const double t = k / 44100.0;
    l = r = static_cast<int16_t>(std::lround(9000.0 * (std::sin(kTwoPi * 1000.0 * t) + std::sin(kTwoPi * 440.0 * t))));
  });
  test::TRenderDeck t(tones);
  TSoundSource& d = t.deck();
  double splice = 0.0;
  for (TKeyLockEngine e : {TKeyLockEngine::Splice, TKeyLockEngine::RubberBand, TKeyLockEngine::RubberBandR2}) {
    d.SetKeyLockEngine(e);
    d.SetKeyLock(true);
    t.PlayAt(1000.0, 1.06);
    const auto out = t.Render(44100 * 3);
    const double db = OutsideTonesDb(out, 44100, 65536, 1000.0, 440.0);
    std::printf("%s: energy outside the tones %.1f dB\n", EngineName(e), db);
    if (e == TKeyLockEngine::Splice) {
      splice = db;
    } else {
      EXPECT_EQ(d.RenderedPath(), 2);
      // Measured from outside (the issue): splice -22, R2 -32, R3 -56 dB.
      EXPECT_LT(db, splice - (e == TKeyLockEngine::RubberBand ? 15.0 : 3.0)) << EngineName(e);
    }
  }
  EXPECT_GT(d.RubberBandLatency(TKeyLockEngine::RubberBand), 0);
}

TEST(RubberBandKeyLock, SwitchingEnginesAndKeyLockNeverClicks) {
  const auto sine = test::MakeFrames(44100 * 30, [](int32_t k, int16_t& l, int16_t& r) {
    l = r = static_cast<int16_t>(std::lround(16000.0 * std::sin(kTwoPi * 440.0 * k / 44100.0)));
  });
  test::TRenderDeck t(sine);
  TSoundSource& d = t.deck();
  d.SetKeyLockEngine(TKeyLockEngine::RubberBand);
  d.SetKeyLockEngine(TKeyLockEngine::RubberBandR2);
  d.SetKeyLockEngine(TKeyLockEngine::Splice);
  d.SetKeyLock(false);
  t.PlayAt(1000.0, 1.05);
  // The steady plain play: the measure's floor for this sine.
  std::vector<int16_t> all = t.Render(22050);
  const double smooth = MaxSecondDifference(all);
  struct Step {
    bool keyLock;
    TKeyLockEngine engine;
  };
  const Step steps[] = {
      {true, TKeyLockEngine::Splice},        {true, TKeyLockEngine::RubberBand}, {true, TKeyLockEngine::RubberBandR2},
      {true, TKeyLockEngine::RubberBand},    {true, TKeyLockEngine::Splice},     {false, TKeyLockEngine::Splice},
      {true, TKeyLockEngine::RubberBandR2}, {false, TKeyLockEngine::RubberBandR2},
  };
  double worst = 0.0;
  for (const Step& s : steps) {
    d.SetKeyLockEngine(s.engine);
    d.SetKeyLock(s.keyLock);
    // The switch happens at the first frame of this render: the measure
    // runs across the edge from the frames before it.
    std::vector<int16_t> out(all.end() - 4, all.end());
    const auto more = t.Render(44100);  // the voice takes over within 0.2 s
    out.insert(out.end(), more.begin(), more.end());
    all.insert(all.end(), more.begin(), more.end());
    EXPECT_EQ(d.RenderedPath(), !s.keyLock ? 0 : (s.engine == TKeyLockEngine::Splice ? 1 : 2));
    const double m = MaxSecondDifference(out);
    worst = std::max(worst, m);
    EXPECT_LE(m, 3.0 * smooth + 30.0) << "key lock " << s.keyLock << " " << EngineName(s.engine);
  }
  EXPECT_LE(MaxSecondDifference(all), 3.0 * smooth + 30.0);
  std::printf("max second difference: steady %.0f, across switches %.0f\n", smooth, worst);
  // The measure sees a click: a jump of the position (a seek) is one.
  std::vector<int16_t> seek = t.Render(1024);
  d.Position.store(d.Position.load() + 1234.5);
  const auto after = t.Render(1024);
  seek.insert(seek.end(), after.begin(), after.end());
  EXPECT_GT(MaxSecondDifference(seek), 10.0 * smooth);
}

TEST(RubberBandKeyLock, APitchChangeKeepsThePositionTrue) {
  // The pitch moved while a voice plays: the stretcher follows the new ratio
  // and the position goes on at the new speed; the marks still sound where
  // the position says.
  std::vector<int32_t> marks;
  for (int32_t m = 30000; m < 600000; m += 30000) marks.push_back(m);
  test::TRenderDeck t(MarkedTrack(700000, marks));
  TSoundSource& d = t.deck();
  for (TKeyLockEngine engine : {TKeyLockEngine::RubberBand, TKeyLockEngine::RubberBandR2}) {
    d.SetKeyLockEngine(engine);
    d.SetKeyLock(true);
    t.PlayAt(10000.0, 1.0);
    std::vector<double> before, after;
    RenderWithPositions(t, 44100 * 2, before);
    ASSERT_EQ(d.RenderedPath(), 2);
    d.StartAtSpeed(1.08);  // the pitch fader jumps by 8 %
    const auto out = RenderWithPositions(t, 44100 * 6, after);
    EXPECT_EQ(d.RenderedPath(), 2) << "the same voice plays on";
    const auto onsets = Onsets(out);
    double worst = 0.0;
    int checked = 0;
    for (int32_t m : marks) {
      const double expected = WhenPositionPasses(after, m, 1.08);
      if (expected < 0) continue;
      double best = 1e9;
      for (int32_t o : onsets) best = std::min(best, std::fabs(o - expected));
      worst = std::max(worst, best);
      ++checked;
    }
    std::printf("%s after a pitch change 0 -> +8 %%: %d marks, worst onset %.0f frames from the position\n",
                EngineName(engine), checked, worst);
    EXPECT_GE(checked, 6);
    EXPECT_LE(worst, engine == TKeyLockEngine::RubberBand ? 66.0 : 132.0) << EngineName(engine);
  }
}

TEST(RubberBandKeyLock, APauseKeepsTheVoice) {
  const auto tone = test::MakeFrames(300000, [](int32_t k, int16_t& l, int16_t& r) {
    l = r = static_cast<int16_t>(std::lround(12000 * std::sin(k * 0.05)));
  });
  test::TRenderDeck t(tone);
  TSoundSource& d = t.deck();
  d.SetKeyLockEngine(TKeyLockEngine::RubberBand);
  d.SetKeyLock(true);
  t.PlayAt(1000.0, 1.04);
  t.Render(22050);
  ASSERT_EQ(d.RenderedPath(), 2);
  const double paused = d.Position.load();
  d.Playing.store(false);
  t.Render(4096);
  EXPECT_EQ(d.Position.load(), paused);
  d.StartAtSpeed(1.04);
  d.Playing.store(true);
  t.Render(256);
  EXPECT_EQ(d.RenderedPath(), 2) << "the voice goes on where it stopped, no new start";
  EXPECT_NEAR(d.Position.load(), paused + 256 * 1.04, 1e-6);
}

TEST(RubberBandKeyLock, TheAudioPathNeitherAllocatesNorLocks) {
  const auto tone = test::MakeFrames(600000, [](int32_t k, int16_t& l, int16_t& r) {
    l = static_cast<int16_t>(std::lround(12000 * std::sin(k * 0.031)));
    r = static_cast<int16_t>(-l / 2);
  });
  test::TRenderDeck t(tone);
  TSoundSource& d = t.deck();
  // Main thread: the voices exist before the audio path runs.
  d.SetKeyLockEngine(TKeyLockEngine::RubberBandR2);
  d.SetKeyLockEngine(TKeyLockEngine::RubberBand);
  d.SetKeyLock(true);
  t.PlayAt(1000.0, 1.06);
  std::vector<int16_t> out(kBlock * 2);
  auto blocks = [&](int n) {
    int allocations = 0;
    const int locks = test::CountLocks([&] {
      allocations = test::CountAllocations([&] {
        for (int b = 0; b < n; ++b) d.RenderBlock(out.data(), kBlock * 4);
      });
    });
    if (allocations + locks != 0) std::printf("allocations %d, locks %d\n", allocations, locks);
    return allocations + locks;
  };
  EXPECT_EQ(blocks(200), 0) << "warm-up and take-over";
  EXPECT_EQ(d.RenderedPath(), 2);
  d.Speed.store(0.95);
  EXPECT_EQ(blocks(50), 0) << "speed change";
  d.Position.store(300000.0);
  EXPECT_EQ(blocks(50), 0) << "seek";
  d.Nudge(200.0);
  EXPECT_EQ(blocks(20), 0) << "nudge";
  d.LoopStart.store(310000);
  d.LoopStartEff.store(310000);
  d.LoopEnd.store(315000);
  d.LoopEndEff.store(315000);
  d.LoopLength.store(5000);
  d.LoopLengthEff.store(5000);
  d.LoopActive.store(true);
  d.Position.store(311000.0);
  EXPECT_EQ(blocks(100), 0) << "loop";
  d.LoopActive.store(false);
  EXPECT_EQ(blocks(30), 0) << "loop exit";
  d.KeyLockEngine.store(static_cast<int32_t>(TKeyLockEngine::RubberBandR2));
  EXPECT_EQ(blocks(60), 0) << "R3 to R2";
  d.Speed.store(-1.02);
  EXPECT_EQ(blocks(60), 0) << "backwards";
  d.KeyLock.store(false);
  EXPECT_EQ(blocks(20), 0) << "key lock off";
  d.KeyLock.store(true);
  d.Speed.store(1.03);
  EXPECT_EQ(blocks(60), 0) << "key lock on";
}

}  // namespace
}  // namespace zonda
