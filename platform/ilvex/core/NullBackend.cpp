#include "platform/ilvex/core/NullBackend.h"

#include <chrono>

#include "platform/ilvex/Ilvex.h"

namespace zonda::ilvex {

bool NullBackend::Start() {
  if (thread_.joinable()) return true;
  stop_.store(false);
  thread_ = std::thread([this] { Run(); });
  return true;
}

void NullBackend::Stop() {
  stop_.store(true);
  if (thread_.joinable()) thread_.join();
}

void NullBackend::Run() noexcept {
  // The router names this thread and asks for real-time scheduling on its first block.
  using Clock = std::chrono::steady_clock;
  auto origin = Clock::now();
  int64_t block = 0;
  const auto blockTime = std::chrono::nanoseconds(static_cast<int64_t>(blockFrames_) * 1000000000LL / ILVEX_SAMPLE_RATE);
  while (!stop_.load(std::memory_order_relaxed)) {
    router_.Process(nullptr, 0, nullptr, 0, blockFrames_);
    ++block;
    // Deadlines from the origin, not from the last wake-up, so rounding never drifts.
    const auto deadline =
        origin + std::chrono::nanoseconds(block * blockFrames_ * 1000000000LL / ILVEX_SAMPLE_RATE);
    const auto now = Clock::now();
    if (now > deadline + blockTime) {
      xruns_.fetch_add(1, std::memory_order_relaxed);
      origin = now;
      block = 0;
      continue;
    }
    std::this_thread::sleep_until(deadline);
  }
}

}  // namespace zonda::ilvex
