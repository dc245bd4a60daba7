#include "effects/native/flanger/Flanger.h"

#include "effects/native/Samples.h"

namespace zonda::fx {

const TParameterInfo TFlanger::kParameterInfo[4] = {
    {"Rate", "Hz", 0.05f, 5.0f, 0.25f, TParameterScale::Logarithmic, {}},
    {"Depth", "%", 0.0f, 1.0f, 0.8f, TParameterScale::Linear, {}},
    {"Feedback", "%", 0.0f, 0.9f, 0.5f, TParameterScale::Linear, {}},
    {"Mix", "%", 0.0f, 1.0f, 1.0f, TParameterScale::Linear, {}},
};

TFlanger::TFlanger()
    : TNativeEffect(kParameterInfo),
      left_(static_cast<int32_t>(kMinDelayFrames + kSweepFrames) + 2),
      right_(static_cast<int32_t>(kMinDelayFrames + kSweepFrames) + 2),
      depth_(kParameterInfo[kDepth].initial),
      feedback_(kParameterInfo[kFeedback].initial),
      mix_(kParameterInfo[kMix].initial) {
  StartSweep();
}

void TFlanger::StartSweep() noexcept {
  const double sweep = kSweepFrames * depth_.Value();
  delayL_ = kMinDelayFrames + sweep * (0.5 + 0.5 * lfo_.Sine());
  delayR_ = kMinDelayFrames + sweep * (0.5 + 0.5 * lfo_.SineAhead(0.25));
  stepL_ = stepR_ = 0.0;
  segmentLeft_ = 0;
}

void TFlanger::Reset() noexcept {
  left_.Clear();
  right_.Clear();
  lfo_.Reset();
  depth_.Jump(Parameters().Value(kDepth));
  feedback_.Jump(Parameters().Value(kFeedback));
  mix_.Jump(Parameters().Value(kMix));
  StartSweep();
}

void TFlanger::Render(int16_t* block, int32_t frames, double) noexcept {
  const double increment = Parameters().Value(kRate) / 44100.0;
  depth_.SetTarget(Parameters().Value(kDepth));
  feedback_.SetTarget(Parameters().Value(kFeedback));
  mix_.SetTarget(Parameters().Value(kMix));
  for (int32_t i = 0; i < frames; ++i) {
    int16_t* frame = block + 2 * i;
    if (segmentLeft_ == 0) {
      // The next point of the sweep, kSegmentFrames ahead; the depth glides per segment.
      for (int32_t k = 0; k < kSegmentFrames; ++k) depth_.Next();
      lfo_.Advance(increment * kSegmentFrames);
      const double sweep = kSweepFrames * depth_.Value();
      stepL_ = (kMinDelayFrames + sweep * (0.5 + 0.5 * lfo_.Sine()) - delayL_) / kSegmentFrames;
      stepR_ = (kMinDelayFrames + sweep * (0.5 + 0.5 * lfo_.SineAhead(0.25)) - delayR_) / kSegmentFrames;
      segmentLeft_ = kSegmentFrames;
    }
    --segmentLeft_;
    delayL_ += stepL_;
    delayR_ += stepR_;
    const float feedback = feedback_.Next(), mix = mix_.Next();
    const float delayedL = left_.ReadInterpolated(delayL_);
    const float delayedR = right_.ReadInterpolated(delayR_);
    const float inL = ToFloat(frame[0]), inR = ToFloat(frame[1]);
    left_.Write(inL + feedback * delayedL);
    right_.Write(inR + feedback * delayedR);
    const float dry = 1.0f - 0.5f * mix, wet = 0.5f * mix;
    frame[0] = ToInt16Saturated(dry * inL + wet * delayedL);
    frame[1] = ToInt16Saturated(dry * inR + wet * delayedR);
  }
}

}  // namespace zonda::fx
