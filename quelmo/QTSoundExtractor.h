#pragma once
// QTSoundExtractor: the object behind libquelmo.so's create_obj. It opens the
// first audio stream of a file through FFmpeg (TMediaStream) and hands out
// interleaved 16-bit PCM frames by absolute frame number.
//
// Output: at most 2 channels (more are downmixed), at most 48000 Hz (higher
// rates are resampled), 16 bits; StreamInfo describes exactly that output.
// Sequential reads continue the decoder; a jump re-seeks with half a second
// of pre-roll that is decoded and thrown away, so every frame is the same
// whichever way it is reached.
//
// Not thread-safe: the caller (the decoder front, under its decoder lock)
// calls one object at a time. Messages go to standard error.
#include <cstdint>
#include <string>

#include "quelmo/StreamInfo.h"
#include "quelmo/stream/MediaStream.h"

namespace zonda {

class QTSoundExtractor {
 public:
  // Requests of this many frames or fewer are refused (0 frames).
  static constexpr int32_t kMinRequestFrames = 255;

  // 1 and info filled on success; 0 when already open or the file has no
  // decodable audio (info zeroed).
  int32_t Open(const char* fileName, StreamInfo* info);
  // Frames delivered into buffer (channels x 16-bit each), 0 when closed, the
  // buffer is null, count <= 255 or first < 0.
  int32_t GetSamples(void* buffer, int32_t count, int32_t first);
  void Close();
  bool IsOpen() const { return stream_.IsOpen(); }
  int32_t Position() const { return position_; }
  const TMediaStream& Stream() const { return stream_; }

 private:
  TMediaStream stream_;
  int32_t position_ = 0;  // the frame the next sequential read continues from
};

}  // namespace zonda
