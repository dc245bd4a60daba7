#pragma once
// TFlanger ("Flanger"): each channel is summed with a copy of itself delayed
// by 0.5 ms plus up to 6 ms x `Depth`, swept by a sine at `Rate`; the sum's
// comb notches move through the spectrum. `Feedback` sends the delayed copy
// back into the delay for sharper combs. `Mix` 1 is the classic half dry,
// half delayed; 0 is dry. The right channel's sweep runs a quarter turn
// ahead of the left's, for width.
//
// The sweep is evaluated every kSegmentFrames frames of a running count and
// the delays move in straight lines between those points: the same path to
// within a hundredth of a frame, at a fraction of the cost.
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
  static const TParameterInfo kParameterInfo[4];
  static constexpr double kMinDelayFrames = 0.0005 * 44100.0;
  static constexpr double kSweepFrames = 0.006 * 44100.0;
  static constexpr int32_t kSegmentFrames = 16;

  TFlanger();

 protected:
  void Reset() noexcept override;
  void Render(int16_t* block, int32_t frames, double tempoBpm) noexcept override;

 private:
  // Delays at the sweep's present point, with no step pending.
  void StartSweep() noexcept;

  TDelayLine left_;
  TDelayLine right_;
  TLfo lfo_;
  int32_t segmentLeft_ = 0;  // frames until the next point of the sweep
  double delayL_ = kMinDelayFrames, delayR_ = kMinDelayFrames;
  double stepL_ = 0.0, stepR_ = 0.0;
  TSmoothedValue depth_;
  TSmoothedValue feedback_;
  TSmoothedValue mix_;
};

}  // namespace zonda::fx
