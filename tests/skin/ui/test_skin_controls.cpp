// Skin controls driven with real mouse events: buttons, linear sliders,
// knobs and text areas.
#include <gtest/gtest.h>

#include <QTest>
#include <string>
#include <vector>

#include "skin/ui/TSKINButton.h"
#include "skin/ui/TSKINRoundSlider.h"
#include "skin/ui/TSKINSlider.h"
#include "skin/ui/TSKINTextArea.h"
#include "tests/skin/ui/QtApp.h"

namespace zonda {
namespace {

// Records handler calls in order, e.g. "change 45", "track 45".
struct Recorder {
  std::vector<std::string> calls;
  void Add(const std::string& what, int value) { calls.push_back(what + " " + std::to_string(value)); }
};

class Controls : public ::testing::Test {
 protected:
  void SetUp() override {
    test::QtApp();
    sheet = QImage(800, 600, QImage::Format_RGB32);
    sheet.fill(qRgb(20, 20, 20));
  }
  void Paint(QRect r, QRgb c) {
    for (int y = r.top(); y <= r.bottom(); ++y)
      for (int x = r.left(); x <= r.right(); ++x) sheet.setPixel(x, y, c);
  }
  QImage sheet;
  Recorder rec;
};

// --- linear slider --------------------------------------------------------

class SliderTest : public Controls {
 protected:
  std::unique_ptr<TSKINSlider> Make(QSize size, QSize cursor) {
    TSKINSliderParams p;
    p.size = size;
    p.up = QPoint(0, 0);
    p.over = QPoint(0, 200);
    p.cursor = cursor;
    p.cursorUp = QPoint(400, 0);
    p.cursorOver = QPoint(400, 100);
    Paint(QRect(400, 0, cursor.width(), cursor.height()), qRgb(200, 0, 0));
    auto s = std::make_unique<TSKINSlider>(nullptr, &sheet, p);
    handlers.OnChange.Fill([this, raw = s.get()](int) { rec.Add("change", raw->Value()); });
    handlers.OnTrack.Fill([this, raw = s.get()](int) { rec.Add("track", raw->Value()); });
    handlers.OnRelease.Fill([this, raw = s.get()](int) { rec.Add("release", raw->Value()); });
    s->SetHandlers(&handlers);
    s->show();
    return s;
  }
  TSliderHandlers handlers;
};

TEST_F(SliderTest, VerticalSliderHasItsMaximumAtTheTop) {
  auto s = Make(QSize(20, 100), QSize(20, 10));
  EXPECT_TRUE(s->Vertical());
  s->SetMinimum(-12);
  s->SetMaximum(12);
  s->SetValue(12);
  EXPECT_EQ(s->CursorOffset(), 0);
  EXPECT_EQ(s->Value(), 12);
  EXPECT_EQ(s->Picture().pixel(10, 5), qRgb(200, 0, 0));
  s->SetValue(-12);
  EXPECT_EQ(s->CursorOffset(), 90);
  EXPECT_EQ(s->Value(), -12);
  EXPECT_EQ(s->Picture().pixel(10, 95), qRgb(200, 0, 0));
  EXPECT_EQ(s->Picture().pixel(10, 5), qRgb(20, 20, 20));
  s->SetValue(0);
  EXPECT_EQ(s->CursorOffset(), 45);
  s->SetValue(99);  // clamped
  EXPECT_EQ(s->Value(), 12);
}

TEST_F(SliderTest, ClickOffTheCursorCentresItThenChangeAndTrack) {
  auto s = Make(QSize(100, 20), QSize(10, 20));
  s->SetMinimum(0);
  s->SetMaximum(90);
  s->SetValue(0);
  rec.calls.clear();
  QTest::mousePress(s.get(), Qt::LeftButton, {}, QPoint(50, 10));
  EXPECT_EQ(s->CursorOffset(), 45);
  EXPECT_EQ(rec.calls, (std::vector<std::string>{"change 45", "track 45"}));
  QTest::mouseRelease(s.get(), Qt::LeftButton, {}, QPoint(50, 10));
  EXPECT_EQ(rec.calls.back(), "release 45");
  // A press on the cursor takes hold where it is: no jump, and dragging keeps the grab offset.
  QTest::mousePress(s.get(), Qt::LeftButton, {}, QPoint(47, 10));
  EXPECT_EQ(s->CursorOffset(), 45);
  QTest::mouseMove(s.get(), QPoint(57, 10));
  EXPECT_EQ(s->CursorOffset(), 55);
  QTest::mouseMove(s.get(), QPoint(500, 10));  // beyond the end: clamped
  EXPECT_EQ(s->Value(), 90);
  QTest::mouseRelease(s.get(), Qt::LeftButton, {}, QPoint(500, 10));
}

TEST_F(SliderTest, RightDragSpringsBackWithoutRelease) {
  auto s = Make(QSize(100, 20), QSize(10, 20));
  s->SetMinimum(0);
  s->SetMaximum(90);
  s->SetValue(30);
  rec.calls.clear();
  QTest::mousePress(s.get(), Qt::RightButton, {}, QPoint(80, 10));
  EXPECT_EQ(s->Value(), 75);
  QTest::mouseMove(s.get(), QPoint(70, 10));
  EXPECT_EQ(s->Value(), 65);
  s->SetValue(10);  // the program is ignored while the user drags
  EXPECT_EQ(s->Value(), 65);
  QTest::mouseRelease(s.get(), Qt::RightButton, {}, QPoint(70, 10));
  EXPECT_EQ(s->Value(), 30);
  EXPECT_EQ(rec.calls, (std::vector<std::string>{"change 75", "track 75", "change 65", "track 65", "change 30"}));
}

TEST_F(SliderTest, MarkerAndMaskedCursorPixels) {
  TSKINSliderParams p;
  p.size = QSize(100, 20);
  p.up = QPoint(0, 0);
  p.over = QPoint(0, 0);
  p.cursor = QSize(10, 20);
  p.cursorUp = p.cursorOver = QPoint(400, 0);
  p.hasMask = true;
  p.mask = QPoint(500, 0);
  p.markerColor = MakeColor(0, 255, 0);
  Paint(QRect(400, 0, 10, 20), qRgb(200, 0, 0));
  Paint(QRect(500, 0, 10, 20), qRgb(255, 255, 255));  // white: background shows
  Paint(QRect(502, 0, 6, 20), qRgb(0, 0, 0));         // black: the cursor shows
  TSKINSlider s(nullptr, &sheet, p);
  s.SetMinimum(0);
  s.SetMaximum(90);
  s.SetValue(0);
  s.SetMarker(45);
  const QImage& pic = s.Picture();
  EXPECT_EQ(pic.pixel(0, 10), qRgb(20, 20, 20));
  EXPECT_EQ(pic.pixel(3, 10), qRgb(200, 0, 0));
  EXPECT_EQ(pic.pixel(8, 10), qRgb(20, 20, 20));
  EXPECT_EQ(pic.pixel(46, 0), qRgb(0, 255, 0));   // marker outline (46..53, rows 0..1)
  EXPECT_EQ(pic.pixel(53, 1), qRgb(0, 255, 0));
  EXPECT_EQ(pic.pixel(45, 0), qRgb(20, 20, 20));
  EXPECT_EQ(pic.pixel(50, 2), qRgb(20, 20, 20));
  s.SetMarker(-1);
  EXPECT_EQ(s.Picture().pixel(46, 0), qRgb(20, 20, 20));
}

// --- round slider ---------------------------------------------------------

class KnobTest : public Controls {
 protected:
  std::unique_ptr<TSKINRoundSlider> Make(TSKINRoundSliderParams p) {
    auto k = std::make_unique<TSKINRoundSlider>(nullptr, &sheet, p);
    handlers.OnChange.Fill([this, raw = k.get()](int) { rec.Add("change", raw->Value()); });
    handlers.OnTrack.Fill([this, raw = k.get()](int) { rec.Add("track", raw->Value()); });
    handlers.OnRelease.Fill([this, raw = k.get()](int) { rec.Add("release", raw->Value()); });
    k->SetHandlers(&handlers);
    k->show();
    return k;
  }
  TSliderHandlers handlers;
};

TEST_F(KnobTest, ContinuousKnobWrapsThreeHundredPixelsToThirtyDegrees) {
  TSKINRoundSliderParams p;
  p.size = 40;
  p.continuous = true;
  for (int steps : {1, 30}) {
    auto k = Make(p);
    k->SetMinimum(0);
    k->SetMaximum(270);
    QTest::mousePress(k.get(), Qt::LeftButton, {}, QPoint(20, 300));
    for (int i = 1; i <= steps; ++i) QTest::mouseMove(k.get(), QPoint(20, 300 - 300 * i / steps));
    QTest::mouseRelease(k.get(), Qt::LeftButton, {}, QPoint(20, 0));
    EXPECT_DOUBLE_EQ(k->Angle(), 30.0) << steps;
    EXPECT_EQ(k->Value(), 30) << steps;
    // A continuous knob has no right-button reset.
    QTest::mouseClick(k.get(), Qt::RightButton, {}, QPoint(20, 20));
    EXPECT_EQ(k->Value(), 30);
  }
}

TEST_F(KnobTest, DragTurnsTwoDegreesPerPixelOrOneWhenFine) {
  TSKINRoundSliderParams p;
  p.size = 40;
  auto k = Make(p);
  k->SetMinimum(-135);
  k->SetMaximum(135);
  k->SetValue(0);  // angle 135
  rec.calls.clear();
  QTest::mousePress(k.get(), Qt::LeftButton, {}, QPoint(20, 20));
  QTest::mouseMove(k.get(), QPoint(20, 10));
  EXPECT_EQ(k->Value(), 20);
  QTest::mouseMove(k.get(), QPoint(20, -500));  // clamped at the end of the range
  EXPECT_EQ(k->Value(), 135);
  QTest::mouseRelease(k.get(), Qt::LeftButton, {}, QPoint(20, -500));
  EXPECT_EQ(rec.calls, (std::vector<std::string>{"change 20", "track 20", "change 135", "track 135", "release 135"}));
  k->SetFineDrag(true);
  QTest::mousePress(k.get(), Qt::LeftButton, {}, QPoint(20, 20));
  QTest::mouseMove(k.get(), QPoint(20, 30));
  EXPECT_EQ(k->Value(), 125);
  QTest::mouseRelease(k.get(), Qt::LeftButton, {}, QPoint(20, 30));
  // Right click: value 0, the centre of a symmetric range.
  QTest::mouseClick(k.get(), Qt::RightButton, {}, QPoint(20, 20));
  EXPECT_EQ(k->Value(), 0);
}

TEST_F(KnobTest, ThirtyTwoPositionStripShowsFramesZeroToTwentyThree) {
  TSKINRoundSliderParams p;
  p.size = 20;
  p.positions = 32;
  p.up = QPoint(0, 300);
  p.over = QPoint(0, 300);
  p.rowWidth = 800;
  // Frame k of the strip painted in a colour of its own.
  for (int k = 0; k < 32; ++k) Paint(QRect(k * 20, 300, 20, 20), qRgb(k * 7, 100, 200));
  auto knob = Make(p);
  knob->SetMinimum(0);
  knob->SetMaximum(270);
  struct Case {
    int angle, frame;
  };
  for (Case c : {Case{0, 0}, Case{11, 0}, Case{17, 1}, Case{22, 1}, Case{135, 11}, Case{259, 22}, Case{270, 23}}) {
    knob->SetValue(c.angle);
    EXPECT_EQ(knob->Frame(), c.frame) << c.angle;
    EXPECT_EQ(knob->Picture().pixel(10, 10), qRgb(c.frame * 7, 100, 200)) << c.angle;
  }
}

TEST_F(KnobTest, StripWrapsOnceToTheNextRow) {
  TSKINRoundSliderParams p;
  p.size = 30;
  p.positions = 32;
  p.spaceBetweenPositions = 2;
  p.up = p.over = QPoint(100, 10);
  p.rowWidth = 400;  // stride 32: frame 9 would end at 100 + 9*32 + 30 = 418
  auto knob = Make(p);
  knob->SetMinimum(0);
  knob->SetMaximum(270);
  knob->SetValue(112);  // round(112 / 11.25) - 1 = 9
  ASSERT_EQ(knob->Frame(), 9);
  EXPECT_EQ(knob->FrameOrigin(), QPoint(100 + 9 * 32 - 12 * 32, 10 + 32));
  knob->SetValue(90);  // frame 7 fits in the row
  EXPECT_EQ(knob->FrameOrigin(), QPoint(100 + 7 * 32, 10));
}

TEST_F(KnobTest, SettingTheMaximumResetsToTheMinimumAndFiresChange) {
  TSKINRoundSliderParams p;
  p.size = 40;
  auto k = Make(p);
  k->SetMinimum(-12);
  k->SetMaximum(12);
  k->SetValue(6);
  rec.calls.clear();
  k->SetMaximum(24);
  EXPECT_EQ(k->Value(), -12);
  EXPECT_DOUBLE_EQ(k->Angle(), 0.0);
  EXPECT_EQ(rec.calls, (std::vector<std::string>{"change -12"}));
}

TEST_F(KnobTest, DotModeDrawsTheDotOnItsCircle) {
  TSKINRoundSliderParams p;
  p.size = 41;
  p.positions = -1;
  p.radius = 15;
  p.cursorSize = 5;
  p.startAngle = 270;  // the minimum points up
  p.rotation = 360;
  p.cursorColor = MakeColor(255, 255, 0);
  p.up = p.over = QPoint(0, 0);
  auto k = Make(p);
  k->SetMinimum(0);
  k->SetMaximum(360);
  k->SetValue(0);
  EXPECT_EQ(k->Picture().pixel(20, 5), qRgb(255, 255, 0));   // dot centre (20, 20 - 15)
  EXPECT_EQ(k->Picture().pixel(20, 35), qRgb(20, 20, 20));
  k->SetValue(180);
  EXPECT_EQ(k->Picture().pixel(20, 35), qRgb(255, 255, 0));
}

// --- button ---------------------------------------------------------------

class ButtonTest : public Controls {
 protected:
  std::unique_ptr<TSKINButton> Make(bool isSwitch) {
    TSKINButtonParams p;
    p.up = QPoint(0, 0);
    p.over = QPoint(40, 0);
    p.down = QPoint(80, 0);
    p.sel = QPoint(0, 40);
    p.overSel = QPoint(40, 40);
    p.downSel = QPoint(80, 40);
    p.isSwitch = isSwitch;
    auto b = std::make_unique<TSKINButton>(nullptr, &sheet, p);
    b->resize(30, 20);
    handlers.OnLeftDown.Fill([this](int tag) { rec.Add("ld", tag); });
    handlers.OnLeftUp.Fill([this](int tag) { rec.Add("lu", tag); });
    handlers.OnRightDown.Fill([this](int tag) { rec.Add("rd", tag); });
    handlers.OnRightUp.Fill([this](int tag) { rec.Add("ru", tag); });
    b->SetHandlers(&handlers);
    b->SetTag(7);
    b->show();
    return b;
  }
  TButtonHandlers handlers;
};

TEST_F(ButtonTest, LeavingAHeldButtonFiresLeftUpOnLeavingNotOnRelease) {
  auto b = Make(false);
  QTest::mouseMove(b.get(), QPoint(10, 10));
  EXPECT_TRUE(b->Hovered());
  QTest::mousePress(b.get(), Qt::LeftButton, {}, QPoint(10, 10));
  EXPECT_EQ(b->PictureOrigin(), QPoint(80, 0));
  QTest::mouseMove(b.get(), QPoint(60, 10));
  EXPECT_EQ(rec.calls, (std::vector<std::string>{"ld 7", "lu 7"}));
  EXPECT_FALSE(b->LeftPressed());
  QTest::mouseRelease(b.get(), Qt::LeftButton, {}, QPoint(60, 10));
  EXPECT_EQ(rec.calls.size(), 2u);
  EXPECT_EQ(b->PictureOrigin(), QPoint(0, 0));
}

TEST_F(ButtonTest, EveryPressFlipsSelectedSwitchShowsIt) {
  for (bool isSwitch : {false, true}) {
    auto b = Make(isSwitch);
    QTest::mouseMove(b.get(), QPoint(10, 10));
    QTest::mouseClick(b.get(), Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_TRUE(b->Selected());
    EXPECT_EQ(b->PictureOrigin(), isSwitch ? QPoint(40, 40) : QPoint(40, 0)) << isSwitch;
    QTest::mouseClick(b.get(), Qt::RightButton, {}, QPoint(10, 10));
    EXPECT_FALSE(b->Selected());
  }
  EXPECT_EQ(rec.calls, (std::vector<std::string>{"ld 7", "lu 7", "rd 7", "ru 7", "ld 7", "lu 7", "rd 7", "ru 7"}));
}

TEST_F(ButtonTest, LitShowsOverPictureAndPressReleaseActLikeAClick) {
  auto b = Make(false);
  b->SetLit(true);
  EXPECT_EQ(b->PictureOrigin(), QPoint(40, 0));
  b->Press();
  EXPECT_EQ(b->PictureOrigin(), QPoint(80, 0));
  b->Release();
  EXPECT_EQ(b->PictureOrigin(), QPoint(40, 0));  // still lit after the pointer left
  b->SetLit(false);
  EXPECT_EQ(b->PictureOrigin(), QPoint(0, 0));
  EXPECT_EQ(rec.calls, (std::vector<std::string>{"ld 7", "lu 7"}));
  // The picture copied is the chosen rectangle of the sheet.
  Paint(QRect(40, 0, 30, 20), qRgb(0, 0, 250));
  b->SetLit(true);
  EXPECT_EQ(b->grab().toImage().pixel(15, 10), qRgb(0, 0, 250));
}

// --- text area ------------------------------------------------------------

TEST_F(Controls, TextAreaEllipsisCutsByCharacters) {
  TSKINTextAreaParams p;
  p.size = QSize(120, 16);
  p.fontName = "DejaVu Sans";
  p.fontSize = 9;
  TSKINTextArea t(nullptr, &sheet, p);
  t.SetEllipsis(true);
  const std::string longName = "Artistname - A Very Long Title That Does Not Fit (Extended Club Mix)";
  t.SetText(longName);
  const std::string& shown = t.ShownText();
  ASSERT_GT(shown.size(), 4u);
  EXPECT_EQ(shown.substr(shown.size() - 4), " ...");
  EXPECT_EQ(longName.compare(0, shown.size() - 4, shown, 0, shown.size() - 4), 0);
  EXPECT_LE(QFontMetrics(t.Font()).horizontalAdvance(QString::fromStdString(shown)), 119);
  EXPECT_EQ(t.Text(), longName);
  // Non-ASCII text is cut between characters, never inside one.
  t.SetText("Zoë Ångström — Éclair déjà vu über alles, très très longue chanson");
  EXPECT_TRUE(QString::fromStdString(t.ShownText()).toStdString() == t.ShownText());
  EXPECT_FALSE(QString::fromStdString(t.ShownText()).contains(QChar::ReplacementCharacter));
  // A short text stays whole; an area too narrow for " ..." ends with the text exhausted.
  t.SetText("Short");
  EXPECT_EQ(t.ShownText(), "Short");
  TSKINTextArea narrow(nullptr, &sheet, [&] { auto q = p; q.size = QSize(6, 16); return q; }());
  narrow.SetEllipsis(true);
  narrow.SetText("Anything");
  EXPECT_EQ(narrow.ShownText(), " ...");
}

TEST_F(Controls, TextAreaAlignmentAndOpaqueBorder) {
  TSKINTextAreaParams p;
  p.size = QSize(100, 20);
  p.fontName = "DejaVu Sans";
  p.fontSize = 8;
  p.align = TSkinAlign::Center;
  p.backColor = MakeColor(0, 0, 128);
  p.borderVisible = true;
  TSKINTextArea t(nullptr, &sheet, p);
  t.SetText("AB");
  const QFontMetrics fm(t.Font());
  EXPECT_EQ(t.TextOrigin(), QPoint((100 - fm.horizontalAdvance("AB")) / 2, (20 - fm.height()) / 2));
  const QImage img = t.grab().toImage();
  EXPECT_EQ(img.pixel(0, 0), qRgb(255, 255, 127));  // border: back colour inverted
  EXPECT_EQ(img.pixel(3, 3), qRgb(0, 0, 128));
  p.align = TSkinAlign::Right;
  TSKINTextArea r(nullptr, &sheet, p);
  r.SetText("AB");
  EXPECT_EQ(r.TextOrigin().x(), 100 - fm.horizontalAdvance("AB"));
}

}  // namespace
}  // namespace zonda
