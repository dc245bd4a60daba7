#pragma once
// The layer III Huffman code tables as code words and lengths (ISO/IEC
// 11172-3 Table 3-B.7). Internal to the MPEG audio core.
#include <cstdint>

namespace zonda::mpeg {

struct THuffmanSource {
  int dimension;          // x and y each run 0..dimension-1 (0: table unused)
  int linbits;            // extra bits after a value of 15
  const uint16_t* codes;  // dimension * dimension code words, x-major
  const uint8_t* lengths;
};

extern const THuffmanSource kPairTables[32];
// Count-1 quadruple table A; for the quad table the "dimension" is 4 bits of vwxy.
extern const THuffmanSource kQuadTableA;

}  // namespace zonda::mpeg
