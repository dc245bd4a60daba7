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
// Main thread only. The window's own part is here; the program's handlers
// are in app/MainForm*.cpp (zonda_app).
#include <QMessageBox>
#include <QScreen>
#include <functional>
#include <memory>
#include <string>

#include "app/EditBPMForm.h"
#include "app/MainFormState.h"
#include "engine/AutoDJ.h"
#include "skin/ActionTables.h"
#include "skin/ui/SkinChoice.h"
#include "skin/ui/TSkinWindow.h"

namespace zonda {

class TRegQZ;
class TMainFormLists;

class TMainForm : public TSkinWindow {
 public:
  explicit TMainForm(TActionTables& actions, QWidget* parent = nullptr);

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

  // ---- the program's main window: deck and mixer controls, periodic update ----
  // (app/MainForm*.cpp by concern). d is the deck, 0 = A, 1 = B; one handler
  // serves both decks' actions ("Play_but_AClick" and "Play_but_BClick").
  // Main thread, except HoldTick.

  // Links the engine, looks the actions up and fills every deck and mixer
  // handler by name; from then on closing asks the exit question and shuts down.
  void AttachProgram(TActionTables& actions, TMainFormLinks links);
  // Unloads the skin while the handlers' owner still exists.
  ~TMainForm() override;
  // Shutdown, before the engine goes: every handler does nothing from now on
  // (a control may still be delivering the event that closed the window).
  void DetachProgram();
  bool Attached() const { return links_.Deck[0] != nullptr; }
  TMainFormState& State() { return state_; }
  // Runs every control's change handler once, carrying the actions' values into the engine.
  void ApplyAllControls();
  void PeriodicUpdate();  // periodic-update timer, on the main thread
  void HoldTick();        // hold-tracking timer thread
  void SaveConfiguration(TRegQZ& reg);
  bool ClosingConfirmed = false;
  int32_t LastListSelected = 0;

  // transport (MainFormTransport.cpp)
  void Play_but_Click(int d);
  // false: nothing loaded. displayName: the song's list name (a file loaded
  // directly is named from its tags or file name and added to History).
  bool load_but_Click(int d, const std::string& file, const std::string& displayName = "");
  void BackToTop(int d);
  void SetCUE_Click(int d);
  void SetCUE_UnClick(int d);
  void CUE_1_Click(int d, int slot);
  void CUE_1_MouseDown(int d, int slot);
  void SearchPrevClick(int d);
  void SearchPrevUnClick(int d);
  void SearchNextClick(int d);
  void SearchNextUnClick(int d);
  void Position_Track(int d);
  void Afis_TIME(int d);
  void RefreshCueButtons();
  // loops and play patterns (MainFormLoops.cpp)
  void Loop_In_End_Click(int d);
  void ExitLOOP_Click(int d);
  void LOOP_PREV_Click(int d);
  void LOOP_NEXT_Click(int d);
  void LOOP_LESS_Click(int d);
  void LOOP_MORE_Click(int d);
  void loop1p2_Click(int d, int halfBeats);
  void LoopSongClick(int d);
  void ReversePlayClick(int d);
  void BrakeClick(int d);
  // pitch, bends, jog, scratch, the beat display's mouse (MainFormPitch.cpp)
  void Pitch_Mod_Change(int d);
  void pitch_Track(int d);
  void Reset_pitch_Click(int d);
  void bendDOWN_Click(int d);
  void bendDOWN_UnClick(int d);
  void bendUP_Click(int d);
  void bendUP_UnClick(int d);
  void JogWheelTrack(int d);
  static int JogStep(int previous, int now);  // wheel positions 0..95 -> signed step
  void DeckScratchClick(int d);
  void KAVdispLeftClick(int d);
  void KAVdispMOVE(int d);
  void KAVdispLeftUnClick(int d);
  void KAVdispRightClick(int d);
  void KAVdispRightUnClick(int d);
  // mixer controls (MainFormMixer.cpp)
  void CROSS_FADERChange();
  void Volume_Change(int d);
  void Gain_Change(int d);
  void EqChange(int d, int band);  // 0 low, 1 mid, 2 high
  void KILL_Click(int d, int band);
  void OpenLineMouseDown(int d);
  void OpenLineMouseUp(int d);
  void MuteLineMouseDown(int d);
  void MuteLineMouseUp(int d);
  void CUEPGMmixChange();
  void phones_split_click();
  void phones_split_unclick();
  void SetOnAir();
  void SetTalkOver();
  void FILTER_Change(int d);
  void recording1Click();
  // beat sync, beat difference, BPM read-outs and editing (MainFormSync.cpp)
  void SyncBUTT_Click(int d);
  void UpdateBeatDiff();
  void ControllerLamps();
  void BPMReadouts();
  void SlowBPM(int d);
  void EditBPM(int d);
  // The BPM dialog (created at its first use).
  TEditBPMform& EditBPMform();
  // Auto-DJ (MainFormAutoDJ.cpp): the "autodj" switch, "autodj_next", the
  // mixing-time buttons; the trigger and the crossfade step run in the update.
  void auto_DJ_on_Click();
  void play1Click();
  void MixTimeButton(bool more);  // "autodj_more" / "autodj_less"
  TAutoDJ& AutoDJ();
  // After a mixing-time button: the read-out and the configuration dialog follow.
  std::function<void()> OnMixTimeChanged;
  // the lists (MainFormLists.cpp): song list, search box, browser and their commands
  TMainFormLists& Lists() { return *lists_; }

 protected:
  // Files dropped on a control that takes drops itself (the beat displays)
  // load like files dropped on the window.
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void keyReleaseEvent(QKeyEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;

 private:
  friend class TMainFormLists;
  void LookUpActions(TActionTables& actions);
  void FillDeckHandlers(TActionTables& actions);
  TSoundSource& Deck(int d);
  TButtonAction& Button(int index);
  TSliderAction& Slider(int index);
  TTextAction& Text(int index);
  void SetSliderValue(int index, int value);  // and its change handler, bound or not
  std::string LanguageText(const char* key, const char* fallback) const;
  int32_t JogBendAmount() const;
  int DeckUnderPoint(int x) const;
  void ApplyPhones();
  // periodic parts
  void LoadCompletion(int d);
  void SearchTick(int d);
  void CueHoldTick(int d);
  void BendTick(int d);
  void SlowResetTick(int d);
  int64_t RemainingHundredths(int d);
  void AutoDJTrigger(int d, int64_t r);
  void AutoDJTick(bool step);
  class TWindowDecks;

  std::unique_ptr<TEditBPMform> editBPMform_;
  TActionTables* actions_ = nullptr;
  TMainFormLinks links_;
  TMainFormState state_;
  std::unique_ptr<TMainFormLists> lists_;
  std::unique_ptr<TAutoDJDecks> autoDjDecks_;
  std::unique_ptr<TAutoDJ> autoDj_;
};

}  // namespace zonda
