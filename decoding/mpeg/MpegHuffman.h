#pragma once
// Two-level lookup tables for the layer III Huffman codes, built once from
// MpegHuffmanData at first use. Internal to the MPEG audio core.
#include <cstdint>
#include <vector>

#include "decoding/mpeg/MpegBitReader.h"

namespace zonda::mpeg {

struct THuffEntry {
  uint16_t value = 0;   // leaf: x * 16 + y (or vwxy); pointer: offset of the subtable
  uint8_t length = 0;   // leaf: whole code length; 0 = no code here
  uint8_t subBits = 0;  // > 0: pointer to a subtable indexed by that many further bits
};

struct THuffTable {
  std::vector<THuffEntry> entries;
  int rootBits = 0;
  int linbits = 0;
  bool present = false;
};

class TMpegHuffman {
 public:
  static const TMpegHuffman& Get();
  const THuffTable& Pair(int index) const { return pair_[index]; }
  const THuffTable& QuadA() const { return quadA_; }
  // True when every table is a complete prefix code without clashes.
  bool Consistent() const { return consistent_; }

  // Decodes one symbol; returns -1 for a bit pattern that is no code.
  static int Decode(const THuffTable& t, TMpegBitReader& br) {
    const uint32_t bits = br.Peek24();
    const THuffEntry* e = &t.entries[bits >> (24 - t.rootBits)];
    if (e->subBits) {
      const uint32_t idx = (bits >> (24 - t.rootBits - e->subBits)) & ((1u << e->subBits) - 1);
      e = &t.entries[e->value + idx];
    }
    if (e->length == 0) return -1;
    br.Skip(e->length);
    return e->value;
  }

 private:
  TMpegHuffman();
  THuffTable pair_[32];
  THuffTable quadA_;
  bool consistent_ = true;
};

}  // namespace zonda::mpeg
