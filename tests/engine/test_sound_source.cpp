// TSoundSource: load states, chunk store, auto cue, hot cues, transport
// setters, Nudge, seek completion and decode-ahead release, display.
#include <gtest/gtest.h>

#include <cmath>
#include <mutex>
#include <set>

#include "decoding/core/DecoderLock.h"
#include "engine/SongSettings.h"
#include "engine/SoundSource.h"
#include "tests/decoding/FakeDecoder.h"
#include "tests/engine/DeckTestSupport.h"

namespace zonda {
namespace {

using test::IsolatedProgramDir;
using test::LoadAndWait;
using test::PresentChunks;
using test::RunWorkerPass;

class Deck : public testing::Test {
 protected:
  IsolatedProgramDir program_;
  test::TempDir tracks_;
  std::unique_ptr<TSoundSource> deck_ = std::make_unique<TSoundSource>(true);

  std::string Track(const std::string& name, int64_t bytes) {
    return test::WritePatternTrack(tracks_, name, bytes);
  }
  // Stereo 16-bit track: silence, then a sine of the given amplitude from startFrame.
  std::string ToneTrack(const std::string& name, int64_t frames, int64_t startFrame, double amplitude) {
    auto s = test::SineStereo(frames, 440, 440, amplitude);
    for (int64_t f = 0; f < startFrame && f < frames; ++f) s[2 * f] = s[2 * f + 1] = 0;
    // Start the tone at phase 0 of its own so the first window is not near a zero crossing only.
    const std::string file = tracks_.file(name);
    test::WriteDeckWav(file, s);
    return file;
  }
};

TEST_F(Deck, InitialState) {
  TSoundSource& d = *deck_;
  EXPECT_EQ(d.ChunkCount.load(), 0);
  EXPECT_FALSE(d.Loaded || d.LoadOk || d.LoadPending || d.SeekPending || d.Playing || d.Brake || d.Coast);
  EXPECT_FALSE(d.KeyLock || d.ScratchMode || d.ExitLoopPending || d.BPMLocked || d.SlowBPM || d.CueMoved);
  EXPECT_TRUE(d.SnapLoopToBeat && d.ReloopAfterExit);
  EXPECT_EQ(d.DisplayPoints.load(), 100);
  EXPECT_EQ(d.CueLogic.load(), 0);
  EXPECT_EQ(d.RenderCount.load(), 0);
  EXPECT_EQ(kFadeLength, 441);
  EXPECT_EQ(d.JogStep.load(), 1);
  EXPECT_FALSE(d.OnTrackUnload);
  EXPECT_EQ(d.ChunksPresent(), 0);
  EXPECT_FALSE(DeckError(true).Flag.load());
  EXPECT_FALSE(DeckError(false).Flag.load());
}

TEST_F(Deck, ChunkCountAtExactMultiplesAndOneByteMore) {
  const struct { int64_t bytes; int32_t chunks; } cases[] = {
      {4, 1}, {kChunkBytes, 1}, {kChunkBytes + 1, 2}, {3LL * kChunkBytes, 3}, {3LL * kChunkBytes + 1, 4}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bytes);
    ASSERT_TRUE(LoadAndWait(*deck_, Track("t" + std::to_string(c.bytes) + ".wav", c.bytes)));
    EXPECT_TRUE(deck_->LoadOk.load());
    EXPECT_TRUE(deck_->Loaded.load());
    EXPECT_EQ(deck_->TotalBytes.load(), c.bytes);
    EXPECT_EQ(deck_->ChunkCount.load(), c.chunks);
    EXPECT_EQ(deck_->LastFrame.load(), c.bytes / 4 - 1);
    const TChunk* first = deck_->ChunkAt(0);
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(first->Pinned.load());
    EXPECT_EQ(first->BytesRead, static_cast<int32_t>(std::min<int64_t>(c.bytes, kChunkBytes)));
  }
}

TEST_F(Deck, ShortChunkIsSilentBeyondBytesRead) {
  ASSERT_TRUE(LoadAndWait(*deck_, Track("short.wav", kChunkBytes + 4000)));
  deck_->LoadChunk(1);
  const TChunk* c = deck_->ChunkAt(1);
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->BytesRead, 4000);
  const auto* bytes = reinterpret_cast<const uint8_t*>(c->PCM.data());
  for (int i = 0; i < 4000; ++i) ASSERT_EQ(bytes[i], test::PatternByte(kChunkBytes + i));
  for (int i = 4000; i < kChunkBytes; ++i) ASSERT_EQ(bytes[i], 0) << i;
  EXPECT_TRUE(c->Pinned.load()) << "the last chunk";
}

