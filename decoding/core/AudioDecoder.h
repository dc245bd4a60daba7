#pragma once
// The contract between the decoder front (TDataProvider) and each decoder.
//
// A decoder is created once with its provider and reused for every file:
//   Open(name) -> PCMSize() / OutputFormat() -> ReadAt(...)* -> Close()
// Positions and counts are bytes of the decoder's *own* PCM output
// (OutputFormat), not of deck PCM; the front converts.
//
// Thread: every call runs under the process-wide decoder lock (DecoderLock.h),
// taken by the front; decoders add no lock of their own for it. The CD
// decoder is the exception: a drive can stall, so the front calls it without
// the shared lock and it keeps a lock of its own.
#include <cstdint>
#include <string>

#include "decoding/core/WaveFormat.h"

namespace zonda {

class TAudioDecoder {
 public:
  virtual ~TAudioDecoder() = default;
  // False when the file does not exist or cannot be decoded; false when already open.
  virtual bool Open(const std::string& fileName) = 0;
  // Total bytes of the decoder's own PCM output; 0 when not open.
  virtual int32_t PCMSize() const = 0;
  // Random access read; returns bytes delivered (fewer at the end, 0 past it or when closed).
  virtual int32_t ReadAt(int32_t positionBytes, void* buffer, int32_t countBytes) = 0;
  // Releases the file; harmless when not open.
  virtual void Close() = 0;
  // Valid after a successful Open.
  virtual WAVEFORMATEX OutputFormat() const = 0;
};

}  // namespace zonda
