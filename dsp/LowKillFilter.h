#pragma once
// TLowKillFilter: the steep high-pass that makes the equaliser's low kill deep.
//
// The equaliser's 257-tap kernel cannot make a band only four bins wide deep:
// killing the low band with the kernel alone leaves about -41 dB at DC, -26 dB
// at 100 Hz and -13 dB at 200 Hz, so the bass stays audible. While the low band
// is killed, this stage runs on the kernel's output: a 12th-order inverse
// Chebyshev high-pass (six biquads in double), at least 80 dB down at and below
// 250 Hz, within 0.03 dB of flat from 400 Hz up, with a monotonic pass band. It
// is minimum phase and adds no delay; a linear-phase FIR as steep would need
// about 1500 taps and some 700 frames of extra delay, and would change the
// equaliser's delay. Switching it on or off crossfades between the dry and the
// high-passed signal over kFadeFrames, so neither the bass nor the phase shift
// near the edge comes or goes in a step. Once faded out it costs nothing and its
// history is cleared, so the next kill starts from rest.
//
// Threads: construction on any thread (designs the sections); SetActive,
// Process and ClearHistory on the equaliser's processing (audio) thread only.
// No allocation, no locks.
#include <array>
#include <cstdint>

namespace zonda {

class TLowKillFilter {
 public:
  static constexpr int32_t kOrder = 12;
  static constexpr int32_t kSections = kOrder / 2;
  static constexpr double kStopHz = 250.0;   // at least kStopDb down at and below
  static constexpr double kStopDb = 80.0;
  static constexpr double kSampleRateHz = 44100.0;
  // Crossfade length (11.6 ms): long enough to hide the start of the high-pass
  // from rest, short enough for a kill button.
  static constexpr int32_t kFadeFrames = 512;

  struct Section {
    double b0 = 1, b1 = 0, b2 = 0, a1 = 0, a2 = 0;  // y = b0 x + b1 x' + b2 x'' - a1 y' - a2 y''
  };

  TLowKillFilter() noexcept;

  // Audio thread. Fade towards the high-passed signal (true) or the dry one.
  void SetActive(bool on) noexcept { active_ = on; }
  bool Active() const noexcept { return active_; }
  // True while the stage changes the signal (on, or still fading out).
  bool Running() const noexcept { return active_ || fade_ > 0; }

  // Audio thread. Filters `frames` frames of both channels in place.
  void Process(float* left, float* right, int32_t frames) noexcept;

  // Audio thread. Forgets the filter history (the fade position stays).
  void ClearHistory() noexcept;

 private:
  // Both channels side by side, so each biquad step is one two-lane operation.
  using Pair = double __attribute__((vector_size(16)));

  std::array<Section, kSections> sections_{};
  // Transposed direct form II state per section, {left, right} in each pair.
  std::array<std::array<Pair, 2>, kSections> state_{};
  bool active_ = false;
  int32_t fade_ = 0;  // 0 = dry .. kFadeFrames = fully high-passed
};

}  // namespace zonda
