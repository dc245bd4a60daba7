#pragma once
// The cut-off knob's law: knob position (-64..63) and the "CutoffFilterMode"
// setting (-1 low-pass only, 0 low-pass left / high-pass right, 1 high-pass
// only) to a TIIRFilter setting, and the frequency text shown beside the knob.
//
// Pure functions; the knob handlers call them on the main thread and pass the
// result to TIIRFilter::SetCutoff.
#include <cstdint>
#include <string>
#include <string_view>

namespace zonda {

struct TCutoffSetting {
  bool lowPass = true;
  double cutoffHz = -1.0;  // -1 = off; held as a double for the display
};

// Knob values outside -64..63 are limited to that range; an unknown mode acts as 0.
TCutoffSetting CutoffFromKnob(int32_t filterMode, int32_t knob) noexcept;

// "FILTER OFF" (offText) for -1, "19.4 KHz" from 1000 Hz up, else "29 Hz".
std::string CutoffText(double cutoffHz, std::string_view offText = "FILTER OFF");

}  // namespace zonda
