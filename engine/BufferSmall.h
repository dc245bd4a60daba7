#pragma once
// TBufferSmall: a single-producer single-consumer byte ring with
// all-or-nothing transfers and no lock. The mixer uses it for meters, monitor
// and recording; the preview player for its decoded audio. Each instance has
// one writing thread and one reading thread (they may be the same).
//
//   TBufferSmall ring(35280);
//   if (!ring.Write(block, 1000)) { /* too little room: the block is dropped */ }
//   if (!ring.Read(out, 1000)) { /* too little data: fill out yourself */ }
//
// Write and Read never wait, lock or allocate (at most two memcpy calls each),
// so the audio thread may be either side. The two counters only grow; the
// writer publishes its counter with a release store after copying, the reader
// likewise, so each side sees whole transfers of the other.
#include <atomic>
#include <cstdint>
#include <memory>

namespace zonda {

class TBufferSmall {
 public:
  explicit TBufferSmall(int32_t capacityBytes);
  TBufferSmall(const TBufferSmall&) = delete;
  TBufferSmall& operator=(const TBufferSmall&) = delete;

  // Writer: copies n bytes in only when n > 0 and all of them fit.
  bool Write(const void* source, int32_t n) noexcept;
  // Reader: copies n bytes out only when n > 0 and that many are held.
  bool Read(void* destination, int32_t n) noexcept;
  // Reader (or any thread while no Read can run): drops everything held.
  void Clear() noexcept;
  // Any thread: asks the reader to drop everything written so far; the reader
  // does so at its next Read or UsedBytes. What is written afterwards stays.
  void RequestClear() noexcept;

  // Writer's view: room for the next Write (a concurrent Read only adds room).
  int32_t FreeBytes() const noexcept;
  // Reader's view: bytes a Read can take (a concurrent Write only adds data).
  int32_t UsedBytes() noexcept;
  int32_t BufferSize() const noexcept { return bufferSize_; }

 private:
  // Reader: applies a requested clear; returns the read counter.
  uint64_t ReadCounter() noexcept;

  const int32_t bufferSize_;
  std::unique_ptr<uint8_t[]> data_;
  alignas(64) std::atomic<uint64_t> written_{0};  // bytes ever written (writer)
  alignas(64) std::atomic<uint64_t> read_{0};     // bytes ever read or dropped (reader)
  alignas(64) std::atomic<uint64_t> clearTo_{0};  // RequestClear: drop up to here
};

}  // namespace zonda
