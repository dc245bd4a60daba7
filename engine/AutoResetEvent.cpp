#include "engine/AutoResetEvent.h"

#include <chrono>
#include <thread>

#if defined(__linux__)
#include <linux/futex.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>
#endif

namespace zonda {
namespace {

#if defined(__linux__)
int* FutexWord(std::atomic<int32_t>& a) { return reinterpret_cast<int*>(&a); }

// Sleeps while the word is 0; timeoutMs < 0 means no time-out.
void FutexWait(std::atomic<int32_t>& a, int32_t timeoutMs) {
  timespec ts{};
  timespec* tsp = nullptr;
  if (timeoutMs >= 0) {
    ts.tv_sec = timeoutMs / 1000;
    ts.tv_nsec = static_cast<long>(timeoutMs % 1000) * 1000000L;
    tsp = &ts;
  }
  syscall(SYS_futex, FutexWord(a), FUTEX_WAIT_PRIVATE, 0, tsp, nullptr, 0);
}
#endif

}  // namespace

void TAutoResetEvent::Signal() noexcept {
  signalled_.store(1, std::memory_order_release);
#if defined(__linux__)
  syscall(SYS_futex, FutexWord(signalled_), FUTEX_WAKE_PRIVATE, 1, nullptr, nullptr, 0);
#endif
}

bool TAutoResetEvent::Wait() noexcept {
  while (signalled_.exchange(0, std::memory_order_acquire) == 0) {
#if defined(__linux__)
    FutexWait(signalled_, -1);
#else
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
#endif
  }
  return true;
}

bool TAutoResetEvent::WaitFor(int32_t timeoutMs) noexcept {
  using Clock = std::chrono::steady_clock;
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs < 0 ? 0 : timeoutMs);
  for (;;) {
    if (signalled_.exchange(0, std::memory_order_acquire) != 0) return true;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return false;
#if defined(__linux__)
    FutexWait(signalled_, static_cast<int32_t>(left));
#else
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
#endif
  }
}

}  // namespace zonda
