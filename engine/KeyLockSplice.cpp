#include "engine/KeyLockSplice.h"

namespace zonda {

double StereoDot(const int16_t* a, const int16_t* b, int32_t count) noexcept {
  // Products of 16-bit samples summed per frame stay within 32 bits except for
  // (-32768)^2 twice, so sum each frame in 64 bits.
  int64_t sum = 0;
  const int32_t samples = count * 2;
  for (int32_t k = 0; k < samples; ++k) sum += static_cast<int32_t>(a[k]) * static_cast<int32_t>(b[k]);
  return static_cast<double>(sum);
}

}  // namespace zonda
