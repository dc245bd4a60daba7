#include "decoding/mpeg/MpegLayer12.h"

#include <cmath>
#include <cstring>

#include "decoding/mpeg/MpegBitReader.h"
#include "decoding/mpeg/MpegTables.h"

namespace zonda::mpeg {
namespace {

struct TLayer12Tables {
  float scale[64];  // 2^(1 - i/3); index 63 is not allowed and reads as 0
  TLayer12Tables() {
    for (int i = 0; i < 63; ++i) scale[i] = float(std::pow(2.0, 1.0 - i / 3.0));
    scale[63] = 0.0f;
  }
};
const TLayer12Tables& Tables() {
  static const TLayer12Tables t;
  return t;
}

// Requantised value of code c for a quantiser with `steps` levels.
inline float Dequantise(uint32_t c, int steps) { return (2.0f * float(c) - float(steps - 1)) / float(steps); }

int BitsForSteps(int steps) {
  int n = 0;
  while ((1 << n) < steps + 1) ++n;
  return n;
}

int JointBound(const TFrameInfo& info, int limit) {
  if (info.mode != 1) return limit;
  const int bound = 4 * (info.modeExtension + 1);
  return bound < limit ? bound : limit;
}

}  // namespace

bool DecodeLayer1(const TFrameInfo& info, const uint8_t* frame, float (*sb)[36][32]) {
  const TLayer12Tables& t = Tables();
  TMpegBitReader br(frame, info.frameBytes);
  br.Skip(32 + (info.crc ? 16 : 0));
  const int nch = info.channels;
  const int bound = JointBound(info, 32);
  int alloc[2][32];
  float scf[2][32];
  for (int s = 0; s < 32; ++s) {
    for (int ch = 0; ch < nch; ++ch) {
      if (ch == 0 || s < bound) alloc[ch][s] = int(br.Get(4));
      else alloc[ch][s] = alloc[0][s];
      if (alloc[ch][s] == 15) return false;
    }
  }
  for (int s = 0; s < 32; ++s)
    for (int ch = 0; ch < nch; ++ch) scf[ch][s] = alloc[ch][s] ? t.scale[br.Get(6)] : 0.0f;
  for (int slot = 0; slot < 12; ++slot) {
    for (int s = 0; s < 32; ++s) {
      if (s < bound) {
        for (int ch = 0; ch < nch; ++ch) {
          const int a = alloc[ch][s];
          if (!a) { sb[ch][slot][s] = 0.0f; continue; }
          const int nb = a + 1;
          sb[ch][slot][s] = Dequantise(br.Get(nb), (1 << nb) - 1) * scf[ch][s];
        }
      } else {
        const int a = alloc[0][s];
        if (!a) {
          for (int ch = 0; ch < nch; ++ch) sb[ch][slot][s] = 0.0f;
          continue;
        }
        const int nb = a + 1;
        const float v = Dequantise(br.Get(nb), (1 << nb) - 1);
        for (int ch = 0; ch < nch; ++ch) sb[ch][slot][s] = v * scf[ch][s];
      }
    }
  }
  return !br.Overrun();
}

bool DecodeLayer2(const TFrameInfo& info, const uint8_t* frame, float (*sb)[36][32]) {
  const TLayer12Tables& t = Tables();
  const int nch = info.channels;
  int tableIndex;
  if (info.lsf) {
    tableIndex = 4;
  } else {
    int bitrateKbps = info.bitrate / 1000;
    if (bitrateKbps == 0) bitrateKbps = int(int64_t(info.frameBytes) * info.sampleRate / 144 / 1000);
    const int perChannel = bitrateKbps / nch;
    if ((info.sampleRate == 48000 && perChannel >= 56) || (perChannel >= 56 && perChannel <= 80)) tableIndex = 0;
    else if (info.sampleRate != 48000 && perChannel >= 96) tableIndex = 1;
    else if (info.sampleRate != 32000 && perChannel <= 48) tableIndex = 2;
    else tableIndex = 3;
  }
  const TLayer2Table& table = kLayer2Tables[tableIndex];
  const int sblimit = table.sblimit;
  const int bound = JointBound(info, sblimit);

  TMpegBitReader br(frame, info.frameBytes);
  br.Skip(32 + (info.crc ? 16 : 0));
  int steps[2][32] = {};
  for (int s = 0; s < sblimit; ++s) {
    const int nbal = table.nbal[s];
    const uint16_t* row = kLayer2Steps[table.rows[s]];
    for (int ch = 0; ch < nch; ++ch) {
      if (ch == 0 || s < bound) steps[ch][s] = row[br.Get(nbal)];
      else steps[ch][s] = steps[0][s];
    }
  }
  int scfsi[2][32] = {};
  for (int s = 0; s < sblimit; ++s)
    for (int ch = 0; ch < nch; ++ch)
      if (steps[ch][s]) scfsi[ch][s] = int(br.Get(2));
  float scf[2][32][3] = {};
  for (int s = 0; s < sblimit; ++s) {
    for (int ch = 0; ch < nch; ++ch) {
      if (!steps[ch][s]) continue;
      float* f = scf[ch][s];
      switch (scfsi[ch][s]) {
        case 0: f[0] = t.scale[br.Get(6)]; f[1] = t.scale[br.Get(6)]; f[2] = t.scale[br.Get(6)]; break;
        case 1: f[0] = f[1] = t.scale[br.Get(6)]; f[2] = t.scale[br.Get(6)]; break;
        case 2: f[0] = f[1] = f[2] = t.scale[br.Get(6)]; break;
        default: f[0] = t.scale[br.Get(6)]; f[1] = f[2] = t.scale[br.Get(6)]; break;
      }
    }
  }
  for (int ch = 0; ch < nch; ++ch)
    for (int slot = 0; slot < 36; ++slot) std::memset(&sb[ch][slot][sblimit], 0, (32 - sblimit) * sizeof(float));

  for (int gr = 0; gr < 12; ++gr) {
    const int part = gr >> 2;
    for (int s = 0; s < sblimit; ++s) {
      const int chans = s < bound ? nch : 1;
      for (int ch = 0; ch < chans; ++ch) {
        const int n = steps[ch][s];
        float v[3];
        if (!n) {
          v[0] = v[1] = v[2] = 0.0f;
        } else if (n == 3 || n == 5 || n == 9) {
          // Three samples grouped in one code word.
          uint32_t code = br.Get(n == 3 ? 5 : n == 5 ? 7 : 10);
          for (int k = 0; k < 3; ++k) {
            uint32_t c = code % uint32_t(n);
            code /= uint32_t(n);
            v[k] = Dequantise(c, n);
          }
        } else {
          const int nb = BitsForSteps(n);
          for (int k = 0; k < 3; ++k) v[k] = Dequantise(br.Get(nb), n);
        }
        if (s < bound) {
          for (int k = 0; k < 3; ++k) sb[ch][gr * 3 + k][s] = v[k] * scf[ch][s][part];
        } else {
          for (int c2 = 0; c2 < nch; ++c2)
            for (int k = 0; k < 3; ++k) sb[c2][gr * 3 + k][s] = v[k] * scf[c2][s][part];
        }
      }
    }
  }
  return !br.Overrun();
}

}  // namespace zonda::mpeg
