#include "dsp/IIRFilter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace zonda {

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr float kSampleRateHz = 44100.0f;
constexpr float kMinDesignHz = 10.0f;
constexpr float kMaxDesignHz = 21000.0f;

bool IsOff(float cutoffHz) noexcept { return !(cutoffHz >= 0.0f) || !std::isfinite(cutoffHz); }

// Output of the unnormalised cascade back to 16 bits: / 6, halves to even, +-32767.
inline int16_t ToSample(float y) noexcept {
  float v = y / 6.0f;
  if (!(v > -32767.0f)) v = -32767.0f;  // also catches NaN
  if (v > 32767.0f) v = 32767.0f;
  return static_cast<int16_t>(std::nearbyint(v));
}

}  // namespace

TIIRFilter::TIIRFilter() noexcept = default;

void TIIRFilter::SetCutoff(bool lowPass, float cutoffHz) noexcept {
  cutoffHz_.store(cutoffHz, std::memory_order_relaxed);
  kind_.store(lowPass ? 0.0f : 1.0f, std::memory_order_relaxed);
  dirty_.store(true, std::memory_order_release);
}

std::array<TIIRFilter::Section, 3> TIIRFilter::Design(float kind, float fc) noexcept {
  std::array<Section, 3> out{};
  const float NP = 6.0f;   // poles
  const float PR = 0.5f;   // ripple, percent
  for (int p = 1; p <= 3; ++p) {
    // Pole position on the unit circle.
    const float angle = kPi / (2.0f * NP) + static_cast<float>(p - 1) * kPi / NP;
    float RP = -std::cos(angle);
    float IP = std::sin(angle);

    // Warp from a circle to an ellipse for the ripple.
    const float q = 100.0f / (100.0f - PR);
    const float ES = std::sqrt(q * q - 1.0f);
    const float VX = (1.0f / NP) * std::log(1.0f / ES + std::sqrt(1.0f / (ES * ES) + 1.0f));
    float KX = (1.0f / NP) * std::log(1.0f / ES + std::sqrt(1.0f / (ES * ES) - 1.0f));
    KX = (std::exp(KX) + std::exp(-KX)) / 2.0f;
    RP = RP * ((std::exp(VX) - std::exp(-VX)) / 2.0f) / KX;
    IP = IP * ((std::exp(VX) + std::exp(-VX)) / 2.0f) / KX;

    // s-domain to z-domain.
    const float T = 2.0f * std::tan(0.5f);
    const float W = 2.0f * kPi * fc;
    const float M = RP * RP + IP * IP;
    float D = 4.0f - 4.0f * RP * T + M * T * T;
    const float X0 = T * T / D;
    const float X1 = 2.0f * T * T / D;
    const float X2 = T * T / D;
    const float Y1 = (8.0f - 2.0f * M * T * T) / D;
    const float Y2 = (-4.0f - 4.0f * RP * T - M * T * T) / D;

    // Low-pass prototype to the wanted low-pass or high-pass.
    float K;
    if (kind == 1.0f) {
      K = -std::cos(W / 2.0f + 0.5f) / std::cos(W / 2.0f - 0.5f);
    } else {
      K = std::sin(0.5f - W / 2.0f) / std::sin(0.5f + W / 2.0f);
    }
    D = 1.0f + Y1 * K - Y2 * K * K;
    Section s;
    s.A0 = (X0 - X1 * K + X2 * K * K) / D;
    s.A1 = (-2.0f * X0 * K + X1 + X1 * K * K - 2.0f * X2 * K) / D;
    s.A2 = (X0 * K * K - X1 * K + X2) / D;
    s.B1 = (2.0f * K + Y1 + Y1 * K * K - 2.0f * Y2 * K) / D;
    s.B2 = (-(K * K) - Y1 * K + Y2) / D;
    if (kind == 1.0f) {
      s.A1 = -s.A1;
      s.B1 = -s.B1;
    }
    out[p - 1] = s;
  }
  return out;
}

void TIIRFilter::DesignNow(float cutoffHz, float kind) noexcept {
  const float hz = IsOff(cutoffHz) ? kMaxDesignHz : std::clamp(cutoffHz, kMinDesignHz, kMaxDesignHz);
  sections_ = Design(kind == 1.0f ? 1.0f : 0.0f, hz / kSampleRateHz);
}

void TIIRFilter::ClearState() noexcept {
  left_ = ChannelState{};
  right_ = ChannelState{};
}

void TIIRFilter::RunChannel(int16_t* samples, int32_t count, int32_t stride, ChannelState& state) const noexcept {
  const Section s0 = sections_[0], s1 = sections_[1], s2 = sections_[2];
  State a = state[0], b = state[1], c = state[2];
  for (int32_t i = 0; i < count; ++i) {
    const float x = static_cast<float>(samples[i * stride]);
    const float y0 = s0.A0 * x + s0.A1 * a.x1 + s0.A2 * a.x2 + s0.B1 * a.y1 + s0.B2 * a.y2;
    a.x2 = a.x1; a.x1 = x; a.y2 = a.y1; a.y1 = y0;
    const float y1 = s1.A0 * y0 + s1.A1 * b.x1 + s1.A2 * b.x2 + s1.B1 * b.y1 + s1.B2 * b.y2;
    b.x2 = b.x1; b.x1 = y0; b.y2 = b.y1; b.y1 = y1;
    const float y2 = s2.A0 * y1 + s2.A1 * c.x1 + s2.A2 * c.x2 + s2.B1 * c.y1 + s2.B2 * c.y2;
    c.x2 = c.x1; c.x1 = y1; c.y2 = c.y1; c.y1 = y2;
    samples[i * stride] = ToSample(y2);
  }
  state[0] = a;
  state[1] = b;
  state[2] = c;
}

void TIIRFilter::ProcessStereo(void* block, int32_t bytes) noexcept {
  if (block == nullptr || bytes <= 0) return;
  // Take the flag before reading the request: a change made after this point sets it again.
  const bool dirty = dirty_.exchange(false, std::memory_order_acq_rel);
  const float hz = cutoffHz_.load(std::memory_order_relaxed);
  if (IsOff(hz)) {
    // Off: forget the state once, so switching on again starts clean.
    if (dirty) ClearState();
    return;
  }
  if (dirty) DesignNow(hz, kind_.load(std::memory_order_relaxed));

  const int32_t frames = bytes / 4;
  if (frames < 2) return;
  auto* pcm = static_cast<int16_t*>(block);
  // Constant left channel (silence, a paused deck): nothing to do. Only the left is looked at.
  const int16_t first = pcm[0];
  bool constant = true;
  for (int32_t i = 1; i < frames; ++i) {
    if (pcm[2 * i] != first) {
      constant = false;
      break;
    }
  }
  if (constant) return;
  RunChannel(pcm, frames, 2, left_);
  RunChannel(pcm + 1, frames, 2, right_);
}

void TIIRFilter::ProcessAnalysis(int16_t* samples) noexcept {
  if (samples == nullptr) return;
  if (dirty_.exchange(false, std::memory_order_acq_rel)) {
    DesignNow(cutoffHz_.load(std::memory_order_relaxed), kind_.load(std::memory_order_relaxed));
  }
  const int16_t first = samples[0];
  bool constant = true;
  for (int32_t i = 1; i < kAnalysisSamples; ++i) {
    if (samples[i] != first) {
      constant = false;
      break;
    }
  }
  if (constant) return;
  RunChannel(samples, kAnalysisSamples, 1, left_);
}

}  // namespace zonda
