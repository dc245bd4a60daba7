#include "decoding/ext/LibraryDecoder.h"

#include <algorithm>
#include <filesystem>

namespace zonda {

TLibraryDecoder::TLibraryDecoder(const TDecoderLibrary& library) : library_(library) {
  if (library_.Available) handle_ = library_.create_obj();
}

TLibraryDecoder::~TLibraryDecoder() {
  Close();
  if (library_.Available && handle_) library_.destroy_obj(handle_);
}

bool TLibraryDecoder::Open(const std::string& fileName) {
  if (!library_.Available || !handle_ || isOpen_) return false;
  std::error_code ec;
  if (!std::filesystem::is_regular_file(fileName, ec)) return false;
  info_ = TStreamInfo{};
  if (library_.open(handle_, fileName.c_str(), &info_) == 0) return false;
  outputFormat_ = InitPCMFormat(static_cast<uint16_t>(info_.bits), static_cast<uint16_t>(info_.channels & 0xFFFF),
                                static_cast<uint32_t>(info_.rate));
  // 32 bits of bytes: a longer stream is cut to the last whole frame that fits.
  const int64_t frameBytes = std::max(0, FrameBytes());
  const int64_t bytes = static_cast<int64_t>(std::max(0, info_.totalFrames)) * frameBytes;
  pcmBytes_ = frameBytes > 0 ? static_cast<int32_t>(std::min<int64_t>(bytes, INT32_MAX / frameBytes * frameBytes)) : 0;
  isOpen_ = true;
  return true;
}

int32_t TLibraryDecoder::PCMSize() const { return library_.Available && isOpen_ ? pcmBytes_ : 0; }

int32_t TLibraryDecoder::ReadAt(int32_t positionBytes, void* buffer, int32_t countBytes) {
  if (!library_.Available || !isOpen_ || !buffer || positionBytes < 0 || countBytes <= 0) return 0;
  const int32_t f = FrameBytes();
  if (f <= 0) return 0;
  const int32_t got = library_.getsamples(handle_, buffer, countBytes / f, positionBytes / f);
  if (got <= 0) return 0;
  return std::min(got, countBytes / f) * f;
}

void TLibraryDecoder::Close() {
  if (!isOpen_) return;
  isOpen_ = false;
  pcmBytes_ = 0;
  if (library_.Available) library_.close(handle_);
}

}  // namespace zonda
