#include "effects/native/bitcrusher/BitCrusher.h"

namespace zonda::fx {

const TParameterInfo TBitCrusher::kParameterInfo[2] = {
    {"Bits", "bits", 1.0f, 16.0f, 8.0f, TParameterScale::Steps, {}},
    {"Downsample", "", 1.0f, 32.0f, 1.0f, TParameterScale::Steps, {}},
};

TBitCrusher::TBitCrusher() : TNativeEffect(kParameterInfo) {}

int16_t TBitCrusher::Crush(int16_t x, int32_t bits) noexcept {
  if (bits >= 16) return x;
  const int32_t shift = 16 - (bits < 1 ? 1 : bits);
  const int32_t rounded = ((static_cast<int32_t>(x) + (1 << (shift - 1))) >> shift) << shift;
  return static_cast<int16_t>(rounded > 32767 ? 32767 : rounded);
}

void TBitCrusher::Reset() noexcept {
  heldFrames_ = 0;
  held_ = {};
}

void TBitCrusher::Render(int16_t* block, int32_t frames, double) noexcept {
  const int32_t bits = Parameters().Index(kBits);
  const int32_t hold = Parameters().Index(kDownsample);
  for (int32_t i = 0; i < frames; ++i) {
    int16_t* frame = block + 2 * i;
    if (heldFrames_ == 0) {
      held_[0] = Crush(frame[0], bits);
      held_[1] = Crush(frame[1], bits);
    }
    if (++heldFrames_ >= hold) heldFrames_ = 0;
    frame[0] = held_[0];
    frame[1] = held_[1];
  }
}

}  // namespace zonda::fx
