// The Auto-DJ on the main window: the "autodj" switch, "autodj_next", the
// mixing-time buttons and the crossfader override. The decisions are
// engine/AutoDJ.h's, shared with the headless host; here the window lends it
// its decks, crossfader slider and the shown list. Main thread.
#include <algorithm>
#include <string>

#include "app/ConfigValues.h"
#include "app/MainForm.h"
#include "app/MainFormLists.h"
#include "engine/SoundSource.h"
#include "lists/Lista.h"
#include "skin/LanguageTables.h"
#include "lists/ui/ListeQZ.h"

namespace zonda {

class TMainForm::TWindowDecks : public TAutoDJDecks {
 public:
  explicit TWindowDecks(TMainForm& form) : form_(form) {}

  bool Empty(int d) const override {
    if (form_.Deck(d).LoadPending.load()) return false;
    return form_.Text(form_.state_.Deck[d].A.songName).Text() ==
           form_.LanguageText("main_deckempty", std::string(TLanguageTables::kCreatedDeckEmptyText).c_str());
  }
  bool Loading(int d) const override { return form_.Deck(d).LoadPending.load(); }
  bool Loaded(int d) const override { return form_.Deck(d).LoadOk.load() && !form_.Deck(d).LoadPending.load(); }
  bool Playing(int d) const override { return form_.Deck(d).Playing.load(); }
  int64_t Remaining(int d) const override { return form_.RemainingHundredths(d); }
  void Play(int d) override {
    if (Loaded(d) && !Playing(d)) form_.Deck(d).PlayPause();
  }
  int32_t Crossfader() const override { return form_.Slider(form_.state_.crossfader).Value(); }
  void SetCrossfader(int32_t value) override { form_.SetSliderValue(form_.state_.crossfader, value); }
  bool ListEmpty() const override { return form_.lists_->View().Shown().RowCount() == 0; }
  bool LoadNext(int d) override {
    // The deck the Auto-DJ loads is faded out: it stops first, so the load
    // never asks whether to replace an audible song.
    if (Playing(d)) form_.Deck(d).PlayPause();
    TLista& list = form_.lists_->View().Shown();
    for (int tries = 0; tries < list.RowCount(); ++tries) {
      if (form_.lists_->LoadRow(d, -1)) return true;
      if (Loading(d)) return false;
      // A row whose file is gone: the next-to-load marker moves past it.
      list.SetCursor(1, NextRowAfter(std::max(list.CursorRow(1), 1), list.RowCount()));
    }
    return false;
  }
  void Sync(int d) override { form_.SyncBUTT_Click(d); }
  int32_t BeatDiff() const override { return form_.state_.BeatDiff; }
  void PitchReset(int d) override { form_.Reset_pitch_Click(d); }

 private:
  TMainForm& form_;
};

TAutoDJ& TMainForm::AutoDJ() {
  if (!autoDj_) {
    autoDjDecks_ = std::make_unique<TWindowDecks>(*this);
    autoDj_ = std::make_unique<TAutoDJ>(*autoDjDecks_);
  }
  if (links_.Config) {
    autoDj_->SetMixTime(links_.Config->AutoDjMixingTime);
    autoDj_->BeatMatch = links_.Config->AutoBeatMatch;
  }
  return *autoDj_;
}

void TMainForm::auto_DJ_on_Click() {
  if (Button(state_.autodj).Selected()) {
    AutoDJ().SwitchOn();
  } else {
    AutoDJ().SwitchOff();
  }
}

void TMainForm::play1Click() { AutoDJ().StartCrossfade(); }

void TMainForm::MixTimeButton(bool more) {
  TAutoDJ& dj = AutoDJ();
  if (more) {
    dj.MixTimeMore();
  } else {
    dj.MixTimeLess();
  }
  if (links_.Config) links_.Config->AutoDjMixingTime = dj.MixTime();
  if (OnMixTimeChanged) OnMixTimeChanged();
}

void TMainForm::AutoDJTrigger(int d, int64_t r) {
  if (state_.autodj >= 0 && Button(state_.autodj).Selected()) AutoDJ().Trigger(d, r);
}

void TMainForm::AutoDJTick(bool step) {
  if (autoDj_ || (state_.autodj >= 0 && Button(state_.autodj).Selected())) AutoDJ().Tick(step);
}

}  // namespace zonda
