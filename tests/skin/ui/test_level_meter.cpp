#include <gtest/gtest.h>

#include "skin/ui/TKAVLevel.h"
#include "tests/skin/ui/QtApp.h"

namespace zonda {
namespace {

class LevelMeter : public ::testing::Test {
 protected:
  void SetUp() override {
    test::QtApp();
    meter.resize(10, 71);
  }
  // Pixel in the middle of segment i (0 at the bottom) of a 71-px meter.
  QRgb SegmentPixel(int i) const {
    const int h = 2;
    const int top = 71 - h * (i + 1) - i;
    return meter.Picture().pixel(5, top);
  }
  int LitCount() const {
    int n = 0;
    for (int i = 0; i < 24; ++i) n += SegmentPixel(i) == ToRgb(meter.LitColor(i));
    return n;
  }
  void Settle(double db, int ticks = 40) {
    for (int t = 0; t < ticks; ++t) meter.SetValueDB(db);
  }
  QApplication& app = test::QtApp();
  TKAVLevel meter;
};

TEST_F(LevelMeter, SeventyOnePixelsGiveTwoPixelSegmentsWithGaps) {
  Settle(0.0);
  const QImage& pic = meter.Picture();
  // Bottom segment rows 69-70, gap at row 68, next segment 66-67; top segment rows 0-1.
  EXPECT_EQ(pic.pixel(0, 70), ToRgb(meter.LitColor(0)));
  EXPECT_EQ(pic.pixel(0, 69), ToRgb(meter.LitColor(0)));
  EXPECT_EQ(pic.pixel(0, 68), qRgb(0, 0, 0));
  EXPECT_EQ(pic.pixel(9, 67), ToRgb(meter.LitColor(1)));
  EXPECT_EQ(pic.pixel(0, 66), ToRgb(meter.LitColor(1)));
  EXPECT_EQ(pic.pixel(0, 1), ToRgb(meter.LitColor(23)));
  EXPECT_EQ(pic.pixel(0, 0), ToRgb(meter.LitColor(23)));
}

TEST_F(LevelMeter, LevelThresholdsLightAllOrNone) {
  struct Case {
    double db;
    int lit;
  };
  // ValueDB = level + 11 against -48 .. 10.
  for (Case c : {Case{-1.0, 24}, Case{5.0, 24}, Case{-1.5, 23}, Case{-59.0, 1}, Case{-60.0, 0}, Case{-96.0, 0},
                 Case{-11.0, 16}}) {
    TKAVLevel m;
    m.resize(10, 71);
    for (int t = 0; t < 60; ++t) m.SetValueDB(c.db);
    EXPECT_EQ(m.ShownSegment() + 1, c.lit) << c.db;
  }
  Settle(-1.0, 60);
  EXPECT_EQ(LitCount(), 24);
  Settle(-60.0, 60);
  EXPECT_EQ(LitCount(), 0);
}

TEST_F(LevelMeter, BarFallsOneSegmentPerTickAndPeakHoldsFiftyTicks) {
  Settle(-96.0, 60);
  meter.SetValueDB(0.0);  // one loud tick
  EXPECT_EQ(meter.ShownSegment(), 23);
  EXPECT_EQ(meter.PeakSegment(), 23);
  for (int t = 1; t <= 50; ++t) {
    meter.SetValueDB(-96.0);
    EXPECT_EQ(meter.ShownSegment(), std::max(23 - t, -1)) << t;
    EXPECT_EQ(meter.PeakSegment(), 23) << t;
    EXPECT_EQ(SegmentPixel(23), ToRgb(meter.LitColor(23))) << t;
  }
  meter.SetValueDB(-96.0);
  EXPECT_EQ(meter.PeakSegment(), -1);
  EXPECT_EQ(SegmentPixel(23), ToRgb(meter.UnlitColor(23)));
}

TEST_F(LevelMeter, BlendFollowsMulDivRounding) {
  // t = round(2*255/12) = 42 (tie to even); 0 + MulDiv(42, 255, 254) = 42.
  EXPECT_EQ(TKAVLevel::BlendColor(MakeColor(0, 0, 0), MakeColor(255, 255, 255), 12, 2), MakeColor(42, 42, 42));
  // t = round(6*255/12) = 128 (tie to even); 255 + MulDiv(128, -255, 254) = 255 - 129 = 126.
  EXPECT_EQ(TKAVLevel::BlendColor(MakeColor(255, 0, 0), MakeColor(0, 0, 0), 12, 6), MakeColor(126, 0, 0));
  EXPECT_EQ(TKAVLevel::BlendColor(MakeColor(1, 2, 3), MakeColor(200, 100, 50), 7, 0), MakeColor(1, 2, 3));
}

TEST_F(LevelMeter, BlackOrAbsentMid2RunsUpperGradientFromMid) {
  const TColor low = MakeColor(0, 200, 0), mid = MakeColor(230, 230, 0), high = MakeColor(250, 0, 0);
  meter.SetColor(TKAVLevel::Color1, low);
  meter.SetColor(TKAVLevel::Color2, mid);
  meter.SetColor(TKAVLevel::Color3, high);
  meter.SetColor(TKAVLevel::Color4, 0);
  EXPECT_EQ(meter.LitColor(0), low);
  EXPECT_EQ(meter.LitColor(5), low);
  EXPECT_EQ(meter.LitColor(16), mid);
  EXPECT_EQ(meter.LitColor(19), TKAVLevel::BlendColor(mid, high, 7, 3));
  EXPECT_EQ(meter.LitColor(22), high);
  EXPECT_EQ(meter.LitColor(23), high);
  const TColor mid2 = MakeColor(0, 0, 255);
  meter.SetColor(TKAVLevel::Color4, mid2);
  EXPECT_EQ(meter.LitColor(16), mid2);
  EXPECT_EQ(meter.LitColor(19), TKAVLevel::BlendColor(mid2, high, 7, 3));
  // The rendered segment shows the table colour.
  Settle(0.0);
  EXPECT_EQ(SegmentPixel(19), ToRgb(meter.LitColor(19)));
}

}  // namespace
}  // namespace zonda
