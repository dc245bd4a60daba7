#include "engine/BufferSmall.h"

#include <cstring>

namespace zonda {

TBufferSmall::TBufferSmall(int32_t capacityBytes)
    : bufferSize_(capacityBytes > 0 ? capacityBytes : 0),
      data_(std::make_unique<uint8_t[]>(static_cast<size_t>(bufferSize_ > 0 ? bufferSize_ : 1))) {}

int32_t TBufferSmall::FreeBytes() const noexcept {
  const uint64_t w = written_.load(std::memory_order_relaxed);
  const uint64_t r = read_.load(std::memory_order_acquire);
  return bufferSize_ - static_cast<int32_t>(w - r);
}

uint64_t TBufferSmall::ReadCounter() noexcept {
  uint64_t r = read_.load(std::memory_order_relaxed);
  const uint64_t to = clearTo_.load(std::memory_order_acquire);
  if (to > r) {
    r = to;  // never beyond what was written: the request took the writer's counter
    read_.store(r, std::memory_order_release);
  }
  return r;
}

int32_t TBufferSmall::UsedBytes() noexcept {
  const uint64_t r = ReadCounter();
  return static_cast<int32_t>(written_.load(std::memory_order_acquire) - r);
}

bool TBufferSmall::Write(const void* source, int32_t n) noexcept {
  if (n <= 0 || n > bufferSize_) return false;
  const uint64_t w = written_.load(std::memory_order_relaxed);
  // Acquire: the reader's copies out of the space are done before it is reused.
  const uint64_t r = read_.load(std::memory_order_acquire);
  if (bufferSize_ - static_cast<int64_t>(w - r) < n) return false;
  const auto* in = static_cast<const uint8_t*>(source);
  const int32_t at = static_cast<int32_t>(w % static_cast<uint64_t>(bufferSize_));
  const int32_t first = n < bufferSize_ - at ? n : bufferSize_ - at;
  std::memcpy(data_.get() + at, in, static_cast<size_t>(first));
  std::memcpy(data_.get(), in + first, static_cast<size_t>(n - first));  // wrapped tail
  written_.store(w + static_cast<uint64_t>(n), std::memory_order_release);
  return true;
}

bool TBufferSmall::Read(void* destination, int32_t n) noexcept {
  if (n <= 0) return false;
  const uint64_t r = ReadCounter();
  const uint64_t w = written_.load(std::memory_order_acquire);
  if (w - r < static_cast<uint64_t>(n)) return false;
  auto* out = static_cast<uint8_t*>(destination);
  const int32_t at = static_cast<int32_t>(r % static_cast<uint64_t>(bufferSize_));
  const int32_t first = n < bufferSize_ - at ? n : bufferSize_ - at;
  std::memcpy(out, data_.get() + at, static_cast<size_t>(first));
  std::memcpy(out + first, data_.get(), static_cast<size_t>(n - first));
  read_.store(r + static_cast<uint64_t>(n), std::memory_order_release);
  return true;
}

void TBufferSmall::Clear() noexcept {
  read_.store(written_.load(std::memory_order_acquire), std::memory_order_release);
}

void TBufferSmall::RequestClear() noexcept {
  // A counter only grows, so an older request never undoes a newer one.
  const uint64_t w = written_.load(std::memory_order_acquire);
  uint64_t to = clearTo_.load(std::memory_order_relaxed);
  while (to < w && !clearTo_.compare_exchange_weak(to, w, std::memory_order_release, std::memory_order_relaxed)) {
  }
}

}  // namespace zonda
