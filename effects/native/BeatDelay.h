#pragma once
// TBeatDelay: the tempo-synced stereo delay behind "Echo" and "Ping-Pong
// Delay". The repeats come a fraction of a beat at the deck's tempo apart
// (gliding when the tempo changes, TBeatDelayTime), each `Feedback` times the
// one before, added to the dry signal at `Mix`. Straight, each channel repeats
// itself; crossed, the mono sum repeats on the left, one delay later on the
// right, then left again (the two lines feed each other crosswise).
//
// Threads: as TNativeEffect. The two 3-second delay lines are made in the
// constructor ("create").
#include <span>

#include "effects/native/BeatDelayTime.h"
#include "effects/native/DelayLine.h"
#include "effects/native/NativeEffect.h"
#include "effects/native/SmoothedValue.h"

namespace zonda::fx {

class TBeatDelay : public TNativeEffect {
 public:
  enum Parameter { kDelay, kFeedback, kMix };
  enum class TRouting { Straight, Crossed };

 protected:
  TBeatDelay(std::span<const TParameterInfo> infos, TRouting routing);
  void Reset() noexcept override;
  void Render(int16_t* block, int32_t frames, double tempoBpm) noexcept override;

 private:
  const TRouting routing_;
  TDelayLine left_;
  TDelayLine right_;
  TBeatDelayTime time_;
  TSmoothedValue feedback_;
  TSmoothedValue mix_;
};

}  // namespace zonda::fx
