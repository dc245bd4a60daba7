#pragma once
// The "null" device for machines without sound hardware: a thread that runs
// the callbacks once per block, paced by the steady clock to real time
// (block k starts at k x frames / 44100 s after the start). Inputs are silent
// and the output goes nowhere. A block that starts more than one block late
// (a stalled machine) counts as an xrun and the pacing starts afresh instead
// of catching up in a burst.
//
// Main thread: Start/Stop. The pacing thread calls the router.
#include <atomic>
#include <thread>

#include "platform/ilvex/core/AudioBackend.h"
#include "platform/ilvex/core/BlockRouter.h"

namespace zonda::ilvex {

class NullBackend final : public AudioBackend {
 public:
  NullBackend(BlockRouter& router, int blockFrames) : router_(router), blockFrames_(blockFrames) {}
  ~NullBackend() override { Stop(); }

  bool Start() override;
  void Stop() override;
  int BlockFrames() const override { return blockFrames_; }
  int OutputChannels() const override { return 4; }
  int InputChannels() const override { return 0; }
  int64_t Xruns() const override { return xruns_.load(std::memory_order_relaxed); }
  std::string Description() const override { return "null"; }

 private:
  void Run() noexcept;

  BlockRouter& router_;
  const int blockFrames_;
  std::atomic<bool> stop_{false};
  std::atomic<int64_t> xruns_{0};
  std::thread thread_;
};

}  // namespace zonda::ilvex
