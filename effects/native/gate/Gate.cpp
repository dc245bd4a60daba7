#include "effects/native/gate/Gate.h"

#include <cmath>

#include "effects/native/Samples.h"
#include "effects/native/SmoothedValue.h"

namespace zonda::fx {
namespace {

// Per-frame coefficient of a one-pole with the given time constant.
float GlideCoefficient(float ms) { return 1.0f - std::exp(-1.0f / (ms * 0.001f * kSampleRateHz)); }

}  // namespace

const TParameterInfo TGate::kParameterInfo[3] = {
    {"Threshold", "dB", -80.0f, 0.0f, -40.0f, TParameterScale::Linear, {}},
    {"Attack", "ms", 0.1f, 50.0f, 1.0f, TParameterScale::Logarithmic, {}},
    {"Release", "ms", 5.0f, 2000.0f, 150.0f, TParameterScale::Logarithmic, {}},
};

TGate::TGate() : TNativeEffect(kParameterInfo) {}

void TGate::Reset() noexcept {
  envelope_ = 0.0f;
  gain_ = 0.0f;
  open_ = false;
  holdLeft_ = 0;
}

void TGate::Render(int16_t* block, int32_t frames, double) noexcept {
  const float thresholdDb = Parameters().Value(kThreshold);
  const float openLevel = std::pow(10.0f, thresholdDb / 20.0f);
  const float closeLevel = std::pow(10.0f, (thresholdDb - kHysteresisDb) / 20.0f);
  const float attack = GlideCoefficient(Parameters().Value(kAttack));
  const float release = GlideCoefficient(Parameters().Value(kRelease));
  const float envelopeFall = std::exp(-1.0f / (kEnvelopeMs * 0.001f * kSampleRateHz));
  const int32_t holdFrames = static_cast<int32_t>(kHoldMs * 0.001f * kSampleRateHz);
  for (int32_t i = 0; i < frames; ++i) {
    int16_t* frame = block + 2 * i;
    const float inL = ToFloat(frame[0]), inR = ToFloat(frame[1]);
    const float peak = std::fmax(std::fabs(inL), std::fabs(inR));
    envelope_ = std::fmax(peak, envelope_ * envelopeFall);
    if (envelope_ >= openLevel) {
      open_ = true;
      holdLeft_ = holdFrames;
    } else if (open_ && envelope_ < closeLevel) {
      if (holdLeft_ > 0) {
        --holdLeft_;
      } else {
        open_ = false;
      }
    }
    gain_ = TSmoothedValue::GlideTowards(gain_, open_ ? 1.0f : 0.0f, open_ ? attack : release);
    frame[0] = gain_ == 1.0f ? frame[0] : ToInt16Saturated(gain_ * inL);
    frame[1] = gain_ == 1.0f ? frame[1] : ToInt16Saturated(gain_ * inR);
  }
}

}  // namespace zonda::fx
