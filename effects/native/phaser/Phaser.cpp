#include "effects/native/phaser/Phaser.h"

#include <cmath>

#include "effects/native/Samples.h"

namespace zonda::fx {
namespace {

// First-order all-pass (a + z^-1) / (1 + a z^-1) with its break at hz.
// tan(x) by its series to x^7: below 4 kHz (x < 0.29) within 1e-6.
float AllPassCoefficient(float hz) {
  const float x = 3.14159265358979f * hz / kSampleRateHz;
  const float x2 = x * x;
  const float t = x * (1.0f + x2 * (1.0f / 3.0f + x2 * (2.0f / 15.0f + x2 * (17.0f / 315.0f))));
  return (t - 1.0f) / (t + 1.0f);
}

}  // namespace

const TParameterInfo TPhaser::kParameterInfo[4] = {
    {"Rate", "Hz", 0.05f, 5.0f, 0.4f, TParameterScale::Logarithmic, {}},
    {"Depth", "%", 0.0f, 1.0f, 1.0f, TParameterScale::Linear, {}},
    {"Feedback", "%", 0.0f, 0.9f, 0.5f, TParameterScale::Linear, {}},
    {"Mix", "%", 0.0f, 1.0f, 1.0f, TParameterScale::Linear, {}},
};

TPhaser::TPhaser()
    : TNativeEffect(kParameterInfo), feedback_(kParameterInfo[kFeedback].initial), mix_(kParameterInfo[kMix].initial) {}

void TPhaser::Reset() noexcept {
  state_ = {};
  last_ = Lanes{};
  lfo_.Reset();
  frameCount_ = 0;
  feedback_.Jump(Parameters().Value(kFeedback));
  mix_.Jump(Parameters().Value(kMix));
}

void TPhaser::Render(int16_t* block, int32_t frames, double) noexcept {
  const double increment = Parameters().Value(kRate) / 44100.0;
  const float depth = Parameters().Value(kDepth);
  // The break frequency is kLowestHz x span^sweep = kLowestHz x e^(sweep x logSpan).
  const float logSpan = depth * std::log(kHighestHz / kLowestHz);
  feedback_.SetTarget(Parameters().Value(kFeedback));
  mix_.SetTarget(Parameters().Value(kMix));
  for (int32_t i = 0; i < frames; ++i) {
    if (frameCount_++ % kCoefficientFrames == 0) {
      const float sweepL = 0.5f + 0.5f * lfo_.Sine();
      const float sweepR = 0.5f + 0.5f * lfo_.SineAhead(0.25);
      coefficient_[0] = AllPassCoefficient(kLowestHz * std::exp(sweepL * logSpan));
      coefficient_[1] = AllPassCoefficient(kLowestHz * std::exp(sweepR * logSpan));
    }
    lfo_.Advance(increment);
    int16_t* frame = block + 2 * i;
    const float feedback = feedback_.Next(), mix = mix_.Next();
    const Lanes in = {ToFloat(frame[0]), ToFloat(frame[1]), 0.0f, 0.0f};
    Lanes x = in + feedback * last_;
    for (Lanes& s : state_) {
      const Lanes y = coefficient_ * x + s;
      s = x - coefficient_ * y;
      x = y;
    }
    last_ = x;
    const Lanes out = (1.0f - 0.5f * mix) * in + (0.5f * mix) * x;
    frame[0] = ToInt16Saturated(out[0]);
    frame[1] = ToInt16Saturated(out[1]);
  }
}

}  // namespace zonda::fx
