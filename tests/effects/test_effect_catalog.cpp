// The slot menus' lists: exclusion, sorting, grouping and the menu shape.
#include <gtest/gtest.h>

#include "effects/EffectCatalog.h"

namespace zonda {
namespace {

std::vector<TDxFilter> Filters(std::initializer_list<const char*> names) {
  std::vector<TDxFilter> f;
  int n = 0;
  for (const char* name : names) f.push_back({"ladspa:/x.so:" + std::to_string(n++), name});
  return f;
}

// The menu as text: "Caption(tag)" for items, "Caption[...]" for sub-menus.
std::string MenuText(const std::vector<TEffectMenuNode>& menu) {
  std::string s;
  for (const TEffectMenuNode& node : menu) {
    if (!s.empty()) s += " ";
    if (node.Tag >= 0)
      s += node.Caption + "(" + std::to_string(node.Tag) + ")";
    else
      s += node.Caption + "[" + MenuText(node.Children) + "]";
  }
  return s;
}

TEST(EffectCatalog, GroupsByLeadingWordsAndShortensTheMembers) {
  struct Case {
    std::vector<TDxFilter> filters;
    std::string exclusion;
    std::string menu;
  };
  const Case cases[] = {
      {Filters({"Acme Reverb", "Acme Chorus", "Acme Delay"}), "", "Acme[Chorus(0) Delay(1) Reverb(2)]"},
      {Filters({"Acme FX Delay", "Acme FX Chorus"}), "", "Acme FX[Chorus(0) Delay(1)]"},
      // Two words only when every member has them.
      {Filters({"Acme FX Chorus", "Acme Reverb"}), "", "Acme[FX Chorus(0) Reverb(1)]"},
      {Filters({"Echo"}), "", "Echo(0)"},
      {Filters({"echo", "Delay", "acme Phaser"}), "", "acme Phaser(0) Delay(1) echo(2)"},
      // A name found anywhere in the exclusion text (also inside a longer line) is left out.
      {Filters({"Acme Delay", "Tape Delay", "Echo"}), "# hidden\nVintage Tape Delay Simulation\n",
       "Acme Delay(0) Echo(1)"},
      {Filters({"Acme Delay"}), "Acme Delay", ""},
      // A one-blank first name cannot give a two-word prefix: "Acme Delay Pro" keeps a name.
      {Filters({"Acme Delay", "Acme Delay Pro"}), "", "Acme[Delay(0) Delay Pro(1)]"},
  };
  for (const Case& c : cases) {
    const auto list = BuildDxList(c.filters, c.exclusion);
    EXPECT_EQ(MenuText(BuildEffectMenuOf(list)), c.menu) << c.filters.front().FriendlyName;
  }
}

TEST(EffectCatalog, KeepsTheMonikerAndPluginIndexOfEachEntry) {
  const auto dx = BuildDxList({{"ladspa:/b.so:2", "Beta"}, {"ladspa:/a.so:1", "Alpha"}}, "");
  ASSERT_EQ(dx.size(), 2u);
  EXPECT_EQ(dx[0].MonikerName, "ladspa:/a.so:1");
  EXPECT_EQ(dx[1].MonikerName, "ladspa:/b.so:2");

  const auto vst = BuildVstList({{"urn:z", "Zeta Filter", 4}, {"urn:z2", "Zeta Delay", 9}, {"urn:m", "Meter", 1}},
                                "Meter\n");
  ASSERT_EQ(vst.size(), 2u);
  EXPECT_EQ(vst[0].Name, "Delay");
  EXPECT_EQ(vst[0].PluginIndex, 9);
  EXPECT_EQ(vst[0].GroupPrefix, "Zeta");
  EXPECT_EQ(vst[1].PluginIndex, 4);
  EXPECT_EQ(MenuText(BuildEffectMenuOf(vst)), "Zeta[Delay(0) Filter(1)]");
  EXPECT_EQ(FullPluginName(vst[0]), "Zeta Delay");
  const auto single = BuildVstList({{"urn:e", "Echo", 1}, {"urn:a", "Acme Delay", 2}}, "");
  EXPECT_EQ(FullPluginName(single[0]), "Acme Delay");
  EXPECT_EQ(FullPluginName(single[1]), "Echo");
}

TEST(EffectCatalog, AMissingExclusionFileIsAnError) {
  std::string text, error;
  EXPECT_FALSE(ReadExclusionText("/nonexistent/exclude_plugins.txt", &text, &error));
  EXPECT_NE(error.find("exclude_plugins.txt"), std::string::npos);
}

}  // namespace
}  // namespace zonda
