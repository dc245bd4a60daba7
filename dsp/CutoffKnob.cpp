#include "dsp/CutoffKnob.h"

#include <algorithm>
#include <cmath>

namespace zonda {

namespace {

TCutoffSetting Pass(bool lowPass, long double base, int32_t exponent) noexcept {
  return TCutoffSetting{lowPass, static_cast<double>(std::pow(base, static_cast<long double>(exponent)))};
}

constexpr TCutoffSetting kOff{true, -1.0};

}  // namespace

TCutoffSetting CutoffFromKnob(int32_t filterMode, int32_t knob) noexcept {
  const int32_t v = std::clamp<int32_t>(knob, -64, 63);
  switch (filterMode) {
    case -1:
      return v <= 61 ? Pass(true, 1.054L, v + 128) : kOff;
    case 1:
      return v <= -63 ? kOff : Pass(false, 1.054L, v + 126);
    default:
      if (v < 0) return Pass(true, 1.106L, v + 99);
      if (v > 0) return Pass(false, 1.106L, v + 34);
      return kOff;
  }
}

std::string CutoffText(double cutoffHz, std::string_view offText) {
  if (!std::isfinite(cutoffHz)) return std::string(offText);
  // Rounded half to even, like the rest of the display code.
  const long long n = std::llrint(std::clamp(cutoffHz, -1.0e9, 1.0e9));
  if (n == -1) return std::string(offText);
  if (n >= 1000) return std::to_string(n / 1000) + "." + std::to_string((n % 1000) / 100) + " KHz";
  return std::to_string(n) + " Hz";
}

}  // namespace zonda
