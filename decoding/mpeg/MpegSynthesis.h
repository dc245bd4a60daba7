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
  // PCM samples at 16-bit scale (not yet rounded or clipped).
  void Run(int channel, const float (*subbands)[32], int slots, float* out);

  // Rounds to nearest, clips to 16 bits and interleaves: mono (right null) or stereo.
  static void ToPcm16(const float* left, const float* right, int samples, int16_t* out);

 private:
  // One slot: the 32 DCT outputs x into the channel's history, 32 samples out.
  void Window(int channel, const float* x, float* out);

  alignas(16) float history_[2][2048];
  int offset_[2];
};

}  // namespace zonda::mpeg
