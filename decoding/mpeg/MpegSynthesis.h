#pragma once
// The polyphase synthesis filter bank of ISO/IEC 11172-3 (subband samples to
// PCM), shared by all three layers. The matrixing is done with a fast
// 32-point DCT; the 512-tap window runs over a doubled history buffer so the
// inner loop is contiguous. Internal to the MPEG audio core.
#include <cstdint>

namespace zonda::mpeg {

class TMpegSynthesis {
 public:
  TMpegSynthesis();
  // Clears the history of both channels (at decoder initialisation).
  void Reset();
  // Turns `slots` blocks of 32 subband samples of one channel into 32 * slots
  // PCM samples, written to out[0], out[stride], ... as clipped 16-bit values.
  void Run(int channel, const float (*subbands)[32], int slots, int16_t* out, int stride);

 private:
  alignas(16) float history_[2][2048];
  int offset_[2];
};

}  // namespace zonda::mpeg
