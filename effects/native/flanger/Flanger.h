#pragma once
// TFlanger ("Flanger"): each channel is summed with a copy of itself delayed
// by 0.5 ms plus up to 6 ms x `Depth`, swept by a sine at `Rate`; the sum's
// comb notches move through the spectrum. `Feedback` sends the delayed copy
// back into the delay for sharper combs. `Mix` 1 is the classic half dry,
// half delayed; 0 is dry. The right channel's sweep runs a quarter turn
// ahead of the left's, for width.
//
// Threads: as TNativeEffect.
#include "effects/native/DelayLine.h"
#include "effects/native/Lfo.h"
#include "effects/native/NativeEffect.h"
#include "effects/native/SmoothedValue.h"

namespace zonda::fx {

class TFlanger : public TNativeEffect {
 public:
  static constexpr const char* kName = "Flanger";
  enum Parameter { kRate, kDepth, kFeedback, kMix };
  static const TParameterSpec kSpecs[4];
  static constexpr double kMinDelayFrames = 0.0005 * 44100.0;
  static constexpr double kSweepFrames = 0.006 * 44100.0;

  TFlanger();

 protected:
  void Reset() noexcept override;
  void Render(int16_t* block, int32_t frames, double tempoBpm) noexcept override;

 private:
  TDelayLine left_;
  TDelayLine right_;
  TLfo lfo_;
  TSmoothedValue depth_;
  TSmoothedValue feedback_;
  TSmoothedValue mix_;
};

}  // namespace zonda::fx
