#pragma once
// The body of a layer II frame as the tests that write streams of their own
// build it: allocations, scale-factor selection, scale factors and samples in
// the order of the syntax, with the joint-stereo bound applied.
#include <cstdint>

#include "tests/decoding/mpeg/StreamBits.h"

namespace zonda::test {

struct TLayer2Body {
  int limit = 0;  // sblimit of the allocation table
  int bound = 0;  // first subband coded once for both channels
  int channels = 2;
  const uint8_t* nbal = nullptr;  // allocation bits per subband
  int alloc[2][32] = {};
  int scfsi[2][32] = {};
  int scf[2][32][3] = {};
};

// Code-word bits for a quantiser of `steps` levels (3, 5 and 9 group three samples).
inline int Layer2CodeBits(int steps) {
  if (steps == 3) return 5;
  if (steps == 5) return 7;
  if (steps == 9) return 10;
  int b = 0;
  while ((1 << b) - 1 < steps) ++b;
  return b;
}

// Writes the body; steps(sb, allocation) gives the levels of a code, and
// sample(granule, sb, ch, k) each sample's code in 0..levels-1. Returns the
// bit position after the scale-factor selection (where a CRC's cover ends).
template <typename Steps, typename Sample>
size_t PutLayer2Body(TBits& w, const TLayer2Body& b, Steps steps, Sample sample) {
  static const int kScfCount[4] = {3, 2, 1, 2};
  auto coded = [&](int sb) { return sb < b.bound ? b.channels : 1; };
  for (int sb = 0; sb < b.limit; ++sb)
    for (int ch = 0; ch < coded(sb); ++ch) w.Put(uint32_t(b.alloc[ch][sb]), b.nbal[sb]);
  for (int sb = 0; sb < b.limit; ++sb)
    for (int ch = 0; ch < b.channels; ++ch)
      if (b.alloc[sb < b.bound ? ch : 0][sb]) w.Put(uint32_t(b.scfsi[ch][sb]), 2);
  const size_t protectedEnd = w.Size();
  for (int sb = 0; sb < b.limit; ++sb)
    for (int ch = 0; ch < b.channels; ++ch)
      if (b.alloc[sb < b.bound ? ch : 0][sb])
        for (int k = 0; k < kScfCount[b.scfsi[ch][sb]]; ++k) w.Put(uint32_t(b.scf[ch][sb][k]), 6);
  for (int g = 0; g < 12; ++g)
    for (int sb = 0; sb < b.limit; ++sb)
      for (int ch = 0; ch < coded(sb); ++ch) {
        const int a = b.alloc[ch][sb];
        if (!a) continue;
        const int n = steps(sb, a);
        const uint32_t v[3] = {sample(g, sb, ch, 0), sample(g, sb, ch, 1), sample(g, sb, ch, 2)};
        if (n == 3 || n == 5 || n == 9) {
          w.Put(v[0] + v[1] * uint32_t(n) + v[2] * uint32_t(n * n), Layer2CodeBits(n));
        } else {
          for (int k = 0; k < 3; ++k) w.Put(v[k], Layer2CodeBits(n));
        }
      }
  return protectedEnd;
}

// Bits PutLayer2Body writes for `b` (steps as there).
template <typename Steps>
int Layer2BodyBits(const TLayer2Body& b, Steps steps) {
  static const int kScfCount[4] = {3, 2, 1, 2};
  int total = 0;
  for (int sb = 0; sb < b.limit; ++sb) {
    total += b.nbal[sb] * (sb < b.bound ? b.channels : 1);
    for (int ch = 0; ch < b.channels; ++ch) {
      const int a = b.alloc[sb < b.bound ? ch : 0][sb];
      if (!a) continue;
      total += 2 + 6 * kScfCount[b.scfsi[ch][sb]];
      const int n = steps(sb, a);
      if (sb < b.bound || ch == 0) total += 12 * Layer2CodeBits(n) * (n == 3 || n == 5 || n == 9 ? 1 : 3);
    }
  }
  return total;
}

}  // namespace zonda::test
