#pragma once
// TReverb ("Reverb"): a feedback delay network. The mono sum of the input is
// smeared by four series all-passes, then fed into eight delay lines (24 to
// 52 ms, lengths without common factors so their echoes never line up) whose
// outputs are mixed back by an 8 x 8 Householder reflection (I - 2/8 J,
// lossless, one sum per frame instead of 64 products). Each line loses
// exactly enough per pass for the tail to fall 60 dB in `Decay` seconds,
// and a one-pole low-pass in each loop (`Damping`) makes highs die sooner,
// as in a real room. Left and right take the lines with two orthogonal sign
// patterns, so the tail is wide. The tail is added to the dry signal at `Mix`.
//
// Chosen over a comb-and-all-pass (Schroeder/Freeverb) design: sixteen combs
// and eight all-passes per stereo frame cost about twice as much for a
// similar density. The lines share one block of memory and one write
// position, so a frame's reads and writes are fixed offsets and the
// arithmetic across the eight lines vectorises.
//
// Threads: as TNativeEffect. All delay lines are made in the constructor.
#include <array>
#include <cstdint>
#include <vector>

#include "effects/native/NativeEffect.h"
#include "effects/native/SmoothedValue.h"

namespace zonda::fx {

class TReverb : public TNativeEffect {
 public:
  static constexpr const char* kName = "Reverb";
  enum Parameter { kDecay, kDamping, kMix };
  static const TParameterInfo kParameterInfo[3];
  static constexpr int32_t kLines = 8;
  static constexpr std::array<int32_t, kLines> kLineFrames = {1069, 1259, 1427, 1613, 1777, 1951, 2113, 2297};
  static constexpr int32_t kDiffusers = 4;
  static constexpr std::array<int32_t, kDiffusers> kDiffuserFrames = {142, 107, 379, 277};
  static constexpr float kDiffusion = 0.7f;
  // Ring sizes: powers of two above the longest line and diffuser. Rings lie
  // kLineStride apart, a cache line more than their size, so the eight writes
  // of a frame fall into different cache sets.
  static constexpr uint32_t kLineRing = 4096;
  static constexpr uint32_t kLineStride = kLineRing + 16;
  static constexpr uint32_t kDiffuserRing = 512;

  // Four lines side by side, one lane each.
  using Quad = float __attribute__((vector_size(16)));

  TReverb();

 protected:
  void Reset() noexcept override;
  void Render(int16_t* block, int32_t frames, double tempoBpm) noexcept override;

 private:
  void UpdateLoopGains(float decaySeconds, float damping) noexcept;

  std::vector<float> lines_;      // kLines rings of kLineRing frames, kLineStride apart
  std::vector<float> diffusers_;  // kDiffusers rings of kDiffuserRing frames
  uint32_t write_ = 0;            // the frame count, every ring's write position
  Quad lowPass_[2] = {};          // each line's damping state, four lines to a quad
  Quad loopGain_[2] = {};
  float damping_ = 0.0f;
  float gainsForDecay_ = -1.0f;
  float gainsForDamping_ = -1.0f;
  TSmoothedValue mix_;
};

}  // namespace zonda::fx
