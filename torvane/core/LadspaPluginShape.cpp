#include "torvane/core/LadspaPluginShape.h"

#include <algorithm>
#include <cmath>

namespace zonda {

namespace {

// lower x (1 - t) + upper x t, on a log scale when asked and possible.
float Between(float lower, float upper, float t, bool logarithmic) {
  if (logarithmic && lower > 0.0f && upper > 0.0f)
    return std::exp(std::log(lower) * (1.0f - t) + std::log(upper) * t);
  return lower * (1.0f - t) + upper * t;
}

}  // namespace

TControlPortInfo LadspaControlPort(const char* name, const LADSPA_PortRangeHint& hint, float sampleRate) {
  const LADSPA_PortRangeHintDescriptor h = hint.HintDescriptor;
  TControlPortInfo port;
  port.name = name ? name : "";
  port.toggled = LADSPA_IS_HINT_TOGGLED(h);
  port.integer = LADSPA_IS_HINT_INTEGER(h);
  port.logarithmic = LADSPA_IS_HINT_LOGARITHMIC(h);

  const float scale = LADSPA_IS_HINT_SAMPLE_RATE(h) ? sampleRate : 1.0f;
  const bool below = LADSPA_IS_HINT_BOUNDED_BELOW(h) && std::isfinite(hint.LowerBound);
  const bool above = LADSPA_IS_HINT_BOUNDED_ABOVE(h) && std::isfinite(hint.UpperBound);
  float lower = below ? hint.LowerBound * scale : 0.0f;
  float upper = above ? hint.UpperBound * scale : lower;
  if (below && above && upper < lower) std::swap(lower, upper);

  float value = 0.0f;
  switch (h & LADSPA_HINT_DEFAULT_MASK) {
    case LADSPA_HINT_DEFAULT_MINIMUM: value = lower; break;
    case LADSPA_HINT_DEFAULT_LOW: value = Between(lower, upper, 0.25f, port.logarithmic); break;
    case LADSPA_HINT_DEFAULT_MIDDLE: value = Between(lower, upper, 0.5f, port.logarithmic); break;
    case LADSPA_HINT_DEFAULT_HIGH: value = Between(lower, upper, 0.75f, port.logarithmic); break;
    case LADSPA_HINT_DEFAULT_MAXIMUM: value = upper; break;
    case LADSPA_HINT_DEFAULT_1: value = 1.0f; break;
    case LADSPA_HINT_DEFAULT_100: value = 100.0f; break;
    case LADSPA_HINT_DEFAULT_440: value = 440.0f; break;
    default: value = 0.0f; break;  // DEFAULT_0, or no default: 0 brought inside the bounds
  }
  if (!std::isfinite(value)) value = 0.0f;

  if (port.toggled) {
    lower = 0.0f;
    upper = 1.0f;
  } else {
    if (!below) {
      lower = std::min(0.0f, value);
      if (above && lower >= upper) lower = upper - 9.0f * std::max(1.0f, std::fabs(upper));
    }
    if (!above) upper = std::max(lower, value) + 9.0f * std::max({1.0f, std::fabs(value), std::fabs(lower)});
  }
  port.minimum = lower;
  port.maximum = upper;
  port.defaultValue = ClampedPortValue(port, value);
  return port;
}

std::optional<TLadspaPluginShape> DescribeLadspaPlugin(const LADSPA_Descriptor& d, float sampleRate) {
  if (!d.instantiate || !d.connect_port || !d.run || !d.PortDescriptors || !d.PortRangeHints || !d.PortNames)
    return std::nullopt;
  if (d.PortCount == 0 || d.PortCount > kMaxLadspaPorts) return std::nullopt;
  TLadspaPluginShape shape;
  for (unsigned long i = 0; i < d.PortCount; ++i) {
    const LADSPA_PortDescriptor p = d.PortDescriptors[i];
    const bool input = LADSPA_IS_PORT_INPUT(p), output = LADSPA_IS_PORT_OUTPUT(p);
    const bool audio = LADSPA_IS_PORT_AUDIO(p), control = LADSPA_IS_PORT_CONTROL(p);
    if (input == output || audio == control) return std::nullopt;
    if (audio) {
      (input ? shape.AudioInputs : shape.AudioOutputs).push_back(i);
    } else if (output) {
      shape.ControlOutputs.push_back(i);
    } else {
      shape.ControlInputs.push_back(i);
      shape.Controls.push_back(LadspaControlPort(d.PortNames[i], d.PortRangeHints[i], sampleRate));
    }
  }
  const size_t ins = shape.AudioInputs.size(), outs = shape.AudioOutputs.size();
  if (ins == 2 && outs == 2)
    shape.Layout = TLadspaLayout::Stereo;
  else if (ins == 1 && outs == 1)
    shape.Layout = TLadspaLayout::PairedMono;
  else if (ins == 1 && outs == 2)
    shape.Layout = TLadspaLayout::MonoToStereo;
  else if (ins == 2 && outs == 1)
    shape.Layout = TLadspaLayout::StereoToMono;
  else
    return std::nullopt;
  return shape;
}

std::string LadspaPluginName(const LADSPA_Descriptor& d) {
  if (d.Name && *d.Name) return d.Name;
  if (d.Label && *d.Label) return d.Label;
  return "LADSPA " + std::to_string(d.UniqueID);
}

}  // namespace zonda
