// libFuzzer target: arbitrary bytes as an audio file for the FFmpeg stream
// behind libquelmo.so and the file reader. Opens, reads on in 1-second
// requests and makes two jumps; nothing may crash, hang or read out of bounds.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "quelmo/stream/MediaStream.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = "/tmp/zonda-fuzz-media-" + std::to_string(getpid());
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  {
    zonda::TMediaStream s;
    if (s.Open(path)) {
      std::vector<int16_t> buf(static_cast<size_t>(s.Rate()) * s.Channels());
      const int64_t total = s.TotalFrames();
      for (int64_t at = 0, n = 0; at < total && n < 600; at += s.Rate(), ++n) {
        if (s.Read(at, buf.data(), s.Rate()) <= 0) break;
      }
      if (total > 0) {
        s.Read(total / 2, buf.data(), s.Rate());
        s.Read(total / 7, buf.data(), s.Rate());
      }
    }
  }
  std::remove(path.c_str());  // closed above; no file left behind in /tmp
  return 0;
}
