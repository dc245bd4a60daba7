#include "dsp/FFTFilter.h"

#include <algorithm>
#include <cmath>

#include "dsp/FFTFilterEngine.h"

namespace zonda {

namespace {

// Band edges in Hz; bins 3 and 53 fall into two bands each.
constexpr double kLowFromHz = 0, kLowToHz = 318;
constexpr double kMidFromHz = 320, kMidToHz = 4595;
constexpr double kHighFromHz = 4597, kHighToHz = 22050;

}  // namespace

TFFTFilter::TFFTFilter() : engine_(std::make_unique<FFTFilterEngine>()) {}

TFFTFilter::~TFFTFilter() = default;

void TFFTFilter::SetLowGain(double gainDb) noexcept {
  lowGain_.store(gainDb, std::memory_order_relaxed);
  lowDirty_.store(true, std::memory_order_release);
}

void TFFTFilter::SetMidGain(double gainDb) noexcept {
  midGain_.store(gainDb, std::memory_order_relaxed);
  midDirty_.store(true, std::memory_order_release);
}

void TFFTFilter::SetHighGain(double gainDb) noexcept {
  highGain_.store(gainDb, std::memory_order_relaxed);
  highDirty_.store(true, std::memory_order_release);
}

void TFFTFilter::ProcessStereo(void* block, int32_t bytes) noexcept {
  // Flags first, values after: a change made meanwhile sets its flag again.
  if (lowDirty_.exchange(false, std::memory_order_acq_rel)) {
    const double low = lowGain_.load(std::memory_order_relaxed);
    engine_->SetBandGain(kLowFromHz, kLowToHz, low);
    // Not finite: the band takes it as 0 dB, so no kill either.
    engine_->SetLowKill(std::isfinite(low) && low <= kLowKillDb);
  }
  if (midDirty_.exchange(false, std::memory_order_acq_rel)) {
    engine_->SetBandGain(kMidFromHz, kMidToHz, midGain_.load(std::memory_order_relaxed));
  }
  if (highDirty_.exchange(false, std::memory_order_acq_rel)) {
    engine_->SetBandGain(kHighFromHz, kHighToHz, highGain_.load(std::memory_order_relaxed));
  }
  if (block == nullptr || bytes <= 0) return;
  auto* p = static_cast<std::byte*>(block);
  while (bytes > 0) {
    const int32_t piece = std::min(bytes, kMaxBlockBytes);
    engine_->Process(p, piece);
    p += piece;
    bytes -= piece;
  }
}

}  // namespace zonda
