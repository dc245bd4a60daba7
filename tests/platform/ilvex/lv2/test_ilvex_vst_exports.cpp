// The LV2 host as the program reaches it: libilvex.so's vst_* exports, bound by
// engine/IlvexLibrary from the installation tree.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QSlider>
#include <QTest>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "engine/IlvexLibrary.h"
#include "platform/ProgramDir.h"
#include "tests/platform/ilvex/IsolatedSettings.h"
#include "tests/platform/ilvex/lv2/Lv2TestBundles.h"
#include "tests/support/Require.h"
#include "tests/support/ToneAnalysis.h"

namespace zonda {
namespace {

ZONDA_ISOLATED_SETTINGS();

struct Listed {
  std::string path;
  std::string name;
  int32_t index;
};
std::vector<Listed> g_listed;
int32_t Collect(const char* path, const char* name, int32_t index) {
  g_listed.push_back({path, name, index});
  return 0;
}
int32_t StopAtFirst(const char* path, const char* name, int32_t index) {
  Collect(path, name, index);
  return 1;
}

int32_t IndexOf(const std::string& uri) {
  for (const Listed& l : g_listed)
    if (l.path == uri) return l.index;
  return -1;
}

// The level of an 8 kHz tone after vst_process in 256-frame blocks, in dB of full scale.
double HighToneDbAfter(IlvexLibrary& lib, intptr_t instance) {
  const int frames = 22050;
  std::vector<float> block(size_t(frames) * 2);
  for (int i = 0; i < frames; ++i)
    block[2 * size_t(i)] = block[2 * size_t(i) + 1] = float(0.5 * std::sin(2 * std::numbers::pi * 8000.0 * i / 44100.0));
  for (int at = 0; at < frames; at += 256) lib.VstProcess(instance, block.data() + 2 * size_t(at), std::min(256, frames - at));
  std::vector<double> right;
  for (int i = frames / 2; i < frames; ++i) right.push_back(block[2 * size_t(i) + 1] * 32767.0);
  return test::ToneDb(right, 8000.0);
}

class IlvexVstExportsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!folder_.Link(test::kFil4Bundle)) ZONDA_SKIP_OR_FAIL("x42-plugins is not installed (no fil4.lv2 bundle)");
    folder_.WriteBundle("garbage.lv2", "manifest.ttl", "<x> a {{ ;;");
    folder_.WriteBundle("missing.lv2", "manifest.ttl", test::kMissingBinaryManifest);
    folder_.WriteBundle("missing.lv2", "missing.ttl", test::kMissingBinaryPlugin);
    folder_.Use();
    ASSERT_TRUE(lib_.Load()) << lib_.LastError() << " (" << ProgramPath("/libilvex.so") << ")";
    g_listed.clear();
  }
  void TearDown() override { lib_.VstDeinit(); }

  test::Lv2Folder folder_;
  IlvexLibrary lib_;
};

TEST_F(IlvexVstExportsTest, ListsLoadsAndRunsEffects) {
  lib_.VstInit(nullptr);
  lib_.VstEnumeratePlugins(&Collect);
  ASSERT_EQ(g_listed.size(), 3u);  // fil4 mono and stereo, and the bundle whose binary is missing
  for (size_t i = 0; i < g_listed.size(); ++i) EXPECT_EQ(g_listed[i].index, int32_t(i));
  const int32_t stereo = IndexOf(test::kFil4Stereo);
  ASSERT_GE(stereo, 0);
  EXPECT_EQ(g_listed[size_t(stereo)].name, "x42-eq - Parametric Equalizer Stereo");

  // The same list, in the same order, every time; a callback answering non-zero stops it.
  const std::vector<Listed> first = g_listed;
  g_listed.clear();
  lib_.VstEnumeratePlugins(&Collect);
  ASSERT_EQ(g_listed.size(), first.size());
  for (size_t i = 0; i < first.size(); ++i) EXPECT_EQ(g_listed[i].path, first[i].path);
  g_listed.clear();
  lib_.VstEnumeratePlugins(&StopAtFirst);
  EXPECT_EQ(g_listed.size(), 1u);
  lib_.VstEnumeratePlugins(nullptr);
  g_listed = first;

  EXPECT_EQ(lib_.VstLoad(-1), 0);
  EXPECT_EQ(lib_.VstLoad(3), 0);
  const int32_t missing = IndexOf("urn:zonda:test:missing-binary");
  ASSERT_GE(missing, 0);
  EXPECT_EQ(lib_.VstLoad(missing), 0);

  const intptr_t effect = lib_.VstLoad(stereo);
  ASSERT_NE(effect, 0);
  // Passing audio with every section off, once its start-up glide is over; nothing for nothing.
  EXPECT_NEAR(HighToneDbAfter(lib_, effect), test::FullScaleDb(0.5 * 32767), 1.0);
  float buffer[4] = {0.25f, -0.25f, 0.5f, -0.5f};
  lib_.VstProcess(effect, buffer, 0);
  lib_.VstProcess(0, buffer, 2);
  EXPECT_EQ(buffer[0], 0.25f);
  lib_.VstGuiIdleRefresh(effect);
  lib_.VstShowEditor(effect, -1);  // no QApplication: nothing happens
  lib_.VstUnload(effect);
  lib_.VstUnload(effect);  // already gone: ignored

  // Left loaded: vst_deinit unloads it (ASan would report the leak otherwise).
  ASSERT_NE(lib_.VstLoad(IndexOf(test::kFil4Mono)), 0);
}

TEST_F(IlvexVstExportsTest, TheEditorWindowChangesTheSound) {
  int argc = 1;
  char arg0[] = "test";
  char* argv[] = {arg0, nullptr};
  QApplication app(argc, argv);
  lib_.VstInit(nullptr);
  lib_.VstEnumeratePlugins(&Collect);
  const intptr_t effect = lib_.VstLoad(IndexOf(test::kFil4Stereo));
  ASSERT_NE(effect, 0);
  const double open = HighToneDbAfter(lib_, effect);

  lib_.VstShowEditor(effect, -1);
  QWidget* editor = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->windowTitle() == "x42-eq - Parametric Equalizer Stereo") editor = w;
  ASSERT_NE(editor, nullptr);
  EXPECT_TRUE(editor->isVisible());
  auto* lowPass = editor->findChild<QCheckBox*>(QStringLiteral("Lowpass"));
  auto* frequency = editor->findChild<QSlider*>(QStringLiteral("Lowpass Frequency"));
  ASSERT_NE(lowPass, nullptr);
  ASSERT_NE(frequency, nullptr);
  lowPass->setFocus();
  QTest::keyClick(lowPass, Qt::Key_Space);
  frequency->setFocus();
  QTest::keyClick(frequency, Qt::Key_Home);
  EXPECT_LT(HighToneDbAfter(lib_, effect), open - 30.0);

  lib_.VstShowEditor(effect, 0);
  EXPECT_FALSE(editor->isVisible());
  lib_.VstShowEditor(effect, -1);
  EXPECT_TRUE(editor->isVisible());
  lib_.VstUnload(effect);  // closes the editor with it
  for (QWidget* w : QApplication::topLevelWidgets()) EXPECT_NE(w->windowTitle(), "x42-eq - Parametric Equalizer Stereo");
}

}  // namespace
}  // namespace zonda
