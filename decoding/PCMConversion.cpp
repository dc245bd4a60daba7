#include "decoding/PCMConversion.h"

#include <cmath>
#include <cstring>

namespace zonda {
namespace {

int64_t RoundedQuotient(int64_t n, int64_t multiplier, int64_t divisor) {
  if (divisor <= 0) return 0;
  // Product in 64 bits, division in floating point, nearest with halves to even
  // (nearbyint uses the default rounding mode, round-to-nearest-even).
  const double q = static_cast<double>(n * multiplier) / static_cast<double>(divisor);
  return static_cast<int64_t>(std::nearbyint(q));
}

}  // namespace

int64_t RoundToMultipleOf4(int64_t n) {
  if (n % 4 == 0) return n;
  n += 2;
  while (n % 4 != 0) --n;
  return n;
}

int64_t SourceToDeckBytes(int64_t n, uint32_t sourceAvgBytesPerSec) {
  return RoundToMultipleOf4(RoundedQuotient(n, kDeckBytesPerSecond, sourceAvgBytesPerSec));
}

int64_t DeckToSourceBytes(int64_t n, uint32_t sourceAvgBytesPerSec) {
  return RoundToMultipleOf4(RoundedQuotient(n, sourceAvgBytesPerSec, kDeckBytesPerSecond));
}

uint32_t ConvertToDeckPCM(const WAVEFORMATEX& dst, uint8_t* dstBuffer, uint32_t dstCapacityBytes,
                          const WAVEFORMATEX& src, uint32_t sourceBytes, const uint8_t* srcBuffer) {
  const uint32_t srcSampleBytes = src.wBitsPerSample / 8u;
  const uint32_t dstSampleBytes = dst.wBitsPerSample / 8u;
  if (src.nChannels == dst.nChannels && src.nSamplesPerSec == dst.nSamplesPerSec &&
      srcSampleBytes == dstSampleBytes) {
    const uint32_t n = sourceBytes < dstCapacityBytes ? sourceBytes : dstCapacityBytes;
    if (n > 0) std::memcpy(dstBuffer, srcBuffer, n);
    return n;
  }
  const uint32_t srcChannels = src.nChannels;
  const uint32_t dstChannels = dst.nChannels;
  if (srcSampleBytes == 0 || srcSampleBytes > 2 || srcChannels == 0 || srcChannels > 2 || dstChannels == 0 ||
      dstChannels > 2 || dstSampleBytes != 2 || src.nSamplesPerSec == 0 || dst.nSamplesPerSec == 0) {
    return 0;
  }

  const uint32_t frames = sourceBytes / srcSampleBytes / srcChannels;
  const uint32_t dstFrameBytes = dstChannels * 2u;
  int16_t held[2] = {0, 0};
  const uint8_t* in = srcBuffer;
  uint32_t written = 0;

  auto readFrame = [&] {
    for (uint32_t c = 0; c < srcChannels; ++c) {
      if (srcSampleBytes == 1) {
        held[c] = static_cast<int16_t>(static_cast<uint16_t>((static_cast<uint16_t>(in[0]) << 8) ^ 0x8000u));
        in += 1;
      } else {
        held[c] = static_cast<int16_t>(static_cast<uint16_t>(in[0] | (in[1] << 8)));
        in += 2;
      }
    }
  };
  // False once the destination is full.
  auto writeFrame = [&]() -> bool {
    if (written + dstFrameBytes > dstCapacityBytes) return false;
    for (uint32_t c = 0; c < dstChannels; ++c) {
      const auto v = static_cast<uint16_t>(held[srcChannels == dstChannels ? c : 0]);
      dstBuffer[written] = static_cast<uint8_t>(v & 0xFF);
      dstBuffer[written + 1] = static_cast<uint8_t>(v >> 8);
      written += 2;
    }
    return true;
  };

  const int64_t s = src.nSamplesPerSec;
  const int64_t d = dst.nSamplesPerSec;
  if (s > d) {
    int64_t acc = s / 2;
    for (uint32_t f = 0; f < frames; ++f) {
      readFrame();
      acc -= d;
      if (acc < 0) {
        if (!writeFrame()) return written;
        acc += s;
      }
    }
  } else {
    int64_t acc = d / 2;
    for (uint32_t f = 0; f < frames; ++f) {
      readFrame();
      while (acc >= 0) {
        if (!writeFrame()) return written;
        acc -= s;
      }
      acc += d;
    }
  }
  return written;
}

}  // namespace zonda
