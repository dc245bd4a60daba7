#include "engine/Recorder.h"

#include <cstring>

#include "platform/ThreadRole.h"

namespace zonda {
namespace {

// The largest file a RIFF header can describe.
constexpr int64_t kMaxWavFileBytes = 0xFFFFFFFFLL;
constexpr int64_t kBytesPerMinute = 10584000;
constexpr int64_t kBytesPerSecond = 176400;

void Put32(uint8_t* p, uint32_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
  p[2] = static_cast<uint8_t>(v >> 16);
  p[3] = static_cast<uint8_t>(v >> 24);
}

void Put16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}

std::string TwoDigits(int64_t v) { return (v < 10 ? "0" : "") + std::to_string(v); }

}  // namespace

TRecorder::TRecorder() : ring_(kRecordRingBytes), staging_(std::make_unique<uint8_t[]>(kRecordStagingBytes)) {}

TRecorder::~TRecorder() { Stop(); }

std::array<uint8_t, kWavHeaderBytes> TRecorder::MakeHeader(int64_t fileBytes) {
  if (fileBytes < kWavHeaderBytes) fileBytes = kWavHeaderBytes;
  if (fileBytes > kMaxWavFileBytes) fileBytes = kMaxWavFileBytes;
  std::array<uint8_t, kWavHeaderBytes> h{};
  uint8_t* p = h.data();
  std::memcpy(p, "RIFF", 4);
  Put32(p + 4, static_cast<uint32_t>(fileBytes - 8));
  std::memcpy(p + 8, "WAVE", 4);
  std::memcpy(p + 12, "fmt ", 4);
  Put32(p + 16, 16);
  Put16(p + 20, 1);  // PCM
  Put16(p + 22, 2);
  Put32(p + 24, 44100);
  Put32(p + 28, 176400);
  Put16(p + 32, 4);
  Put16(p + 34, 16);
  std::memcpy(p + 36, "data", 4);
  Put32(p + 40, static_cast<uint32_t>(fileBytes - kWavHeaderBytes));
  return h;
}

std::string TRecorder::TimeTextFor(int64_t recordedBytes) {
  if (recordedBytes < 0) recordedBytes = 0;
  return TwoDigits(recordedBytes / kBytesPerMinute) + ":" +
         TwoDigits((recordedBytes % kBytesPerMinute) / kBytesPerSecond);
}

std::string TRecorder::TimeText() const { return Recording() ? TimeTextFor(recordedBytes_) : "00:00"; }

bool TRecorder::WriteHeader(std::FILE* file, int64_t fileBytes) {
  const auto header = MakeHeader(fileBytes);
  return std::fseek(file, 0, SEEK_SET) == 0 && std::fwrite(header.data(), 1, header.size(), file) == header.size();
}

bool TRecorder::Start(const std::string& fileName) {
  if (Recording() || fileName.empty()) return false;
  std::FILE* file = std::fopen(fileName.c_str(), "wb");
  if (!file) return false;
  // A valid empty WAV from the first moment on.
  if (!WriteHeader(file, kWavHeaderBytes) || std::fflush(file) != 0) {
    std::fclose(file);
    std::remove(fileName.c_str());
    return false;
  }
  file_ = file;
  fileName_ = fileName;
  recordedBytes_ = 0;
  ring_.Clear();
  recording_.store(true, std::memory_order_release);
  return true;
}

bool TRecorder::Toggle(const std::string& fileName) {
  if (Recording())
    Stop();
  else
    Start(fileName);
  return Recording();
}

void TRecorder::Drain() {
  if (!Recording() || !file_) return;
  int32_t n = ring_.UsedBytes();
  if (n > kRecordStagingBytes) n = kRecordStagingBytes;
  n -= n % 4;  // whole frames
  if (n <= 0) return;
  if (!ring_.Read(staging_.get(), n)) return;
  // Past what a RIFF header can describe the audio is dropped.
  const int64_t room = kMaxWavFileBytes - kWavHeaderBytes - recordedBytes_;
  const int64_t toWrite = n < room ? n : (room > 0 ? room - room % 4 : 0);
  if (toWrite <= 0) return;
  if (std::fseek(file_, 0, SEEK_END) != 0) return;
  const size_t written = std::fwrite(staging_.get(), 1, static_cast<size_t>(toWrite), file_);
  recordedBytes_ += static_cast<int64_t>(written);
  WriteHeader(file_, kWavHeaderBytes + recordedBytes_);
  std::fflush(file_);
}

void TRecorder::Stop() {
  if (!Recording()) return;
  recording_.store(false, std::memory_order_release);
  std::fclose(file_);
  file_ = nullptr;
  ring_.Clear();  // what the ring still holds is discarded
  std::FILE* file = std::fopen(fileName_.c_str(), "r+b");
  if (!file) return;
  int64_t size = kWavHeaderBytes;
  if (std::fseek(file, 0, SEEK_END) == 0) {
    const long end = std::ftell(file);
    if (end > 0) size = end;
  }
  WriteHeader(file, size);
  std::fclose(file);
}

void TRecorder::Feed(const int16_t* master, int32_t bytes) noexcept {
  ZONDA_EXPECT_NOT_ON(TThreadRole::Main);
  ZONDA_EXPECT_NOT_ON(TThreadRole::Worker);
  if (!recording_.load(std::memory_order_acquire) || master == nullptr || bytes <= 0) return;
  ring_.Write(master, bytes);  // all or nothing: a block that does not fit is dropped
}

}  // namespace zonda
