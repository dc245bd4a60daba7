// The editor windows of the shipped effects, offscreen: "edit" opens (or
// raises) a window titled with the effect's name, one named slider per
// parameter; moving a slider changes what "process" does; "destroy" deletes
// the window; and loading, editing, destroying and unloading a module many
// times over leaves nothing behind (AddressSanitizer watches).
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPointer>
#include <QSlider>
#include <QTest>
#include <QWidget>
#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <thread>

#include "tests/effects/native/EffectModule.h"
#include "tests/skin/ui/QtApp.h"
#include "tests/support/Require.h"

namespace zonda::test {
namespace {

// The top-level window titled `title`, or null.
QWidget* WindowTitled(const char* title) {
  QWidget* found = nullptr;
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (w->windowTitle() == QString::fromUtf8(title) && w->isVisible()) found = w;
  }
  return found;
}

class EffectEditors : public ::testing::Test {
 protected:
  void SetUp() override {
    QtApp();
    if (EffectsDir().empty()) ZONDA_SKIP_OR_FAIL("ZONDA_PROGRAM_DIR not set (run through ctest)");
  }
};

TEST_F(EffectEditors, EditOpensOneWindowPerInstanceWithASliderPerParameter) {
  struct Case {
    const char* file;
    std::vector<const char*> sliders;
  };
  const Case cases[] = {
      {"echo.so", {"Delay", "Feedback", "Mix"}},
      {"pingpong.so", {"Delay", "Feedback", "Mix"}},
      {"flanger.so", {"Rate", "Depth", "Feedback", "Mix"}},
      {"phaser.so", {"Rate", "Depth", "Feedback", "Mix"}},
      {"reverb.so", {"Decay", "Damping", "Mix"}},
      {"filtersweep.so", {"Period", "Lowest", "Highest", "Resonance"}},
      {"bitcrusher.so", {"Bits", "Downsample"}},
      {"gate.so", {"Threshold", "Attack", "Release"}},
  };
  QWidget mainWindow;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    TEffectModule module;
    ASSERT_TRUE(module.Open(c.file)) << module.error;
    const intptr_t instance = module.create(&mainWindow);
    ASSERT_EQ(WindowTitled(module.getname()), nullptr) << "no widget before edit";
    module.edit(instance);
    QPointer<QWidget> editor = WindowTitled(module.getname());
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(editor->isWindow());
    EXPECT_EQ(editor->parentWidget(), &mainWindow);
    const QList<QSlider*> sliders = editor->findChildren<QSlider*>();
    ASSERT_EQ(sliders.size(), qsizetype(c.sliders.size()));
    for (const char* name : c.sliders) {
      QSlider* slider = editor->findChild<QSlider*>(name);
      ASSERT_NE(slider, nullptr) << name;
      bool labelled = false;
      for (QLabel* label : editor->findChildren<QLabel*>())
        labelled |= label->buddy() == slider && label->text() == name;
      EXPECT_TRUE(labelled) << name;
    }
    editor->close();
    module.edit(instance);
    EXPECT_EQ(WindowTitled(module.getname()), editor.data()) << "the same window, shown again";
    module.destroy(instance);
    EXPECT_TRUE(editor.isNull()) << "destroy deletes the editor";
  }
}

TEST_F(EffectEditors, MovingASliderChangesWhatProcessDoes) {
  struct Case {
    const char* file;
    const char* slider;
    Qt::Key key;
    bool dryAfter;  // true: the signal then passes unchanged; false: the output merely differs
  };
  const Case cases[] = {
      {"echo.so", "Mix", Qt::Key_Home, true},        {"pingpong.so", "Mix", Qt::Key_Home, true},
      {"flanger.so", "Mix", Qt::Key_Home, true},     {"phaser.so", "Mix", Qt::Key_Home, true},
      {"reverb.so", "Mix", Qt::Key_Home, true},      {"filtersweep.so", "Lowest", Qt::Key_End, false},
      {"bitcrusher.so", "Bits", Qt::Key_End, true},  {"bitcrusher.so", "Downsample", Qt::Key_End, false},
      {"gate.so", "Threshold", Qt::Key_Home, false}, {"echo.so", "Delay", Qt::Key_End, false},
  };
  // A quiet tone with a click: every effect changes it at its initial settings.
  std::vector<int16_t> input = Tone(2 * 44100, 440, 200);
  input[0] = input[1] = 20000;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.file) + " " + c.slider);
    TEffectModule module;
    ASSERT_TRUE(module.Open(c.file)) << module.error;
    std::vector<int16_t> before = input;
    {
      TEffectInstance fx(module);
      fx.ProcessInPieces(before, 120, 256);
    }
    ASSERT_NE(before, input);
    TEffectInstance fx(module, nullptr, /*started=*/false);
    module.edit(fx.handle());
    QWidget* editor = WindowTitled(module.getname());
    ASSERT_NE(editor, nullptr);
    QSlider* slider = editor->findChild<QSlider*>(c.slider);
    ASSERT_NE(slider, nullptr);
    const int position = slider->value();
    slider->setFocus();
    QTest::keyClick(slider, c.key);
    EXPECT_NE(slider->value(), position);
    module.start(fx.handle());
    std::vector<int16_t> after = input;
    fx.ProcessInPieces(after, 120, 256);
    if (c.dryAfter) {
      EXPECT_EQ(after, input);
    } else {
      EXPECT_NE(after, before);
    }
  }
}

