#pragma once
// TRecorder: records the master output to a 16-bit stereo 44100 Hz WAV file.
//
// The mixer hands every master block to Feed on the audio thread while
// recording; Feed only copies it into a 4-second ring (a block that does not
// fit is dropped). The periodic update drains the ring into the file on the
// main thread (Drain, at most one second per tick) and shows TimeText().
//
//   recorder.Start("/home/dj/set.wav");   // false: no name (dialog cancelled) or file error
//   ... each 35 ms tick: recorder.Drain(); recordTime.SetText(recorder.TimeText());
//   recorder.Stop();                       // writes the final 44-byte header
//
// The header's two sizes are rewritten after every drain that wrote audio
// (about 30 times a second), so a recording cut short by a crash or power loss
// stays a valid WAV file up to the last drain.
//
// Threads: Feed on the audio thread (noexcept, no allocation, no lock: the
// ring is single-producer single-consumer); everything else on the main thread.
#include <array>
#include <atomic>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

#include "engine/BufferSmall.h"

namespace zonda {

inline constexpr int32_t kRecordRingBytes = 705600;     // 4 s of deck PCM
inline constexpr int32_t kRecordStagingBytes = 176400;  // one second, the most one drain writes
inline constexpr int32_t kWavHeaderBytes = 44;

class TRecorder {
 public:
  TRecorder();
  ~TRecorder();  // stops a running recording (finalising its header)
  TRecorder(const TRecorder&) = delete;
  TRecorder& operator=(const TRecorder&) = delete;

  // Main thread: creates (or truncates) fileName with a header and starts.
  // False, with nothing created and Recording() clear, for an empty name (the
  // save dialog was cancelled), a file that cannot be created, or while recording.
  bool Start(const std::string& fileName);
  // Main thread: stops, discards what the ring still holds, writes the header
  // from the file's size. Harmless when not recording.
  void Stop();
  // Main thread: the "recording" button (Start / Stop Recording). While
  // recording it stops; otherwise it starts with fileName, the save dialog's
  // answer (empty when cancelled: nothing happens). Returns Recording().
  bool Toggle(const std::string& fileName);
  // Main thread, each periodic tick while recording: moves up to one second of
  // audio from the ring to the file and refreshes the header sizes.
  void Drain();

  bool Recording() const noexcept { return recording_.load(std::memory_order_acquire); }
  int64_t RecordedBytes() const noexcept { return recordedBytes_; }
  const std::string& FileName() const { return fileName_; }
  // Main thread: "mm:ss" of the audio written ("00:00" when stopped).
  std::string TimeText() const;

  // Audio thread: the master block as sent to the device (deck PCM).
  void Feed(const int16_t* master, int32_t bytes) noexcept;

  // The 44-byte PCM header of a file of fileBytes bytes (sizes fileBytes - 8 and
  // fileBytes - 44, limited to 32 bits).
  static std::array<uint8_t, kWavHeaderBytes> MakeHeader(int64_t fileBytes);
  // "mm:ss" for a count of recorded bytes.
  static std::string TimeTextFor(int64_t recordedBytes);

 private:
  bool WriteHeader(std::FILE* file, int64_t fileBytes);

  std::atomic<bool> recording_{false};
  std::string fileName_;
  std::FILE* file_ = nullptr;
  int64_t recordedBytes_ = 0;
  TBufferSmall ring_;
  std::unique_ptr<uint8_t[]> staging_;
};

}  // namespace zonda