TEST_F(Deck, NewTrackStartsWithNeutralTransport) {
  ASSERT_TRUE(LoadAndWait(*deck_, Track("a.wav", 3 * kChunkBytes)));
  TSoundSource& d = *deck_;
  d.SetPitch(800);
  d.SetDirection(-1);
  d.LoopActive = true;
  d.LoopInSet = true;
  d.SongLoop = true;
  d.Brake = true;
  d.Playing = true;
  d.Position = 12345.0;
  d.Coast = true;
  d.StartAtSpeed(-0.3);
  ASSERT_TRUE(LoadAndWait(d, Track("b.wav", 2 * kChunkBytes)));
  EXPECT_EQ(d.Speed.load(), 1.0);
  EXPECT_EQ(d.TargetSpeed.load(), 1.0);
  EXPECT_EQ(d.RenderedSpeed(), 1.0);
  EXPECT_EQ(d.PitchPermyriad.load(), 0);
  EXPECT_EQ(d.Direction.load(), 1);
  EXPECT_FALSE(d.LoopActive || d.LoopInSet || d.SongLoop || d.Brake || d.Playing || d.Coast);
  EXPECT_EQ(d.Position.load(), 0.0);
  EXPECT_EQ(d.FadeFramesLeft(), 0);
}

TEST_F(Deck, LoadWhilePendingIsRefusedAndChangesNothing) {
  const std::string a = Track("a.wav", 8000);
  const std::string b = Track("b.wav", 8000);
  {
    // Holding the decoder lock keeps the worker inside OpenTrack.
    std::lock_guard hold(DecoderLock());
    ASSERT_TRUE(deck_->Load(a));
    EXPECT_FALSE(deck_->Load(b));
    EXPECT_EQ(deck_->FileName, a);
    EXPECT_TRUE(deck_->LoadPending.load());
  }
  ASSERT_TRUE(test::WaitUntil([&] { return !deck_->LoadPending.load(); }));
  EXPECT_TRUE(deck_->LoadOk.load());
}

TEST_F(Deck, FailedLoadSetsTheDeckErrorFlag) {
  ASSERT_TRUE(LoadAndWait(*deck_, tracks_.file("missing.wav")));
  EXPECT_FALSE(deck_->LoadOk.load());
  EXPECT_FALSE(deck_->Loaded.load());
  EXPECT_TRUE(DeckError(true).Flag.load());
  EXPECT_EQ(DeckError(true).Code.load(), -1);
  EXPECT_FALSE(DeckError(false).Flag.load());
  EXPECT_EQ(deck_->ChunkCount.load(), 0);
  DeckError(true).Flag = false;
  // Operations on an empty deck do nothing.
  deck_->RequestSeek(1000);
  EXPECT_FALSE(deck_->SeekPending.load());
  deck_->PreloadEnd();
  deck_->FillDisplay();
  EXPECT_EQ(deck_->ChunksPresent(), 0);
  // A good file afterwards loads normally.
  ASSERT_TRUE(LoadAndWait(*deck_, Track("ok.wav", 8000)));
  EXPECT_TRUE(deck_->LoadOk.load());
}

TEST_F(Deck, AutoCueFindsTheFirstWindowAboveMinus40dB) {
  const struct {
    const char* name;
    int64_t start;
    double amplitude;
    int32_t cue;
  } cases[] = {
      {"fromStart", 0, 0.5, 0},
      {"oneSecond", 44100, 0.5, 44100},
      {"midWindow", 44100 + 200, 0.5, 44100},   // 241 loud frames lift window 100
      {"lastWindow", 599 * 441, 0.5, 599 * 441},
      {"quiet", 0, 0.003, 264600},              // about -50 dB: never
      {"silentSixSeconds", 264600, 0.5, 264600},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(LoadAndWait(*deck_, ToneTrack(std::string(c.name) + ".wav", 300000, c.start, c.amplitude)));
    EXPECT_EQ(deck_->CueSlots[8].load(), c.cue);
    EXPECT_EQ(deck_->CuePoint.load(), c.cue);
  }
}

