#pragma once
// TNativeEffect: one shipped effect behind the nine C exports.
//
// A subclass names itself (kName, the static text "getname" returns), owns
// its parameter block, and makes every buffer in its constructor, which runs
// in "create" for the longest delay it can ever need. Render then works in
// place on 16-bit stereo with no allocation, no lock and no I/O.
//
// Rendering is sample by sample with state carried between calls, and
// anything recomputed now and then (filter coefficients) is recomputed at
// fixed positions of a running frame count, never at block starts: a block
// split into pieces gives the same output as one call.
//
// Threads: construction, RequestReset ("start") and the parameters' writer on
// the main thread; Process on the audio thread.
#include <atomic>
#include <cstdint>
#include <span>

#include "effects/native/EffectParameters.h"

namespace zonda::fx {

class TNativeEffect {
 public:
  explicit TNativeEffect(std::span<const TParameterInfo> infos) noexcept : parameters_(infos) {}
  virtual ~TNativeEffect() = default;
  TNativeEffect(const TNativeEffect&) = delete;
  TNativeEffect& operator=(const TNativeEffect&) = delete;

  TEffectParameters& Parameters() noexcept { return parameters_; }

  // Main thread ("start"). The next Process starts from silence: delay lines,
  // tails and envelopes cleared. Done by the audio thread itself, so a slot
  // switched back on while a last block is still running cannot tear state.
  void RequestReset() noexcept { resetPending_.store(true, std::memory_order_release); }

  // Audio thread ("process"). `block` holds `frames` interleaved stereo frames.
  void Process(int16_t* block, int32_t frames, double tempoBpm) noexcept {
    if (resetPending_.exchange(false, std::memory_order_acquire)) Reset();
    Render(block, frames, tempoBpm);
  }

 protected:
  // Audio thread: back to the state right after construction.
  virtual void Reset() noexcept = 0;
  // Audio thread: frames >= 1, block not null.
  virtual void Render(int16_t* block, int32_t frames, double tempoBpm) noexcept = 0;

 private:
  TEffectParameters parameters_;
  std::atomic<bool> resetPending_{false};
};

}  // namespace zonda::fx
