#pragma once
// Conversion of a decoder's own PCM (8/16-bit, mono/stereo, up to 48000 Hz) to
// deck PCM, and the byte-count mapping between the two. Integer-only, single
// pass, no allocation. Any thread (the front calls it under the decoder lock).
#include <cstdint>

#include "decoding/core/WaveFormat.h"

namespace zonda {

// n x 176400 / sourceAvgBytesPerSec, rounded to the nearest integer (halves to
// even), then to the nearest multiple of 4 with 2-above going up (5->4, 6->8).
int64_t SourceToDeckBytes(int64_t n, uint32_t sourceAvgBytesPerSec);
// n x sourceAvgBytesPerSec / 176400, rounded the same way.
int64_t DeckToSourceBytes(int64_t n, uint32_t sourceAvgBytesPerSec);
// The rounding step shared by both: nearest multiple of 4 of an integer.
int64_t RoundToMultipleOf4(int64_t n);

// Converts sourceBytes of src-format PCM to dst format. Equal formats copy.
// Rate change by an accumulator that restarts at every call. Never writes more
// than dstCapacityBytes (whole samples). Returns the bytes written.
uint32_t ConvertToDeckPCM(const WAVEFORMATEX& dst, uint8_t* dstBuffer, uint32_t dstCapacityBytes,
                          const WAVEFORMATEX& src, uint32_t sourceBytes, const uint8_t* srcBuffer);

}  // namespace zonda