TEST_F(Deck, StoredHotCuesSuppressTheAutoCueAndPinTheirChunks) {
  const std::string file = ToneTrack("cues.wav", 5 * kChunkFrames, 1000, 0.5);
  TSongRecord r;
  r.Name = "cues.wav";
  r.SelectedSlot = 2;
  r.Slots = {kChunkFrames + 1000,            // slot 1: chunk 1, first half -> chunk 0 too
             2 * kChunkFrames + 200000,      // slot 2: chunk 2, second half -> chunk 3
             50000,                          // slot 3: before 2 s, nothing decoded
             0, 0, 0, 0,
             777};                           // slot 8: valid, suppresses the auto cue
  ASSERT_TRUE(WriteSongRecord(r));
  ASSERT_TRUE(LoadAndWait(*deck_, file));
  EXPECT_EQ(deck_->CueSlots[8].load(), 777);
  EXPECT_EQ(deck_->CuePoint.load(), 2 * kChunkFrames + 200000);
  EXPECT_EQ(deck_->SelectedCueSlot.load(), 2);
  for (int32_t i : {0, 1, 2, 3}) {
    ASSERT_NE(deck_->ChunkAt(i), nullptr) << i;
    EXPECT_TRUE(deck_->ChunkAt(i)->Pinned.load()) << i;
  }

  // Slot 8 beyond the track: the auto cue runs; an empty selected slot gives cue 0 first.
  r.Slots = {0, 0, 0, 0, 0, 0, 0, 99999999};
  r.SelectedSlot = 3;
  ASSERT_TRUE(WriteSongRecord(r));
  deck_->FileName.clear();  // do not save the old state over the record
  ASSERT_TRUE(LoadAndWait(*deck_, file));
  EXPECT_EQ(deck_->CueSlots[8].load(), 882);  // window 2 (frames 882..1322) holds tone from 1000
  EXPECT_EQ(deck_->CuePoint.load(), 882);
}

TEST_F(Deck, TransportSetters) {
  TSoundSource& d = *deck_;
  d.SetPitch(800);
  EXPECT_DOUBLE_EQ(d.TargetSpeed.load(), 1.08);
  EXPECT_DOUBLE_EQ(d.Speed.load(), 1.08);
  d.SetDirection(-1);
  EXPECT_DOUBLE_EQ(d.TargetSpeed.load(), -1.08);
  EXPECT_EQ(d.GetDirection(), -1);
  EXPECT_EQ(d.GetPitch(), 800);
  d.Held = true;
  d.Speed = 0.25;
  d.Coast = true;
  d.SetPitch(-500);
  EXPECT_DOUBLE_EQ(d.TargetSpeed.load(), -0.95);
  EXPECT_DOUBLE_EQ(d.Speed.load(), 0.25) << "a held platter keeps its speed";
  EXPECT_TRUE(d.Coast.load());
  d.Held = false;

  d.Position = 1234.75;
  EXPECT_EQ(d.PositionFrame(), 1234);
  d.Position = -0.5;
  EXPECT_EQ(d.PositionFrame(), -1);

  d.Position = 5000.5;
  d.CueLogic = 1;
  d.Playing = true;
  d.ScratchMode = true;
  d.TogglePlay();
  EXPECT_FALSE(d.Playing.load());
  EXPECT_FALSE(d.ScratchMode.load());
  EXPECT_EQ(d.CuePoint.load(), 5000) << "logic 1: pausing sets the cue";
  d.CueMoved = true;
  d.TogglePlay();
  EXPECT_TRUE(d.Playing.load());
  EXPECT_FALSE(d.CueMoved.load());

  d.LoopActive = true;
  d.LoopInSet = true;
  d.LoopEnd = 9000;
  d.ExitLoopPending = true;
  d.CueJumpRequest = true;
  d.BackToTop();
  EXPECT_FALSE(d.Playing || d.ScratchMode || d.LoopActive || d.LoopInSet || d.CueJumpRequest || d.CueMoved);
  EXPECT_FALSE(d.ExitLoopPending.load());
  EXPECT_EQ(d.LoopEnd.load(), 0);
  EXPECT_EQ(d.Position.load(), 0.0);
}

