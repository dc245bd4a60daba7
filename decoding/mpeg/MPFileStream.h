#pragma once
// A read-only file stream for the MPEG stream reader: open, read, seek, size.
// Thread: the deck worker or preview refill holding the decoder lock.
#include <cstdint>
#include <cstdio>
#include <string>

namespace zonda {

class TMPFileStream {
 public:
  enum class TOrigin { kBegin, kCurrent, kEnd };

  TMPFileStream() = default;
  ~TMPFileStream() { Close(); }
  TMPFileStream(const TMPFileStream&) = delete;
  TMPFileStream& operator=(const TMPFileStream&) = delete;

  // Opens for reading only (fileName is UTF-8); false when it cannot be opened.
  bool Open(const std::string& fileName);
  void Close();
  bool IsOpen() const { return file_ != nullptr; }

  // Bytes read, 0 at the end or on error.
  int32_t Read(void* buffer, int32_t count);
  // New absolute position, clamped to 0..Size(); -1 on error.
  int64_t Seek(int64_t offset, TOrigin origin);
  int64_t Position() const { return position_; }
  int64_t Size() const { return size_; }

 private:
  std::FILE* file_ = nullptr;
  int64_t position_ = 0;
  int64_t size_ = 0;
};

}  // namespace zonda
