#pragma once
// The parameters of a native effect: a fixed table describing them (name, range,
// scale, unit) and one std::atomic<float> value per parameter.
//
// The editor window is the only writer (main thread); "process" reads each
// value once per call (audio thread). Values are kept inside their range and,
// for whole-number and choice parameters, whole, so a reader never checks.
//
//   static constexpr TParameterInfo kParameterInfo[] = {
//       {"Feedback", "%", 0.0f, 0.95f, 0.45f, TParameterScale::Linear, {}}};
//   TEffectParameters params(kParameterInfo);
//   params.SetValue(0, 0.7f);                 // main thread
//   const float feedback = params.Value(0);   // audio thread
#include <array>
#include <atomic>
#include <cstdint>
#include <span>
#include <string>

namespace zonda::fx {

enum class TParameterScale {
  Linear,       // evenly between minimum and maximum
  Logarithmic,  // evenly in ratio (frequencies, times); minimum > 0
  Steps,        // whole numbers from minimum to maximum
};

struct TParameterInfo {
  const char* name;  // the label in the editor, and the slider's object name
  // Shown after the value: "%" shows a 0..1 value as a percentage; "" for none.
  const char* unit;
  float minimum;
  float maximum;
  float initial;
  TParameterScale scale;
  // When not empty, the value is an index into these labels (minimum 0,
  // maximum size - 1) and the scale is ignored.
  std::span<const char* const> choices;
};

// Main thread: positions of the editor's slider for a parameter, 0..SliderSteps.
int32_t SliderSteps(const TParameterInfo& info) noexcept;
float ValueAtSliderPosition(const TParameterInfo& info, int32_t position) noexcept;
int32_t SliderPositionOfValue(const TParameterInfo& info, float value) noexcept;
// The value as the editor shows it: "45 %", "1/2 beat", "250 Hz", "-40.0 dB".
std::string FormatParameterValue(const TParameterInfo& info, float value);
// A value brought inside the parameter's range (whole for steps and choices); NaN gives the initial value.
float ClampParameterValue(const TParameterInfo& info, float value) noexcept;

class TEffectParameters {
 public:
  static constexpr int32_t kMaxParameters = 8;

  // Every value starts at its initial value. Parameters beyond kMaxParameters are ignored.
  explicit TEffectParameters(std::span<const TParameterInfo> infos) noexcept;

  std::span<const TParameterInfo> Infos() const noexcept { return infos_; }
  int32_t Count() const noexcept { return static_cast<int32_t>(infos_.size()); }

  // Any thread. An index out of range reads 0.
  float Value(int32_t index) const noexcept;
  // The value as a whole number (steps and choices).
  int32_t Index(int32_t index) const noexcept { return static_cast<int32_t>(Value(index)); }
  // Main thread. Clamped into the range; an index out of range is ignored.
  void SetValue(int32_t index, float value) noexcept;

 private:
  std::span<const TParameterInfo> infos_;
  std::array<std::atomic<float>, kMaxParameters> values_{};
};

}  // namespace zonda::fx
