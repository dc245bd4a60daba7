#include "quelmo/stream/TrailingTags.h"

#include <cstdio>
#include <cstring>
#include <memory>

namespace zonda {
namespace {

uint32_t Le32(const uint8_t* p) {
  return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}

struct TFileCloser {
  void operator()(std::FILE* f) const { std::fclose(f); }
};

bool ReadAt(std::FILE* f, int64_t at, uint8_t* out, size_t n) {
  if (at < 0 || std::fseek(f, long(at), SEEK_SET) != 0) return false;
  return std::fread(out, 1, n, f) == n;
}

}  // namespace

int64_t AudioEndBeforeTrailingTags(const std::string& fileName) {
  std::unique_ptr<std::FILE, TFileCloser> f(std::fopen(fileName.c_str(), "rb"));
  if (!f || std::fseek(f.get(), 0, SEEK_END) != 0) return -1;
  const long size = std::ftell(f.get());
  if (size < 0) return -1;
  int64_t end = size;
  uint8_t b[32];
  // ID3v1 sits at the very end, after everything else.
  if (end >= 128 && ReadAt(f.get(), end - 128, b, 3) && !std::memcmp(b, "TAG", 3)) end -= 128;
  // APE and Lyrics3v2 come before it, in either order.
  for (bool found = true; found;) {
    found = false;
    if (end >= 32 && ReadAt(f.get(), end - 32, b, 32) && !std::memcmp(b, "APETAGEX", 8)) {
      // Footer: version, size of items and footer, item count, flags.
      const uint32_t tagSize = Le32(b + 12);
      const bool header = (Le32(b + 20) & 0x80000000u) != 0;
      const int64_t start = end - int64_t(tagSize) - (header ? 32 : 0);
      if (tagSize >= 32 && start >= 0) {
        end = start;
        found = true;
        continue;
      }
    }
    if (end >= 15 && ReadAt(f.get(), end - 15, b, 15) && !std::memcmp(b + 6, "LYRICS200", 9)) {
      // Six digits: the size of the block before them, from "LYRICSBEGIN".
      int64_t blockSize = 0;
      bool digits = true;
      for (int i = 0; i < 6; ++i) {
        if (b[i] < '0' || b[i] > '9') digits = false;
        blockSize = blockSize * 10 + (b[i] - '0');
      }
      const int64_t start = end - 15 - blockSize;
      uint8_t begin[11];
      if (digits && start >= 0 && ReadAt(f.get(), start, begin, 11) && !std::memcmp(begin, "LYRICSBEGIN", 11)) {
        end = start;
        found = true;
      }
    }
  }
  return end;
}

}  // namespace zonda
