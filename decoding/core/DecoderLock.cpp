#include "decoding/core/DecoderLock.h"

namespace zonda {

std::recursive_mutex& DecoderLock() {
  static std::recursive_mutex lock;
  return lock;
}

uint8_t* ConversionScratch() {
  // Static so that no read ever allocates; aligned for SIMD conversions.
  alignas(64) static uint8_t scratch[kConversionScratchBytes];
  return scratch;
}

}  // namespace zonda
