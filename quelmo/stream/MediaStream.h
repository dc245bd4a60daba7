#pragma once
// TMediaStream: the first audio stream of a file, decoded through FFmpeg into
// interleaved signed 16-bit PCM with at most 2 channels and at most 48000 Hz,
// with sample-exact random access.
//
// Open demuxes the whole file once without decoding and keeps an index of the
// stream's packets (their demuxer timestamps, byte positions and the number of
// sample frames each one decodes to), so that frame n of the output is the
// same whether it is reached by reading from the start or by a jump. A jump
// seeks to the packet at or before (target - half a second), decodes that
// pre-roll and throws it away; sequential reads never seek.
//
// No encoder-delay trimming: the output's first frame is the first frame of
// the first audio packet (edit lists and skip-samples hints are ignored), so
// positions agree with decoders that decode every frame of the file.
//
//   TMediaStream s;
//   if (s.Open("/music/a.flac")) {
//     std::vector<int16_t> pcm(4096 * s.Channels());
//     int64_t got = s.Read(441000, pcm.data(), 4096);
//   }
//
// Every FFmpeg call that reads the file runs under a deadline (an interrupt
// callback, re-armed per call), so a damaged or stalled file ends the call
// instead of hanging it; the scan as a whole is bounded as well.
// Not thread-safe: one caller at a time (the decoder lock of the front, or the
// caller of libquelmo). Diagnostics go to standard error.
#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zonda {

struct TMediaStreamTimes {
  double openMs = 0;   // whole Open
  double indexMs = 0;  // the index-building scan inside it
};

class TMediaStream {
 public:
  TMediaStream();
  ~TMediaStream();
  TMediaStream(const TMediaStream&) = delete;
  TMediaStream& operator=(const TMediaStream&) = delete;

  // Opens the file's first decodable audio stream. False when the file cannot
  // be opened, has no audio, or its stream cannot be decoded.
  bool Open(const std::string& fileName);
  void Close();
  bool IsOpen() const { return isOpen_; }

  // Output format (valid while open): 16-bit interleaved.
  int32_t Rate() const { return outRate_; }
  int32_t Channels() const { return outChannels_; }
  int64_t TotalFrames() const { return totalOut_; }
  int32_t SourceRate() const { return srcRate_; }
  int32_t SourceChannels() const { return srcChannels_; }
  int64_t SourceFrames() const { return totalSrc_; }
  size_t PacketCount() const { return index_.size(); }

  // Up to `count` frames from output frame `first`; returns frames delivered
  // (fewer at the end of the stream, 0 past it). Undecodable packets become
  // silence of their indexed length.
  int64_t Read(int64_t first, int16_t* out, int64_t count);

  // The last hard failure (I/O error, time-out, failed seek) as an FFmpeg
  // error code, 0 when none; cleared by TakeError.
  int TakeError();

  // Number of demuxer seeks so far (tests check that sequential reads do not seek).
  int64_t SeekCount() const { return seekCount_; }
  const TMediaStreamTimes& Times() const { return times_; }

  // Longest time one FFmpeg call may take (opening and probing the file, or
  // reading one packet); a stalled or looping read is interrupted after it.
  static constexpr std::chrono::seconds kOpenDeadline{20};
  static constexpr std::chrono::seconds kCallDeadline{5};
  // Longest index scan; a file that takes longer does not open.
  static constexpr std::chrono::seconds kScanLimit{60};
  // For tests: every deadline at `percent` of its length (0: already passed).
  static void ScaleDeadlinesForTests(int percent);

 private:
  struct TPacket {
    int64_t dts;    // demuxer timestamp, stream time base (AV_NOPTS_VALUE when none)
    int64_t pos;    // byte position (-1 when unknown)
    int64_t start;  // first source frame
    int32_t frames; // source frames it decodes to
    bool key;
  };
  struct TFFmpeg;  // FFmpeg objects, kept out of this header

  bool OpenInput(const std::string& fileName);
  bool SelectStream();
  bool OpenDecoder();
  bool BuildIndex();
  bool IndexFromContainer(bool* touched);
  bool IndexFromFlacFrames(bool* touched);
  bool ReadsAs(const TPacket& expected, bool compareDuration, bool dtsMayBeUnknown);
  bool CountByDecoding(void* packet, int32_t* frames);
  void BuildLookups();
  bool Restart(int64_t firstOut);
  bool SeekToPacket(size_t p);
  bool ReopenAtStart();
  bool DecodeMore();
  bool FeedPacket(void* packet);
  bool DrainFrames();
  bool FeedFrame(void* frame);
  bool EnsureResampler(void* frame);
  bool ConvertInto(const uint8_t* const* data, int frames);
  void FinishStep();
  bool SilenceTo(int64_t srcFrame);
  bool ResamplerFromDecoder();
  int64_t OutFrame(int64_t srcFrame) const;
  void AppendSilenceOut(int64_t frames);
  int64_t LocatePacket(void* packet);
  int64_t FindIndexed(const void* packet) const;
  size_t PacketAtOrBefore(int64_t srcFrame) const;
  int64_t PacketContaining(int64_t srcFrame) const;
  void Arm(std::chrono::steady_clock::duration d);
  static int Interrupt(void* self);
  void Fail(int err, const char* what);

  std::unique_ptr<TFFmpeg> ff_;
  std::string fileName_;
  bool isOpen_ = false;
  std::chrono::steady_clock::time_point deadline_{};

  int32_t srcRate_ = 0, srcChannels_ = 0;
  int32_t outRate_ = 0, outChannels_ = 0;
  int64_t totalSrc_ = 0, totalOut_ = 0;
  int64_t audioEnd_ = INT64_MAX;  // byte offset of trailing tags in a raw frame stream
  int64_t alignSrc_ = 1;  // source frames per resampling period (restart points are multiples)
  int64_t alignOut_ = 1;  // output frames per period

  std::vector<TPacket> index_;
  std::vector<size_t> byDts_, byPos_;  // indices into index_, sorted by dts / pos
  bool posUsable_ = false;

  // Pipeline state. Output frames [headOut_, headOut_ + fifo frames) are decoded
  // and waiting in fifo_ (from fifoRead_); srcPos_ is the next source frame that
  // enters the converter; source frames before dropUntilSrc_ are thrown away.
  std::vector<int16_t> fifo_;
  size_t fifoRead_ = 0;
  int64_t headOut_ = 0;
  int64_t srcPos_ = 0;
  int64_t dropUntilSrc_ = 0;
  bool needSync_ = false;
  int64_t nextPacket_ = 0;
  size_t restartPacket_ = 0;
  bool triedFromStart_ = false;
  int seekRetries_ = 0;
  int unsynced_ = 0;
  int64_t currentPacket_ = 0;
  bool broken_ = false;  // a hard failure: the next read restarts
  bool demuxEof_ = false;
  bool draining_ = false;
  bool finished_ = false;
  bool swrFlushed_ = false;
  int lastError_ = 0;
  int64_t seekCount_ = 0;
  TMediaStreamTimes times_;
  static std::atomic<int64_t> deadlineScalePercent_;
};

}  // namespace zonda
