#include "decoding/mpeg/MPStreamReader.h"

#include <algorithm>

namespace zonda {

void TMPStreamReader::Attach(TMPFileStream* stream) {
  Detach();
  if (!stream) return;
  stream_ = stream;
  storage_ = std::make_unique<uint64_t[]>(kCapacity / 8);
  start_ = count_ = contiguous_ = 0;
  position_ = stream->Position();
  streamSize_ = stream->Size();
  sizeKnown_ = true;
}

void TMPStreamReader::Detach() {
  storage_.reset();
  stream_ = nullptr;
  start_ = count_ = contiguous_ = 0;
  position_ = 0;
  streamSize_ = 0;
  sizeKnown_ = false;
}

bool TMPStreamReader::Fill(int32_t n) {
  if (!stream_) return false;
  if (n > kCapacity) n = kCapacity;
  if (count_ == 0) start_ = 0;
  while (count_ < n) {
    const int32_t write = (start_ + count_) % kCapacity;
    const int32_t freeBytes = kCapacity - count_;
    // Never past the physical end of the ring, never into the valid bytes.
    const int32_t room = write >= start_ ? std::min(kCapacity - write, freeBytes) : start_ - write;
    int32_t ask = std::max(n - count_, kMinRead);
    ask = std::min(ask, room);
    if (ask <= 0) break;
    const int32_t got = stream_->Read(ring() + write, ask);
    if (got <= 0) break;
    count_ += got;
  }
  UpdateContiguous();
  return count_ >= n;
}

bool TMPStreamReader::EnsureContiguous(int32_t n) {
  if (!stream_) return false;
  if (n > kCapacity) n = kCapacity;
  Fill(n);
  if (contiguous_ < count_) {
    std::rotate(ring(), ring() + start_, ring() + kCapacity);
    start_ = 0;
    UpdateContiguous();
  }
  return contiguous_ >= n;
}

void TMPStreamReader::Seek(int64_t offset, TMPFileStream::TOrigin origin) {
  if (!stream_) return;
  int64_t target = offset;
  if (origin == TMPFileStream::TOrigin::kCurrent) target = position_ + offset;
  const int64_t got = stream_->Seek(target, TMPFileStream::TOrigin::kBegin);
  position_ = got < 0 ? stream_->Position() : got;
  start_ = count_ = contiguous_ = 0;
}

bool TMPStreamReader::Skip(int64_t n) {
  if (!stream_ || n < 0) return false;
  if (count_ >= n) {
    start_ = int32_t((start_ + n) % kCapacity);
    count_ -= int32_t(n);
    position_ += n;
    UpdateContiguous();
    return true;
  }
  if (streamSize_ < position_ + n) {
    Seek(streamSize_, TMPFileStream::TOrigin::kBegin);
    return false;
  }
  Seek(position_ + n, TMPFileStream::TOrigin::kBegin);
  return true;
}

}  // namespace zonda
