#pragma once
// TOggVorbisObject: the decoder object behind libombrel.so's create_obj. It
// opens an Ogg Vorbis file with libvorbisfile and hands out interleaved
// signed 16-bit frames by absolute frame number, seeking sample-exactly
// (ov_pcm_seek) on a jump and reading on otherwise.
//
// Output: the file's rate (files above 48000 Hz are refused), at most 2
// channels (more are mixed down to stereo), 16 bits. Chained files whose
// links change rate or channel count are refused.
//
// Not thread-safe; the caller (the decoder front, under its decoder lock)
// uses one object at a time.
#include <cstdint>
#include <vector>

#include <vorbis/vorbisfile.h>

#include "quelmo/StreamInfo.h"

namespace zonda {

class TOggVorbisObject {
 public:
  TOggVorbisObject() = default;
  ~TOggVorbisObject() { Close(); }
  TOggVorbisObject(const TOggVorbisObject&) = delete;
  TOggVorbisObject& operator=(const TOggVorbisObject&) = delete;

  // 1 and info filled on success, 0 otherwise (info zeroed).
  int32_t Open(const char* fileName, StreamInfo* info);
  // Frames delivered into buffer, starting at frame `first`.
  int32_t GetSamples(void* buffer, int32_t count, int32_t first);
  void Close();

 private:
  int64_t ReadFrames(int16_t* out, int64_t frames);
  int64_t ReadMixed(int16_t* out, int64_t frames);

  OggVorbis_File file_{};
  bool isOpen_ = false;
  int channels_ = 0;     // the file's
  int outChannels_ = 0;  // delivered
  int64_t total_ = 0;
  int64_t position_ = 0;  // next frame the decoder stands at
};

}  // namespace zonda
