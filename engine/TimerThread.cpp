#include "engine/TimerThread.h"

#include <utility>

namespace zonda {

TTimerThread::TTimerThread(TThreadPriority priority, std::function<void()> callback, int32_t intervalMs,
                           bool synchronized, Dispatcher dispatcher, const char* threadName)
    : callback_(std::move(callback)),
      interval_(intervalMs > 0 ? intervalMs : 1),
      synchronized_(synchronized),
      dispatcher_(std::move(dispatcher)) {
  thread_ = std::make_unique<TSoundSourceThread>(priority, [this] { Step(); }, threadName);
}

TTimerThread::~TTimerThread() { Stop(3000); }

void TTimerThread::Step() {
  tickEvent_.WaitFor(interval_);
  if (stopping_.load() || !callback_) return;
  if (synchronized_ && dispatcher_) {
    dispatcher_(callback_);
  } else {
    callback_();
  }
}

bool TTimerThread::Stop(int32_t timeoutMs) {
  if (!thread_) return true;
  stopping_.store(true);
  thread_->Terminate();
  const bool inTime = thread_->WaitFor(timeoutMs);
  thread_.reset();  // joins: a callback still running is waited for, never cut off
  return inTime;
}

}  // namespace zonda
