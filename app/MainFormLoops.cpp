// Loop buttons and play patterns on the main window: loop in/out, exit,
// shift, resize, beat loops, song loop, reverse and brake. d = 0 deck A,
// 1 deck B. Main thread.
#include "app/MainForm.h"
#include "engine/SoundSource.h"

namespace zonda {

void TMainForm::Loop_In_End_Click(int d) { Deck(d).LoopInOut(); }
void TMainForm::ExitLOOP_Click(int d) { Deck(d).ExitLoop(false); }
void TMainForm::LOOP_PREV_Click(int d) { Deck(d).ShiftLoop(-441); }
void TMainForm::LOOP_NEXT_Click(int d) { Deck(d).ShiftLoop(441); }
void TMainForm::LOOP_LESS_Click(int d) { Deck(d).ResizeLoop(-(Deck(d).LoopLengthEff.load() / 2)); }
void TMainForm::LOOP_MORE_Click(int d) { Deck(d).ResizeLoop(Deck(d).LoopLengthEff.load()); }
void TMainForm::loop1p2_Click(int d, int halfBeats) { Deck(d).SetBeatLoop(halfBeats); }

void TMainForm::ReversePlayClick(int d) {
  TSoundSource& deck = Deck(d);
  if (!deck.LoadOk.load()) {
    // A switch the skin flipped on an empty deck goes back.
    Button(state_.Deck[d].A.reverse).SetSelected(deck.GetDirection() == -1);
    return;
  }
  deck.SetDirection(-deck.GetDirection());
  Button(state_.Deck[d].A.reverse).SetSelected(deck.GetDirection() == -1);
}

void TMainForm::LoopSongClick(int d) {
  TSoundSource& deck = Deck(d);
  deck.SetSongLoop(!deck.SongLoop.load());
  Button(state_.Deck[d].A.loopSong).SetSelected(deck.SongLoop.load());
}

void TMainForm::BrakeClick(int d) {
  TSoundSource& deck = Deck(d);
  deck.SetBrake(!deck.Brake.load());
  Button(state_.Deck[d].A.brake).SetSelected(deck.Brake.load());
}

}  // namespace zonda
