#include "effects/native/pingpong/PingPongDelay.h"

#include "effects/native/BeatChoices.h"

namespace zonda::fx {

const TParameterInfo TPingPongDelay::kParameterInfo[3] = {
    {"Delay", "", 0, 0, kHalfBeatChoice, TParameterScale::Steps, kDelayBeatLabels},
    {"Feedback", "%", 0.0f, 0.95f, 0.5f, TParameterScale::Linear, {}},
    {"Mix", "%", 0.0f, 1.0f, 0.5f, TParameterScale::Linear, {}},
};

}  // namespace zonda::fx
