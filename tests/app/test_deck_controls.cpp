// The main window's deck controls and periodic update on real decks and a
// real mixer, without a skin or an audio device: the update's tick rules,
// the CUE hold, fast search, bends, slow pitch reset, jog wrap, read-outs,
// and handlers that must do nothing on an empty deck.
#include <gtest/gtest.h>

#include <array>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <numeric>

#include "app/ConfigValues.h"
#include "app/MainForm.h"
#include "dsp/FFTFilter.h"
#include "engine/Mixer.h"
#include "engine/BeatSync.h"
#include "engine/SoundSource.h"
#include "engine/TrackAnalysis.h"
#include "skin/ActionTables.h"
#include "tests/engine/DeckTestSupport.h"
#include "tests/support/BeatTrack.h"

namespace zonda::test {
namespace {

QApplication& App() {
  static int argc = 1;
  static char name[] = "test";
  static char* argv[] = {name, nullptr};
  // Never destroyed: Qt's input devices outlive static destruction otherwise.
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

class DeckControls : public ::testing::Test {
 protected:
  void SetUp() override {
    App();
    form_ = std::make_unique<TMainForm>(actions_);
    TMainFormLinks links;
    links.Deck = {&deckA_, &deckB_};
    links.Equaliser = {&eqA_, &eqB_};
    links.Mixer = &mixer_;
    links.Config = &config_;
    links.EngineRunning = &running_;
    links.FormClose = [] {};
    links.Lamp = [this](int lamp, bool on) { lamps_[size_t(lamp)] = on; };
    form_->AttachProgram(actions_, std::move(links));
  }
  void Tick(int n = 1) {
    for (int i = 0; i < n; ++i) form_->PeriodicUpdate();
  }
  TTextAction& Text(const char* name) { return actions_.Text(actions_.FindTextAction(name)); }
  TSliderAction& Slider(const char* name) { return actions_.Slider(actions_.FindSliderAction(name)); }
  TButtonAction& Button(const char* name) { return actions_.Button(actions_.FindButtonAction(name)); }
  // A pitch slider moved by hand: the value and its change handler.
  void SetUpPitch(int d, int value) {
    TSliderAction& s = Slider(d == 0 ? "decka_pitch" : "deckb_pitch");
    s.SetValue(value);
    s.Handlers.OnChange(s.Tag());
  }

  IsolatedProgramDir dir_;
  TActionTables actions_;
  TSoundSource deckA_{true}, deckB_{false};
  TFFTFilter eqA_, eqB_;
  TKAVMixer mixer_{{&deckA_, &eqA_, {}}, {&deckB_, &eqB_, {}}, nullptr};
  TConfigValues config_;
  std::atomic<uint8_t> running_{1};
  std::array<bool, 27> lamps_{};  // what the controller's lamps were last told
  std::unique_ptr<TMainForm> form_;
};

TEST_F(DeckControls, NothingHappensWhileTheEngineIsNotRunning) {
  running_.store(0);
  Text("time").SetText("x");
  form_->SearchNextClick(0);
  Tick(30);
  EXPECT_EQ(Text("time").Text(), "x");
  EXPECT_EQ(form_->State().TickCount, 0);
  EXPECT_EQ(form_->State().Deck[0].SearchForwardCounter, 0);
}

TEST_F(DeckControls, ClockOncePerPeriodAndPositionSlidersAlternate) {
  const std::string file = WritePatternTrack(dir_.dir(), "a.wav", 176400 * 3);
  ASSERT_TRUE(LoadAndWait(deckA_, file));
  ASSERT_TRUE(LoadAndWait(deckB_, file));
  Tick();  // load completion sets the slider ranges
  TSliderAction& posA = Slider("decka_pos");
  TSliderAction& posB = Slider("deckb_pos");
  deckA_.Position.store(50000.0);
  deckB_.Position.store(70000.0);
  // TickCount is now 1 (odd): deck B's turn.
  Tick();
  EXPECT_EQ(posB.Value(), 700);
  EXPECT_NE(posA.Value(), 500);
  Tick();
  EXPECT_EQ(posA.Value(), 500);

  while (form_->State().TickCount != 0) Tick();
  Text("time").SetText("x");
  int changes = 0;
  std::string last = "x";
  for (int i = 0; i < 45; ++i) {
    Tick();
    if (Text("time").Text() != last) {
      ++changes;
      last = Text("time").Text();
      Text("time").SetText(last = "x");
    }
  }
  EXPECT_EQ(changes, 3);
}

TEST_F(DeckControls, JogHoldEndsOnTheFourthQuietTick) {
  const std::string file = WritePatternTrack(dir_.dir(), "a.wav", 176400 * 3);
  ASSERT_TRUE(LoadAndWait(deckA_, file));
  deckA_.JogMove(false, 10);  // stopped deck: the wheel holds the platter
  ASSERT_TRUE(deckA_.Held.load());
  Tick(3);
  EXPECT_TRUE(deckA_.Held.load());
  Tick();
  EXPECT_FALSE(deckA_.Held.load());
  EXPECT_EQ(deckA_.JogIdle.load(), -1);
}

TEST_F(DeckControls, CueHeldBrieflyJumpsHeldLongErases) {
  const std::string file = WritePatternTrack(dir_.dir(), "a.wav", 176400 * 3);
  ASSERT_TRUE(LoadAndWait(deckA_, file));
  Tick();
  struct Case {
    int ticks;
    bool erased;
  };
  for (const Case c : {Case{6, false}, Case{14, true}}) {
    deckA_.CuePoint.store(44100);
    deckA_.SelectedCueSlot.store(1);
    deckA_.Position.store(100000.0);
    form_->SetCUE_Click(0);
    Tick(c.ticks);
    form_->SetCUE_UnClick(0);
    if (c.erased) {
      EXPECT_EQ(deckA_.CuePoint.load(), 0);
      EXPECT_EQ(deckA_.CueSlots[1].load(), 0);
      EXPECT_EQ(deckA_.Position.load(), 100000.0);
    } else {
      EXPECT_EQ(deckA_.CuePoint.load(), 44100);
      EXPECT_EQ(deckA_.Position.load(), 44100.0);
      EXPECT_TRUE(Button("decka_cue1").Lit());
      EXPECT_TRUE(Button("decka_cue1").Selected());
    }
  }
}

TEST_F(DeckControls, HotCueSelectionStoresTheActiveCueFirst) {
  deckA_.SelectedCueSlot.store(1);
  deckA_.CuePoint.store(12345);
  deckA_.CueSlots[3].store(54321);
  form_->CUE_1_Click(0, 3);
  EXPECT_EQ(deckA_.CueSlots[1].load(), 12345);
  EXPECT_EQ(deckA_.CuePoint.load(), 54321);
  EXPECT_TRUE(Button("decka_cue3").Selected());
  EXPECT_FALSE(Button("decka_cue1").Selected());
  EXPECT_TRUE(Button("decka_cue1").Lit());
  EXPECT_EQ(Slider("decka_pos").Marker(), 543);
}

// Holding search-next for 30 ticks jumps 1, 1, 2, 3, ..., 20, 22, 24, 26, 28,
// 30, 33, 36, 39 and 42 seconds, 491 seconds in all (the worked example). Each
// seek is let finish before the next tick, so none is dropped, and the deck's
// position is checked after every jump; then the end of the track and its start
// limit the jumps, and search-prev runs the same jumps backwards.
TEST_F(DeckControls, FastSearchGrowsToFourHundredNinetyOneSecondsInThirtyTicks) {
  const std::vector<int64_t> jumpSeconds = {1,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14,
                                            15, 16, 17, 18, 19, 20, 22, 24, 26, 28, 30, 33, 36, 39, 42};
  // 492 s: the 491 s of the search and one more second.
  const std::string file = WritePatternTrack(dir_.dir(), "long.wav", int64_t{492} * 176400);
  ASSERT_TRUE(LoadAndWait(deckA_, file));
  Tick();
  ASSERT_EQ(deckA_.PositionFrame(), 0);
  const int64_t lastFrame = int64_t{492} * 44100 - 1;
  ASSERT_EQ(deckA_.LastFrame.load(), lastFrame);
  // One tick, then the seek it requested carried out by the deck's worker.
  auto tickAndSettle = [&] {
    Tick();
    ASSERT_TRUE(WaitUntil([&] { return !deckA_.SeekPending.load(); })) << "the seek never finished";
  };

  form_->SearchNextClick(0);
  int64_t expected = 0;
  for (size_t i = 0; i < jumpSeconds.size(); ++i) {
    tickAndSettle();
    expected += jumpSeconds[i] * 44100;
    ASSERT_EQ(deckA_.PositionFrame(), expected) << "tick " << i + 1;
  }
  EXPECT_EQ(expected, int64_t{491} * 44100);
  tickAndSettle();  // 46 s more would pass the end
  EXPECT_EQ(deckA_.PositionFrame(), lastFrame);

  form_->SearchPrevClick(0);  // the other direction stops this one
  EXPECT_EQ(form_->State().Deck[0].SearchForwardCounter, -1);
  expected = lastFrame;
  for (size_t i = 0; i < jumpSeconds.size(); ++i) {
    tickAndSettle();
    expected -= jumpSeconds[i] * 44100;
    ASSERT_EQ(deckA_.PositionFrame(), expected) << "back, tick " << i + 1;
  }
  tickAndSettle();  // 46 s back would pass the start
  EXPECT_EQ(deckA_.PositionFrame(), 0);

  form_->SearchPrevUnClick(0);
  deckA_.Position.store(44100.0);
  Tick(3);
  EXPECT_EQ(deckA_.PositionFrame(), 44100) << "released: no more jumps";
  EXPECT_FALSE(deckA_.SeekPending.load());
}

TEST_F(DeckControls, BendDownFromZeroPassesAThirdAfter65TicksAndStandsAfter121) {
  form_->bendDOWN_Click(0);
  deckA_.BendDownCount.store(-1);
  Tick(64);
  EXPECT_GT(deckA_.GetPitch(), -3333);
  Tick();
  EXPECT_LE(deckA_.GetPitch(), -3333);
  Tick(55);
  EXPECT_GT(deckA_.GetPitch(), -10000);
  Tick();
  EXPECT_EQ(deckA_.GetPitch(), -10000);
  form_->bendDOWN_UnClick(0);
  EXPECT_EQ(deckA_.GetPitch(), 0);
  // During a slow reset a bend does nothing.
  form_->Reset_pitch_Click(0);
  form_->bendUP_Click(0);
  EXPECT_FALSE(form_->State().Deck[0].BendUpActive);
}

TEST_F(DeckControls, PitchReadOutAndSlowReset) {
  TSliderAction& pitch = Slider("decka_pitch");
  struct Case {
    int slider;
    const char* text;
  };
  for (const Case c : {Case{250, "-2.50"}, Case{-800, "8.00"}, Case{0, "0.00"}}) {
    pitch.SetValue(c.slider);
    form_->Pitch_Mod_Change(0);
    EXPECT_EQ(Text("decka_pitch").Text(), c.text);
    EXPECT_EQ(deckA_.GetPitch(), -c.slider);
  }
  pitch.SetValue(-800);
  form_->Pitch_Mod_Change(0);
  form_->Reset_pitch_Click(0);
  int steps = 0;
  while (form_->State().Deck[0].SlowResetPending && steps < 2000) {
    Tick();
    ++steps;
  }
  EXPECT_EQ(pitch.Value(), 0);
  EXPECT_EQ(deckA_.GetPitch(), 0);
  // 80 steps of 10, one per 15 ticks, the last one ending the reset.
  EXPECT_NEAR(steps, 80 * 15, 15);
  // Twice at once: immediate.
  pitch.SetValue(-800);
  form_->Pitch_Mod_Change(0);
  form_->Reset_pitch_Click(0);
  form_->Reset_pitch_Click(0);
  EXPECT_EQ(deckA_.GetPitch(), 0);
  // Moving the slider cancels a slow reset.
  form_->Reset_pitch_Click(0);
  form_->pitch_Track(0);
  EXPECT_FALSE(form_->State().Deck[0].SlowResetPending);
}

TEST_F(DeckControls, JogWheelWraps) {
  EXPECT_EQ(TMainForm::JogStep(94, 1), 3);
  EXPECT_EQ(TMainForm::JogStep(2, 93), -5);
  EXPECT_EQ(TMainForm::JogStep(0, 95), -1);
  EXPECT_EQ(TMainForm::JogStep(95, 0), 1);
  EXPECT_EQ(TMainForm::JogStep(10, 14), 4);

  // Through the "decka_jw" slider: the first movement takes hold of the
  // stopped platter; every later one moves it by ten ticks per wheel step.
  TSliderAction& wheel = Slider("decka_jw");
  wheel.SetValue(10);
  form_->JogWheelTrack(0);
  ASSERT_TRUE(deckA_.Held.load() && deckA_.JogActive.load());
  EXPECT_EQ(deckA_.JogTicks.load(), 0);
  struct Move {
    int to;
    int32_t ticks;  // JogTicks after the move
  };
  const Move moves[] = {
      {14, 40},     // +4 steps
      {94, -120},   // 80 apart wraps: 80 - 96 = -16 steps
      {1, -90},     // 94 to 1 wraps: +3
      {0, -100},    // -1
      {95, -110},   // 0 to 95: -1
      {0, -100},    // 95 to 0: +1
      {0, -100},    // no movement
  };
  for (const Move m : moves) {
    wheel.SetValue(m.to);
    form_->JogWheelTrack(0);
    EXPECT_EQ(deckA_.JogTicks.load(), m.ticks) << "to " << m.to;
  }
}

TEST_F(DeckControls, TimeReadOutsOfAThreeMinuteTrack) {
  deckA_.TotalBytes.store(180 * 176400);
  deckA_.Position.store(0.0);
  form_->Afis_TIME(0);
  EXPECT_EQ(Text("decka_remained").Text(), "03:00.00");
  EXPECT_EQ(Text("decka_elapsed").Text(), "00:00.00");
  deckA_.Position.store((3 * 60 + 7.45) * 44100.0 + 1);
  form_->Afis_TIME(0);
  EXPECT_EQ(Text("decka_elapsed").Text(), "03:07.45");
}

TEST_F(DeckControls, SwitchesOnAnEmptyDeckChangeNothing) {
  Button("decka_reverse").SetSelected(true);  // the skin flipped it
  form_->ReversePlayClick(0);
  EXPECT_EQ(deckA_.GetDirection(), 1);
  EXPECT_FALSE(Button("decka_reverse").Selected());
  form_->BrakeClick(0);
  EXPECT_FALSE(deckA_.Brake.load());
  form_->LoopSongClick(0);
  EXPECT_FALSE(deckA_.SongLoop.load());
  form_->DeckScratchClick(0);
  EXPECT_FALSE(deckA_.ScratchMode.load());
  form_->Loop_In_End_Click(0);
  EXPECT_FALSE(deckA_.LoopInSet.load());
  form_->SetCUE_Click(0);
  form_->SetCUE_UnClick(0);
  EXPECT_EQ(deckA_.CuePoint.load(), 0);
  EXPECT_FALSE(form_->load_but_Click(0, dir_.dir().file("missing.wav")));
}

TEST_F(DeckControls, MixerControlsReachTheMixer) {
  Slider("crossfader").SetValue(0);
  form_->CROSS_FADERChange();
  EXPECT_TRUE(Button("decka_in_master").Lit());
  EXPECT_FALSE(Button("deckb_in_master").Lit());
  form_->MuteLineMouseDown(0);
  EXPECT_FALSE(Button("decka_in_master").Lit());
  form_->MuteLineMouseUp(0);
  EXPECT_TRUE(Button("decka_in_master").Lit());
  Slider("decka_eq_low").SetValue(-12);
  form_->EqChange(0, 0);
  EXPECT_EQ(eqA_.LowGain(), -36.0);
  Button("decka_kill_low").SetSelected(true);
  form_->KILL_Click(0, 0);
  EXPECT_EQ(eqA_.LowGain(), -80.0);
  Slider("deckb_gain").SetValue(12);
  form_->Gain_Change(1);
  EXPECT_NEAR(mixer_.Channels[1].Trim.load(), TrimFromGainDb(12), 1e-12);
  Slider("decka_cutoff_filter").SetValue(-30);
  form_->FILTER_Change(0);
  EXPECT_NE(Text("decka_cutoff").Text(), "FILTER OFF");
  Slider("decka_cutoff_filter").SetValue(0);
  form_->FILTER_Change(0);
  EXPECT_EQ(Text("decka_cutoff").Text(), "FILTER OFF");
  Button("phones_split").SetSelected(true);
  form_->phones_split_click();
  EXPECT_TRUE(mixer_.PhonesSplit.load());
  Tick(1);
  EXPECT_TRUE(lamps_[25]) << "split: the headphone lamp is on";
  Tick(9);  // held: master mode
  EXPECT_TRUE(mixer_.PhonesMaster.load());
  EXPECT_FALSE(mixer_.PhonesSplit.load());
}

TEST_F(DeckControls, ControllerLampsFollowKillsOnAirLoopsAndHeadphones) {
  Button("decka_kill_low").SetSelected(true);
  form_->KILL_Click(0, 0);
  Button("deckb_kill_high").SetSelected(true);
  form_->KILL_Click(1, 2);
  EXPECT_TRUE(lamps_[24]) << "deck A low";
  EXPECT_TRUE(lamps_[14]) << "deck B high";
  Button("onair").SetSelected(true);
  form_->SetOnAir();
  EXPECT_TRUE(lamps_[7]);
  // Loop-in set: the loop lamp blinks, on one tick in three.
  deckA_.LoopInSet.store(true);
  int on = 0;
  for (int i = 0; i < 15; ++i) {
    Tick();
    on += lamps_[21];
  }
  EXPECT_EQ(on, 5);
  deckA_.LoopInSet.store(false);
  deckA_.LoopActive.store(true);
  Tick();
  EXPECT_TRUE(lamps_[21]) << "a playing loop: steady";
  // Headphones in master mode: the split lamp blinks.
  Button("phones_split").SetSelected(true);
  form_->phones_split_click();
  Tick(12);
  on = 0;
  for (int i = 0; i < 15; ++i) {
    Tick();
    on += lamps_[25];
  }
  EXPECT_EQ(on, 5);
}

TEST_F(DeckControls, TheSongsMemoryKeepsTheGainAndEqualiserTheDJSet) {
  // Set on the knobs, saved when another song loads, restored with the song.
  const std::string song = WritePatternTrack(dir_.dir(), "kept.wav", 176400 * 4);
  const std::string other = WritePatternTrack(dir_.dir(), "other.wav", 176400 * 4);
  ASSERT_TRUE(LoadAndWait(deckA_, song));
  Slider("decka_eq_low").SetValue(-9);
  form_->EqChange(0, 0);
  Slider("decka_eq_high").SetValue(7);
  form_->EqChange(0, 2);
  Slider("decka_gain").SetValue(5);
  form_->Gain_Change(0);
  ASSERT_TRUE(LoadAndWait(deckA_, other));
  EXPECT_EQ(deckA_.SongEqLow.load(), 0) << "a song without memory starts neutral";
  ASSERT_TRUE(LoadAndWait(deckA_, song));
  EXPECT_EQ(deckA_.SongEqLow.load(), -9);
  EXPECT_EQ(deckA_.SongEqMid.load(), 0);
  EXPECT_EQ(deckA_.SongEqHigh.load(), 7);
  EXPECT_EQ(deckA_.SongGain.load(), 5);
}

TEST_F(DeckControls, ReplacingAnAudibleSongAsksUnlessItIsAboutToEnd) {
  const std::string first = WritePatternTrack(dir_.dir(), "first.wav", 176400 * 4);
  const std::string second = WritePatternTrack(dir_.dir(), "second.wav", 176400 * 2);
  ASSERT_TRUE(LoadAndWait(deckA_, first));
  Tick();
  ASSERT_TRUE(Button("decka_in_master").Lit());
  int questions = 0;
  QTimer answerer;
  QObject::connect(&answerer, &QTimer::timeout, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      ++questions;
      box->button(QMessageBox::Cancel)->click();
    }
  });
  answerer.start(5);
  deckA_.Playing.store(true);
  deckA_.Position.store(44100.0);
  EXPECT_FALSE(form_->load_but_Click(0, second));  // asked, cancelled
  EXPECT_EQ(questions, 1);
  EXPECT_EQ(deckA_.FileName, first);
  deckA_.Position.store(deckA_.LastFrame.load() - 22050.0);  // 0.5 s before the end
  EXPECT_TRUE(form_->load_but_Click(0, second));
  EXPECT_EQ(questions, 1);
  EXPECT_EQ(deckA_.FileName, second);
  EXPECT_EQ(Text("decka_songname").Text(), "LOADING ...");
  ASSERT_TRUE(WaitUntil([&] { return !deckA_.LoadPending.load(); }));
  Tick();
  EXPECT_EQ(Text("decka_songname").Text(), "SECOND.WAV");
}

TEST_F(DeckControls, ALoadErrorShowsInTheSongName) {
  const std::string bad = dir_.dir().file("bad.wav");
  std::vector<uint8_t> junk(5000, 0x5A);
  {
    FILE* f = std::fopen(bad.c_str(), "wb");
    std::fwrite(junk.data(), 1, junk.size(), f);
    std::fclose(f);
  }
  ASSERT_TRUE(form_->load_but_Click(0, bad));
  ASSERT_TRUE(WaitUntil([&] { return !deckA_.LoadPending.load() && DeckError(true).Flag.load(); }));
  Tick();
  const std::string shown = Text("decka_songname").Text();
  EXPECT_TRUE(shown == "WRONG FILE FORMAT !" || shown == "FILE IS DAMAGED !") << shown;
  EXPECT_FALSE(DeckError(true).Flag.load());
}


// Beat matching on the window: two decks analysed from generated beats at 120
// and 126 BPM.
class BeatSyncControls : public DeckControls {
 protected:
  void LoadBeats() {
    test::WriteDeckWav(dir_.dir().file("a120.wav"), test::KickTrack({.seconds = 30.0, .bpm = 120.0, .firstBeatFrame = 1000.0}));
    test::WriteDeckWav(dir_.dir().file("b126.wav"), test::KickTrack({.seconds = 30.0, .bpm = 126.0, .firstBeatFrame = 7000.0}));
    ASSERT_EQ(AnalyseTrack(deckA_, dir_.dir().file("a120.wav"), false).BPM, 120);
    ASSERT_EQ(AnalyseTrack(deckB_, dir_.dir().file("b126.wav"), false).BPM, 126);
    ASSERT_TRUE(SeekAndWait(deckA_, 400000));
    ASSERT_TRUE(SeekAndWait(deckB_, 500000));
    ASSERT_TRUE(WaitUntil([&] { return deckA_.ChunkAnalysed(1) && deckB_.ChunkAnalysed(1); }));
  }
  static double PhaseGap(const TSoundSource& a, const TSoundSource& b) {
    return WrapPhaseDifference(a.GetBeatPhase().Phase - b.GetBeatPhase().Phase);
  }
};

TEST_F(BeatSyncControls, SyncMatchesTempoAndPhaseWithinThePitchRange) {
  LoadBeats();
  // Deck B at 126.05 (its beat period is 952 analysis points): about -504.
  form_->SyncBUTT_Click(0);
  EXPECT_TRUE(deckA_.Playing.load());
  EXPECT_NEAR(Slider("decka_pitch").Value(), -500, 6);
  EXPECT_EQ(deckA_.GetPitch(), -Slider("decka_pitch").Value());
  EXPECT_LT(std::fabs(PhaseGap(deckA_, deckB_)), 1.0 / 32);

  // Deck B's slider at -200 (+2 %): 710.
  SetUpPitch(0, 0);
  SetUpPitch(1, -200);
  form_->SyncBUTT_Click(0);
  EXPECT_NEAR(Slider("decka_pitch").Value(), -710, 6);

  // A range of 4 %: SYNC only starts the deck.
  SetUpPitch(1, 0);
  SetUpPitch(0, 0);
  Slider("decka_pitch").SetMaximum(400);
  deckA_.PlayPause();
  ASSERT_FALSE(deckA_.Playing.load());
  const int32_t before = deckA_.PositionFrame();
  form_->SyncBUTT_Click(0);
  EXPECT_TRUE(deckA_.Playing.load());
  EXPECT_EQ(Slider("decka_pitch").Value(), 0);
  EXPECT_EQ(deckA_.PositionFrame(), before);
}

TEST_F(BeatSyncControls, BeatDiffLightsTheBendsThatCloseTheGapAndReadoutsShowTheTempo) {
  LoadBeats();
  form_->SyncBUTT_Click(1);  // B follows A: 120
  ASSERT_TRUE(deckB_.Playing.load());
  Tick();
  EXPECT_EQ(Text("decka_bpm").Text(), "120.0") << "a stopped deck shows its tempo too";
  deckA_.PlayPause();
  Tick();
  EXPECT_LE(std::abs(form_->State().BeatDiff), 3);
  EXPECT_FALSE(Button("decka_bend_up").Lit() || Button("decka_bend_down").Lit());
  EXPECT_EQ(Text("decka_bpm").Text(), "120.0");
  EXPECT_EQ(Text("deckb_bpm").Text(), BPMReadout(deckB_.CurrentBPM(), Slider("deckb_pitch").Value()));
  EXPECT_NEAR(std::stod(Text("deckb_bpm").Text()), 120.0, 0.2);
  // Deck A a fifth of a beat behind: A's bend up and B's bend down.
  deckA_.Nudge(-0.2 * deckA_.GetBeatPhase().BeatFrames);
  Tick();
  EXPECT_NEAR(form_->State().BeatDiff, 20, 3);
  EXPECT_TRUE(Button("decka_bend_up").Lit());
  EXPECT_TRUE(Button("deckb_bend_down").Lit());
  EXPECT_FALSE(Button("decka_bend_down").Lit() || Button("deckb_bend_up").Lit());
  // Stopped: no difference, lamps out.
  deckB_.PlayPause();
  Tick();
  EXPECT_EQ(form_->State().BeatDiff, 0);
  EXPECT_FALSE(Button("decka_bend_up").Lit() || Button("deckb_bend_down").Lit());
}

TEST_F(BeatSyncControls, SlowSwitchRestartsTheAnalysis) {
  LoadBeats();
  deckA_.BPMLocked.store(true);
  Button("decka_edit_bpm").SetLit(true);
  Button("decka_slow_bpm").SetSelected(true);
  form_->SlowBPM(0);
  EXPECT_TRUE(deckA_.SlowBPM.load());
  EXPECT_FALSE(deckA_.BPMLocked.load());
  EXPECT_FALSE(Button("decka_edit_bpm").Lit());
  EXPECT_EQ(deckA_.DetectedBPM.load(), 0);
}

// Runs `action` and answers the modal message box it opens; returns its text.
std::string AnswerMessageBox(const std::function<void()>& action) {
  std::string text = "(no message)";
  QTimer::singleShot(0, [&] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      text = box->text().toStdString();
      box->accept();
    }
  });
  action();
  return text;
}

