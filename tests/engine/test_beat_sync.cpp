// The beat-matching rules shared by the main window and the headless host:
// the pitch that matches tempos, the phase nudge, the beat difference and its
// lamps, the BPM read-out and the BPM dialog's entry rules.
#include <gtest/gtest.h>

#include "engine/BeatSync.h"
#include "engine/SoundSource.h"
#include "tests/engine/DeckTestSupport.h"

namespace zonda {
namespace {

TEST(BeatSync, MatchingPitchMakesTheDeckRunAtTheOtherDecksTempo) {
  struct Case {
    double bpm, otherBpm;
    int32_t otherSlider, pitch;
  };
  for (const Case c : {Case{120, 126, 0, 500}, Case{120, 126, -200, 710}, Case{126, 120, 0, -476},
                       Case{128, 128, 0, 0}, Case{95, 100, 300, 211}}) {
    EXPECT_EQ(MatchingPitch(c.bpm, c.otherBpm, c.otherSlider), c.pitch) << c.bpm << " to " << c.otherBpm;
  }
}

TEST(BeatSync, PhaseDifferenceWrapsIntoHalfABeat) {
  EXPECT_DOUBLE_EQ(WrapPhaseDifference(0.8), 0.8 - 1.0);
  EXPECT_DOUBLE_EQ(WrapPhaseDifference(-0.8), -0.8 + 1.0);
  EXPECT_DOUBLE_EQ(WrapPhaseDifference(0.3), 0.3);
  EXPECT_DOUBLE_EQ(WrapPhaseDifference(-0.5), -0.5);
  // 0.9 against 0.1: forward by 0.2 beat; backwards playing reverses the nudge.
  EXPECT_EQ(PhaseNudgeFrames(0.9, 0.1, 22050, 1), 4410);
  EXPECT_EQ(PhaseNudgeFrames(0.9, 0.1, 22050, -1), -4410);
  EXPECT_EQ(PhaseNudgeFrames(0.1, 0.4, 20000, 1), 6000);
}

TEST(BeatSync, BeatDiffAndItsLamps) {
  EXPECT_EQ(BeatDiffOf(0.9, 0.1, true), 20);  // A is behind by 0.2 beat
  EXPECT_EQ(BeatDiffOf(0.3, 0.1, true), -20);
  EXPECT_EQ(BeatDiffOf(0.9, 0.1, false), 0);
  struct Case {
    int32_t diff;
    bool aDown, aUp, bDown, bUp;
  };
  for (const Case c : {Case{0, false, false, false, false}, Case{3, false, false, false, false},
                       Case{4, false, true, true, false}, Case{-3, false, false, false, false},
                       Case{-4, true, false, false, true}}) {
    const TBendLamps l = BendLampsFor(c.diff);
    EXPECT_EQ(l.aDown, c.aDown) << c.diff;
    EXPECT_EQ(l.aUp, c.aUp) << c.diff;
    EXPECT_EQ(l.bDown, c.bDown) << c.diff;
    EXPECT_EQ(l.bUp, c.bUp) << c.diff;
  }
}

TEST(BeatSync, ReadoutAndDialogRules) {
  EXPECT_EQ(BPMReadout(128.0, 0), "128.0");
  EXPECT_EQ(BPMReadout(120.0, -500), "126.0");
  EXPECT_EQ(BPMReadout(0.0, 0), "0.0");
  EXPECT_EQ(BPMReadout(99.96, 0), "100.0");
  EXPECT_EQ(EditBPMStart(128, 4, 100), 128);
  EXPECT_EQ(EditBPMStart(128, 3, 100), 100);
  EXPECT_EQ(EditBPMStart(0, 0, 97), 97);
  struct Entry {
    const char* text;
    int32_t value;  // 0 = refused
  };
  for (const Entry e : {Entry{"74", 0}, Entry{"abc", 0}, Entry{"", 0}, Entry{"151", 0}, Entry{"12a", 0},
                        Entry{"75", 75}, Entry{"95", 95}, Entry{"120", 120}, Entry{"150", 150}}) {
    const auto v = ParseEditedBPM(e.text);
    EXPECT_EQ(v.value_or(0), e.value) << e.text;
  }
  EXPECT_TRUE(IsSlowBPM(95));
  EXPECT_FALSE(IsSlowBPM(120));
  EXPECT_TRUE(IsSlowBPM(119));
  EXPECT_FALSE(IsSlowBPM(30));
}

TEST(BeatSync, SyncWithAnEmptyDeckOnlyStartsIt) {
  test::IsolatedProgramDir program;
  TSoundSource a(true), b(false);
  bool pitched = false;
  EXPECT_EQ(SyncDeck(a, b, 0, 800, [&](int32_t) { pitched = true; }), TSyncResult::NoTempo);
  EXPECT_TRUE(a.Playing.load());
  EXPECT_FALSE(pitched);
  // Already playing stays playing.
  EXPECT_EQ(SyncDeck(a, b, 0, 800, nullptr), TSyncResult::NoTempo);
  EXPECT_TRUE(a.Playing.load());
}

}  // namespace
}  // namespace zonda
