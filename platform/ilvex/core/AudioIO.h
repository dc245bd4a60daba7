#pragma once
// One open audio device with the program's callbacks: what init_audio_io
// creates and deinit_audio_io destroys.
//
//   auto io = AudioIO::Open(LoadEffectiveSettings(), onInput, onOutput);
//   if (!io) ...;            // no device could be opened
//   io->BlockFrames();       // what get_latency reports
//   io.reset();              // callbacks stopped when this returns
//
// Main thread only.
#include <memory>

#include "platform/ilvex/Ilvex.h"
#include "platform/ilvex/core/AudioBackend.h"
#include "platform/ilvex/core/AudioSettings.h"
#include "platform/ilvex/core/BlockRouter.h"

namespace zonda::ilvex {

class AudioIO {
 public:
  // Starts the backend the settings name; null when it cannot be opened.
  static std::unique_ptr<AudioIO> Open(const AudioSettings& settings, IlvexAudioCallback input,
                                       IlvexAudioCallback output);
  struct Key {
   private:
    Key() = default;
    friend class AudioIO;
  };
  AudioIO(Key, IlvexAudioCallback input, IlvexAudioCallback output) : router_(input, output) {}
  ~AudioIO();
  AudioIO(const AudioIO&) = delete;
  AudioIO& operator=(const AudioIO&) = delete;

  int BlockFrames() const { return backend_->BlockFrames(); }
  const AudioBackend& Device() const { return *backend_; }
  const BlockRouter& Router() const { return router_; }

 private:
  BlockRouter router_;
  std::unique_ptr<AudioBackend> backend_;
};

}  // namespace zonda::ilvex
