#pragma once
// TPreviewMonitor: the preview player. It streams one file forward at normal
// speed from a chosen second into the headphones, with no pitch, cue or loop.
// The mixer owns the one instance and mixes it into the monitor while its
// PreviewOn switch is set.
//
//   int32_t bytes = mixer.Preview->Open("/music/a.mp3");  // 0: cannot open
//   slider range := bytes / 176400 - 1 seconds
//   mixer.PreviewOn = true;
//   every 15 periodic ticks: mixer.Preview->Refill();
//   mixer.Preview->JumpToSecond(42);
//
// It decodes whole 3-second pieces into a 6-second ring; the part of a file
// after its last whole piece is not heard. When the ring runs dry the preview
// is silent.
//
// Threads: Open, JumpToSecond and Refill on the main thread (they decode
// through the decoder front, under the decoder lock; the main thread writes the
// ring); ReadPreview on the audio thread (it reads the ring). To empty the ring
// the main thread stops the player and waits until no ReadPreview is running
// (a read lasts microseconds), so the ring is never cleared under its reader.
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/BufferSmall.h"
#include "engine/MixerPreviewSource.h"

namespace zonda {

class TDataProvider;

inline constexpr int32_t kPreviewRingBytes = 1058400;   // 6 s
inline constexpr int32_t kPreviewPieceBytes = 529200;   // 3 s

class TPreviewMonitor final : public TMixerPreviewSource {
 public:
  TPreviewMonitor();
  ~TPreviewMonitor() override;
  TPreviewMonitor(const TPreviewMonitor&) = delete;
  TPreviewMonitor& operator=(const TPreviewMonitor&) = delete;

  // Main thread. Opens the file and queues its first piece; the file's length
  // in bytes of deck PCM, or 0 (the player stays idle) when it cannot be opened.
  int32_t Open(const std::string& fileName);
  // Main thread. Restarts streaming from that second, moved back so that one
  // whole piece fits before the end (never below 0).
  void JumpToSecond(int32_t second);
  // Main thread. Decodes one more piece when the ring has room for it and the
  // file holds a whole piece at the read position.
  void Refill();

  // Audio thread. The next block when the ring holds more than `bytes`, else silence.
  void ReadPreview(int16_t* destination, int32_t bytes) noexcept override;

  bool Ready() const noexcept { return ready_.load(std::memory_order_acquire); }
  bool PreviewPlaying() const noexcept { return playing_.load(std::memory_order_acquire); }
  int32_t ReadPosition() const noexcept { return readPosition_; }  // main thread
  int32_t QueuedBytes() const noexcept { return ring_.BufferSize() - ring_.FreeBytes(); }  // main thread
  int32_t PCMLength() const noexcept;                               // main thread

 private:
  std::atomic<bool> ready_{false};
  // Main thread: stops the player and empties the ring once no read runs.
  void StopAndEmpty() noexcept;

  std::atomic<bool> playing_{false};
  std::atomic<uint32_t> readEpoch_{0};  // odd while a ReadPreview runs
  std::unique_ptr<TDataProvider> provider_;
  TBufferSmall ring_{kPreviewRingBytes};
  int32_t readPosition_ = 0;
  std::unique_ptr<uint8_t[]> staging_;
};

}  // namespace zonda
