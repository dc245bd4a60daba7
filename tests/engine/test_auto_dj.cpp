// The Auto-DJ's decisions, driven tick by tick against scripted decks.
#include <gtest/gtest.h>

#include <deque>
#include <string>
#include <vector>

#include "engine/AutoDJ.h"

namespace zonda {
namespace {

// Two decks, a crossfader and a list of songs; each song is its length in
// hundredths of a second, or -1 for a file whose load fails. A load completes
// after loadTicks ticks.
struct FakeDecks : TAutoDJDecks {
  struct Deck {
    bool empty = true, loading = false, loaded = false, playing = false;
    int64_t remaining = 0;
    int64_t pendingLength = 0;
    int32_t ticksLeft = 0;
    int32_t syncs = 0, resets = 0;
  };
  Deck deck[2];
  int32_t crossfader = 0;
  std::deque<int64_t> list;
  int32_t loadTicks = 2;
  int32_t beatDiff = 10;
  std::vector<int32_t> crossfaderTrail;

  bool Empty(int d) const override { return deck[d].empty; }
  bool Loading(int d) const override { return deck[d].loading; }
  bool Loaded(int d) const override { return deck[d].loaded; }
  bool Playing(int d) const override { return deck[d].playing; }
  int64_t Remaining(int d) const override { return deck[d].remaining; }
  void Play(int d) override {
    if (deck[d].loaded) deck[d].playing = true;
  }
  int32_t Crossfader() const override { return crossfader; }
  void SetCrossfader(int32_t v) override {
    crossfader = v;
    crossfaderTrail.push_back(v);
  }
  int32_t taken = 0;  // songs loaded so far: the list is not empty once it had songs
  bool ListEmpty() const override { return list.empty() && taken == 0; }
  bool LoadNext(int d) override {
    if (list.empty() || deck[d].loading) return false;
    Deck& k = deck[d];
    k = Deck{false, true, false, false, 0, list.front(), loadTicks, k.syncs, k.resets};
    list.pop_front();
    ++taken;
    return true;
  }
  void Sync(int d) override {
    ++deck[d].syncs;
    beatDiff = 0;
    Play(d);
  }
  int32_t BeatDiff() const override { return beatDiff; }
  void PitchReset(int d) override { ++deck[d].resets; }

