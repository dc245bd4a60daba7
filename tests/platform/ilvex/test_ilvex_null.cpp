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
#include <array>
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

// Steady-clock time at the entry of the first output callbacks, and one
// callback that stalls (the machine stops the audio thread for a while).
constexpr int64_t kTimedCalls = 120;
std::array<std::atomic<int64_t>, kTimedCalls> g_callNs{};
std::atomic<int64_t> g_stallCall{-1};
std::atomic<int32_t> g_stallMs{0};

int64_t NowNs() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

int32_t OnInput(float* buffer, int32_t frames) {
  if (g_inCalls.load() != g_outCalls.load()) g_outOfOrder.fetch_add(1);
  g_inCalls.fetch_add(1);
  for (int32_t i = 0; i < frames * 4; ++i)
    if (buffer[i] != 0.0f) g_nonZeroInput.fetch_add(1);
  return frames;
}

int32_t OnOutput(float* buffer, int32_t frames) {
  const int64_t call = g_outCalls.fetch_add(1);
  if (call == 0) test::WatchAllocationsOnThisThread();
  if (call < kTimedCalls) g_callNs[size_t(call)].store(NowNs());
  if (call == g_stallCall.load()) std::this_thread::sleep_for(std::chrono::milliseconds(g_stallMs.load()));
  g_frames.fetch_add(frames);
  if (frames != g_expected.load()) g_wrongSize.fetch_add(1);
  buffer[0] = 0.5f;
  return frames;
}

void ResetCounters(int expected) {
  g_inCalls = g_outCalls = g_frames = g_wrongSize = g_nonZeroInput = g_outOfOrder = 0;
  g_expected = expected;
  g_stallCall = -1;
  g_stallMs = 0;
  test::ResetWatchedAllocations();
}

// Waits for the callbacks to reach a count; false after a minute (a device that stopped).
bool WaitForCalls(int64_t calls) {
  const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (g_outCalls.load() < calls) {
    if (std::chrono::steady_clock::now() > giveUp) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
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

// The null device starts block k no sooner than k x 10 ms after its origin (441
// frames at 44100 Hz), and restarts the pacing from "now" instead of catching up
// when a block finishes more than a block behind. The origin only moves later,
// and a block that did not restart the pacing finished within two blocks of its
// own time, so any two callbacks i < j lie at least (j - i - 2) x 10 ms apart,
// however busy the machine. A callback that stalls for 65 ms must not be
// followed by a burst of the lost blocks. The rate a busy machine gets is
// measured in bench/ilvex/bench_ilvex_null.cpp, not asserted here.
TEST_F(IlvexNull, RunsTheCallbacksPacedByTheClock) {
  ::setenv("ZONDA_AUDIO", "null", 1);
  ::setenv("ZONDA_AUDIO_BLOCK", "441", 1);  // 10 ms blocks
  ResetCounters(441);
  g_stallCall = 40;
  g_stallMs = 65;
  ASSERT_EQ(ilvex_.InitAudioIO(nullptr, &OnInput, &OnOutput), 1);
  EXPECT_EQ(ilvex_.GetLatency(), 441);
  ASSERT_TRUE(WaitForCalls(kTimedCalls)) << "the null device stopped calling";
  ilvex_.DeinitAudioIO();
  const int64_t calls = g_outCalls.load();

  constexpr int64_t kBlockNs = 10000000;
  int64_t tightest = INT64_MAX, tightI = 0, tightJ = 0;
  for (int64_t i = 0; i < kTimedCalls; ++i) {
    for (int64_t j = i + 3; j < kTimedCalls; ++j) {
      const int64_t margin = (g_callNs[size_t(j)].load() - g_callNs[size_t(i)].load()) - (j - i - 2) * kBlockNs;
      if (margin < tightest) tightest = margin, tightI = i, tightJ = j;
    }
  }
  EXPECT_GE(tightest, 0) << "callbacks " << tightI << " and " << tightJ << " came " << -tightest / 1e6
                         << " ms sooner than the clock allows";
  EXPECT_EQ(g_frames.load(), calls * 441) << "every block has the device's size";
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
  ASSERT_TRUE(WaitForCalls(10));
  // Restart as the program does it: deinit, init with the same arguments.
  ilvex_.DeinitAudioIO();
  const int64_t beforeRestart = g_outCalls.load();
  ASSERT_EQ(ilvex_.InitAudioIO(nullptr, &OnInput, &OnOutput), 1);
  ASSERT_EQ(ilvex_.InitAudioIO(nullptr, &OnInput, &OnOutput), 1) << "init while open reopens";
  EXPECT_EQ(ilvex_.GetLatency(), 64);
  ASSERT_TRUE(WaitForCalls(beforeRestart + 10)) << "the reopened device does not call";
  ilvex_.Unload();  // closes the device on its way out
  const int64_t calls = g_outCalls.load();
  EXPECT_EQ(g_frames.load(), calls * 64);
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
