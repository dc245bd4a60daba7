// The main window shell: start-up skin choice, fitting to the screen,
// moving by the background, full screen.
#include <gtest/gtest.h>

#include <QScreen>
#include <QTest>
#include <fstream>

#include "skin/ui/TSkinWindow.h"
#include "skin/ui/SkinChoice.h"
#include "tests/skin/ui/QtApp.h"
#include "tests/support/TestFiles.h"

namespace zonda {
namespace {

TEST(SkinChoice, StartSkinFollowsSettingDefaultAndScreen) {
  std::vector<TDataSkin> skins(3);
  skins[0].DisplayText = "Club (1280x1024)";
  skins[1].DisplayText = kSmallScreenSkin;
  skins[2].DisplayText = kDefaultSkin;
  struct Case {
    int saved, screen, expected;
  };
  for (Case c : {Case{-1, 1920, 2}, Case{-1, 800, 1}, Case{0, 1920, 0}, Case{0, 1000, 1}, Case{-7, 1920, 0},
                 Case{3, 1920, 2}, Case{99, 1920, 2}}) {
    EXPECT_EQ(ChooseStartSkin(skins, c.saved, c.screen), c.expected) << c.saved << " " << c.screen;
  }
  EXPECT_EQ(ChooseStartSkin({}, -1, 1920), -1);
  std::vector<TDataSkin> other(1);
  other[0].DisplayText = "Other (800x600)";
  EXPECT_EQ(ChooseStartSkin(other, -1, 1920), 0);  // no default skin: the first

  TDataSkin wide;
  wide.Width = 1024;
  EXPECT_EQ(SkinFitMessage(wide, 1024, ""), "");
  EXPECT_EQ(SkinFitMessage(wide, 800, ""), "This skin requires a higher screen resolution !");
  EXPECT_EQ(SkinFitMessage(wide, 800, "Zu klein !"), "Zu klein !");
}

class MainWindow : public ::testing::Test {
 protected:
  std::string Skin(int w, int h) {
    const std::string base = dir.file("s" + std::to_string(w));
    std::ofstream(base + ".xml") << "<zondaskin targetversion=\"1\" screenwidth=\"" << w << "\" screenheight=\"" << h
                                 << "\"><button posx=\"10\" posy=\"10\" width=\"20\" height=\"20\" action=\"decka_sync\"/>"
                                    "<textarea posx=\"50\" posy=\"50\" width=\"40\" height=\"12\" action=\"sl_bpm_a\"/>"
                                    "</zondaskin>";
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(qRgb(1, 2, 3));
    img.save(QString::fromStdString(base + ".bmp"), "BMP");
    return base;
  }
  QApplication& app = test::QtApp();
  test::TempDir dir;
  TActionTables actions;
};

TEST_F(MainWindow, FitsCentredMovesByBackgroundAndGoesFullScreen) {
  TSkinWindow form(actions);
  form.FillWindowHandlers(actions);
  const QRect screen = form.screen()->geometry();
  const int w = screen.width() / 2, h = screen.height() / 2;
  TDataSkin entry;
  entry.BasePath = Skin(w, h);
  entry.Width = w;
  entry.Height = h;
  ASSERT_TRUE(form.ChangeSkin(entry, ""));
  form.show();
  EXPECT_EQ(form.size(), QSize(w, h));
  EXPECT_EQ(form.pos(), QPoint(screen.x() + (screen.width() - w) / 2, screen.y() + (screen.height() - h) / 2));
  // The background paints the skin picture.
  EXPECT_EQ(form.grab().toImage().pixel(100, 100), qRgb(1, 2, 3));

  // Dragging the background moves the window.
  const QPoint before = form.pos();
  QTest::mousePress(&form.Canvas(), Qt::LeftButton, {}, QPoint(100, 100));
  QTest::mouseMove(&form.Canvas(), QPoint(130, 120));
  QTest::mouseRelease(&form.Canvas(), Qt::LeftButton, {}, QPoint(130, 120));
  EXPECT_EQ(form.pos(), before + QPoint(30, 20));
  // A label without handlers drags the window too; a button does not.
  QWidget* label = form.Skins().TextAreas()[0].get();
  QTest::mousePress(label, Qt::LeftButton, {}, QPoint(2, 2));
  QTest::mouseMove(&form.Canvas(), QPoint(label->x() + 12, label->y() + 2));
  QTest::mouseRelease(&form.Canvas(), Qt::LeftButton, {}, QPoint(label->x() + 12, label->y() + 2));
  EXPECT_EQ(form.pos(), before + QPoint(40, 20));
  QWidget* button = form.Skins().Buttons()[0].get();
  QTest::mousePress(button, Qt::LeftButton, {}, QPoint(2, 2));
  QTest::mouseMove(button, QPoint(50, 50));
  QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(50, 50));
  EXPECT_EQ(form.pos(), before + QPoint(40, 20));

  form.Max_buttonClick();
  EXPECT_TRUE(form.isFullScreen());
  form.Max_buttonClick();
  EXPECT_FALSE(form.isFullScreen());
  EXPECT_EQ(form.size(), QSize(w, h));
}

TEST_F(MainWindow, SkinTheSizeOfTheScreenCoversIt) {
  TSkinWindow form(actions);
  const QRect screen = form.screen()->geometry();
  ASSERT_TRUE(form.Skins().LoadSkin(Skin(screen.width(), screen.height())));
  form.AdaptFormsToResolution();
  EXPECT_TRUE(form.windowState() & Qt::WindowFullScreen);
}

}  // namespace
}  // namespace zonda
