#pragma once
// TLadspaPluginShape: how a LADSPA plug-in's ports make a stereo effect, and
// the description of its control inputs for the generated editor.
//
// Usable audio layouts (any other is not an effect for a stereo deck):
//   2 in, 2 out   stereo: one instance, left and right in port order;
//   1 in, 1 out   paired mono: two instances, one per channel, same controls;
//   1 in, 2 out   mono to stereo: one instance fed (left + right) / 2;
//   2 in, 1 out   stereo to mono: one instance whose output fills both channels.
//
// Control inputs take their LADSPA hints: bounds (times the sample rate for
// SAMPLE_RATE ports), the DEFAULT_* value inside them, TOGGLED, INTEGER and
// LOGARITHMIC. An unbounded side gets a finite edge for the editor:
// below, the smaller of 0 and the default (kept under the upper bound); above, the larger of the lower
// bound and the default plus 9 x max(1, |default|, |lower|), so a gain of
// "0 to ..., default 1" edits over 0..10.
//
//   auto shape = DescribeLadspaPlugin(*descriptor, 44100.0f);
//   if (shape) ... shape->Layout, shape->Controls ...
//
// Pure functions, any thread.
#include <ladspa.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/portpanel/ControlPortPanel.h"

namespace zonda {

enum class TLadspaLayout { Stereo, PairedMono, MonoToStereo, StereoToMono };

struct TLadspaPluginShape {
  TLadspaLayout Layout = TLadspaLayout::Stereo;
  std::vector<unsigned long> AudioInputs;    // port indices, in port order
  std::vector<unsigned long> AudioOutputs;
  std::vector<unsigned long> ControlInputs;  // ControlInputs[i] is described by Controls[i]
  std::vector<unsigned long> ControlOutputs;
  std::vector<TControlPortInfo> Controls;
};

// Ports larger than this are taken for a broken descriptor.
inline constexpr unsigned long kMaxLadspaPorts = 4096;

// The shape of a plug-in usable on a stereo deck, or nothing for another
// layout or a descriptor with missing functions, names or hints.
std::optional<TLadspaPluginShape> DescribeLadspaPlugin(const LADSPA_Descriptor& descriptor, float sampleRate);

// One control input's description from its name and range hint.
TControlPortInfo LadspaControlPort(const char* name, const LADSPA_PortRangeHint& hint, float sampleRate);

// The friendly name of a descriptor: its Name, else its Label, else "LADSPA <id>".
std::string LadspaPluginName(const LADSPA_Descriptor& descriptor);

}  // namespace zonda
