#pragma once
// StreamInfo: the 24-byte record that the libraries' `open` fills for their
// caller (libquelmo.so, libombrel.so and the decoders that bind them). Six
// 32-bit fields describing the PCM that `getsamples` delivers.
#include <cstdint>

namespace zonda {

struct StreamInfo {
  int32_t rate = 0;         // 0: samples per second
  int32_t channels = 0;     // 4
  int32_t bits = 0;         // 8: bits per sample (output format)
  int32_t frameBits = 0;    // 12: bits per sample (frame size)
  int32_t reserved = 0;     // 16: always 0
  int32_t totalFrames = 0;  // 20: sample frames in the stream
};
static_assert(sizeof(StreamInfo) == 24);

}  // namespace zonda
