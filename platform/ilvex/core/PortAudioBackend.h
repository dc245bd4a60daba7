#pragma once
// The PortAudio device: opens the first device of DeviceCandidates() that
// accepts 44100 Hz, 32-bit float interleaved, at the configured block size
// (PortAudio then calls back with exactly that many frames, adapting to the
// host's own period where it differs). Up to four output channels and up to
// four inputs; when a device refuses duplex, it is opened output-only.
//
// A JACK stream found dead at Stop (the server went away) is abandoned rather
// than stopped, because PortAudio would wait for it forever (MarkJackAbandoned).
//
// Main thread: Start/Stop. PortAudio's audio thread (on JACK, JACK's process
// thread) runs the router; xruns come from PortAudio's status flags.
#include <portaudio.h>

#include <atomic>
#include <memory>
#include <string>

#include "platform/ilvex/core/AudioBackend.h"
#include "platform/ilvex/core/AudioSettings.h"
#include "platform/ilvex/core/BlockRouter.h"
#include "platform/ilvex/core/PortAudioCatalog.h"

namespace zonda::ilvex {

class PortAudioBackend final : public AudioBackend {
 public:
  PortAudioBackend(BlockRouter& router, AudioSettings settings);
  ~PortAudioBackend() override;

  bool Start() override;
  void Stop() override;
  int BlockFrames() const override { return settings_.blockFrames; }
  int OutputChannels() const override { return outChannels_; }
  int InputChannels() const override { return inChannels_; }
  int64_t Xruns() const override { return xruns_.load(std::memory_order_relaxed); }
  std::string Description() const override { return description_; }

 private:
  static int Callback(const void* input, void* output, unsigned long frames, const PaStreamCallbackTimeInfo* time,
                      PaStreamCallbackFlags statusFlags, void* self);  // not noexcept: a JACK cancellation unwinds here
  bool Open(const PaDeviceEntry& device);

  BlockRouter& router_;
  const AudioSettings settings_;
  std::unique_ptr<PortAudioSession> session_;
  PaStream* stream_ = nullptr;
  bool onJack_ = false;
  int outChannels_ = 0;
  int inChannels_ = 0;
  std::atomic<int64_t> xruns_{0};
  std::string description_;
};

}  // namespace zonda::ilvex
