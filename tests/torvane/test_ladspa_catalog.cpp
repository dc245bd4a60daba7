// Finding the installed LADSPA plug-ins: the folders, the listing of Debian's
// real plug-ins, and folders holding things that are not plug-ins.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "tests/support/TestFiles.h"
#include "tests/torvane/KnownPlugins.h"
#include "torvane/core/LadspaCatalog.h"
#include "torvane/core/LadspaFolders.h"
#include "torvane/core/LadspaLibrary.h"

namespace zonda {
namespace {

namespace fs = std::filesystem;

const TLadspaPluginEntry* Find(const std::vector<TLadspaPluginEntry>& entries, const test::TKnownPlugin& plugin) {
  const std::string moniker = test::MonikerOf(plugin);
  for (const TLadspaPluginEntry& e : entries)
    if (e.Moniker == moniker) return &e;
  return nullptr;
}

void WriteFile(const std::string& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; }

TEST(LadspaFolders, LadspaPathNamesTheFoldersOnceEach) {
  test::TempDir dir;
  fs::create_directories(dir.path() / "a");
  fs::create_directories(dir.path() / "b");
  fs::create_directory_symlink(dir.path() / "a", dir.path() / "link-to-a");
  const std::string a = fs::canonical(dir.path() / "a").string();
  const std::string b = fs::canonical(dir.path() / "b").string();
  const std::string path = dir.file("a") + ":" + dir.file("missing") + "::" + dir.file("b") + ":" +
                           dir.file("link-to-a") + ":" + dir.file("a") + "/";
  EXPECT_EQ(LadspaFolders(path, "/nonexistent-home"), (std::vector<std::string>{a, b}));
}

TEST(LadspaFolders, WithoutLadspaPathTheStandardFoldersAndHome) {
  test::TempDir home;
  fs::create_directories(home.path() / ".ladspa");
  const std::vector<std::string> folders = LadspaFolders("", home.file(""));
  EXPECT_EQ(folders.back(), fs::canonical(home.path() / ".ladspa").string());
  if (fs::is_directory("/usr/lib/ladspa")) {
    EXPECT_NE(std::find(folders.begin(), folders.end(), fs::canonical("/usr/lib/ladspa").string()), folders.end());
  }
  for (const std::string& f : folders) EXPECT_EQ(std::count(folders.begin(), folders.end(), f), 1) << f;
  // Only colons is no folder at all: the standard ones again.
  EXPECT_EQ(LadspaFolders(":::", home.file("")), folders);
}

TEST(LadspaCatalog, ListsDebiansPluginsWithTheirLayouts) {
  for (const auto* plugin : {&test::kSdkLowPass, &test::kSdkStereoAmp, &test::kSwhButterworth, &test::kCmtLowPass,
                             &test::kSwhSplitter, &test::kCmtStereoToMono, &test::kCmtOrgan})
    ZONDA_REQUIRE_PLUGIN(*plugin);
  const std::vector<TLadspaPluginEntry> entries = ListLadspaPlugins({test::kLadspaFolder});
  struct Case {
    const test::TKnownPlugin* plugin;
    TLadspaLayout layout;
    size_t controls;
  };
  const Case cases[] = {
      {&test::kSdkLowPass, TLadspaLayout::PairedMono, 1},
      {&test::kSdkStereoAmp, TLadspaLayout::Stereo, 1},
      {&test::kSwhButterworth, TLadspaLayout::PairedMono, 2},
      {&test::kCmtLowPass, TLadspaLayout::PairedMono, 1},
      {&test::kSwhSplitter, TLadspaLayout::MonoToStereo, 0},
      {&test::kCmtStereoToMono, TLadspaLayout::StereoToMono, 0},
  };
  for (const Case& c : cases) {
    const TLadspaPluginEntry* entry = Find(entries, *c.plugin);
    ASSERT_NE(entry, nullptr) << c.plugin->name;
    EXPECT_EQ(entry->FriendlyName, c.plugin->name);
    EXPECT_EQ(entry->Layout, c.layout) << c.plugin->name;
    EXPECT_EQ(entry->ControlCount, c.controls) << c.plugin->name;
  }
  EXPECT_EQ(Find(entries, test::kCmtOrgan), nullptr) << "an instrument without audio input is no effect";
  for (const TLadspaPluginEntry& e : entries)
    EXPECT_EQ(std::count_if(entries.begin(), entries.end(), [&](const auto& o) { return o.Moniker == e.Moniker; }), 1)
        << e.Moniker;
}

TEST(LadspaCatalog, SurvivesFilesThatAreNotPlugins) {
  ZONDA_REQUIRE_PLUGIN(test::kSdkLowPass);
  test::TempDir dir;
  WriteFile(dir.file("empty.so"), "");
  WriteFile(dir.file("broken.so"), std::string("\x7f" "ELF\x02\x01\x01", 7) + std::string(200, '\xee'));
  WriteFile(dir.file("text.so"), "not a library\n");
  fs::create_directory(dir.path() / "folder.so");
  fs::create_symlink(dir.path() / "nowhere.so", dir.path() / "dangling.so");
  // A real shared library without ladspa_descriptor.
  for (const char* lib : {"/lib/x86_64-linux-gnu/libz.so.1", "/usr/lib/x86_64-linux-gnu/libz.so.1"})
    if (fs::exists(lib)) {
      fs::copy_file(lib, dir.path() / "libz.so");
      break;
    }
  fs::copy_file(test::LibraryPath(test::kSdkLowPass), dir.path() / "filter.so");
  WriteFile(dir.file("filter.so.txt"), "not a .so name");

  const std::vector<TLadspaPluginEntry> entries = ListLadspaPlugins(LadspaFolders(dir.file(""), ""));
  ASSERT_EQ(entries.size(), 2u);  // filter.so holds a low-pass and a high-pass
  const std::string filter = fs::canonical(dir.path() / "filter.so").string();
  EXPECT_EQ(entries[0].Moniker, "ladspa:" + filter + ":1041");
  EXPECT_EQ(entries[0].FriendlyName, "Simple Low Pass Filter");
  EXPECT_EQ(entries[1].Moniker, "ladspa:" + filter + ":1042");
}

TEST(LadspaCatalog, MissingFoldersAndALibraryReachedTwiceAreListedOnce) {
  ZONDA_REQUIRE_PLUGIN(test::kSdkLowPass);
  test::TempDir dir;
  fs::create_directories(dir.path() / "one");
  fs::create_directories(dir.path() / "two");
  fs::copy_file(test::LibraryPath(test::kSdkLowPass), dir.path() / "one" / "filter.so");
  fs::create_symlink(dir.path() / "one" / "filter.so", dir.path() / "two" / "same-filter.so");
  const auto entries = ListLadspaPlugins({dir.file("one"), dir.file("two"), dir.file("missing")});
  EXPECT_EQ(entries.size(), 2u);
  EXPECT_TRUE(ListLadspaPlugins({}).empty());
  EXPECT_TRUE(ListLadspaPlugins({dir.file("missing")}).empty());
}

TEST(LadspaCatalog, OddPluginsAreListedByWhatTheirPortsAllow) {
  test::TempDir dir;
  fs::copy_file(ZONDA_ODD_LADSPA, dir.path() / "odd.so");
  const std::string odd = fs::canonical(dir.path() / "odd.so").string();
  const std::vector<TLadspaPluginEntry> entries = ListLadspaPlugins({dir.file("")});
  std::vector<std::pair<std::string, std::string>> listed;
  for (const TLadspaPluginEntry& e : entries) listed.emplace_back(e.Moniker, e.FriendlyName);
  const std::string prefix = "ladspa:" + odd + ":";
  EXPECT_EQ(listed, (std::vector<std::pair<std::string, std::string>>{
                        {prefix + "9001", "Odd Refusing"},      // refuses only when instantiated
                        {prefix + "9002", "Odd Not A Number"},  // misbehaves only when run
                        {prefix + "9003", "odd_label_only"},    // no Name: its Label
                        {prefix + "9005", "Odd Half"},          // 9004 has no audio input
                        {prefix + "9006", "Odd Flush Probe"}}));
}

TEST(LadspaCatalog, ALibraryThatNeverEndsItsListIsCut) {
  test::TempDir dir;
  fs::copy_file(ZONDA_ENDLESS_LADSPA, dir.path() / "endless.so");
  const std::vector<TLadspaPluginEntry> entries = ListLadspaPlugins({dir.file("")});
  size_t usable = 0;  // six descriptors round and round; the fourth is a generator
  for (unsigned long i = 0; i < kMaxLadspaDescriptors; ++i) usable += i % 6 != 3;
  EXPECT_EQ(entries.size(), usable);
}

}  // namespace
}  // namespace zonda
