#pragma once
// TSmoothedValue: a gain or amount that glides to its target frame by frame,
// so a slider moved in the editor never steps the signal (no zipper noise).
//
// One-pole glide; within kSnap of the target, or once a step no longer moves
// the float, the value becomes the target, so a settled gain of 1 passes
// samples exactly and a settled 0 is silence.
//
// Threads: audio thread only.
namespace zonda::fx {

class TSmoothedValue {
 public:
  // 10 ms to cover about two thirds of a step at 44.1 kHz.
  static constexpr float kDefaultCoefficient = 1.0f / 441.0f;
  static constexpr float kSnap = 1e-5f;

  explicit TSmoothedValue(float initial = 0.0f, float coefficient = kDefaultCoefficient) noexcept
      : value_(initial), target_(initial), coefficient_(coefficient) {}

  void SetTarget(float target) noexcept { target_ = target; }
  void Jump(float value) noexcept { value_ = target_ = value; }
  float Value() const noexcept { return value_; }
  float Target() const noexcept { return target_; }

  float Next() noexcept {
    value_ = GlideTowards(value_, target_, coefficient_);
    return value_;
  }

  // One step of the glide from value towards target, as Next takes it.
  static float GlideTowards(float value, float target, float coefficient) noexcept {
    const float d = target - value;
    const float next = value + d * coefficient;
    return (d < kSnap && d > -kSnap) || next == value ? target : next;
  }

 private:
  float value_;
  float target_;
  float coefficient_;
};

}  // namespace zonda::fx
