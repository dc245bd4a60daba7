// Fuzzes the MPEG audio core and the MP3 decoder with its stream reader.
// The first byte picks the path:
//  - even: the bytes are a stream for the core alone (frame search,
//    initialisation, every frame decoded from an exactly sized copy, so any
//    read past a frame is caught);
//  - odd: the bytes become a file opened by TDecoderMP3 (first-frame lookup,
//    VBR tags with any counts, index building, resync, reads at positions
//    taken from the input).
// Seeds: fuzz/seeds/mpeg.
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "decoding/core/DecoderLock.h"
#include "decoding/mpeg/DecoderMP3.h"
#include "decoding/mpeg/MpegAudioCore.h"

namespace {

void FuzzCore(const uint8_t* data, size_t size) {
  zonda::mpeg::TMpegHeader h;
  int32_t bitrate = 0, skipped = 0;
  const int32_t len = zonda::mpeg::FindFrame(data, int32_t(size), h, bitrate, skipped);
  if (len <= 0) return;
  if (!zonda::mpeg::InitDecoder(h, len, 0, 0, 0, 24000)) return;
  zonda::mpeg::TMpegOutputInfo info;
  zonda::mpeg::GetOutputInfo(info);
  if (info.frameBytes <= 0 || info.frameBytes > 4608) std::abort();
  std::vector<int16_t> out(2304);
  size_t pos = size_t(skipped);
  for (int frames = 0; pos + 4 <= size && frames < 400; ++frames) {
    zonda::mpeg::TMpegHeader fh;
    const int32_t flen = zonda::mpeg::ParseHeader(data + pos, int32_t(size - pos), fh);
    if (flen <= 0) {
      ++pos;
      continue;
    }
    const size_t avail = std::min<size_t>(size - pos, size_t(flen) + 4);
    const std::vector<uint8_t> frame(data + pos, data + pos + avail);
    const zonda::mpeg::TDecodeResult r = zonda::mpeg::DecodeFrame(frame.data(), int32_t(frame.size()), out.data());
    if (r.bytesConsumed > int32_t(avail) || r.bytesProduced > info.frameBytes) std::abort();
    pos += r.bytesConsumed > 0 ? size_t(r.bytesConsumed) : 1;
  }
}

void FuzzDecoder(const uint8_t* data, size_t size) {
  static const std::string path = "/tmp/zonda-fuzz-mpeg-" + std::to_string(getpid()) + ".mp3";
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  struct RemoveAtReturn {  // after Close(); no file left behind in /tmp
    const std::string& path;
    ~RemoveAtReturn() { std::remove(path.c_str()); }
  } removeAtReturn{path};
  std::lock_guard<std::recursive_mutex> lock(zonda::DecoderLock());
  static zonda::TDecoderMP3 mp3;  // reused, as the front does
  if (!mp3.Open(path)) return;
  const int32_t total = mp3.PCMSize();
  if (total < 0) std::abort();
  static std::vector<uint8_t> buf(200000);
  uint32_t seed = size > 8 ? uint32_t(data[size - 1]) << 8 | data[size - 2] : 7u;
  for (int i = 0; i < 3; ++i) {
    seed = seed * 1664525u + 1013904223u;
    const int32_t pos = int32_t((uint64_t(seed >> 8) % (uint64_t(std::max(total, 4)) + 200000)) & 0x7FFFFFFC);
    const int32_t len = 4 * int32_t(1 + (seed >> 3) % 50000);
    if (mp3.ReadAt(pos, buf.data(), len) != len) std::abort();
  }
  mp3.Close();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  if (data[0] & 1) FuzzDecoder(data + 1, size - 1);
  else FuzzCore(data + 1, size - 1);
  return 0;
}
