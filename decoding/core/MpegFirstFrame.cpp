#include "decoding/core/MpegFirstFrame.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace zonda {

namespace {

// Kilobits per second by [MPEG-1?][layer I, II, III][index].
constexpr int kBitrateV1[3][16] = {
    {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448, 0},
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384, 0},
    {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0},
};
constexpr int kBitrateV2[3][16] = {
    {0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256, 0},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
    {0, 8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160, 0},
};
// Hz by [version bits 00 = 2.5, 10 = 2, 11 = 1][index].
constexpr int kSampleRate[4][3] = {
    {11025, 12000, 8000}, {0, 0, 0}, {22050, 24000, 16000}, {44100, 48000, 32000}};

// Largest frame: layer II, 160 kbit/s at 8000 Hz = 2880 bytes + padding.
constexpr int64_t kMaxFrameBytes = 2881;

// Version, layer and sample-rate bits, which stay the same from frame to frame.
uint32_t StreamKey(const uint8_t* h) {
  return (static_cast<uint32_t>(h[1]) & 0x1E) << 8 | (h[2] & 0x0C);
}

bool IsId3v1(const uint8_t* p) { return p[0] == 'T' && p[1] == 'A' && p[2] == 'G'; }

// First offset in data[0, scanEnd) that starts a frame followed by a matching
// frame. `complete` says data runs to the end of the file.
int64_t ScanForFramePair(std::span<const uint8_t> data, int64_t scanEnd, bool complete) {
  const auto size = static_cast<int64_t>(data.size());
  const uint8_t* p = data.data();
  for (int64_t i = 0; i < scanEnd && i + 4 <= size; ++i) {
    if (p[i] != 0xFF) continue;
    const int len = MpegFrameLength(p + i);
    if (len <= 0) continue;
    const int64_t next = i + len;
    if (next + 4 <= size) {
      if (MpegFrameLength(p + next) > 0 && StreamKey(p + next) == StreamKey(p + i)) return i;
      if (IsId3v1(p + next)) return i;
    } else if (complete) {
      if (next == size) return i;
      if (next + 3 <= size && IsId3v1(p + next)) return i;
    }
  }
  return -1;
}

}  // namespace

int MpegFrameLength(const uint8_t* h) {
  if (h[0] != 0xFF || (h[1] & 0xE0) != 0xE0) return 0;
  const int version = (h[1] >> 3) & 3;  // 0 = 2.5, 1 reserved, 2 = MPEG-2, 3 = MPEG-1
  const int layerBits = (h[1] >> 1) & 3;  // 3 = layer I, 2 = II, 1 = III, 0 reserved
  const int bitrateIndex = h[2] >> 4;
  const int rateIndex = (h[2] >> 2) & 3;
  const int padding = (h[2] >> 1) & 1;
  if (version == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex == 15 || rateIndex == 3 ||
      (h[3] & 3) == 2)
    return 0;
  const int layer = 4 - layerBits;  // 1, 2 or 3
  const int kbps = (version == 3 ? kBitrateV1 : kBitrateV2)[layer - 1][bitrateIndex];
  const int rate = kSampleRate[version][rateIndex];
  const int bps = kbps * 1000;
  if (layer == 1) return (12 * bps / rate + padding) * 4;
  if (layer == 3 && version != 3) return 72 * bps / rate + padding;
  return 144 * bps / rate + padding;
}

int64_t Id3v2TagSize(std::span<const uint8_t> d) {
  if (d.size() < 10 || d[0] != 'I' || d[1] != 'D' || d[2] != '3') return 0;
  if (d[3] == 0xFF || d[4] == 0xFF) return 0;
  if ((d[6] | d[7] | d[8] | d[9]) & 0x80) return 0;  // sizes are 7 bits per byte
  const int64_t body = static_cast<int64_t>(d[6]) << 21 | d[7] << 14 | d[8] << 7 | d[9];
  const bool footer = (d[5] & 0x10) != 0;
  return 10 + body + (footer ? 10 : 0);
}

int64_t MpegFirstFrameInMemory(std::span<const uint8_t> data) {
  const auto size = static_cast<int64_t>(data.size());
  int64_t start = 0;
  while (start < size) {
    const int64_t tag = Id3v2TagSize(data.subspan(static_cast<size_t>(start)));
    if (tag == 0) break;
    start += tag;
  }
  if (start >= size) return -1;
  const int64_t found = ScanForFramePair(data.subspan(static_cast<size_t>(start)), kMpegFirstFrameScanBytes, true);
  return found < 0 ? -1 : start + found;
}

int64_t MpegFirstFramePos(const char* fileName) {
  if (fileName == nullptr || fileName[0] == '\0') return -1;
  struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
  };
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(fileName, "rb"));
  if (!file) return -1;
  std::FILE* f = file.get();
  if (std::fseek(f, 0, SEEK_END) != 0) return -1;
  const int64_t fileSize = ftello(f);
  if (fileSize < 4) return -1;

  int64_t start = 0;
  for (;;) {
    uint8_t head[10];
    if (start + 10 > fileSize || fseeko(f, start, SEEK_SET) != 0 || std::fread(head, 1, 10, f) != 10) break;
    const int64_t tag = Id3v2TagSize(head);
    if (tag == 0) break;
    start += tag;
  }
  if (start >= fileSize) return -1;

  const int64_t want = kMpegFirstFrameScanBytes + kMaxFrameBytes + 4;
  const int64_t length = std::min(want, fileSize - start);
  std::vector<uint8_t> window(static_cast<size_t>(length));
  if (fseeko(f, start, SEEK_SET) != 0 || std::fread(window.data(), 1, window.size(), f) != window.size()) return -1;
  const bool complete = start + length == fileSize;
  const int64_t found = ScanForFramePair(window, kMpegFirstFrameScanBytes, complete);
  return found < 0 ? -1 : start + found;
}

}  // namespace zonda
