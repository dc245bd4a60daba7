#pragma once
// THostLock: the lock of one effect host, without a mutex. The audio thread
// only tries it: a block that finds it taken passes through unprocessed, so
// the audio thread never waits. The main thread's operations (properties,
// unload) take it by waiting, yielding while the audio thread finishes its
// block; that wait is one block long at most.
//
//   if (!host.Lock.TryLock()) return 0;        // audio: pass the block through
//   THostLockGuard hold(host.Lock);            // main: wait for it
#include <atomic>
#include <thread>

namespace zonda {

class THostLock {
 public:
  // Any thread; never waits.
  bool TryLock() noexcept { return !taken_.test_and_set(std::memory_order_acquire); }
  // Main thread: waits for the audio thread to leave its block.
  void Lock() noexcept {
    while (taken_.test_and_set(std::memory_order_acquire)) std::this_thread::yield();
  }
  void Unlock() noexcept { taken_.clear(std::memory_order_release); }

 private:
  std::atomic_flag taken_;  // clear at construction (C++20)
};

class THostLockGuard {
 public:
  explicit THostLockGuard(THostLock& lock) : lock_(lock) { lock_.Lock(); }
  ~THostLockGuard() { lock_.Unlock(); }
  THostLockGuard(const THostLockGuard&) = delete;
  THostLockGuard& operator=(const THostLockGuard&) = delete;

 private:
  THostLock& lock_;
};

}  // namespace zonda
