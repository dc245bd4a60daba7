#pragma once
// Conversions between 16-bit samples and the float the effects compute in,
// with the saturation every sample leaving an effect goes through.
#include <cstdint>

namespace zonda::fx {

inline constexpr float kSampleRateHz = 44100.0f;

inline float ToFloat(int16_t sample) noexcept { return static_cast<float>(sample) * (1.0f / 32768.0f); }

// Rounded to nearest and held to -32768..32767 (no wraparound); NaN gives 0.
inline int16_t ToInt16Saturated(float value) noexcept {
  float scaled = value * 32768.0f;
  if (!(scaled == scaled)) return 0;
  scaled = scaled < 32767.0f ? scaled : 32767.0f;
  scaled = scaled > -32768.0f ? scaled : -32768.0f;
  // Inside the range the conversion is defined; halves round away from zero.
  return static_cast<int16_t>(static_cast<int32_t>(scaled + (scaled >= 0.0f ? 0.5f : -0.5f)));
}

}  // namespace zonda::fx
