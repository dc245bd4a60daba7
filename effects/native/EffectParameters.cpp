#include "effects/native/EffectParameters.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace zonda::fx {
namespace {

// Fine enough that every shown value of a continuous parameter is reachable.
constexpr int32_t kContinuousSteps = 1000;

bool IsWhole(const TParameterSpec& spec) noexcept {
  return !spec.choices.empty() || spec.scale == TParameterScale::Steps;
}

float Minimum(const TParameterSpec& spec) noexcept { return spec.choices.empty() ? spec.minimum : 0.0f; }
float Maximum(const TParameterSpec& spec) noexcept {
  return spec.choices.empty() ? spec.maximum : static_cast<float>(spec.choices.size() - 1);
}

}  // namespace

float ClampParameterValue(const TParameterSpec& spec, float value) noexcept {
  if (std::isnan(value)) value = spec.initial;
  value = std::clamp(value, Minimum(spec), Maximum(spec));
  return IsWhole(spec) ? std::round(value) : value;
}

int32_t SliderSteps(const TParameterSpec& spec) noexcept {
  if (IsWhole(spec)) return std::max(1, static_cast<int32_t>(Maximum(spec) - Minimum(spec)));
  return kContinuousSteps;
}

float ValueAtSliderPosition(const TParameterSpec& spec, int32_t position) noexcept {
  const int32_t steps = SliderSteps(spec);
  position = std::clamp(position, 0, steps);
  const float lo = Minimum(spec), hi = Maximum(spec);
  if (IsWhole(spec)) return ClampParameterValue(spec, lo + static_cast<float>(position));
  const double t = static_cast<double>(position) / steps;
  if (spec.scale == TParameterScale::Logarithmic && lo > 0) {
    return ClampParameterValue(spec, static_cast<float>(lo * std::pow(double(hi) / lo, t)));
  }
  return ClampParameterValue(spec, static_cast<float>(lo + (double(hi) - lo) * t));
}

int32_t SliderPositionOfValue(const TParameterSpec& spec, float value) noexcept {
  value = ClampParameterValue(spec, value);
  const float lo = Minimum(spec), hi = Maximum(spec);
  if (IsWhole(spec)) return static_cast<int32_t>(value - lo);
  if (hi <= lo) return 0;
  double t;
  if (spec.scale == TParameterScale::Logarithmic && lo > 0) {
    t = std::log(double(value) / lo) / std::log(double(hi) / lo);
  } else {
    t = (double(value) - lo) / (double(hi) - lo);
  }
  return std::clamp(static_cast<int32_t>(std::lround(t * kContinuousSteps)), 0, kContinuousSteps);
}

std::string FormatParameterValue(const TParameterSpec& spec, float value) {
  value = ClampParameterValue(spec, value);
  if (!spec.choices.empty()) return spec.choices[static_cast<size_t>(value)];
  char text[64];
  const std::string unit = spec.unit;
  if (unit == "%") {
    std::snprintf(text, sizeof text, "%.0f %%", value * 100.0);
  } else if (IsWhole(spec)) {
    std::snprintf(text, sizeof text, "%.0f%s%s", value, unit.empty() ? "" : " ", unit.c_str());
  } else {
    // Three significant figures read well for Hz, ms, s and dB alike.
    const double magnitude = std::fabs(value);
    const int decimals = magnitude >= 100 ? 0 : magnitude >= 10 ? 1 : 2;
    std::snprintf(text, sizeof text, "%.*f%s%s", decimals, value, unit.empty() ? "" : " ", unit.c_str());
  }
  return text;
}

TEffectParameters::TEffectParameters(std::span<const TParameterSpec> specs) noexcept
    : specs_(specs.first(std::min<size_t>(specs.size(), kMaxParameters))) {
  for (size_t i = 0; i < specs_.size(); ++i) {
    values_[i].store(ClampParameterValue(specs_[i], specs_[i].initial), std::memory_order_relaxed);
  }
}

float TEffectParameters::Value(int32_t index) const noexcept {
  if (index < 0 || index >= Count()) return 0.0f;
  return values_[static_cast<size_t>(index)].load(std::memory_order_relaxed);
}

void TEffectParameters::SetValue(int32_t index, float value) noexcept {
  if (index < 0 || index >= Count()) return;
  values_[static_cast<size_t>(index)].store(ClampParameterValue(specs_[static_cast<size_t>(index)], value),
                                            std::memory_order_relaxed);
}

}  // namespace zonda::fx
