#pragma once
// What the host makes of an LV2 plug-in's ports: which kind each is, whether
// the plug-in fits a stereo effect slot, and how a control input is shown in
// the generated editor.
//
// Threads: main thread (reads plug-in descriptions through lilv).
#include <lilv/lilv.h>

#include <cstdint>
#include <vector>

#include "platform/ilvex/lv2/Lv2Nodes.h"
#include "platform/portpanel/ControlPortPanel.h"

namespace zonda::ilvex {

enum class Lv2PortKind {
  kAudioIn,
  kAudioOut,
  kControlIn,
  kControlOut,
  kAtomIn,       // gets an empty event sequence each run
  kAtomOut,      // gets room for events the host ignores
  kUnconnected,  // an optional port of another kind, left unconnected
  kUnsupported,  // a required port this host cannot feed (CV, old event ports)
};

Lv2PortKind ClassifyPort(const LilvPlugin* plugin, const LilvPort* port, const Lv2Nodes& nodes);

// The port kinds of a plug-in, in port order.
std::vector<Lv2PortKind> ClassifyPorts(const LilvPlugin* plugin, const Lv2Nodes& nodes);

// How the plug-in's audio meets a stereo slot: stereo (2 in, 2 out), paired
// mono (1 in, 1 out: one instance per channel), mono to stereo (1 in, 2 out;
// fed the mean of left and right); kNone for anything else.
enum class Lv2StereoLayout { kNone, kStereo, kPairedMono, kMonoToStereo };

// kNone also for a plug-in with an unsupported port.
Lv2StereoLayout StereoLayoutOf(const std::vector<Lv2PortKind>& kinds);

// A control input as the generated editor shows it: bounds (lv2:sampleRate
// bounds in Hz at 44100), default clamped into them, toggle, integer,
// enumeration (its scale points), logarithmic.
TControlPortInfo ReadControlPort(const LilvPlugin* plugin, const LilvPort* port, const Lv2Nodes& nodes, float minimum,
                                 float maximum, float defaultValue);

}  // namespace zonda::ilvex