  // One 35 ms tick of the decks: loads progress, playing decks advance.
  void Advance() {
    for (Deck& k : deck) {
      if (k.loading && k.ticksLeft >= 0 && --k.ticksLeft < 0) {
        k.loading = false;
        k.loaded = k.pendingLength >= 0;
        k.remaining = std::max<int64_t>(k.pendingLength, 0);
      }
      if (k.playing) {
        k.remaining = std::max<int64_t>(k.remaining - 3, 0);
        if (k.remaining == 0) k.playing = false;
      }
    }
  }
};

// The window's order: time read-outs (trigger), then the step on every third tick.
void RunTicks(TAutoDJ& dj, FakeDecks& f, int n, int64_t* tick) {
  for (int i = 0; i < n; ++i, ++*tick) {
    f.Advance();
    dj.Trigger(0, f.deck[0].remaining);
    dj.Trigger(1, f.deck[1].remaining);
    dj.Tick(*tick % 3 == 0);
  }
}

// Three 3-minute songs, switched on, decks loaded and deck A playing.
void SwitchedOnWithThreeSongs(TAutoDJ& dj, FakeDecks& f, int64_t* tick) {
  f.list = {18000, 18000, 18000};
  dj.SwitchOn();
  RunTicks(dj, f, 5, tick);
}

TEST(AutoDJ, SwitchingOnLoadsBothDecksAndStartsTheCrossfaderSide) {
  struct Case {
    int32_t crossfader;
    int32_t snapped;
    int started;
  };
  for (const Case c : {Case{0, 0, 0}, Case{63, 0, 0}, Case{64, 127, 1}, Case{127, 127, 1}}) {
    FakeDecks f;
    f.list = {18000, 18000, 18000};
    f.crossfader = c.crossfader;
    TAutoDJ dj(f);
    dj.SwitchOn();
    EXPECT_EQ(f.crossfader, c.snapped);
    EXPECT_TRUE(f.deck[0].loading && f.deck[1].loading);
    int64_t tick = 1;
    RunTicks(dj, f, 5, &tick);
    EXPECT_TRUE(f.deck[c.started].playing) << c.crossfader;
    EXPECT_FALSE(f.deck[1 - c.started].playing) << c.crossfader;
  }
}

TEST(AutoDJ, TheCrossfadeStartsTwiceTheMixingTimeBeforeTheEnd) {
  FakeDecks f;
  TAutoDJ dj(f);
  int64_t tick = 1;
  SwitchedOnWithThreeSongs(dj, f, &tick);
  while (!dj.Running() && f.deck[0].remaining > 0) RunTicks(dj, f, 1, &tick);
  ASSERT_TRUE(dj.Running());
  EXPECT_TRUE(dj.TowardB());
  EXPECT_LT(f.deck[0].remaining, 2000);
  EXPECT_GE(f.deck[0].remaining, 2000 - 3);
  EXPECT_DOUBLE_EQ(dj.Step(), 1.4);
  // Beat matching only in the first third, and only while the beats drift
  // apart; the incoming deck starts matched.
  int steps = 0;
  while (dj.Running()) {
    const int32_t before = f.crossfader;
    f.beatDiff = 10;
    const int32_t syncsBefore = f.deck[1].syncs;
    RunTicks(dj, f, 1, &tick);
    if (f.crossfader != before) {
      ++steps;
      EXPECT_EQ(f.deck[1].syncs - syncsBefore, f.crossfader < 42 ? 1 : 0) << f.crossfader;
    }
  }
  // 90 steps of 1.4; the first may share the trigger's tick.
  EXPECT_GE(steps, 89);
  EXPECT_LE(steps, 90);
  EXPECT_EQ(f.crossfader, 127);
  EXPECT_TRUE(f.deck[1].playing);
  EXPECT_EQ(f.deck[1].resets, 1);
  // The faded-out deck takes the next song.
  EXPECT_TRUE(f.deck[0].loading);
  EXPECT_TRUE(f.list.empty());
}

TEST(AutoDJ, TheIncomingDeckStartsBeatMatchedWhenMatchingIsOn) {
  for (const bool beatMatch : {true, false}) {
    FakeDecks f;
    TAutoDJ dj(f);
    dj.BeatMatch = beatMatch;
    int64_t tick = 1;
    SwitchedOnWithThreeSongs(dj, f, &tick);
    f.beatDiff = 0;  // a standing deck has no beat difference
    dj.StartCrossfade();
    dj.Tick(true);
    EXPECT_TRUE(f.deck[1].playing);
    EXPECT_EQ(f.deck[1].syncs, beatMatch ? 1 : 0);
  }
}

TEST(AutoDJ, TriggerEdgeCases) {
  struct Case {
    int32_t crossfader;      // before the snap window passes
    bool viaSnapWindow;      // r passes 20.07..20.20 s
    bool starts;
  };
  for (const Case c : {Case{60, true, true}, Case{30, false, false}, Case{0, false, true}, Case{127, false, false}}) {
    FakeDecks f;
    TAutoDJ dj(f);
    f.list = {18000};
    for (FakeDecks::Deck& k : f.deck) k = FakeDecks::Deck{false, false, true, true, 5000, 0, 0, 0, 0};
    f.deck[1].playing = false;
    dj.SwitchOn();
    f.crossfader = c.crossfader;
    if (c.viaSnapWindow) dj.Trigger(0, 2010);
    dj.Trigger(0, 1999);
    EXPECT_EQ(dj.Running(), c.starts) << c.crossfader;
  }
}

TEST(AutoDJ, MixingTimeButtonsStopAtTheirLimits) {
  FakeDecks f;
  TAutoDJ dj(f);
  const std::vector<std::pair<int32_t, int32_t>> more = {{145, 150}, {150, 150}, {100, 105}};
  for (auto [from, to] : more) {
    dj.SetMixTime(from);
    dj.MixTimeMore();
    EXPECT_EQ(dj.MixTime(), to);
  }
  const std::vector<std::pair<int32_t, int32_t>> less = {{25, 20}, {20, 20}, {100, 95}};
  for (auto [from, to] : less) {
    dj.SetMixTime(from);
    dj.MixTimeLess();
    EXPECT_EQ(dj.MixTime(), to);
  }
}

TEST(AutoDJ, TheUserMovingTheCrossfaderStopsTheCrossfade) {
  FakeDecks f;
  TAutoDJ dj(f);
  int64_t tick = 1;
  SwitchedOnWithThreeSongs(dj, f, &tick);
  dj.StartCrossfade();
  RunTicks(dj, f, 30, &tick);
  ASSERT_TRUE(dj.Running());
  f.crossfader = 50;
  dj.UserMove();
  RunTicks(dj, f, 30, &tick);
  EXPECT_FALSE(dj.Running());
  EXPECT_EQ(f.crossfader, 50);
  EXPECT_TRUE(f.deck[1].playing);
}

TEST(AutoDJ, ADeckWhoseLoadFailedIsLoadedAgainWhenSwitchingOn) {
  FakeDecks f;
  TAutoDJ dj(f);
  f.deck[0] = FakeDecks::Deck{false, false, false, false, 0, 0, 0, 0, 0};  // "FILE IS DAMAGED !"
  f.list = {18000, 18000};
  dj.SwitchOn();
  int64_t tick = 1;
  RunTicks(dj, f, 5, &tick);
  EXPECT_TRUE(f.deck[0].playing);
  EXPECT_TRUE(f.deck[1].loaded);
}

TEST(AutoDJ, EmptyListNextDoesNothing) {
  FakeDecks f;
  TAutoDJ dj(f);
  dj.StartCrossfade();
  EXPECT_FALSE(dj.Running());
}

TEST(AutoDJ, FailedAndHangingLoadsAreSkipped) {
  struct Case {
    std::deque<int64_t> list;
    int32_t loadTicks;
    bool startsPlaying;
  };
  // A damaged file is skipped at once; a load that never ends is given up
  // after the bounded wait; a list of nothing but damaged files stops trying.
  for (const Case& c : {Case{{-1, 18000, 18000}, 2, true}, Case{{-1, -1, 18000, 18000}, 2, true},
                        Case{{18000, 18000}, -1, false}, Case{std::deque<int64_t>(40, -1), 2, false}}) {
    FakeDecks f;
    f.list = c.list;
    f.loadTicks = c.loadTicks;
    TAutoDJ dj(f);
    dj.SwitchOn();
    int64_t tick = 1;
    RunTicks(dj, f, TAutoDJ::kLoadWaitTicks + 100, &tick);
    EXPECT_EQ(f.deck[0].playing, c.startsPlaying) << c.list.size();
  }
}

TEST(AutoDJ, AListThatEndsPlaysOut) {
  FakeDecks f;
  f.list = {9000, 9000, 9000};
  TAutoDJ dj(f);
  dj.SwitchOn();
  int64_t tick = 1;
  int crossfades = 0;
  bool wasRunning = false;
  for (int i = 0; i < 20000; ++i) {
    RunTicks(dj, f, 1, &tick);
    if (dj.Running() && !wasRunning) ++crossfades;
    wasRunning = dj.Running();
  }
  EXPECT_EQ(crossfades, 2);
  EXPECT_FALSE(f.deck[0].playing || f.deck[1].playing);
}

}  // namespace
}  // namespace zonda
