#pragma once
// TLfo: a low-frequency oscillator as a phase in [0, 1) and cheap shapes of it.
//
// The phase advances by a per-frame increment the caller computes from a rate
// in hertz or from a tempo, so a tempo-synced sweep follows the tempo passed
// to each "process" call. The sine is a polynomial (within 0.1 % of std::sin),
// cheap enough to evaluate every frame.
//
// Threads: audio thread only.
#include <cmath>

namespace zonda::fx {

class TLfo {
 public:
  explicit TLfo(double startPhase = 0.0) noexcept : start_(Wrap(startPhase)), phase_(start_) {}

  void Reset() noexcept { phase_ = start_; }
  double Phase() const noexcept { return phase_; }

  void Advance(double incrementPerFrame) noexcept {
    phase_ += incrementPerFrame;
    if (!(phase_ >= 0.0 && phase_ < 1.0)) phase_ = Wrap(phase_);
  }

  // sin(2 pi phase), -1..1.
  float Sine() const noexcept { return SineOfPhase(phase_); }
  // The sine `turns` ahead of the phase (0.25: a quarter turn, for a second channel).
  float SineAhead(double turns) const noexcept { return SineOfPhase(Wrap(phase_ + turns)); }
  // (1 + Sine) / 2: 0..1.
  float Unipolar() const noexcept { return 0.5f + 0.5f * Sine(); }

  static float SineOfPhase(double phase) noexcept {
    // A triangle x in -1..1 with sin(2 pi phase) = sin(pi x / 2), then the
    // parabola x (2 - |x|) refined once towards the sine.
    const double tri = phase < 0.25 ? 4.0 * phase : phase < 0.75 ? 2.0 - 4.0 * phase : 4.0 * phase - 4.0;
    const float x = static_cast<float>(tri);
    const float p = x * (2.0f - (x < 0.0f ? -x : x));
    return p * (0.775f + 0.225f * (p < 0.0f ? -p : p));
  }

 private:
  static double Wrap(double phase) noexcept {
    if (!std::isfinite(phase)) return 0.0;
    phase -= std::floor(phase);
    return phase < 1.0 ? phase : 0.0;
  }

  double start_;
  double phase_;
};

}  // namespace zonda::fx
