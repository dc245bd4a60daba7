// zonda-skinview end to end: a screenshot of the default skin, and --set
// changing exactly the control it names.
#include <gtest/gtest.h>

#include <QImage>

#include "platform/ProgramDir.h"
#include "skin/ActionTables.h"
#include "skin/ui/TSkinLoader.h"
#include "tests/skin/ui/QtApp.h"
#include "tests/support/TestFiles.h"

namespace zonda {
namespace {

TEST(SkinView, ScreenshotAndSetChangeOnlyTheNamedControl) {
  test::QtApp();
  test::TempDir dir;
  const std::string viewer = ProgramPath("/zonda-skinview");
  const std::string skin = ProgramPath("/skins/zc2000_blue");
  const std::string plain = dir.file("plain.png"), set = dir.file("set.png");
  ASSERT_EQ(test::Run("'" + viewer + "' '" + skin + "' --screenshot '" + plain + "' 2>/dev/null"), 0);
  ASSERT_EQ(test::Run("'" + viewer + "' '" + skin + "' --set decka_play_pause=on --screenshot '" + set +
                      "' 2>/dev/null"),
            0);
  const QImage a(QString::fromStdString(plain)), b(QString::fromStdString(set));
  ASSERT_EQ(a.size(), QSize(1024, 768));
  ASSERT_EQ(b.size(), QSize(1024, 768));

  TActionTables actions;
  QWidget host;
  TSkinLoader loader(&host, actions);
  ASSERT_TRUE(loader.LoadSkin(skin));
  const int control = actions.Button(actions.FindButtonAction("decka_play_pause")).ControlIndex();
  ASSERT_GE(control, 0);
  const QRect pad = loader.Buttons()[control]->geometry();
  int inside = 0, outside = 0;
  for (int y = 0; y < 768; ++y)
    for (int x = 0; x < 1024; ++x)
      if (a.pixel(x, y) != b.pixel(x, y)) ++(pad.contains(x, y) ? inside : outside);
  EXPECT_GT(inside, 0);
  EXPECT_EQ(outside, 0);

  EXPECT_NE(test::Run("'" + viewer + "' '" + dir.file("missing") + "' --screenshot '" + plain + "' 2>/dev/null"), 0);
}

}  // namespace
}  // namespace zonda
