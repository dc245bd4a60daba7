// The auto-reset event, the deck worker thread and the timer thread.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "engine/AutoResetEvent.h"
#include "engine/SoundSourceThread.h"
#include "engine/TimerThread.h"

namespace zonda {
namespace {

using Clock = std::chrono::steady_clock;

TEST(AutoResetEvent, ReleasesOneWaitAndResets) {
  TAutoResetEvent e;
  EXPECT_FALSE(e.WaitFor(0));
  e.Signal();
  e.Signal();  // signals do not count up
  EXPECT_TRUE(e.WaitFor(0));
  EXPECT_FALSE(e.WaitFor(0));
  const auto t0 = Clock::now();
  EXPECT_FALSE(e.WaitFor(30));
  EXPECT_GE(Clock::now() - t0, std::chrono::milliseconds(29));

  std::thread signaller([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    e.Signal();
  });
  EXPECT_TRUE(e.Wait());
  signaller.join();
}

TEST(SoundSourceThread, RepeatsTheStepUntilTerminated) {
  TAutoResetEvent wake;
  std::atomic<int> steps{0};
  TSoundSourceThread t(TThreadPriority::Lowest, [&] {
    wake.Wait();
    ++steps;
  });
  for (int i = 1; i <= 5; ++i) {
    wake.Signal();
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (steps.load() < i && Clock::now() < deadline) std::this_thread::yield();
    ASSERT_EQ(steps.load(), i);
  }
  t.Terminate();
  wake.Signal();
  EXPECT_TRUE(t.WaitFor(2000));
  t.Join();
  EXPECT_EQ(steps.load(), 6);  // the step that saw the final signal, then the loop tested Terminated
}

TEST(TimerThread, CallsBackEveryIntervalAndStops) {
  std::atomic<int> calls{0};
  TTimerThread timer(TThreadPriority::Highest, [&] { ++calls; }, 10, false);
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  while (calls.load() < 5 && Clock::now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_GE(calls.load(), 5);
  EXPECT_TRUE(timer.Stop(1000));
  const int after = calls.load();
  std::this_thread::sleep_for(std::chrono::milliseconds(40));
  EXPECT_EQ(calls.load(), after);
}

TEST(TimerThread, SynchronisedCallbacksGoThroughTheDispatcher) {
  std::atomic<int> dispatched{0};
  std::atomic<int> calls{0};
  std::thread::id callbackThread;
  TTimerThread timer(
      TThreadPriority::Normal, [&] { ++calls; callbackThread = std::this_thread::get_id(); }, 5, true,
      [&](const std::function<void()>& call) {
        ++dispatched;
        call();
      });
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  while (calls.load() < 3 && Clock::now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_TRUE(timer.Stop(3000));
  EXPECT_GE(calls.load(), 3);
  EXPECT_EQ(dispatched.load(), calls.load());
  EXPECT_TRUE(timer.Synchronized());
  EXPECT_EQ(timer.Interval(), 5);
  EXPECT_NE(callbackThread, std::this_thread::get_id()) << "this dispatcher calls on the timer thread";
}

}  // namespace
}  // namespace zonda
