#pragma once
// TEcho ("Echo"): each channel repeats after a fraction of a beat at the
// deck's tempo (TBeatDelay, straight).
#include "effects/native/BeatDelay.h"

namespace zonda::fx {

class TEcho : public TBeatDelay {
 public:
  static constexpr const char* kName = "Echo";
  static const TParameterInfo kParameterInfo[3];

  TEcho() : TBeatDelay(kParameterInfo, TRouting::Straight) {}
};

}  // namespace zonda::fx
