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
// running count (a tangent each time), not every frame.
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
  static const TParameterSpec kSpecs[4];
  static constexpr int32_t kStages = 4;
  static constexpr int32_t kCoefficientFrames = 16;
  static constexpr float kLowestHz = 200.0f;
  static constexpr float kHighestHz = 4000.0f;

  TPhaser();

 protected:
  void Reset() noexcept override;
  void Render(int16_t* block, int32_t frames, double tempoBpm) noexcept override;

 private:
  struct Channel {
    std::array<float, kStages> state{};
    float last = 0.0f;  // the chain's previous output, for the feedback
  };
  float Phase(Channel& channel, float input, float coefficient, float feedback) noexcept;

  std::array<Channel, 2> channels_{};
  TLfo lfo_;
  uint32_t frameCount_ = 0;
  float coefficientL_ = 0.0f;
  float coefficientR_ = 0.0f;
  TSmoothedValue feedback_;
  TSmoothedValue mix_;
};

}  // namespace zonda::fx
