#include "decoding/mpeg/MpegLayer3.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "decoding/mpeg/MpegBitReader.h"
#include "decoding/mpeg/MpegHuffman.h"
#include "decoding/mpeg/MpegTables.h"

namespace zonda::mpeg {
namespace {

constexpr int kGainOffset = 400;  // pow2q index of exponent 0

struct TLayer3Tables {
  float pow43[2 * 8206 + 1];   // sign(i) |i|^(4/3) at index i + 8206, |i| up to 15 + 2^13 - 1
  float pow2q[kGainOffset + 64];  // 2^(e/4) for e = -400..63
  float window[4][36];         // block types 0, 1, 3 (long) and the short window (first 12)
  // Long IMDCT: rows 0..8 give z[0..8], rows 9..17 give z[18..26]; padded to 20 per k.
  alignas(16) float imdct36[18][20];
  float imdct12[6][12];
  float cs[8], ca[8];
  float isRatioL[7], isRatioR[7];  // MPEG-1 intensity positions 0..6
  float lsfIs[2][32][2];           // MPEG-2 intensity: [scale][position] -> (left, right)

  TLayer3Tables() {
    for (int i = 0; i <= 8206; ++i) {
      const float v = float(std::pow(double(i), 4.0 / 3.0));
      pow43[8206 + i] = v;
      pow43[8206 - i] = -v;
    }
    for (int e = -kGainOffset; e < 64; ++e) pow2q[e + kGainOffset] = float(std::pow(2.0, e / 4.0));
    for (int i = 0; i < 36; ++i) window[0][i] = float(std::sin(M_PI / 36 * (i + 0.5)));
    for (int i = 0; i < 36; ++i) {
      double w1, w3;
      if (i < 18) w1 = std::sin(M_PI / 36 * (i + 0.5));
      else if (i < 24) w1 = 1.0;
      else if (i < 30) w1 = std::sin(M_PI / 12 * (i - 18 + 0.5));
      else w1 = 0.0;
      if (i < 6) w3 = 0.0;
      else if (i < 12) w3 = std::sin(M_PI / 12 * (i - 6 + 0.5));
      else if (i < 18) w3 = 1.0;
      else w3 = std::sin(M_PI / 36 * (i + 0.5));
      window[1][i] = float(w1);
      window[3][i] = float(w3);
    }
    for (int i = 0; i < 36; ++i) window[2][i] = i < 12 ? float(std::sin(M_PI / 12 * (i + 0.5))) : 0.0f;
    std::memset(imdct36, 0, sizeof(imdct36));
    for (int k = 0; k < 18; ++k) {
      for (int r = 0; r < 18; ++r) {
        const int i = r < 9 ? r : 18 + (r - 9);
        imdct36[k][r] = float(std::cos(M_PI / 72 * (2 * i + 19) * (2 * k + 1)));
      }
    }
    for (int k = 0; k < 6; ++k)
      for (int i = 0; i < 12; ++i) imdct12[k][i] = float(std::cos(M_PI / 24 * (2 * i + 7) * (2 * k + 1)));
    const double c[8] = {-0.6, -0.535, -0.33, -0.185, -0.095, -0.041, -0.0142, -0.0037};
    for (int i = 0; i < 8; ++i) {
      const double sq = std::sqrt(1.0 + c[i] * c[i]);
      cs[i] = float(1.0 / sq);
      ca[i] = float(c[i] / sq);
    }
    for (int p = 0; p < 7; ++p) {
      if (p == 6) {
        isRatioL[p] = 1.0f;
        isRatioR[p] = 0.0f;
      } else {
        const double r = std::tan(p * M_PI / 12);
        isRatioL[p] = float(r / (1 + r));
        isRatioR[p] = float(1 / (1 + r));
      }
    }
    for (int s = 0; s < 2; ++s) {
      const double io = std::pow(2.0, -0.25 * (s + 1));
      for (int p = 0; p < 32; ++p) {
        double l = 1, r = 1;
        if (p & 1) l = std::pow(io, (p + 1) / 2);
        else if (p) r = std::pow(io, p / 2);
        lsfIs[s][p][0] = float(l);
        lsfIs[s][p][1] = float(r);
      }
    }
  }
};

const TLayer3Tables& Tables() {
  static const TLayer3Tables t;
  return t;
}

constexpr float kInvSqrt2 = 0.70710678118654752f;

}  // namespace

TMpegLayer3::TMpegLayer3() { Reset(); }

void TMpegLayer3::Reset() {
  reservoirBytes_ = 0;
  std::memset(reservoir_, 0, sizeof(reservoir_));
  std::memset(overlap_, 0, sizeof(overlap_));
  std::memset(scale_, 0, sizeof(scale_));
  (void)Tables();
  (void)TMpegHuffman::Get();
}

bool TMpegLayer3::ReadSideInfo(const TFrameInfo& info, const uint8_t* frame, int& mainDataBegin, TGranule (*gr)[2],
                               int (*scfsi)[4]) {
  const int nch = info.channels;
  const int sideBytes = info.lsf ? (nch == 1 ? 9 : 17) : (nch == 1 ? 17 : 32);
  const int start = 4 + (info.crc ? 2 : 0);
  if (start + sideBytes > info.frameBytes) return false;
  TMpegBitReader br(frame + start, sideBytes);
  const int ngr = info.lsf ? 1 : 2;
  if (info.lsf) {
    mainDataBegin = int(br.Get(8));
    br.Skip(nch == 1 ? 1 : 2);
  } else {
    mainDataBegin = int(br.Get(9));
    br.Skip(nch == 1 ? 5 : 3);
    for (int ch = 0; ch < nch; ++ch)
      for (int b = 0; b < 4; ++b) scfsi[ch][b] = int(br.Get(1));
  }
  bool ok = true;
  for (int g = 0; g < ngr; ++g) {
    for (int ch = 0; ch < nch; ++ch) {
      TGranule& x = gr[g][ch];
      x = TGranule{};
      x.part23Length = int(br.Get(12));
      x.bigValues = int(br.Get(9));
      x.globalGain = int(br.Get(8));
      x.scalefacCompress = int(br.Get(info.lsf ? 9 : 4));
      x.windowSwitching = br.Bit();
      if (x.windowSwitching) {
        x.blockType = int(br.Get(2));
        x.mixed = br.Bit();
        x.tableSelect[0] = int(br.Get(5));
        x.tableSelect[1] = int(br.Get(5));
        for (int w = 0; w < 3; ++w) x.subblockGain[w] = int(br.Get(3));
        x.region0Count = (x.blockType == 2 && !x.mixed) ? 8 : 7;
        x.region1Count = 20 - x.region0Count;
        if (x.blockType == 0) ok = false;  // reserved combination
      } else {
        for (int r = 0; r < 3; ++r) x.tableSelect[r] = int(br.Get(5));
        x.region0Count = int(br.Get(4));
        x.region1Count = int(br.Get(3));
      }
      if (!info.lsf) {
        x.preflag = br.Bit();
      } else {
        // MPEG-2 signals pre-emphasis through scalefac_compress 500..511, except
        // on the right channel of intensity stereo, whose values mean other things.
        const bool intensityRight = ch == 1 && info.mode == 1 && (info.modeExtension & 1);
        x.preflag = !intensityRight && x.scalefacCompress >= 500;
      }
      x.scalefacScale = int(br.Get(1));
      x.count1Table = int(br.Get(1));
      if (x.bigValues > 288) ok = false;
    }
  }
  return ok;
}

void TMpegLayer3::ReadScaleFactorsMpeg1(TMpegBitReader& br, const TGranule& g, int ch, int gr, const int* scfsi) {
  TScale& sc = scale_[ch];
  const int slen1 = kSlen[0][g.scalefacCompress];
  const int slen2 = kSlen[1][g.scalefacCompress];
  sc.intensityScale = 0;
  if (g.windowSwitching && g.blockType == 2) {
    int sfb = 0;
    if (g.mixed) {
      for (; sfb < 8; ++sfb) sc.l[sfb] = int(br.Get(slen1));
      for (int s = 3; s < 6; ++s)
        for (int w = 0; w < 3; ++w) sc.s[s][w] = int(br.Get(slen1));
    } else {
      for (int s = 0; s < 6; ++s)
        for (int w = 0; w < 3; ++w) sc.s[s][w] = int(br.Get(slen1));
    }
    for (int s = 6; s < 12; ++s)
      for (int w = 0; w < 3; ++w) sc.s[s][w] = int(br.Get(slen2));
    for (int w = 0; w < 3; ++w) sc.s[12][w] = 0;
  } else {
    static const int kGroups[5] = {0, 6, 11, 16, 21};
    for (int grp = 0; grp < 4; ++grp) {
      const int slen = grp < 2 ? slen1 : slen2;
      if (gr == 1 && scfsi[grp]) continue;  // kept from granule 0
      for (int s = kGroups[grp]; s < kGroups[grp + 1]; ++s) sc.l[s] = int(br.Get(slen));
    }
    sc.l[21] = 0;
  }
  for (int s = 0; s < 22; ++s) sc.lMax[s] = 7;
  for (int s = 0; s < 13; ++s)
    for (int w = 0; w < 3; ++w) sc.sMax[s][w] = 7;
}

void TMpegLayer3::ReadScaleFactorsLsf(TMpegBitReader& br, const TGranule& g, int ch, bool intensityRight) {
  TScale& sc = scale_[ch];
  int sfc = g.scalefacCompress;
  int slen[4] = {0, 0, 0, 0};
  int table;
  if (!intensityRight) {
    if (sfc < 400) {
      slen[0] = (sfc >> 4) / 5; slen[1] = (sfc >> 4) % 5; slen[2] = (sfc & 15) >> 2; slen[3] = sfc & 3;
      table = 0;
    } else if (sfc < 500) {
      sfc -= 400;
      slen[0] = (sfc >> 2) / 5; slen[1] = (sfc >> 2) % 5; slen[2] = sfc & 3;
      table = 1;
    } else {
      sfc -= 500;
      slen[0] = sfc / 3; slen[1] = sfc % 3;
      table = 2;
    }
    sc.intensityScale = 0;
  } else {
    sc.intensityScale = sfc & 1;
    int s = sfc >> 1;
    if (s < 180) {
      slen[0] = s / 36; slen[1] = (s % 36) / 6; slen[2] = (s % 36) % 6;
      table = 3;
    } else if (s < 244) {
      s -= 180;
      slen[0] = (s & 63) >> 4; slen[1] = (s & 15) >> 2; slen[2] = s & 3;
      table = 4;
    } else {
      s -= 244;
      slen[0] = s / 3; slen[1] = s % 3;
      table = 5;
    }
  }
  const int kind = (g.windowSwitching && g.blockType == 2) ? (g.mixed ? 2 : 1) : 0;
  int vals[54], maxv[54];
  int n = 0;
  for (int grp = 0; grp < 4; ++grp) {
    for (int k = 0; k < kLsfBandCounts[table][kind][grp]; ++k) {
      vals[n] = int(br.Get(slen[grp]));
      maxv[n] = (1 << slen[grp]) - 1;
      ++n;
    }
  }
  for (; n < 54; ++n) vals[n] = 0, maxv[n] = 0;
  if (kind == 0) {
    for (int s = 0; s < 21; ++s) sc.l[s] = vals[s], sc.lMax[s] = maxv[s];
    sc.l[21] = 0;
    sc.lMax[21] = sc.lMax[20];
  } else {
    int k = 0;
    int firstShort = 0;
    if (kind == 2) {
      for (int s = 0; s < 6; ++s) sc.l[s] = vals[k], sc.lMax[s] = maxv[k], ++k;
      firstShort = 3;
    }
    for (int s = firstShort; s < 12; ++s)
      for (int w = 0; w < 3; ++w) sc.s[s][w] = vals[k], sc.sMax[s][w] = maxv[k], ++k;
    for (int w = 0; w < 3; ++w) sc.s[12][w] = 0, sc.sMax[12][w] = sc.sMax[11][w];
  }
}

bool TMpegLayer3::DecodeSpectrum(TMpegBitReader& br, int64_t end, const TGranule& g, const TFrameInfo& info, int ch) {
  const TLayer3Tables& t = Tables();
  const TMpegHuffman& huff = TMpegHuffman::Get();
  const TBandTable& bands = kBands[info.rateSlot];
  int values[576 + 4];
  int region1, region2;
  if (g.windowSwitching && g.blockType == 2) {
    // Short blocks, mixed or not: the first region ends at short band 3 (36
    // lines; 72 at 8 kHz), not at long band 8, which lies beyond it below 32 kHz.
    region1 = bands.shortBounds[3] * 3;
    region2 = 576;
  } else if (g.windowSwitching) {
    region1 = bands.longBounds[8];
    region2 = 576;
  } else {
    region1 = bands.longBounds[std::min(g.region0Count + 1, 22)];
    region2 = bands.longBounds[std::min(g.region0Count + g.region1Count + 2, 22)];
  }
  const int bigEnd = std::min(g.bigValues * 2, 576);
  region1 = std::min(region1, bigEnd);
  region2 = std::min(std::max(region2, region1), bigEnd);
  const int regionEnd[3] = {region1, region2, bigEnd};
  // The main data sit in the reservoir with 16 zero bytes behind them, so
  // 8 bytes can always be loaded at any position up to the granule's end.
  const uint8_t* data = br.Data();
  int64_t pos = br.Position();
  auto peek = [data](int64_t at) {
    uint64_t w;
    std::memcpy(&w, data + (at >> 3), 8);
#if defined(__GNUC__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    w = __builtin_bswap64(w);
#else
    const uint8_t* q = data + (at >> 3);
    w = 0;
    for (int k = 0; k < 8; ++k) w = (w << 8) | q[k];
#endif
    return w << (at & 7);  // the top 57 bits are valid
  };
  bool ok = true;
  int i = 0;
  for (int r = 0; r < 3 && ok; ++r) {
    const THuffTable& ht = huff.Pair(g.tableSelect[r]);
    if (!ht.present) {
      for (; i < regionEnd[r]; ++i) values[i] = 0;
      continue;
    }
    const int linbits = ht.linbits;
    const int root = ht.rootBits;
    const THuffEntry* entries = ht.entries.data();
    while (i < regionEnd[r]) {
      // One load covers the longest pair: 19 code bits, 2 x (13 linbits + sign).
      uint64_t w = peek(pos);
      const THuffEntry* e = &entries[w >> (64 - root)];
      if (e->subBits) e = &entries[e->value + ((w << root) >> (64 - e->subBits))];
      if (e->length == 0) {
        ok = false;
        break;
      }
      int used = e->length;
      w <<= e->length;
      int x = e->value >> 4, y = e->value & 15;
      if (linbits && x == 15) {
        x += int(w >> (64 - linbits));
        w <<= linbits;
        used += linbits;
      }
      // Sign bits are random: take them without branches.
      {
        const int nx = x != 0;
        const int neg = int(w >> 63) & nx;
        x = (x ^ -neg) + neg;
        w <<= nx;
        used += nx;
      }
      if (linbits && y == 15) {
        y += int(w >> (64 - linbits));
        w <<= linbits;
        used += linbits;
      }
      {
        const int ny = y != 0;
        const int neg = int(w >> 63) & ny;
        y = (y ^ -neg) + neg;
        used += ny;
      }
      pos += used;
      if (pos > end) {
        ok = false;
        break;
      }
      values[i++] = x;
      values[i++] = y;
    }
  }
  // Count-1 region: quadruples until the granule's bits are used up.
  const THuffTable& qa = huff.QuadA();
  while (ok && i + 4 <= 576 && pos < end) {
    uint64_t w = peek(pos);
    int sym, used;
    if (g.count1Table) {
      sym = 15 - int(w >> 60);
      used = 4;
    } else {
      const THuffEntry& e = qa.entries[w >> (64 - qa.rootBits)];
      sym = e.value;
      used = e.length;
    }
    w <<= used;
    int q[4] = {(sym >> 3) & 1, (sym >> 2) & 1, (sym >> 1) & 1, sym & 1};
    for (int k = 0; k < 4; ++k) {
      const int n = q[k];
      const int neg = int(w >> 63) & n;
      q[k] = (n ^ -neg) + neg;
      w <<= n;
      used += n;
    }
    pos += used;
    if (pos > end) break;  // the last quadruple ran past the granule: drop it
    for (int k = 0; k < 4; ++k) values[i++] = q[k];
  }
  br.SetPosition(pos);
  if (!ok) i = 0;  // damaged data: this granule of this channel plays as silence
  int nz = i;
  while (nz > 0 && values[nz - 1] == 0) --nz;
  nonzero_[ch] = nz;

  // Requantisation: xr = sign * |v|^(4/3) * 2^(gain exponent / 4).
  float* xr = xr_[ch];
  std::memset(xr, 0, sizeof(xr_[ch]));
  const TScale& sc = scale_[ch];
  const int sfShift = g.scalefacScale ? 4 : 2;  // quarter steps per scale-factor unit
  const int base = g.globalGain - 210;
  auto requant = [&](int from, int to, int exponent) {
    to = std::min(to, nz);
    exponent = std::clamp(exponent, -kGainOffset, 63);
    const float scale = t.pow2q[exponent + kGainOffset];
    const float* p43 = t.pow43 + 8206;
    for (int k = from; k < to; ++k) xr[k] = p43[values[k]] * scale;
  };
  const bool shortBlocks = g.windowSwitching && g.blockType == 2;
  int longEnd = shortBlocks ? (g.mixed ? 36 : 0) : 576;
  for (int sfb = 0; sfb < 22 && bands.longBounds[sfb] < longEnd && bands.longBounds[sfb] < nz; ++sfb) {
    const int from = bands.longBounds[sfb];
    const int to = std::min<int>(bands.longBounds[sfb + 1], longEnd);
    const int pre = g.preflag ? kPretab[sfb] : 0;
    requant(from, to, base - sfShift * (sc.l[sfb] + pre));
  }
  if (shortBlocks) {
    for (int sfb = g.mixed ? 3 : 0; sfb < 13; ++sfb) {
      const int width = bands.shortBounds[sfb + 1] - bands.shortBounds[sfb];
      const int start = bands.shortBounds[sfb] * 3;
      if (start >= nz) break;
      for (int w = 0; w < 3; ++w) {
        const int from = start + w * width;
        requant(from, from + width, base - 8 * g.subblockGain[w] - sfShift * sc.s[sfb][w]);
      }
    }
  }
  return ok;
}

void TMpegLayer3::Stereo(const TFrameInfo& info, const TGranule& right) {
  const TLayer3Tables& t = Tables();
  const TBandTable& bands = kBands[info.rateSlot];
  float* l = xr_[0];
  float* r = xr_[1];
  const bool ms = (info.modeExtension & 2) != 0;
  const bool is = (info.modeExtension & 1) != 0;
  const int nzMax = std::max(nonzero_[0], nonzero_[1]);
  auto midSide = [&](int from, int to) {
    for (int k = from; k < to; ++k) {
      const float m = l[k], s = r[k];
      l[k] = (m + s) * kInvSqrt2;
      r[k] = (m - s) * kInvSqrt2;
    }
  };
  if (!is) {
    if (ms) midSide(0, nzMax);
    nonzero_[0] = nonzero_[1] = nzMax;
    return;
  }
  const TScale& sc = scale_[1];
  // Applies intensity stereo to [from, to) with position pos, or falls back to M/S.
  auto intensity = [&](int from, int to, int pos, int maxPos) {
    bool legal;
    float kl, kr;
    if (info.lsf) {
      legal = pos != maxPos;
      const int p = std::min(pos, 31);
      kl = t.lsfIs[sc.intensityScale][p][0];
      kr = t.lsfIs[sc.intensityScale][p][1];
    } else {
      legal = pos < 7;
      kl = legal ? t.isRatioL[pos] : 0.0f;
      kr = legal ? t.isRatioR[pos] : 0.0f;
    }
    if (!legal) {
      if (ms) midSide(from, to);
      return;
    }
    for (int k = from; k < to; ++k) {
      const float v = l[k];
      l[k] = v * kl;
      r[k] = v * kr;
    }
  };
  const bool shortBlocks = right.windowSwitching && right.blockType == 2;
  int shortStartSfb = 13;  // first short band of the short part
  if (shortBlocks) {
    shortStartSfb = right.mixed ? 3 : 0;
    bool shortPartSilent = true;
    for (int w = 0; w < 3; ++w) {
      // Last band of this window holding a nonzero right-channel value.
      int isStart = shortStartSfb;
      for (int sfb = 12; sfb >= shortStartSfb; --sfb) {
        const int width = bands.shortBounds[sfb + 1] - bands.shortBounds[sfb];
        const int from = bands.shortBounds[sfb] * 3 + w * width;
        bool any = false;
        for (int k = from; k < from + width; ++k)
          if (r[k] != 0.0f) { any = true; break; }
        if (any) { isStart = sfb + 1; break; }
      }
      if (isStart > shortStartSfb) shortPartSilent = false;
      for (int sfb = shortStartSfb; sfb < 13; ++sfb) {
        const int width = bands.shortBounds[sfb + 1] - bands.shortBounds[sfb];
        const int from = bands.shortBounds[sfb] * 3 + w * width;
        if (sfb < isStart) {
          if (ms) midSide(from, from + width);
        } else {
          const int s = sfb == 12 ? 11 : sfb;
          intensity(from, from + width, sc.s[s][w], sc.sMax[s][w]);
        }
      }
    }
    if (right.mixed) {
      // Long part (below 36): intensity only where the whole short part is silent in the right channel.
      int last = 0;
      for (int k = 0; k < 36; ++k)
        if (r[k] != 0.0f) last = k + 1;
      for (int sfb = 0; sfb < 22 && bands.longBounds[sfb] < 36; ++sfb) {
        const int from = bands.longBounds[sfb], to = std::min<int>(bands.longBounds[sfb + 1], 36);
        if (!shortPartSilent || from < last) {
          if (ms) midSide(from, to);
        } else {
          intensity(from, to, sc.l[sfb], sc.lMax[sfb]);
        }
      }
    }
  } else {
    const int nzRight = nonzero_[1];
    for (int sfb = 0; sfb < 22; ++sfb) {
      const int from = bands.longBounds[sfb], to = bands.longBounds[sfb + 1];
      if (from < nzRight) {  // the band holds right-channel values: no intensity
        if (ms) midSide(from, to);
      } else {
        const int s = sfb == 21 ? 20 : sfb;
        intensity(from, to, sc.l[s], sc.lMax[s]);
      }
    }
  }
  nonzero_[0] = nonzero_[1] = 576;
}

void TMpegLayer3::Hybrid(const TGranule& g, int ch, float (*out)[32]) {
  const TLayer3Tables& t = Tables();
  float* xr = xr_[ch];
  const bool shortBlocks = g.windowSwitching && g.blockType == 2;
  const int nz = nonzero_[ch];

  if (shortBlocks) {
    // Reorder the short part into window-major order inside each subband:
    // subband sb holds window w's six lines at sb * 18 + w * 6.
    const TBandTable& bands = kBands[currentSlot_];
    float tmp[576];
    const int firstSfb = g.mixed ? 3 : 0;
    std::memcpy(tmp, xr, sizeof(tmp));
    for (int sfb = firstSfb; sfb < 13; ++sfb) {
      const int width = bands.shortBounds[sfb + 1] - bands.shortBounds[sfb];
      for (int w = 0; w < 3; ++w) {
        const int src = bands.shortBounds[sfb] * 3 + w * width;
        for (int j = 0; j < width; ++j) {
          const int f = bands.shortBounds[sfb] + j;
          xr[(f / 6) * 18 + w * 6 + f % 6] = tmp[src + j];
        }
      }
    }
  }

  // Alias reduction between long subbands (only the first two of a mixed block).
  const int limit = shortBlocks ? (g.mixed ? 2 : 0) : std::min(32, (nz + 17) / 18 + 1);
  for (int sb = 1; sb < limit && sb < 32; ++sb) {
    float* a = xr + 18 * sb - 1;
    float* b = xr + 18 * sb;
    for (int i = 0; i < 8; ++i) {
      const float u = a[-i], d = b[i];
      a[-i] = u * t.cs[i] - d * t.ca[i];
      b[i] = d * t.cs[i] + u * t.ca[i];
    }
  }
  const int activeSubbands = shortBlocks ? 32 : std::min(32, (nz + 17) / 18 + 1);

  for (int sb = 0; sb < 32; ++sb) {
    float* ov = overlap_[ch][sb];
    float res[18];
    if (sb >= activeSubbands) {
      for (int i = 0; i < 18; ++i) {
        res[i] = ov[i];
        ov[i] = 0.0f;
      }
    } else {
      const float* x = xr + 18 * sb;
      float z[36];
      const bool longHere = !shortBlocks || (g.mixed && sb < 2);
      if (longHere) {
        // Even and odd k summed apart: two independent chains per output.
        alignas(16) float y[20], y1[20];
        for (int rr = 0; rr < 20; ++rr) {
          y[rr] = t.imdct36[0][rr] * x[0];
          y1[rr] = t.imdct36[1][rr] * x[1];
        }
        for (int k = 2; k < 18; k += 2) {
          const float x0 = x[k], x1 = x[k + 1];
          const float* m0 = t.imdct36[k];
          const float* m1 = t.imdct36[k + 1];
          for (int rr = 0; rr < 20; ++rr) {
            y[rr] += m0[rr] * x0;
            y1[rr] += m1[rr] * x1;
          }
        }
        for (int rr = 0; rr < 20; ++rr) y[rr] += y1[rr];
        for (int i = 0; i < 9; ++i) {
          z[i] = y[i];
          z[17 - i] = -y[i];
          z[18 + i] = y[9 + i];
          z[35 - i] = y[9 + i];
        }
        // The mixed flag sets the normal window on the two lowest subbands of
        // any switched block: start and stop blocks too, as the standard's
        // decoding process reads it, not only short ones.
        const int bt = shortBlocks || (g.windowSwitching && g.mixed && sb < 2) ? 0 : g.blockType;
        const float* win = t.window[bt];
        for (int i = 0; i < 18; ++i) {
          res[i] = z[i] * win[i] + ov[i];
          ov[i] = z[18 + i] * win[18 + i];
        }
      } else {
        for (int i = 0; i < 36; ++i) z[i] = 0.0f;
        for (int w = 0; w < 3; ++w) {
          const float* xw = x + 6 * w;
          for (int i = 0; i < 12; ++i) {
            float s = 0.0f;
            for (int k = 0; k < 6; ++k) s += xw[k] * t.imdct12[k][i];
            z[6 + 6 * w + i] += s * t.window[2][i];
          }
        }
        for (int i = 0; i < 18; ++i) {
          res[i] = z[i] + ov[i];
          ov[i] = z[18 + i];
        }
      }
    }
    // Frequency inversion of odd subbands, then hand over per time slot.
    if (sb & 1)
      for (int i = 1; i < 18; i += 2) res[i] = -res[i];
    for (int i = 0; i < 18; ++i) out[i][sb] = res[i];
  }
}

bool TMpegLayer3::Decode(const TFrameInfo& info, const uint8_t* frame, float (*subbands)[36][32]) {
  const int nch = info.channels;
  currentSlot_ = info.rateSlot;
  int mainDataBegin = 0;
  TGranule gr[2][2];
  int scfsi[2][4] = {};
  const bool sideOk = ReadSideInfo(info, frame, mainDataBegin, gr, scfsi);
  const int sideBytes = info.lsf ? (nch == 1 ? 9 : 17) : (nch == 1 ? 17 : 32);
  const int mainStart = 4 + (info.crc ? 2 : 0) + sideBytes;
  const int mainBytes = info.frameBytes - mainStart;
  if (mainBytes < 0) return false;

  // Keep at most the reservoir depth the syntax can reference, then append this frame.
  const int maxBack = info.lsf ? 255 : 511;
  const int keep = std::min(reservoirBytes_, maxBack);
  if (keep > 0) std::memmove(reservoir_, reservoir_ + reservoirBytes_ - keep, keep);
  const int room = int(sizeof(reservoir_)) - 16 - keep;
  const int take = std::min(mainBytes, room);
  std::memcpy(reservoir_ + keep, frame + mainStart, take);
  reservoirBytes_ = keep + take;
  std::memset(reservoir_ + reservoirBytes_, 0, 16);
  if (!sideOk) return false;

  const int ngr = info.lsf ? 1 : 2;
  const bool haveData = mainDataBegin <= keep;
  TMpegBitReader br;
  if (haveData) br.Reset(reservoir_ + keep - mainDataBegin, reservoirBytes_ - (keep - mainDataBegin));
  int64_t pos = 0;
  const int64_t total = br.SizeBits();
  for (int g = 0; g < ngr; ++g) {
    for (int ch = 0; ch < nch; ++ch) {
      const TGranule& x = gr[g][ch];
      const int64_t end = pos + x.part23Length;
      bool ok = haveData && end <= total;
      if (ok) {
        br.SetPosition(pos);
        if (info.lsf) ReadScaleFactorsLsf(br, x, ch, ch == 1 && (info.modeExtension & 1) && info.mode == 1);
        else ReadScaleFactorsMpeg1(br, x, ch, g, scfsi[ch]);
        ok = br.Position() <= end && DecodeSpectrum(br, end, x, info, ch);
      }
      if (!ok) {
        std::memset(xr_[ch], 0, sizeof(xr_[ch]));
        nonzero_[ch] = 0;
      }
      pos = end;
    }
    if (nch == 2 && info.mode == 1) Stereo(info, gr[g][1]);
    for (int ch = 0; ch < nch; ++ch) Hybrid(gr[g][ch], ch, &subbands[ch][g * 18]);
  }
  return true;
}

}  // namespace zonda::mpeg
