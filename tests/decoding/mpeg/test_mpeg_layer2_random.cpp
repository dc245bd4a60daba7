// Layer II streams written at random within the syntax: every allocation code
// of each table (the 16-bit classes included), every scale-factor selection
// pattern, all scale factors, grouped and ungrouped codes over their whole
// range, CRC words, padding, the four modes with every joint-stereo bound and
// mode-extension bits where they mean nothing, and the bit rate (so the
// allocation table) changing from frame to frame. mpg123's float decode of the
// same stream is the reference.
#include <gtest/gtest.h>

#include <fstream>

#include "decoding/mpeg/MpegTables.h"
#include "tests/decoding/mpeg/Layer2Writer.h"
#include "tests/decoding/mpeg/MpegTestSupport.h"
#include "tests/support/Require.h"

namespace zonda::test {
namespace {

struct TLayer2Kind {
  const char* name;
  bool lsf;                    // MPEG-2 low sampling frequencies
  int rateIndex;               // of the version
  int mode;                    // 0 stereo, 1 joint, 2 dual channel, 3 mono
  bool crc;
  std::vector<int> bitrates;   // bit-rate indices, one picked per frame
};

// The allocation table the standard selects for a rate and a bit rate per channel.
int TableFor(bool lsf, int rateHz, int kbpsPerChannel) {
  if (lsf) return 4;
  if ((rateHz == 48000 && kbpsPerChannel >= 56) || (kbpsPerChannel >= 56 && kbpsPerChannel <= 80)) return 0;
  if (rateHz != 48000 && kbpsPerChannel >= 96) return 1;
  if (rateHz != 32000 && kbpsPerChannel <= 48) return 2;
  return 3;
}

// CRC-16 (x^16 + x^15 + x^2 + 1) from 0xFFFF over `bits`.
uint16_t Crc16(const std::vector<uint8_t>& bits, size_t from, size_t to) {
  uint32_t crc = 0xFFFF;
  for (size_t i = from; i < to; ++i) {
    const uint32_t top = ((crc >> 15) & 1) ^ bits[i];
    crc = (crc << 1) & 0xFFFF;
    if (top) crc ^= 0x8005;
  }
  return uint16_t(crc);
}

std::vector<uint8_t> MakeLayer2Stream(const TLayer2Kind& kind, uint32_t seed, int frames) {
  TRandom r(seed);
  const int version = kind.lsf ? 1 : 0;
  const int rate = mpeg::kSampleRateHz[version][kind.rateIndex];
  const int nch = kind.mode == 3 ? 1 : 2;
  std::vector<uint8_t> out;
  int64_t rest = 0;
  for (int f = 0; f < frames; ++f) {
    const int bitrateIndex = kind.bitrates[size_t(r.Below(int(kind.bitrates.size())))];
    const int kbps = mpeg::kBitrateKbps[version][1][bitrateIndex];
    rest += int64_t(144) * kbps * 1000 % rate;
    const bool padding = rest >= rate;
    if (padding) rest -= rate;
    const int frameBytes = 144 * kbps * 1000 / rate + (padding ? 1 : 0);
    const mpeg::TLayer2Table& table = mpeg::kLayer2Tables[TableFor(kind.lsf, rate, kbps / nch)];
    const int limit = table.sblimit;
    // Mode-extension bits are written in every mode; only joint stereo reads them.
    const int extension = r.Below(4);
    const int bound = kind.mode == 1 ? std::min(limit, 4 * (extension + 1)) : limit;
    auto steps = [&](int sb, int code) { return int(mpeg::kLayer2Steps[table.rows[sb]][code]); };

    TLayer2Body body;
    body.limit = limit;
    body.bound = bound;
    body.channels = nch;
    body.nbal = table.nbal;
    auto& alloc = body.alloc;
    const bool silent = f < 2;
    for (int sb = 0; sb < limit && !silent; ++sb) {
      for (int ch = 0; ch < (sb < bound ? nch : 1); ++ch) {
        const int codes = 1 << table.nbal[sb];
        alloc[ch][sb] = r.Chance(30) ? 0 : r.Below(codes);
        // Some rows leave their highest codes unused.
        while (alloc[ch][sb] && !steps(sb, alloc[ch][sb])) --alloc[ch][sb];
      }
      if (sb >= bound && nch == 2) alloc[1][sb] = alloc[0][sb];
      for (int ch = 0; ch < nch; ++ch) {
        body.scfsi[ch][sb] = r.Below(4);
        for (int k = 0; k < 3; ++k) body.scf[ch][sb][k] = r.Chance(20) ? r.Below(63) : 14 + r.Below(49);
      }
    }
    std::vector<uint32_t> draws(12 * 32 * 2 * 3);  // per granule, subband, channel and sample
    for (auto& v : draws) v = r.Next();
    auto sample = [&](int g, int sb, int ch, int k) {
      const int n = steps(sb, alloc[sb < bound ? ch : 0][sb]);
      return draws[size_t(((g * 32 + sb) * 2 + ch) * 3 + k)] % uint32_t(n);
    };
    const int privateBit = r.Below(2);
    static const int kEmphasis[3] = {0, 1, 3};  // 2 is reserved
    const int lastBits = (r.Below(4) << 2) | kEmphasis[r.Below(3)];  // copyright, original, emphasis
    // Too many bits: lower the highest allocations of the top subbands first.
    const int headerBits = 32 + (kind.crc ? 16 : 0);
    while (headerBits + Layer2BodyBits(body, steps) > frameBytes * 8) {
      for (int sb = limit - 1; sb >= 0; --sb)
        for (int ch = 0; ch < nch; ++ch)
          if (alloc[ch][sb] && r.Chance(50)) {
            alloc[ch][sb] = std::max(0, alloc[ch][sb] - 3);
            if (sb >= bound && nch == 2) alloc[1][sb] = alloc[0][sb];
          }
    }
    TBits w;
    w.Put(0xFFF, 12);
    w.Put(kind.lsf ? 0 : 1, 1);
    w.Put(2, 2);  // layer II
    w.Put(kind.crc ? 0 : 1, 1);
    w.Put(uint32_t(bitrateIndex), 4);
    w.Put(uint32_t(kind.rateIndex), 2);
    w.Put(padding, 1);
    w.Put(uint32_t(privateBit), 1);
    w.Put(uint32_t(kind.mode), 2);
    w.Put(uint32_t(extension), 2);
    w.Put(uint32_t(lastBits), 4);
    const size_t crcAt = w.Size();
    if (kind.crc) w.Put(0, 16);
    const size_t protectedEnd = PutLayer2Body(w, body, steps, sample);
    EXPECT_LE(int(w.Size()), frameBytes * 8);
    if (kind.crc) {
      // The check word covers the header's last 16 bits, allocations and selections.
      std::vector<uint8_t> covered(w.bits.begin() + 16, w.bits.begin() + 32);
      covered.insert(covered.end(), w.bits.begin() + int64_t(crcAt) + 16, w.bits.begin() + int64_t(protectedEnd));
      const uint16_t crc = Crc16(covered, 0, covered.size());
      for (int i = 0; i < 16; ++i) w.bits[crcAt + size_t(i)] = uint8_t((crc >> (15 - i)) & 1);
    }
    w.bits.resize(size_t(frameBytes) * 8, 0);
    const std::vector<uint8_t> bytes = w.Bytes();
    out.insert(out.end(), bytes.begin(), bytes.end());
  }
  return out;
}

const TLayer2Kind kKinds[] = {
    {"l2_32k_192_stereo_crc", false, 2, 0, true, {10}},
    {"l2_48k_384_stereo", false, 1, 0, false, {14}},
    {"l2_48k_384_dual_crc", false, 1, 2, true, {14}},
    {"l2_32k_192_joint", false, 2, 1, false, {10}},
    {"l2_44k_switching_stereo_crc", false, 0, 0, true, {1, 2, 4, 5, 6, 8, 10, 12, 14}},
    {"l2_32k_switching_mono", false, 2, 3, false, {1, 2, 3, 4, 6, 8, 10}},
    {"l2_48k_switching_joint_crc", false, 1, 1, true, {2, 4, 6, 9, 11, 14}},
    {"l2_lsf_24k_joint", true, 1, 1, false, {8, 10, 14}},
    {"l2_lsf_22k_mono_crc", true, 0, 3, true, {4, 8, 14}},
};

class Layer2Random : public ::testing::TestWithParam<TLayer2Kind> {};

TEST_P(Layer2Random, MatchesReferenceAndReadsExactly) {
  ZONDA_REQUIRE_TOOLS("mpg123");
  TempDir dir;
  for (uint32_t seed = 1; seed <= 2; ++seed) {
    const std::vector<uint8_t> stream = MakeLayer2Stream(GetParam(), seed, 150);
    // Named .mp3 as such streams often are: the name must not matter.
    const std::string file = dir.file(std::string(GetParam().name) + "_" + std::to_string(seed) + ".mp3");
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(stream.data()), std::streamsize(stream.size()));
    CheckFixture(dir, "layer2", file, seed);
  }
}

INSTANTIATE_TEST_SUITE_P(Written, Layer2Random, ::testing::ValuesIn(kKinds),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zonda::test
