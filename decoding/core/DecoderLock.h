#pragma once
// Process-wide state of the decoding units.
//
// DecoderLock(): the one re-entrant lock that serialises every Open, Close and
// read of every TDataProvider (both decks and the preview). Never taken on the
// audio thread.
//
// ConversionScratch(): the shared 8-second scratch buffer (1411200 bytes) used
// by the front for format conversion and by the MP3 decoder for its own work.
// Only touched while DecoderLock() is held.
#include <cstdint>
#include <mutex>

namespace zonda {

inline constexpr int32_t kConversionScratchBytes = 1411200;

std::recursive_mutex& DecoderLock();
uint8_t* ConversionScratch();

}  // namespace zonda
