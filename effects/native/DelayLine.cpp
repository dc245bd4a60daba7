#include "effects/native/DelayLine.h"

#include <algorithm>

namespace zonda::fx {

TDelayLine::TDelayLine(int32_t maxDelayFrames) : maxDelay_(std::max<int32_t>(1, maxDelayFrames)) {
  // A power of two so the ring index is a mask; one spare frame for interpolation.
  uint32_t size = 2;
  while (size < static_cast<uint32_t>(maxDelay_) + 2u) size *= 2;
  buffer_.assign(size, 0.0f);
  mask_ = size - 1;
}

void TDelayLine::Clear() noexcept {
  std::fill(buffer_.begin(), buffer_.end(), 0.0f);
  write_ = 0;
}

}  // namespace zonda::fx