TEST_F(Deck, BrakeAndSongLoopNeedATrackAndCarryTheirRules) {
  EXPECT_FALSE(deck_->SetBrake(true));
  EXPECT_FALSE(deck_->SetSongLoop(true));
  EXPECT_FALSE(deck_->Brake.load() || deck_->SongLoop.load());
  ASSERT_TRUE(LoadAndWait(*deck_, Track("rules.wav", 6LL * kChunkBytes)));
  EXPECT_EQ(deck_->ChunkAt(5), nullptr);
  EXPECT_TRUE(deck_->SetSongLoop(true));
  EXPECT_TRUE(deck_->SongLoop.load());
  EXPECT_NE(deck_->ChunkAt(5), nullptr) << "the wrap to the start must not wait for the end";
  EXPECT_NE(deck_->ChunkAt(4), nullptr);
  deck_->SetPitch(800);
  EXPECT_TRUE(deck_->SetBrake(true));
  deck_->Speed.store(0.2);  // the brake's ramp under way
  EXPECT_TRUE(deck_->SetBrake(false));
  EXPECT_FALSE(deck_->Brake.load());
  EXPECT_DOUBLE_EQ(deck_->Speed.load(), 1.08) << "released: the pitch's speed at once";
}

TEST_F(Deck, NudgeInsideAndOutsideALoop) {
  TSoundSource& d = *deck_;
  d.LastFrame = 100000;
  d.BeatFrames = 1000;
  const struct {
    bool loop;
    double from, delta, to;
  } cases[] = {
      {false, 500, 100, 600},   {false, 500, -500, 0},    {false, 500, -501, 500},  // below 0: nothing
      {false, 99990, 10, 100000}, {false, 99990, 11, 99990},                         // past LastFrame: nothing
      {true, 5000, 500, 5500},  {true, 5000, -1000, 4000},                           // inside 4000..6000
      {true, 5900, 300, 5200},  {true, 4100, -300, 4800},                            // one beat back in
      {true, 5900, 2500, 5900}, {true, 4100, -2500, 4100},                           // still outside: nothing
  };
  for (const auto& c : cases) {
    d.LoopActive = c.loop;
    d.LoopStart = 4000;
    d.LoopEnd = 6000;
    d.Position = c.from;
    d.Nudge(c.delta);
    EXPECT_DOUBLE_EQ(d.Position.load(), c.to) << c.loop << " " << c.from << " " << c.delta;
  }
}

TEST_F(Deck, ReadyMeansTheNextChunkAndTheCuesNeighbourAreDecoded) {
  // PLAY right after the load must sound on a busy machine: the chunk after
  // the start, and the chunk after the cue point's, are there with LoadOk.
  const std::string file = ToneTrack("ready.wav", 6 * kChunkFrames, 0, 0.5);
  TSongRecord r;
  r.Name = "ready.wav";
  r.SelectedSlot = 1;
  r.Slots = {3 * kChunkFrames + 1000, 0, 0, 0, 0, 0, 0, 777};  // cue early in chunk 3
  ASSERT_TRUE(WriteSongRecord(r));
  ASSERT_TRUE(deck_->Load(file));
  ASSERT_TRUE(test::WaitUntil([&] { return deck_->LoadOk.load(std::memory_order_acquire); }));
  EXPECT_EQ(deck_->CuePoint.load(), 3 * kChunkFrames + 1000);
  for (int32_t i : {0, 1, 2, 3, 4}) EXPECT_NE(deck_->ChunkAt(i), nullptr) << i;
  ASSERT_TRUE(test::WaitUntil([&] { return !deck_->LoadPending.load(); }));
}

TEST_F(Deck, SeekDecodesTheTargetsChunkFirstAndItsNeighbourAfter) {
  ASSERT_TRUE(LoadAndWait(*deck_, Track("seek.wav", 8LL * kChunkBytes)));
  ASSERT_TRUE(test::SeekAndWait(*deck_, 4 * kChunkFrames + 1000));
  EXPECT_NE(deck_->ChunkAt(4), nullptr);
  EXPECT_NE(deck_->ChunkAt(5), nullptr) << "the next chunk follows in the same pass";
  EXPECT_EQ(deck_->Position.load(), 4.0 * kChunkFrames + 1000);
  // Backwards near the chunk's start: the previous chunk is there as well.
  deck_->Speed = -1.0;
  ASSERT_TRUE(test::SeekAndWait(*deck_, 2 * kChunkFrames + 10));
  EXPECT_NE(deck_->ChunkAt(2), nullptr);
  EXPECT_NE(deck_->ChunkAt(1), nullptr);
  EXPECT_EQ(deck_->ChunkAt(5), nullptr) << "released, far from the target";
}

