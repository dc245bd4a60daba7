#pragma once
// TDirectShowFileReader: the file reader for the types without a decoder of
// their own (.WMA, .AU, .AIF, .AIFF, when the QuickTime library has not taken
// them first). Its stream comes from FFmpeg (TMediaStream): the constructor
// opens the file, Duration gives the length in 100-ns units, Read hands out
// the next PCM bytes in Format, SeekTime positions the stream by time.
//
//   TDirectShowFileReader r("/music/a.wma");
//   if (r.Duration() == 0) { /* cannot open */ }
//   r.SeekTime(10'000'000);              // 1 s
//   int32_t got = r.Read(buffer, 176400); // may throw EAudioReadError
//
// Seeking is sample-exact: a time turns into the nearest frame, and reading
// from there gives the same frames as reading on from the start.
// Failed stream calls raise EAudioReadError (AudioReadError.h) with the
// message of their result code (CheckResult); damaged packets are silence,
// not errors. Thread: only under the decoder lock, from whichever thread calls
// the front.
#include <cstdint>
#include <string>

#include "decoding/core/WaveFormat.h"
#include "quelmo/stream/MediaStream.h"

namespace zonda {

class TDirectShowFileReader {
 public:
  // Opens the file; never fails outwardly: on failure Duration() is 0.
  explicit TDirectShowFileReader(const std::string& fileName);
  ~TDirectShowFileReader();
  TDirectShowFileReader(const TDirectShowFileReader&) = delete;
  TDirectShowFileReader& operator=(const TDirectShowFileReader&) = delete;

  // Length in 100-nanosecond units, rounded up to the next unit so that the
  // front's truncating byte arithmetic keeps the last frame; 0 when not open.
  int64_t Duration() const { return duration_; }
  // The PCM that Read delivers (16-bit, 1 or 2 channels, at most 48000 Hz).
  const WAVEFORMATEX& Format() const { return format_; }

  // The next piece of PCM, at most countBytes (whole frames); 0 at the end.
  int32_t Read(void* buffer, int32_t countBytes);
  // Positions the stream at the frame nearest to time100ns.
  void SeekTime(int64_t time100ns);

  // 0 passes; anything else raises EAudioReadError with the code's message.
  // platformText is used for codes outside the table (FFmpeg's own text).
  static void CheckResult(int32_t result, const std::string& platformText = {});
  static std::string MessageFor(int32_t result, const std::string& platformText = {});
  // The result code standing for an FFmpeg error.
  static int32_t ResultFor(int ffmpegError);

  // The stream behind it (tests look at its seek count).
  const TMediaStream& Stream() const { return stream_; }

  // Times of the last sample read, in 100-ns units (kept, not used).
  int64_t SampleStart() const { return sampleStart_; }
  int64_t SampleEnd() const { return sampleEnd_; }

 private:
  int64_t FramesToTime(int64_t frames) const;

  TMediaStream stream_;
  WAVEFORMATEX format_{};
  int64_t duration_ = 0;
  int64_t position_ = 0;  // next frame Read delivers
  int64_t sampleStart_ = 0, sampleEnd_ = 0;
};

}  // namespace zonda
