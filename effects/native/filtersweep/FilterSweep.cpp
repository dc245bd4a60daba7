#include "effects/native/filtersweep/FilterSweep.h"

#include <array>
#include <cmath>
#include <utility>

#include "effects/native/BeatDelayTime.h"
#include "effects/native/Samples.h"

namespace zonda::fx {
namespace {

constexpr std::array<const char*, 5> kPeriodLabels = {"1 beat", "2 beats", "4 beats", "8 beats", "16 beats"};
constexpr std::array<double, 5> kPeriodBeats = {1, 2, 4, 8, 16};
static_assert(kPeriodLabels.size() == kPeriodBeats.size());

}  // namespace

const TParameterInfo TFilterSweep::kParameterInfo[4] = {
    {"Period", "", 0, 0, 2.0f, TParameterScale::Steps, kPeriodLabels},
    {"Lowest", "Hz", 40.0f, 2000.0f, 250.0f, TParameterScale::Logarithmic, {}},
    {"Highest", "Hz", 500.0f, 18000.0f, 12000.0f, TParameterScale::Logarithmic, {}},
    {"Resonance", "%", 0.0f, 0.9f, 0.3f, TParameterScale::Linear, {}},
};

TFilterSweep::TFilterSweep() : TNativeEffect(kParameterInfo) {}

void TFilterSweep::Reset() noexcept {
  filter_.Reset();
  lfo_.Reset();
  frameCount_ = 0;
}

void TFilterSweep::Render(int16_t* block, int32_t frames, double tempoBpm) noexcept {
  const double beatsPerFrame = TBeatDelayTime::UsableBpm(tempoBpm) / 60.0 / 44100.0;
  const double increment = beatsPerFrame / kPeriodBeats[static_cast<size_t>(Parameters().Index(kPeriod))];
  float lowest = Parameters().Value(kLowest), highest = Parameters().Value(kHighest);
  if (lowest > highest) std::swap(lowest, highest);
  const float span = highest / lowest;
  const float damping = 2.0f * (1.0f - Parameters().Value(kResonance));
  for (int32_t i = 0; i < frames; ++i) {
    if (frameCount_++ % kCoefficientFrames == 0) {
      filter_.SetCutoff(lowest * std::pow(span, lfo_.Unipolar()), damping);
    }
    lfo_.Advance(increment);
    int16_t* frame = block + 2 * i;
    frame[0] = ToInt16Saturated(filter_.LowPass(0, ToFloat(frame[0])));
    frame[1] = ToInt16Saturated(filter_.LowPass(1, ToFloat(frame[1])));
  }
}

}  // namespace zonda::fx