TEST_F(Deck, SeekReleasesFarChunksButKeepsPinnedAndEnds) {
  ASSERT_TRUE(LoadAndWait(*deck_, Track("twenty.wav", 20LL * kChunkBytes)));
  ASSERT_EQ(deck_->ChunkCount.load(), 20);
  for (int32_t i = 0; i < 20; ++i) deck_->LoadChunk(i);
  ASSERT_EQ(deck_->ChunksPresent(), 20);
  deck_->PinAround(10.5 * kChunkFrames);  // pins 9, 10, 11
  deck_->LoopActive = true;               // a seek ends any loop
  ASSERT_TRUE(test::SeekAndWait(*deck_, 600000));
  EXPECT_EQ(PresentChunks(*deck_), (std::vector<int32_t>{0, 1, 2, 3, 9, 10, 11, 18, 19}));
  EXPECT_EQ(deck_->Position.load(), 600000.0);
  EXPECT_FALSE(deck_->LoopActive.load());
  // Decoded around the target: chunk 2 holds the file's bytes.
  const auto* bytes = reinterpret_cast<const uint8_t*>(deck_->ChunkAt(2)->PCM.data());
  for (int64_t i = 0; i < kChunkBytes; i += 4099) ASSERT_EQ(bytes[i], test::PatternByte(2 * kChunkBytes + i));

  deck_->Held = true;  // seeks are ignored while the platter is held
  deck_->RequestSeek(5 * kChunkFrames);
  EXPECT_FALSE(deck_->SeekPending.load());
  deck_->Held = false;
}

TEST_F(Deck, PlayingForwardKeepsOnlyTheChunksAroundThePosition) {
  ASSERT_TRUE(LoadAndWait(*deck_, Track("play.wav", 20LL * kChunkBytes)));
  for (int32_t c = 0; c < 20; ++c) {
    deck_->Position = c * static_cast<double>(kChunkFrames) + 1000;
    ASSERT_TRUE(RunWorkerPass(*deck_));
    // Chunk 0 and, once decoded, the last two are pinned; the rest follow the position.
    std::set<int32_t> expected = {0};
    for (int32_t k : {18, 19}) {
      if (k <= c + 1) expected.insert(k);
    }
    for (int32_t k = c - 1; k <= c + 1; ++k) {
      if (k >= 0 && k < 20) expected.insert(k);
    }
    const auto present = PresentChunks(*deck_);
    EXPECT_EQ(std::set<int32_t>(present.begin(), present.end()), expected) << c;
  }
}

TEST_F(Deck, LoopsReleaseNothingAndSpeedZeroPreloadsBackwards) {
  ASSERT_TRUE(LoadAndWait(*deck_, Track("loop.wav", 12LL * kChunkBytes)));
  deck_->LoopActive = true;
  for (int32_t c = 0; c < 8; ++c) {
    deck_->Position = c * static_cast<double>(kChunkFrames);
    ASSERT_TRUE(RunWorkerPass(*deck_));
  }
  for (int32_t c = 0; c <= 8; ++c) EXPECT_NE(deck_->ChunkAt(c), nullptr) << c;
  deck_->LoopActive = false;

  ASSERT_TRUE(test::SeekAndWait(*deck_, 0));  // sweeps the far chunks away
  deck_->Speed = 0.0;
  deck_->Position = 5.5 * kChunkFrames;
  ASSERT_TRUE(RunWorkerPass(*deck_));
  EXPECT_NE(deck_->ChunkAt(5), nullptr);
  EXPECT_NE(deck_->ChunkAt(4), nullptr) << "speed 0 counts as backwards";
  EXPECT_EQ(deck_->ChunkAt(6), nullptr);
}

