#include "decoding/mpeg/MPFileStream.h"

namespace zonda {
namespace {

int SeekTo(std::FILE* f, int64_t pos) {
#if defined(_WIN32)
  return _fseeki64(f, pos, SEEK_SET);
#else
  return fseeko(f, off_t(pos), SEEK_SET);
#endif
}

}  // namespace

bool TMPFileStream::Open(const std::string& fileName) {
  Close();
  file_ = std::fopen(fileName.c_str(), "rb");
  if (!file_) return false;
  if (std::fseek(file_, 0, SEEK_END) != 0) {
    Close();
    return false;
  }
#if defined(_WIN32)
  size_ = _ftelli64(file_);
#else
  size_ = int64_t(ftello(file_));
#endif
  if (size_ < 0 || SeekTo(file_, 0) != 0) {
    Close();
    return false;
  }
  position_ = 0;
  return true;
}

void TMPFileStream::Close() {
  if (file_) std::fclose(file_);
  file_ = nullptr;
  position_ = 0;
  size_ = 0;
}

int32_t TMPFileStream::Read(void* buffer, int32_t count) {
  if (!file_ || count <= 0) return 0;
  const size_t got = std::fread(buffer, 1, size_t(count), file_);
  position_ += int64_t(got);
  return int32_t(got);
}

int64_t TMPFileStream::Seek(int64_t offset, TOrigin origin) {
  if (!file_) return -1;
  int64_t target = offset;
  if (origin == TOrigin::kCurrent) target = position_ + offset;
  else if (origin == TOrigin::kEnd) target = size_ + offset;
  if (target < 0) target = 0;
  if (target > size_) target = size_;
  if (SeekTo(file_, target) != 0) return -1;
  position_ = target;
  return target;
}

}  // namespace zonda
