#pragma once
// The effects of the installation tree (ZONDA_PROGRAM_DIR) in a set of slots,
// as the program binds them: libilvex.so for LV2, libtorvane.so for LADSPA,
// the effects folder, and both lists built with the shipped exclusions.
//
//   test::TInstalledEffects fx;
//   ASSERT_TRUE(fx.Ready()) << fx.Error();
//   fx.Slots.Slot(1).LoadPlugin("*" + std::to_string(fx.DxIndex("Simple Low Pass Filter")));
#include <cstdlib>
#include <string>
#include <utility>

#include "effects/EffectSlots.h"
#include "engine/IlvexLibrary.h"

namespace zonda::test {

inline std::string InstallationFolder() {
  const char* dir = std::getenv("ZONDA_PROGRAM_DIR");
  return dir ? dir : ".";
}

class TInstalledEffects {
 public:
  explicit TInstalledEffects(std::string folder = InstallationFolder()) : Folder(std::move(folder)) {
    if (!Ilvex.Load(Folder + "/libilvex.so")) {
      error_ = "libilvex.so: " + Ilvex.LastError();
      return;
    }
    Ilvex.VstInit(nullptr);
    Slots.Host.EffectsFolder = Folder + "/effects";
    Slots.Host.Ilvex = &Ilvex;
    if (Slots.BindEffectBridge(Folder + "/libtorvane.so") != TEffectBridge::Loaded) {
      error_ = "libtorvane.so did not bind";
      return;
    }
    if (!Slots.BuildDxList(Folder + "/exclude_plugins.txt", &error_)) return;
    if (!Slots.BuildVstList(Folder + "/exclude_vst_plugins.txt", &error_)) return;
    ready_ = true;
  }
  ~TInstalledEffects() {
    Slots.ReleaseEffectBridge();
    Ilvex.VstDeinit();
  }

  bool Ready() const { return ready_; }
  const std::string& Error() const { return error_; }
  // The list index of the entry with this full name; -1 when not listed.
  int32_t DxIndex(const std::string& name) const { return IndexOf(Slots.DxList(), name); }
  int32_t VstIndex(const std::string& name) const { return IndexOf(Slots.VstList(), name); }

  const std::string Folder;
  IlvexLibrary Ilvex;
  TEffectSlots Slots;

 private:
  template <class List>
  static int32_t IndexOf(const List& list, const std::string& name) {
    for (size_t i = 0; i < list.size(); ++i)
      if (FullPluginName(list[i]) == name) return int32_t(i);
    return -1;
  }

  bool ready_ = false;
  std::string error_;
};

}  // namespace zonda::test
