#pragma once
// The RIFF WAVE layout reader behind TDecoderWAV.
//
// It walks the RIFF chunks: takes the first "fmt " chunk of 16, 18 or 40 bytes
// (plain PCM, or extensible with the PCM sub-format), skips every chunk it
// does not know, and takes exactly the first "data" chunk's bytes. A data size
// that runs past the end of the file is cut to the file; a data size of 0 (an
// unfinished recording) runs to the end of the file. Channel count, rate and
// bit depth are not judged here (the decoder front does that).
//
// Pure and allocation-free: the bytes come through a read callback so the
// same code serves files and the fuzz target. Any thread.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

#include "decoding/core/WaveFormat.h"

namespace zonda {

struct TWavLayout {
  WAVEFORMATEX Format{};   // InitPCMFormat(bits, channels, rate) of the fmt chunk
  int64_t DataOffset = 0;  // file offset of the first sample byte
  int64_t DataBytes = 0;   // sample bytes, cut to the file and to 0x7FFFFFFC
};

// readAt(offset, buffer, count) -> bytes actually read.
using TWavReadAt = std::function<size_t(int64_t offset, void* buffer, size_t count)>;

// nullopt when the file is not a RIFF WAVE with a usable PCM fmt and a data chunk.
std::optional<TWavLayout> ParseWavLayout(const TWavReadAt& readAt, int64_t fileSize);

// The same over bytes in memory.
std::optional<TWavLayout> ParseWavLayout(const uint8_t* data, size_t size);

}  // namespace zonda
