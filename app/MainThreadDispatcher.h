#pragma once
// TMainThreadDispatcher: the periodic-update timer's "synchronised" call, a
// blocking queued call into the Qt main thread that can be called off.
//
// The timer thread calls Dispatch(fn): fn is queued to the main thread's
// event loop and the timer waits until it has run. At shutdown the main
// thread calls Cancel() before stopping the timer: a waiting timer wakes at
// once and queued calls that have not run yet do nothing, so the main thread
// never waits for a timer that waits for the main thread.
//
//   TMainThreadDispatcher sync;
//   TTimerThread timer(TThreadPriority::Normal, update, 35, true, sync.Dispatcher());
//   ... sync.Cancel(); timer.Stop(3000);
//
// Dispatch: any thread but main. Cancel and the queued calls: main thread.
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>

#include "engine/TimerThread.h"

namespace zonda {

class TMainThreadDispatcher {
 public:
  TMainThreadDispatcher();
  // Queues fn to the main thread and returns once it has run, or at Cancel.
  void Dispatch(const std::function<void()>& fn);
  void Cancel();
  TTimerThread::Dispatcher Dispatcher() {
    return [this](const std::function<void()>& fn) { Dispatch(fn); };
  }

 private:
  struct Shared {
    std::mutex m;
    std::condition_variable cv;
    bool cancelled = false;
  };
  std::shared_ptr<Shared> shared_;
};

}  // namespace zonda
