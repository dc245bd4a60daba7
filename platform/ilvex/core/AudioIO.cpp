#include "platform/ilvex/core/AudioIO.h"

#include "platform/ilvex/core/NullBackend.h"
#include "platform/ilvex/core/PortAudioBackend.h"

namespace zonda::ilvex {

std::unique_ptr<AudioIO> AudioIO::Open(const AudioSettings& settings, IlvexAudioCallback input,
                                       IlvexAudioCallback output) {
  auto io = std::make_unique<AudioIO>(Key{}, input, output);
  const int frames = ClampBlockFrames(settings.blockFrames);
  if (settings.backend == Backend::Null) {
    io->backend_ = std::make_unique<NullBackend>(io->router_, frames);
  } else {
    AudioSettings s = settings;
    s.blockFrames = frames;
    io->backend_ = std::make_unique<PortAudioBackend>(io->router_, std::move(s));
  }
  if (!io->backend_->Start()) return nullptr;
  return io;
}

AudioIO::~AudioIO() {
  if (backend_) backend_->Stop();
}

}  // namespace zonda::ilvex
