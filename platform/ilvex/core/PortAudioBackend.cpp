#include "platform/ilvex/core/PortAudioBackend.h"

#include <portaudio.h>
#include <pthread.h>

#include <algorithm>
#include <cstdio>

#include "platform/ilvex/Ilvex.h"

namespace zonda::ilvex {

PortAudioBackend::PortAudioBackend(BlockRouter& router, AudioSettings settings)
    : router_(router), settings_(std::move(settings)) {}

PortAudioBackend::~PortAudioBackend() { Stop(); }

int PortAudioBackend::Callback(const void* input, void* output, unsigned long frames, const PaStreamCallbackTimeInfo*,
                               PaStreamCallbackFlags statusFlags, void* user) {
  // JACK may cancel this thread asynchronously (a client closing under load);
  // the program's render code is noexcept, so a cancellation is held off until
  // the callbacks are done and acted on here, where unwinding is safe.
  int cancelState = 0;
  pthread_setcancelstate(PTHREAD_CANCEL_DISABLE, &cancelState);
  auto* self = static_cast<PortAudioBackend*>(user);
  if ((statusFlags & (paInputUnderflow | paInputOverflow | paOutputUnderflow | paOutputOverflow)) != 0)
    self->xruns_.fetch_add(1, std::memory_order_relaxed);
  self->router_.Process(static_cast<const float*>(input), self->inChannels_, static_cast<float*>(output),
                        self->outChannels_, static_cast<int64_t>(frames));
  pthread_setcancelstate(cancelState, nullptr);
  return paContinue;
}

bool PortAudioBackend::Open(const PaDeviceEntry& device) {
  const PaDeviceInfo* info = Pa_GetDeviceInfo(device.index);
  if (info == nullptr || info->maxOutputChannels < 1) return false;
  int outs = std::min(info->maxOutputChannels, ILVEX_CHANNELS);
  if (outs == 3) outs = 2;
  const int ins = std::min(info->maxInputChannels, ILVEX_CHANNELS);

  PaStreamParameters out{};
  out.device = device.index;
  out.channelCount = outs;
  out.sampleFormat = paFloat32;
  out.suggestedLatency = info->defaultLowOutputLatency;
  PaStreamParameters in{};
  in.device = device.index;
  in.channelCount = ins;
  in.sampleFormat = paFloat32;
  in.suggestedLatency = info->defaultLowInputLatency;

  for (const bool duplex : {true, false}) {
    if (duplex && ins < 1) continue;
    outChannels_ = outs;
    inChannels_ = duplex ? ins : 0;
    PaStream* stream = nullptr;
    PaError err = Pa_OpenStream(&stream, duplex ? &in : nullptr, &out, ILVEX_SAMPLE_RATE,
                                static_cast<unsigned long>(settings_.blockFrames), paNoFlag, &PortAudioBackend::Callback, this);
    if (err != paNoError) continue;
    err = Pa_StartStream(stream);
    if (err != paNoError) {
      Pa_CloseStream(stream);
      continue;
    }
    stream_ = stream;
    const PaHostApiInfo* api = Pa_GetHostApiInfo(info->hostApi);
    onJack_ = api != nullptr && api->type == paJACK;
    description_ = std::string(api != nullptr ? api->name : "?") + " / " + (info->name != nullptr ? info->name : "?");
    return true;
  }
  outChannels_ = inChannels_ = 0;
  return false;
}

bool PortAudioBackend::Start() {
  if (stream_ != nullptr) return true;
  session_ = std::make_unique<PortAudioSession>();
  if (!session_->Ok()) {
    session_.reset();
    return false;
  }
  for (const PaDeviceEntry& device : DeviceCandidates(settings_))
    if (Open(device)) return true;
  session_.reset();
  return false;
}

void PortAudioBackend::Stop() {
  if (stream_ != nullptr && onJack_ && Pa_IsStreamActive(stream_) != 1) {
    // We never end the stream from the callback, so only a JACK shutdown stops it.
    MarkJackAbandoned();
    session_->Abandon();
    stream_ = nullptr;
  }
  if (stream_ != nullptr) {
    Pa_StopStream(stream_);
    Pa_CloseStream(stream_);
    stream_ = nullptr;
  }
  session_.reset();
}

}  // namespace zonda::ilvex
