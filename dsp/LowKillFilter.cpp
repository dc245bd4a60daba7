#include "dsp/LowKillFilter.h"

#include <cmath>
#include <complex>

namespace zonda {

namespace {

constexpr double kPi = 3.14159265358979323846;
// History below this is far under one 16-bit step: flushed so it never decays
// into denormals during silence.
constexpr double kTinyState = 1e-15;

}  // namespace

// Inverse Chebyshev high-pass, stop-band edge kStopHz: the low-pass prototype
// (stop band from 1 rad/s) turned into a high-pass by s -> ws / s puts the poles
// at ws times the Chebyshev type I poles for 1 / eps and the zeros on the
// imaginary axis at ws cos(theta); bilinear transform with the edge prewarped.
// Each section has unit gain at Nyquist.
TLowKillFilter::TLowKillFilter() noexcept {
  const double fs = kSampleRateHz;
  const double ws = 2.0 * fs * std::tan(kPi * kStopHz / fs);
  const double eps = 1.0 / std::sqrt(std::pow(10.0, kStopDb / 10.0) - 1.0);
  const double mu = std::asinh(1.0 / eps) / kOrder;
  const auto bilinear = [fs](std::complex<double> s) { return (2.0 * fs + s) / (2.0 * fs - s); };
  for (int32_t k = 0; k < kSections; ++k) {
    // Lowest Q first.
    const double theta = kPi * (2.0 * (kSections - k) - 1.0) / (2.0 * kOrder);
    const std::complex<double> pole =
        bilinear(ws * std::complex<double>(-std::sinh(mu) * std::sin(theta), std::cosh(mu) * std::cos(theta)));
    const std::complex<double> zero = bilinear(std::complex<double>(0.0, ws * std::cos(theta)));
    Section q;
    q.b1 = -2.0 * zero.real();
    q.b2 = std::norm(zero);
    q.a1 = -2.0 * pole.real();
    q.a2 = std::norm(pole);
    const double g = (1.0 - q.a1 + q.a2) / (1.0 - q.b1 + q.b2);
    q.b0 = g;
    q.b1 *= g;
    q.b2 *= g;
    sections_[static_cast<size_t>(k)] = q;
  }
}

void TLowKillFilter::ClearHistory() noexcept {
  for (auto& s : state_) s = {Pair{0.0, 0.0}, Pair{0.0, 0.0}};
}

void TLowKillFilter::Process(float* left, float* right, int32_t frames) noexcept {
  if (!Running() || left == nullptr || right == nullptr) return;
  for (int32_t i = 0; i < frames; ++i) {
    const Pair dry = {left[i], right[i]};
    Pair x = dry;
    for (int32_t k = 0; k < kSections; ++k) {
      const Section& q = sections_[static_cast<size_t>(k)];
      auto& s = state_[static_cast<size_t>(k)];
      const Pair y = q.b0 * x + s[0];
      s[0] = q.b1 * x - q.a1 * y + s[1];
      s[1] = q.b2 * x - q.a2 * y;
      x = y;
    }
    if (active_ && fade_ < kFadeFrames) {
      ++fade_;
    } else if (!active_ && fade_ > 0) {
      --fade_;
    }
    if (fade_ < kFadeFrames) {
      const double wet = static_cast<double>(fade_) / kFadeFrames;
      x = dry + wet * (x - dry);
    }
    left[i] = static_cast<float>(x[0]);
    right[i] = static_cast<float>(x[1]);
  }
  if (!Running()) {
    ClearHistory();  // faded out: the next kill starts from rest
    return;
  }
  for (auto& s : state_) {
    for (Pair& v : s) {
      for (int32_t c = 0; c < 2; ++c) {
        if (std::fabs(v[c]) < kTinyState) v[c] = 0.0;
      }
    }
  }
}

}  // namespace zonda
