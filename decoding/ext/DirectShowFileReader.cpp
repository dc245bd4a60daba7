#include "decoding/ext/DirectShowFileReader.h"

#include <algorithm>
#include <cstdio>

#include "decoding/core/AudioReadError.h"

extern "C" {
#include <libavutil/error.h>
}

namespace zonda {
namespace {

constexpr int64_t kUnitsPerSecond = 10'000'000;

struct TResultText {
  uint32_t code;
  const char* text;
};

constexpr TResultText kResultTexts[] = {
    {0x00040001, "The asynchronous update is pending."},
    {0x00040002, "Sample was not updated after forced completion."},
    {0x00040003, "Reached the end of the stream; the sample wasn't updated."},
    {0x08000001, "Invalid buffer size."},
    {0x80004002, "No interface."},
    {0x80004003, "This method tried to access an invalid pointer."},
    {0x80004004, "The update aborted."},
    {0x80040110, "This class cannot be created as part of an aggregate."},
    {0x80040154, "A specified class is not registered in the registration database."},
    {0x80040401, "An IMediaStream object could not be removed from an IMultiMediaStream object because it still "
                 "contains at least one allocated sample."},
    {0x80040402, "The specified purpose ID can't be used for the call."},
    {0x80040403, "No stream can be found with the specified attributes."},
    {0x80040404, "One or more media streams don't support seeking."},
    {0x80040405, "The stream formats are not compatible."},
    {0x80040406, "This sample already has a pending update."},
    {0x80040407, "The object can't accept the call because its initialize function or equivalent has not been called."},
    {0x80040408, "Source already defined."},
    {0x80040409, "The stream type is not valid for this operation."},
    {0x8004040A, "The IMultiMediaStream object is not in running state."},
    {0x80070057, "One of the parameters is invalid."},
};

constexpr int32_t kAborted = static_cast<int32_t>(0x80004004u);
constexpr int32_t kNoStream = static_cast<int32_t>(0x80040403u);
constexpr int32_t kNotInitialised = static_cast<int32_t>(0x80040407u);
constexpr int32_t kInvalidArgument = static_cast<int32_t>(0x80070057u);
constexpr int32_t kFailed = static_cast<int32_t>(0x80004005u);

std::string FFmpegText(int err) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {0};
  if (av_strerror(err, text, sizeof text) < 0) return {};
  return text;
}

}  // namespace

TDirectShowFileReader::TDirectShowFileReader(const std::string& fileName) {
  if (!stream_.Open(fileName)) return;
  format_ = InitPCMFormat(16, static_cast<uint16_t>(stream_.Channels()), static_cast<uint32_t>(stream_.Rate()));
  duration_ = FramesToTime(stream_.TotalFrames());
}

TDirectShowFileReader::~TDirectShowFileReader() = default;

int64_t TDirectShowFileReader::FramesToTime(int64_t frames) const {
  const int64_t rate = stream_.Rate();
  if (rate <= 0) return 0;
  return (frames * kUnitsPerSecond + rate - 1) / rate;
}

int32_t TDirectShowFileReader::Read(void* buffer, int32_t countBytes) {
  if (!stream_.IsOpen()) return 0;
  if (!buffer || countBytes < 0) CheckResult(kInvalidArgument);
  const int32_t frameBytes = format_.nBlockAlign;
  const int64_t frames = countBytes / frameBytes;
  if (frames == 0 || position_ >= stream_.TotalFrames()) return 0;  // end of stream
  const int64_t got = stream_.Read(position_, static_cast<int16_t*>(buffer), frames);
  if (const int err = stream_.TakeError(); err != 0) {
    CheckResult(ResultFor(err), FFmpegText(err));
  }
  sampleStart_ = FramesToTime(position_);
  position_ += got;
  sampleEnd_ = FramesToTime(position_);
  return static_cast<int32_t>(got * frameBytes);
}

void TDirectShowFileReader::SeekTime(int64_t time100ns) {
  if (!stream_.IsOpen()) CheckResult(kNotInitialised);
  if (time100ns < 0) CheckResult(kInvalidArgument);
  // Nearest frame: the front's truncating time arithmetic lands just below it.
  const int64_t rate = stream_.Rate();
  const int64_t frame = (time100ns * rate + kUnitsPerSecond / 2) / kUnitsPerSecond;
  position_ = std::min(frame, stream_.TotalFrames());
}

int32_t TDirectShowFileReader::ResultFor(int ffmpegError) {
  if (ffmpegError == 0) return 0;
  if (ffmpegError == AVERROR_EXIT) return kAborted;
  if (ffmpegError == AVERROR(EINVAL)) return kInvalidArgument;
  if (ffmpegError == AVERROR_STREAM_NOT_FOUND || ffmpegError == AVERROR_DECODER_NOT_FOUND) return kNoStream;
  return kFailed;
}

std::string TDirectShowFileReader::MessageFor(int32_t result, const std::string& platformText) {
  for (const TResultText& t : kResultTexts)
    if (static_cast<int32_t>(t.code) == result) return t.text;
  return platformText.empty() ? "Unrecognized error value." : platformText;
}

void TDirectShowFileReader::CheckResult(int32_t result, const std::string& platformText) {
  if (result == 0) return;
  throw EAudioReadError(MessageFor(result, platformText));
}

}  // namespace zonda
