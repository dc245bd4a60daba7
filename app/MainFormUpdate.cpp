// The main window's periodic update (every 35 ms, on the main thread, from
// the periodic-update timer) and the hold tracking (every 25 ms, on the
// hold-tracking timer's own thread).
#include <QTime>
#include <cstdlib>
#include <cstdio>
#include <span>

#include "app/MainForm.h"
#include "app/MainFormLists.h"
#include "engine/Mixer.h"
#include "engine/Recorder.h"
#include "engine/SoundSource.h"

namespace zonda {

void TMainForm::PeriodicUpdate() {
  if (!Attached() || links_.EngineRunning == nullptr || links_.EngineRunning->load() == 0) return;
  TSoundSource* decks[2] = {&Deck(0), &Deck(1)};

  // 1, 2. Load errors; displays.
  for (int d = 0; d < 2; ++d) {
    TSoundSource& deck = *decks[d];
    if (!deck.LoadPending.load()) deck.FillDisplay();
    TBeatDisplayAction& display = actions_->BeatDisplay(state_.Deck[d].A.display);
    display.SetBeatDiff(d == 0 ? -state_.BeatDiff : state_.BeatDiff);
    const size_t points = static_cast<size_t>(std::clamp(deck.DisplayPoints.load(), 0, kDisplayLength));
    display.SetDisplayData(std::span<const int16_t>(deck.DisplayBeats.data(), points));
    display.SetOverviewData(std::span<const int16_t>(deck.DisplayWave.data(), points));
  }
  // 3. Meters.
  if (links_.Mixer && Skins().SkinLoaded()) {
    const TStereoDb master = links_.Mixer->MasterLevels();
    VUmeterMasterL().SetValueDB(master.left);
    VUmeterMasterR().SetValueDB(master.right);
    VUmeterDeckA().SetValueDB(links_.Mixer->Level(0));
    VUmeterDeckB().SetValueDB(links_.Mixer->Level(1));
  }
  // 4. BPM read-outs.
  BPMReadouts();
  // A playing deck that went silent for want of decoded audio is said on
  // standard error (at most once a second per deck), never hidden.
  if (state_.Ticks % 28 == 0) {
    for (int d = 0; d < 2; ++d) {
      const int64_t missing = decks[d]->MissingAudioFrames();
      int64_t& warned = state_.Deck[static_cast<size_t>(d)].MissingAudioWarned;
      if (missing == warned) continue;
      std::fprintf(stderr, "zonda: deck %c played %.0f ms of silence: its audio was not decoded in time\n",
                   d == 0 ? 'A' : 'B', static_cast<double>(missing - warned) * 1000.0 / 44100.0);
      warned = missing;
    }
  }
  // 5. Time read-outs and the end-of-track stop.
  Afis_TIME(0);
  Afis_TIME(1);
  // 1, 6, 7. Load errors, song names, load completion.
  LoadCompletion(0);
  LoadCompletion(1);
  // 8. Position sliders, one deck per tick.
  {
    const int d = (state_.TickCount % 2 == 1) ? 1 : 0;
    if (decks[d]->LoadOk.load()) Slider(state_.Deck[d].A.pos).SetValue(decks[d]->PositionFrame() / 100);
  }
  // 9. Beat difference and the bend lamps.
  UpdateBeatDiff();
  // 11. Recording.
  if (links_.Recorder && links_.Recorder->Recording()) {
    links_.Recorder->Drain();
    Text(state_.recordTime).SetText(links_.Recorder->TimeText());
  }
  // 12. Tick.
  if (state_.TickCount == 14) {
    state_.TickCount = 0;
    state_.PeriodTick = true;
    state_.Blink = !state_.Blink;
  } else {
    ++state_.TickCount;
  }
  ++state_.Ticks;
  // 13. The controller's deck lamps, then the song list's auto-repeat and drag scrolling.
  ControllerLamps();
  lists_->Tick();
  // 14. Scratch buttons.
  if (state_.TickCount % 4 == 0) {
    for (int d = 0; d < 2; ++d) Button(state_.Deck[d].A.scratch).SetLit(decks[d]->ScratchMode.load());
  }
  // 15. Jog holds end three to four ticks after the wheel stopped.
  for (TSoundSource* deck : decks) deck->JogIdleTick();
  // 16. Headphone split hold.
  PhonesTick(state_.Phones);
  ApplyPhones();
  // 17, 18. Bends and fast search.
  BendTick(0);
  BendTick(1);
  SearchTick(0);
  SearchTick(1);
  // 19. The Auto-DJ (its crossfade steps every third tick), line input texts
  // and the CUE hold counters.
  AutoDJTick(state_.TickCount % 3 == 0);
  if (state_.TickCount % 3 == 0) {
    for (int d = 0; d < 2; ++d) {
      const bool lineIn = links_.Mixer && links_.Mixer->Channels[static_cast<size_t>(d)].LineIn.load();
      Text(state_.Deck[d].A.analogIn).SetText(lineIn && state_.Blink ? "ANALOG IN" : "");
      if (links_.Lamp) links_.Lamp(d == 0 ? 2 : 1, lineIn);  // the controller's line input lamps
      CueHoldTick(d);
    }
  }
  // 20. Clock.
  if (state_.PeriodTick) Text(state_.clock).SetText(QTime::currentTime().toString("hh:mm:ss").toStdString());
  // 21. Record lamp.
  if (links_.Recorder) {
    if (links_.Recorder->Recording()) {
      Button(state_.recording).SetLit(state_.Blink);
    } else if (state_.PeriodTick && state_.Blink) {
      Button(state_.recording).SetLit(false);
    }
  }
  // 22. Slow pitch reset steps.
  if (state_.TickCount == 0) SlowResetTick(0);
  if (state_.TickCount == 1) SlowResetTick(1);
  // 24.
  state_.PeriodTick = false;
}

void TMainForm::HoldTick() {
  const int32_t x = state_.CursorX.load();
  if (links_.Deck[0]) links_.Deck[0]->TrackHolds(x);
  if (links_.Deck[1]) links_.Deck[1]->TrackHolds(x);
}

// The controller's lamps of the decks and the headphones; "blinking" is on
// one tick in three. Only changes reach the controller.
void TMainForm::ControllerLamps() {
  if (!links_.Lamp) return;
  const bool blink = state_.TickCount % 3 == 0;
  const int crossfader = Slider(state_.crossfader).Value();
  for (int d = 0; d < 2; ++d) {
    const TSoundSource& deck = *links_.Deck[static_cast<size_t>(d)];
    // Loop lamp: blinking while loop-in is set, on while a loop plays.
    links_.Lamp(d == 0 ? 21 : 13, deck.LoopInSet.load() ? blink : deck.LoopActive.load());
    // Sync hint: blinking on the deck the crossfader favours while the beats are apart.
    const bool apart = std::abs(state_.BeatDiff) >= 4;
    const bool favoured = d == 0 ? crossfader >= 64 : crossfader <= 63;
    links_.Lamp(d == 0 ? 20 : 12, apart && favoured && blink);
    // Scratch lamp: on during a jog hold, blinking in scratch mode.
    links_.Lamp(d == 0 ? 19 : 11, deck.JogActive.load() || (deck.ScratchMode.load() && blink));
  }
  // Headphone split lamp: on in split mode, blinking in master mode.
  links_.Lamp(25, state_.Phones.split || (state_.Phones.master && blink));
}

}  // namespace zonda
