#pragma once
// TEcho ("Echo"): each channel repeats after a fraction of a beat at the
// deck's tempo, each repeat `Feedback` times the one before, added to the dry
// signal at `Mix`. The delay follows tempo changes by gliding (TBeatDelayTime).
//
// Threads: as TNativeEffect. The two 3-second delay lines are made in the
// constructor ("create").
#include "effects/native/BeatDelayTime.h"
#include "effects/native/DelayLine.h"
#include "effects/native/NativeEffect.h"
#include "effects/native/SmoothedValue.h"

namespace zonda::fx {

class TEcho : public TNativeEffect {
 public:
  static constexpr const char* kName = "Echo";
  enum Parameter { kDelay, kFeedback, kMix };
  static const TParameterInfo kParameterInfo[3];

  TEcho();

 protected:
  void Reset() noexcept override;
  void Render(int16_t* block, int32_t frames, double tempoBpm) noexcept override;

 private:
  TDelayLine left_;
  TDelayLine right_;
  TBeatDelayTime time_;
  TSmoothedValue feedback_;
  TSmoothedValue mix_;
};

}  // namespace zonda::fx
