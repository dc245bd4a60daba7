// Beat matching on the main window: the SYNC buttons, the beat difference
// with the bend lamps, the BPM read-outs, the slow-BPM switches and the BPM
// dialog. The decisions are engine/BeatSync.h's, shared with the headless
// host. d = 0 deck A, 1 deck B. Main thread.
#include "app/EditBPMForm.h"
#include "app/MainForm.h"
#include "engine/BeatSync.h"
#include "engine/SoundSource.h"

namespace zonda {

void TMainForm::SyncBUTT_Click(int d) {
  state_.Deck[0].SlowResetPending = false;
  state_.Deck[1].SlowResetPending = false;
  const int other = 1 - d;
  const int pitch = state_.Deck[d].A.pitch;
  SyncDeck(Deck(d), Deck(other), Slider(state_.Deck[other].A.pitch).Value(), Slider(pitch).Maximum(),
           [this, pitch](int32_t value) { SetSliderValue(pitch, value); });
}

void TMainForm::UpdateBeatDiff() {
  state_.BeatDiff = BeatDiff(Deck(0), Deck(1));
  const TBendLamps lamps = BendLampsFor(state_.BeatDiff);
  Button(state_.Deck[0].A.bendDown).SetLit(lamps.aDown);
  Button(state_.Deck[0].A.bendUp).SetLit(lamps.aUp);
  Button(state_.Deck[1].A.bendDown).SetLit(lamps.bDown);
  Button(state_.Deck[1].A.bendUp).SetLit(lamps.bUp);
}

void TMainForm::BPMReadouts() {
  for (int d = 0; d < 2; ++d) {
    TSoundSource& deck = Deck(d);
    if (deck.LoadPending.load() || deck.SeekPending.load()) continue;
    Text(state_.Deck[d].A.bpm).SetText(BPMReadout(deck.CurrentBPM(), Slider(state_.Deck[d].A.pitch).Value()));
  }
}

void TMainForm::SlowBPM(int d) {
  Deck(d).SetSlowBPM(Button(state_.Deck[d].A.slowBpm).Selected());
  Button(state_.Deck[d].A.editBpm).SetLit(false);
}

TEditBPMform& TMainForm::EditBPMform() {
  if (!editBPMform_) {
    editBPMform_ = std::make_unique<TEditBPMform>();
    editBPMform_->InvalidNumberText = [this] { return LanguageText("entervalidnumber", ""); };
    editBPMform_->OnHidden = [this] { setEnabled(true); };
    editBPMform_->OnAccepted = [this](int d, int32_t bpm, bool locked) {
      if (!Attached()) return;
      TDeckUi& ui = state_.Deck[d];
      // The analysis restarts in the switch's range, then with the lock.
      Deck(d).EditBPM(Button(ui.A.slowBpm).Selected(), bpm, locked);
      Button(ui.A.editBpm).SetLit(locked);
      Button(ui.A.slowBpm).SetSelected(IsSlowBPM(bpm));
    };
  }
  return *editBPMform_;
}

void TMainForm::EditBPM(int d) {
  TSoundSource& deck = Deck(d);
  const int32_t n = EditBPMStart(deck.DetectedBPM.load(), deck.DetectedBPMVotes.load(), deck.StoredBPM.load());
  const std::string caption = LanguageText("main_editlockbpm", "Edit / Lock BPM - Deck") + (d == 0 ? " A" : " B");
  EditBPMform().Open(d, caption, n, deck.BPMLocked.load());
  setEnabled(false);
}

}  // namespace zonda
