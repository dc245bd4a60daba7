// The two default skins the build draws into the installation tree: listed,
// loadable, complete (every action has its control) and tidy (no control
// overlaps another or leaves the window).
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "platform/ProgramDir.h"
#include "skin/ActionTables.h"
#include "skin/ui/TSkinLoader.h"
#include "tests/skin/ui/QtApp.h"

namespace zonda {
namespace {

struct Expected {
  const char* display;
  int width, height;
};

class DefaultSkins : public ::testing::TestWithParam<Expected> {
 protected:
  QApplication& app = test::QtApp();
};

TEST_P(DefaultSkins, ListedCompleteAndTidy) {
  const Expected e = GetParam();
  const auto skins = TSkinLoader::ListSkins(ProgramPath("/skins"));
  const TDataSkin* skin = nullptr;
  for (const auto& s : skins)
    if (s.DisplayText == e.display) skin = &s;
  ASSERT_NE(skin, nullptr) << e.display << " not found in " << ProgramPath("/skins");
  EXPECT_EQ(skin->Width, e.width);
  EXPECT_EQ(skin->Height, e.height);

  TActionTables actions;
  QWidget host;
  TSkinLoader loader(&host, actions);
  ASSERT_TRUE(loader.LoadSkin(skin->BasePath));
  EXPECT_EQ(loader.SkinWidth(), e.width);
  EXPECT_EQ(loader.SkinHeight(), e.height);

  for (const auto& a : actions.Buttons()) EXPECT_TRUE(a.IsBound()) << "button " << a.Name();
  for (const auto& a : actions.Sliders()) EXPECT_TRUE(a.IsBound()) << "slider " << a.Name();
  for (const auto& a : actions.BeatDisplays()) EXPECT_TRUE(a.IsBound()) << "beat display " << a.Name();
  for (const auto& a : actions.Texts())
    if (a.Name().find("analogin") == std::string::npos) {
      EXPECT_TRUE(a.IsBound()) << "text " << a.Name();
    }
  EXPECT_TRUE(loader.ListPlacement().Placed);
  EXPECT_TRUE(loader.SearchPlacement().Placed);
  EXPECT_TRUE(loader.ListsView().Placed);

  struct Box {
    std::string what;
    QRect rect;
  };
  std::vector<Box> boxes;
  for (const auto& c : loader.Buttons()) boxes.push_back({"button at", c->geometry()});
  for (const auto& c : loader.Sliders()) boxes.push_back({"slider at", c->geometry()});
  for (const auto& c : loader.RoundSliders()) boxes.push_back({"knob at", c->geometry()});
  for (const auto& c : loader.BeatDisplays()) boxes.push_back({"beat display at", c->geometry()});
  for (const auto& c : loader.TextAreas()) boxes.push_back({"text " + c->Text() + " at", c->geometry()});
  for (int m = 0; m < 4; ++m) {
    EXPECT_FALSE(loader.VUmeter(TSkinLoader::Meter(m)).isHidden()) << m;
    boxes.push_back({"meter at", loader.VUmeter(TSkinLoader::Meter(m)).geometry()});
  }
  boxes.push_back({"list at", loader.ListPlacement().Rect});
  boxes.push_back({"search at", loader.SearchPlacement().Rect});
  boxes.push_back({"lists view at", loader.ListsView().Rect});
  const QRect window(0, 0, e.width, e.height);
  auto str = [](QRect r) {
    return std::to_string(r.x()) + "," + std::to_string(r.y()) + " " + std::to_string(r.width()) + "x" +
           std::to_string(r.height());
  };
  for (size_t i = 0; i < boxes.size(); ++i) {
    EXPECT_TRUE(window.contains(boxes[i].rect)) << boxes[i].what << " " << str(boxes[i].rect);
    EXPECT_FALSE(boxes[i].rect.isEmpty()) << boxes[i].what << " " << str(boxes[i].rect);
    for (size_t j = i + 1; j < boxes.size(); ++j)
      EXPECT_FALSE(boxes[i].rect.intersects(boxes[j].rect))
          << boxes[i].what << " " << str(boxes[i].rect) << " overlaps " << boxes[j].what << " " << str(boxes[j].rect);
  }
}

INSTANTIATE_TEST_SUITE_P(Both, DefaultSkins,
                         ::testing::Values(Expected{"ZC2000 BLUE (1024x768)", 1024, 768},
                                           Expected{"Orvel green (800x600)", 800, 600}));

}  // namespace
}  // namespace zonda
