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

namespace {

struct Biquad {
  float A0, A1, A2, B1, B2;
  float x1, x2, y1, y2;
  // Direct form I, one sample.
  inline float Step(float x) noexcept {
    const float y = A0 * x + A1 * x1 + A2 * x2 + B1 * y1 + B2 * y2;
    x2 = x1;
    x1 = x;
    y2 = y1;
    y1 = y;
    return y;
  }
};

}  // namespace

// Both channels in one loop: two independent chains keep the FPU busy.
void TIIRFilter::RunStereo(int16_t* pcm, int32_t frames) noexcept {
  Biquad l[3], r[3];
  for (int s = 0; s < 3; ++s) {
    const Section& c = sections_[s];
    l[s] = {c.A0, c.A1, c.A2, c.B1, c.B2, left_[s].x1, left_[s].x2, left_[s].y1, left_[s].y2};
    r[s] = {c.A0, c.A1, c.A2, c.B1, c.B2, right_[s].x1, right_[s].x2, right_[s].y1, right_[s].y2};
  }
  for (int32_t i = 0; i < frames; ++i) {
    const float yl = l[2].Step(l[1].Step(l[0].Step(static_cast<float>(pcm[2 * i]))));
    const float yr = r[2].Step(r[1].Step(r[0].Step(static_cast<float>(pcm[2 * i + 1]))));
    pcm[2 * i] = ToSample(yl);
    pcm[2 * i + 1] = ToSample(yr);
  }
  for (int s = 0; s < 3; ++s) {
    left_[s] = {l[s].x1, l[s].x2, l[s].y1, l[s].y2};
    right_[s] = {r[s].x1, r[s].x2, r[s].y1, r[s].y2};
  }
}

void TIIRFilter::RunMono(int16_t* samples, int32_t count) noexcept {
  Biquad m[3];
  for (int s = 0; s < 3; ++s) {
    const Section& c = sections_[s];
    m[s] = {c.A0, c.A1, c.A2, c.B1, c.B2, left_[s].x1, left_[s].x2, left_[s].y1, left_[s].y2};
  }
  for (int32_t i = 0; i < count; ++i) {
    samples[i] = ToSample(m[2].Step(m[1].Step(m[0].Step(static_cast<float>(samples[i])))));
  }
  for (int s = 0; s < 3; ++s) left_[s] = {m[s].x1, m[s].x2, m[s].y1, m[s].y2};
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
  RunStereo(pcm, frames);
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
  RunMono(samples, kAnalysisSamples);
}

}  // namespace zonda
