#include "engine/AudioOutput.h"

#include <cmath>

#include "engine/IlvexLibrary.h"

#include "platform/ThreadRole.h"

namespace zonda {
namespace {

constexpr int32_t kSubBlockTarget = 250;
constexpr int32_t kSubBlockMinDivisor = 2;
constexpr int32_t kSubBlockMaxDivisor = 499;

// The output the plain callbacks forward to (written on the main thread
// before the device starts and after it stops).
std::atomic<TAudioOutput*> gInstalled{nullptr};

inline int16_t InputToSample(float v) noexcept {
  const float s = v * kInputSampleScale;
  if (!(s < 32767.0f)) return s != s ? 0 : 32767;  // NaN reads as silence
  if (s <= -32768.0f) return -32768;
  return static_cast<int16_t>(std::lround(s));
}

}  // namespace

TBlockSizes ComputeBlockSizes(int32_t deviceFrames) noexcept {
  TBlockSizes s;
  s.DeviceFrames = deviceFrames;
  if (deviceFrames < 1) {
    s.SubBlockFrames = 0;
    s.SubBlocks = 1;
    return s;
  }
  int32_t best = 0;
  for (int32_t d = kSubBlockMinDivisor; d <= kSubBlockMaxDivisor && d <= deviceFrames; ++d) {
    if (deviceFrames % d != 0) continue;
    // Ascending order: a later divisor wins only when strictly closer, so a tie keeps the smaller.
    if (best == 0 || std::abs(d - kSubBlockTarget) < std::abs(best - kSubBlockTarget)) best = d;
  }
  s.SubBlockFrames = best != 0 ? best : deviceFrames;
  s.SubBlocks = deviceFrames / s.SubBlockFrames;
  return s;
}

std::string LatencyText(int32_t deviceFrames) {
  const int64_t ms = static_cast<int64_t>(deviceFrames) * 40 / 1764;
  return "Latency: " + std::to_string(ms) + " ms at " + "44100" + " Hz sample rate";
}

TAudioOutput::TAudioOutput(TAudioMixer& mixer) : mixer_(mixer) {}

TAudioOutput::~TAudioOutput() { Uninstall(); }

void TAudioOutput::Install() noexcept { gInstalled.store(this, std::memory_order_release); }

void TAudioOutput::Uninstall() noexcept {
  TAudioOutput* self = this;
  gInstalled.compare_exchange_strong(self, nullptr, std::memory_order_acq_rel);
}

bool TAudioOutput::Open(IlvexLibrary& ilvex, void* windowHandle) {
  Install();
  const bool ok = ilvex.InitAudioIO(windowHandle, &AudioInputCallback, &AudioOutputCallback) != 0;
  if (ok) SetupBlockSizes(ilvex.GetLatency());
  return ok;
}

bool TAudioOutput::Restart(IlvexLibrary& ilvex, void* windowHandle) {
  mixer_.SetSubBlocks(1);
  ilvex.DeinitAudioIO();
  Install();
  const bool ok = ilvex.InitAudioIO(windowHandle, &AudioInputCallback, &AudioOutputCallback) != 0;
  SetupBlockSizes(ilvex.GetLatency());
  return ok;
}

void TAudioOutput::Close(IlvexLibrary& ilvex) {
  ilvex.DeinitAudioIO();
  Uninstall();
}

std::string TAudioOutput::SetupBlockSizes(int32_t deviceFrames) {
  sizes_ = ComputeBlockSizes(deviceFrames);
  mixer_.SetSubBlocks(sizes_.SubBlocks);
  mixer_.ClearMonitor();
  latencyText_ = LatencyText(deviceFrames);
  return latencyText_;
}

int32_t TAudioOutput::OnOutput(float* buffer, int32_t frames) noexcept {
  ZONDA_EXPECT_NOT_ON(TThreadRole::Main);
  ZONDA_EXPECT_NOT_ON(TThreadRole::Worker);
  if (buffer == nullptr || frames <= 0 || frames > kMixerAreaFrames) return 0;
  const int32_t bytes = frames * 4;
  const bool ok = mixer_.MixBlock(masterOut_.data(), bytes);
  const bool ok2 = ok && mixer_.ReadMonitor(monitorOut_.data(), bytes);
  if (!ok || !ok2) return 0;
  const int16_t* master = masterOut_.data();
  const int16_t* monitor = monitorOut_.data();
  for (int32_t i = 0; i < frames; ++i) {
    buffer[4 * i] = master[2 * i] * kOutputSampleScale;
    buffer[4 * i + 1] = master[2 * i + 1] * kOutputSampleScale;
    buffer[4 * i + 2] = monitor[2 * i] * kOutputSampleScale;
    buffer[4 * i + 3] = monitor[2 * i + 1] * kOutputSampleScale;
  }
  return frames;
}

int32_t TAudioOutput::OnInput(const float* buffer, int32_t frames) noexcept {
  if (buffer == nullptr || frames <= 0) return 0;
  // The line areas hold one device block at most; a larger block keeps its start.
  const int32_t n = frames > kMixerAreaFrames ? kMixerAreaFrames : frames;
  int16_t* lineA = mixer_.LineArea(0);
  int16_t* lineB = mixer_.LineArea(1);
  for (int32_t i = 0; i < n; ++i) {
    if (lineA) {
      lineA[2 * i] = InputToSample(buffer[4 * i]);
      lineA[2 * i + 1] = InputToSample(buffer[4 * i + 1]);
    }
    if (lineB) {
      lineB[2 * i] = InputToSample(buffer[4 * i + 2]);
      lineB[2 * i + 1] = InputToSample(buffer[4 * i + 3]);
    }
  }
  return frames;
}

int32_t AudioOutputCallback(float* buffer, int32_t frames) noexcept {
  if (CurrentThreadRole() == TThreadRole::Unknown && ThreadRolesInUse()) SetCurrentThreadRole(TThreadRole::Audio);
  TAudioOutput* output = gInstalled.load(std::memory_order_acquire);
  return output ? output->OnOutput(buffer, frames) : 0;
}

int32_t AudioInputCallback(float* buffer, int32_t frames) noexcept {
  TAudioOutput* output = gInstalled.load(std::memory_order_acquire);
  return output ? output->OnInput(buffer, frames) : 0;
}

}  // namespace zonda
