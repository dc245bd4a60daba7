#pragma once
// TAudioMixer: what the audio callbacks (TAudioOutput) need from the mixer.
//
// The output callback asks for one block of master output (MixBlock, which
// also renders the decks and stores the monitor mix in the monitor ring) and
// then reads the same block of monitor output back (ReadMonitor). The input
// callback stores the device's line inputs in the mixer's two line areas.
// Implemented by TDeckDirectMixer (one deck straight to master and monitor)
// and, with the full mix, by the mixer proper.
//
// Threads: MixBlock, ReadMonitor and LineArea on the audio thread (noexcept,
// no allocation); SetSubBlocks and ClearMonitor on the main thread while the
// device is being (re)started.
#include <cstdint>

namespace zonda {

// Frames of every mixer work area (50 ms): the largest device block.
inline constexpr int32_t kMixerAreaFrames = 2205;

class TAudioMixer {
 public:
  virtual ~TAudioMixer() = default;

  // Audio thread: bytes div 4 frames of master output into destination.
  // False (nothing written) while the mixer is not running or for a block
  // larger than kMixerAreaFrames.
  virtual bool MixBlock(int16_t* destination, int32_t bytes) noexcept = 0;
  // Audio thread: the monitor block MixBlock stored; false when not that much is held.
  virtual bool ReadMonitor(int16_t* destination, int32_t bytes) noexcept = 0;
  // Audio thread: line area 0 (line A) or 1 (line B), kMixerAreaFrames stereo frames.
  virtual int16_t* LineArea(int32_t line) noexcept = 0;

  // Main thread: pieces each deck render is split into per device block.
  virtual void SetSubBlocks(int32_t subBlocks) noexcept = 0;
  virtual int32_t SubBlocks() const noexcept = 0;
  // Main thread: asks the audio thread to drop whatever the monitor ring holds
  // (it does so at its next read of the ring).
  virtual void ClearMonitor() noexcept = 0;
};

}  // namespace zonda
