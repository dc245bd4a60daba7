#pragma once
// The bridge's 16-bit <-> float conversions. In: s / 32768. Out: f x 32767 in
// single precision, clamped to -32768..32767, rounded half away from zero; so
// full scale 32767 through an unchanged signal comes back as 32766. A NaN from
// a misbehaving plug-in becomes silence rather than an undefined conversion.
// Pure functions, any thread, no allocation.
#include <cstdint>

namespace zonda {

inline float ShortToFloat(int16_t s) noexcept { return float(s) / 32768.0f; }

inline int16_t FloatToShort(float f) noexcept {
  float v = f * 32767.0f;
  if (!(v == v)) return 0;  // NaN
  if (v > 32767.0f) v = 32767.0f;
  if (v < -32768.0f) v = -32768.0f;
  // Half away from zero, as lround, without the library call: v +- 0.5 is
  // exact in double for every float in range, and the cast truncates.
  return int16_t(v >= 0.0f ? int32_t(double(v) + 0.5) : int32_t(double(v) - 0.5));
}

}  // namespace zonda