TEST_F(BeatSyncControls, BPMDialogKeysAndRules) {
  LoadBeats();
  Text("decka_bpm").Handlers.OnLeftDown(0);  // a click on the read-out opens it too
  TEditBPMform& dialog = form_->EditBPMform();
  ASSERT_TRUE(dialog.isVisible());
  EXPECT_FALSE(form_->isEnabled());
  EXPECT_EQ(dialog.windowTitle().toStdString(), "Edit / Lock BPM - Deck A");
  EXPECT_EQ(dialog.BPMeditval->text().toStdString(), "120");  // detected, 5 votes
  EXPECT_FALSE(dialog.BPMchecklock->isChecked());
  EXPECT_EQ(dialog.size(), QSize(193, 80));

  auto enter = [&](const char* text) {
    dialog.BPMeditval->clear();
    QTest::keyClicks(dialog.BPMeditval, text);
  };
  for (const char* refused : {"74", "abc"}) {
    enter(refused);
    EXPECT_TRUE(dialog.BPMchecklock->isChecked()) << "any edit checks LOCK";
    EXPECT_EQ(AnswerMessageBox([&] { QTest::mouseClick(dialog.OK, Qt::LeftButton); }), " (75-150)") << refused;
    EXPECT_TRUE(dialog.isVisible()) << refused;
  }
  // The window's close command is refused.
  dialog.close();
  EXPECT_TRUE(dialog.isVisible());

  enter("95");
  QTest::keyClick(dialog.BPMeditval, Qt::Key_Return);  // OK is the default button
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_TRUE(form_->isEnabled());
  EXPECT_EQ(deckA_.StoredBPM.load(), 95);
  EXPECT_TRUE(deckA_.BPMLocked.load());
  EXPECT_FALSE(deckA_.SlowBPM.load()) << "the range follows the switch once it is used";
  EXPECT_TRUE(Button("decka_slow_bpm").Selected());
  EXPECT_TRUE(Button("decka_edit_bpm").Lit());

  form_->EditBPM(0);
  EXPECT_EQ(dialog.BPMeditval->text().toStdString(), "95") << "stored, nothing detected since";
  enter("120");
  dialog.BPMchecklock->setChecked(false);
  QTest::mouseClick(dialog.OK, Qt::LeftButton);
  EXPECT_FALSE(Button("decka_slow_bpm").Selected());
  EXPECT_FALSE(deckA_.BPMLocked.load());
  EXPECT_FALSE(Button("decka_edit_bpm").Lit());
  EXPECT_EQ(deckA_.StoredBPM.load(), 120);

  // Escape cancels without a change.
  form_->EditBPM(1);
  EXPECT_EQ(dialog.windowTitle().toStdString(), "Edit / Lock BPM - Deck B");
  enter("100");
  QTest::keyClick(dialog.BPMeditval, Qt::Key_Escape);
  EXPECT_FALSE(dialog.isVisible());
  EXPECT_TRUE(form_->isEnabled());
  EXPECT_NE(deckB_.StoredBPM.load(), 100);
}

}  // namespace
}  // namespace zonda::test
