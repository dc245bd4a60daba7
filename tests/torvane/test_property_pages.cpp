// The property pages of a loaded effect, for real on the offscreen Qt
// platform: shown in a parent that is told their size, driven with QTest
// events, split into tabs, and gone cleanly with the plug-in.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QSlider>
#include <QTabBar>
#include <QTest>
#include <atomic>
#include <thread>

#include "tests/support/TestFiles.h"
#include "tests/torvane/KnownPlugins.h"
#include "torvane/Torvane.h"
#include "torvane/core/LadspaEffectHost.h"

namespace zonda {
namespace {

// The program's editor window as the bridge sees it: it takes the size it is asked for.
class TEditorWindow final : public QWidget {
 public:
  int sizeEvents = 0;

 protected:
  bool event(QEvent* e) override {
    if (e->type() == QEvent::Type(TORVANE_SIZE_EVENT)) {
      ++sizeEvents;
      resize(property("torvaneClientSize").toSize());
      return true;
    }
    return QWidget::event(e);
  }
};

class PropertyPages : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "test_property_pages";
    static char* argv[] = {name, nullptr};
    // Kept to the end of the run: Qt's devices must not outlive it in static destruction.
    static QApplication* app = new QApplication(argc, argv);
    (void)app;
  }

  std::unique_ptr<TLadspaEffectHost> Load(const test::TKnownPlugin& plugin) {
    return TLadspaEffectHost::Load(&window, test::MonikerOf(plugin), 256, 44100);
  }

  TEditorWindow window;
};

TEST_F(PropertyPages, OnePageShownInTheParentWhichIsToldItsSize) {
  ZONDA_REQUIRE_PLUGIN(test::kSdkLowPass);
  auto host = Load(test::kSdkLowPass);
  ASSERT_TRUE(host);
  window.show();
  ASSERT_EQ(host->ShowProperties(), 0);
  const TPropertyPages* pages = host->Pages();
  ASSERT_NE(pages, nullptr);
  EXPECT_EQ(pages->Tabs(), nullptr);
  EXPECT_EQ(pages->PageCount(), 1);
  QCoreApplication::processEvents();
  EXPECT_EQ(window.sizeEvents, 1);
  const QSize size = window.property("torvaneClientSize").toSize();
  EXPECT_EQ(size, pages->ClientSize());
  EXPECT_GT(size.width(), 0);
  EXPECT_GT(size.height(), 0);
  EXPECT_EQ(window.size(), size);
  EXPECT_EQ(pages->Root()->parentWidget(), &window);
  EXPECT_EQ(pages->Root()->geometry(), QRect(QPoint(0, 0), size));
  EXPECT_TRUE(pages->Root()->isVisible());
  EXPECT_NE(window.findChild<QSlider*>("Cutoff Frequency (Hz)"), nullptr);
}

TEST_F(PropertyPages, MovingASliderChangesTheControlAndTheSound) {
  ZONDA_REQUIRE_PLUGIN(test::kSdkStereoAmp);
  auto host = Load(test::kSdkStereoAmp);
  ASSERT_TRUE(host);
  window.show();
  ASSERT_EQ(host->ShowProperties(), 0);
  auto* gain = window.findChild<QSlider*>("Gain");
  ASSERT_NE(gain, nullptr);
  gain->setFocus();

  QTest::keyClick(gain, Qt::Key_Home);
  EXPECT_EQ(host->ControlValue(0).load(), 0.0f);
  std::vector<int16_t> block(2 * 64, 8000);
  ASSERT_EQ(host->ProcessShortInt(block.data(), 64), 0);
  EXPECT_EQ(block, std::vector<int16_t>(2 * 64, 0));

  QTest::keyClick(gain, Qt::Key_End);
  EXPECT_FLOAT_EQ(host->ControlValue(0).load(), host->Controls()[0].maximum);
  block.assign(2 * 64, 8000);
  ASSERT_EQ(host->ProcessShortInt(block.data(), 64), 0);
  EXPECT_EQ(block, std::vector<int16_t>(2 * 64, 32767));
}

TEST_F(PropertyPages, MoreThanTwelveControlsMakeTabsAndChangeTabFollowsTheSelection) {
  ZONDA_REQUIRE_PLUGIN(test::kTapEqualizer);
  auto host = Load(test::kTapEqualizer);
  ASSERT_TRUE(host);
  ASSERT_EQ(host->Controls().size(), 16u);
  window.show();
  ASSERT_EQ(host->ShowProperties(), 0);
  const TPropertyPages* pages = host->Pages();
  QTabWidget* tabs = pages->Tabs();
  ASSERT_NE(tabs, nullptr);
  ASSERT_EQ(tabs->count(), 2);
  EXPECT_EQ(tabs->tabText(0), "Controls 1");
  EXPECT_EQ(tabs->tabText(1), "Controls 2");
  EXPECT_EQ(tabs->widget(0)->findChildren<QSlider*>().size(), 12);
  EXPECT_EQ(tabs->widget(1)->findChildren<QSlider*>().size(), 4);
  EXPECT_NE(tabs->widget(1)->findChild<QSlider*>("Band 5 Freq [Hz]"), nullptr);
  EXPECT_EQ(pages->ShownPage(), 0);

  QTabBar* bar = tabs->tabBar();
  QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(1).center());
  EXPECT_EQ(host->ChangeTab(), 0);
  EXPECT_EQ(pages->ShownPage(), 1);
  EXPECT_TRUE(tabs->widget(1)->isVisible());
  EXPECT_FALSE(tabs->widget(0)->isVisible());

  // The last slider of the second page drives the last control.
  auto* top = tabs->widget(1)->findChild<QSlider*>("Band 8 Freq [Hz]");
  ASSERT_NE(top, nullptr);
  top->setFocus();
  QTest::keyClick(top, Qt::Key_Home);
  EXPECT_FLOAT_EQ(host->ControlValue(15).load(), 10000.0f);
  EXPECT_FLOAT_EQ(host->ControlValue(14).load(), 12000.0f);
}

