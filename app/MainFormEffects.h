#pragma once
// TMainFormEffects: the main window's effect slots. It owns the eight slots
// and the bridge (TEffectSlots), the slot pop-up menu with its LADSPA and LV2
// sub-menus, the "Edit Plugin" window, and the handlers of the skin's effect
// controls: LoadFX (menu), OnFX (switch), EditFX (editor) and
// DryWetFxMixChange (knob).
//
//   TMainFormEffects fx(actions, form, ilvex);
//   fx.Start(config.PluginFileName);   // bridge, LADSPA list, menus, the stored plug-ins
//   fx.AttachToMixer(mixer);
//   ...
//   config.PluginFileName = fx.Idents();  fx.Release();   // at shutdown, device closed
//
// The LADSPA list and menu are made at start-up; the LV2 ones when the slot
// menu first opens (or a stored slot holds an LV2 effect), since listing LV2
// plug-ins reads every installed description.
//
// Main thread only.
#include <QMenu>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/EditPluginForm.h"
#include "effects/EffectSlots.h"

namespace zonda {

class TActionTables;
class TMainForm;
class IlvexLibrary;

class TMainFormEffects {
 public:
  TMainFormEffects(TActionTables& actions, TMainForm& form, IlvexLibrary* ilvex);
  ~TMainFormEffects();

  // Binds the bridge (a broken one shows kBridgeErrorText), builds the lists
  // and menus, then fills slot n with idents[n - 1], switched off.
  void Start(const std::array<std::string, 8>& idents);
  void AttachToMixer(TKAVMixer& mixer) { fx_.AttachToMixer(mixer); }
  std::array<std::string, 8> Idents();
  // Hides the editors and frees the slots (8 down to 1) and the bridge; the
  // device must be closed (or the slots detached) first.
  void Release(TKAVMixer* mixer);
  void IdleAllEditors() { fx_.IdleAllEditors(); }

  // Main-window commands.
  void LoadFXinBank(int32_t slot, const std::string& ident);
  void LoadFX(int32_t slot);  // opens the pop-up menu at the slot's control
  void Loadnativeplugin1Click();
  void OnFX(int32_t slot);
  void EditFX(int32_t slot);
  void DryWetFxMixChange(int32_t slot);

  TEffectSlots& Slots() { return fx_; }
  QMenu& PluginPopupMenu() { return *menu_; }
  TEditPluginForm& EditPluginForm() { return *editForm_; }
  int32_t MenuSlot() const { return menuSlot_; }
  // The controller lamp of an assigned effect switch: (lamp, on).
  std::function<void(int32_t slot, bool active)> SlotSwitched;
  // Replaces the file dialog of "Load native plugin" (tests): returns the chosen path or "".
  std::function<std::string()> ChooseNativeFile;

 private:
  void BuildMenus();
  void FillMenu(QMenu* into, const std::vector<TEffectMenuNode>& nodes, char prefix);
  // The LV2 list and its sub-menu, made the first time they are needed.
  void ListVstEffects();
  // The skin names of a slot's controls: "decka_fx_on1" ... "deckb_fx_mix4".
  static std::string ControlName(int32_t slot, const char* kind);

  TActionTables& actions_;
  TMainForm& form_;
  TEffectSlots fx_;
  std::unique_ptr<TEditPluginForm> editForm_;
  std::unique_ptr<QMenu> menu_;
  QMenu* dxMenu_ = nullptr;
  QMenu* vstMenu_ = nullptr;
  bool vstListed_ = false;
  int32_t menuSlot_ = 1;
};

}  // namespace zonda
