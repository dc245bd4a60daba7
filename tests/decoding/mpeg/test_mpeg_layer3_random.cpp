// Layer III streams written at random within the syntax, MPEG-1, MPEG-2 and
// MPEG-2.5: every Huffman table, long, start, short, stop and mixed blocks in
// any order, scale-factor sharing between granules, pre-emphasis (MPEG-2: by
// scalefac_compress), sub-block gains, both count-1 tables, a bit reservoir
// reaching over several frames, mid/side and intensity stereo. mpg123's float
// decode of the same stream is the reference; encoders leave most of these
// combinations untried. Where mpg123 departs from the standard (intensity
// positions, the last short band under intensity stereo) the streams keep
// clear of the difference, as they do of what no decoder agrees on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>

#include "decoding/mpeg/MpegHuffmanData.h"
#include "decoding/mpeg/MpegTables.h"
#include "tests/decoding/mpeg/MpegTestSupport.h"
#include "tests/decoding/mpeg/StreamBits.h"
#include "tests/support/Require.h"

namespace zonda::test {
namespace {

struct TStreamKind {
  const char* name;
  int version;        // 0 MPEG-1, 1 MPEG-2, 2 MPEG-2.5
  int channels;       // 1 or 2
  int mode;           // header mode: 0 stereo, 1 joint, 3 mono
  int modeExtension;  // joint stereo: bit 0 intensity, bit 1 mid/side
  int sampleRateIndex;
  int bitrateIndex;   // layer III of the version
  bool anyBlockOrder; // block types follow one another at random, not only as encoders switch
  bool reservoir;     // main data start in earlier frames
};

struct TGranuleSpec {
  bool intensityRight = false;  // scale factors carry intensity positions (MPEG-2: scalefac_compress too)
  bool ws = false;
  int blockType = 0;
  bool mixed = false;
  int table[3] = {0, 0, 0};
  int subblockGain[3] = {0, 0, 0};
  int region0 = 0, region1 = 0;
  int globalGain = 0;
  int sfc = 0;
  bool preflag = false;
  bool sfScale = false;
  bool count1B = false;
  int bigValues = 0;
  std::vector<int> values;  // 576 lines
  int count1End = 0;
};

// Largest magnitude a table can code (0 for table 0 and the missing ones).
int TableMax(int t) {
  const mpeg::THuffmanSource& s = mpeg::kPairTables[t];
  if (!s.codes) return 0;
  return s.linbits ? 15 + (1 << s.linbits) - 1 : s.dimension - 1;
}

int RandomTable(TRandom& r) {
  for (;;) {
    const int t = r.Below(32);
    if (t != 4 && t != 14) return t;
  }
}

int RandomValue(TRandom& r, int max) {
  if (max == 0) return 0;
  int v;
  switch (r.Below(8)) {
    case 0: case 1: case 2: v = 0; break;
    case 3: case 4: v = 1; break;
    case 5: v = r.Below(std::min(max, 4) + 1); break;
    case 6: v = r.Below(std::min(max, 15) + 1); break;
    default: v = r.Below(max + 1); break;
  }
  return r.Chance(50) ? -v : v;
}

void PutPair(TBits& b, int t, int x, int y) {
  const mpeg::THuffmanSource& s = mpeg::kPairTables[t];
  if (!s.codes) return;
  const int ax = std::abs(x), ay = std::abs(y);
  const int cx = s.linbits && ax >= 15 ? 15 : ax, cy = s.linbits && ay >= 15 ? 15 : ay;
  const int k = cx * s.dimension + cy;
  b.Put(s.codes[k], s.lengths[k]);
  if (s.linbits && cx == 15) b.Put(uint32_t(ax - 15), s.linbits);
  if (ax) b.Put(x < 0, 1);
  if (s.linbits && cy == 15) b.Put(uint32_t(ay - 15), s.linbits);
  if (ay) b.Put(y < 0, 1);
}

// Where the second and third Huffman regions start: short blocks, mixed or
// not, at short band 3; start and stop blocks at long band 8.
void Regions(const TGranuleSpec& g, int sampleSlot, int& region1, int& region2) {
  const mpeg::TBandTable& bands = mpeg::kBands[sampleSlot];
  if (g.ws) {
    region1 = g.blockType == 2 ? bands.shortBounds[3] * 3 : bands.longBounds[8];
    region2 = 576;
  } else {
    region1 = bands.longBounds[std::min(g.region0 + 1, 22)];
    region2 = bands.longBounds[std::min(g.region0 + g.region1 + 2, 22)];
  }
}

// MPEG-2 scale-factor lengths and partition table of scalefac_compress;
// true when it implies pre-emphasis.
bool LsfPartition(int sfc, bool intensityRight, int slen[4], int& table) {
  slen[0] = slen[1] = slen[2] = slen[3] = 0;
  if (intensityRight) {
    int v = sfc >> 1;
    if (v < 180) {
      slen[0] = v / 36, slen[1] = (v % 36) / 6, slen[2] = v % 6;
      table = 3;
    } else if (v < 244) {
      v -= 180;
      slen[0] = (v & 63) >> 4, slen[1] = (v & 15) >> 2, slen[2] = v & 3;
      table = 4;
    } else {
      v -= 244;
      slen[0] = v / 3, slen[1] = v % 3;
      table = 5;
    }
    return false;
  }
  if (sfc < 400) {
    slen[0] = (sfc >> 4) / 5, slen[1] = (sfc >> 4) % 5, slen[2] = (sfc & 15) >> 2, slen[3] = sfc & 3;
    table = 0;
    return false;
  }
  if (sfc < 500) {
    sfc -= 400;
    slen[0] = (sfc >> 2) / 5, slen[1] = (sfc >> 2) % 5, slen[2] = sfc & 3;
    table = 1;
    return false;
  }
  sfc -= 500;
  slen[0] = sfc / 3, slen[1] = sfc % 3;
  table = 2;
  return true;
}

// Writes scale factors and spectrum of one granule of one channel.
void PutMainData(TBits& b, const TGranuleSpec& g, int gr, const int* scfsi, TRandom& r, int sampleSlot,
                 bool lsf) {
  const int slen1 = mpeg::kSlen[0][g.sfc & 15], slen2 = mpeg::kSlen[1][g.sfc & 15];
  std::vector<std::pair<uint32_t, int>> scf;  // value, bits
  // MPEG-1 intensity positions above 7 make tan(pos pi / 12) = -1 reachable, a
  // division by zero in the standard's formula: encoders never write them.
  auto put = [&](int slen) {
    const int v = r.Below(1 << slen);
    scf.emplace_back(uint32_t(g.intensityRight && !lsf ? std::min(v, 7) : v), slen);
  };
  if (lsf) {
    int slen[4], table;
    LsfPartition(g.sfc, g.intensityRight, slen, table);
    const int kind = g.blockType == 2 ? (g.mixed ? 2 : 1) : 0;
    for (int grp = 0; grp < 4; ++grp)
      for (int k = 0; k < mpeg::kLsfBandCounts[table][kind][grp]; ++k) {
        if (g.intensityRight && slen[grp] != 3) {
          // mpg123 takes 7 as the illegal position whatever slen is, not
          // 2^slen - 1: neither is written where the two differ.
          int v = r.Below((1 << slen[grp]) - 1);
          if (v == 7) v = 6;
          scf.emplace_back(uint32_t(v), slen[grp]);
        } else {
          put(slen[grp]);
        }
      }
  } else if (g.ws && g.blockType == 2) {
    for (int k = 0; k < (g.mixed ? 17 : 18); ++k) put(slen1);
    for (int k = 0; k < 18; ++k) put(slen2);
  } else {
    static const int kGroups[5] = {0, 6, 11, 16, 21};
    for (int grp = 0; grp < 4; ++grp) {
      if (gr == 1 && scfsi[grp]) continue;
      for (int s = kGroups[grp]; s < kGroups[grp + 1]; ++s) put(grp < 2 ? slen1 : slen2);
    }
  }
  for (const auto& [value, bits] : scf) b.Put(value, bits);
  int region1, region2;
  Regions(g, sampleSlot, region1, region2);
  for (int i = 0; i < g.bigValues * 2; i += 2) {
    const int t = g.table[i < region1 ? 0 : i < region2 ? 1 : 2];
    PutPair(b, t, g.values[size_t(i)], g.values[size_t(i) + 1]);
  }
  for (int i = g.bigValues * 2; i < g.count1End; i += 4) {
    int sym = 0;
    for (int k = 0; k < 4; ++k) sym = sym * 2 + (g.values[size_t(i + k)] != 0);
    if (g.count1B) b.Put(uint32_t(15 - sym), 4);
    else b.Put(mpeg::kQuadTableA.codes[sym], mpeg::kQuadTableA.lengths[sym]);
    for (int k = 0; k < 4; ++k)
      if (g.values[size_t(i + k)]) b.Put(g.values[size_t(i + k)] < 0, 1);
  }
}

// Picks a granule's side information and spectrum; `lines` bounds the spectrum.
TGranuleSpec RandomGranule(TRandom& r, int blockType, int lines, int sampleSlot, bool lsf, bool intensityRight,
                           bool allowMixed, const TGranuleSpec* like = nullptr) {
  TGranuleSpec g;
  g.intensityRight = intensityRight;
  g.blockType = blockType;
  g.ws = blockType != 0;
  // Decoders disagree on where the first Huffman region of a mixed block ends
  // below 32 kHz in MPEG-2.5 (36 or 54 lines), and on intensity stereo over
  // mixed blocks; no encoder writes either: none there.
  // On start and stop blocks the flag only picks the normal window for the
  // two lowest subbands.
  g.mixed = (blockType == 2 ? sampleSlot < 6 && allowMixed : blockType != 0) && r.Chance(35);
  if (like) g.mixed = like->mixed;
  if (lsf) {
    int slen[4], table;
    for (;;) {
      g.sfc = g.intensityRight ? r.Below(512) : r.Chance(25) ? 500 + r.Below(12) : r.Below(500);
      g.preflag = LsfPartition(g.sfc, g.intensityRight, slen, table);
      // Positions of zero bits are illegal ones (2^0 - 1 = 0), which mpg123
      // takes as legal: intensity positions get at least one bit.
      const int kind = blockType == 2 ? (g.mixed ? 2 : 1) : 0;
      bool ok = true;
      for (int grp = 0; grp < 4; ++grp) ok &= !g.intensityRight || !mpeg::kLsfBandCounts[table][kind][grp] || slen[grp] > 0;
      if (ok) break;
    }
  } else {
    g.sfc = r.Below(16);
    g.preflag = blockType != 2 && r.Chance(30);
  }
  g.sfScale = r.Chance(40);
  g.count1B = r.Chance(50);
  for (int w = 0; w < 3; ++w) g.subblockGain[w] = r.Chance(50) ? 0 : r.Below(8);
  for (int k = 0; k < 3; ++k) g.table[k] = RandomTable(r);
  if (g.ws) g.table[2] = 0;
  g.region0 = r.Below(16);
  g.region1 = r.Below(8);
  g.values.assign(576, 0);
  // mpg123 puts the last short band under intensity stereo even where the
  // right channel has values there: keep that band empty.
  const int limit = intensityRight && blockType == 2 ? 3 * mpeg::kBands[sampleSlot].shortBounds[12] : 576;
  lines = std::min(lines, limit);
  const int big = std::min(288, r.Chance(20) ? lines / 2 : r.Below(lines / 2 + 1));
  g.bigValues = big;
  int region1, region2;
  Regions(g, sampleSlot, region1, region2);
  int peak = 0;
  for (int i = 0; i < big * 2; ++i) {
    const int t = g.table[i < region1 ? 0 : i < region2 ? 1 : 2];
    g.values[size_t(i)] = RandomValue(r, TableMax(t));
    peak = std::max(peak, std::abs(g.values[size_t(i)]));
  }
  const int quads = r.Below((576 - big * 2) / 4 + 1);
  g.count1End = big * 2 + 4 * std::min(quads, r.Below(40));
  for (int i = big * 2; i < g.count1End; ++i) {
    const int v = i < limit ? r.Below(3) : 0;
    g.values[size_t(i)] = v == 2 ? -1 : v;
    if (v) peak = std::max(peak, 1);
  }
  // A gain that keeps the loudest line well inside full scale, varied a little.
  const double loud = std::pow(std::max(peak, 1), 4.0 / 3.0);
  g.globalGain = std::clamp(int(210 + 4 * std::log2(0.08 / loud)) + r.Below(9) - 4, 0, 255);
  return g;
}

int NextBlockType(TRandom& r, int prev, bool anyOrder) {
  if (anyOrder) return r.Below(4);
  switch (prev) {
    case 0: case 3: return r.Chance(60) ? 0 : 1;
    default: return r.Chance(60) ? 2 : 3;
  }
}

void PutSide(TBits& side, const TGranuleSpec& g, int part23, bool lsf) {
  side.Put(uint32_t(part23), 12);
  side.Put(uint32_t(g.bigValues), 9);
  side.Put(uint32_t(g.globalGain), 8);
  side.Put(uint32_t(g.sfc), lsf ? 9 : 4);
  side.Put(g.ws, 1);
  if (g.ws) {
    side.Put(uint32_t(g.blockType), 2);
    side.Put(g.mixed, 1);
    side.Put(uint32_t(g.table[0]), 5);
    side.Put(uint32_t(g.table[1]), 5);
    for (int w = 0; w < 3; ++w) side.Put(uint32_t(g.subblockGain[w]), 3);
  } else {
    for (int k = 0; k < 3; ++k) side.Put(uint32_t(g.table[k]), 5);
    side.Put(uint32_t(g.region0), 4);
    side.Put(uint32_t(g.region1), 3);
  }
  if (!lsf) side.Put(g.preflag, 1);
  side.Put(g.sfScale, 1);
  side.Put(g.count1B, 1);
}

// `notes` gets a line per frame naming what its granules use.
std::vector<uint8_t> MakeRandomStream(const TStreamKind& kind, uint32_t seed, int frames,
                                      std::vector<std::string>* notes = nullptr) {
  TRandom r(seed);
  const bool lsf = kind.version != 0;
  const int nch = kind.channels;
  const int ngr = lsf ? 1 : 2;
  const int slot = kind.version * 3 + kind.sampleRateIndex;
  const int rate = mpeg::kSampleRateHz[kind.version][kind.sampleRateIndex];
  const int bitrate = mpeg::kBitrateKbps[lsf ? 1 : 0][2][kind.bitrateIndex] * 1000;
  const int perFrame = lsf ? 72 : 144;  // bytes per (bit/s / Hz)
  const int sideBytes = lsf ? (nch == 1 ? 9 : 17) : (nch == 1 ? 17 : 32);
  const int maxBack = lsf ? 255 : 511;
  int prevType[2] = {0, 0};
  std::vector<uint8_t> out;
  std::vector<size_t> mainPositions;  // where each main-data byte so far sits in `out`
  int freeTail = 0;                   // of those, the last ones no frame's data uses
  int64_t rest = 0;   // remainder for padding
  for (int f = 0; f < frames; ++f) {
    rest += int64_t(perFrame) * bitrate % rate;
    const bool padding = rest >= rate;
    if (padding) rest -= rate;
    const int frameBytes = perFrame * bitrate / rate + (padding ? 1 : 0);
    const int mainBytes = frameBytes - 4 - sideBytes;
    // Reservoir: this frame's data may start in what the earlier frames left free.
    const int back = kind.reservoir ? std::min(freeTail, maxBack) : 0;
    const int budgetBits = (back + mainBytes) * 8;
    TGranuleSpec g[2][2];
    int scfsi[2][4] = {};
    for (int gr = 0; gr < ngr; ++gr)
      for (int ch = 0; ch < nch; ++ch) {
        // Joint stereo works on both channels line by line: they share the block type.
        const bool shared = ch == 1 && kind.mode == 1;
        const bool intensityRight = shared && (kind.modeExtension & 1);
        const int type = shared ? g[gr][0].blockType : NextBlockType(r, prevType[ch], kind.anyBlockOrder);
        prevType[ch] = type;
        const int lines = r.Chance(10) ? 0 : 2 * (1 + r.Below(288));
        const bool intensity = kind.mode == 1 && (kind.modeExtension & 1);
        g[gr][ch] = RandomGranule(r, type, lines, slot, lsf, intensityRight, !intensity, shared ? &g[gr][0] : nullptr);
      }
    // Scale factors shared between granules only where both are long, as the standard allows.
    for (int ch = 0; ch < nch && !lsf; ++ch)
      if (g[0][ch].blockType != 2 && g[1][ch].blockType != 2)
        for (int b = 0; b < 4; ++b) scfsi[ch][b] = r.Chance(40);
    int part23[2][2] = {};
    TBits mainData;
    for (;;) {
      mainData = TBits();
      for (int gr = 0; gr < ngr; ++gr)
        for (int ch = 0; ch < nch; ++ch) {
          const size_t start = mainData.Size();
          TRandom rs(seed * 31u + uint32_t(f * 4 + gr * 2 + ch));
          PutMainData(mainData, g[gr][ch], gr, scfsi[ch], rs, slot, lsf);
          part23[gr][ch] = int(mainData.Size() - start);
        }
      if (int(mainData.Size()) <= budgetBits) break;
      // Too many bits for the frame: halve the largest spectrum and try again.
      int bg = 0, bc = 0;
      for (int gr = 0; gr < ngr; ++gr)
        for (int ch = 0; ch < nch; ++ch)
          if (part23[gr][ch] > part23[bg][bc]) bg = gr, bc = ch;
      TGranuleSpec& x = g[bg][bc];
      x.bigValues /= 2;
      std::fill(x.values.begin() + x.bigValues * 2, x.values.end(), 0);
      x.count1End = x.bigValues * 2;
    }
    const int needBytes = int((mainData.Size() + 7) / 8);
    // Start as far back as the reservoir allows, at random, but end inside this frame.
    const int begin = std::min(back, std::max(back ? r.Below(back + 1) : 0, needBytes - mainBytes));
    TBits header;
    header.Put(kind.version == 2 ? 0xFFE : 0xFFF, 12);
    header.Put(lsf ? 0 : 1, 1);
    header.Put(1, 2);  // layer III
    header.Put(1, 1);  // no CRC
    header.Put(uint32_t(kind.bitrateIndex), 4);
    header.Put(uint32_t(kind.sampleRateIndex), 2);
    header.Put(padding, 1);
    header.Put(0, 1);
    header.Put(uint32_t(kind.mode), 2);
    header.Put(uint32_t(kind.modeExtension), 2);
    header.Put(0, 4);
    header.Put(uint32_t(begin), lsf ? 8 : 9);
    header.Put(0, lsf ? nch : (nch == 1 ? 5 : 3));
    for (int ch = 0; ch < nch && !lsf; ++ch)
      for (int b = 0; b < 4; ++b) header.Put(uint32_t(scfsi[ch][b]), 1);
    for (int gr = 0; gr < ngr; ++gr)
      for (int ch = 0; ch < nch; ++ch) PutSide(header, g[gr][ch], part23[gr][ch], lsf);
    EXPECT_EQ(int(header.Size()), (4 + sideBytes) * 8);
    if (notes) {
      std::string n;
      for (int gr = 0; gr < ngr; ++gr)
        for (int ch = 0; ch < nch; ++ch) {
          const TGranuleSpec& x = g[gr][ch];
          char b[200];
          std::snprintf(b, sizeof b, "[gr%d ch%d type %d%s big %d count1 %d sfc %d%s%s] ", gr, ch, x.blockType,
                        x.mixed ? " mixed" : "", x.bigValues, x.count1End, x.sfc, x.preflag ? " preflag" : "",
                        x.sfScale ? " sfscale" : "");
          n += b;
        }
      notes->push_back(n);
    }
    const std::vector<uint8_t> bytes = mainData.Bytes();
    // Main data form one stream over the frames' main-data areas: this frame's
    // starts `begin` bytes before its own area, in what earlier frames left free.
    const size_t first = mainPositions.size() - size_t(begin);
    const std::vector<uint8_t> head = header.Bytes();
    out.insert(out.end(), head.begin(), head.end());
    for (int i = 0; i < mainBytes; ++i) {
      mainPositions.push_back(out.size());
      out.push_back(0);
    }
    for (int i = 0; i < needBytes; ++i) out[mainPositions[first + size_t(i)]] = bytes[size_t(i)];
    freeTail = int(mainPositions.size() - (first + size_t(needBytes)));
  }
  return out;
}

const TStreamKind kKinds[] = {
    {"mono_44k", 0, 1, 3, 0, 0, 14, false, false},
    {"mono_44k_64k_reservoir", 0, 1, 3, 0, 0, 5, false, true},
    {"mono_48k_any_order", 0, 1, 3, 0, 1, 14, true, false},
    {"mono_32k_any_order", 0, 1, 3, 0, 2, 14, true, true},
    {"stereo_44k", 0, 2, 0, 0, 0, 14, false, true},
    {"joint_ms_44k_any_order", 0, 2, 1, 2, 0, 14, true, false},
    {"joint_is_48k", 0, 2, 1, 1, 1, 14, false, true},
    {"joint_is_ms_32k_any_order", 0, 2, 1, 3, 2, 14, true, true},
    {"lsf_mono_22k", 1, 1, 3, 0, 0, 14, false, true},
    {"lsf_mono_24k_any_order", 1, 1, 3, 0, 1, 14, true, false},
    {"lsf_joint_ms_16k", 1, 2, 1, 2, 2, 14, false, true},
    {"lsf_joint_is_22k", 1, 2, 1, 1, 0, 14, false, true},
    {"lsf_joint_is_ms_24k_any_order", 1, 2, 1, 3, 1, 14, true, false},
    {"m25_mono_11k_any_order", 2, 1, 3, 0, 0, 14, true, true},
    {"m25_stereo_8k", 2, 2, 0, 0, 2, 12, false, true},
    {"m25_joint_is_ms_12k", 2, 2, 1, 3, 1, 14, false, true},
};


class Layer3Random : public ::testing::TestWithParam<TStreamKind> {};

TEST_P(Layer3Random, MatchesReference) {
  ZONDA_REQUIRE_TOOLS("mpg123");
  TempDir dir;
  for (uint32_t seed = 1; seed <= 3; ++seed) {
    std::vector<std::string> notes;
    const std::vector<uint8_t> stream = MakeRandomStream(GetParam(), seed, 120, &notes);
    const std::string file = dir.file(std::string(GetParam().name) + "_" + std::to_string(seed) + ".mp3");
    std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(stream.data()), std::streamsize(stream.size()));
    const std::vector<float> ref =
        ReferenceDecode(file, dir.file("ref.f32"));
    const std::vector<uint8_t> seq = SequentialDecode(file);
    ASSERT_EQ(seq.size(), ref.size() * 2) << file;
    const std::vector<int16_t> ours = ToSamples(seq);
    const TAccuracy a = Compare(ours, ref);
    std::printf("[random] %-24s seed %u rms %.4f max %.2f LSB clipped %zu compared %zu\n", GetParam().name, seed,
                a.rmsLsb, a.maxLsb, a.clipped, a.compared);
    // Random spectra are as loud as noise: the 16-bit rounding alone is near the
    // RMS bound, so the decoder's own error is measured against it.
    EXPECT_LT(a.rmsLsb, a.roundingRmsLsb + 0.005) << file;
    EXPECT_LT(a.maxLsb, kIsoMaxBoundLsb) << file;
    if (a.maxLsb >= kIsoMaxBoundLsb) {
      // Name the first frame that differs, to point at what it used.
      const size_t perFrame = (GetParam().version ? 576 : 1152) * size_t(GetParam().channels);
      for (size_t i = 0; i < std::min(ours.size(), ref.size()); ++i) {
        const double rr = double(ref[i]) * 32768.0;
        if (std::fabs(rr) < 32767 && std::fabs(double(ours[i]) - rr) >= 2.0) {
          const size_t frame = i / perFrame;
          ADD_FAILURE() << "first difference in frame " << frame << ", sample " << i % perFrame << ": "
                        << (frame < notes.size() ? notes[frame] : std::string());
          break;
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Written, Layer3Random, ::testing::ValuesIn(kKinds),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zonda::test
