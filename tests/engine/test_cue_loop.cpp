// Cue points and loops of a real loaded deck: the three CUE logics (with and
// without a rendering audio thread), loop in/out and beat loops at 120 BPM,
// resizing and shifting limits, beat snapping, the loop-length text, and the
// renderer keeping the play position inside a loop.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "tests/engine/DeckTestSupport.h"
#include "tests/engine/RenderDeckFixture.h"

namespace zonda::test {
namespace {

constexpr int32_t kTrackFrames = 12 * 44100;  // two chunks

std::vector<int16_t> Track() {
  return MakeFrames(kTrackFrames, [](int32_t i, int16_t& l, int16_t& r) {
    l = static_cast<int16_t>((i % 2000) - 1000);
    r = static_cast<int16_t>(-l);
  });
}

// Renders blocks on a thread of its own, as the audio device would.
class TAudioThread {
 public:
  explicit TAudioThread(TSoundSource& deck) : deck_(deck), thread_([this] { Run(); }) {
    while (blocks_.load() < 3) std::this_thread::yield();
  }
  ~TAudioThread() {
    stop_.store(true);
    thread_.join();
  }

 private:
  void Run() {
    std::vector<int16_t> out(256 * 2);
    while (!stop_.load()) {
      deck_.RenderBlock(out.data(), 256 * 4);
      blocks_.fetch_add(1);
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }
  TSoundSource& deck_;
  std::atomic<bool> stop_{false};
  std::atomic<int> blocks_{0};
  std::thread thread_;
};

TEST(CuePress, StandardLogic) {
  TRenderDeck fixture(Track());
  TSoundSource& d = fixture.deck();
  d.CueLogic.store(0);

  // No cue: the cue is set where the deck stands.
  d.CuePoint.store(0);
  d.Position.store(123456.7);
  d.CuePress();
  EXPECT_EQ(d.CuePoint.load(), 123456);

  // Playing with a cue: jump there and keep playing, leaving any loop.
  d.CuePoint.store(44100);
  fixture.PlayAt(300000.0, 1.0);
  ASSERT_TRUE(d.SetBeatLoop(4));
  d.CuePress();
  EXPECT_EQ(d.Position.load(), 44100.0);
  EXPECT_TRUE(d.Playing.load());
  EXPECT_FALSE(d.LoopActive.load());

  // Stopped with a cue: jump and stay stopped.
  d.Playing.store(false);
  d.Position.store(250000.0);
  d.CuePress();
  EXPECT_EQ(d.Position.load(), 44100.0);
  EXPECT_FALSE(d.Playing.load());

  // Held: nothing.
  d.Position.store(250000.0);
  d.Held.store(true);
  d.CuePress();
  EXPECT_EQ(d.Position.load(), 250000.0);
  d.Held.store(false);
}

TEST(CuePress, Logic1PauseSetsTheCueAndCueReturnsThereThroughTheRenderer) {
  TRenderDeck fixture(Track());
  TSoundSource& d = fixture.deck();
  d.CueLogic.store(1);
  d.TogglePlay();  // play
  d.Position.store(500000.0);
  d.TogglePlay();  // pause
  EXPECT_EQ(d.CuePoint.load(), 500000);
  d.Position.store(100000.0);
  TAudioThread audio(d);
  d.CuePress();
  // The press returns after the renderer has taken the request.
  EXPECT_FALSE(d.CueJumpRequest.load());
  EXPECT_EQ(d.PositionFrame(), 500000);
  EXPECT_FALSE(d.Playing.load());
}

TEST(CuePress, Logic2SetsTheCueWhereTheHandLeftThePlatter) {
  TRenderDeck fixture(Track());
  TSoundSource& d = fixture.deck();
  d.CueLogic.store(2);
  d.CuePoint.store(44100);

  // Stopped and moved by hand: the cue moves, no jump.
  d.Position.store(200000.0);
  d.CueMoved.store(true);
  d.CuePress();
  EXPECT_EQ(d.CuePoint.load(), 200000);
  EXPECT_FALSE(d.CueMoved.load());
  EXPECT_FALSE(d.Playing.load());

  // At the cue and stopped: starts playing.
  d.CuePress();
  EXPECT_TRUE(d.Playing.load());

  // Anywhere else: jump back and stop.
  d.Position.store(300000.0);
  d.CuePress();
  EXPECT_EQ(d.PositionFrame(), 200000);
  EXPECT_FALSE(d.Playing.load());
}

TEST(CuePress, DoesNothingOnAnEmptyDeck) {
  IsolatedProgramDir dir;
  TSoundSource d(true);
  for (int logic : {0, 1, 2}) {
    d.CueLogic.store(logic);
    d.Position.store(1234.0);
    d.CuePress();
    EXPECT_EQ(d.CuePoint.load(), 0) << logic;
    EXPECT_FALSE(d.Playing.load()) << logic;
  }
  EXPECT_FALSE(d.LoopInOut());
  EXPECT_FALSE(d.SetBeatLoop(4));
}

TEST(HotCues, SlotsKeepTheActiveCueAndEraseOnlyTheSelectedOne) {
  IsolatedProgramDir dir;
  TSoundSource d(true);
  d.SelectCueSlot(1);
  d.CuePoint.store(1000);
  d.SelectCueSlot(3);  // the active cue stays in slot 1
  EXPECT_EQ(d.CueSlot(1), 1000);
  EXPECT_EQ(d.CuePoint.load(), 0) << "an empty slot gives no cue";
  d.CuePoint.store(3000);
  d.SelectCueSlot(1);
  EXPECT_EQ(d.CuePoint.load(), 1000);
  EXPECT_EQ(d.CueSlot(3), 3000);
  d.EraseSelectedCue();
  EXPECT_EQ(d.CueSlot(1), 0);
  EXPECT_EQ(d.CuePoint.load(), 0);
  EXPECT_EQ(d.CueSlot(3), 3000) << "the other slots stay";
  for (int32_t bad : {0, 9, -1}) {
    d.SelectCueSlot(bad);
    EXPECT_EQ(d.SelectedCueSlot.load(), 1) << bad;
    EXPECT_EQ(d.CueSlot(bad), 0) << bad;
  }
}

TEST(TrackEnd, APlayingDeckStopsInItsLastHundredthsUnlessTheSongLoops) {
  TRenderDeck fixture(Track());
  TSoundSource& d = fixture.deck();
  struct Case { double fromEnd; bool songLoop; bool stops; };
  for (const Case c : {Case{44100.0, false, false}, Case{600.0, false, true}, Case{0.0, false, true},
                       Case{600.0, true, false}}) {
    fixture.PlayAt(d.LastFrame.load() + 1 - c.fromEnd, 1.0);
    d.ScratchMode.store(true);
    d.SongLoop.store(c.songLoop);
    EXPECT_EQ(d.StopAtTrackEnd(), c.stops) << c.fromEnd << " " << c.songLoop;
    EXPECT_EQ(d.Playing.load(), !c.stops);
    EXPECT_EQ(d.ScratchMode.load(), !c.stops);
  }
}

TEST(Loops, LoopInOutAt120Bpm) {
  TRenderDeck fixture(Track());
  TSoundSource& d = fixture.deck();
  d.SnapLoopToBeat.store(false);
  d.Position.store(100000.0);
  EXPECT_TRUE(d.LoopInOut());
  EXPECT_TRUE(d.LoopInSet.load());
  EXPECT_EQ(d.LoopStart.load(), 100000);
  EXPECT_EQ(d.BeatFrames.load(), 22050);
  d.Position.store(130000.0);
  EXPECT_TRUE(d.LoopInOut());
  EXPECT_TRUE(d.LoopActive.load());
  EXPECT_FALSE(d.LoopInSet.load());
  EXPECT_EQ(d.LoopEnd.load(), 144099);
  EXPECT_EQ(d.LoopEndEff.load(), 144099);
  EXPECT_EQ(d.LoopLength.load(), 44099);
  // Pressing again halves the loop.
  d.Position.store(110000.0);
  EXPECT_TRUE(d.LoopInOut());
  EXPECT_EQ(d.LoopEnd.load(), 144099 - 44099 / 2);
  EXPECT_EQ(d.LoopEndEff.load(), 144099 - 44099 / 2);
}

TEST(Loops, LoopOutRightAfterLoopInMakesTheShortestLoop) {
  TRenderDeck fixture(Track());
  TSoundSource& d = fixture.deck();
  d.SnapLoopToBeat.store(false);
  d.Position.store(100000.0);
  ASSERT_TRUE(d.LoopInOut());
  d.Position.store(100100.0);
  ASSERT_TRUE(d.LoopInOut());
  EXPECT_EQ(d.LoopLength.load(), 2756 - 1);  // two sixteenths
}

TEST(Loops, LoopsBeyondTheTrackAreRefused) {
  TRenderDeck fixture(Track());
  TSoundSource& d = fixture.deck();
  d.SnapLoopToBeat.store(false);
  d.Position.store(kTrackFrames - 30000.0);
  ASSERT_TRUE(d.LoopInOut());
  d.Position.store(kTrackFrames - 1000.0);
  EXPECT_FALSE(d.LoopInOut());
  EXPECT_FALSE(d.LoopActive.load());
  EXPECT_EQ(d.LoopEnd.load(), 0);
  d.Position.store(kTrackFrames - 20000.0);
  EXPECT_FALSE(d.SetBeatLoop(4));
  EXPECT_EQ(d.LoopEnd.load(), 0);
}

TEST(Loops, BeatLoopsResizeShiftAndText) {
  TRenderDeck fixture(Track());
  TSoundSource& d = fixture.deck();
  d.Position.store(50000.0);
  ASSERT_TRUE(d.SetBeatLoop(1));
  EXPECT_EQ(d.LoopStart.load(), 50000);
  EXPECT_EQ(d.LoopEnd.load(), 50000 + 11024);
  EXPECT_EQ(d.LoopLength.load(), 11024);
  EXPECT_EQ(d.LoopLengthText("SONG"), "1 / 2  BEAT");

  // With a loop active only the requested end changes; the renderer takes it
  // over when the position is inside, which is the case here via resize.
  ASSERT_TRUE(d.SetBeatLoop(2));
  EXPECT_EQ(d.LoopStart.load(), 50000);
  EXPECT_EQ(d.LoopEnd.load(), 50000 + 22049);
  EXPECT_EQ(d.LoopEndEff.load(), 50000 + 11024);

  struct TextCase {
    int32_t halfBeats;
    const char* text;
  };
  for (const TextCase c : {TextCase{2, "1  BEAT"}, TextCase{8, "4  BEATS"}, TextCase{4, "2  BEATS"},
                           TextCase{16, "8  BEATS"}}) {
    d.ExitLoop(true);
    ASSERT_TRUE(d.SetBeatLoop(c.halfBeats));
    EXPECT_EQ(d.LoopLengthText("SONG"), c.text) << c.halfBeats;
  }
  d.ExitLoop(true);
  EXPECT_EQ(d.LoopLengthText("SONG"), "SONG");

  // Resizing below 400 frames is refused; shifting before 0 too.
  d.Position.store(1000.0);
  ASSERT_TRUE(d.SetBeatLoop(1));
  EXPECT_FALSE(d.ResizeLoop(-(11024 - 399)));
  EXPECT_TRUE(d.ResizeLoop(-(11024 - 400)));
  EXPECT_EQ(d.LoopLength.load(), 400);
  EXPECT_FALSE(d.ShiftLoop(-1001));
  EXPECT_TRUE(d.ShiftLoop(441));
  EXPECT_EQ(d.LoopStart.load(), 1441);
  EXPECT_FALSE(d.ResizeLoop(kTrackFrames));
  d.ExitLoop(true);
  EXPECT_FALSE(d.ResizeLoop(100));
  EXPECT_FALSE(d.ShiftLoop(100));
}

TEST(Loops, TempoUnknownWhileSeekPendingCountsAs120) {
  TRenderDeck fixture(Track());
  TSoundSource& d = fixture.deck();
  d.Position.store(50000.0);
  d.SeekPending.store(true);
  EXPECT_EQ(d.CurrentBPM(), 0.0);
  ASSERT_TRUE(d.SetBeatLoop(1));
  EXPECT_EQ(d.LoopLength.load(), 11024);
  EXPECT_EQ(d.BeatFrames.load(), 22050);
  d.SeekPending.store(false);
}

TEST(Loops, SnapToBeatFindsTheFirstMarkInTheWindow) {
  TRenderDeck fixture(Track());
  TSoundSource& d = fixture.deck();
  auto* chunk = const_cast<TChunk*>(d.ChunkAt(0));
  ASSERT_NE(chunk, nullptr);
  // A mark at overview point 117 belongs to frames 100 x 220.5 .. (the
  // points are 220.5 frames apart, marks lag 17 points).
  chunk->BeatEnvelope[117] = 56;
  chunk->Analysed.store(true);
  d.Position.store(30000.0);
  EXPECT_EQ(d.SnapToBeat(16537), 22050);
  EXPECT_EQ(d.SnapToBeat(1000), 30000);  // no mark within the window
  d.SnapLoopToBeat.store(false);
  EXPECT_EQ(d.SnapToBeat(16537), 30000);
  d.SnapLoopToBeat.store(true);
  ASSERT_TRUE(d.LoopInOut());
  EXPECT_EQ(d.LoopStart.load(), 22050);
}

TEST(Loops, RendererStaysInsideTheLoopAndExitsAfterOneMorePass) {
  TRenderDeck fixture(Track());
  TSoundSource& d = fixture.deck();
  fixture.PlayAt(60000.0, 1.0);
  ASSERT_TRUE(d.SetBeatLoop(2));  // 60000..82049
  fixture.Render(3 * 22050);
  EXPECT_GE(d.Position.load(), 60000.0);
  EXPECT_LE(d.Position.load(), 82050.0);

  d.ReloopAfterExit.store(true);
  d.ExitLoop(false);
  EXPECT_TRUE(d.ExitLoopPending.load());
  EXPECT_TRUE(d.LoopActive.load());
  fixture.Render(22050 + 512);
  EXPECT_FALSE(d.LoopActive.load());
  fixture.Render(22050);
  EXPECT_GE(d.Position.load(), 82000.0);

  // Without ReloopAfterExit the exit is immediate.
  d.Position.store(60000.0);
  ASSERT_TRUE(d.SetBeatLoop(2));
  d.ReloopAfterExit.store(false);
  d.ExitLoop(false);
  EXPECT_FALSE(d.LoopActive.load());
  EXPECT_EQ(d.LoopEnd.load(), 0);
}

}  // namespace
}  // namespace zonda::test
