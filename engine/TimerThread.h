#pragma once
// TTimerThread: runs a callback every Interval milliseconds. Two instances
// exist: the periodic update (35 ms, normal priority, synchronised: the
// callback runs on the main thread and the timer waits for it) and the hold
// tracking (25 ms, highest priority, on the timer thread itself).
//
// "On the main thread" is whatever the dispatcher does: the application passes
// one that makes a blocking queued call into the Qt main thread. Without a
// dispatcher a synchronised callback is called directly on the timer thread.
//
//   TTimerThread update(TThreadPriority::Normal, [&] { form.PeriodicUpdate(); }, 35, true, qtDispatcher);
//   ...
//   update.Stop(3000);   // main thread; must not be inside a dispatched callback
//
// The wait between callbacks always runs to its time-out: after a callback the
// next one starts Interval ms later (the interval is a gap, not a period).
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "engine/AutoResetEvent.h"
#include "engine/SoundSourceThread.h"
#include "platform/ThreadPriority.h"

namespace zonda {

class TTimerThread {
 public:
  // Runs `call` on the main thread and returns when it has run.
  using Dispatcher = std::function<void(const std::function<void()>& call)>;

  TTimerThread(TThreadPriority priority, std::function<void()> callback, int32_t intervalMs, bool synchronized,
               Dispatcher dispatcher = {}, const char* threadName = "zonda-timer");
  ~TTimerThread();  // Stop with the longer of the two waits
  TTimerThread(const TTimerThread&) = delete;
  TTimerThread& operator=(const TTimerThread&) = delete;

  // Main thread: terminate, wait up to timeoutMs for the thread, then join.
  // True when it ended within the time-out.
  bool Stop(int32_t timeoutMs);
  int32_t Interval() const { return interval_; }
  bool Synchronized() const { return synchronized_; }

 private:
  void Step();

  std::function<void()> callback_;
  const int32_t interval_;
  const bool synchronized_;
  Dispatcher dispatcher_;
  TAutoResetEvent tickEvent_;  // never signalled: each wait runs to its time-out
  std::atomic<bool> stopping_{false};
  std::unique_ptr<TSoundSourceThread> thread_;
};

}  // namespace zonda
