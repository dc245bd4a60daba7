// Beat analysis and sync through the installed tools: zonda-analyse on
// generated tracks, and zonda-engine's sync, bpm, slowbpm and report
// commands, with the rendered master's kick trains measured.
#include <gtest/gtest.h>

#include <cstdio>
#include <sstream>
#include <string>

#include "tests/support/BeatTrack.h"
#include "tests/support/EngineSandbox.h"
#include "tests/support/TestFiles.h"

namespace zonda {
namespace {

using Sandbox = test::EngineSandbox;

void WriteBeats(const Sandbox& box, const std::string& name, const test::BeatRecipe& r) {
  test::WriteDeckWav(box.file(name), test::KickTrack(r));
}

TEST(ZondaAnalyse, PrintsTempoVotesAndNameOfEachFile) {
  Sandbox box;
  WriteBeats(box, "a.wav", {.seconds = 24.0, .bpm = 128.0, .firstBeatFrame = 500.0, .hatAmplitude = 0.1});
  WriteBeats(box, "b.wav", {.seconds = 18.0, .bpm = 141.0});
  WriteBeats(box, "slow.wav", {.seconds = 18.0, .bpm = 92.0});
  auto r = box.RunTool("zonda-analyse", "a.wav b.wav missing.wav");
  EXPECT_EQ(r.status, 1) << "a file that cannot be opened fails the run";
  EXPECT_EQ(r.out, "128\t4\ta.wav\n141\t3\tb.wav\n0\t0\tmissing.wav\n");
  EXPECT_NE(r.err.find("cannot open missing.wav"), std::string::npos) << r.err;
  r = box.RunTool("zonda-analyse", "--slow slow.wav");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "92\t3\tslow.wav\n");
  r = box.RunTool("zonda-analyse", "");
  EXPECT_EQ(r.status, 2);
}

struct DeckReport {
  int bpm = -1, votes = -1;
  double chunkBpm = -1, phase = -1;
};
struct Report {
  DeckReport deck[2];
  int beatDiff = 999;
};

Report ParseBeatReport(const std::string& out) {
  Report r;
  const auto line = out.rfind(" report A ");
  if (line == std::string::npos) return r;
  for (int d = 0; d < 2; ++d) {
    const auto at = out.find(" bpm ", d == 0 ? line : out.find(" B missing ", line));
    if (at == std::string::npos) return r;
    DeckReport& x = r.deck[d];
    std::sscanf(out.c_str() + at, " bpm %d votes %d chunkbpm %lf phase %lf", &x.bpm, &x.votes, &x.chunkBpm, &x.phase);
  }
  const auto diff = out.find(" beatdiff ", line);
  if (diff != std::string::npos) std::sscanf(out.c_str() + diff, " beatdiff %d", &r.beatDiff);
  return r;
}

// Deck A (124 BPM, kicks on the left) is synced to deck B (127.3 BPM, kicks
// on the right) while B plays; the master's two channels then carry the two
// kick trains, which must coincide within 1/32 beat for the next 20 s.
TEST(ZondaEngineBeats, SyncLinesUpTheKickTrainsAndReportShowsTheAnalysis) {
  Sandbox box;
  WriteBeats(box, "a.wav", {.seconds = 40.0, .bpm = 124.0, .firstBeatFrame = 3000.0, .channels = 1});
  WriteBeats(box, "b.wav", {.seconds = 40.0, .bpm = 127.3, .firstBeatFrame = 11000.0, .channels = 2});
  const auto r = box.Run("--offline --out mix.wav --master-only",
                         "at 0 load a a.wav\nat 0 load b b.wav\nat 0 play b\n"
                         "at 3 report\nat 3 sync a\nat 3.5 report\nat 25 end\n");
  ASSERT_EQ(r.status, 0) << r.err;
  const Report first = ParseBeatReport(r.out.substr(0, r.out.find('\n') + 1));
  EXPECT_EQ(first.deck[0].bpm, 124) << r.out;
  EXPECT_EQ(first.deck[1].bpm, 127) << r.out;
  EXPECT_NEAR(first.deck[1].chunkBpm, 127.3, 0.2) << r.out;
  EXPECT_EQ(first.beatDiff, 0) << "deck A stopped";
  const Report after = ParseBeatReport(r.out);
  EXPECT_LE(std::abs(after.beatDiff), 3) << r.out;

  const test::Wav w = test::ReadWav(box.file("mix.wav"));
  ASSERT_EQ(w.channels, 2);
  const auto a = test::KickOnsets(w.Channel(0, 0, 25));
  const auto b = test::KickOnsets(w.Channel(1, 0, 25));
  const double beat = test::BeatFramesOf(127.3);
  ASSERT_GT(a.size(), 40u);
  EXPECT_LT(test::WorstOnsetGapBeats(a, b, 4 * 44100, beat), 1.0 / 32);
}

TEST(ZondaEngineBeats, BpmLockAndSlowRangeCommands) {
  Sandbox box;
  WriteBeats(box, "s.wav", {.seconds = 24.0, .bpm = 96.0});
  const auto r = box.Run("--offline",
                         "at 0 load a s.wav\nat 0 slowbpm a on\nat 0.5 report\n"
                         "at 1 bpm a 100 lock\nat 1.5 report\nat 2 end\n");
  ASSERT_EQ(r.status, 0) << r.err;
  const Report slow = ParseBeatReport(r.out.substr(0, r.out.find('\n') + 1));
  EXPECT_NEAR(slow.deck[0].chunkBpm, 96.0, 0.2) << r.out;
  const Report locked = ParseBeatReport(r.out);
  // The lock steers the fine scan to lags around 100 BPM (99..101).
  EXPECT_GE(locked.deck[0].chunkBpm, 98.9) << r.out;
  EXPECT_LE(locked.deck[0].chunkBpm, 101.1) << r.out;
  const auto bad = box.Run("--offline", "at 0 bpm a 74\n");
  EXPECT_NE(bad.err.find("script.txt:1: bpm: expected a BPM from 75 to 150"), std::string::npos) << bad.err;
}

}  // namespace
}  // namespace zonda
