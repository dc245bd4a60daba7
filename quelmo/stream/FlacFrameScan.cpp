#include "quelmo/stream/FlacFrameScan.h"

#include <array>
#include <cstring>

namespace zonda {
namespace {

constexpr std::array<uint8_t, 256> MakeCrc8Table() {
  std::array<uint8_t, 256> t{};
  for (int i = 0; i < 256; ++i) {
    uint8_t c = static_cast<uint8_t>(i);
    for (int b = 0; b < 8; ++b) c = static_cast<uint8_t>((c & 0x80) ? (c << 1) ^ 0x07 : c << 1);
    t[static_cast<size_t>(i)] = c;
  }
  return t;
}
constexpr std::array<uint8_t, 256> kCrc8 = MakeCrc8Table();

// Reads the whole file through `read` in blocks, keeping a window.
class TWindow {
 public:
  explicit TWindow(const std::function<int(uint8_t*, int)>& read) : read_(read) {}
  // Makes [pos, pos + n) available; false when the file ends first.
  bool Need(int64_t pos, int n) {
    while (pos + n > start_ + static_cast<int64_t>(data_.size())) {
      if (eof_) return false;
      // Drop what lies before pos, then append a block.
      if (pos > start_) {
        const size_t drop = static_cast<size_t>(std::min<int64_t>(pos - start_, static_cast<int64_t>(data_.size())));
        data_.erase(data_.begin(), data_.begin() + static_cast<std::ptrdiff_t>(drop));
        start_ += static_cast<int64_t>(drop);
      }
      const size_t old = data_.size();
      data_.resize(old + kBlock);
      const int got = read_(data_.data() + old, static_cast<int>(kBlock));
      data_.resize(old + static_cast<size_t>(got > 0 ? got : 0));
      if (got <= 0) eof_ = true;
    }
    return true;
  }
  const uint8_t* At(int64_t pos) const { return data_.data() + (pos - start_); }
  // Next 0xFF at or after pos (pos itself available), or -1 at the end.
  int64_t NextFF(int64_t pos) {
    for (;;) {
      if (!Need(pos, 1)) return -1;
      const int64_t avail = start_ + static_cast<int64_t>(data_.size()) - pos;
      const void* hit = std::memchr(At(pos), 0xFF, static_cast<size_t>(avail));
      if (hit) return pos + (static_cast<const uint8_t*>(hit) - At(pos));
      pos += avail;
    }
  }

