#include "effects/native/echo/Echo.h"

#include "effects/native/BeatChoices.h"
#include "effects/native/Samples.h"

namespace zonda::fx {

const TParameterInfo TEcho::kParameterInfo[3] = {
    {"Delay", "", 0, 0, kHalfBeatChoice, TParameterScale::Steps, kDelayBeatLabels},
    {"Feedback", "%", 0.0f, 0.95f, 0.45f, TParameterScale::Linear, {}},
    {"Mix", "%", 0.0f, 1.0f, 0.5f, TParameterScale::Linear, {}},
};

TEcho::TEcho()
    : TNativeEffect(kParameterInfo),
      left_(TBeatDelayTime::kMaxDelayFrames),
      right_(TBeatDelayTime::kMaxDelayFrames),
      feedback_(kParameterInfo[kFeedback].initial),
      mix_(kParameterInfo[kMix].initial) {}

void TEcho::Reset() noexcept {
  left_.Clear();
  right_.Clear();
  time_.Reset();
  feedback_.Jump(Parameters().Value(kFeedback));
  mix_.Jump(Parameters().Value(kMix));
}

void TEcho::Render(int16_t* block, int32_t frames, double tempoBpm) noexcept {
  time_.SetTarget(TBeatDelayTime::TargetFrames(kDelayBeats[Parameters().Index(kDelay)], tempoBpm));
  feedback_.SetTarget(Parameters().Value(kFeedback));
  mix_.SetTarget(Parameters().Value(kMix));
  for (int32_t i = 0; i < frames; ++i) {
    int16_t* frame = block + 2 * i;
    const double delay = time_.Next();
    const float feedback = feedback_.Next();
    const float mix = mix_.Next();
    const float inL = ToFloat(frame[0]), inR = ToFloat(frame[1]);
    const float echoL = left_.ReadInterpolated(delay);
    const float echoR = right_.ReadInterpolated(delay);
    left_.Write(inL + feedback * echoL);
    right_.Write(inR + feedback * echoR);
    frame[0] = ToInt16Saturated(inL + mix * echoL);
    frame[1] = ToInt16Saturated(inR + mix * echoR);
  }
}

}  // namespace zonda::fx
