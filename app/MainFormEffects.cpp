#include "app/MainFormEffects.h"

#include <QApplication>
#include <QCursor>
#include <QFileDialog>
#include <QMessageBox>

#include "app/MainForm.h"
#include "engine/IlvexLibrary.h"
#include "platform/ProgramDir.h"
#include "skin/ActionTables.h"

namespace zonda {

TMainFormEffects::TMainFormEffects(TActionTables& actions, TMainForm& form, IlvexLibrary* ilvex)
    : actions_(actions), form_(form) {
  editForm_ = std::make_unique<TEditPluginForm>(&form);
  editForm_->TabChanged = [this](int slot) { fx_.Slot(slot).EditorTabChanged(); };
  editForm_->Closing = [this](int slot) { fx_.Slot(slot).HideEditor(); };
  fx_.Host.EffectsFolder = ProgramPath("/effects");
  fx_.Host.MainWindow = &form;
  fx_.Host.EditorWindow = editForm_.get();
  fx_.Host.Ilvex = ilvex;
  fx_.Host.BeforeEditorPages = [this](int32_t slot) { editForm_->EditSlot = slot; };
  fx_.Host.AfterEditorPages = [this](int32_t slot) {
    QApplication::processEvents();  // the pages' size request arrives
    editForm_->show();
    fx_.Slot(slot).EditorTabChanged();
    form_.setEnabled(false);
  };
  menu_ = std::make_unique<QMenu>();
  menu_->setObjectName("PluginPopupMenu");

  actions.FillHandler("LoadFX", [this](int tag) { LoadFX(tag); });
  actions.FillHandler("OnFX", [this](int tag) { OnFX(tag); });
  actions.FillHandler("EditFX", [this](int tag) { EditFX(tag); });
  actions.FillHandler("DryWetFxMixChange", [this](int tag) { DryWetFxMixChange(tag); });
}

TMainFormEffects::~TMainFormEffects() { Release(nullptr); }

std::string TMainFormEffects::ControlName(int32_t slot, const char* kind) {
  return std::string(slot <= 4 ? "decka_fx_" : "deckb_fx_") + kind + std::to_string((slot - 1) % 4 + 1);
}

void TMainFormEffects::Start(const std::array<std::string, 8>& idents) {
  if (fx_.BindEffectBridge() == TEffectBridge::Incomplete)
    QMessageBox::warning(&form_, "Zonda", kBridgeErrorText, QMessageBox::Ok);
  std::string error;
  if (!fx_.BuildDxList(ProgramPath("/exclude_plugins.txt"), &error))
    QMessageBox::warning(&form_, "Zonda", QString::fromStdString(error), QMessageBox::Ok);
  BuildMenus();
  // Listing the LV2 effects reads every installed plug-in's description (seconds
  // with large collections): only a stored LV2 slot needs it at start-up.
  for (const std::string& ident : idents)
    if (!ident.empty() && ident[0] == '#') ListVstEffects();
  for (int32_t n = 1; n <= kEffectSlotCount; ++n) LoadFXinBank(n, idents[size_t(n - 1)]);
}

void TMainFormEffects::ListVstEffects() {
  if (vstListed_) return;
  vstListed_ = true;
  std::string error;
  if (!fx_.BuildVstList(ProgramPath("/exclude_vst_plugins.txt"), &error))
    QMessageBox::warning(&form_, "Zonda", QString::fromStdString(error), QMessageBox::Ok);
  FillMenu(vstMenu_, BuildEffectMenuOf(fx_.VstList()), '#');
}

void TMainFormEffects::BuildMenus() {
  menu_->clear();
  QAction* native = menu_->addAction("Load native plugin");
  native->setObjectName("Loadnativeplugin1");
  QObject::connect(native, &QAction::triggered, menu_.get(), [this] { Loadnativeplugin1Click(); });
  menu_->addSeparator();
  dxMenu_ = menu_->addMenu("Load LADSPA plugin");
  vstMenu_ = menu_->addMenu("Load LV2 plugin");
  FillMenu(dxMenu_, BuildEffectMenuOf(fx_.DxList()), '*');
}

void TMainFormEffects::FillMenu(QMenu* into, const std::vector<TEffectMenuNode>& nodes, char prefix) {
  auto addItem = [this](QMenu* at, const TEffectMenuNode& item, char kind) {
    QAction* a = at->addAction(QString::fromStdString(item.Caption));
    const std::string ident = kind + std::to_string(item.Tag);
    QObject::connect(a, &QAction::triggered, menu_.get(), [this, ident] { LoadFXinBank(menuSlot_, ident); });
  };
  for (const TEffectMenuNode& node : nodes) {
    if (node.Tag >= 0) {
      addItem(into, node, prefix);
      continue;
    }
    QMenu* group = into->addMenu(QString::fromStdString(node.Caption));
    for (const TEffectMenuNode& item : node.Children) addItem(group, item, prefix);
  }
  into->setEnabled(!nodes.empty());
}

std::array<std::string, 8> TMainFormEffects::Idents() {
  std::array<std::string, 8> idents;
  for (int32_t n = 1; n <= kEffectSlotCount; ++n) idents[size_t(n - 1)] = fx_.HasSlots() ? fx_.Slot(n).Ident() : "-";
  return idents;
}

void TMainFormEffects::Release(TKAVMixer* mixer) {
  if (editForm_ && editForm_->isVisible()) editForm_->close();
  if (mixer != nullptr) fx_.DetachFromMixer(*mixer);
  fx_.ReleaseEffectBridge();
}

void TMainFormEffects::LoadFXinBank(int32_t slot, const std::string& ident) {
  if (slot < 1 || slot > kEffectSlotCount || !fx_.HasSlots()) return;
  TEffectPlugin& fx = fx_.Slot(slot);
  if (fx.EditorOpen() && editForm_->EditSlot == slot && editForm_->isVisible()) editForm_->close();
  fx.SetActive(false);
  const int on = actions_.FindButtonAction(ControlName(slot, "on"));
  if (on >= 0) actions_.Button(on).SetSelected(false);
  if (SlotSwitched) SlotSwitched(slot, false);
  fx.LoadPlugin(ident);
  const int name = actions_.FindTextAction(ControlName(slot, "name"));
  if (name >= 0) actions_.Text(name).SetText(fx.Name());
}

void TMainFormEffects::LoadFX(int32_t slot) {
  if (slot < 1 || slot > kEffectSlotCount) return;
  menuSlot_ = slot;
  ListVstEffects();
  // At the control that was clicked: below a text area, at a button's corner.
  QPoint at = QCursor::pos();
  const int text = actions_.FindTextAction(ControlName(slot, "name"));
  const int button = actions_.FindButtonAction(ControlName(slot, "load"));
  const auto& areas = form_.Skins().TextAreas();
  const auto& buttons = form_.Skins().Buttons();
  QWidget* textWidget = (text >= 0 && actions_.Text(text).IsBound())
                            ? areas.at(size_t(actions_.Text(text).ControlIndex())).get()
                            : nullptr;
  QWidget* buttonWidget = (button >= 0 && actions_.Button(button).IsBound())
                              ? buttons.at(size_t(actions_.Button(button).ControlIndex())).get()
                              : nullptr;
  if (textWidget != nullptr && (buttonWidget == nullptr || textWidget->underMouse()))
    at = textWidget->mapToGlobal(QPoint(0, textWidget->height()));
  else if (buttonWidget != nullptr)
    at = buttonWidget->mapToGlobal(QPoint(0, 0));
  menu_->popup(at);
}

void TMainFormEffects::Loadnativeplugin1Click() {
  std::string path;
  if (ChooseNativeFile) {
    path = ChooseNativeFile();
  } else {
    QFileDialog dialog(&form_, "Load Effect Plugin", QString::fromStdString(ProgramPath("/effects")),
                       "DJ effect plugin (*.so)");
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setDefaultSuffix("so");
    if (dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty())
      path = dialog.selectedFiles().front().toStdString();
  }
  if (!path.empty()) LoadFXinBank(menuSlot_, path);
}

void TMainFormEffects::OnFX(int32_t slot) {
  if (slot < 1 || slot > kEffectSlotCount || !fx_.HasSlots()) return;
  const int on = actions_.FindButtonAction(ControlName(slot, "on"));
  const bool pressed = on >= 0 && actions_.Button(on).Selected();
  TEffectPlugin& fx = fx_.Slot(slot);
  fx.SetActive(pressed);
  if (SlotSwitched) SlotSwitched(slot, fx.Active());
}

void TMainFormEffects::EditFX(int32_t slot) {
  if (slot < 1 || slot > kEffectSlotCount || !fx_.HasSlots()) return;
  fx_.Slot(slot).ShowEditor();
}

void TMainFormEffects::DryWetFxMixChange(int32_t slot) {
  if (slot < 1 || slot > kEffectSlotCount || !fx_.HasSlots()) return;
  const int knob = actions_.FindSliderAction(ControlName(slot, "mix"));
  if (knob >= 0) fx_.Slot(slot).SetDryWetKnob(actions_.Slider(knob).Value());
}

}  // namespace zonda
