// Deck transport on the main window: play/pause, loading a file, rewind, the
// CUE button with its three logics, the eight hot cues, fast search, the
// position slider, the time read-outs and the load completion the periodic
// update runs. d is the deck: 0 = A, 1 = B. Main thread.
#include <QFileInfo>
#include <QMessageBox>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "app/ConfigValues.h"
#include "app/MainForm.h"
#include "app/MainFormLists.h"
#include "decoding/cda/DecoderCDA.h"
#include "engine/SoundSource.h"
#include "skin/LanguageTables.h"

namespace zonda {
namespace {

std::string TwoDigits(int64_t v) {
  char text[24];
  std::snprintf(text, sizeof text, "%02lld", static_cast<long long>(v));
  return text;
}

}  // namespace

std::string TMainForm::LanguageText(const char* key, const char* fallback) const {
  const std::string& t = links_.Language ? links_.Language->Text(key) : std::string();
  return t.empty() ? std::string(fallback) : t;
}

void TMainForm::Play_but_Click(int d) {
  TSoundSource& deck = Deck(d);
  deck.PlayPause();
  const int logic = deck.CueLogic.load();
  if ((logic == 1 || logic == 2) && !deck.Playing.load()) RefreshCueButtons();
}

bool TMainForm::load_but_Click(int d, const std::string& file, const std::string& listName) {
  std::error_code ec;
  if (file.empty() || !(std::filesystem::is_regular_file(file, ec) || LooksLikeCDTrack(file))) return false;
  TSoundSource& deck = Deck(d);
  TDeckUi& ui = state_.Deck[d];
  // Replacing an audible song asks first.
  if (deck.Playing.load() && Button(ui.A.inMaster).Lit() &&
      deck.Position.load() < static_cast<double>(deck.LastFrame.load()) - 44100.0) {
    const std::string question = LanguageText(d == 0 ? "main_deckaplaying" : "main_deckbplaying",
                                              d == 0 ? "Deck A is playing." : "Deck B is playing.") +
                                 "\n" + LanguageText("main_loadsong", "Load the song?");
    if (QMessageBox::warning(this, "Zonda", QString::fromStdString(question), QMessageBox::Ok | QMessageBox::Cancel) !=
        QMessageBox::Ok)
      return false;
  }
  // A file loaded directly is named as its list row would be, and goes into History.
  const std::string displayName =
      listName.empty() ? SongDisplayTexts(file, true, lists_->Source).DisplayName : listName;
  if (!deck.Load(file)) return false;
  if (listName.empty()) lists_->AppendFileToHistory(file);
  if (links_.Config && links_.Config->ResetDeckAfterLoad) {
    ui.SlowResetPending = false;
    SetSliderValue(ui.A.pitch, 0);
    for (int band = 0; band < 3; ++band) {
      Button(ui.A.kill[static_cast<size_t>(band)]).SetSelected(false);
      KILL_Click(d, band);
    }
    SetSliderValue(ui.A.cutoffKnob, TConfigValues::NeutralCutoff(links_.Config->CutoffFilterMode));
    SetSliderValue(ui.A.volume, 127);
    for (int fx : ui.A.fxOn) Button(fx).SetSelected(false);
  }
  Button(ui.A.loopSong).SetSelected(false);
  Button(ui.A.reverse).SetSelected(false);
  Button(ui.A.brake).SetSelected(false);
  ui.PendingSongName = QString::fromStdString(displayName).toUpper().toStdString();
  Text(ui.A.songName).SetText(LanguageText("main_deckloading", "LOADING ..."));
  return true;
}

void TMainForm::BackToTop(int d) { Deck(d).BackToTop(); }

void TMainForm::SetCUE_Click(int d) {
  TSoundSource& deck = Deck(d);
  TDeckUi& ui = state_.Deck[d];
  const int logic = deck.CueLogic.load();
  if (logic == 1 || logic == 2) {
    deck.CuePress();
    if (logic == 2) RefreshCueButtons();
    return;
  }
  if (deck.CuePoint.load() != 0) {
    ui.CueHoldCounter = 0;  // the release decides: jump, or erase after a hold
    return;
  }
  deck.CuePress();
  RefreshCueButtons();
}

void TMainForm::SetCUE_UnClick(int d) {
  TSoundSource& deck = Deck(d);
  TDeckUi& ui = state_.Deck[d];
  const int logic = deck.CueLogic.load();
  if (logic == 2) {
    if (static_cast<double>(deck.CuePoint.load()) != deck.Position.load()) deck.CuePress();
    return;
  }
  if (logic == 1) return;
  if (ui.CueHoldCounter >= 0 && ui.CueHoldCounter <= 2) {
    deck.CuePress();
    RefreshCueButtons();
  }
  ui.CueHoldCounter = -1;
}

// Every third periodic tick: a CUE held past about 0.4 s erases the cue.
void TMainForm::CueHoldTick(int d) {
  TSoundSource& deck = Deck(d);
  TDeckUi& ui = state_.Deck[d];
  if (ui.CueHoldCounter < 0) return;
  ++ui.CueHoldCounter;
  if (ui.CueHoldCounter > 3 && deck.CuePoint.load() != 0) {
    deck.EraseSelectedCue();
    RefreshCueButtons();
  }
}

void TMainForm::CUE_1_Click(int d, int slot) {
  if (slot < 1 || slot > 8) return;
  RefreshCueButtons();  // the active cues go into their slots first
  Deck(d).SelectCueSlot(slot);
  RefreshCueButtons();
}

void TMainForm::CUE_1_MouseDown(int d, int slot) {
  if (slot < 1 || slot > 8) return;
  TSoundSource& deck = Deck(d);
  RefreshCueButtons();
  deck.SelectCueSlot(slot);
  if (deck.CueSlot(slot) != 0 &&
      QMessageBox::warning(this, "Zonda", "Are you sure you want to erase the CUE point?",
                           QMessageBox::Ok | QMessageBox::Cancel) == QMessageBox::Ok) {
    deck.EraseSelectedCue();
  }
  RefreshCueButtons();
}

void TMainForm::RefreshCueButtons() {
  for (int d = 0; d < 2; ++d) {
    TSoundSource& deck = Deck(d);
    const TDeckUi& ui = state_.Deck[d];
    deck.StoreCueInSelectedSlot();
    const int selected = deck.SelectedCueSlot.load();
    for (int k = 1; k <= 8; ++k) {
      TButtonAction& b = Button(ui.A.cue[static_cast<size_t>(k)]);
      b.SetSelected(selected == k);
      b.SetLit(deck.CueSlot(k) != 0);
    }
    const int32_t frame = deck.CueSlot(selected);
    Slider(ui.A.pos).SetMarker(frame != 0 ? frame / 100 : -1);
  }
}

void TMainForm::SearchPrevClick(int d) {
  state_.Deck[d].SearchBackCounter = 0;
  state_.Deck[d].SearchForwardCounter = -1;
}
void TMainForm::SearchPrevUnClick(int d) { state_.Deck[d].SearchBackCounter = -1; }
void TMainForm::SearchNextClick(int d) {
  state_.Deck[d].SearchForwardCounter = 0;
  state_.Deck[d].SearchBackCounter = -1;
}
void TMainForm::SearchNextUnClick(int d) { state_.Deck[d].SearchForwardCounter = -1; }

// Every periodic tick: 1, 1, 2, 3 ... seconds per tick, growing faster, at most 300.
void TMainForm::SearchTick(int d) {
  TSoundSource& deck = Deck(d);
  TDeckUi& ui = state_.Deck[d];
  for (int32_t* counter : {&ui.SearchBackCounter, &ui.SearchForwardCounter}) {
    int32_t& c = *counter;
    if (c < 0) continue;
    const int64_t jump = static_cast<int64_t>(std::clamp(c, 1, 300)) * 44100;
    const int64_t p = deck.PositionFrame();
    const int64_t target = counter == &ui.SearchBackCounter ? std::max<int64_t>(p - jump, 0)
                                                            : std::min<int64_t>(p + jump, deck.LastFrame.load());
    deck.RequestSeek(static_cast<int32_t>(target));
    c += std::max(c / 10, 1);
  }
}

void TMainForm::Position_Track(int d) {
  Deck(d).RequestSeek(static_cast<int32_t>(std::min<int64_t>(int64_t{Slider(state_.Deck[d].A.pos).Value()} * 100,
                                                              INT32_MAX)));
}

void TMainForm::Afis_TIME(int d) {
  TSoundSource& deck = Deck(d);
  const TDeckUi& ui = state_.Deck[d];
  const int64_t b = static_cast<int64_t>(std::floor(std::max(deck.Position.load(), 0.0) * 4.0));
  Text(ui.A.elapsed).SetText(TwoDigits(b / 10584000) + ":" + TwoDigits((b / 176400) % 60) + "." +
                            TwoDigits((b / 1764) % 100));
  const int64_t r = RemainingHundredths(d);
  AutoDJTrigger(d, r);
  deck.StopAtTrackEnd();
  const int64_t shown = std::max<int64_t>(r, 0);
  Text(ui.A.remained).SetText(TwoDigits(shown / 6000) + ":" + TwoDigits((shown / 100) % 60) + "." +
                             TwoDigits(shown % 100));
}

// Hundredths of a second left to play on deck d, as the time read-out shows them.
int64_t TMainForm::RemainingHundredths(int d) {
  TSoundSource& deck = Deck(d);
  const int64_t b = static_cast<int64_t>(std::floor(std::max(deck.Position.load(), 0.0) * 4.0));
  return deck.TotalBytes.load() / 1764 - b / 1764;
}

// The periodic update's load work: errors, the song name, and once per load
// the position slider's range, the cue buttons and the song's mixer values.
void TMainForm::LoadCompletion(int d) {
  TSoundSource& deck = Deck(d);
  TDeckUi& ui = state_.Deck[d];
  TDeckError& error = DeckError(deck.IsDeckA);
  if (error.Flag.exchange(false)) {
    const int32_t code = error.Code.exchange(0);
    Text(ui.A.songName).SetText(code == -1 ? std::string("WRONG FILE FORMAT !")
                                           : LanguageText("main_fileisdamaged", "FILE IS DAMAGED !"));
  }
  if (!deck.LoadOk.load() || deck.LoadPending.load()) return;
  Text(ui.A.songName).SetText(deck.LoopLengthText(ui.PendingSongName));
  if (!deck.TakeLoadAnnouncement()) return;
  TSliderAction& pos = Slider(ui.A.pos);
  pos.SetMaximum(std::max(deck.LastFrame.load() / 100 - 1, 0));
  RefreshCueButtons();
  Button(ui.A.slowBpm).SetSelected(deck.SlowBPM.load());
  Button(ui.A.editBpm).SetLit(deck.BPMLocked.load());
  if (links_.Config && links_.Config->RememberSongSettings) {
    SetSliderValue(ui.A.eq[0], deck.SongEqLow.load());
    SetSliderValue(ui.A.eq[1], deck.SongEqMid.load());
    SetSliderValue(ui.A.eq[2], deck.SongEqHigh.load());
    SetSliderValue(ui.A.gain, deck.SongGain.load());
  } else if (links_.Config && links_.Config->ResetDeckAfterLoad) {
    for (int band = 0; band < 3; ++band) SetSliderValue(ui.A.eq[static_cast<size_t>(band)], 0);
    SetSliderValue(ui.A.gain, 0);
  }
}

}  // namespace zonda