 private:
  static constexpr size_t kBlock = size_t{1} << 20;
  const std::function<int(uint8_t*, int)>& read_;
  std::vector<uint8_t> data_;
  int64_t start_ = 0;
  bool eof_ = false;
};

struct THeader {
  int length = 0;   // bytes including the CRC-8
  int64_t number = 0;
  int32_t samples = 0;
};

// Parses a fixed-block-size frame header at p (at least 16 bytes there).
bool ParseHeader(const uint8_t* p, THeader* h) {
  if (p[0] != 0xFF || p[1] != 0xF8) return false;
  const int bsCode = p[2] >> 4, srCode = p[2] & 0x0F;
  const int chCode = p[3] >> 4, ssCode = (p[3] >> 1) & 0x07;
  if (bsCode == 0 || srCode == 0x0F || chCode > 10 || ssCode == 3 || ssCode == 7 || (p[3] & 1)) return false;
  int i = 4;
  // The frame number, UTF-8 style.
  uint32_t v = p[i++];
  int more = 0;
  if (v < 0x80) {
  } else if ((v & 0xE0) == 0xC0) {
    v &= 0x1F, more = 1;
  } else if ((v & 0xF0) == 0xE0) {
    v &= 0x0F, more = 2;
  } else if ((v & 0xF8) == 0xF0) {
    v &= 0x07, more = 3;
  } else if ((v & 0xFC) == 0xF8) {
    v &= 0x03, more = 4;
  } else if ((v & 0xFE) == 0xFC) {
    v &= 0x01, more = 5;
  } else {
    return false;
  }
  for (; more > 0; --more) {
    if ((p[i] & 0xC0) != 0x80) return false;
    v = (v << 6) | (p[i++] & 0x3F);
  }
  int32_t samples = 0;
  if (bsCode == 1) samples = 192;
  else if (bsCode <= 5) samples = 576 << (bsCode - 2);
  else if (bsCode == 6) samples = p[i++] + 1;
  else if (bsCode == 7) samples = ((p[i] << 8) | p[i + 1]) + 1, i += 2;
  else samples = 256 << (bsCode - 8);
  if (srCode == 12) i += 1;
  else if (srCode == 13 || srCode == 14) i += 2;
  uint8_t crc = 0;
  for (int k = 0; k < i; ++k) crc = kCrc8[crc ^ p[k]];
  if (crc != p[i]) return false;
  h->length = i + 1;
  h->number = v;
  h->samples = samples;
  return true;
}

}  // namespace

bool ScanFlacFrames(const std::function<int(uint8_t*, int)>& read, std::vector<TFlacFrame>* frames) {
  frames->clear();
  TWindow w(read);
  int64_t pos = 0;
  // An ID3v2 tag may come first.
  if (!w.Need(0, 10)) return false;
  if (std::memcmp(w.At(0), "ID3", 3) == 0) {
    const uint8_t* t = w.At(0);
    pos = 10 + ((int64_t{t[6]} & 0x7F) << 21 | (int64_t{t[7]} & 0x7F) << 14 | (t[8] & 0x7F) << 7 | (t[9] & 0x7F));
    if (t[5] & 0x10) pos += 10;
  }
  if (!w.Need(pos, 4) || std::memcmp(w.At(pos), "fLaC", 4) != 0) return false;
  pos += 4;
  int64_t total = 0;
  int minFrameBytes = 0;
  int32_t blockSize = 0;
  for (bool last = false; !last;) {
    if (!w.Need(pos, 4)) return false;
    const uint8_t* b = w.At(pos);
    last = (b[0] & 0x80) != 0;
    const int type = b[0] & 0x7F;
    const int64_t length = (int64_t{b[1]} << 16) | (b[2] << 8) | b[3];
    if (type == 0) {  // STREAMINFO
      if (length < 34 || !w.Need(pos + 4, 34)) return false;
      const uint8_t* s = w.At(pos + 4);
      const int minBlock = (s[0] << 8) | s[1], maxBlock = (s[2] << 8) | s[3];
      if (minBlock != maxBlock) return false;  // variable block size: leave it to the demuxer
      blockSize = maxBlock;
      minFrameBytes = (s[4] << 16) | (s[5] << 8) | s[6];
      total = (int64_t{s[13]} & 0x0F) << 32 | int64_t{s[14]} << 24 | int64_t{s[15]} << 16 | int64_t{s[16]} << 8 | s[17];
    }
    pos += 4 + length;
  }
  if (blockSize <= 0 || total <= 0) return false;
  int64_t expected = 0, sum = 0;
  bool shortSeen = false;
  int64_t at = pos;
  for (;;) {
    const int64_t q = w.NextFF(at);
    if (q < 0) break;
    THeader h;
    if (w.Need(q, 16) && ParseHeader(w.At(q), &h) && h.number == expected) {
      // Only the last frame may be shorter than the block size.
      if (shortSeen || h.samples > blockSize) return false;
      if (h.samples < blockSize) shortSeen = true;
      frames->push_back(TFlacFrame{q, h.samples});
      sum += h.samples;
      ++expected;
      at = q + std::max(h.length + 1, minFrameBytes);
      if (sum >= total) break;
    } else {
      at = q + 1;
    }
  }
  return sum == total && !frames->empty() && frames->front().pos == pos;
}

}  // namespace zonda
