// Tempo and beat detection of one chunk (TBeatAnalysis) on generated beats
// with a known tempo and phase, and its rules for candidates, votes and the
// fine scan.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "engine/BeatAnalysis.h"
#include "tests/support/BeatTrack.h"

namespace zonda {
namespace {

// One chunk of generated beats through the whole analysis.
struct Analysed {
  TChunkBeats beats;
  std::vector<int16_t> waveform = std::vector<int16_t>(kOverviewPoints);
};

Analysed AnalyseBeats(TBeatAnalysis& a, const test::BeatRecipe& recipe, const TTempoSettings& settings,
                      const TPreviousTempo& previous = {}) {
  const std::vector<int16_t> pcm = test::KickTrack(recipe);
  const int32_t frames = static_cast<int32_t>(std::min<size_t>(pcm.size() / 2, kMonoSamples));
  Analysed r;
  a.NewTrack();
  a.MakeMono(pcm.data(), frames);
  a.Overview(r.waveform.data(), frames);
  EXPECT_TRUE(a.BandPass(0, nullptr));
  a.Decimate();
  r.beats = a.DetectBeats(settings, previous, frames);
  return r;
}

// Distance of x from the nearest multiple of period (both in the same unit).
double CircularDistance(double x, double period) {
  const double m = std::fmod(std::fmod(x, period) + period, period);
  return std::min(m, period - m);
}

struct TempoCase {
  double bpm;
  bool slow;
  double firstBeatFrame;
};

class ChunkTempo : public ::testing::TestWithParam<TempoCase> {};

TEST_P(ChunkTempo, FindsTempoPhaseAndMarks) {
  const TempoCase c = GetParam();
  TBeatAnalysis a;
  test::BeatRecipe recipe{.seconds = 6.0, .bpm = c.bpm, .firstBeatFrame = c.firstBeatFrame, .hatAmplitude = 0.1};
  TTempoSettings settings;
  settings.slow = c.slow;
  const Analysed r = AnalyseBeats(a, recipe, settings);
  // One analysis point of lag is about 0.14 BPM at 128.
  EXPECT_NEAR(r.beats.ChunkBPM, c.bpm, 0.35);
  EXPECT_EQ(r.beats.BeatPeriod, r.beats.Lag);
  const int32_t expectedVote = c.bpm < 149.5 ? static_cast<int32_t>(std::lround(r.beats.ChunkBPM)) : 0;
  EXPECT_EQ(r.beats.Vote, expectedVote);
  EXPECT_EQ(r.beats.BeatOffset, r.beats.BeatPhase % 10);

  // The beat grid lies a fixed delay (the onset envelope's) after the kicks:
  // 170 analysis points, the lag the beat phase compensates.
  const double kickPoint = c.firstBeatFrame / 22.05;
  const double period = 120000.0 / c.bpm;
  EXPECT_LT(CircularDistance(r.beats.BeatPhase - kickPoint - 170.0, period), 25.0)
      << "phase " << r.beats.BeatPhase << " kick " << kickPoint;

  // Beat marks: one per beat in the overview, each 17 points (+-3) after a kick.
  int marks = 0;
  for (int32_t s = 0; s < kOverviewPoints; ++s) {
    if (r.beats.BeatEnvelope[s] != kBeatMark) {
      EXPECT_GE(r.beats.BeatEnvelope[s], 0);
      EXPECT_LT(r.beats.BeatEnvelope[s], kBeatMark);
      continue;
    }
    ++marks;
    EXPECT_LT(CircularDistance(s - kickPoint / 10.0 - 17.0, period / 10.0), 3.0) << "mark at " << s;
  }
  EXPECT_NEAR(marks, 6.0 * c.bpm / 60.0, 1.0);
  // The overview shows the kicks.
  EXPECT_GT(*std::max_element(r.waveform.begin(), r.waveform.end()), 2000);
}

INSTANTIATE_TEST_SUITE_P(Tempos, ChunkTempo,
                         ::testing::Values(TempoCase{128.0, false, 0.0}, TempoCase{128.0, false, 9000.0},
                                           TempoCase{123.4, false, 4000.0}, TempoCase{140.0, false, 15000.0},
                                           TempoCase{95.0, true, 2000.0}, TempoCase{110.5, true, 20000.0},
                                           TempoCase{80.0, true, 100.0}));

TEST(BeatAnalysis, SilentChunkHasNoTempoNoVoteAndAFlatEnvelope) {
  TBeatAnalysis a;
  std::vector<int16_t> silence(static_cast<size_t>(kMonoSamples) * 2, 0);
  a.NewTrack();
  a.MakeMono(silence.data(), kMonoSamples);
  ASSERT_TRUE(a.BandPass(0, nullptr));
  a.Decimate();
  const TChunkBeats first = a.DetectBeats({}, {});
  EXPECT_EQ(first.Choice, 160);
  EXPECT_EQ(first.FineLagFirst, 744);
  EXPECT_EQ(first.FineLagLast, 755);
  EXPECT_LT(first.Lag, kShortestBeatPeriod);
  EXPECT_EQ(first.ChunkBPM, 0.0);
  EXPECT_EQ(first.BeatPeriod, 0);
  EXPECT_EQ(first.Vote, 0);
  for (int16_t v : first.BeatEnvelope) EXPECT_EQ(v, 0);

  // A later silent chunk takes the previous chunk's tempo.
  a.MakeMono(silence.data(), kMonoSamples);
  ASSERT_TRUE(a.BandPass(1, nullptr));
  a.Decimate();
  const TChunkBeats later = a.DetectBeats({}, {true, 127.3, 943});
  EXPECT_EQ(later.ChunkBPM, 127.3);
  EXPECT_EQ(later.BeatPeriod, 943);
  EXPECT_EQ(later.Vote, 0);
}

TEST(BeatAnalysis, LockedTempoScansAroundTheStoredBPM) {
  TBeatAnalysis a;
  TTempoSettings settings;
  settings.locked = true;
  settings.storedBPM = 128;
  const Analysed r = AnalyseBeats(a, {.seconds = 6.0, .bpm = 131.0}, settings);
  EXPECT_EQ(r.beats.Choice, 128);
  EXPECT_EQ(r.beats.FineLagFirst, 929);
  EXPECT_EQ(r.beats.FineLagLast, 945);
  EXPECT_GE(r.beats.Lag, 929);
  EXPECT_LE(r.beats.Lag, 945);
}

TEST(BeatAnalysis, A154ChoiceInheritsThePreviousTempoWithoutVoting) {
  TBeatAnalysis a;
  TTempoSettings settings;
  settings.locked = true;
  settings.storedBPM = 154;
  const Analysed r = AnalyseBeats(a, {.seconds = 6.0, .bpm = 154.0}, settings, {true, 131.0, 916});
  EXPECT_EQ(r.beats.FineLagFirst, 773);
  EXPECT_EQ(r.beats.FineLagLast, 784);
  EXPECT_EQ(r.beats.ChunkBPM, 131.0);
  EXPECT_EQ(r.beats.BeatPeriod, 916);
  EXPECT_EQ(r.beats.Vote, 0);
}

// Bursts every `period` analysis points straight into the decimated buffer.
TChunkBeats DetectPulses(TBeatAnalysis& a, int32_t period, const TTempoSettings& settings) {
  a.NewTrack();
  auto d = a.Decimated();
  std::fill(d.begin(), d.end(), int16_t{0});
  for (int32_t p = 100; p < kAnalysisPoints; p += period) {
    for (int32_t k = 0; k < 30 && p + k < kAnalysisPoints; ++k) d[p + k] = static_cast<int16_t>(k % 2 ? 12000 : -12000);
  }
  return a.DetectBeats(settings, {});
}

TEST(BeatAnalysis, A149TempoVotesAnd150DoesNot) {
  TBeatAnalysis a;
  TTempoSettings locked;
  locked.locked = true;
  locked.storedBPM = 150;
  const TChunkBeats at150 = DetectPulses(a, 800, locked);
  EXPECT_EQ(at150.Lag, 800);
  EXPECT_EQ(at150.ChunkBPM, 150.0);
  EXPECT_EQ(at150.Vote, 0);
  locked.storedBPM = 149;
  const TChunkBeats at149 = DetectPulses(a, 805, locked);
  EXPECT_EQ(at149.Lag, 805);
  EXPECT_NEAR(at149.ChunkBPM, 149.07, 0.01);
  EXPECT_EQ(at149.Vote, 149);
}

TEST(BeatAnalysis, CandidatesKeepTempiAtLeast14PercentApartAndPreferSlower) {
  std::array<double, kTempoRecords> e{};
  auto set = [&](int bpm, double energy) { e[static_cast<size_t>(bpm - kTempoLow)] = energy; };
  set(152, 10.0);  // strongest, fast
  set(150, 9.0);   // within 1.14 of 152: dropped
  set(130, 8.0);
  set(126, 7.0);   // within 1.14 of 130: dropped
  set(158, 6.0);   // at or above 155: never a candidate after the first
  const std::vector<int32_t> c = TBeatAnalysis::Candidates(e, false);
  ASSERT_GE(c.size(), 2u);
  // 152 is above 150 and changes place with the slower 130.
  EXPECT_EQ(c[0], 130);
  EXPECT_EQ(c[1], 152);
  for (int32_t b : c) {
    EXPECT_NE(b, 150);
    EXPECT_NE(b, 126);
    EXPECT_NE(b, 158);
  }
  // Outside the slow range every BPM is 0 and below 75 nothing is scanned.
  std::array<double, kTempoRecords> slow{};
  slow[static_cast<size_t>(90 - kTempoLow)] = 5.0;
  slow[static_cast<size_t>(140 - kTempoLow)] = 50.0;  // outside 75..124: ignored
  EXPECT_EQ(TBeatAnalysis::Candidates(slow, true).front(), 90);
}

TEST(BeatAnalysis, TempoChoiceRules) {
  TTempoSettings none;
  // The slower of a 4:3 pair: 160 and 120.
  EXPECT_EQ(TBeatAnalysis::ChooseTempo({159, 120}, none), 120);
  EXPECT_EQ(TBeatAnalysis::ChooseTempo({140, 120}, none), 140);
  // Sticking with the track's tempo once it has more than two votes.
  TTempoSettings voted;
  voted.detectedBPM = 121;
  voted.detectedVotes = 3;
  EXPECT_EQ(TBeatAnalysis::ChooseTempo({140, 120}, voted), 120);
  voted.detectedVotes = 2;
  EXPECT_EQ(TBeatAnalysis::ChooseTempo({140, 120}, voted), 140);
  // The lock wins; nothing usable gives 160.
  TTempoSettings locked;
  locked.locked = true;
  locked.storedBPM = 128;
  EXPECT_EQ(TBeatAnalysis::ChooseTempo({140, 120}, locked), 128);
  EXPECT_EQ(TBeatAnalysis::ChooseTempo({0}, none), 160);
  EXPECT_EQ(TBeatAnalysis::ChooseTempo({}, none), 160);
  locked.storedBPM = 0;
  EXPECT_EQ(TBeatAnalysis::ChooseTempo({140}, locked), 160);
}

TEST(BeatAnalysis, PickBPMTakesTheMostVotesAndTheLowestAmongEquals) {
  std::array<int32_t, kTempoRecords> h{};
  h[128 - kTempoLow] = 3;
  h[134 - kTempoLow] = 3;
  EXPECT_EQ(TBeatAnalysis::PickBPM(h).bpm, 128);
  EXPECT_EQ(TBeatAnalysis::PickBPM(h).votes, 3);
  h[134 - kTempoLow] = 4;
  EXPECT_EQ(TBeatAnalysis::PickBPM(h).bpm, 134);
}

TEST(BeatAnalysis, ShortLastChunkReadsOnlyItsOwnFrames) {
  TBeatAnalysis a;
  // A loud chunk first fills the work buffers.
  const auto loud = test::KickTrack({.seconds = 6.0, .bpm = 128.0, .noiseAmplitude = 0.3});
  a.MakeMono(loud.data(), kMonoSamples);
  // Then a last chunk of one and a half seconds.
  const auto tail = test::KickTrack({.seconds = 1.5, .bpm = 128.0});
  const int32_t frames = static_cast<int32_t>(tail.size() / 2);
  a.MakeMono(tail.data(), frames);
  auto mono = a.Mono();
  EXPECT_TRUE(std::all_of(mono.begin() + frames, mono.end(), [](int16_t v) { return v == 0; }));
  std::vector<int16_t> wave(kOverviewPoints, -1);
  a.Overview(wave.data(), frames);
  const int32_t own = static_cast<int32_t>(std::ceil(frames / 220.5));
  EXPECT_TRUE(std::all_of(wave.begin() + own, wave.end(), [](int16_t v) { return v == 0; }));
  ASSERT_TRUE(a.BandPass(7, nullptr));
  a.Decimate();
  const TChunkBeats r = a.DetectBeats({}, {}, frames);
  EXPECT_TRUE(std::all_of(r.BeatEnvelope.begin() + own, r.BeatEnvelope.end(), [](int16_t v) { return v == 0; }));
}

TEST(BeatAnalysis, BandPassStopsWhenAsked) {
  TBeatAnalysis a;
  int asked = 0;
  EXPECT_FALSE(a.BandPass(0, [&] { return ++asked > 3; }));
  EXPECT_EQ(asked, 4);
  asked = 0;
  EXPECT_TRUE(a.BandPass(0, [&] { return ++asked > 100; }));
  EXPECT_EQ(asked, 30);
}

}  // namespace
}  // namespace zonda
