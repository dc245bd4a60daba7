#pragma once
// TBufferSmall: a byte ring with its own lock and all-or-nothing transfers.
// The mixer uses it for meters, monitor and recording; the preview player for
// its decoded audio. Each instance has one writer and one reader.
//
//   TBufferSmall ring(35280);
//   if (!ring.Write(block, 1000)) { /* too little room: the block is dropped */ }
//   if (!ring.Read(out, 1000)) { /* too little data: fill out yourself */ }
//
// Write and Read take the lock only for two memcpy calls and never allocate,
// so the audio thread may use them. FreeBytes/UsedBytes read without the lock.
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

namespace zonda {

class TBufferSmall {
 public:
  explicit TBufferSmall(int32_t capacityBytes);
  ~TBufferSmall();
  TBufferSmall(const TBufferSmall&) = delete;
  TBufferSmall& operator=(const TBufferSmall&) = delete;

  void Clear();
  int32_t FreeBytes() const noexcept { return freeSpace_.load(std::memory_order_relaxed); }
  int32_t UsedBytes() const noexcept { return bufferSize_ - FreeBytes(); }
  int32_t BufferSize() const noexcept { return bufferSize_; }
  // Copies n bytes in only when n > 0 and all of them fit.
  bool Write(const void* source, int32_t n) noexcept;
  // Copies n bytes out only when n > 0 and that many are held.
  bool Read(void* destination, int32_t n) noexcept;

 private:
  const int32_t bufferSize_;
  std::unique_ptr<uint8_t[]> data_;
  int32_t readPos_ = 0;
  int32_t writePos_ = 0;
  std::atomic<int32_t> freeSpace_{0};
  std::mutex lock_;
};

}  // namespace zonda
