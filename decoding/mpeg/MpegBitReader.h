#pragma once
// Big-endian bit reader over a byte range. Reads past the end return zero
// bits and never touch memory outside the range. Internal to the MPEG core.
#include <cstdint>

namespace zonda::mpeg {

class TMpegBitReader {
 public:
  TMpegBitReader() = default;
  TMpegBitReader(const uint8_t* data, int32_t sizeBytes) { Reset(data, sizeBytes); }

  void Reset(const uint8_t* data, int32_t sizeBytes) {
    data_ = data;
    sizeBytes_ = sizeBytes < 0 ? 0 : sizeBytes;
    pos_ = 0;
  }

  // Next 24 bits without consuming them, MSB first.
  uint32_t Peek24() const {
    const int64_t byte = pos_ >> 3;
    uint32_t w;
    if (byte + 4 <= sizeBytes_) {
      w = (uint32_t(data_[byte]) << 24) | (uint32_t(data_[byte + 1]) << 16) | (uint32_t(data_[byte + 2]) << 8) |
          uint32_t(data_[byte + 3]);
    } else {
      w = 0;
      for (int i = 0; i < 4; ++i) {
        w <<= 8;
        if (byte + i < sizeBytes_) w |= data_[byte + i];
      }
    }
    return (w << (pos_ & 7)) >> 8;
  }

  // n = 0..24 bits.
  uint32_t Get(int n) {
    if (n <= 0) return 0;
    const uint32_t v = Peek24() >> (24 - n);
    pos_ += n;
    return v;
  }
  bool Bit() { return Get(1) != 0; }
  void Skip(int64_t n) { pos_ += n; }

  int64_t Position() const { return pos_; }
  void SetPosition(int64_t bits) { pos_ = bits; }
  int64_t SizeBits() const { return int64_t(sizeBytes_) * 8; }
  bool Overrun() const { return pos_ > SizeBits(); }
  const uint8_t* Data() const { return data_; }

 private:
  const uint8_t* data_ = nullptr;
  int64_t sizeBytes_ = 0;
  int64_t pos_ = 0;
};

}  // namespace zonda::mpeg