TEST_F(Deck, PreloadEndDecodesTheLastTwoChunks) {
  ASSERT_TRUE(LoadAndWait(*deck_, Track("end.wav", 7LL * kChunkBytes + 100)));
  EXPECT_EQ(deck_->ChunkAt(7), nullptr);
  deck_->PreloadEnd();
  ASSERT_NE(deck_->ChunkAt(7), nullptr);
  ASSERT_NE(deck_->ChunkAt(6), nullptr);
  EXPECT_EQ(deck_->ChunkAt(7)->BytesRead, 100);
  EXPECT_TRUE(deck_->ChunkAt(7)->Pinned.load());
  EXPECT_TRUE(deck_->ChunkAt(6)->Pinned.load());
}

TEST_F(Deck, FillDisplayCopiesOverviewPointsAndMarks) {
  ASSERT_TRUE(LoadAndWait(*deck_, Track("display.wav", 4LL * kChunkBytes)));
  deck_->LoadChunk(1);
  auto* chunk = const_cast<TChunk*>(deck_->ChunkAt(1));
  ASSERT_NE(chunk, nullptr);
  for (int i = 0; i < kDisplayLength; ++i) {
    chunk->Waveform[i] = static_cast<int16_t>(i);
    chunk->BeatEnvelope[i] = static_cast<int16_t>(i % 56);
  }
  chunk->Analysed = true;
  // At 10 s with 100 points the display covers overview points 1950..2049 (all in chunk 1).
  deck_->Position = 441000.0;
  deck_->CuePoint = 441000;
  deck_->LoopActive = true;
  deck_->LoopStartEff = 441000 - 11025;  // first frame shown
  deck_->LoopEndEff = 441000 + 2205;
  deck_->FillDisplay();
  for (int i = 0; i < 100; ++i) EXPECT_EQ(deck_->DisplayWave[i], 750 + i) << i;
  EXPECT_EQ(deck_->DisplayBeats[50], -5);
  EXPECT_EQ(deck_->DisplayBeats[0], -2);
  EXPECT_EQ(deck_->DisplayBeats[60], -2);
  EXPECT_EQ(deck_->DisplayBeats[1], (750 + 1) % 56);

  // Before the track and in absent or unanalysed chunks the display is 0.
  deck_->LoopActive = false;
  deck_->CuePoint = 0;
  deck_->Position = 100.0;
  deck_->FillDisplay();
  for (int i = 0; i < 48; ++i) EXPECT_EQ(deck_->DisplayWave[i], 0) << i;
  chunk->Analysed = false;
  deck_->Position = 441000.0;
  deck_->FillDisplay();
  EXPECT_EQ(deck_->DisplayWave[10], 0);
}

TEST_F(Deck, AReadErrorGivesASilentChunkAndTheWorkerLivesOn) {
  auto d = std::make_unique<test::TFakeDecoder>(InitPCMFormat(16, 2, 44100), 5 * kChunkBytes);
  d->throwFrom = 2 * kChunkBytes;  // chunks 2.. fail to read
  deck_->Provider->ReplaceDecoderForTests(TDecoderKind::MP3, std::move(d));
  ASSERT_TRUE(LoadAndWait(*deck_, "/virtual/track.mp3"));
  ASSERT_TRUE(deck_->LoadOk.load());
  ASSERT_TRUE(test::SeekAndWait(*deck_, 2 * kChunkFrames + 10));
  const TChunk* failed = deck_->ChunkAt(2);
  ASSERT_NE(failed, nullptr);
  EXPECT_EQ(failed->BytesRead, 0);
  for (int32_t i = 0; i < kChunkFrames * 2; i += 1013) ASSERT_EQ(failed->PCM[i], 0);
  // Still serving: a seek back decodes real audio.
  ASSERT_TRUE(test::SeekAndWait(*deck_, kChunkFrames + 10));
  const TChunk* good = deck_->ChunkAt(1);
  ASSERT_NE(good, nullptr);
  EXPECT_EQ(good->BytesRead, kChunkBytes);
  EXPECT_EQ(reinterpret_cast<const uint8_t*>(good->PCM.data())[7], test::TFakeDecoder::PatternAt(kChunkBytes + 7));
}

TEST_F(Deck, DestructionWithAStepInFlightWaitsForIt) {
  ASSERT_TRUE(LoadAndWait(*deck_, Track("x.wav", 3LL * kChunkBytes)));
  deck_->RequestSeek(2 * kChunkFrames);
  deck_.reset();  // must not free the deck under its worker (ASan would see it)
  SUCCEED();
}

}  // namespace
}  // namespace zonda
