#pragma once
// Layer III: side information, the bit reservoir, scale factors, Huffman
// decoding, requantisation, joint stereo (mid/side and intensity), reordering,
// alias reduction and the IMDCT with overlap; the result is subband samples
// for the synthesis filter bank. Holds the reservoir and the overlap, so it is
// part of the core's one process-wide state. Internal to the MPEG audio core.
#include <cstdint>

#include "decoding/mpeg/MpegFrameInfo.h"

namespace zonda::mpeg {

class TMpegLayer3 {
 public:
  TMpegLayer3();
  void Reset();
  // Decodes the frame (header included) into subbands[ch][slot][sb], 36 slots
  // for MPEG-1 and 18 for MPEG-2/2.5. False for a damaged frame (the state
  // stays consistent). A frame whose reservoir data are missing decodes as
  // silence and returns true.
  bool Decode(const TFrameInfo& info, const uint8_t* frame, float (*subbands)[36][32]);

 private:
  struct TGranule {
    int part23Length = 0, bigValues = 0, globalGain = 0, scalefacCompress = 0;
    bool windowSwitching = false, mixed = false, preflag = false;
    int blockType = 0, scalefacScale = 0, count1Table = 0;
    int tableSelect[3] = {}, subblockGain[3] = {}, region0Count = 0, region1Count = 0;
  };
  struct TScale {
    int l[22];         // long bands
    int s[13][3];      // short bands per window
    int lMax[22];      // largest legal value + 1 of the intensity position (MPEG-2)
    int sMax[13][3];
    int intensityScale;
  };

  bool ReadSideInfo(const TFrameInfo& info, const uint8_t* frame, int& mainDataBegin, TGranule (*gr)[2],
                    int (*scfsi)[4]);
  void ReadScaleFactorsMpeg1(class TMpegBitReader& br, const TGranule& g, int ch, int gr, const int* scfsi);
  void ReadScaleFactorsLsf(class TMpegBitReader& br, const TGranule& g, int ch, bool intensityRight);
  // Huffman decode + requantise into xr_[ch]; returns false when the data run past the granule.
  bool DecodeSpectrum(class TMpegBitReader& br, int64_t end, const TGranule& g, const TFrameInfo& info, int ch);
  void Stereo(const TFrameInfo& info, const TGranule& right);
  void Hybrid(const TGranule& g, int ch, float (*out)[32]);

  // Bit reservoir: the tail of previous frames' main data plus this frame's.
  alignas(16) uint8_t reservoir_[4096 + 16];
  int reservoirBytes_ = 0;
  TScale scale_[2];
  alignas(16) float xr_[2][576];
  int nonzero_[2] = {};  // samples beyond this index are zero
  int currentSlot_ = 0;  // band table of the frame being decoded
  alignas(16) float overlap_[2][32][18];
};

}  // namespace zonda::mpeg
