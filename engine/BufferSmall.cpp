#include "engine/BufferSmall.h"

#include <cstring>

namespace zonda {

TBufferSmall::TBufferSmall(int32_t capacityBytes)
    : bufferSize_(capacityBytes > 0 ? capacityBytes : 0),
      data_(std::make_unique<uint8_t[]>(static_cast<size_t>(bufferSize_ > 0 ? bufferSize_ : 1))) {
  Clear();
}

TBufferSmall::~TBufferSmall() { Clear(); }

void TBufferSmall::Clear() {
  std::lock_guard guard(lock_);
  readPos_ = 0;
  writePos_ = 0;
  freeSpace_.store(bufferSize_);
}

bool TBufferSmall::Write(const void* source, int32_t n) noexcept {
  std::lock_guard guard(lock_);
  const int32_t freeSpace = freeSpace_.load(std::memory_order_relaxed);
  if (n <= 0 || freeSpace < n) return false;
  const auto* in = static_cast<const uint8_t*>(source);
  const int32_t first = n < bufferSize_ - writePos_ ? n : bufferSize_ - writePos_;
  std::memcpy(data_.get() + writePos_, in, static_cast<size_t>(first));
  std::memcpy(data_.get(), in + first, static_cast<size_t>(n - first));  // wrapped tail
  freeSpace_.store(freeSpace - n, std::memory_order_relaxed);
  writePos_ = (writePos_ + n) % bufferSize_;
  return true;
}

bool TBufferSmall::Read(void* destination, int32_t n) noexcept {
  std::lock_guard guard(lock_);
  const int32_t freeSpace = freeSpace_.load(std::memory_order_relaxed);
  if (n <= 0 || bufferSize_ - freeSpace < n) return false;
  auto* out = static_cast<uint8_t*>(destination);
  const int32_t first = n < bufferSize_ - readPos_ ? n : bufferSize_ - readPos_;
  std::memcpy(out, data_.get() + readPos_, static_cast<size_t>(first));
  std::memcpy(out + first, data_.get(), static_cast<size_t>(n - first));
  freeSpace_.store(freeSpace + n, std::memory_order_relaxed);
  readPos_ = (readPos_ + n) % bufferSize_;
  return true;
}

}  // namespace zonda
