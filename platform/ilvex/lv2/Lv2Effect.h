#pragma once
// Lv2Effect: one LV2 plug-in loaded into an effect slot, processing stereo
// interleaved float blocks in place.
//
// Loading instantiates the plug-in at 44100 Hz (twice for a mono plug-in, one
// instance per channel), connects every port to a buffer made here, sets each
// control input to its default and activates it. The control values live in
// atomics the editor writes; each run copies them into the ports.
//
//   Lv2Effect effect(plugin, nodes, features);       // main thread; throws on failure
//   effect.SetControl(effect.FindControl("LPfreq"), 800.0f);
//   effect.Process(block, frames);                    // audio thread
//
// Threads: construction, destruction and the control table on the main
// thread; Process on the audio thread (no allocation, no lock, no I/O);
// ControlValues from any thread.
#include <lilv/lilv.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ilvex/lv2/Lv2Features.h"
#include "platform/ilvex/lv2/Lv2Nodes.h"
#include "platform/ilvex/lv2/Lv2Ports.h"
#include "platform/portpanel/ControlPortPanel.h"

namespace zonda::ilvex {

class Lv2Effect {
 public:
  // Throws std::runtime_error naming the reason when the plug-in does not fit a
  // stereo slot or will not instantiate.
  Lv2Effect(const LilvPlugin* plugin, const Lv2Nodes& nodes, Lv2Features& features);
  ~Lv2Effect();  // deactivates and frees the instances
  Lv2Effect(const Lv2Effect&) = delete;
  Lv2Effect& operator=(const Lv2Effect&) = delete;

  // Runs `frames` stereo frames in place, in pieces of up to kMaxBlockFrames.
  // Audio thread; frames <= 0 or a null block does nothing.
  void Process(float* stereoInterleaved, int32_t frames) noexcept;

  const std::string& Name() const { return name_; }
  const std::string& Uri() const { return uri_; }
  Lv2StereoLayout Layout() const { return layout_; }
  int Instances() const { return int(instances_.size()); }

  // The control inputs in port order; ControlValues()[i] belongs to Controls()[i].
  const std::vector<TControlPortInfo>& Controls() const { return controls_; }
  std::atomic<float>* ControlValues() { return values_.get(); }
  // The control input with this symbol, or -1.
  int FindControl(std::string_view symbol) const;
  // Stores a value, clamped into the port's bounds; an index out of range does nothing.
  void SetControl(int control, float value);

 private:
  void RunPiece(float* stereoInterleaved, int32_t frames) noexcept;
  void PrepareAtomPorts() noexcept;

  std::string name_;
  std::string uri_;
  Lv2StereoLayout layout_ = Lv2StereoLayout::kNone;
  struct InstanceFree {
    void operator()(LilvInstance* instance) const { lilv_instance_free(instance); }
  };
  std::vector<std::unique_ptr<LilvInstance, InstanceFree>> instances_;
  bool active_ = false;

  std::vector<TControlPortInfo> controls_;
  std::vector<std::string> controlSymbols_;
  std::vector<uint32_t> controlPorts_;  // port index of each control input
  std::unique_ptr<std::atomic<float>[]> values_;

  // Per instance: one float per port (controls in, control outputs land there too).
  std::vector<std::vector<float>> portFloats_;
  // Two input and two output channels of kMaxBlockFrames.
  std::vector<float> audio_;
  float* in_[2] = {};
  float* out_[2] = {};

  struct AtomBuffer {
    std::vector<uint64_t> words;  // 8-byte aligned, as atoms require
    bool input = false;
  };
  std::vector<AtomBuffer> atoms_;
  LV2_URID sequenceUrid_ = 0;
  LV2_URID chunkUrid_ = 0;
};

}  // namespace zonda::ilvex
