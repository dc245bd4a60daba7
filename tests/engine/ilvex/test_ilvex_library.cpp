#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "engine/IlvexLibrary.h"
#include "platform/ProgramDir.h"
#include "tests/platform/ilvex/IsolatedSettings.h"
#include "tests/platform/ilvex/lv2/Lv2TestBundles.h"

namespace zonda {
namespace {

ZONDA_ISOLATED_SETTINGS();

int g_pluginsListed = 0;
int32_t OnPlugin(const char*, const char*, int32_t) {
  ++g_pluginsListed;
  return 0;
}
int32_t OnAudio(float*, int32_t frames) { return frames; }

const std::vector<std::string> kThirteen = {
    "init_audio_io", "deinit_audio_io", "get_latency", "audio_control_panel", "get_mpeg_first_frame_pos",
    "vst_init", "vst_deinit", "vst_enumerate_plugins", "vst_load", "vst_unload", "vst_process",
    "vst_show_editor", "vst_gui_idle_refresh"};

void ExpectDefaults(IlvexLibrary& lib) {
  EXPECT_EQ(lib.InitAudioIO(nullptr, &OnAudio, &OnAudio), 0);
  lib.DeinitAudioIO();
  lib.AudioControlPanel();
  EXPECT_EQ(lib.GetMpegFirstFramePos("/x.mp3"), -1);
  lib.VstInit(nullptr);
  lib.VstEnumeratePlugins(&OnPlugin);
  float buffer[4] = {1, 2, 3, 4};
  lib.VstProcess(1, buffer, 2);
  lib.VstShowEditor(1, -1);
  lib.VstGuiIdleRefresh(1);
  lib.VstUnload(1);
  lib.VstDeinit();
  EXPECT_FALSE(lib.SetRestartCallback(nullptr));
}

class IlvexLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ::unsetenv("ZONDA_AUDIO");
    ::unsetenv("ZONDA_AUDIO_BLOCK");
  }
  test::TempDir dir_;
};

TEST_F(IlvexLibraryTest, BindsTheInstalledLibrary) {
  IlvexLibrary lib;
  ASSERT_TRUE(lib.Load()) << lib.LastError() << " (" << ProgramPath("/libilvex.so") << ")";
  EXPECT_TRUE(lib.Loaded());
  EXPECT_TRUE(lib.MissingExports().empty());
  EXPECT_TRUE(lib.SetRestartCallback(nullptr));

  // With no LV2 plug-ins installed: nothing listed, nothing loads, the rest is harmless.
  {
    test::Lv2Folder empty;
    empty.Use();
    lib.VstInit(nullptr);
    g_pluginsListed = 0;
    lib.VstEnumeratePlugins(&OnPlugin);
    EXPECT_EQ(g_pluginsListed, 0);
    EXPECT_EQ(lib.VstLoad(0), 0);
    EXPECT_EQ(lib.VstLoad(5), 0);
    float buffer[4] = {0.25f, -0.25f, 0.5f, -0.5f};
    lib.VstProcess(0, buffer, 2);
    EXPECT_EQ(buffer[0], 0.25f);
    lib.VstDeinit();
  }

  // The block size the settings ask for while no device is open.
  struct Case {
    const char* env;
    int32_t latency;
  } cases[] = {{nullptr, 512}, {"1000", 1000}, {"10", 64}, {"100000", 2205}};
  for (const Case& c : cases) {
    if (c.env) ::setenv("ZONDA_AUDIO_BLOCK", c.env, 1); else ::unsetenv("ZONDA_AUDIO_BLOCK");
    EXPECT_EQ(lib.GetLatency(), c.latency) << (c.env ? c.env : "unset");
  }
  ::unsetenv("ZONDA_AUDIO_BLOCK");

  lib.Unload();
  EXPECT_FALSE(lib.Loaded());
  ExpectDefaults(lib);
}

TEST_F(IlvexLibraryTest, FindsTheFirstMpegFrameThroughTheExport) {
  IlvexLibrary lib;
  ASSERT_TRUE(lib.Load()) << lib.LastError();
  // ID3v2 tag of 100 body bytes, then two MPEG-1 layer III frames of 417 bytes.
  std::vector<uint8_t> data = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 100};
  data.resize(110, 0xFF);
  for (int f = 0; f < 2; ++f) {
    const size_t at = data.size();
    data.resize(at + 417, 0);
    data[at] = 0xFF, data[at + 1] = 0xFB, data[at + 2] = 0x90, data[at + 3] = 0x64;
  }
  const std::string name = dir_.file("tagged.mp3");
  std::ofstream(name, std::ios::binary).write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
  EXPECT_EQ(lib.GetMpegFirstFramePos(name.c_str()), 110);
  EXPECT_EQ(lib.GetMpegFirstFramePos(dir_.file("none.mp3").c_str()), -1);
  EXPECT_EQ(lib.GetMpegFirstFramePos(nullptr), -1);
  const std::string silence = dir_.file("zeros.mp3");
  std::ofstream(silence, std::ios::binary) << std::string(4096, '\0');
  EXPECT_EQ(lib.GetMpegFirstFramePos(silence.c_str()), -1);
}

TEST_F(IlvexLibraryTest, MissingLibraryOrExportsGiveSafeDefaults) {
  IlvexLibrary none;
  EXPECT_FALSE(none.Load(dir_.file("libilvex.so")));
  EXPECT_FALSE(none.LastError().empty());
  EXPECT_FALSE(none.Loaded());
  ExpectDefaults(none);
  EXPECT_EQ(none.GetLatency(), 0);
  EXPECT_EQ(none.VstLoad(1), 0);

  IlvexLibrary partial;
  ASSERT_TRUE(partial.Load(ILVEX_PARTIAL_STUB)) << partial.LastError();
  std::vector<std::string> expected;
  for (const std::string& name : kThirteen)
    if (name != "get_latency" && name != "vst_load") expected.push_back(name);
  EXPECT_EQ(partial.MissingExports(), expected);
  EXPECT_EQ(partial.GetLatency(), 333);
  EXPECT_EQ(partial.VstLoad(1), 1001);
  ExpectDefaults(partial);
}

}  // namespace
}  // namespace zonda
