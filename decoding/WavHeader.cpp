#include "decoding/WavHeader.h"

#include <algorithm>
#include <cstring>

namespace zonda {
namespace {

constexpr int64_t kMaxDataBytes = 0x7FFFFFFC;  // largest multiple of 4 in int32
constexpr int kMaxChunks = 65536;              // bounds the walk over junk files
constexpr uint16_t kTagExtensible = 0xFFFE;
// KSDATAFORMAT_SUBTYPE_PCM {00000001-0000-0010-8000-00aa00389b71}
constexpr uint8_t kPcmSubFormat[16] = {1, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0, 0xAA, 0, 0x38, 0x9B, 0x71};

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

std::optional<WAVEFORMATEX> ParseFmt(const uint8_t* body, uint32_t size) {
  if (size != 16 && size != 18 && size != 40) return std::nullopt;
  const uint16_t tag = Le16(body);
  if (tag == kTagExtensible) {
    // cbSize must cover the extension; the sub-format GUID starts at byte 24.
    if (size != 40 || Le16(body + 16) < 22 || std::memcmp(body + 24, kPcmSubFormat, 16) != 0) return std::nullopt;
  } else if (tag != kWaveFormatPCM) {
    return std::nullopt;
  }
  const uint16_t channels = Le16(body + 2);
  const uint32_t rate = Le32(body + 4);
  const uint16_t bits = Le16(body + 14);
  // No PCM file has more; larger values would overflow the block-align product.
  if (channels > 64 || bits > 64) return std::nullopt;
  return InitPCMFormat(bits, channels, rate);
}

}  // namespace

std::optional<TWavLayout> ParseWavLayout(const TWavReadAt& readAt, int64_t fileSize) {
  uint8_t riff[12];
  if (fileSize < 12 || readAt(0, riff, 12) != 12) return std::nullopt;
  if (std::memcmp(riff, "RIFF", 4) != 0 || std::memcmp(riff + 8, "WAVE", 4) != 0) return std::nullopt;

  std::optional<WAVEFORMATEX> format;
  std::optional<TWavLayout> data;
  int64_t pos = 12;
  for (int n = 0; n < kMaxChunks && pos + 8 <= fileSize && !(format && data); ++n) {
    uint8_t head[8];
    if (readAt(pos, head, 8) != 8) break;
    const uint32_t size = Le32(head + 4);
    const int64_t body = pos + 8;
    if (std::memcmp(head, "fmt ", 4) == 0 && !format) {
      uint8_t fmt[40];
      if (size > sizeof fmt || body + size > fileSize || readAt(body, fmt, size) != size) return std::nullopt;
      format = ParseFmt(fmt, size);
      if (!format) return std::nullopt;
    } else if (std::memcmp(head, "data", 4) == 0 && !data) {
      const int64_t inFile = fileSize - body;
      int64_t bytes = size == 0 ? inFile : std::min<int64_t>(size, inFile);
      data = TWavLayout{{}, body, std::min(bytes, kMaxDataBytes)};
    }
    pos = body + static_cast<int64_t>(size) + (size & 1u);  // chunks are padded to even sizes
  }
  if (!format || !data) return std::nullopt;
  data->Format = *format;
  return data;
}

std::optional<TWavLayout> ParseWavLayout(const uint8_t* bytes, size_t size) {
  auto readAt = [bytes, size](int64_t offset, void* buffer, size_t count) -> size_t {
    if (offset < 0 || static_cast<uint64_t>(offset) >= size) return 0;
    const size_t n = std::min(count, size - static_cast<size_t>(offset));
    std::memcpy(buffer, bytes + offset, n);
    return n;
  };
  return ParseWavLayout(readAt, static_cast<int64_t>(size));
}

}  // namespace zonda
