#pragma once
// TPhaser ("Phaser"): each channel runs through four first-order all-pass
// stages whose common break frequency a sine at `Rate` sweeps between 200 Hz
// and up to 4 kHz (the span grows with `Depth`, exponentially, as the ear
// hears pitch). Summed with the dry signal the chain's phase turn cuts two
// notches that move with the sweep; `Feedback` deepens them into peaks.
// `Mix` 1 is half dry, half phased. The right channel's sweep runs a quarter
// turn ahead.
//
// The break frequency is recomputed every kCoefficientFrames frames of a
// running count, not every frame. Both channels run side by side in the
// lanes of one vector: the chain is serial within a frame (and across
// frames, through the feedback), so the two channels are the parallelism.
//
// Threads: as TNativeEffect.
#include <array>
#include <cstdint>

#include "effects/native/Lfo.h"
#include "effects/native/NativeEffect.h"
#include "effects/native/SmoothedValue.h"

namespace zonda::fx {

class TPhaser : public TNativeEffect {
 public:
  static constexpr const char* kName = "Phaser";
  enum Parameter { kRate, kDepth, kFeedback, kMix };
  static const TParameterInfo kParameterInfo[4];
  static constexpr int32_t kStages = 4;
  static constexpr int32_t kCoefficientFrames = 16;
  static constexpr float kLowestHz = 200.0f;
  static constexpr float kHighestHz = 4000.0f;

  TPhaser();

 protected:
  void Reset() noexcept override;
  void Render(int16_t* block, int32_t frames, double tempoBpm) noexcept override;

 private:
  // Lane 0 left, lane 1 right (lanes 2 and 3 idle).
  using Lanes = float __attribute__((vector_size(16)));

  std::array<Lanes, kStages> state_{};
  Lanes last_{};  // the chain's previous output, for the feedback
  Lanes coefficient_{};
  TLfo lfo_;
  uint32_t frameCount_ = 0;
  TSmoothedValue feedback_;
  TSmoothedValue mix_;
};

}  // namespace zonda::fx
