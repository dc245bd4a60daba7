#include "effects/native/pingpong/PingPongDelay.h"

#include "effects/native/BeatChoices.h"
#include "effects/native/Samples.h"

namespace zonda::fx {

const TParameterInfo TPingPongDelay::kParameterInfo[3] = {
    {"Delay", "", 0, 0, kHalfBeatChoice, TParameterScale::Steps, kDelayBeatLabels},
    {"Feedback", "%", 0.0f, 0.95f, 0.5f, TParameterScale::Linear, {}},
    {"Mix", "%", 0.0f, 1.0f, 0.5f, TParameterScale::Linear, {}},
};

TPingPongDelay::TPingPongDelay()
    : TNativeEffect(kParameterInfo),
      left_(TBeatDelayTime::kMaxDelayFrames),
      right_(TBeatDelayTime::kMaxDelayFrames),
      feedback_(kParameterInfo[kFeedback].initial),
      mix_(kParameterInfo[kMix].initial) {}

void TPingPongDelay::Reset() noexcept {
  left_.Clear();
  right_.Clear();
  time_.Reset();
  feedback_.Jump(Parameters().Value(kFeedback));
  mix_.Jump(Parameters().Value(kMix));
}

void TPingPongDelay::Render(int16_t* block, int32_t frames, double tempoBpm) noexcept {
  time_.SetTarget(TBeatDelayTime::TargetFrames(kDelayBeats[Parameters().Index(kDelay)], tempoBpm));
  feedback_.SetTarget(Parameters().Value(kFeedback));
  mix_.SetTarget(Parameters().Value(kMix));
  for (int32_t i = 0; i < frames; ++i) {
    int16_t* frame = block + 2 * i;
    const double delay = time_.Next();
    const float feedback = feedback_.Next();
    const float mix = mix_.Next();
    const float inL = ToFloat(frame[0]), inR = ToFloat(frame[1]);
    const float repeatL = left_.ReadInterpolated(delay);
    const float repeatR = right_.ReadInterpolated(delay);
    // Left hears the input and what came back on the right; right hears the left.
    left_.Write(0.5f * (inL + inR) + feedback * repeatR);
    right_.Write(feedback * repeatL);
    frame[0] = ToInt16Saturated(inL + mix * repeatL);
    frame[1] = ToInt16Saturated(inR + mix * repeatR);
  }
}

}  // namespace zonda::fx
