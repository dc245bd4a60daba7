#pragma once
// The PCM format record every decoder exposes (the WAVEFORMATEX layout) and
// the fixed deck PCM format: 44100 Hz, 2 channels, signed 16-bit little-endian.
#include <cstdint>

namespace zonda {

struct WAVEFORMATEX {
  uint16_t wFormatTag = 0;
  uint16_t nChannels = 0;
  uint32_t nSamplesPerSec = 0;
  uint32_t nAvgBytesPerSec = 0;
  uint16_t nBlockAlign = 0;
  uint16_t wBitsPerSample = 0;
  uint16_t cbSize = 0;
};

inline constexpr uint16_t kWaveFormatPCM = 1;
inline constexpr uint32_t kDeckRateHz = 44100;
inline constexpr int32_t kDeckBytesPerFrame = 4;
inline constexpr int32_t kDeckBytesPerSecond = 176400;

// Tag 1, nBlockAlign = channels * bits / 8, nAvgBytesPerSec = nBlockAlign * rate.
constexpr WAVEFORMATEX InitPCMFormat(uint16_t bits, uint16_t channels, uint32_t rateHz) {
  WAVEFORMATEX f;
  f.wFormatTag = kWaveFormatPCM;
  f.nChannels = channels;
  f.nSamplesPerSec = rateHz;
  f.wBitsPerSample = bits;
  f.nBlockAlign = static_cast<uint16_t>(static_cast<uint32_t>(channels) * bits / 8);
  f.nAvgBytesPerSec = f.nBlockAlign * rateHz;
  f.cbSize = 0;
  return f;
}

inline constexpr WAVEFORMATEX kDeckFormat = InitPCMFormat(16, 2, kDeckRateHz);

}  // namespace zonda