TEST_F(PropertyPages, APluginWithoutControlsSaysSo) {
  ZONDA_REQUIRE_PLUGIN(test::kSwhSplitter);
  auto host = Load(test::kSwhSplitter);
  ASSERT_TRUE(host);
  ASSERT_EQ(host->ShowProperties(), 0);
  auto* label = qobject_cast<QLabel*>(host->Pages()->Root());
  ASSERT_NE(label, nullptr);
  EXPECT_TRUE(label->text().contains("no controls"));
  QCoreApplication::processEvents();
  EXPECT_EQ(window.sizeEvents, 1);
}

TEST_F(PropertyPages, HidingAndUnloadingRemoveThePages) {
  ZONDA_REQUIRE_PLUGIN(test::kSdkLowPass);
  auto host = Load(test::kSdkLowPass);
  ASSERT_TRUE(host);
  window.show();
  ASSERT_EQ(host->ShowProperties(), 0);
  ASSERT_EQ(host->ShowProperties(), 0);  // shown again: the old pages go
  EXPECT_EQ(window.findChildren<QWidget*>(Qt::FindDirectChildrenOnly).size(), 1);
  EXPECT_EQ(host->HideProperties(), 0);
  EXPECT_EQ(host->Pages(), nullptr);
  EXPECT_TRUE(window.findChildren<QWidget*>().isEmpty());
  EXPECT_EQ(host->ChangeTab(), 0);  // nothing shown: nothing to change

  ASSERT_EQ(host->ShowProperties(), 0);
  host.reset();  // unloaded while shown
  EXPECT_TRUE(window.findChildren<QWidget*>().isEmpty());
  QCoreApplication::processEvents();
}

TEST_F(PropertyPages, AParentGoneBeforeTheUnloadTakesItsPagesWithIt) {
  ZONDA_REQUIRE_PLUGIN(test::kSdkLowPass);
  auto parent = std::make_unique<QWidget>();
  auto host = TLadspaEffectHost::Load(parent.get(), test::MonikerOf(test::kSdkLowPass), 256, 44100);
  ASSERT_TRUE(host);
  ASSERT_EQ(host->ShowProperties(), 0);
  parent.reset();
  EXPECT_EQ(host->ShowProperties(), TORVANE_E_FAIL);
  EXPECT_EQ(host->HideProperties(), 0);
  host.reset();
  QCoreApplication::processEvents();  // the size event of a parent that is gone is dropped
}

TEST_F(PropertyPages, TheAudioThreadRunsOnWhileThePagesComeAndGo) {
  ZONDA_REQUIRE_PLUGIN(test::kTapEqualizer);
  auto host = Load(test::kTapEqualizer);
  ASSERT_TRUE(host);
  window.show();
  std::atomic<bool> stop{false};
  std::atomic<int> blocks{0}, failures{0};
  std::thread audio([&] {
    std::vector<int16_t> block(2 * 256, 1000);
    while (!stop.load()) {
      if (host->ProcessShortInt(block.data(), 256) != 0) failures.fetch_add(1);
      blocks.fetch_add(1);
    }
  });
  for (int round = 0; round < 50; ++round) {
    ASSERT_EQ(host->ShowProperties(), 0);
    QTabWidget* tabs = host->Pages()->Tabs();
    tabs->setCurrentIndex(round % 2);
    ASSERT_EQ(host->ChangeTab(), 0);
    auto* gain = tabs->widget(0)->findChild<QSlider*>("Band 1 Gain [dB]");
    QTest::keyClick(gain, round % 2 ? Qt::Key_PageUp : Qt::Key_PageDown);
    QCoreApplication::processEvents();
    ASSERT_EQ(host->HideProperties(), 0);
  }
  while (blocks.load() < 100) std::this_thread::yield();
  stop = true;
  audio.join();
  EXPECT_EQ(failures.load(), 0);
  EXPECT_EQ(window.sizeEvents, 50);
}

TEST_F(PropertyPages, NoParentNoPages) {
  ZONDA_REQUIRE_PLUGIN(test::kSdkLowPass);
  auto host = TLadspaEffectHost::Load(nullptr, test::MonikerOf(test::kSdkLowPass), 256, 44100);
  ASSERT_TRUE(host);
  EXPECT_EQ(host->ShowProperties(), TORVANE_E_FAIL);
  EXPECT_EQ(host->Pages(), nullptr);
}

}  // namespace
}  // namespace zonda
