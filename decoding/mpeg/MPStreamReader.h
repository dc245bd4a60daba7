#pragma once
// TMPStreamReader: a ring-buffered reader with look-ahead over a file stream,
// for the MP3 decoder. The file is read in pieces of at least 16384 bytes into
// a 65536-byte ring; Data() points at the byte at the logical Position(), and
// EnsureContiguous(n) makes n bytes readable in one piece there.
//
// Thread: the caller of TDecoderMP3 (deck worker or preview refill) under the
// decoder lock; no lock of its own.
#include <cstdint>
#include <memory>

#include "decoding/mpeg/MPFileStream.h"

namespace zonda {

class TMPStreamReader {
 public:
  static constexpr int32_t kCapacity = 65536;
  static constexpr int32_t kMinRead = 16384;

  // Detaches first, allocates the ring, starts at the stream's position.
  void Attach(TMPFileStream* stream);
  void Detach();

  // Reads until Count() >= n (n at most kCapacity) or the stream ends.
  bool Fill(int32_t n);
  // Fill(n), then rotates the ring if the valid bytes wrap; true if n bytes are
  // available in one piece at Data().
  bool EnsureContiguous(int32_t n);
  const uint8_t* Data() const { return ring() + start_; }

  // Moves to offset (from the beginning, or relative to Position()) and drops the buffer.
  void Seek(int64_t offset, TMPFileStream::TOrigin origin);
  // Consumes n bytes; false (and at the end of the stream) when the stream is shorter.
  bool Skip(int64_t n);

  int32_t Count() const { return count_; }
  int32_t Contiguous() const { return contiguous_; }
  int64_t Position() const { return position_; }
  int64_t StreamSize() const { return streamSize_; }
  bool SizeKnown() const { return sizeKnown_; }
  bool Attached() const { return stream_ != nullptr; }

 private:
  uint8_t* ring() const { return reinterpret_cast<uint8_t*>(storage_.get()); }
  void UpdateContiguous() { contiguous_ = count_ < kCapacity - start_ ? count_ : kCapacity - start_; }

  TMPFileStream* stream_ = nullptr;
  std::unique_ptr<uint64_t[]> storage_;  // 8-byte aligned ring
  int32_t start_ = 0;
  int32_t count_ = 0;
  int32_t contiguous_ = 0;
  int64_t position_ = 0;
  int64_t streamSize_ = 0;
  bool sizeKnown_ = false;
};

}  // namespace zonda
