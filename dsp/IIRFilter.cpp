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
// Adding and taking away 1.5 * 2^23 rounds a float of magnitude below 2^22 to
// the nearest integer, halves to even, exactly as nearbyint does, without a call
// (the build never uses -ffast-math, which would fold the pair away).
inline int16_t ToSample(float y) noexcept {
  float v = y / 6.0f;
  if (!(v > -32767.0f)) v = -32767.0f;  // also catches NaN
  if (v > 32767.0f) v = 32767.0f;
  constexpr float kRound = 12582912.0f;
  return static_cast<int16_t>((v + kRound) - kRound);  // IEEE arithmetic: not folded away
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

Biquad MakeBiquad(const TIIRFilter::Section& c, float x1, float x2, float y1, float y2) noexcept {
  return Biquad{c.A0, c.A1, c.A2, c.B1, c.B2, x1, x2, y1, y2};
}

}  // namespace

// Both channels in one loop: two independent chains keep the FPU busy. The six
// sections are separate locals so the compiler keeps their state in registers.
void TIIRFilter::RunStereo(int16_t* pcm, int32_t frames) noexcept {
  Biquad l0 = MakeBiquad(sections_[0], left_[0].x1, left_[0].x2, left_[0].y1, left_[0].y2);
  Biquad l1 = MakeBiquad(sections_[1], left_[1].x1, left_[1].x2, left_[1].y1, left_[1].y2);
  Biquad l2 = MakeBiquad(sections_[2], left_[2].x1, left_[2].x2, left_[2].y1, left_[2].y2);
  Biquad r0 = MakeBiquad(sections_[0], right_[0].x1, right_[0].x2, right_[0].y1, right_[0].y2);
  Biquad r1 = MakeBiquad(sections_[1], right_[1].x1, right_[1].x2, right_[1].y1, right_[1].y2);
  Biquad r2 = MakeBiquad(sections_[2], right_[2].x1, right_[2].x2, right_[2].y1, right_[2].y2);
  for (int32_t i = 0; i < frames; ++i) {
    const float yl = l2.Step(l1.Step(l0.Step(static_cast<float>(pcm[2 * i]))));
    const float yr = r2.Step(r1.Step(r0.Step(static_cast<float>(pcm[2 * i + 1]))));
    pcm[2 * i] = ToSample(yl);
    pcm[2 * i + 1] = ToSample(yr);
  }
  left_[0] = {l0.x1, l0.x2, l0.y1, l0.y2};
  left_[1] = {l1.x1, l1.x2, l1.y1, l1.y2};
  left_[2] = {l2.x1, l2.x2, l2.y1, l2.y2};
  right_[0] = {r0.x1, r0.x2, r0.y1, r0.y2};
  right_[1] = {r1.x1, r1.x2, r1.y1, r1.y2};
  right_[2] = {r2.x1, r2.x2, r2.y1, r2.y2};
}

void TIIRFilter::RunMono(int16_t* samples, int32_t count) noexcept {
  Biquad m0 = MakeBiquad(sections_[0], left_[0].x1, left_[0].x2, left_[0].y1, left_[0].y2);
  Biquad m1 = MakeBiquad(sections_[1], left_[1].x1, left_[1].x2, left_[1].y1, left_[1].y2);
  Biquad m2 = MakeBiquad(sections_[2], left_[2].x1, left_[2].x2, left_[2].y1, left_[2].y2);
  for (int32_t i = 0; i < count; ++i) {
    samples[i] = ToSample(m2.Step(m1.Step(m0.Step(static_cast<float>(samples[i])))));
  }
  left_[0] = {m0.x1, m0.x2, m0.y1, m0.y2};
  left_[1] = {m1.x1, m1.x2, m1.y1, m1.y2};
  left_[2] = {m2.x1, m2.x2, m2.y1, m2.y2};
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
