#include "effects/native/BeatDelay.h"

#include "effects/native/BeatChoices.h"
#include "effects/native/Samples.h"

namespace zonda::fx {

TBeatDelay::TBeatDelay(std::span<const TParameterInfo> infos, TRouting routing)
    : TNativeEffect(infos),
      routing_(routing),
      left_(TBeatDelayTime::kMaxDelayFrames),
      right_(TBeatDelayTime::kMaxDelayFrames),
      feedback_(infos[kFeedback].initial),
      mix_(infos[kMix].initial) {}

void TBeatDelay::Reset() noexcept {
  left_.Clear();
  right_.Clear();
  time_.Reset();
  feedback_.Jump(Parameters().Value(kFeedback));
  mix_.Jump(Parameters().Value(kMix));
}

void TBeatDelay::Render(int16_t* block, int32_t frames, double tempoBpm) noexcept {
  time_.SetTarget(TBeatDelayTime::TargetFrames(kDelayBeats[Parameters().Index(kDelay)], tempoBpm));
  feedback_.SetTarget(Parameters().Value(kFeedback));
  mix_.SetTarget(Parameters().Value(kMix));
  const bool crossed = routing_ == TRouting::Crossed;
  for (int32_t i = 0; i < frames; ++i) {
    int16_t* frame = block + 2 * i;
    const double delay = time_.Next();
    const float feedback = feedback_.Next();
    const float mix = mix_.Next();
    const float inL = ToFloat(frame[0]), inR = ToFloat(frame[1]);
    const float repeatL = left_.ReadInterpolated(delay);
    const float repeatR = right_.ReadInterpolated(delay);
    if (crossed) {
      // Left hears the input and what came back on the right; right hears the left.
      left_.Write(0.5f * (inL + inR) + feedback * repeatR);
      right_.Write(feedback * repeatL);
    } else {
      left_.Write(inL + feedback * repeatL);
      right_.Write(inR + feedback * repeatR);
    }
    frame[0] = ToInt16Saturated(inL + mix * repeatL);
    frame[1] = ToInt16Saturated(inR + mix * repeatR);
  }
}

}  // namespace zonda::fx
