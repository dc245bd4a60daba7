// libtorvane.so as the program binds it: dlopen'ed from the installation
// tree, its eight exports looked up by name and nothing else visible.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "platform/ProgramDir.h"
#include "tests/support/TestFiles.h"
#include "tests/torvane/KnownPlugins.h"
#include "torvane/Torvane.h"

namespace zonda {
namespace {

namespace fs = std::filesystem;

struct TFilter {
  std::string moniker, name;
};
std::vector<TFilter> gListed;

void Collect(const char16_t* moniker, const char* friendlyName) {
  gListed.push_back({FromUtf16(moniker), friendlyName});
}

class TorvaneExports : public testing::Test {
 protected:
  void SetUp() override {
    library_ = dlopen(ProgramPath("/libtorvane.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library_, nullptr) << dlerror();
    Bind(enumerate, "enumeratedirectshowfilters");
    Bind(load, "loadplugin");
    Bind(unload, "unloadplugin");
    Bind(processShortInt, "processshortint");
    Bind(process, "process");
    Bind(show, "showpluginproperties");
    Bind(hide, "hidepluginproperties");
    Bind(changeTab, "changeplugintab");
  }
  void TearDown() override {
    if (library_) dlclose(library_);
  }
  template <class F>
  void Bind(F& f, const char* name) {
    f = reinterpret_cast<F>(dlsym(library_, name));
    ASSERT_NE(f, nullptr) << name;
  }

  void* library_ = nullptr;
  TorvaneEnumerateFilters enumerate = nullptr;
  TorvaneLoadPlugin load = nullptr;
  TorvaneUnloadPlugin unload = nullptr;
  TorvaneProcessShortInt processShortInt = nullptr;
  TorvaneProcess process = nullptr;
  TorvaneShowProperties show = nullptr;
  TorvaneHideProperties hide = nullptr;
  TorvaneChangeTab changeTab = nullptr;
};

TEST_F(TorvaneExports, ShowsExactlyTheEightExports) {
  ZONDA_REQUIRE_TOOLS("nm");
  test::TempDir dir;
  const std::string list = dir.file("symbols.txt");
  // Defined code and data symbols of the dynamic table, by name.
  ASSERT_EQ(test::Run("nm -D --defined-only '" + ProgramPath("/libtorvane.so") +
                      "' | awk '$2 ~ /^[TtDdBbRr]$/ {print $3}' | sort > " + list),
            0);
  std::ifstream in(list);
  std::vector<std::string> names;
  for (std::string name; std::getline(in, name);) names.push_back(name);
  EXPECT_EQ(names, (std::vector<std::string>{"changeplugintab", "enumeratedirectshowfilters", "hidepluginproperties",
                                             "loadplugin", "process", "processshortint", "showpluginproperties",
                                             "unloadplugin"}));
}

TEST_F(TorvaneExports, EnumeratesTheFoldersOfLadspaPath) {
  ZONDA_REQUIRE_PLUGIN(test::kSdkLowPass);
  test::TempDir dir;
  std::ofstream(dir.file("broken.so")) << "\x7f" "ELF broken";
  std::ofstream(dir.file("empty.so"));
  fs::copy_file(test::LibraryPath(test::kSdkLowPass), dir.path() / "filter.so");
  const char* before = std::getenv("LADSPA_PATH");
  const std::string saved = before ? before : "";
  setenv("LADSPA_PATH", (dir.file("") + ":" + dir.file("missing")).c_str(), 1);
  gListed.clear();
  EXPECT_EQ(enumerate(Collect), 0);
  before ? setenv("LADSPA_PATH", saved.c_str(), 1) : unsetenv("LADSPA_PATH");
  const std::string filter = fs::canonical(dir.path() / "filter.so").string();
  ASSERT_EQ(gListed.size(), 2u);
  EXPECT_EQ(gListed[0].moniker, "ladspa:" + filter + ":1041");
  EXPECT_EQ(gListed[0].name, "Simple Low Pass Filter");
  EXPECT_EQ(gListed[1].moniker, "ladspa:" + filter + ":1042");
  EXPECT_EQ(gListed[1].name, "Simple High Pass Filter");
  EXPECT_EQ(enumerate(nullptr), TORVANE_E_INVALIDARG);
}

TEST_F(TorvaneExports, LoadsProcessesAndUnloadsThroughTheExports) {
  ZONDA_REQUIRE_PLUGIN(test::kSdkStereoAmp);
  const std::u16string moniker = ToUtf16(test::MonikerOf(test::kSdkStereoAmp));
  int notAWidget = 0;  // without a QApplication the parent is never touched
  const intptr_t host = load(&notAWidget, moniker.c_str(), 441, 44100);
  ASSERT_NE(host, 0);
  std::vector<int16_t> shorts = {32767, -32768, 100, -100};
  EXPECT_EQ(processShortInt(host, shorts.data(), 2), 0);
  EXPECT_EQ(shorts, (std::vector<int16_t>{32766, -32767, 100, -100}));
  std::vector<float> floats = {0.25f, -0.5f};
  EXPECT_EQ(process(host, floats.data(), 1), 0);
  EXPECT_EQ(floats, (std::vector<float>{0.25f, -0.5f}));
  EXPECT_EQ(processShortInt(host, shorts.data(), 442), TORVANE_E_INVALIDARG);
  EXPECT_EQ(show(host), TORVANE_E_FAIL);  // no QApplication
  EXPECT_EQ(hide(host), 0);
  EXPECT_EQ(changeTab(host), 0);
  EXPECT_EQ(unload(host), 0);
}

TEST_F(TorvaneExports, NoHostIsRefused) {
  std::vector<int16_t> shorts(4, 7);
  std::vector<float> floats(4, 0.5f);
  EXPECT_EQ(processShortInt(0, shorts.data(), 2), TORVANE_E_FAIL);
  EXPECT_EQ(process(0, floats.data(), 2), TORVANE_E_FAIL);
  EXPECT_EQ(show(0), TORVANE_E_FAIL);
  EXPECT_EQ(hide(0), TORVANE_E_FAIL);
  EXPECT_EQ(changeTab(0), TORVANE_E_FAIL);
  EXPECT_EQ(unload(0), 0);
  EXPECT_EQ(shorts, std::vector<int16_t>(4, 7));
  EXPECT_EQ(load(nullptr, nullptr, 256, 44100), 0);
  const std::u16string bad = u"ladspa:/nonexistent.so:1";
  testing::internal::CaptureStdout();
  EXPECT_EQ(load(nullptr, bad.c_str(), 256, 44100), 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "ERROR: SetFilter\n");
}

}  // namespace
}  // namespace zonda
