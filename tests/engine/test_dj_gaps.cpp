// A real deck (decoder front, worker, renderer) driven the way the controls
// drive it, for the transport cases a DJ meets first: key lock at -8 %
// reversed inside a loop, pitch at the ends of its range (the sliders reach
// +/-24 %, the bend and zonda-engine +/-100 %), and reverse play into the
// first frame. Expectations come from the source itself: which tone the
// output carries (Goertzel), how many output frames each stretch of the source
// lasts, and the source samples.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <string>
#include <vector>

#include "engine/KeyLockSplice.h"
#include "engine/SampleMath.h"
#include "tests/engine/RenderDeckFixture.h"
#include "tests/support/ToneAnalysis.h"

namespace zonda {
namespace {

using test::ToneDb;

constexpr int32_t kRate = 44100;
constexpr int32_t kSegmentFrames = kRate / 2;
constexpr int32_t kSegments = 40;  // a 20 s track
constexpr int32_t kLoopFirst = 10, kLoopSegments = 4;
constexpr double kLoopHz[kLoopSegments] = {600, 800, 1000, 1200};
constexpr double kOtherHz = 300;  // everywhere outside the loop
constexpr double kAmplitude = 0.5;

// Half-second segments of one tone each; the four inside the loop differ.
std::vector<int16_t> SegmentTrack() {
  double phase = 0;
  return test::MakeFrames(kSegments * kSegmentFrames, [&](int32_t k, int16_t& l, int16_t& r) {
    const int32_t s = k / kSegmentFrames;
    const double hz = s >= kLoopFirst && s < kLoopFirst + kLoopSegments ? kLoopHz[s - kLoopFirst] : kOtherHz;
    phase += 2 * std::numbers::pi * hz / kRate;
    l = r = static_cast<int16_t>(std::lround(kAmplitude * 32767 * std::sin(phase)));
  });
}

std::vector<double> Left(const std::vector<int16_t>& pcm, int64_t from, int64_t to) {
  std::vector<double> x;
  for (int64_t f = std::max<int64_t>(from, 0); f < to && f < int64_t(pcm.size() / 2); ++f) x.push_back(pcm[size_t(2 * f)]);
  return x;
}

// Which loop segment each 10 ms of the output carries (-1: none clearly), by
// the strongest of the four tones at their expected heights.
std::vector<int> Classify(const std::vector<int16_t>& out, double factor, int32_t hop) {
  std::vector<int> classes;
  const int32_t window = 2048;
  for (int64_t f = 0; f + window <= int64_t(out.size() / 2); f += hop) {
    const auto x = Left(out, f, f + window);
    double best = -1e9, second = -1e9;
    int which = -1;
    for (int s = 0; s < kLoopSegments; ++s) {
      const double d = ToneDb(x, kLoopHz[s] * factor);
      if (d > best) {
        second = best;
        best = d;
        which = s;
      } else if (d > second) {
        second = d;
      }
    }
    classes.push_back(best - second > 20 ? which : -1);
  }
  return classes;
}

struct Dwell {
  int segment;
  int64_t first, last;  // output frames
};

// Runs of one segment, at least minHops long; shorter runs and unclear hops
// (a splice or a crossfade over a segment boundary) are left out.
std::vector<Dwell> Dwells(const std::vector<int>& classes, int32_t hop, int minHops) {
  std::vector<Dwell> runs;
  for (size_t i = 0; i < classes.size();) {
    size_t j = i;
    while (j < classes.size() && classes[j] == classes[i]) ++j;
    if (classes[i] >= 0 && int(j - i) >= minHops) {
      if (!runs.empty() && runs.back().segment == classes[i]) {
        runs.back().last = int64_t(j) * hop;
      } else {
        runs.push_back({classes[i], int64_t(i) * hop, int64_t(j) * hop});
      }
    }
    i = j;
  }
  return runs;
}

// ---------------------------------------------------------------------------
// Inside a four-segment loop: the segments come in the order of play and
// wrap at the loop's ends; each lasts 22050 / |speed| output frames (a line
// fitted through the changes); key lock keeps each tone's frequency, plain
// pitch multiplies it by |speed|.

struct LoopCase {
  const char* name;
  int32_t pitchPermyriad;
  int32_t direction;
  bool keyLock;
};

TEST(DjGaps, LoopedPlayAtAnyPitchDirectionAndKeyLock) {
  const LoopCase cases[] = {
      {"key lock -8 % reversed", -800, -1, true},
      {"key lock -8 % forwards", -800, 1, true},
      {"-8 % reversed", -800, -1, false},
      {"key lock +24 % reversed", 2400, -1, true},
      {"key lock -24 %", -2400, 1, true},
      {"+100 %", 10000, 1, false},
      {"+100 % reversed", 10000, -1, false},
      {"key lock +100 %", 10000, 1, true},
      {"key lock +100 % reversed", 10000, -1, true},  // splices searched behind the position
  };
  test::TRenderDeck t(SegmentTrack());
  TSoundSource& d = t.deck();
  const int32_t loopStart = kLoopFirst * kSegmentFrames, loopLength = kLoopSegments * kSegmentFrames;
  for (const LoopCase& c : cases) {
    SCOPED_TRACE(c.name);
    // What the loop controls leave: the requested loop and the loop in effect.
    d.LoopStart.store(loopStart);
    d.LoopStartEff.store(loopStart);
    d.LoopEnd.store(loopStart + loopLength);
    d.LoopEndEff.store(loopStart + loopLength);
    d.LoopLength.store(loopLength);
    d.LoopLengthEff.store(loopLength);
    d.LoopActive.store(true);
    // From the middle of the loop, at normal speed, then the controls move.
    t.PlayAt(loopStart + 2 * kSegmentFrames - 1000.0 * c.direction, 1.0);
    d.KeyLock.store(c.keyLock);
    d.SetDirection(c.direction);
    d.SetPitch(c.pitchPermyriad);
    const double speed = c.direction * (1 + c.pitchPermyriad / 10000.0);
    const double factor = c.keyLock ? 1.0 : std::fabs(speed);
    const double dwellFrames = kSegmentFrames / std::fabs(speed);
    const int32_t frames = static_cast<int32_t>(5.5 * loopLength / std::fabs(speed));
    const auto out = t.Render(frames, 256);

    const int32_t hop = 441;
    const auto runs = Dwells(Classify(out, factor, hop), hop, std::max(3, int(dwellFrames / hop / 4)));
    ASSERT_GE(runs.size(), 16u) << "segments heard";
    // Order: the next segment in the direction of play, wrapping inside the loop.
    for (size_t k = 1; k < runs.size(); ++k) {
      const int expected = ((runs[k - 1].segment + c.direction) % kLoopSegments + kLoopSegments) % kLoopSegments;
      EXPECT_EQ(runs[k].segment, expected) << "change " << k << " at frame " << runs[k].first;
    }
    // Length: output frames per segment, a least-squares line through the
    // changes after the first (which the speed ramp shifts).
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    int n = 0;
    for (size_t k = 2; k < runs.size(); ++k, ++n) {
      const double x = double(k), y = double(runs[k].first);
      sx += x, sy += y, sxx += x * x, sxy += x * y;
    }
    const double slope = (n * sxy - sx * sy) / (n * sxx - sx * sx);
    EXPECT_NEAR(slope / dwellFrames, 1.0, 0.005) << "frames per segment " << slope << ", expected " << dwellFrames;
    // Never out of the loop.
    EXPECT_GE(d.Position.load(), loopStart - 1.0);
    EXPECT_LE(d.Position.load(), loopStart + loopLength + 1.0);
    // Frequency and level in the middle of a few whole dwells; below normal
    // speed the deck plays softer in proportion.
    const double level = test::FullScaleDb(0.9 * kAmplitude * 32767 * std::min(std::fabs(speed), 1.0));
    for (size_t k = 3; k < 7; ++k) {
      const int64_t mid = (runs[k].first + runs[k].last) / 2;
      const auto x = Left(out, mid - 2048, mid + 2048);
      const double hz = kLoopHz[runs[k].segment] * factor;
      EXPECT_NEAR(test::PeakHz(x, hz - 20, hz + 20), hz, 0.5) << "segment " << runs[k].segment;
      EXPECT_NEAR(ToneDb(x, hz), level, 0.3) << "segment " << runs[k].segment;
    }
  }
}

// ---------------------------------------------------------------------------
// Pitch -100 % (the bottom of the bend, and of zonda-engine's pitch range):
// the deck stands still and is silent, with and without key lock; back at 0 %
// it plays on from where it stood.

TEST(DjGaps, PitchMinusOneHundredStandsTheDeckStill) {
  for (bool keyLock : {false, true}) {
    SCOPED_TRACE(keyLock ? "key lock" : "no key lock");
    test::TRenderDeck t(SegmentTrack());
    TSoundSource& d = t.deck();
    d.KeyLock.store(keyLock);
    t.PlayAt(kLoopFirst * kSegmentFrames + 10000.0, 1.0);
    d.SetPitch(-10000);
    t.Render(4096);  // the speed ramp down (500 frames)
    const double stood = d.Position.load();
    const auto still = t.Render(kRate);
    EXPECT_EQ(d.Position.load(), stood);
    EXPECT_TRUE(std::all_of(still.begin(), still.end(), [](int16_t s) { return s == 0; }));
    d.SetPitch(0);
    const auto again = t.Render(kRate / 4);
    EXPECT_NEAR(test::PeakHz(Left(again, 4096, kRate / 4), 500, 700), kLoopHz[0], 0.5) << "the same segment";
    // Plain pitch loses about 1000 frames to the 2000-frame ramp back up; key
    // lock reads one frame per frame at once but applies, at its next splice,
    // the jump it chose while standing (one interval back).
    EXPECT_NEAR(d.Position.load(), stood + kRate / 4 - (keyLock ? kSpliceInterval : 1000), 300.0);
  }
}

// ---------------------------------------------------------------------------
// Reverse play reaching frame 0 at normal speed: every output frame is the
// source frame before the previous one at 0.9 of full scale, down to frame
// 0; then the deck stays at 0, fading its last frame out over 441 frames and
// silent after, never wrapping to the end of the track.

TEST(DjGaps, ReversePlayEndsExactlyAtTheFirstFrame) {
  // The first second a cosine (frame 0 is loud), the rest a 3 kHz tone that a wrap would bring.
  const auto pcm = test::MakeFrames(3 * kRate, [](int32_t k, int16_t& l, int16_t& r) {
    const double t = double(k) / kRate;
    l = static_cast<int16_t>(std::lround(20000 * (k < kRate ? std::cos(2 * std::numbers::pi * 500 * t)
                                                            : std::sin(2 * std::numbers::pi * 3000 * t))));
    r = static_cast<int16_t>(-l);
  });
  test::TRenderDeck t(pcm);
  TSoundSource& d = t.deck();
  const int32_t start = 22050;
  t.PlayAt(start, -1.0);
  const auto out = t.Render(start + 3 * kRate, 256);
  for (int32_t i = 0; i < start; ++i) {
    ASSERT_EQ(out[2 * size_t(i)], RoundToSample(0.9 * t.Source(start - 1 - i, 0))) << "frame " << i;
    ASSERT_EQ(out[2 * size_t(i) + 1], RoundToSample(0.9 * t.Source(start - 1 - i, 1))) << "frame " << i;
  }
  const int16_t last = out[2 * size_t(start - 1)];
  ASSERT_EQ(last, RoundToSample(0.9 * 20000));
  // The fade: never louder than the last frame, falling over 441 frames (each
  // block repeats the frame it starts with), then silence.
  const int32_t silentFrom = start + 441 + 8;
  for (int32_t i = start; i < silentFrom; ++i) {
    EXPECT_LE(std::abs(out[2 * size_t(i)]), std::abs(out[2 * size_t(i - 1)])) << "frame " << i;
  }
  EXPECT_GT(std::abs(out[2 * size_t(start + 200)]), 0) << "a fade, not a cut";
  for (int32_t i = silentFrom; i < int32_t(out.size() / 2); ++i) {
    ASSERT_EQ(out[2 * size_t(i)], 0) << "frame " << i;
    ASSERT_EQ(out[2 * size_t(i) + 1], 0) << "frame " << i;
  }
  EXPECT_EQ(d.Position.load(), 0.0);
}

}  // namespace
}  // namespace zonda
