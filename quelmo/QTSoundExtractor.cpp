#include "quelmo/QTSoundExtractor.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace zonda {

int32_t QTSoundExtractor::Open(const char* fileName, StreamInfo* info) {
  if (stream_.IsOpen()) return 0;
  if (info) *info = StreamInfo{};
  if (!fileName || !info) return 0;
  if (!stream_.Open(fileName)) return 0;
  const int64_t total = stream_.TotalFrames();
  if (total > INT32_MAX) {
    // The record holds 32 bits: longer streams are cut at that length.
    std::fprintf(stderr, "stream longer than %d frames, cut: %s\n", INT32_MAX, fileName);
  }
  info->rate = stream_.Rate();
  info->channels = stream_.Channels();
  info->bits = 16;
  info->frameBits = 16;
  info->reserved = 0;
  info->totalFrames = static_cast<int32_t>(std::min<int64_t>(total, INT32_MAX));
  position_ = 0;
  return 1;
}

int32_t QTSoundExtractor::GetSamples(void* buffer, int32_t count, int32_t first) {
  if (!stream_.IsOpen() || !buffer || count <= kMinRequestFrames || first < 0) return 0;
  position_ = first + std::min(count, INT32_MAX - first);
  const int64_t got = stream_.Read(first, static_cast<int16_t*>(buffer), count);
  if (const int err = stream_.TakeError(); err != 0) {
    std::fprintf(stderr, "error %d -- SoundConverterFillBuffer\n", err);
  }
  return static_cast<int32_t>(got);
}

void QTSoundExtractor::Close() {
  stream_.Close();
  position_ = 0;
}

}  // namespace zonda
