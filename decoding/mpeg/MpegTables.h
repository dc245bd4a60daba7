#pragma once
// Constant tables of the MPEG audio standards (ISO/IEC 11172-3, 13818-3 and
// the MPEG-2.5 extension) used by the decoding core. Internal to the core.
#include <cstdint>

namespace zonda::mpeg {

// [version: 0 MPEG-1, 1 MPEG-2/2.5][layer 1..3 as index 0..2][bitrate index] in kbit/s.
extern const int16_t kBitrateKbps[2][3][16];
// [version: 0 MPEG-1, 1 MPEG-2, 2 MPEG-2.5][sample-rate index].
extern const int32_t kSampleRateHz[3][3];

// Scale-factor band boundaries of layer III, per sample-rate slot
// 0..8 = 44.1, 48, 32 (MPEG-1), 22.05, 24, 16 (MPEG-2), 11.025, 12, 8 kHz (MPEG-2.5).
struct TBandTable {
  int16_t longBounds[23];   // 22 long bands
  int16_t shortBounds[14];  // 13 short bands (per window)
};
extern const TBandTable kBands[9];

extern const uint8_t kPretab[22];
// MPEG-1 scalefac_compress -> (slen1, slen2).
extern const uint8_t kSlen[2][16];
// MPEG-2 numbers of scale factors per slen group: [table 0..5][block kind: long, short, mixed][group].
extern const uint8_t kLsfBandCounts[6][3][4];

// ISO synthesis window D[0..256] times 65536; D[512-i] follows by symmetry.
extern const int32_t kSynthesisWindowHalf[257];

// Layer II bit allocation: one table per subband range.
struct TLayer2Table {
  int sblimit;
  // Per subband: number of allocation bits, and index into kLayer2Classes rows.
  const uint8_t* nbal;
  const uint8_t* rows;
};
// Quantisation classes per row: [row][allocation] = steps (0 = none).
extern const uint16_t kLayer2Steps[6][16];
extern const TLayer2Table kLayer2Tables[5];  // a, b, c, d (MPEG-1), LSF

}  // namespace zonda::mpeg
