#pragma once
// TPingPongDelay ("Ping-Pong Delay"): the mono sum of the input repeats on the
// left, one delay later on the right, then left again (TBeatDelay, crossed).
#include "effects/native/BeatDelay.h"

namespace zonda::fx {

class TPingPongDelay : public TBeatDelay {
 public:
  static constexpr const char* kName = "Ping-Pong Delay";
  static const TParameterInfo kParameterInfo[3];

  TPingPongDelay() : TBeatDelay(kParameterInfo, TRouting::Crossed) {}
};

}  // namespace zonda::fx
