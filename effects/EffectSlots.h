#pragma once
// TEffectSlots: the eight effect slots (1-4 deck A, 5-8 deck B), the binding
// to the LADSPA bridge and the two lists of bridged effects the slot menus
// offer. The program and zonda-engine own one each.
//
//   TEffectSlots fx;
//   fx.Host.EffectsFolder = ProgramPath("/effects");  fx.Host.Ilvex = &ilvex;  ...
//   if (fx.BindEffectBridge() == TEffectBridge::Incomplete) show(kBridgeErrorText);
//   fx.BuildDxList(ProgramPath("/exclude_plugins.txt"), &error);
//   fx.BuildVstList(ProgramPath("/exclude_vst_plugins.txt"), &error);
//   fx.AttachToMixer(mixer);
//   fx.Slot(1).LoadPlugin("*0");
//   ...
//   fx.ReleaseEffectBridge();  // slots 8 down to 1, then the bridge
//
// Threads: main thread (the slots' ProcessBlock runs on the audio thread).
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "effects/EffectBridge.h"
#include "effects/EffectCatalog.h"
#include "effects/EffectPlugin.h"

namespace zonda {

class TKAVMixer;

inline constexpr int32_t kEffectSlotCount = 8;

class TEffectSlots {
 public:
  TEffectSlots();
  ~TEffectSlots();  // ReleaseEffectBridge
  TEffectSlots(const TEffectSlots&) = delete;
  TEffectSlots& operator=(const TEffectSlots&) = delete;

  // Filled before BindEffectBridge; the lists and the bridge are linked in by it.
  TEffectHost Host;

  // Loads libtorvane.so (bridgePath empty: the installed one) and creates the
  // eight empty slots. Missing or Incomplete: no LADSPA effects.
  TEffectBridge::LoadResult BindEffectBridge(const std::string& bridgePath = "");
  // Lists the bridge's effects minus the exclusion file's names. False (and
  // *error set) when the exclusion file cannot be read: the list stays empty.
  bool BuildDxList(const std::string& exclusionPath, std::string* error);
  // Lists the LV2 effects of Host.Ilvex minus the exclusion file's names.
  bool BuildVstList(const std::string& exclusionPath, std::string* error);
  // Hands slots 1-4 to deck A's chain and 5-8 to deck B's.
  void AttachToMixer(TKAVMixer& mixer);
  void DetachFromMixer(TKAVMixer& mixer);
  void ReleaseEffectBridge();
  void IdleAllEditors();

  bool HasSlots() const { return slots_[0] != nullptr; }
  TEffectPlugin& Slot(int32_t number) { return *slots_[size_t(number - 1)]; }  // 1..8
  const TEffectBridge& Bridge() const { return bridge_; }
  const std::vector<TDxPluginData>& DxList() const { return dxList_; }
  const std::vector<TVSTPluginData>& VstList() const { return vstList_; }

 private:
  TEffectBridge bridge_;
  std::vector<TDxPluginData> dxList_;
  std::vector<TVSTPluginData> vstList_;
  std::array<std::unique_ptr<TEffectPlugin>, kEffectSlotCount> slots_;
};

}  // namespace zonda