TEST_F(EffectEditors, SlidersAndStartWhileTheAudioThreadProcesses) {
  // The host's threads as they run: "process" on an audio thread of its own
  // while the main thread moves every slider end to end and switches the
  // slot off and on.
  for (const TShippedEffect& effect : kShippedEffects) {
    SCOPED_TRACE(effect.file);
    TEffectModule module;
    ASSERT_TRUE(module.Open(effect.file)) << module.error;
    TEffectInstance fx(module);
    std::atomic<bool> running{true};
    std::atomic<int> blocks{0};
    std::thread audio([&] {
      std::vector<int16_t> block = Noise(256, 30000, 4);
      while (running.load()) {
        module.process(fx.handle(), block.data(), 256 * 4, 100.0 + blocks.load() % 50);
        blocks.fetch_add(1);
      }
    });
    module.edit(fx.handle());
    QWidget* editor = WindowTitled(effect.name);
    ASSERT_NE(editor, nullptr);
    for (QSlider* slider : editor->findChildren<QSlider*>()) {
      for (Qt::Key key : {Qt::Key_End, Qt::Key_PageDown, Qt::Key_Home, Qt::Key_PageUp}) {
        QTest::keyClick(slider, key);
        module.stop(fx.handle());
        module.start(fx.handle());
        const int seen = blocks.load();
        while (blocks.load() < seen + 2) std::this_thread::yield();
      }
    }
    running.store(false);
    audio.join();
    EXPECT_GT(blocks.load(), 0);
  }
}

TEST_F(EffectEditors, AMainWindowGoneFirstLeavesDestroySafe) {
  TEffectModule module;
  ASSERT_TRUE(module.Open("echo.so")) << module.error;
  auto mainWindow = std::make_unique<QWidget>();
  const intptr_t instance = module.create(mainWindow.get());
  module.edit(instance);
  ASSERT_NE(WindowTitled("Echo"), nullptr);
  mainWindow.reset();  // takes the editor with it
  EXPECT_EQ(WindowTitled("Echo"), nullptr);
  module.edit(instance);  // a new editor, now without a parent
  QPointer<QWidget> editor = WindowTitled("Echo");
  ASSERT_NE(editor, nullptr);
  EXPECT_EQ(editor->parentWidget(), nullptr);
  module.destroy(instance);
  EXPECT_TRUE(editor.isNull());
}

TEST_F(EffectEditors, LoadEditDestroyAndUnloadOverAndOver) {
  // The host's life cycle of a slot, 50 times per effect (ZONDA_EFFECT_CYCLES
  // for a longer soak); a stale pointer into an unloaded module (a slot
  // object, a meta-object) would crash under ASan.
  const char* soak = std::getenv("ZONDA_EFFECT_CYCLES");
  const int cycles = soak ? std::max(1, std::atoi(soak)) : 50;
  QWidget mainWindow;
  for (const TShippedEffect& effect : kShippedEffects) {
    SCOPED_TRACE(effect.file);
    for (int cycle = 0; cycle < cycles; ++cycle) {
      TEffectModule module;
      ASSERT_TRUE(module.Open(effect.file)) << module.error;
      const intptr_t instance = module.create(cycle % 2 ? &mainWindow : nullptr);
      module.edit(instance);
      QWidget* editor = WindowTitled(effect.name);
      ASSERT_NE(editor, nullptr);
      if (QSlider* slider = editor->findChild<QSlider*>()) QTest::keyClick(slider, Qt::Key_PageUp);
      QApplication::processEvents();
      if (cycle % 3 == 0) editor->close();
      module.destroy(instance);
      QApplication::processEvents();
      module.Close();
    }
  }
  EXPECT_EQ(mainWindow.findChildren<QWidget*>().size(), 0);
}

}  // namespace
}  // namespace zonda::test
