#pragma once
// A decoder of made-up PCM for testing the front's choices and error paths:
// it "opens" any name, delivers byte i as PatternAt(i), can refuse to open,
// report a length of 0, or throw EAudioReadError from a read position on.
#include <atomic>
#include <chrono>
#include <future>
#include <stdexcept>

#include "decoding/core/AudioDecoder.h"
#include "decoding/core/AudioReadError.h"
#include "decoding/core/DecoderLock.h"

namespace zonda::test {

class TFakeDecoder final : public TAudioDecoder {
 public:
  TFakeDecoder(WAVEFORMATEX format, int32_t size) : format_(format), size_(size) {}

  static uint8_t PatternAt(int64_t i) { return static_cast<uint8_t>((i * 5 + 3) & 0xFF); }

  bool opens = true;
  int32_t throwFrom = -1;           // ReadAt at or past this position throws
  std::atomic<int> openCalls{0};
  std::atomic<int> readsWithoutLock{0};
  std::atomic<int> backwardReads{0};  // reads starting before the end of the previous one

  bool Open(const std::string&) override {
    ++openCalls;
    if (!opens || open_) return false;
    open_ = true;
    return true;
  }
  int32_t PCMSize() const override { return open_ ? size_ : 0; }
  int32_t ReadAt(int32_t position, void* buffer, int32_t count) override {
    // Another thread must not get the decoder lock while we run.
    auto other = std::async(std::launch::async, [] {
      if (!DecoderLock().try_lock()) return false;
      DecoderLock().unlock();
      return true;
    });
    if (other.get()) ++readsWithoutLock;
    if (position < lastEnd_) ++backwardReads;
    lastEnd_ = position + count;
    if (!open_ || position < 0 || position >= size_) return 0;
    if (throwFrom >= 0 && position >= throwFrom) throw EAudioReadError("stream read failed");
    const int32_t n = count < size_ - position ? count : size_ - position;
    auto* out = static_cast<uint8_t*>(buffer);
    for (int32_t i = 0; i < n; ++i) out[i] = PatternAt(static_cast<int64_t>(position) + i);
    return n;
  }
  void Close() override { open_ = false; }
  WAVEFORMATEX OutputFormat() const override { return format_; }

 private:
  WAVEFORMATEX format_;
  int32_t size_;
  bool open_ = false;
  int64_t lastEnd_ = 0;
};

}  // namespace zonda::test
