#pragma once
// TMainForm: Zonda's main window, a frameless skin window. Everything the
// user sees on it comes from the loaded skin; this class adds the window's
// own actions (minimise, maximise, close) and the skin change as the
// configuration dialog drives it. The deck, mixer and list handlers are
// filled into the action tables by their own units.
//
//   TMainForm form(actions);
//   form.FillWindowHandlers(actions);
//   form.ChangeSkin(skins[ChooseStartSkin(skins, saved, screenWidth)], "");
//
// Main thread only. Header-only for now: it needs nothing but the skin UI
// library, which the program links.
#include <QMessageBox>
#include <QScreen>
#include <string>

#include "skin/ActionTables.h"
#include "skin/ui/SkinChoice.h"
#include "skin/ui/TSkinWindow.h"

namespace zonda {

class TMainForm : public TSkinWindow {
 public:
  explicit TMainForm(TActionTables& actions, QWidget* parent = nullptr) : TSkinWindow(actions, parent) {
    setWindowTitle("Zonda");
  }

  // "minimize", "maximize" and "close" reach the window through these.
  void FillWindowHandlers(TActionTables& actions) {
    actions.FillHandler("Min_buttonClick", [this](int) { Min_buttonClick(); });
    actions.FillHandler("Max_buttonClick", [this](int) { Max_buttonClick(); });
    actions.FillHandler("ExitAppClick", [this](int) { ExitAppClick(); });
  }

  void ExitAppClick() { close(); }

  // The configuration dialog's skin change: refused (with the message shown)
  // when the skin is wider than the screen; otherwise loads it and fits the
  // window. Returns false when refused; the load's own result is not used.
  bool ChangeSkin(const TDataSkin& skin, const std::string& tooWideText) {
    const QScreen* s = screen();
    const int screenWidth = s ? s->geometry().width() : skin.Width;
    const std::string refusal = SkinFitMessage(skin, screenWidth, tooWideText);
    if (!refusal.empty()) {
      QMessageBox::warning(this, "Zonda", QString::fromStdString(refusal));
      return false;
    }
    Skins().SetSkinChanging(true);
    Skins().LoadSkin(skin.BasePath);
    AdaptFormsToResolution();
    Skins().SetSkinChanging(false);
    Canvas().update();
    return true;
  }

  TKAVLevel& VUmeterDeckA() { return Skins().VUmeter(TSkinLoader::VUmeterDeckA); }
  TKAVLevel& VUmeterDeckB() { return Skins().VUmeter(TSkinLoader::VUmeterDeckB); }
  TKAVLevel& VUmeterMasterL() { return Skins().VUmeter(TSkinLoader::VUmeterMasterL); }
  TKAVLevel& VUmeterMasterR() { return Skins().VUmeter(TSkinLoader::VUmeterMasterR); }
};

}  // namespace zonda
