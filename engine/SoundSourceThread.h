#pragma once
// TSoundSourceThread: a deck's decode-ahead worker. It repeats one step (the
// deck's DecodeAheadStep, which sleeps on the deck's WakeEvent) until
// terminated, testing the terminate flag after each step.
//
//   TSoundSourceThread t(TThreadPriority::Decoding, [&] { deck.DecodeAheadStep(); }, "zonda-deck-a");
//   ...                       // main thread, at deck destruction:
//   t.Terminate(); deck.WakeEvent.Signal(); t.WaitFor(2000); t.Join();
//
// Construction, Terminate, WaitFor and Join run on the owning (main) thread.
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

#include "platform/ThreadPriority.h"

namespace zonda {

class TSoundSourceThread {
 public:
  // Starts the thread at once; it sets its own priority (and name, when one is
  // given) before the first step.
  TSoundSourceThread(TThreadPriority priority, std::function<void()> step, const char* name = nullptr);
  // Terminates and joins.
  ~TSoundSourceThread();
  TSoundSourceThread(const TSoundSourceThread&) = delete;
  TSoundSourceThread& operator=(const TSoundSourceThread&) = delete;

  void Terminate() noexcept { terminated_.store(true); }
  bool Terminated() const noexcept { return terminated_.load(); }
  // True when the thread has left its loop within the time-out.
  bool WaitFor(int32_t timeoutMs);
  // Blocks until the thread has ended (idempotent).
  void Join();

 private:
  void Execute(TThreadPriority priority, const char* name);

  std::function<void()> step_;
  std::atomic<bool> terminated_{false};
  std::mutex doneLock_;
  std::condition_variable doneCv_;
  bool done_ = false;
  std::thread thread_;  // last: started once everything above exists
};

}  // namespace zonda
