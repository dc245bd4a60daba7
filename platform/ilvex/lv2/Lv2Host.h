#pragma once
// Lv2Host: the LV2 effects libilvex.so offers through its vst_* exports.
//
// Making a host loads every bundle lilv finds (the standard LV2 folders, or
// those in LV2_PATH) and lists the plug-ins usable as a stereo effect: 2 audio
// inputs and 2 outputs, 1 and 1 (run as a pair, one per channel) or 1 and 2;
// every other port a control, an atom port or optional; every required
// feature one this host provides (Lv2Features). Instruments, CV processors and
// plug-ins needing more are left out. A plug-in's index in Plugins() is its
// number for the whole life of the host.
//
//   Lv2Host host;
//   for (const Lv2PluginEntry& p : host.Plugins()) ...;
//   Lv2Effect* effect = host.Load(3);      // nullptr when it will not load
//   effect->Process(block, frames);        // audio thread
//   host.ShowEditor(effect, true);
//   host.Unload(effect);
//
// Threads: main thread, except Lv2Effect::Process.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/ilvex/lv2/Lv2Effect.h"

namespace zonda::ilvex {

struct Lv2PluginEntry {
  std::string uri;
  std::string name;
  Lv2StereoLayout layout = Lv2StereoLayout::kNone;
};

class Lv2Host {
 public:
  Lv2Host();
  ~Lv2Host();  // unloads every effect still loaded, closing its editor
  Lv2Host(const Lv2Host&) = delete;
  Lv2Host& operator=(const Lv2Host&) = delete;

  const std::vector<Lv2PluginEntry>& Plugins() const { return plugins_; }

  // The effect of plug-in `pluginIndex`, running; nullptr when the index is out
  // of range or the plug-in fails to start (the reason is in LastError).
  Lv2Effect* Load(int32_t pluginIndex);
  // Closes the effect's editor and frees it; false for anything not loaded here.
  bool Unload(Lv2Effect* effect);
  // The loaded effect behind a handle given out by Load, or nullptr.
  Lv2Effect* Find(intptr_t handle) const;
  size_t LoadedCount() const;

  // Shows (or hides) the effect's editor window; without a QApplication nothing happens.
  void ShowEditor(Lv2Effect* effect, bool show);
  bool EditorVisible(const Lv2Effect* effect) const;

  const std::string& LastError() const { return lastError_; }

 private:
  struct Loaded;
  struct World;
  std::unique_ptr<World> world_;
  std::vector<Lv2PluginEntry> plugins_;
  std::vector<Loaded> loaded_;
  std::string lastError_;
};

}  // namespace zonda::ilvex
