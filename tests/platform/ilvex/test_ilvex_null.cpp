// The null device and the control panel, through the program's binding and
// the installed libilvex.so.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>
#include <QSettings>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "engine/IlvexLibrary.h"
#include "tests/platform/ilvex/AllocationCounter.h"
#include "tests/platform/ilvex/IsolatedSettings.h"

namespace zonda {
namespace {

ZONDA_ISOLATED_SETTINGS();

std::atomic<int64_t> g_inCalls{0}, g_outCalls{0}, g_frames{0}, g_wrongSize{0}, g_nonZeroInput{0}, g_outOfOrder{0};
std::atomic<int32_t> g_expected{0};

int32_t OnInput(float* buffer, int32_t frames) {
  if (g_inCalls.load() != g_outCalls.load()) g_outOfOrder.fetch_add(1);
  g_inCalls.fetch_add(1);
  for (int32_t i = 0; i < frames * 4; ++i)
    if (buffer[i] != 0.0f) g_nonZeroInput.fetch_add(1);
  return frames;
}

int32_t OnOutput(float* buffer, int32_t frames) {
  if (g_outCalls.fetch_add(1) == 0) test::WatchAllocationsOnThisThread();
  g_frames.fetch_add(frames);
  if (frames != g_expected.load()) g_wrongSize.fetch_add(1);
  buffer[0] = 0.5f;
  return frames;
}

void ResetCounters(int expected) {
  g_inCalls = g_outCalls = g_frames = g_wrongSize = g_nonZeroInput = g_outOfOrder = 0;
  g_expected = expected;
  test::ResetWatchedAllocations();
}

class IlvexNull : public ::testing::Test {
 protected:
  void SetUp() override {
    ::unsetenv("ZONDA_AUDIO");
    ::unsetenv("ZONDA_AUDIO_BLOCK");
    ASSERT_TRUE(ilvex_.Load()) << ilvex_.LastError();
  }
  void TearDown() override {
    ilvex_.DeinitAudioIO();
    ::unsetenv("ZONDA_AUDIO");
    ::unsetenv("ZONDA_AUDIO_BLOCK");
  }
  IlvexLibrary ilvex_;
};

TEST_F(IlvexNull, RunsTheCallbacksPacedByTheClock) {
  ::setenv("ZONDA_AUDIO", "null", 1);
  ::setenv("ZONDA_AUDIO_BLOCK", "441", 1);  // 100 blocks a second
  ResetCounters(441);
  const auto start = std::chrono::steady_clock::now();
  ASSERT_EQ(ilvex_.InitAudioIO(nullptr, &OnInput, &OnOutput), 1);
  EXPECT_EQ(ilvex_.GetLatency(), 441);
  std::this_thread::sleep_for(std::chrono::milliseconds(1000));
  ilvex_.DeinitAudioIO();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const int64_t calls = g_outCalls.load();

  // Never faster than the clock (one block at the start); slower only by what a busy machine steals.
  EXPECT_LE(calls, int64_t(seconds * 100) + 2);
  EXPECT_GE(calls, int64_t(seconds * 100 * 0.8));
  EXPECT_EQ(g_inCalls.load(), calls);
  EXPECT_EQ(g_outOfOrder.load(), 0) << "input runs before output in every block";
  EXPECT_EQ(g_nonZeroInput.load(), 0);
  EXPECT_EQ(g_wrongSize.load(), 0);
  EXPECT_EQ(test::WatchedAllocations(), 0) << "the null device's thread allocated";
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(g_outCalls.load(), calls) << "callbacks ran after deinit_audio_io";
}

TEST_F(IlvexNull, ChosenInTheLibrarysSettingsAndRestartable) {
  {
    QSettings s(QStringLiteral("Quarnet"), QStringLiteral("Zonda"));
    s.setValue(QStringLiteral("Ilvex/Backend"), QStringLiteral("null"));
    s.setValue(QStringLiteral("Ilvex/BlockFrames"), 64);
    s.sync();
  }
  ResetCounters(64);
  ASSERT_EQ(ilvex_.InitAudioIO(nullptr, &OnInput, &OnOutput), 1);
  EXPECT_EQ(ilvex_.GetLatency(), 64);
  // Restart as the program does it: deinit, init with the same arguments.
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ilvex_.DeinitAudioIO();
  ASSERT_EQ(ilvex_.InitAudioIO(nullptr, &OnInput, &OnOutput), 1);
  ASSERT_EQ(ilvex_.InitAudioIO(nullptr, &OnInput, &OnOutput), 1) << "init while open reopens";
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ilvex_.Unload();  // closes the device on its way out
  const int64_t calls = g_outCalls.load();
  EXPECT_GT(calls, 20);
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  EXPECT_EQ(g_outCalls.load(), calls);
  EXPECT_EQ(g_wrongSize.load(), 0);
  QSettings(QStringLiteral("Quarnet"), QStringLiteral("Zonda")).remove(QStringLiteral("Ilvex"));
}

void* g_restartWindow = nullptr;
int g_restarts = 0;
void OnRestart(void* window) {
  g_restartWindow = window;
  ++g_restarts;
}

TEST_F(IlvexNull, ControlPanelStoresTheChoiceAndAsksForARestart) {
  ASSERT_TRUE(ilvex_.SetRestartCallback(&OnRestart));
  ilvex_.AudioControlPanel();  // no QApplication: nothing to show, returns at once
  EXPECT_EQ(g_restarts, 0);

  int argc = 1;
  char arg0[] = "test";
  char* argv[] = {arg0, nullptr};
  QApplication app(argc, argv);
  ::setenv("ZONDA_AUDIO", "null", 1);
  ResetCounters(512);
  int window = 0;
  ASSERT_EQ(ilvex_.InitAudioIO(&window, &OnInput, &OnOutput), 1);

  bool seen = false;
  QTimer::singleShot(50, [&] {
    auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    ASSERT_NE(dialog, nullptr);
    seen = true;
    auto* block = dialog->findChild<QComboBox*>(QStringLiteral("blockFrames"));
    auto* buttons = dialog->findChild<QDialogButtonBox*>();
    ASSERT_TRUE(block && buttons);
    block->setCurrentIndex(block->findData(1024));
    buttons->button(QDialogButtonBox::Ok)->click();
  });
  QTimer::singleShot(5000, [] {  // never hang the suite
    if (QWidget* w = QApplication::activeModalWidget()) w->close();
  });
  ilvex_.AudioControlPanel();
  EXPECT_TRUE(seen);
  EXPECT_EQ(g_restarts, 1);
  EXPECT_EQ(g_restartWindow, &window) << "the handle given to init_audio_io";
  QSettings s(QStringLiteral("Quarnet"), QStringLiteral("Zonda"));
  EXPECT_EQ(s.value(QStringLiteral("Ilvex/BlockFrames")).toInt(), 1024);
  ilvex_.SetRestartCallback(nullptr);
}

}  // namespace
}  // namespace zonda
