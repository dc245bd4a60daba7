#include <gtest/gtest.h>

#include <QMimeData>
#include <QTest>
#include <vector>

#include "skin/ui/TSKINBeatDisplay.h"
#include "tests/skin/ui/QtApp.h"

namespace zonda {
namespace {

constexpr QRgb kBack = qRgb(10, 20, 30);
constexpr QRgb kOver = qRgb(40, 50, 60);

class BeatDisplay : public ::testing::Test {
 protected:
  void SetUp() override {
    test::QtApp();
    sheet = QImage(700, 200, QImage::Format_RGB32);
    sheet.fill(kBack);
    for (int y = 100; y < 200; ++y)
      for (int x = 0; x < 700; ++x) sheet.setPixel(x, y, kOver);
    params.up = QPoint(0, 0);
    params.over = QPoint(0, 100);
    params.dataColor = MakeColor(0, 255, 0);
    params.loopColor = MakeColor(255, 255, 0);
    params.cueColor = MakeColor(255, 0, 0);
    params.cursorColor = MakeColor(255, 255, 255);
    params.beatDiffVisible = false;  // the indicator test turns it on
    params.beatDiff = QPoint(10, 2);
    display = std::make_unique<TSKINBeatDisplay>(nullptr, &sheet, params);
    display->resize(300, 60);
  }
  QRgb At(int x, int y) const { return display->Picture().pixel(x, y); }
  bool ColumnIs(int x, QRgb c) const {
    for (int y = 1; y <= 58; ++y)
      if (At(x, y) != c) return false;
    return true;
  }
  QImage sheet;
  TSKINBeatDisplayParams params;
  std::unique_ptr<TSKINBeatDisplay> display;
};

TEST_F(BeatDisplay, ThreeHundredPixelsAskSixHundredPoints) { EXPECT_EQ(display->DisplayPoints(), 600); }

TEST_F(BeatDisplay, CueAtColumnStartMarksThreeColumnsAndLoopTwo) {
  std::vector<int16_t> beats(1200, 0);
  beats[2 * 50] = TSKINBeatDisplay::kCueMark;
  beats[2 * 100 + 1] = TSKINBeatDisplay::kLoopMark;
  display->SetDisplayData(beats.data(), beats.size());
  const QRgb cue = ToRgb(params.cueColor), loop = ToRgb(params.loopColor);
  EXPECT_FALSE(ColumnIs(48, cue));
  EXPECT_TRUE(ColumnIs(49, cue));
  EXPECT_TRUE(ColumnIs(50, cue));
  EXPECT_TRUE(ColumnIs(51, cue));
  EXPECT_FALSE(ColumnIs(52, cue));
  EXPECT_EQ(At(50, 0), kBack);   // marks keep the top and bottom rows
  EXPECT_EQ(At(50, 59), kBack);
  EXPECT_TRUE(ColumnIs(99, loop));
  EXPECT_TRUE(ColumnIs(100, loop));
  EXPECT_FALSE(ColumnIs(101, loop));
}

TEST_F(BeatDisplay, EnvelopeBarsGrowFromTheBottom) {
  std::vector<int16_t> beats(1200, 0);
  beats[2 * 20] = 28;
  beats[2 * 20 + 1] = 28;  // half scale: round(56/112 * 58) = 29 pixels
  display->SetDisplayData(beats.data(), beats.size());
  const QRgb data = ToRgb(params.dataColor);
  EXPECT_EQ(At(20, 58), data);
  EXPECT_EQ(At(20, 30), data);
  EXPECT_EQ(At(20, 29), kBack);
  EXPECT_EQ(At(20, 59), kBack);
  EXPECT_EQ(At(21, 58), kBack);  // silent column: no bar in envelope mode
}

TEST_F(BeatDisplay, StandardWaveSilentColumnDotAndNoBeatLinesInLastEightColumns) {
  display->SetStandardWave(true);
  std::vector<int16_t> beats(600, TSKINBeatDisplay::kBeatMark);
  std::vector<int16_t> wave(1200, 0);
  display->SetDisplayData(beats.data(), beats.size());  // no repaint in waveform mode
  display->SetOverviewData(wave.data(), wave.size());
  const QRgb data = ToRgb(params.dataColor);
  // Columns up to 291 see the beat mark 16 points ahead; 292..298 look past the 600 points.
  for (int x = 1; x <= 291; ++x)
    if (x != 149 && x != 150) {
      EXPECT_TRUE(ColumnIs(x, data)) << x;
    }
  for (int x = 292; x <= 298; ++x) {
    EXPECT_FALSE(ColumnIs(x, data)) << x;
    EXPECT_EQ(At(x, 29), data) << x;  // silent dot: rows m-1 and m
    EXPECT_EQ(At(x, 30), data) << x;
    EXPECT_EQ(At(x, 28), kBack) << x;
    EXPECT_EQ(At(x, 31), kBack) << x;
  }
  EXPECT_EQ(At(299, 30), kBack);
  EXPECT_EQ(At(0, 30), kBack);
}

TEST_F(BeatDisplay, LoudColumnFillsAroundTheMiddle) {
  display->SetStandardWave(true);
  std::vector<int16_t> wave(1200, 0);
  wave[2 * 40] = 16384;
  wave[2 * 40 + 1] = 16384;  // half scale: round(0.5 * 28) = 14 each side
  display->SetOverviewData(wave.data(), wave.size());
  const QRgb data = ToRgb(params.dataColor);
  EXPECT_EQ(At(40, 16), data);
  EXPECT_EQ(At(40, 43), data);
  EXPECT_EQ(At(40, 15), kBack);
  EXPECT_EQ(At(40, 44), kBack);
}

TEST_F(BeatDisplay, BeatDifferenceIndicatorWidths) {
  struct Case {
    int diff, left, right;  // lit columns relative to the indicator's middle, [left, right)
  };
  params.beatDiffVisible = true;
  display = std::make_unique<TSKINBeatDisplay>(nullptr, &sheet, params);
  display->resize(300, 60);
  const QRgb cursor = ToRgb(params.cursorColor);
  for (Case c : {Case{12, 0, 4}, Case{-4, 0, 0}, Case{-12, -4, 0}, Case{4, 0, 0}, Case{60, 0, 20}, Case{-50, -20, 0}}) {
    display->SetBeatDiff(c.diff);
    display->Compose();
    const int mid = params.beatDiff.x() + 20, y = params.beatDiff.y() + 2;
    for (int dx = -19; dx < 19; ++dx) {
      const bool lit = dx >= c.left && dx < c.right;
      EXPECT_EQ(At(mid + dx, y) == cursor, lit) << c.diff << " at " << dx;
    }
    EXPECT_EQ(At(params.beatDiff.x(), params.beatDiff.y()), qRgb(128, 128, 128));  // grey frame
    EXPECT_EQ(At(params.beatDiff.x() + 39, params.beatDiff.y() + 4), qRgb(128, 128, 128));
    EXPECT_EQ(At(params.beatDiff.x() + 1, y), c.diff <= -50 ? cursor : qRgb(0, 0, 0));
  }
}

TEST_F(BeatDisplay, CentreLineAndHoverBackground) {
  display->Compose();
  const QRgb cursor = ToRgb(params.cursorColor);
  EXPECT_TRUE(ColumnIs(149, cursor));
  EXPECT_TRUE(ColumnIs(150, cursor));
  EXPECT_FALSE(ColumnIs(151, cursor));
  EXPECT_EQ(At(200, 0), kBack);
  display->show();
  QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
  QApplication::sendEvent(display.get(), &enter);
  EXPECT_EQ(At(200, 0), kOver);
}

TEST_F(BeatDisplay, MouseDrivesScratchMuteAndDrag) {
  std::vector<std::string> calls;
  display->OnLeftDown = [&] { calls.push_back("ld"); };
  display->OnLeftUp = [&] { calls.push_back("lu"); };
  display->OnRightDown = [&] { calls.push_back("rd"); };
  display->OnRightUp = [&] { calls.push_back("ru"); };
  display->OnDrag = [&](int x, int y) { calls.push_back("drag " + std::to_string(x) + "," + std::to_string(y)); };
  display->show();
  QTest::mousePress(display.get(), Qt::LeftButton, {}, QPoint(10, 10));
  QTest::mouseMove(display.get(), QPoint(30, 12));
  QTest::mouseRelease(display.get(), Qt::LeftButton, {}, QPoint(30, 12));
  QTest::mousePress(display.get(), Qt::RightButton, {}, QPoint(10, 10));
  QTest::mouseRelease(display.get(), Qt::RightButton, {}, QPoint(10, 10));
  EXPECT_EQ(calls, (std::vector<std::string>{"ld", "drag 30,12", "lu", "rd", "ru"}));
  // Leaving while the right button mutes ends the mute at once.
  QTest::mousePress(display.get(), Qt::RightButton, {}, QPoint(10, 10));
  QTest::mouseMove(display.get(), QPoint(400, 10));
  QTest::mouseRelease(display.get(), Qt::RightButton, {}, QPoint(400, 10));
  EXPECT_EQ(calls, (std::vector<std::string>{"ld", "drag 30,12", "lu", "rd", "ru", "rd", "ru"}));
  // Anything dropped reaches OnDrop at the drop point.
  QPoint dropped(-1, -1);
  display->OnDrop = [&](int x, int y) { dropped = QPoint(x, y); };
  QMimeData mime;
  mime.setText("song");
  QDragEnterEvent enter(QPoint(40, 20), Qt::CopyAction, &mime, Qt::LeftButton, {});
  QApplication::sendEvent(display.get(), &enter);
  EXPECT_TRUE(enter.isAccepted());
  QDropEvent drop(QPointF(40, 20), Qt::CopyAction, &mime, Qt::LeftButton, {});
  QApplication::sendEvent(display.get(), &drop);
  EXPECT_EQ(dropped, QPoint(40, 20));
}

}  // namespace
}  // namespace zonda
