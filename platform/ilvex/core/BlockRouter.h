#pragma once
// One device block through the program's two callbacks.
//
// The program always sees four channels in and four out (Ilvex.h); devices
// have what they have. Process() copies the device's inputs into a
// four-channel area (missing channels zero), calls the input callback, zeroes
// the four-channel output area, calls the output callback and maps the result
// onto the device's channels: 4 or more get master L/R + monitor L/R (extra
// channels silent), 2 or 3 get the master only, 1 gets (L + R) / 2. An output
// callback that returns 0 (not running) gives silence, whatever it wrote.
//
// Audio thread only (Process); it never allocates, locks or throws. Set the callbacks
// before the device starts. The first block on a thread names it "zonda-audio"
// and asks for real-time scheduling, so ordinary load on the machine cannot
// delay the callback (a JACK client thread is real-time already).
#include <array>
#include <atomic>
#include <cstdint>

#include <pthread.h>

#include "platform/ilvex/Ilvex.h"

namespace zonda::ilvex {

class BlockRouter {
 public:
  BlockRouter(IlvexAudioCallback input, IlvexAudioCallback output) : input_(input), output_(output) {}

  // deviceIn: `inChannels` interleaved floats per frame, or null (no inputs);
  // deviceOut: `outChannels` interleaved floats per frame, or null (nowhere to play).
  // Blocks longer than ILVEX_MAX_BLOCK_FRAMES are run in pieces.
  void Process(const float* deviceIn, int inChannels, float* deviceOut, int outChannels, int64_t frames) noexcept;

  // Blocks processed so far (any thread may read).
  int64_t Blocks() const noexcept { return blocks_.load(std::memory_order_relaxed); }

  // The audio thread's scheduling, known after the first block (any thread).
  enum class Scheduling : int8_t { Unknown, RealTime, RealTimeGranted, Normal };
  Scheduling AudioScheduling() const noexcept { return scheduling_.load(std::memory_order_acquire); }
  static const char* Describe(Scheduling s) noexcept;

 private:
  void ProcessPiece(const float* deviceIn, int inChannels, float* deviceOut, int outChannels, int frames) noexcept;

  IlvexAudioCallback input_;
  IlvexAudioCallback output_;
  void PrepareAudioThread() noexcept;

  std::atomic<int64_t> blocks_{0};
  std::atomic<Scheduling> scheduling_{Scheduling::Unknown};
  std::atomic<pthread_t> preparedThread_{};
  std::array<float, ILVEX_MAX_BLOCK_FRAMES * ILVEX_CHANNELS> in_{};
  std::array<float, ILVEX_MAX_BLOCK_FRAMES * ILVEX_CHANNELS> out_{};
};

}  // namespace zonda::ilvex
