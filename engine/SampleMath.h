#pragma once
// Small sample helpers shared by the renderer and the audio callbacks.
//
// RoundToInt: nearest integer, halves away from zero (the one rounding rule of
// the engine, also used by tests to compute expected samples).
// Saturate16: limits to the signed 16-bit range.
//
// Any thread; pure functions, no allocation.
#include <cstdint>

namespace zonda {

inline int32_t RoundToInt(double v) noexcept {
  // Truncating conversion of v +/- 0.5: one instruction on x86-64, unlike lround.
  return static_cast<int32_t>(v >= 0.0 ? v + 0.5 : v - 0.5);
}

// Rounds and saturates; safe for any finite v (clamped before converting).
inline int16_t RoundToSample(double v) noexcept {
  if (v >= 32767.0) return 32767;
  if (v <= -32768.0) return -32768;
  return static_cast<int16_t>(RoundToInt(v));
}

inline int16_t Saturate16(int32_t v) noexcept {
  return static_cast<int16_t>(v > 32767 ? 32767 : (v < -32768 ? -32768 : v));
}

}  // namespace zonda
