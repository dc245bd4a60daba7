// Skin listing, loading and unloading on real files; attribute readers.
#include <gtest/gtest.h>

#include <QTest>
#include <fstream>
#include <string>

#include "skin/ActionTables.h"
#include "skin/XmlParser.h"
#include "skin/ui/SkinAttributes.h"
#include "skin/ui/TSkinLoader.h"
#include "tests/skin/ui/QtApp.h"
#include "tests/support/TestFiles.h"

namespace zonda {
namespace {

void WriteText(const std::string& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
}

void WriteSheet(const std::string& path, int w = 200, int h = 200) {
  QImage img(w, h, QImage::Format_RGB32);
  img.fill(qRgb(30, 40, 50));
  ASSERT_TRUE(img.save(QString::fromStdString(path), "BMP"));
}

std::string Root(const std::string& attrs, const std::string& body) {
  return "<?xml version=\"1.0\"?>\n<zondaskin targetversion=\"1\" " + attrs + ">\n" + body + "</zondaskin>\n";
}

class Loader : public ::testing::Test {
 protected:
  void SetUp() override {
    test::QtApp();
    host.resize(800, 600);
  }
  std::string Skin(const std::string& name, const std::string& xml) {
    const std::string base = dir.file(name);
    WriteText(base + ".xml", xml);
    WriteSheet(base + ".bmp");
    return base;
  }
  QApplication& app = test::QtApp();
  test::TempDir dir;
  TActionTables actions;
  QWidget host;  // declared before the loader: the loader goes first
  TSkinLoader loader{&host, actions};
};

TEST(SkinAttributes, ColoursScalingAndFlags) {
  EXPECT_EQ(ParseSkinColor("#FF0000"), MakeColor(255, 0, 0));
  EXPECT_EQ(ParseSkinColor("FF0000"), 0u);  // not a number without "#"
  EXPECT_EQ(ParseSkinColor("#00FF80"), MakeColor(0, 255, 128));
  EXPECT_EQ(ParseSkinColor("255"), MakeColor(0, 0, 255));
  EXPECT_EQ(ParseSkinColor(""), 0u);
  TXmlParser xml;
  xml.OpenBuffer(R"(<t a="100" b="64" f="9" r="270" y="yes" n="no" c="Center" g="RIGHT" x="abc" w="-5"/>)");
  xml.RewindScan();
  ASSERT_TRUE(xml.NextPart());
  const double s = 800.0 / 1024.0;  // 0.78125
  EXPECT_EQ(ReadSkinInteger(xml, "a", s), 78);
  EXPECT_EQ(ReadSkinInteger(xml, "b", s), 50);
  EXPECT_EQ(ReadSkinSize(xml, "f", s), 7);
  EXPECT_EQ(ReadSkinInteger(xml, "r", s), 211);
  EXPECT_EQ(ReadSkinInteger(xml, "missing", s), -1);
  EXPECT_EQ(ReadSkinInteger(xml, "x", s), -1);
  EXPECT_EQ(ReadSkinInteger(xml, "w"), -5);
  EXPECT_TRUE(ReadSkinFlag(xml, "y"));
  EXPECT_FALSE(ReadSkinFlag(xml, "n"));
  EXPECT_FALSE(ReadSkinFlag(xml, "missing"));
  EXPECT_EQ(ReadSkinAlign(xml, "c"), 1);
  EXPECT_EQ(ReadSkinAlign(xml, "g"), 2);
  EXPECT_EQ(ReadSkinAlign(xml, "y"), 0);
  // Ties go to the even neighbour: 2 x 0.75 = 1.5 -> 2, 6 x 0.75 = 4.5 -> 4.
  xml.OpenBuffer(R"(<t a="2" b="6"/>)");
  xml.RewindScan();
  ASSERT_TRUE(xml.NextPart());
  EXPECT_EQ(ReadSkinInteger(xml, "a", 0.75), 2);
  EXPECT_EQ(ReadSkinInteger(xml, "b", 0.75), 4);
}

TEST_F(Loader, ListsValidSkinsOnlyAndAtMostAHundred) {
  for (int i = 0; i < 150; ++i) {
    const std::string base = dir.file("skin" + std::to_string(i));
    WriteText(base + ".xml", Root("skinname=\"S" + std::to_string(i) + "\"", ""));
    WriteText(base + ".bmp", "x");  // listing only checks that it exists
  }
  EXPECT_EQ(TSkinLoader::ListSkins(dir.path().string()).size(), 100u);

  test::TempDir few;
  auto pair = [&](const std::string& name, const std::string& xml, bool bmp) {
    WriteText(few.file(name + ".xml"), xml);
    if (bmp) WriteText(few.file(name + ".bmp"), "x");
  };
  pair("club", Root("skinname=\"Club\" screenwidth=\"1024\" screenheight=\"768\"", ""), true);
  pair("nobmp", Root("skinname=\"NoBmp\"", ""), false);
  pair("v2", "<zondaskin targetversion=\"2\" skinname=\"V2\"></zondaskin>", true);
  pair("other", "<language targetversion=\"1\"></language>", true);
  pair("emu", Root("skinname=\"Emu\" convertintegersfromwidth=\"1024\"", ""), true);
  std::filesystem::create_directory(few.file("folder.xml"));
  auto skins = TSkinLoader::ListSkins(few.path().string());
  std::vector<std::string> names;
  for (auto& s : skins) names.push_back(s.DisplayText);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Club (1024x768)", "Emu (800x600) - (EMULATED)"}));
  for (auto& s : skins)
    if (s.DisplayText[0] == 'C') {
      EXPECT_EQ(s.Width, 1024);
      EXPECT_EQ(s.BasePath, few.file("club"));
    }
}

TEST_F(Loader, EmulatedSkinScalesIntegersAndFloorsFonts) {
  const std::string base = Skin("emu", Root("screenwidth=\"800\" screenheight=\"600\" convertintegersfromwidth=\"1024\"",
                                            R"(<button posx="100" posy="64" width="40" height="20" action="decka_play_pause"/>
<textarea posx="0" posy="0" width="100" height="20" fontsize="9" action="time"/>
<roundslider posx="10" posy="10" size="30" rotation="270" action="decka_eq_low"/>
)"));
  ASSERT_TRUE(loader.LoadSkin(base));
  EXPECT_DOUBLE_EQ(loader.SkinScale(), 0.78125);
  ASSERT_EQ(loader.Buttons().size(), 1u);
  EXPECT_EQ(loader.Buttons()[0]->geometry(), QRect(78, 50, 31, 16));
  ASSERT_EQ(loader.TextAreas().size(), 1u);
  EXPECT_EQ(loader.TextAreas()[0]->Params().fontSize, 7);
  ASSERT_EQ(loader.RoundSliders().size(), 1u);
  EXPECT_EQ(loader.RoundSliders()[0]->Params().rotation, 211);
  EXPECT_EQ(loader.RoundSliders()[0]->Params().startAngle, 135);  // defaults are not scaled
  EXPECT_EQ(host.size(), QSize(800, 600));
}

TEST_F(Loader, DefaultsCapacitiesAndInvalidSizes) {
  std::string body;
  for (int i = 0; i < 300; ++i) body += "<button posx=\"1\" posy=\"1\" width=\"4\" height=\"4\"/>\n";
  body += R"(<button posx="5" posy="5" width="0" height="4"/>
<button posx="60" posy="70" width="10" height="10" upx="150" upy="150" action="decka_sync"/>
<beatdisplay width="10" height="10"/><beatdisplay width="10" height="10"/><beatdisplay width="10" height="10"/>
<roundslider size="0"/><roundslider size="-3"/>
<vumeter action="MasterL" posx="1" posy="1" width="8" height="71"/>
<vumeter action="decka" posx="1" posy="1" width="0" height="71"/>
<vumeter action="masterr" posx="3" posy="4" width="8" height="71" colormid2="#000000"/>
<unknown posx="1"/>
<list posx="1" posy="2" width="3" height="4"/><list posx="10" posy="20" width="30" height="40" fontsize="8"/>
<listsview posx="7" width="9"/><listsview posx="70"/>
)";
  const std::string base = Skin("full", Root("", body));
  ASSERT_TRUE(loader.LoadSkin(base));
  EXPECT_EQ(loader.Buttons().size(), 270u);  // the capacity; the rest, and the 0-wide one, ignored
  EXPECT_EQ(loader.BeatDisplays().size(), 2u);
  EXPECT_EQ(loader.RoundSliders().size(), 0u);
  EXPECT_EQ(loader.SkinWidth(), 800);
  EXPECT_EQ(loader.SkinHeight(), 600);
  EXPECT_TRUE(loader.VUmeter(TSkinLoader::VUmeterMasterL).isHidden());
  EXPECT_TRUE(loader.VUmeter(TSkinLoader::VUmeterDeckA).isHidden());
  EXPECT_FALSE(loader.VUmeter(TSkinLoader::VUmeterMasterR).isHidden());
  EXPECT_EQ(loader.VUmeter(TSkinLoader::VUmeterMasterR).geometry(), QRect(3, 4, 8, 71));
  EXPECT_TRUE(loader.ListPlacement().Placed);
  EXPECT_EQ(loader.ListPlacement().Rect, QRect(10, 20, 30, 40));
  EXPECT_EQ(loader.ListsView().Rect.x(), 7);
  EXPECT_FALSE(loader.SearchPlacement().Placed);
}

TEST_F(Loader, OnePictureButtonShowsItInEveryState) {
  const std::string base = Skin("one", Root("", R"(<button posx="60" posy="70" width="10" height="10" upx="150" upy="150" action="decka_sync"/>
<button posx="10" posy="20" width="10" height="10"/>
)"));
  ASSERT_TRUE(loader.LoadSkin(base));
  TSKINButton& b = *loader.Buttons()[0];
  host.show();
  EXPECT_EQ(b.PictureOrigin(), QPoint(150, 150));
  QTest::mouseMove(&b, QPoint(5, 5));
  EXPECT_EQ(b.PictureOrigin(), QPoint(150, 150));
  QTest::mousePress(&b, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_EQ(b.PictureOrigin(), QPoint(150, 150));
  QTest::mouseRelease(&b, Qt::LeftButton, {}, QPoint(5, 5));
  // Without "upx"/"upy" the picture is the sheet at the button's own place.
  EXPECT_EQ(loader.Buttons()[1]->PictureOrigin(), QPoint(10, 20));
  EXPECT_EQ(loader.Buttons()[1]->Params().sel, QPoint(10, 20));
}

TEST_F(Loader, HashColourIsRedPlainDigitsAreBlack) {
  const std::string base = Skin("c", Root("", R"(<textarea posx="0" posy="0" width="50" height="20" fontcolor="#FF0000" backcolor="FF0000" action="time"/>)"));
  ASSERT_TRUE(loader.LoadSkin(base));
  EXPECT_EQ(loader.TextAreas()[0]->Params().fontColor, MakeColor(255, 0, 0));
  EXPECT_EQ(loader.TextAreas()[0]->Params().backColor, 0u);
}

TEST_F(Loader, ControlsDriveTheirActionsAndReloadKeepsState) {
  const std::string base = Skin("deck", Root("", R"(
<button posx="10" posy="10" width="30" height="20" isswitch="YES" action="decka_play_pause"/>
<slider posx="50" posy="10" width="20" height="100" cursorwidth="20" cursorheight="10" cursorupx="0" cursorupy="0" action="decka_volume"/>
<roundslider posx="80" posy="10" size="30" action="decka_eq_low"/>
<textarea posx="10" posy="120" width="100" height="16" action="decka_songname"/>
<beatdisplay posx="0" posy="140" width="150" height="40" action="decka"/>
)"));
  int plays = 0;
  actions.FillHandler("Play_but_AClick", [&](int) { ++plays; });
  ASSERT_TRUE(loader.LoadSkin(base));
  host.show();
  TSKINButton& play = *loader.Buttons()[0];
  QTest::mouseMove(&play, QPoint(5, 5));
  QTest::mouseClick(&play, Qt::LeftButton, {}, QPoint(5, 5));
  const int playIndex = actions.FindButtonAction("decka_play_pause");
  EXPECT_EQ(plays, 1);
  EXPECT_TRUE(actions.Button(playIndex).Selected());
  EXPECT_EQ(actions.Button(playIndex).ControlIndex(), 0);
  // The hint with its shortcut line, in tool-tip line breaks.
  EXPECT_TRUE(play.toolTip().startsWith("Play / Pause Deck\n\n")) << play.toolTip().toStdString();
  EXPECT_FALSE(play.toolTip().contains('\r'));

  TSliderAction& volume = actions.Slider(actions.FindSliderAction("decka_volume"));
  EXPECT_EQ(volume.Value(), 127);  // the action's initial value reached the control
  EXPECT_EQ(loader.Sliders()[0]->CursorOffset(), 0);  // vertical: maximum at the top
  QTest::mouseClick(loader.Sliders()[0].get(), Qt::LeftButton, {}, QPoint(10, 95));
  EXPECT_EQ(volume.Value(), 0);
  volume.SetValue(64);
  TSliderAction& eq = actions.Slider(actions.FindSliderAction("decka_eq_low"));
  eq.SetValue(5);
  TTextAction& name = actions.Text(actions.FindTextAction("decka_songname"));
  name.SetText("Artist - Title");
  EXPECT_EQ(loader.TextAreas()[0]->Text(), "Artist - Title");
  EXPECT_EQ(actions.BeatDisplay(0).DisplayWidth(), 150);

  ASSERT_TRUE(loader.LoadSkin(base));
  EXPECT_TRUE(loader.Buttons()[0]->Selected());
  EXPECT_EQ(loader.Sliders()[0]->Value(), 64);
  EXPECT_EQ(loader.RoundSliders()[0]->Value(), 5);
  EXPECT_EQ(loader.TextAreas()[0]->Text(), "Artist - Title");
  EXPECT_EQ(plays, 1);  // binding calls no handler
}

TEST_F(Loader, FailuresKeepOrRemoveTheSkinAsDocumented) {
  const std::string good = Skin("good", Root("", R"(<button posx="1" posy="1" width="5" height="5" action="close"/>)"));
  ASSERT_TRUE(loader.LoadSkin(good));
  // Missing picture sheet: false, the current skin stays.
  const std::string noBmp = dir.file("nobmp");
  WriteText(noBmp + ".xml", Root("", ""));
  EXPECT_FALSE(loader.LoadSkin(noBmp));
  EXPECT_TRUE(loader.SkinLoaded());
  EXPECT_EQ(loader.Buttons().size(), 1u);
  // Wrong root: false, the old skin is gone.
  EXPECT_FALSE(loader.LoadSkin(Skin("wrong", "<language targetversion=\"1\"></language>")));
  EXPECT_FALSE(loader.SkinLoaded());
  EXPECT_TRUE(loader.Buttons().empty());
  EXPECT_EQ(actions.Button(actions.FindButtonAction("close")).ControlIndex(), -1);
  // A stray start tag stops the load; the next load starts clean.
  EXPECT_FALSE(loader.LoadSkin(Skin("stray", Root("", R"(<button posx="1" posy="1" width="5" height="5" action="close"/>
<group><button posx="1" posy="1" width="5" height="5"/></group>)"))));
  EXPECT_FALSE(loader.SkinLoaded());
  EXPECT_EQ(loader.Buttons().size(), 1u);
  ASSERT_TRUE(loader.LoadSkin(good));
  EXPECT_EQ(loader.Buttons().size(), 1u);
  EXPECT_EQ(actions.Button(actions.FindButtonAction("close")).ControlIndex(), 0);
  // A corrupt picture sheet is refused.
  const std::string bad = dir.file("bad");
  WriteText(bad + ".xml", Root("", ""));
  WriteText(bad + ".bmp", "BM not really a bitmap");
  EXPECT_FALSE(loader.LoadSkin(bad));
  EXPECT_FALSE(loader.SkinLoaded());
}

TEST_F(Loader, HostileValuesLoadWithoutHarm) {
  const std::string base = Skin("hostile", Root("screenwidth=\"99999999\" screenheight=\"-4\"", R"(
<button posx="2147483647" posy="-2147483648" width="99999" height="99999" upx="2147483647" action="close"/>
<slider posx="1" posy="1" width="30000" height="20" cursorwidth="99999" cursorheight="-7" maskx="2147483647" masky="0" action="crossfader"/>
<roundslider posx="1" posy="1" size="40" positions="2147483647" aliasing="2147483647" rotation="0" spacebetweenpositions="-99" action="decka_gain"/>
<roundslider posx="1" posy="1" size="40" positions="32" aliasing="0" startangle="99999" action="decka_eq_low"/>
<beatdisplay posx="-5" posy="-5" width="9000" height="3" beatdiffvisible="YES" beatdiffx="2147483647" action="decka"/>
<textarea posx="0" posy="0" width="0" height="0" fontsize="2147483647" action="time"/>
<vumeter action="decka" posx="0" posy="0" width="3" height="2"/>
)"));
  ASSERT_TRUE(loader.LoadSkin(base));
  EXPECT_EQ(loader.SkinWidth(), 32767);
  EXPECT_EQ(loader.SkinHeight(), 600);
  host.show();
  for (auto& k : loader.RoundSliders()) {
    k->SetMinimum(0);
    k->SetMaximum(100);
    k->SetValue(55);
    QTest::mousePress(k.get(), Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseMove(k.get(), QPoint(5, -40000));
    QTest::mouseRelease(k.get(), Qt::LeftButton, {}, QPoint(5, -40000));
  }
  QTest::mouseClick(loader.Sliders()[0].get(), Qt::LeftButton, {}, QPoint(100, 5));
  std::vector<int16_t> data(1200, -5);
  actions.BeatDisplay(0).SetDisplayData(data);
  loader.VUmeter(TSkinLoader::VUmeterDeckA).SetValueDB(0);
  actions.Text(0).SetText("12:00:00");
  for (auto& k : loader.RoundSliders()) k->grab();
  loader.Buttons()[0]->grab();
}

}  // namespace
}  // namespace zonda
