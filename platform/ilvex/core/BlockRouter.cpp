#include "platform/ilvex/core/BlockRouter.h"

#include <algorithm>
#include <cstring>

#include <pthread.h>

#include "platform/ThreadPriority.h"

namespace zonda::ilvex {

void BlockRouter::Process(const float* deviceIn, int inChannels, float* deviceOut, int outChannels,
                          int64_t frames) noexcept {
  if (frames <= 0) return;
  PrepareAudioThread();
  if (deviceIn == nullptr) inChannels = 0;
  if (deviceOut == nullptr) outChannels = 0;
  while (frames > 0) {
    const int piece = static_cast<int>(std::min<int64_t>(frames, ILVEX_MAX_BLOCK_FRAMES));
    ProcessPiece(deviceIn, inChannels, deviceOut, outChannels, piece);
    if (deviceIn != nullptr) deviceIn += static_cast<int64_t>(piece) * inChannels;
    if (deviceOut != nullptr) deviceOut += static_cast<int64_t>(piece) * outChannels;
    frames -= piece;
  }
  blocks_.fetch_add(1, std::memory_order_relaxed);
}

void BlockRouter::PrepareAudioThread() noexcept {
  // Once per thread: a restarted device may call from a new one. (A thread_local
  // flag would be allocated lazily in a library loaded at run time.)
  const pthread_t self = pthread_self();
  if (preparedThread_.load(std::memory_order_relaxed) == self) return;
  preparedThread_.store(self, std::memory_order_relaxed);
  SetCurrentThreadName("zonda-audio");
  // Priority 10: above ordinary processes, below JACK's own server threads.
  switch (RequestRealTime(10)) {
    case TRealTimeResult::AlreadyRealTime: scheduling_.store(Scheduling::RealTime, std::memory_order_release); break;
    case TRealTimeResult::Granted: scheduling_.store(Scheduling::RealTimeGranted, std::memory_order_release); break;
    case TRealTimeResult::Refused: scheduling_.store(Scheduling::Normal, std::memory_order_release); break;
  }
}

const char* BlockRouter::Describe(Scheduling s) noexcept {
  switch (s) {
    case Scheduling::Unknown: return "not yet called";
    case Scheduling::RealTime: return "real-time (the device's own)";
    case Scheduling::RealTimeGranted: return "real-time (SCHED_FIFO 10)";
    case Scheduling::Normal:
      return "normal priority: real-time scheduling was refused (raise RLIMIT_RTPRIO, e.g. membership of the "
             "\"audio\" group)";
  }
  return "";
}

void BlockRouter::ProcessPiece(const float* deviceIn, int inChannels, float* deviceOut, int outChannels,
                               int frames) noexcept {
  const size_t samples = static_cast<size_t>(frames) * ILVEX_CHANNELS;
  if (inChannels >= ILVEX_CHANNELS) {
    for (int i = 0; i < frames; ++i)
      std::memcpy(&in_[static_cast<size_t>(i) * ILVEX_CHANNELS], deviceIn + static_cast<int64_t>(i) * inChannels,
                  ILVEX_CHANNELS * sizeof(float));
  } else {
    std::fill_n(in_.begin(), samples, 0.0f);
    for (int i = 0; i < frames; ++i)
      for (int c = 0; c < inChannels; ++c)
        in_[static_cast<size_t>(i) * ILVEX_CHANNELS + c] = deviceIn[static_cast<int64_t>(i) * inChannels + c];
  }
  if (input_ != nullptr) input_(in_.data(), frames);

  std::fill_n(out_.begin(), samples, 0.0f);
  // 0 means "not running": play silence even if the callback wrote something.
  if (output_ == nullptr || output_(out_.data(), frames) <= 0) std::fill_n(out_.begin(), samples, 0.0f);

  if (outChannels <= 0) return;
  const float* o = out_.data();
  if (outChannels >= ILVEX_CHANNELS) {
    for (int i = 0; i < frames; ++i) {
      float* d = deviceOut + static_cast<int64_t>(i) * outChannels;
      std::memcpy(d, o + static_cast<size_t>(i) * ILVEX_CHANNELS, ILVEX_CHANNELS * sizeof(float));
      for (int c = ILVEX_CHANNELS; c < outChannels; ++c) d[c] = 0.0f;
    }
  } else if (outChannels >= 2) {
    for (int i = 0; i < frames; ++i) {
      float* d = deviceOut + static_cast<int64_t>(i) * outChannels;
      d[0] = o[static_cast<size_t>(i) * ILVEX_CHANNELS];
      d[1] = o[static_cast<size_t>(i) * ILVEX_CHANNELS + 1];
      for (int c = 2; c < outChannels; ++c) d[c] = 0.0f;
    }
  } else {
    for (int i = 0; i < frames; ++i)
      deviceOut[i] = 0.5f * (o[static_cast<size_t>(i) * ILVEX_CHANNELS] + o[static_cast<size_t>(i) * ILVEX_CHANNELS + 1]);
  }
}

}  // namespace zonda::ilvex
