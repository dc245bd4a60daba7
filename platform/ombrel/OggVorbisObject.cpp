#include "platform/ombrel/OggVorbisObject.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace zonda {

int32_t TOggVorbisObject::Open(const char* fileName, StreamInfo* info) {
  if (isOpen_) return 0;
  if (info) *info = StreamInfo{};
  if (!fileName || !info) return 0;
  // Only plain files: a FIFO would block in fopen with no way out.
  std::error_code ec;
  if (!std::filesystem::is_regular_file(fileName, ec)) return 0;
  if (ov_fopen(fileName, &file_) != 0) return 0;
  isOpen_ = true;
  const vorbis_info* vi = ov_info(&file_, -1);
  const int64_t total = ov_seekable(&file_) ? ov_pcm_total(&file_, -1) : -1;
  bool ok = vi && vi->rate > 0 && vi->rate <= 48000 && vi->channels > 0 && total > 0;
  for (int link = 1; ok && link < ov_streams(&file_); ++link) {
    const vorbis_info* li = ov_info(&file_, link);
    ok = li && li->rate == vi->rate && li->channels == vi->channels;
  }
  if (!ok) {
    Close();
    return 0;
  }
  channels_ = vi->channels;
  outChannels_ = std::min(channels_, 2);
  total_ = std::min<int64_t>(total, INT32_MAX);
  position_ = 0;
  info->rate = static_cast<int32_t>(vi->rate);
  info->channels = outChannels_;
  info->bits = 16;
  info->frameBits = 16;
  info->reserved = 0;
  info->totalFrames = static_cast<int32_t>(total_);
  return 1;
}

void TOggVorbisObject::Close() {
  if (isOpen_) ov_clear(&file_);
  isOpen_ = false;
  file_ = OggVorbis_File{};
  total_ = position_ = 0;
}

int64_t TOggVorbisObject::ReadMixed(int16_t* out, int64_t frames) {
  // More than two channels: Vorbis order is L C R for 3, L R for quad,
  // L C R Ls Rs for 5, L C R Ls Rs LFE for 5.1, ...; a plain fold-down.
  float** pcm = nullptr;
  int link = 0;
  const long got = ov_read_float(&file_, &pcm, static_cast<int>(std::min<int64_t>(frames, 4096)), &link);
  if (got <= 0) return got;
  const int n = channels_;
  for (long i = 0; i < got; ++i) {
    float l = 0, r = 0;
    if (n == 3 || n >= 5) {
      const float c = pcm[1][i] * 0.7071f;
      l = pcm[0][i] + c;
      r = pcm[2][i] + c;
      if (n >= 5) {
        l += pcm[3][i] * 0.7071f;
        r += pcm[4][i] * 0.7071f;
      }
    } else {  // quad: L R Ls Rs
      l = pcm[0][i] + pcm[2][i] * 0.7071f;
      r = pcm[1][i] + pcm[3][i] * 0.7071f;
    }
    const float scale = 32767.0f / (n >= 5 ? 2.4142f : 1.7071f);
    out[2 * i] = static_cast<int16_t>(std::clamp(std::lrint(l * scale), -32768L, 32767L));
    out[2 * i + 1] = static_cast<int16_t>(std::clamp(std::lrint(r * scale), -32768L, 32767L));
  }
  return got;
}

int64_t TOggVorbisObject::ReadFrames(int16_t* out, int64_t frames) {
  int64_t done = 0;
  const int frameBytes = 2 * outChannels_;
  int failures = 0;
  while (done < frames) {
    long got;
    if (channels_ > 2) {
      got = ReadMixed(out + done * outChannels_, frames - done);
    } else {
      int link = 0;
      const int bytes = static_cast<int>(std::min<int64_t>((frames - done) * frameBytes, 1 << 16));
      got = ov_read(&file_, reinterpret_cast<char*>(out + done * outChannels_), bytes, 0, 2, 1, &link);
      if (got > 0) got /= frameBytes;
    }
    if (got == OV_HOLE) {  // a gap in the data: libvorbisfile goes on after it
      if (++failures > 64) break;
      continue;
    }
    if (got <= 0) break;  // end of stream or damage
    done += got;
  }
  return done;
}

int32_t TOggVorbisObject::GetSamples(void* buffer, int32_t count, int32_t first) {
  if (!isOpen_ || !buffer || count <= 0 || first < 0 || first >= total_) return 0;
  const int64_t frames = std::min<int64_t>(count, total_ - first);
  if (first != position_) {
    if (ov_pcm_seek(&file_, first) != 0) {
      std::fprintf(stderr, "ombrel: cannot seek to frame %d\n", first);
      position_ = -1;
      return 0;
    }
    position_ = first;
  }
  const int64_t got = ReadFrames(static_cast<int16_t*>(buffer), frames);
  position_ += got;
  return static_cast<int32_t>(got);
}

}  // namespace zonda
