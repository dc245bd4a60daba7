#pragma once
// TPingPongDelay ("Ping-Pong Delay"): the mono sum of the input repeats after
// a fraction of a beat on the left, one more delay later on the right, then
// left again, each repeat `Feedback` times the one before, added to the dry
// signal at `Mix`. Two delay lines feed each other crosswise; the delay glides
// with the tempo as in TEcho.
//
// Threads: as TNativeEffect. The delay lines are made in the constructor.
#include "effects/native/BeatDelayTime.h"
#include "effects/native/DelayLine.h"
#include "effects/native/NativeEffect.h"
#include "effects/native/SmoothedValue.h"

namespace zonda::fx {

class TPingPongDelay : public TNativeEffect {
 public:
  static constexpr const char* kName = "Ping-Pong Delay";
  enum Parameter { kDelay, kFeedback, kMix };
  static const TParameterInfo kParameterInfo[3];

  TPingPongDelay();

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
