#pragma once
// TAutoResetEvent: a wake-up flag that releases one waiter and resets itself.
//
// Signal() never takes a lock, so the audio thread may call it (the renderer
// wakes the deck worker): it stores the flag and, on Linux, issues one futex
// wake. Wait()/WaitFor() are for the waiting thread only (deck worker, timer).
//
//   event.Signal();            // any thread, lock-free
//   if (event.WaitFor(35)) ... // waiting thread: true when signalled
#include <atomic>
#include <cstdint>

namespace zonda {

class TAutoResetEvent {
 public:
  TAutoResetEvent() = default;
  TAutoResetEvent(const TAutoResetEvent&) = delete;
  TAutoResetEvent& operator=(const TAutoResetEvent&) = delete;

  // Any thread, lock-free.
  void Signal() noexcept;
  // Waiting thread: blocks until signalled, then clears the flag. Returns true.
  bool Wait() noexcept;
  // Waiting thread: false when the time-out ran out without a signal.
  bool WaitFor(int32_t timeoutMs) noexcept;

 private:
  std::atomic<int32_t> signalled_{0};
};

}  // namespace zonda
