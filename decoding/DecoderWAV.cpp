#include "decoding/DecoderWAV.h"

#include <algorithm>
#include <filesystem>

#include "decoding/WavHeader.h"

namespace zonda {

bool TDecoderWAV::Open(const std::string& fileName) {
  if (isOpen_) return false;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(fileName, ec)) return false;
  const auto fileSize = std::filesystem::file_size(fileName, ec);
  if (ec) return false;

  file_.clear();
  file_.open(fileName, std::ios::binary);
  if (!file_) return false;
  auto readAt = [this](int64_t offset, void* buffer, size_t count) -> size_t {
    file_.clear();
    file_.seekg(offset);
    file_.read(static_cast<char*>(buffer), static_cast<std::streamsize>(count));
    return static_cast<size_t>(file_.gcount());
  };
  const auto layout = ParseWavLayout(readAt, static_cast<int64_t>(fileSize));
  if (!layout) {
    file_.close();
    return false;
  }
  format_ = layout->Format;
  dataOffset_ = layout->DataOffset;
  dataBytes_ = layout->DataBytes;
  isOpen_ = true;
  return true;
}

int32_t TDecoderWAV::PCMSize() const { return isOpen_ ? static_cast<int32_t>(dataBytes_) : 0; }

int32_t TDecoderWAV::ReadAt(int32_t positionBytes, void* buffer, int32_t countBytes) {
  if (!isOpen_ || positionBytes < 0 || countBytes <= 0 || positionBytes >= dataBytes_) return 0;
  const int64_t n = std::min<int64_t>(countBytes, dataBytes_ - positionBytes);
  file_.clear();
  file_.seekg(dataOffset_ + positionBytes);
  file_.read(static_cast<char*>(buffer), static_cast<std::streamsize>(n));
  return static_cast<int32_t>(file_.gcount());
}

void TDecoderWAV::Close() {
  if (!isOpen_) return;
  isOpen_ = false;
  file_.close();
  file_.clear();
}

}  // namespace zonda
