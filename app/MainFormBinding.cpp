// The main window meets the program: the engine links, the action lookups,
// every deck and mixer handler filled into the action tables by name, the
// exit question and shutdown, and files dropped on the window. Main thread.
#include <QApplication>
#include <QCloseEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QKeyEvent>
#include <QWheelEvent>
#include <QMessageBox>
#include <QMimeData>
#include <QUrl>
#include <stdexcept>

#include "app/ConfigValues.h"
#include "app/EditBPMForm.h"
#include "app/MainForm.h"
#include "app/MainFormLists.h"
#include "app/RegQZ.h"
#include "engine/SoundSource.h"
#include "skin/LanguageTables.h"

namespace zonda {
namespace {

// Deck-A name, deck-B name: "#" stands for the letter.
std::string ForLetter(std::string pattern, char letter) {
  for (char& c : pattern) {
    if (c == '#') c = letter;
  }
  return pattern;
}

}  // namespace

TMainForm::TMainForm(TActionTables& actions, QWidget* parent)
    : TSkinWindow(actions, parent), lists_(std::make_unique<TMainFormLists>(*this)) {
  setWindowTitle("Zonda");
  setFocusPolicy(Qt::StrongFocus);
  Skins().OnSkinLoaded = [this] { lists_->PlaceFromSkin(); };
}

TSoundSource& TMainForm::Deck(int d) { return *links_.Deck[static_cast<size_t>(d)]; }
TButtonAction& TMainForm::Button(int index) { return actions_->Button(index); }
TSliderAction& TMainForm::Slider(int index) { return actions_->Slider(index); }
TTextAction& TMainForm::Text(int index) { return actions_->Text(index); }

void TMainForm::SetSliderValue(int index, int value) {
  TSliderAction& a = Slider(index);
  a.SetValue(value);
  // A bound control fires OnChange itself; an unbound action does not.
  if (!a.IsBound()) a.Handlers.OnChange(a.Tag());
}

void TMainForm::LookUpActions(TActionTables& t) {
  auto button = [&](const std::string& n) {
    const int i = t.FindButtonAction(n);
    return i >= 0 ? i : throw std::logic_error("no button action " + n);
  };
  auto slider = [&](const std::string& n) {
    const int i = t.FindSliderAction(n);
    return i >= 0 ? i : throw std::logic_error("no slider action " + n);
  };
  auto text = [&](const std::string& n) {
    const int i = t.FindTextAction(n);
    return i >= 0 ? i : throw std::logic_error("no text action " + n);
  };
  for (int d = 0; d < 2; ++d) {
    const std::string p = d == 0 ? "decka_" : "deckb_";
    TDeckActions& a = state_.Deck[d].A;
    a.play = button(p + "play_pause");
    a.inMaster = button(p + "in_master");
    a.reverse = button(p + "reverse");
    a.loopSong = button(p + "loop_song");
    a.brake = button(p + "brake");
    a.scratch = button(p + "scratch");
    a.slowBpm = button(p + "slow_bpm");
    a.editBpm = button(p + "edit_bpm");
    for (int k = 1; k <= 8; ++k) a.cue[static_cast<size_t>(k)] = button(p + "cue" + std::to_string(k));
    a.kill = {button(p + "kill_low"), button(p + "kill_mid"), button(p + "kill_high")};
    a.boost = button(p + "boost");
    a.mute = button(p + "mute");
    for (int k = 0; k < 4; ++k) a.fxOn[k] = button(p + "fx_on" + std::to_string(k + 1));
    a.pitch = slider(p + "pitch");
    a.pos = slider(p + "pos");
    a.volume = slider(p + "volume");
    a.gain = slider(p + "gain");
    a.cutoffKnob = slider(p + "cutoff_filter");
    a.jog = slider(p + "jw");
    a.eq = {slider(p + "eq_low"), slider(p + "eq_mid"), slider(p + "eq_high")};
    a.pitchText = text(p + "pitch");
    a.elapsed = text(p + "elapsed");
    a.remained = text(p + "remained");
    a.songName = text(p + "songname");
    a.cutoffText = text(p + "cutoff");
    a.analogIn = text(p + "analogin");
    a.bendDown = button(p + "bend_down");
    a.bendUp = button(p + "bend_up");
    a.bpm = text(p + "bpm");
    a.display = t.FindBeatDisplayAction(d == 0 ? "decka" : "deckb");
    if (a.display < 0) a.display = d;
  }
  state_.crossfader = slider("crossfader");
  state_.cuePgmMix = slider("cue_pgm_mix");
  state_.phonesSplit = button("phones_split");
  state_.onAir = button("onair");
  state_.talkOver = button("talkover");
  state_.recording = button("recording");
  state_.random = button("random");
  state_.autodj = button("autodj");
  state_.clock = text("time");
  state_.recordTime = text("record_time");
}

void TMainForm::AttachProgram(TActionTables& actions, TMainFormLinks links) {
  actions_ = &actions;
  links_ = std::move(links);
  LookUpActions(actions);
  FillDeckHandlers(actions);
  lists_->FillHandlers(actions);
  if (links_.Language) links_.Language->RegisterStep(14, [this](const TLanguageTables&) { lists_->ApplyLanguage(); });
  // The deck's song name still names the old track: its detected tempo goes into the lists.
  for (int d = 0; d < 2; ++d) Deck(d).OnTrackUnload = [this, d] { lists_->StoreDetectedBpm(d); };
  setAcceptDrops(true);
  qApp->installEventFilter(this);
}

TMainForm::~TMainForm() {
  DetachProgram();
  Skins().OnSkinLoaded = nullptr;
  if (actions_) {
    for (TBeatDisplayAction& display : actions_->BeatDisplays()) display.OnDisplayPoints = nullptr;
  }
  Skins().UnloadSkin();
}

void TMainForm::DetachProgram() {
  qApp->removeEventFilter(this);
  if (editBPMform_) {
    editBPMform_->ShuttingDown = true;
    editBPMform_->close();
  }
  for (TSoundSource* deck : links_.Deck)
    if (deck) deck->OnTrackUnload = nullptr;
  links_.Deck = {};
  links_.Equaliser = {};
  links_.Mixer = nullptr;
  links_.Recorder = nullptr;
}

void TMainForm::FillDeckHandlers(TActionTables& t) {
  using Fn = std::function<void(int d, int tag)>;
  auto both = [&](const char* pattern, Fn fn) {
    for (int d = 0; d < 2; ++d) {
      t.FillHandler(ForLetter(pattern, d == 0 ? 'A' : 'B'), [this, d, fn](int tag) {
        if (Attached()) fn(d, tag);
      });
    }
  };
  both("Play_but_#Click", [this](int d, int) { Play_but_Click(d); });
  both("BackToTop#", [this](int d, int) { BackToTop(d); });
  both("SetCUE_#Click", [this](int d, int) { SetCUE_Click(d); });
  both("SetCUE_#UnClick", [this](int d, int) { SetCUE_UnClick(d); });
  both("CUE_1_#Click", [this](int d, int tag) { CUE_1_Click(d, tag); });
  both("CUE_1_#MouseDown", [this](int d, int tag) { CUE_1_MouseDown(d, tag); });
  both("Deck#SearchPrevClick", [this](int d, int) { SearchPrevClick(d); });
  both("Deck#SearchPrevUnClick", [this](int d, int) { SearchPrevUnClick(d); });
  both("Deck#SearchNextClick", [this](int d, int) { SearchNextClick(d); });
  both("Deck#SearchNextUnClick", [this](int d, int) { SearchNextUnClick(d); });
  both("Position_#Track", [this](int d, int) { Position_Track(d); });
  both("Loop_In_End_#Click", [this](int d, int) { Loop_In_End_Click(d); });
  both("ExitLOOP_#Click", [this](int d, int) { ExitLOOP_Click(d); });
  both("LOOP_PREV_#Click", [this](int d, int) { LOOP_PREV_Click(d); });
  both("LOOP_NEXT_#Click", [this](int d, int) { LOOP_NEXT_Click(d); });
  both("LOOP_LESS_#Click", [this](int d, int) { LOOP_LESS_Click(d); });
  both("LOOP_MORE_#Click", [this](int d, int) { LOOP_MORE_Click(d); });
  both("loop1p2_#Click", [this](int d, int tag) { loop1p2_Click(d, tag); });
  both("LoopSong#Click", [this](int d, int) { LoopSongClick(d); });
  both("ReversePlay#Click", [this](int d, int) { ReversePlayClick(d); });
  both("Brake#Click", [this](int d, int) { BrakeClick(d); });
  both("Pitch_Mod_#Change", [this](int d, int) { Pitch_Mod_Change(d); });
  both("pitch_#Track", [this](int d, int) { pitch_Track(d); });
  both("Reset_pitch_#Click", [this](int d, int) { Reset_pitch_Click(d); });
  both("bendDOWN_#Click", [this](int d, int) { bendDOWN_Click(d); });
  both("bendDOWN_#UnClick", [this](int d, int) { bendDOWN_UnClick(d); });
  both("bendUP_#Click", [this](int d, int) { bendUP_Click(d); });
  both("bendUP_#UnClick", [this](int d, int) { bendUP_UnClick(d); });
  both("JogWheel#Track", [this](int d, int) { JogWheelTrack(d); });
  both("Deck#ScratchClick", [this](int d, int) { DeckScratchClick(d); });
  both("KAVdisp#LeftClick", [this](int d, int) { KAVdispLeftClick(d); });
  both("KAVdisp#LeftUnClick", [this](int d, int) { KAVdispLeftUnClick(d); });
  both("KAVdisp#RightClick", [this](int d, int) { KAVdispRightClick(d); });
  both("KAVdisp#RightUnClick", [this](int d, int) { KAVdispRightUnClick(d); });
  for (int d = 0; d < 2; ++d) {
    const char letter = d == 0 ? 'A' : 'B';
    t.FillHandler(ForLetter("KAVdisp#MOVE", letter), [this, d](int, int) {
      if (Attached()) KAVdispMOVE(d);
    });
  }
  both("Volume_#Change", [this](int d, int) { Volume_Change(d); });
  both("Gain_#Change", [this](int d, int) { Gain_Change(d); });
  both("sl0_#Change", [this](int d, int) { EqChange(d, 0); });
  both("sl1_#Change", [this](int d, int) { EqChange(d, 1); });
  both("sl2_#Change", [this](int d, int) { EqChange(d, 2); });
  both("KILL_LOW_#Click", [this](int d, int) { KILL_Click(d, 0); });
  both("KILL_MID_#Click", [this](int d, int) { KILL_Click(d, 1); });
  both("KILL_HIGH_#Click", [this](int d, int) { KILL_Click(d, 2); });
  both("OpenLine#MouseDown", [this](int d, int) { OpenLineMouseDown(d); });
  both("OpenLine#MouseUp", [this](int d, int) { OpenLineMouseUp(d); });
  both("MuteLine#MouseDown", [this](int d, int) { MuteLineMouseDown(d); });
  both("MuteLine#MouseUp", [this](int d, int) { MuteLineMouseUp(d); });
  both("FILTER_#Change", [this](int d, int) { FILTER_Change(d); });
  both("SyncBUTT_#Click", [this](int d, int) { SyncBUTT_Click(d); });
  both("SlowBPM#", [this](int d, int) { SlowBPM(d); });
  both("EditBPM#", [this](int d, int) { EditBPM(d); });
  t.FillHandler("CROSS_FADERChange", [this](int) {
    if (Attached()) CROSS_FADERChange();
  });
  t.FillHandler("CROSS_FADERTrack", [this](int) {
    if (!Attached()) return;
    if (autoDj_) autoDj_->UserMove();
    CROSS_FADERChange();
  });
  t.FillHandler("play1Click", [this](int) {
    if (Attached()) play1Click();
  });
  t.FillHandler("auto_DJ_on_Click", [this](int) {
    if (Attached()) auto_DJ_on_Click();
  });
  t.FillHandler("mix_time_moreClick", [this](int) {
    if (Attached()) MixTimeButton(true);
  });
  t.FillHandler("mix_time_lessClick", [this](int) {
    if (Attached()) MixTimeButton(false);
  });
  t.FillHandler("CUEPGMmixChange", [this](int) {
    if (Attached()) CUEPGMmixChange();
  });
  t.FillHandler("phones_split_click", [this](int) {
    if (Attached()) phones_split_click();
  });
  t.FillHandler("phones_split_unclick", [this](int) {
    if (Attached()) phones_split_unclick();
  });
  t.FillHandler("SetOnAir", [this](int) {
    if (Attached()) SetOnAir();
  });
  t.FillHandler("SetTalkOver", [this](int) {
    if (Attached()) SetTalkOver();
  });
  t.FillHandler("recording1Click", [this](int) {
    if (Attached()) recording1Click();
  });
  for (auto& display : t.BeatDisplays()) {
    const int d = display.Index() == state_.Deck[1].A.display ? 1 : 0;
    display.OnDisplayPoints = [this, d](int points) {
      if (Attached()) Deck(d).SetDisplayPoints(points);
    };
  }
}

void TMainForm::ApplyAllControls() {
  for (int d = 0; d < 2; ++d) {
    Pitch_Mod_Change(d);
    Volume_Change(d);
    Gain_Change(d);
    for (int band = 0; band < 3; ++band) EqChange(d, band);
    FILTER_Change(d);
  }
  CROSS_FADERChange();
  CUEPGMmixChange();
}

void TMainForm::SaveConfiguration(TRegQZ& reg) {
  if (!links_.Config) return;
  // Shortcuts are saved by the control mapping, not here.
  links_.Config->Random = Button(state_.random).Selected();
  links_.Config->AutoDj = Button(state_.autodj).Selected();
  links_.Config->Write(reg, LastListSelected);
  reg.Flush();
}

void TMainForm::closeEvent(QCloseEvent* event) {
  if (!links_.FormClose) {  // the bare window (skin viewer): nothing to stop
    event->accept();
    return;
  }
  // FormCloseQuery.
  if (!ClosingConfirmed) {
    const std::string question = LanguageText("main_confirmexit", "Quit Zonda?");
    if (QMessageBox::question(this, "Zonda", QString::fromStdString(question), QMessageBox::Ok | QMessageBox::Cancel) !=
        QMessageBox::Ok) {
      event->ignore();
      return;
    }
    ClosingConfirmed = true;
  }
  // FormClose.
  auto formClose = std::move(links_.FormClose);
  links_.FormClose = nullptr;
  formClose();
  event->accept();
}

void TMainForm::keyPressEvent(QKeyEvent* event) {
  if (!Attached() || !lists_->FormKeyDown(event)) TSkinWindow::keyPressEvent(event);
}

void TMainForm::keyReleaseEvent(QKeyEvent* event) {
  if (!Attached() || !lists_->FormKeyUp(event)) TSkinWindow::keyReleaseEvent(event);
}

void TMainForm::wheelEvent(QWheelEvent* event) {
  if (Attached() && lists_->Wheel(event))
    event->accept();
  else
    TSkinWindow::wheelEvent(event);
}

int TMainForm::DeckUnderPoint(int x) const { return x < width() / 2 ? 0 : 1; }

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
  // "Show Hints" off: no control of the program shows its hint.
  if (event->type() == QEvent::ToolTip && links_.Config && !links_.Config->ShowHints) return true;
  if (event->type() != QEvent::Drop || watched == this || !watched->isWidgetType() || !Attached()) {
    return QWidget::eventFilter(watched, event);
  }
  auto* widget = static_cast<QWidget*>(watched);
  auto* drop = static_cast<QDropEvent*>(event);
  // The song list and the browser take their own drops.
  if (lists_->IsListWidget(widget)) return false;
  if (widget->window() != this || !drop->mimeData()->hasUrls()) return false;
  for (const QUrl& url : drop->mimeData()->urls()) {
    if (!url.isLocalFile()) continue;
    const QPoint at = widget->mapTo(this, drop->position().toPoint());
    load_but_Click(DeckUnderPoint(at.x()), url.toLocalFile().toStdString());
    drop->acceptProposedAction();
    return true;
  }
  return false;
}

void TMainForm::dragEnterEvent(QDragEnterEvent* event) {
  if (links_.FormClose && event->mimeData()->hasUrls()) event->acceptProposedAction();
}

void TMainForm::dropEvent(QDropEvent* event) {
  if (!links_.FormClose || !event->mimeData()->hasUrls()) return;
  for (const QUrl& url : event->mimeData()->urls()) {
    if (!url.isLocalFile()) continue;
    load_but_Click(DeckUnderPoint(static_cast<int>(event->position().x())), url.toLocalFile().toStdString());
    event->acceptProposedAction();
    return;
  }
}

}  // namespace zonda
