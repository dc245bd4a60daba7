#include "platform/ilvex/lv2/Lv2Effect.h"

#include <dlfcn.h>
#include <lv2/atom/atom.h>

#include <algorithm>
#include <cmath>
#include <stdexcept>

namespace zonda::ilvex {

namespace {

// Room for the events a plug-in may write to an output atom port; more when the port asks.
constexpr size_t kAtomBufferBytes = 8192;

std::string NodeText(LilvNode* node, const std::string& fallback) {
  std::string text = node ? lilv_node_as_string(node) : fallback;
  lilv_node_free(node);
  return text;
}

// Keeps a plug-in's library mapped for the rest of the process once it has run:
// some plug-ins leave static state, threads or thread-local destructors behind
// that would dangle if lilv unmapped the library with its last instance.
void PinLibrary(const LilvPlugin* plugin) {
  const LilvNode* library = lilv_plugin_get_library_uri(plugin);
  if (library == nullptr) return;
  char* path = lilv_file_uri_parse(lilv_node_as_uri(library), nullptr);
  if (path == nullptr) return;
  if (void* handle = dlopen(path, RTLD_NOW | RTLD_NODELETE)) dlclose(handle);
  lilv_free(path);
}

}  // namespace

Lv2Effect::Lv2Effect(const LilvPlugin* plugin, const Lv2Nodes& nodes, Lv2Features& features) {
  uri_ = lilv_node_as_uri(lilv_plugin_get_uri(plugin));
  name_ = NodeText(lilv_plugin_get_name(plugin), uri_);

  if (LilvNodes* required = lilv_plugin_get_required_features(plugin)) {
    std::string missing;
    LILV_FOREACH(nodes, it, required) {
      const char* feature = lilv_node_as_uri(lilv_nodes_get(required, it));
      if (feature && !Lv2Features::Provides(feature)) missing = feature;
    }
    lilv_nodes_free(required);
    if (!missing.empty()) throw std::runtime_error(uri_ + " needs the feature " + missing);
  }

  const std::vector<Lv2PortKind> kinds = ClassifyPorts(plugin, nodes);
  layout_ = StereoLayoutOf(kinds);
  if (layout_ == Lv2StereoLayout::kNone) throw std::runtime_error(uri_ + " is not a stereo or mono effect");

  const uint32_t portCount = uint32_t(kinds.size());
  std::vector<float> minimums(portCount), maximums(portCount), defaults(portCount);
  lilv_plugin_get_port_ranges_float(plugin, minimums.data(), maximums.data(), defaults.data());
  for (uint32_t i = 0; i < portCount; ++i) {
    if (kinds[i] != Lv2PortKind::kControlIn) continue;
    const LilvPort* port = lilv_plugin_get_port_by_index(plugin, i);
    controls_.push_back(ReadControlPort(plugin, port, nodes, minimums[i], maximums[i], defaults[i]));
    controlSymbols_.emplace_back(lilv_node_as_string(lilv_port_get_symbol(plugin, port)));
    controlPorts_.push_back(i);
  }
  values_ = std::make_unique<std::atomic<float>[]>(controls_.size());
  for (size_t c = 0; c < controls_.size(); ++c) values_[c].store(controls_[c].defaultValue);

  audio_.assign(4 * size_t(kMaxBlockFrames), 0.0f);
  in_[0] = audio_.data();
  in_[1] = in_[0] + kMaxBlockFrames;
  out_[0] = in_[1] + kMaxBlockFrames;
  out_[1] = out_[0] + kMaxBlockFrames;
  sequenceUrid_ = features.SequenceUrid();
  chunkUrid_ = features.ChunkUrid();

  const int count = layout_ == Lv2StereoLayout::kPairedMono ? 2 : 1;
  portFloats_.assign(size_t(count), std::vector<float>(portCount, 0.0f));
  for (int k = 0; k < count; ++k) {
    LilvInstance* instance = lilv_plugin_instantiate(plugin, kLv2SampleRate, features.List());
    if (instance == nullptr) throw std::runtime_error(uri_ + " would not instantiate");
    instances_.emplace_back(instance);
    if (k == 0) PinLibrary(plugin);
    int audioIn = 0;
    int audioOut = 0;
    for (uint32_t i = 0; i < portCount; ++i) {
      void* buffer = nullptr;
      switch (kinds[i]) {
        case Lv2PortKind::kAudioIn:
          buffer = in_[count == 2 ? k : audioIn++];
          break;
        case Lv2PortKind::kAudioOut:
          buffer = out_[count == 2 ? k : audioOut++];
          break;
        case Lv2PortKind::kControlIn:
        case Lv2PortKind::kControlOut:
          buffer = &portFloats_[size_t(k)][i];
          break;
        case Lv2PortKind::kAtomIn:
        case Lv2PortKind::kAtomOut: {
          size_t bytes = kAtomBufferBytes;
          if (LilvNodes* asked = lilv_port_get_value(plugin, lilv_plugin_get_port_by_index(plugin, i),
                                                     nodes.minimumSize)) {
            if (lilv_nodes_size(asked) > 0) {
              const LilvNode* first = lilv_nodes_get_first(asked);
              if (lilv_node_is_int(first)) bytes = std::max(bytes, size_t(std::max(0, lilv_node_as_int(first))));
            }
            lilv_nodes_free(asked);
          }
          AtomBuffer& atom = atoms_.emplace_back();
          atom.words.assign((bytes + sizeof(uint64_t) - 1) / sizeof(uint64_t), 0);
          atom.input = kinds[i] == Lv2PortKind::kAtomIn;
          buffer = atom.words.data();
          break;
        }
        case Lv2PortKind::kUnconnected:
        case Lv2PortKind::kUnsupported:
          break;
      }
      lilv_instance_connect_port(instance, i, buffer);
    }
  }
  for (size_t c = 0; c < controls_.size(); ++c)
    for (auto& floats : portFloats_) floats[controlPorts_[c]] = controls_[c].defaultValue;
  PrepareAtomPorts();
  for (auto& instance : instances_) lilv_instance_activate(instance.get());
  active_ = true;
}

Lv2Effect::~Lv2Effect() {
  if (active_)
    for (auto& instance : instances_) lilv_instance_deactivate(instance.get());
}

int Lv2Effect::FindControl(std::string_view symbol) const {
  for (size_t c = 0; c < controlSymbols_.size(); ++c)
    if (controlSymbols_[c] == symbol) return int(c);
  return -1;
}

void Lv2Effect::SetControl(int control, float value) {
  if (control < 0 || size_t(control) >= controls_.size()) return;
  values_[size_t(control)].store(ClampedPortValue(controls_[size_t(control)], value));
}

void Lv2Effect::Process(float* stereoInterleaved, int32_t frames) noexcept {
  if (stereoInterleaved == nullptr) return;
  while (frames > 0) {
    const int32_t piece = std::min(frames, kMaxBlockFrames);
    RunPiece(stereoInterleaved, piece);
    stereoInterleaved += 2 * piece;
    frames -= piece;
  }
}

void Lv2Effect::PrepareAtomPorts() noexcept {
  for (AtomBuffer& atom : atoms_) {
    auto* sequence = reinterpret_cast<LV2_Atom_Sequence*>(atom.words.data());
    if (atom.input) {  // an empty sequence: no events this run
      sequence->atom.size = sizeof(LV2_Atom_Sequence_Body);
      sequence->atom.type = sequenceUrid_;
      sequence->body.unit = 0;
      sequence->body.pad = 0;
    } else {  // the room the plug-in may fill
      sequence->atom.size = uint32_t(atom.words.size() * sizeof(uint64_t) - sizeof(LV2_Atom));
      sequence->atom.type = chunkUrid_;
    }
  }
}

void Lv2Effect::RunPiece(float* io, int32_t frames) noexcept {
  for (size_t c = 0; c < controls_.size(); ++c) {
    const float value = values_[c].load(std::memory_order_relaxed);
    for (auto& floats : portFloats_) floats[controlPorts_[c]] = value;
  }
  PrepareAtomPorts();
  if (layout_ == Lv2StereoLayout::kMonoToStereo) {
    for (int32_t i = 0; i < frames; ++i) in_[0][i] = 0.5f * (io[2 * i] + io[2 * i + 1]);
  } else {
    for (int32_t i = 0; i < frames; ++i) {
      in_[0][i] = io[2 * i];
      in_[1][i] = io[2 * i + 1];
    }
  }
  for (auto& instance : instances_) lilv_instance_run(instance.get(), uint32_t(frames));
  for (int32_t i = 0; i < frames; ++i) {
    io[2 * i] = out_[0][i];
    io[2 * i + 1] = out_[1][i];
  }
}

}  // namespace zonda::ilvex
