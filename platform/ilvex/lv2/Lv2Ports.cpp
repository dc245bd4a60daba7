#include "platform/ilvex/lv2/Lv2Ports.h"

#include <algorithm>
#include <cmath>

#include "platform/ilvex/lv2/Lv2Features.h"

namespace zonda::ilvex {

Lv2PortKind ClassifyPort(const LilvPlugin* plugin, const LilvPort* port, const Lv2Nodes& nodes) {
  const bool input = lilv_port_is_a(plugin, port, nodes.inputPort);
  const bool output = lilv_port_is_a(plugin, port, nodes.outputPort);
  const bool optional = lilv_port_has_property(plugin, port, nodes.connectionOptional);
  if (input == output) return optional ? Lv2PortKind::kUnconnected : Lv2PortKind::kUnsupported;
  if (lilv_port_is_a(plugin, port, nodes.audioPort)) return input ? Lv2PortKind::kAudioIn : Lv2PortKind::kAudioOut;
  if (lilv_port_is_a(plugin, port, nodes.controlPort))
    return input ? Lv2PortKind::kControlIn : Lv2PortKind::kControlOut;
  if (lilv_port_is_a(plugin, port, nodes.atomPort)) return input ? Lv2PortKind::kAtomIn : Lv2PortKind::kAtomOut;
  return optional ? Lv2PortKind::kUnconnected : Lv2PortKind::kUnsupported;
}

std::vector<Lv2PortKind> ClassifyPorts(const LilvPlugin* plugin, const Lv2Nodes& nodes) {
  const uint32_t count = lilv_plugin_get_num_ports(plugin);
  std::vector<Lv2PortKind> kinds;
  kinds.reserve(count);
  for (uint32_t i = 0; i < count; ++i) {
    const LilvPort* port = lilv_plugin_get_port_by_index(plugin, i);
    kinds.push_back(port ? ClassifyPort(plugin, port, nodes) : Lv2PortKind::kUnsupported);
  }
  return kinds;
}

Lv2StereoLayout StereoLayoutOf(const std::vector<Lv2PortKind>& kinds) {
  int ins = 0;
  int outs = 0;
  for (Lv2PortKind kind : kinds) {
    if (kind == Lv2PortKind::kUnsupported) return Lv2StereoLayout::kNone;
    ins += kind == Lv2PortKind::kAudioIn;
    outs += kind == Lv2PortKind::kAudioOut;
  }
  if (ins == 2 && outs == 2) return Lv2StereoLayout::kStereo;
  if (ins == 1 && outs == 1) return Lv2StereoLayout::kPairedMono;
  if (ins == 1 && outs == 2) return Lv2StereoLayout::kMonoToStereo;
  return Lv2StereoLayout::kNone;
}

TControlPortInfo ReadControlPort(const LilvPlugin* plugin, const LilvPort* port, const Lv2Nodes& nodes, float minimum,
                                 float maximum, float defaultValue) {
  TControlPortInfo info;
  LilvNode* name = lilv_port_get_name(plugin, port);
  info.name = name ? lilv_node_as_string(name) : lilv_node_as_string(lilv_port_get_symbol(plugin, port));
  lilv_node_free(name);
  info.toggled = lilv_port_has_property(plugin, port, nodes.toggled);
  info.integer = lilv_port_has_property(plugin, port, nodes.integer);
  info.logarithmic = lilv_port_has_property(plugin, port, nodes.logarithmic);

  // Missing bounds: a toggle is 0..1, anything else spans 0..1 widened to its default.
  const bool hasDefault = std::isfinite(defaultValue);
  if (!std::isfinite(minimum)) minimum = hasDefault ? std::min(0.0f, defaultValue) : 0.0f;
  if (!std::isfinite(maximum)) maximum = hasDefault ? std::max(1.0f, defaultValue) : 1.0f;
  if (!hasDefault) defaultValue = minimum;
  if (lilv_port_has_property(plugin, port, nodes.sampleRate)) {
    const float rate = float(kLv2SampleRate);
    minimum *= rate;
    maximum *= rate;
    defaultValue *= rate;
  }
  if (maximum < minimum) std::swap(minimum, maximum);
  info.minimum = minimum;
  info.maximum = maximum;

  if (lilv_port_has_property(plugin, port, nodes.enumeration)) {
    if (LilvScalePoints* points = lilv_port_get_scale_points(plugin, port)) {
      LILV_FOREACH(scale_points, it, points) {
        const LilvScalePoint* point = lilv_scale_points_get(points, it);
        const LilvNode* value = lilv_scale_point_get_value(point);
        const LilvNode* label = lilv_scale_point_get_label(point);
        if (value && label && (lilv_node_is_float(value) || lilv_node_is_int(value)))
          info.namedValues.emplace_back(lilv_node_as_float(value), lilv_node_as_string(label));
      }
      lilv_scale_points_free(points);
      std::sort(info.namedValues.begin(), info.namedValues.end());
    }
  }
  info.defaultValue = ClampedPortValue(info, defaultValue);
  return info;
}

}  // namespace zonda::ilvex
