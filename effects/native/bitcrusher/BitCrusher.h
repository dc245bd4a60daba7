#pragma once
// TBitCrusher ("Bit Crusher"): each sample is rounded to `Bits` bits (steps of
// 2^(16 - Bits), silence staying silence; the top step is held to 32767) and
// held for `Downsample` frames, for the grit of early samplers. It works on
// the 16-bit samples directly: no float state, nothing to decay.
//
// Threads: as TNativeEffect.
#include <array>
#include <cstdint>

#include "effects/native/NativeEffect.h"

namespace zonda::fx {

class TBitCrusher : public TNativeEffect {
 public:
  static constexpr const char* kName = "Bit Crusher";
  enum Parameter { kBits, kDownsample };
  static const TParameterInfo kParameterInfo[2];

  TBitCrusher();

  // x rounded to `bits` (1..16) bits, saturated.
  static int16_t Crush(int16_t x, int32_t bits) noexcept;

 protected:
  void Reset() noexcept override;
  void Render(int16_t* block, int32_t frames, double tempoBpm) noexcept override;

 private:
  int32_t heldFrames_ = 0;  // frames since the held pair was taken
  std::array<int16_t, 2> held_{};
};

}  // namespace zonda::fx
