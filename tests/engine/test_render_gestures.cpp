// The hold gestures: mouse hold, throw and coast, the jog wheel with and
// without event sizes, the jog bend, TrackHolds and the cue dragged by a held
// stopped platter.
#include <gtest/gtest.h>

#include <cmath>
#include <iterator>

#include "tests/engine/RenderDeckFixture.h"

namespace zonda {
namespace {

using test::TRenderDeck;

std::vector<int16_t> Tone() {
  return test::MakeFrames(200000, [](int32_t k, int16_t& l, int16_t& r) {
    l = static_cast<int16_t>(std::lround(12000 * std::sin(k * 0.05)));
    r = l;
  });
}

TEST(MouseHold, ThrowStartsAStoppedDeckWithCoast) {
  TRenderDeck t(Tone());
  TSoundSource& d = t.deck();
  d.Position.store(50000.0);
  ASSERT_FALSE(d.Playing.load());

  d.HoldBegin(1000);
  EXPECT_TRUE(d.Held.load());
  EXPECT_TRUE(d.Playing.load());
  EXPECT_FALSE(d.WasPlaying.load());
  EXPECT_TRUE(d.StartFromHold.load());
  EXPECT_EQ(d.Speed.load(), 0.0);
  EXPECT_EQ(d.HoldStartPos.load(), 50000);

  d.HoldMove(970);  // 30 pixels left: the target moves 930 frames forward
  EXPECT_EQ(d.ScratchTarget.load(), 50930);
  EXPECT_DOUBLE_EQ(d.Speed.load(), 930.0 / 2250);
  t.Render(1024);
  EXPECT_EQ(d.RenderedSpeed() > 0.0, true) << "the platter follows the hand from standstill";
  EXPECT_GT(d.Position.load(), 50000.0);

  d.HoldMove(940);
  EXPECT_EQ(d.LastMouseDelta.load(), 30);
  ASSERT_GT(std::fabs(d.Speed.load()), 0.25);
  d.HoldEnd(940);
  EXPECT_FALSE(d.Held.load());
  EXPECT_TRUE(d.Playing.load()) << "a throw starts a stopped deck";
  EXPECT_TRUE(d.Coast.load());
  EXPECT_EQ(d.Speed.load(), d.TargetSpeed.load());

  // Coasting: from the thrown speed towards 1.0, slowly.
  const double before = d.RenderedSpeed();
  t.Render(4410);
  const double after = d.RenderedSpeed();
  EXPECT_GT(after, before);
  EXPECT_LT(after, 1.0);
}

TEST(MouseHold, SmallMovesAndKeyLockDoNotCoast) {
  struct Case { bool keyLock; int32_t lastMove; bool startsPlaying; bool coasts; };
  for (const Case c : {Case{false, 10, false, false}, Case{true, 30, true, false}, Case{false, 30, true, true}}) {
    TRenderDeck t(Tone());
    TSoundSource& d = t.deck();
    d.KeyLock.store(c.keyLock);
    d.Position.store(50000.0);
    d.HoldBegin(500);
    d.HoldMove(500 - c.lastMove);
    d.HoldMove(500 - 2 * c.lastMove);
    d.HoldEnd(500 - 2 * c.lastMove);
    EXPECT_EQ(d.Playing.load(), c.startsPlaying) << c.keyLock << " " << c.lastMove;
    EXPECT_EQ(d.Coast.load(), c.coasts) << c.keyLock << " " << c.lastMove;
  }
}

TEST(MouseHold, ThrowWhilePlayingCoastsOnlyWhenFast) {
  TRenderDeck t(Tone());
  TSoundSource& d = t.deck();
  t.PlayAt(60000.0, 1.0);
  d.HoldBegin(800);
  EXPECT_TRUE(d.WasPlaying.load());
  d.HoldMove(700);  // 100 px: target 3100 frames ahead, speed 1.38 < 1.5
  d.HoldMove(600);  // target 6200 ahead of the start
  ASSERT_GT(d.Speed.load(), 1.5);
  d.HoldEnd(600);
  EXPECT_TRUE(d.Coast.load());
  EXPECT_TRUE(d.Playing.load());
}

TEST(MouseHold, IgnoredDuringSeekLoadAndJogHold) {
  TRenderDeck t(Tone());
  TSoundSource& d = t.deck();
  d.SeekPending.store(true);
  d.HoldBegin(10);
  EXPECT_FALSE(d.Held.load());
  d.SeekPending.store(false);
  d.ScratchBegin();
  d.HoldBegin(10);
  EXPECT_TRUE(d.JogActive.load()) << "the jog hold stays";
  d.HoldMove(77);
  EXPECT_NE(d.LastMouseX.load(), 77) << "mouse moves do not steer a jog hold";
  d.HoldEnd(77);
  EXPECT_TRUE(d.Held.load());
}

TEST(MouseHold, HeldStoppedDeckDragsTheCue) {
  struct Case { int32_t logic; bool follows; };
  for (const Case c : {Case{0, true}, Case{1, true}, Case{2, false}}) {
    TRenderDeck t(Tone());
    TSoundSource& d = t.deck();
    d.CueLogic.store(c.logic);
    d.Position.store(30000.0);
    d.CuePoint.store(30000);
    d.CueMoved.store(false);
    d.HoldBegin(400);
    d.HoldMove(300);  // 3100 frames forward
    d.HoldMove(295);  // and a last small move: no throw at the end
    t.Render(4096);
    const int32_t moved = d.PositionFrame();
    ASSERT_GT(moved, 30000);
    t.Render(256);
    if (c.follows) {
      // The cue is where the block began: at most one block behind.
      EXPECT_NEAR(d.CuePoint.load(), d.PositionFrame(), 256 * 4) << "logic " << c.logic;
      EXPECT_GT(d.CuePoint.load(), 30000);
    } else {
      EXPECT_EQ(d.CuePoint.load(), 30000);
      EXPECT_TRUE(d.CueMoved.load());
    }
    d.HoldEnd(295);
    EXPECT_FALSE(d.Playing.load()) << "a small move leaves the deck stopped";
  }
}

// The jog step of events without a size follows the event rate. The steps
// below are worked by hand from the jog rule: interval := 4 x the seconds
// since the previous event, r := 1 / interval to the nearest integer, limited
// to 1..25, step := round(0.9 x step) + round(0.1 x r), halves away from zero
// (the engine's rounding). Each line: round(0.9 x step) + round(0.1 x r) = new step.
//   10 ms apart, interval 0.04, r 25: 1 + 3 = 4, 4 + 3 = 7, 6 + 3 = 9, 8 + 3 = 11
//   2 ms apart, interval 0.008, r 125 limited to 25: 10 + 3 = 13, 12 + 3 = 15
//   10 ms apart: 14 + 3 = 17 (13.5 rounds up), 15 + 3 = 18
//   40 ms, interval 0.16, r = round(6.25) = 6: 16 + 1 = 17
//   200 ms, interval 0.8, r = round(1.25) = 1: 15 + 0 = 15; 2 s, r 0 limited to 1: 14; 200 ms: 13
//   backwards, 10 ms apart: 12 + 3 = 15, 14 + 3 = 17, 15 + 3 = 18, 16 + 3 = 19, taken off the ticks
TEST(JogWheel, StepsFromControllerEventsWithoutASize) {
  TRenderDeck t(Tone());
  TSoundSource& d = t.deck();
  d.CounterFrequency.store(1000000000);  // the counter counts nanoseconds
  d.Position.store(80000.0);
  d.JogMove(false, 0);  // a stopped deck: the first event starts the jog hold
  ASSERT_TRUE(d.Held.load());
  ASSERT_TRUE(d.JogActive.load());
  EXPECT_EQ(d.JogIdle.load(), 3);

  struct Event {
    int64_t afterNs;
    bool backwards;
    double interval;
    int32_t step, ticks;
  };
  const Event events[] = {
      {10000000, false, 0.04, 4, 4},     {10000000, false, 0.04, 7, 11},    {10000000, false, 0.04, 9, 20},
      {10000000, false, 0.04, 11, 31},   {2000000, false, 0.008, 13, 44},   {2000000, false, 0.008, 15, 59},
      {10000000, false, 0.04, 17, 76},   {10000000, false, 0.04, 18, 94},   {40000000, false, 0.16, 17, 111},
      {200000000, false, 0.8, 15, 126},  {2000000000, false, 8.0, 14, 140}, {200000000, false, 0.8, 13, 153},
      {10000000, true, 0.04, 15, 138},   {10000000, true, 0.04, 17, 121},   {10000000, true, 0.04, 18, 103},
      {10000000, true, 0.04, 19, 84},
  };
  int64_t now = d.JogTimestamp.load();
  for (const Event& e : events) {
    SCOPED_TRACE(testing::Message() << "event with step " << e.step << " and ticks " << e.ticks);
    now += e.afterNs;
    d.JogMoveAt(e.backwards, 0, now);
    ASSERT_EQ(d.JogStep.load(), e.step);
    ASSERT_EQ(d.JogTicks.load(), e.ticks);
    ASSERT_NEAR(d.JogInterval.load(), e.interval, 1e-12);
    // 41 frames per tick from where the hold began; the deck has not moved, so
    // the speed closes the whole gap in 1890 frames.
    EXPECT_EQ(d.ScratchTarget.load(), 80000 + e.ticks * 41);
    EXPECT_NEAR(d.Speed.load(), e.ticks * 41 / 1890.0, 1e-12);
  }
  const int32_t ticks = events[std::size(events) - 1].ticks;
  // Events with a size move by that size.
  d.JogMoveAt(false, 5, now + 10000000);
  EXPECT_EQ(d.JogStep.load(), 5);
  EXPECT_EQ(d.JogTicks.load(), ticks + 5);

  d.ScratchEnd();
  EXPECT_FALSE(d.Held.load());
  EXPECT_FALSE(d.Playing.load()) << "back to the play state before the hold";
  EXPECT_EQ(d.JogTicks.load(), 0);
  EXPECT_EQ(d.Speed.load(), d.TargetSpeed.load());
}

TEST(JogWheel, BendsAPlayingDeckUnlessScratchMode) {
  TRenderDeck t(Tone());
  TSoundSource& d = t.deck();
  t.PlayAt(10000.0, 1.0);
  d.JogMove(false, 1);
  EXPECT_FALSE(d.Held.load());
  EXPECT_TRUE(d.JogBend.load());
  EXPECT_EQ(d.BendUpCount.load(), 4);
  d.JogMove(true, 1);
  EXPECT_EQ(d.BendUpCount.load(), 1) << "a running bend up is cut short";
  EXPECT_EQ(d.BendDownCount.load(), 4);
  // The periodic update takes the queued presses, then one release.
  using Step = TSoundSource::TJogBendStep;
  EXPECT_EQ(d.TakeJogBend(true), Step::Press);
  EXPECT_EQ(d.TakeJogBend(true), Step::Release);
  EXPECT_EQ(d.TakeJogBend(true), Step::None);
  for (int k = 0; k < 4; ++k) EXPECT_EQ(d.TakeJogBend(false), Step::Press) << k;
  EXPECT_EQ(d.TakeJogBend(false), Step::Release);
  EXPECT_EQ(d.TakeJogBend(false), Step::None);

  d.ScratchMode.store(true);
  d.JogMove(true, 1);
  EXPECT_TRUE(d.Held.load());
  EXPECT_TRUE(d.WasPlaying.load());
  d.ScratchEnd();
  EXPECT_TRUE(d.Playing.load());
}

TEST(TrackHolds, KeepsTheHeldPlatterChasingItsTarget) {
  TRenderDeck t(Tone());
  TSoundSource& d = t.deck();
  d.Position.store(40000.0);
  d.ScratchBegin();
  d.JogMoveAt(false, 10, d.JogTimestamp.load() + 1000000);  // target 410 frames ahead
  t.Render(2048);
  const double pos = d.Position.load();
  d.TrackHolds(0);
  EXPECT_DOUBLE_EQ(d.Speed.load(), (40410 - pos) / 1890) << "the speed law follows the current position";
  d.ScratchEnd();

  d.HoldBegin(100);
  d.TrackHolds(90);  // the cursor moved 10 px left since the last event
  EXPECT_EQ(d.ScratchTarget.load(), d.HoldStartPos.load() + 310);
  EXPECT_EQ(d.LastMouseX.load(), 90);
  d.HoldEnd(90);
  d.TrackHolds(0);  // not held: nothing
  EXPECT_EQ(d.LastMouseX.load(), 90);
}

}  // namespace
}  // namespace zonda
