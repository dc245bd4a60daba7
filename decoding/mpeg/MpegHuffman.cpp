#include "decoding/mpeg/MpegHuffman.h"

#include <algorithm>

#include "decoding/mpeg/MpegHuffmanData.h"

namespace zonda::mpeg {
namespace {

// Builds `t` from n codes; symbol(i) gives the value stored for code i.
template <typename Sym>
bool Build(THuffTable& t, const uint16_t* codes, const uint8_t* lengths, int n, Sym symbol) {
  int maxLen = 0;
  uint64_t kraft = 0;  // sum of 2^(32 - len): a complete code sums to 2^32
  for (int i = 0; i < n; ++i) {
    maxLen = std::max<int>(maxLen, lengths[i]);
    kraft += uint64_t(1) << (32 - lengths[i]);
  }
  bool ok = kraft == (uint64_t(1) << 32) || n == 1;
  const int root = std::min(maxLen, 9);
  t.rootBits = root;
  t.entries.assign(size_t(1) << root, THuffEntry{});
  std::vector<int> subMax(size_t(1) << root, 0);
  for (int i = 0; i < n; ++i) {
    const int len = lengths[i];
    if (len > root) {
      const uint32_t prefix = uint32_t(codes[i]) >> (len - root);
      subMax[prefix] = std::max(subMax[prefix], len - root);
    }
  }
  for (uint32_t p = 0; p < subMax.size(); ++p) {
    if (!subMax[p]) continue;
    THuffEntry& e = t.entries[p];
    e.value = uint16_t(t.entries.size());
    e.subBits = uint8_t(subMax[p]);
    t.entries.resize(t.entries.size() + (size_t(1) << subMax[p]));
  }
  for (int i = 0; i < n; ++i) {
    const int len = lengths[i];
    const uint32_t code = codes[i];
    const uint16_t value = uint16_t(symbol(i));
    if (len <= root) {
      const uint32_t base = code << (root - len);
      for (uint32_t k = 0; k < (1u << (root - len)); ++k) {
        THuffEntry& e = t.entries[base + k];
        if (e.length || e.subBits) ok = false;
        e = THuffEntry{value, uint8_t(len), 0};
      }
    } else {
      const uint32_t prefix = code >> (len - root);
      const int sub = t.entries[prefix].subBits;
      const int rest = len - root;
      const uint32_t base = t.entries[prefix].value + ((code & ((1u << rest) - 1)) << (sub - rest));
      for (uint32_t k = 0; k < (1u << (sub - rest)); ++k) {
        THuffEntry& e = t.entries[base + k];
        if (e.length) ok = false;
        e = THuffEntry{value, uint8_t(len), 0};
      }
    }
  }
  t.present = true;
  return ok;
}

}  // namespace

const TMpegHuffman& TMpegHuffman::Get() {
  static const TMpegHuffman tables;
  return tables;
}

TMpegHuffman::TMpegHuffman() {
  for (int i = 0; i < 32; ++i) {
    const THuffmanSource& s = kPairTables[i];
    pair_[i].linbits = s.linbits;
    if (!s.codes) continue;
    const int dim = s.dimension;
    consistent_ &= Build(pair_[i], s.codes, s.lengths, dim * dim, [dim](int k) { return (k / dim) * 16 + k % dim; });
  }
  consistent_ &= Build(quadA_, kQuadTableA.codes, kQuadTableA.lengths, 16, [](int k) { return k; });
}

}  // namespace zonda::mpeg
