// Pitch on the main window: the pitch slider and read-out, slow and immediate
// pitch reset, the bend buttons, jog bends, the jog wheel, scratch mode and
// the mouse on the beat display. d = 0 deck A, 1 deck B. Main thread.
#include <QCursor>
#include <cmath>
#include <cstdio>

#include "app/ConfigValues.h"
#include "app/MainForm.h"
#include "engine/SoundSource.h"

namespace zonda {
namespace {
constexpr int32_t kSlowResetStep = 10;  // permyriad per step
}

int32_t TMainForm::JogBendAmount() const { return (links_.Config ? links_.Config->BendRange : 2) * 100; }

void TMainForm::Pitch_Mod_Change(int d) {
  const int value = Slider(state_.Deck[d].A.pitch).Value();
  Deck(d).SetPitch(-value);
  char text[32];
  std::snprintf(text, sizeof text, "%.2f", -value / 100.0);
  Text(state_.Deck[d].A.pitchText).SetText(value == 0 ? "0.00" : text);
}

void TMainForm::pitch_Track(int d) { state_.Deck[d].SlowResetPending = false; }

void TMainForm::Reset_pitch_Click(int d) {
  TDeckUi& ui = state_.Deck[d];
  if (ui.SlowResetPending) {
    ui.SlowResetPending = false;
    SetSliderValue(ui.A.pitch, 0);
  } else {
    ui.SlowResetPending = true;
  }
  ui.BendDownActive = false;
  ui.BendUpActive = false;
}

// Deck A on tick 0, deck B on tick 1 of every 15.
void TMainForm::SlowResetTick(int d) {
  TDeckUi& ui = state_.Deck[d];
  if (!ui.SlowResetPending) return;
  const int v = Slider(ui.A.pitch).Value();
  if (v > kSlowResetStep) {
    SetSliderValue(ui.A.pitch, v - kSlowResetStep);
  } else if (v < -kSlowResetStep) {
    SetSliderValue(ui.A.pitch, v + kSlowResetStep);
  } else {
    Reset_pitch_Click(d);
  }
}

void TMainForm::bendDOWN_Click(int d) {
  TDeckUi& ui = state_.Deck[d];
  if (ui.SlowResetPending || ui.BendDownActive || ui.BendUpActive) return;
  ui.BendBase = Deck(d).GetPitch();
  ui.BendLimit = 10000 + ui.BendBase;
  ui.BendOffset = -20;
  ui.BendDownActive = true;
}

void TMainForm::bendUP_Click(int d) {
  TDeckUi& ui = state_.Deck[d];
  if (ui.SlowResetPending || ui.BendDownActive || ui.BendUpActive) return;
  ui.BendBase = Deck(d).GetPitch();
  ui.BendLimit = 10000 - ui.BendBase;
  ui.BendOffset = 20;
  ui.BendUpActive = true;
}

void TMainForm::bendDOWN_UnClick(int d) {
  TDeckUi& ui = state_.Deck[d];
  if (ui.SlowResetPending || !ui.BendDownActive) return;
  ui.BendDownActive = false;
  Deck(d).SetPitch(ui.BendBase);
  Deck(d).EndJogBend();
}

void TMainForm::bendUP_UnClick(int d) {
  TDeckUi& ui = state_.Deck[d];
  if (ui.SlowResetPending || !ui.BendUpActive) return;
  ui.BendUpActive = false;
  Deck(d).SetPitch(ui.BendBase);
  Deck(d).EndJogBend();
}

// Every tick: the jog bend counters, then the active bend's acceleration.
void TMainForm::BendTick(int d) {
  TSoundSource& deck = Deck(d);
  TDeckUi& ui = state_.Deck[d];
  using Step = TSoundSource::TJogBendStep;
  const Step down = deck.TakeJogBend(false);
  if (down == Step::Release) bendDOWN_UnClick(d);
  if (down == Step::Press) bendDOWN_Click(d);
  const Step up = deck.TakeJogBend(true);
  if (up == Step::Release) bendUP_UnClick(d);
  if (up == Step::Press) bendUP_Click(d);
  if (!ui.BendDownActive && !ui.BendUpActive) return;
  if (deck.JogBend.load()) {
    deck.SetPitch(ui.BendDownActive ? ui.BendBase - JogBendAmount() : ui.BendBase + JogBendAmount());
    return;
  }
  const double sign = ui.BendOffset < 0 ? -1.0 : 1.0;
  if (std::fabs(ui.BendOffset) <= ui.BendLimit / 3.0) {
    ui.BendOffset = ui.BendOffset * 1.02 + 25.0 * sign;
  } else {
    ui.BendOffset = ui.BendOffset * 1.02;
  }
  if (std::fabs(ui.BendOffset) > ui.BendLimit) ui.BendOffset = sign * ui.BendLimit;
  deck.SetPitch(ui.BendBase + static_cast<int32_t>(std::lround(ui.BendOffset)));
}

int TMainForm::JogStep(int previous, int now) {
  if (previous == 0 && now == 95) return -1;
  if (previous == 95 && now == 0) return 1;
  const int diff = now - previous;
  if (std::abs(diff) > 60) return (diff > 0 ? 1 : -1) * (std::abs(diff) - 96);
  return diff;
}

void TMainForm::JogWheelTrack(int d) {
  TDeckUi& ui = state_.Deck[d];
  const int a = Slider(ui.A.jog).Value();
  if (a == ui.JogPosition) return;
  const int step = JogStep(ui.JogPosition, a);
  Deck(d).JogMove(step < 0, std::abs(step) * 10);
  ui.JogPosition = a;
}

void TMainForm::DeckScratchClick(int d) {
  TSoundSource& deck = Deck(d);
  Button(state_.Deck[d].A.scratch).SetSelected(deck.ToggleScratchMode());
}

void TMainForm::KAVdispLeftClick(int d) {
  const int x = QCursor::pos().x();
  state_.CursorX.store(x);
  Deck(d).HoldBegin(x);
}

void TMainForm::KAVdispMOVE(int d) {
  const int x = QCursor::pos().x();
  state_.CursorX.store(x);
  Deck(d).HoldMove(x);
}

void TMainForm::KAVdispLeftUnClick(int d) {
  const int x = QCursor::pos().x();
  state_.CursorX.store(x);
  Deck(d).HoldEnd(x);
}

void TMainForm::KAVdispRightClick(int d) {
  state_.Deck[d].Override.mute = true;
  CROSS_FADERChange();
}

void TMainForm::KAVdispRightUnClick(int d) {
  state_.Deck[d].Override.mute = false;
  CROSS_FADERChange();
}

}  // namespace zonda
