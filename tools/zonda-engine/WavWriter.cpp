#include "tools/zonda-engine/WavWriter.h"

#include <cstring>

namespace zonda::host {
namespace {

constexpr int64_t kMaxDataBytes = 0xFFFFFFFFLL - 36;

void Put16(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

void Header(uint8_t h[44], int32_t channels, int64_t dataBytes) {
  std::memcpy(h, "RIFF", 4);
  Put32(h + 4, static_cast<uint32_t>(36 + dataBytes));
  std::memcpy(h + 8, "WAVEfmt ", 8);
  Put32(h + 16, 16);
  Put16(h + 20, 1);
  Put16(h + 22, static_cast<uint32_t>(channels));
  Put32(h + 24, 44100);
  Put32(h + 28, static_cast<uint32_t>(44100 * 2 * channels));
  Put16(h + 32, static_cast<uint32_t>(2 * channels));
  Put16(h + 34, 16);
  std::memcpy(h + 36, "data", 4);
  Put32(h + 40, static_cast<uint32_t>(dataBytes));
}

}  // namespace

TWavWriter::~TWavWriter() { Close(); }

bool TWavWriter::Open(const std::string& fileName, int32_t channels) {
  Close();
  channels_ = channels;
  dataBytes_ = 0;
  failed_ = false;
  file_ = std::fopen(fileName.c_str(), "wb");
  if (file_ == nullptr) return false;
  std::setvbuf(file_, nullptr, _IOFBF, 1 << 20);
  uint8_t h[44];
  Header(h, channels_, 0);
  if (std::fwrite(h, 1, sizeof h, file_) != sizeof h) failed_ = true;
  return !failed_;
}

bool TWavWriter::Write(const int16_t* samples, int32_t frames) {
  if (file_ == nullptr || failed_) return false;
  const int64_t bytes = int64_t(frames) * 2 * channels_;
  if (dataBytes_ + bytes > kMaxDataBytes) {
    failed_ = true;
    return false;
  }
  // Little-endian samples, as the machine holds them on every target we build for.
  if (std::fwrite(samples, 1, size_t(bytes), file_) != size_t(bytes)) {
    failed_ = true;
    return false;
  }
  dataBytes_ += bytes;
  return true;
}

bool TWavWriter::Close() {
  if (file_ == nullptr) return !failed_;
  uint8_t h[44];
  Header(h, channels_, dataBytes_);
  bool ok = !failed_ && std::fseek(file_, 0, SEEK_SET) == 0 && std::fwrite(h, 1, sizeof h, file_) == sizeof h;
  ok = (std::fclose(file_) == 0) && ok;
  file_ = nullptr;
  failed_ = !ok;
  return ok;
}

}  // namespace zonda::host
