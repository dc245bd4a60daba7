#include "effects/native/EffectParameters.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace zonda::fx {
namespace {

// Fine enough that every shown value of a continuous parameter is reachable.
constexpr int32_t kContinuousSteps = 1000;

bool IsWhole(const TParameterInfo& info) noexcept {
  return !info.choices.empty() || info.scale == TParameterScale::Steps;
}

float Minimum(const TParameterInfo& info) noexcept { return info.choices.empty() ? info.minimum : 0.0f; }
float Maximum(const TParameterInfo& info) noexcept {
  return info.choices.empty() ? info.maximum : static_cast<float>(info.choices.size() - 1);
}

}  // namespace

float ClampParameterValue(const TParameterInfo& info, float value) noexcept {
  if (std::isnan(value)) value = info.initial;
  value = std::clamp(value, Minimum(info), Maximum(info));
  return IsWhole(info) ? std::round(value) : value;
}

int32_t SliderSteps(const TParameterInfo& info) noexcept {
  if (IsWhole(info)) return std::max(1, static_cast<int32_t>(Maximum(info) - Minimum(info)));
  return kContinuousSteps;
}

float ValueAtSliderPosition(const TParameterInfo& info, int32_t position) noexcept {
  const int32_t steps = SliderSteps(info);
  position = std::clamp(position, 0, steps);
  const float lo = Minimum(info), hi = Maximum(info);
  if (IsWhole(info)) return ClampParameterValue(info, lo + static_cast<float>(position));
  const double t = static_cast<double>(position) / steps;
  if (info.scale == TParameterScale::Logarithmic && lo > 0) {
    return ClampParameterValue(info, static_cast<float>(lo * std::pow(double(hi) / lo, t)));
  }
  return ClampParameterValue(info, static_cast<float>(lo + (double(hi) - lo) * t));
}

int32_t SliderPositionOfValue(const TParameterInfo& info, float value) noexcept {
  value = ClampParameterValue(info, value);
  const float lo = Minimum(info), hi = Maximum(info);
  if (IsWhole(info)) return static_cast<int32_t>(value - lo);
  if (hi <= lo) return 0;
  double t;
  if (info.scale == TParameterScale::Logarithmic && lo > 0) {
    t = std::log(double(value) / lo) / std::log(double(hi) / lo);
  } else {
    t = (double(value) - lo) / (double(hi) - lo);
  }
  return std::clamp(static_cast<int32_t>(std::lround(t * kContinuousSteps)), 0, kContinuousSteps);
}

std::string FormatParameterValue(const TParameterInfo& info, float value) {
  value = ClampParameterValue(info, value);
  if (!info.choices.empty()) return info.choices[static_cast<size_t>(value)];
  char text[64];
  const std::string unit = info.unit;
  if (unit == "%") {
    std::snprintf(text, sizeof text, "%.0f %%", value * 100.0);
  } else if (IsWhole(info)) {
    std::snprintf(text, sizeof text, "%.0f%s%s", value, unit.empty() ? "" : " ", unit.c_str());
  } else {
    // Three significant figures read well for Hz, ms, s and dB alike.
    const double magnitude = std::fabs(value);
    const int decimals = magnitude >= 100 ? 0 : magnitude >= 10 ? 1 : 2;
    std::snprintf(text, sizeof text, "%.*f%s%s", decimals, value, unit.empty() ? "" : " ", unit.c_str());
  }
  return text;
}

TEffectParameters::TEffectParameters(std::span<const TParameterInfo> infos) noexcept
    : infos_(infos.first(std::min<size_t>(infos.size(), kMaxParameters))) {
  for (size_t i = 0; i < infos_.size(); ++i) {
    values_[i].store(ClampParameterValue(infos_[i], infos_[i].initial), std::memory_order_relaxed);
  }
}

float TEffectParameters::Value(int32_t index) const noexcept {
  if (index < 0 || index >= Count()) return 0.0f;
  return values_[static_cast<size_t>(index)].load(std::memory_order_relaxed);
}

void TEffectParameters::SetValue(int32_t index, float value) noexcept {
  if (index < 0 || index >= Count()) return;
  values_[static_cast<size_t>(index)].store(ClampParameterValue(infos_[static_cast<size_t>(index)], value),
                                            std::memory_order_relaxed);
}

}  // namespace zonda::fx
