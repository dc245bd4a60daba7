#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "skin/ActionTables.h"
#include "skin/LanguageKeys.h"
#include "skin/LanguageTables.h"
#include "tests/skin/FakeControls.h"
#include "tests/support/TestFiles.h"

namespace zonda {
namespace {

std::string Root(int version = 5, const char* name = "Test") {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<languagestrings targetversion=\"" + std::to_string(version) +
         "\" language=\"" + name + "\">\n";
}

void Write(const std::string& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

std::string ShippedFolder() {
  const char* src = std::getenv("ZONDA_SOURCE_DIR");
  return std::string(src ? src : ".") + "/data/languages";
}

TEST(LanguageKeys, TableAndLookup) {
  EXPECT_EQ(LanguageKeys().size(), 92u);
  EXPECT_EQ(FindLanguageKey("ok"), 0);
  EXPECT_EQ(FindLanguageKey("ls_search"), 91);
  EXPECT_EQ(FindLanguageKey("OK"), -1);
  EXPECT_EQ(FindLanguageKey("nokey"), -1);
}

// Both shipped files are listed, English first, and fill every key and every
// hint an action is created with.
TEST(ShippedLanguages, EveryKeyAndHintIsFilled) {
  TActionTables actions;
  TLanguageTables lang(actions);
  lang.ListLanguages(ShippedFolder());
  ASSERT_EQ(lang.LanguageList().size(), 2u);
  EXPECT_EQ(lang.LanguageList()[0].LanguageName, "English");
  EXPECT_EQ(lang.LanguageList()[1].LanguageName, "Deutsch");

  const TActionTables builtIn;
  for (int position : {0, 1}) {
    const std::string language = lang.LanguageList()[static_cast<std::size_t>(position)].LanguageName;
    EXPECT_EQ(lang.ApplyLanguage(position), position);
    for (std::string_view key : LanguageKeys()) EXPECT_FALSE(lang.Text(key).empty()) << language << " " << key;
    auto check = [&](const auto& now, const auto& created, const char* kind) {
      for (std::size_t i = 0; i < now.size(); ++i) {
        if (!created[i].HintText().empty()) {
          EXPECT_FALSE(now[i].HintText().empty()) << language << " " << kind << " " << now[i].Name();
        }
      }
    };
    check(actions.Buttons(), builtIn.Buttons(), "button");
    check(actions.Sliders(), builtIn.Sliders(), "slider");
    check(actions.BeatDisplays(), builtIn.BeatDisplays(), "beat display");
    check(actions.Texts(), builtIn.Texts(), "text");
    EXPECT_FALSE(actions.Text(actions.FindTextAction("sl_new")).HintText().empty()) << language;
  }
  // The built-in typo is mended in the file; German texts arrive as UTF-8.
  lang.ApplyLanguage(0);
  EXPECT_EQ(actions.Button(actions.FindButtonAction("about")).HintText(), "Click here to view the About box");
  EXPECT_NE(actions.Button(actions.FindButtonAction("autodj")).HintText().find("\r\n"), std::string::npos);
  lang.ApplyLanguage(1);
  EXPECT_EQ(lang.Text("main_deckloading"), "WIRD GELADEN ...");
  EXPECT_EQ(lang.Text("cancel"), "Abbrechen");
  EXPECT_EQ(lang.Text("reset"), "Zur\xC3\xBC" "cksetzen");
}

// The build copies the files into the installation tree, where start-up looks.
TEST(ShippedLanguages, InstalledBesideTheProgram) {
  const std::string folder = TLanguageTables::LanguageFolder();
  ASSERT_TRUE(std::filesystem::exists(folder + "/english.xml")) << "english.xml not installed in " << folder;
  TActionTables actions;
  TLanguageTables lang(actions);
  lang.ListLanguages(folder);
  ASSERT_GE(lang.LanguageList().size(), 2u);
  EXPECT_EQ(lang.LanguageList()[0].LanguageName, "English");
}

TEST(ListLanguages, OnlyValidRootsAreListed) {
  test::TempDir dir;
  Write(dir.file("a.xml"), Root(5, "Alpha"));
  Write(dir.file("b.XML"), Root(5, "Beta"));                  // the pattern ignores case
  Write(dir.file("c.xml"), Root(4, "Old"));                   // wrong version
  Write(dir.file("d.xml"), "<zondaskin targetversion=\"5\">"); // wrong root
  Write(dir.file("e.xml"), "<languagestrings language=\"NoVersion\">");
  Write(dir.file("f.txt"), Root(5, "NotXml"));
  Write(dir.file("g.xml"), "<languagestrings targetversion=\"5\"/><languagestrings targetversion=\"5\">");
  std::filesystem::create_directory(dir.file("h.xml"));
  TActionTables actions;
  TLanguageTables lang(actions);
  lang.ListLanguages(dir.path().string());
  std::vector<std::string> names;
  for (const TLanguageRecord& r : lang.LanguageList()) names.push_back(r.LanguageName);
  EXPECT_EQ(names, (std::vector<std::string>{"Alpha", "Beta", ""}));
  EXPECT_EQ(lang.LanguageList()[0].FileName, dir.file("a.xml"));

  // The old version is not loaded either.
  Write(dir.file("c.xml"), Root(4) + "<string action=\"ok\" value=\"Old\"/>");
  lang.LoadLanguage(dir.file("c.xml"));
  EXPECT_EQ(lang.Text("ok"), "");

  lang.ListLanguages(dir.file("missing"));
  EXPECT_TRUE(lang.LanguageList().empty());
}

TEST(ListLanguages, StopsAtOneHundred) {
  test::TempDir dir;
  for (int i = 0; i < 105; ++i) Write(dir.file("l" + std::to_string(1000 + i) + ".xml"), Root());
  TActionTables actions;
  TLanguageTables lang(actions);
  lang.ListLanguages(dir.path().string());
  EXPECT_EQ(lang.LanguageList().size(), 100u);
}

TEST(LoadLanguage, ValuesKeysAndHints) {
  test::TempDir dir;
  Write(dir.file("t.xml"), Root() +
                               "<string action=\"ok\" value=\"first\"/>\n"
                               "<string action=\"ok\" value=\"Okay\"/>\n"  // the later one wins
                               "<string action=\"main_confirmexit\" value=\"Really\\nquit?\"/>\n"
                               "<string action=\"main_loadsong\" value=\"two\nlines\"/>\n"
                               "<string action=\"nokey\" value=\"ignored\"/>\n"
                               "<string action=\"Cancel\" value=\"wrong case\"/>\n"
                               "<!-- comment --><?pi?>\n"
                               "<hint action=\"ba:decka_play_pause\" value=\"Play A\"/>\n"
                               "<hint action=\"sa?decka_pitch\" value=\"Pitch\\nA\"/>\n"
                               "<hint action=\"bd deckb\" value=\"Display B\"/>\n"
                               "<hint action=\"ta_sl_new\" value=\"New list\"/>\n"
                               "<hint action=\"xa:decka_sync\" value=\"bad prefix\"/>\n"
                               "<hint action=\"ba\" value=\"too short\"/>\n"
                               "<hint action=\"ba:nosuchaction\" value=\"unknown\"/>\n"
                               "<hint action=\"ba:crossfader\" value=\"slider name on a button\"/>\n"
                               "</languagestrings>\n");
  TActionTables actions;
  TLanguageTables lang(actions);
  lang.LoadLanguage(dir.file("t.xml"));
  EXPECT_EQ(lang.Text("ok"), "Okay");
  EXPECT_EQ(lang.Text("main_confirmexit"), "Really\r\nquit?");
  EXPECT_EQ(lang.Text("main_loadsong"), "two lines");
  EXPECT_EQ(lang.Text("cancel"), "");  // absent: every Cancel caption will be empty
  EXPECT_EQ(lang.Text("nokey"), "");
  EXPECT_EQ(actions.Button(actions.FindButtonAction("decka_play_pause")).HintText(), "Play A");
  EXPECT_EQ(actions.Slider(actions.FindSliderAction("decka_pitch")).HintText(), "Pitch\r\nA");
  EXPECT_EQ(actions.BeatDisplay(1).HintText(), "Display B");
  EXPECT_EQ(actions.Text(actions.FindTextAction("sl_new")).HintText(), "New list");
  EXPECT_EQ(actions.Button(actions.FindButtonAction("decka_sync")).HintText(), "Beat-Match Deck A with Deck B");
  EXPECT_EQ(actions.Slider(actions.FindSliderAction("crossfader")).HintText(), "Crossfader");
}

TEST(LoadLanguage, WrongRootAndNestedStartTags) {
  test::TempDir dir;
  Write(dir.file("full.xml"), Root() + "<string action=\"ok\" value=\"OK\"/><string action=\"yes\" value=\"Yes\"/>");
  Write(dir.file("wrong.xml"), "<zondaskin targetversion=\"5\"><string action=\"ok\" value=\"Skin\"/>");
  Write(dir.file("nested.xml"), Root() +
                                    "<string action=\"ok\" value=\"Before\"/>"
                                    "<string action=\"yes\" value=\"Nested\"></string>"
                                    "<string action=\"no\" value=\"After\"/>");
  Write(dir.file("rootless.xml"), "<string action=\"ok\" value=\"Orphan\"/>");
  TActionTables actions;
  TLanguageTables lang(actions);
  lang.LoadLanguage(dir.file("full.xml"));
  lang.LoadLanguage(dir.file("wrong.xml"));  // stops at once, old texts stay
  lang.LoadLanguage(dir.file("missing.xml"));
  lang.LoadLanguage(dir.file("rootless.xml"));
  EXPECT_EQ(lang.Text("ok"), "OK");
  EXPECT_EQ(lang.Text("yes"), "Yes");
  lang.LoadLanguage(dir.file("nested.xml"));
  EXPECT_EQ(lang.Text("ok"), "Before");
  EXPECT_EQ(lang.Text("yes"), "");  // emptied by the root, never read
  EXPECT_EQ(lang.Text("no"), "");
}

class ApplyLanguageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Write(dir.file("1_full.xml"), Root(5, "Full") +
                                      "<string action=\"shortcuts\" value=\"Keys:\"/>"
                                      "<string action=\"none\" value=\"nothing\"/>"
                                      "<string action=\"main_deckempty\" value=\"NO SONG\"/>"
                                      "<string action=\"main_filteroff\" value=\"OFF\"/>"
                                      "<string action=\"cancel\" value=\"Cancel\"/>"
                                      "<hint action=\"ba:decka_cue\" value=\"Cue A\"/>"
                                      "<hint action=\"ba:decka_sync\" value=\"Sync A\"/>");
    Write(dir.file("2_one.xml"), Root(5, "One") + "<string action=\"main_deckempty\" value=\"LEER\"/>"
                                                  "<hint action=\"ba:decka_cue\" value=\"Cue\"/>");
    Write(dir.file("3_three.xml"), Root(5, "Three"));
    lang.ListLanguages(dir.path().string());
    ASSERT_EQ(lang.LanguageList().size(), 3u);
  }
  test::TempDir dir;
  TActionTables actions;
  TLanguageTables lang{actions};
};

TEST_F(ApplyLanguageTest, PositionIsClamped) {
  EXPECT_EQ(lang.ApplyLanguage(7), 2);
  EXPECT_EQ(lang.ApplyLanguage(-3), 0);
  EXPECT_EQ(lang.Text("cancel"), "Cancel");
  EXPECT_EQ(TLanguageTables::ClampLanguagePosition(1, 3), 1);
  EXPECT_EQ(TLanguageTables::ClampLanguagePosition(0, 0), -1);

  TActionTables otherActions;
  TLanguageTables none(otherActions);
  EXPECT_EQ(none.ApplyLanguage(0), -1);
  EXPECT_EQ(otherActions.Button(0).HintText(), "");  // hints are cleared even then
}

TEST_F(ApplyLanguageTest, SwitchingEmptiesWhatTheNewFileLacks) {
  lang.ApplyLanguage(0);
  EXPECT_EQ(lang.Text("cancel"), "Cancel");
  EXPECT_EQ(actions.Button(actions.FindButtonAction("decka_sync")).HintText(), "Sync A");
  lang.ApplyLanguage(1);
  EXPECT_EQ(lang.Text("cancel"), "");
  EXPECT_EQ(lang.Text("main_deckempty"), "LEER");
  EXPECT_EQ(actions.Button(actions.FindButtonAction("decka_cue")).HintText(), "Cue");
  EXPECT_EQ(actions.Button(actions.FindButtonAction("decka_sync")).HintText(), "");
  EXPECT_EQ(actions.Slider(0).HintText(), "");
}

TEST_F(ApplyLanguageTest, StepsRunInOrderAndHintsGetTheNewWords) {
  test::FakeButton cue;
  TButtonAction& cueAction = actions.Button(actions.FindButtonAction("decka_cue"));
  cueAction.Bind(0, cue);
  std::vector<std::string> order;
  lang.RegisterStep(12, [&](const TLanguageTables& l) { order.push_back("search " + l.Text("cancel")); });
  lang.RegisterStep(3, [&](const TLanguageTables& l) { order.push_back("folder " + l.Text("cancel")); });
  lang.RegisterStep(8, [&](const TLanguageTables&) { order.push_back("lists"); });
  lang.ApplyLanguage(0);
  EXPECT_EQ(order, (std::vector<std::string>{"folder Cancel", "lists", "search Cancel"}));
  EXPECT_EQ(cue.hint, "Cue A\r\n\r\nKeys: nothing");
  cueAction.SetShortcutText("Ctrl + Q");
  EXPECT_EQ(cue.hint, "Cue A\r\n\r\nKeys: Ctrl + Q");
}

TEST_F(ApplyLanguageTest, ReadoutsThatShowLanguageTexts) {
  TTextAction& songA = actions.Text(actions.FindTextAction("decka_songname"));
  TTextAction& songB = actions.Text(actions.FindTextAction("deckb_songname"));
  TTextAction& cutoff = actions.Text(actions.FindTextAction("deckb_cutoff"));
  songB.SetText("ARTIST - TITLE");
  lang.ApplyLanguage(0);
  EXPECT_EQ(songA.Text(), "NO SONG");
  EXPECT_EQ(songB.Text(), "ARTIST - TITLE");  // a song name is left alone
  EXPECT_EQ(cutoff.Text(), "OFF");
  // A second switch still recognises the empty deck in the previous language.
  lang.ApplyLanguage(1);
  EXPECT_EQ(songA.Text(), "LEER");
  EXPECT_EQ(cutoff.Text(), "");
  lang.ApplyLanguage(0);
  EXPECT_EQ(songA.Text(), "NO SONG");
  EXPECT_EQ(songB.Text(), "ARTIST - TITLE");
}

}  // namespace
}  // namespace zonda
