#include "effects/EffectSlots.h"

#include "engine/IlvexLibrary.h"
#include "engine/Mixer.h"

namespace zonda {

namespace {

// The enumeration callback has no user argument: one enumeration at a time.
thread_local std::vector<TVstPlugin>* gPlugins = nullptr;

int32_t CollectPlugin(const char* path, const char* name, int32_t pluginIndex) {
  if (gPlugins != nullptr) gPlugins->push_back({path != nullptr ? path : "", name != nullptr ? name : "", pluginIndex});
  return 0;
}

}  // namespace

TEffectSlots::TEffectSlots() = default;

TEffectSlots::~TEffectSlots() { ReleaseEffectBridge(); }

TEffectBridge::LoadResult TEffectSlots::BindEffectBridge(const std::string& bridgePath) {
  const TEffectBridge::LoadResult result = bridgePath.empty() ? bridge_.Load() : bridge_.Load(bridgePath);
  Host.Bridge = bridge_.IsLoaded() ? &bridge_ : nullptr;
  Host.DxList = &dxList_;
  Host.VstList = &vstList_;
  for (int32_t n = 1; n <= kEffectSlotCount; ++n)
    if (slots_[size_t(n - 1)] == nullptr) slots_[size_t(n - 1)] = std::make_unique<TEffectPlugin>(n, &Host);
  return result;
}

bool TEffectSlots::BuildDxList(const std::string& exclusionPath, std::string* error) {
  dxList_.clear();
  if (!bridge_.IsLoaded()) return true;
  std::string exclusion;
  if (!ReadExclusionText(exclusionPath, &exclusion, error)) return false;
  dxList_ = zonda::BuildDxList(bridge_.EnumerateFilters(), exclusion);
  return true;
}

bool TEffectSlots::BuildVstList(const std::string& exclusionPath, std::string* error) {
  vstList_.clear();
  if (Host.Ilvex == nullptr) return true;
  std::string exclusion;
  if (!ReadExclusionText(exclusionPath, &exclusion, error)) return false;
  std::vector<TVstPlugin> plugins;
  gPlugins = &plugins;
  Host.Ilvex->VstEnumeratePlugins(&CollectPlugin);
  gPlugins = nullptr;
  vstList_ = zonda::BuildVstList(plugins, exclusion);
  return true;
}

void TEffectSlots::AttachToMixer(TKAVMixer& mixer) {
  if (!HasSlots()) return;
  for (int32_t n = 1; n <= kEffectSlotCount; ++n)
    mixer.SetEffectSlot((n - 1) / kDeckEffectSlots, (n - 1) % kDeckEffectSlots, slots_[size_t(n - 1)].get());
}

void TEffectSlots::DetachFromMixer(TKAVMixer& mixer) {
  for (int32_t n = 1; n <= kEffectSlotCount; ++n)
    mixer.SetEffectSlot((n - 1) / kDeckEffectSlots, (n - 1) % kDeckEffectSlots, nullptr);
}

void TEffectSlots::ReleaseEffectBridge() {
  for (int32_t n = kEffectSlotCount; n >= 1; --n) slots_[size_t(n - 1)].reset();
  Host.Bridge = nullptr;
  bridge_.Release();
}

void TEffectSlots::IdleAllEditors() {
  for (auto& slot : slots_)
    if (slot != nullptr) slot->IdleEditor();
}

}  // namespace zonda
