#pragma once
// A bit writer and a small deterministic random source for the tests that
// write MPEG audio streams of their own.
#include <cstdint>
#include <vector>

namespace zonda::test {

class TBits {
 public:
  void Put(uint32_t v, int n) {
    for (int i = n - 1; i >= 0; --i) bits.push_back(uint8_t((v >> i) & 1));
  }
  size_t Size() const { return bits.size(); }
  // The bits packed MSB first; a last partial byte is padded with zeros.
  std::vector<uint8_t> Bytes() const {
    std::vector<uint8_t> out((bits.size() + 7) / 8, 0);
    for (size_t i = 0; i < bits.size(); ++i)
      if (bits[i]) out[i / 8] |= uint8_t(0x80 >> (i % 8));
    return out;
  }
  std::vector<uint8_t> bits;
};

class TRandom {
 public:
  explicit TRandom(uint32_t seed) : s_(seed * 2654435761u + 1) {}
  uint32_t Next() {
    s_ ^= s_ << 13;
    s_ ^= s_ >> 17;
    s_ ^= s_ << 5;
    return s_;
  }
  int Below(int n) { return n <= 0 ? 0 : int(Next() % uint32_t(n)); }
  bool Chance(int percent) { return Below(100) < percent; }

 private:
  uint32_t s_;
};

}  // namespace zonda::test
