#pragma once
// TFilterSweep ("Filter Sweep"): a resonant two-pole low-pass whose cut-off
// rises and falls between `Lowest` and `Highest` once per `Period` beats at
// the deck's tempo (120 BPM when unknown or out of 40..300), exponentially,
// as the ear hears pitch. It starts at the top of the sweep, so switching it
// on does not muffle the deck at once. `Resonance` peaks the cut-off.
//
// Coefficients are recomputed every kCoefficientFrames frames of a running
// count; the state-variable form takes such steps without bursts.
//
// Threads: as TNativeEffect.
#include <cstdint>

#include "effects/native/Lfo.h"
#include "effects/native/NativeEffect.h"
#include "effects/native/StateVariableFilter.h"

namespace zonda::fx {

class TFilterSweep : public TNativeEffect {
 public:
  static constexpr const char* kName = "Filter Sweep";
  enum Parameter { kPeriod, kLowest, kHighest, kResonance };
  static const TParameterInfo kParameterInfo[4];
  static constexpr int32_t kCoefficientFrames = 16;

  TFilterSweep();

 protected:
  void Reset() noexcept override;
  void Render(int16_t* block, int32_t frames, double tempoBpm) noexcept override;

 private:
  TStateVariableFilter filter_;
  // Phase 0.25: the sine's top, the highest cut-off.
  TLfo lfo_{0.25};
  uint32_t frameCount_ = 0;
};

}  // namespace zonda::fx
