#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QSlider>
#include <QTest>
#include <cmath>
#include <numbers>
#include <vector>

#include "platform/ilvex/lv2/Lv2Host.h"
#include "tests/platform/ilvex/lv2/Lv2TestBundles.h"
#include "tests/support/Require.h"
#include "tests/support/ToneAnalysis.h"

namespace zonda::ilvex {
namespace {

QWidget* EditorOf(const std::string& title) {
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w->windowTitle() == QString::fromStdString(title)) return w;
  return nullptr;
}

// The level of an 8 kHz tone after the effect, in dB of full scale.
double HighToneDbAfter(Lv2Effect& effect) {
  const int frames = 22050;
  std::vector<float> block(size_t(frames) * 2);
  for (int i = 0; i < frames; ++i)
    block[2 * size_t(i)] = block[2 * size_t(i) + 1] = float(0.5 * std::sin(2 * std::numbers::pi * 8000.0 * i / 44100.0));
  for (int at = 0; at < frames; at += 256) effect.Process(block.data() + 2 * size_t(at), std::min(256, frames - at));
  std::vector<double> left;
  for (int i = frames / 2; i < frames; ++i) left.push_back(block[2 * size_t(i)] * 32767.0);
  return test::ToneDb(left, 8000.0);
}

TEST(Lv2EditorWindow, ItsControlsChangeTheSound) {
  test::Lv2Folder folder;
  if (!folder.Link(test::kFil4Bundle)) ZONDA_SKIP_OR_FAIL("x42-plugins is not installed (no fil4.lv2 bundle)");
  folder.Use();
  int argc = 1;
  char arg0[] = "test";
  char* argv[] = {arg0, nullptr};
  QApplication app(argc, argv);

  Lv2Host host;
  Lv2Effect* effect = host.Load(0);
  ASSERT_NE(effect, nullptr) << host.LastError();
  const std::string name = effect->Name();
  const double open = HighToneDbAfter(*effect);

  host.ShowEditor(effect, true);
  QWidget* editor = EditorOf(name);
  ASSERT_NE(editor, nullptr);
  EXPECT_TRUE(editor->isVisible());
  EXPECT_TRUE(host.EditorVisible(effect));

  // Switch the low-pass on, then take its frequency to the bottom of its range.
  auto* lowPass = editor->findChild<QCheckBox*>(QStringLiteral("Lowpass"));
  auto* frequency = editor->findChild<QSlider*>(QStringLiteral("Lowpass Frequency"));
  ASSERT_NE(lowPass, nullptr);
  ASSERT_NE(frequency, nullptr);
  lowPass->setFocus();
  QTest::keyClick(lowPass, Qt::Key_Space);
  EXPECT_FLOAT_EQ(effect->ControlValues()[effect->FindControl("LowPass")].load(), 1.0f);
  frequency->setFocus();
  QTest::keyClick(frequency, Qt::Key_Home);
  EXPECT_FLOAT_EQ(effect->ControlValues()[effect->FindControl("LPfreq")].load(), 500.0f);
  EXPECT_LT(HighToneDbAfter(*effect), open - 30.0);

  host.ShowEditor(effect, false);
  EXPECT_FALSE(editor->isVisible());
  host.ShowEditor(effect, true);
  EXPECT_EQ(EditorOf(name), editor);  // the same window again
  EXPECT_TRUE(editor->isVisible());

  // Unloading closes the editor.
  ASSERT_TRUE(host.Unload(effect));
  EXPECT_EQ(EditorOf(name), nullptr);
}

}  // namespace
}  // namespace zonda::ilvex
