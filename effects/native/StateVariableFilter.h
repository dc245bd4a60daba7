#pragma once
// TStateVariableFilter: a two-pole low-pass/band-pass/high-pass in the
// trapezoidal (zero-delay feedback) form, one state per stereo channel.
//
// Chosen over a biquad for swept filters: its coefficients can change every
// few frames without the bursts a direct-form biquad gives when its cut-off
// moves, and it stays stable at any cut-off below Nyquist.
//
//   TStateVariableFilter f;
//   f.SetCutoff(1000.0f, 0.7f);               // every few frames
//   const float low = f.LowPass(0, sample);   // channel 0 = left
//
// Threads: audio thread only. No allocation.
#include <cmath>

namespace zonda::fx {

class TStateVariableFilter {
 public:
  // Cut-off in Hz (held below 0.45 x the rate); damping 2 = no resonance,
  // towards 0 = a sharper peak at the cut-off (Q = 1 / damping).
  void SetCutoff(float cutoffHz, float damping, float rateHz = 44100.0f) noexcept {
    const float limit = 0.45f * rateHz;
    cutoffHz = cutoffHz < 1.0f ? 1.0f : cutoffHz > limit ? limit : cutoffHz;
    const float g = std::tan(3.14159265358979f * cutoffHz / rateHz);
    k_ = damping;
    a1_ = 1.0f / (1.0f + g * (g + k_));
    a2_ = g * a1_;
    a3_ = g * a2_;
  }

  void Reset() noexcept { ic1_[0] = ic1_[1] = ic2_[0] = ic2_[1] = 0.0f; }

  float LowPass(int channel, float x) noexcept {
    float v1, v2;
    Tick(channel, x, v1, v2);
    return v2;
  }
  float HighPass(int channel, float x) noexcept {
    float v1, v2;
    Tick(channel, x, v1, v2);
    return x - k_ * v1 - v2;
  }

 private:
  void Tick(int channel, float x, float& v1, float& v2) noexcept {
    float& ic1 = ic1_[channel];
    float& ic2 = ic2_[channel];
    const float v3 = x - ic2;
    v1 = a1_ * ic1 + a2_ * v3;
    v2 = ic2 + a2_ * ic1 + a3_ * v3;
    ic1 = 2.0f * v1 - ic1;
    ic2 = 2.0f * v2 - ic2;
  }

  float k_ = 2.0f, a1_ = 1.0f, a2_ = 0.0f, a3_ = 0.0f;
  float ic1_[2] = {0.0f, 0.0f};
  float ic2_[2] = {0.0f, 0.0f};
};

}  // namespace zonda::fx
