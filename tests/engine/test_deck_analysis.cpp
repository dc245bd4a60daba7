// Beat and tempo analysis through real decks: generated tracks with a known
// tempo and phase, written as WAV files, loaded, decoded and analysed by the
// deck's worker.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "engine/BeatAnalysis.h"
#include "engine/SoundSource.h"
#include "engine/TrackAnalysis.h"
#include "tests/engine/DeckTestSupport.h"
#include "tests/support/BeatTrack.h"

namespace zonda {
namespace {

double CircularDistance(double x, double period) {
  const double m = std::fmod(std::fmod(x, period) + period, period);
  return std::min(m, period - m);
}

std::string WriteBeats(const test::TempDir& dir, const std::string& name, const test::BeatRecipe& recipe) {
  const std::string file = dir.file(name);
  test::WriteDeckWav(file, test::KickTrack(recipe));
  return file;
}

TEST(DeckAnalysis, DetectsTempoMarksAndPhaseOfA128Track) {
  test::IsolatedProgramDir program;
  const test::BeatRecipe recipe{.seconds = 30.0, .bpm = 128.0, .firstBeatFrame = 3000.0, .hatAmplitude = 0.15};
  const std::string file = WriteBeats(program.dir(), "beats128.wav", recipe);
  TSoundSource deck(true);
  const TTrackTempo t = AnalyseTrack(deck, file, false);
  ASSERT_TRUE(t.Opened);
  EXPECT_EQ(t.Chunks, 5);
  EXPECT_EQ(t.Analysed, 5);
  EXPECT_EQ(t.BPM, 128);
  EXPECT_EQ(t.Votes, 5);

  const double beat = test::BeatFramesOf(128.0);
  for (int32_t frame : {300000, 441000 + 5000, 700000}) {
    ASSERT_TRUE(test::SeekAndWait(deck, frame));
    ASSERT_TRUE(test::WaitUntil([&] { return deck.ChunkAnalysed(frame / kChunkFrames); }));
    EXPECT_NEAR(deck.CurrentBPM(), 128.0, 0.3);
    const TChunk* chunk = deck.ChunkAt(frame / kChunkFrames);
    ASSERT_NE(chunk, nullptr);
    EXPECT_NEAR(chunk->ChunkBPM.load(), 128.0, 0.3);
    // Beat marks 17 overview points after each kick.
    const int32_t chunkStart = frame / kChunkFrames * kChunkFrames;
    int marks = 0;
    for (int32_t s = 0; s < kDisplayLength; ++s) {
      if (chunk->BeatEnvelope[s] != kBeatMark) continue;
      ++marks;
      const double kickPoint = (chunkStart - recipe.firstBeatFrame) / 220.5;
      EXPECT_LT(CircularDistance(s + kickPoint - 17.0, beat / 220.5), 3.0) << "mark " << s;
    }
    EXPECT_GE(marks, 12);
    // The phase: the part of the beat passed at the position.
    const TSoundSource::TBeatPhase p = deck.GetBeatPhase();
    EXPECT_EQ(p.Frame, frame);
    EXPECT_EQ(p.BeatFrames, std::lround(2646000.0 / deck.CurrentBPM()));
    const double known = std::fmod(frame - recipe.firstBeatFrame, beat) / beat;
    EXPECT_LT(CircularDistance(p.Phase - known, 1.0), 0.04) << "frame " << frame << " phase " << p.Phase;
  }
}

TEST(DeckAnalysis, SlowRangeFindsASlowTrackAndSwitchingRestartsTheAnalysis) {
  test::IsolatedProgramDir program;
  const std::string file = WriteBeats(program.dir(), "beats95.wav", {.seconds = 24.0, .bpm = 95.0, .firstBeatFrame = 1000.0});
  TSoundSource deck(true);
  const TTrackTempo slow = AnalyseTrack(deck, file, true);
  EXPECT_EQ(slow.BPM, 95);
  EXPECT_EQ(slow.Votes, 4);
  EXPECT_TRUE(deck.SlowBPM.load());
  // The switch clears the results, the votes and the lock.
  deck.BPMLocked.store(true);
  deck.SetSlowBPM(false);
  EXPECT_FALSE(deck.BPMLocked.load());
  EXPECT_EQ(deck.DetectedBPM.load(), 0);
  const TTrackTempo normal = AnalyseTrack(deck, file, false);
  EXPECT_GE(normal.BPM, 120);  // a multiple in the normal range, never 95
}

TEST(DeckAnalysis, LockedBPMSteersEveryChunk) {
  test::IsolatedProgramDir program;
  const std::string file = WriteBeats(program.dir(), "beats126.wav", {.seconds = 12.0, .bpm = 126.0});
  TSoundSource deck(true);
  ASSERT_TRUE(AnalyseTrack(deck, file, false).Opened);
  deck.EditBPM(false, 128, true);
  EXPECT_TRUE(deck.BPMLocked.load());
  EXPECT_EQ(deck.StoredBPM.load(), 128);
  ASSERT_TRUE(test::WaitUntil([&] { return deck.ChunkAnalysed(0); }));
  const double bpm = deck.ChunkAt(0)->ChunkBPM.load();
  EXPECT_GE(bpm, 120000.0 / 945);
  EXPECT_LE(bpm, 120000.0 / 929);
}

TEST(DeckAnalysis, CurrentBPMIs120WithoutTempoAnd0WhileSeeking) {
  test::IsolatedProgramDir program;
  test::WriteDeckWav(program.dir().file("silence.wav"), std::vector<int16_t>(441000 * 2, 0));
  TSoundSource deck(true);
  const TTrackTempo t = AnalyseTrack(deck, program.dir().file("silence.wav"), false);
  EXPECT_EQ(t.Analysed, 2);
  EXPECT_EQ(t.Votes, 0);
  EXPECT_EQ(deck.ChunkAt(0)->ChunkBPM.load(), 0.0);
  EXPECT_EQ(deck.CurrentBPM(), 120.0);
  // No mark within 4/3 beat: phase 1.
  EXPECT_EQ(deck.GetBeatPhase().Phase, 1.0);
  deck.SeekPending.store(true);
  EXPECT_EQ(deck.CurrentBPM(), 0.0);
  EXPECT_EQ(deck.GetBeatPhase().BeatFrames, 22050);
  deck.SeekPending.store(false);
}

TEST(DeckAnalysis, ShortLastChunkShowsNothingPastTheTrack) {
  test::IsolatedProgramDir program;
  // A loud track first, so the deck's work buffers hold its samples.
  const std::string loud = WriteBeats(program.dir(), "loud.wav", {.seconds = 18.0, .bpm = 128.0, .noiseAmplitude = 0.4});
  // Then 13 s: the last chunk holds one second.
  const std::string shortTrack = WriteBeats(program.dir(), "short.wav", {.seconds = 13.0, .bpm = 128.0});
  TSoundSource deck(true);
  ASSERT_EQ(AnalyseTrack(deck, loud, false).Analysed, 3);
  const TTrackTempo t = AnalyseTrack(deck, shortTrack, false);
  ASSERT_EQ(t.Analysed, 3);
  const TChunk* last = deck.ChunkAt(2);
  ASSERT_NE(last, nullptr);
  const int32_t own = static_cast<int32_t>(std::ceil((13 * 44100 - 2 * kChunkFrames) / 220.5));
  for (int32_t s = own; s < kDisplayLength; ++s) {
    EXPECT_EQ(last->Waveform[s], 0) << s;
    EXPECT_EQ(last->BeatEnvelope[s], 0) << s;
  }
  EXPECT_EQ(t.BPM, 128);
}

}  // namespace
}  // namespace zonda
