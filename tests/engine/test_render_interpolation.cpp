// Cubic Hermite interpolation, the sample rounding rule and the key-lock
// splice search, each without a deck.
#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/Interpolation.h"
#include "engine/KeyLockSplice.h"
#include "engine/SampleMath.h"

namespace zonda {
namespace {

TEST(CubicHermite, HitsTheSamplesAndReproducesLines) {
  EXPECT_EQ(CubicHermite(7, -3, 12, 40, 0.0), -3.0);  // t = 0 picks y1 exactly
  EXPECT_DOUBLE_EQ(CubicHermite(7, -3, 12, 40, 1.0), 12.0);
  for (double t : {0.1, 0.25, 0.5, 0.9}) EXPECT_NEAR(CubicHermite(10, 20, 30, 40, t), 20 + 10 * t, 1e-12);
  // Catmull-Rom midpoint: (-y0 + 9 y1 + 9 y2 - y3) / 16.
  EXPECT_DOUBLE_EQ(CubicHermite(1, 5, 2, 8, 0.5), (-1 + 45 + 18 - 8) / 16.0);
}

TEST(CubicHermite, SlopeIsContinuousAcrossFrames) {
  const std::vector<double> y{3, -8, 14, 2, 9, -20, 5};
  const double h = 1e-6;
  for (size_t k = 1; k + 3 < y.size(); ++k) {
    const double leftSlope = (CubicHermite(y[k - 1], y[k], y[k + 1], y[k + 2], 1.0) -
                              CubicHermite(y[k - 1], y[k], y[k + 1], y[k + 2], 1.0 - h)) / h;
    const double rightSlope =
        (CubicHermite(y[k], y[k + 1], y[k + 2], y[k + 3], h) - CubicHermite(y[k], y[k + 1], y[k + 2], y[k + 3], 0.0)) / h;
    EXPECT_NEAR(leftSlope, rightSlope, 1e-3) << "between segments " << k << " and " << k + 1;
    EXPECT_NEAR(rightSlope, (y[k + 2] - y[k]) / 2, 1e-3);
  }
}

TEST(SampleMath, RoundsHalvesAwayFromZeroAndSaturates) {
  struct Case { double in; int expected; };
  for (const Case& c : {Case{2.5, 3}, {-2.5, -3}, {2.4999, 2}, {-0.4, 0}, {32767.4, 32767}, {40000.0, 32767},
                        {-32768.6, -32768}, {-1e12, -32768}}) {
    EXPECT_EQ(RoundToSample(c.in), c.expected) << c.in;
  }
  EXPECT_EQ(Saturate16(70000), 32767);
  EXPECT_EQ(Saturate16(-70000), -32768);
}

TEST(StereoDot, SumsBothChannelsExactly) {
  const std::vector<int16_t> a{-32768, -32768, 3, 4};
  const std::vector<int16_t> b{-32768, -32768, -5, 6};
  EXPECT_EQ(StereoDot(a.data(), b.data(), 2), 2.0 * 32768 * 32768 - 15 + 24);
}

TEST(SpliceSearch, PicksTheBestLagWithFirstOfEqualScoresWinning) {
  // Score peaks at lag 37 (a coarse winner at 36, then the fine pass finds 37).
  auto peaked = [](int32_t /*start*/, int32_t /*count*/, int32_t lagMinusJump) {
    const int32_t l = lagMinusJump + 212;  // provisional jump 212
    return 1000.0 - (l - 37) * (l - 37);
  };
  EXPECT_EQ(SearchSpliceLag(peaked, 0, 400, 212), 37);
  // No positive score: lag 0.
  auto negative = [](int32_t, int32_t, int32_t) { return -1.0; };
  EXPECT_EQ(SearchSpliceLag(negative, 0, 400, 0), 0);
  // A flat positive score: the first coarse lag (-100) wins, the fine pass does not move it.
  auto flat = [](int32_t, int32_t, int32_t) { return 5.0; };
  EXPECT_EQ(SearchSpliceLag(flat, 0, 400, 0), -100);
}

TEST(SpliceSearch, CorrectionKeepsTheAverageAdvanceExact) {
  // Whatever lags the search chooses, after many splices the read position has
  // advanced |speed| frames per output frame (up to the last lag carried over).
  for (double speed : {1.06, 0.8, -1.25}) {
    TKeyLockSplice s;
    double position = 0.0;
    int call = 0;
    auto erratic = [&call](int32_t, int32_t, int32_t lagMinusJump) {
      ++call;
      return static_cast<double>((call * 7919 + lagMinusJump * 31) % 1000);
    };
    const int frames = kSpliceInterval * 50;
    int splices = 0;
    for (int i = 0; i < frames; ++i) splices += s.Step(speed, position, erratic) ? 1 : 0;
    EXPECT_EQ(splices, 50);
    const int32_t nominal = RoundToInt((std::fabs(speed) - 1.0) * kSpliceInterval);
    // 50 intervals of one frame each plus 49 applied jumps, the lags of which cancel
    // pairwise except the first correction (0) and the pending one.
    const double expected = (speed > 0 ? 1 : -1) * (static_cast<double>(frames) + 49.0 * nominal);
    EXPECT_NEAR(position, expected, kSpliceCoarseRange + kSpliceFineRange) << speed;
  }
}

TEST(SpliceSearch, CrossfadeCoversTheLastOverlapFramesBeforeASplice) {
  TKeyLockSplice s;
  s.SpliceJump = 212;
  s.SpliceFadeSpan = 400;
  s.SpliceCounter = kSpliceInterval - 401;
  EXPECT_LT(s.CrossfadeWeight(), 0.0);
  s.SpliceCounter = kSpliceInterval - 400;
  EXPECT_EQ(s.CrossfadeWeight(), 0.0);
  s.SpliceCounter = kSpliceInterval - 100;
  EXPECT_DOUBLE_EQ(s.CrossfadeWeight(), 0.75);
  s.SpliceJump = 0;
  EXPECT_LT(s.CrossfadeWeight(), 0.0);  // a splice that does not move needs no crossfade
}

}  // namespace
}  // namespace zonda
