// The headless Auto-DJ: zonda-engine --autodj renders an unattended mix of a
// play list, measured from the rendered file alone. Each track's kicks sit in
// one channel only (left, right, left, ...), so the master's two channels
// carry the outgoing and the incoming kick trains apart during a crossfade.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/BeatTrack.h"
#include "tests/support/EngineSandbox.h"
#include "tests/support/TestFiles.h"

namespace zonda {
namespace {

// Kick onsets in one channel at any level: the first sample above 0.1 % of
// full scale at least 200 ms after the previous onset (the tracks are silent
// between kicks, so a faded kick is found as early as a loud one).
std::vector<int64_t> Onsets(const test::Wav& w, int ch) {
  std::vector<int64_t> out;
  int64_t last = -44100;
  for (int64_t f = 0; f < w.frames(); ++f) {
    if (std::abs(int(w.at(f, ch))) < 40 || f - last < 8820) continue;
    out.push_back(f);
    last = f;
  }
  return out;
}

struct Overlap {
  int64_t from = 0, to = 0;  // frames where both channels kick
  double worstBeats = 0;     // worst distance of an incoming kick to the nearest outgoing kick
};

// Stretches where both channels kick together: an incoming kick with an
// outgoing one within half a beat (the nearest kick of a steady train is never
// further; where it is, the outgoing train has faded below the threshold).
std::vector<Overlap> Overlaps(const std::vector<int64_t>& a, const std::vector<int64_t>& b, double beat) {
  std::vector<Overlap> out;
  for (int64_t t : b) {
    int64_t best = INT64_MAX;
    for (int64_t u : a) best = std::min(best, std::abs(u - t));
    if (best > beat / 2) continue;
    if (out.empty() || t - out.back().to > 4 * beat) out.push_back({t, t, 0});
    out.back().to = t;
    out.back().worstBeats = std::max(out.back().worstBeats, double(best) / beat);
  }
  return out;
}

TEST(ZondaEngineAutoDJ, MixesAPlayListBeatMatchedWithoutAGap) {
  test::EngineSandbox box;
  // Different tempos; a damaged file in the list is skipped.
  const double bpm[3] = {122.0, 128.0, 125.0};
  for (int i = 0; i < 3; ++i) {
    test::WriteDeckWav(box.file("t" + std::to_string(i) + ".wav"),
                       test::KickTrack({.seconds = 40.0, .bpm = bpm[i], .firstBeatFrame = 2000.0 + 3000.0 * i,
                                        .channels = i % 2 == 0 ? 1 : 2}));
  }
  std::ofstream(box.file("bad.wav")) << "this is not audio";
  std::ofstream(box.file("list.m3u")) << "#EXTM3U\nt0.wav\nt1.wav\nbad.wav\nt2.wav\n";

  const auto r = box.RunTool("zonda-engine", "--autodj list.m3u --offline --master-only --out mix.wav");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("autodj skip"), std::string::npos) << r.out;
  std::fprintf(stderr, "%s", r.out.c_str());
  const test::Wav w = test::ReadWav(box.file("mix.wav"));
  ASSERT_EQ(w.channels, 2);
  const auto left = Onsets(w, 0);
  const auto right = Onsets(w, 1);
  ASSERT_FALSE(left.empty());
  ASSERT_FALSE(right.empty());

  // The music never stops: from the first kick to the last, no pause longer
  // than one and a half beats of the slowest track.
  std::vector<int64_t> all = left;
  all.insert(all.end(), right.begin(), right.end());
  std::sort(all.begin(), all.end());
  int64_t longest = 0;
  for (size_t i = 1; i < all.size(); ++i) longest = std::max(longest, all[i] - all[i - 1]);
  EXPECT_LT(double(longest), 1.5 * test::BeatFramesOf(122.0)) << "longest pause " << longest / 44.1 << " ms";
  // All three songs play out: 3 x 40 s less two overlaps of about 20 s.
  EXPECT_GT(double(all.back() - all.front()) / 44100.0, 75.0);

  // Each transition overlaps the two trains, their kicks within 1/16 beat.
  const double beat = test::BeatFramesOf(125.0);
  const auto first = Overlaps(left, right, beat);   // t0 (left) into t1 (right)
  const auto second = Overlaps(right, left, beat);  // t1 into t2
  ASSERT_GE(first.size(), 1u);
  ASSERT_GE(second.size(), 1u);
  for (const auto& o : {first.front(), second.back()}) {
    std::fprintf(stderr, "overlap %.2f s to %.2f s: worst %.4f beat\n", double(o.from) / 44100, double(o.to) / 44100,
                 o.worstBeats);
    EXPECT_GT(double(o.to - o.from) / 44100.0, 3.0);
    EXPECT_LT(o.worstBeats, 1.0 / 16);
  }
  // The first transition starts twice the mixing time before the first song ends.
  const double firstEnds = 40.0;
  EXPECT_NEAR(double(right.front()) / 44100.0, firstEnds - 20.0, 1.0);
}

TEST(ZondaEngineAutoDJ, RefusesAListWithoutFilesAndBadMixingTimes) {
  test::EngineSandbox box;
  std::ofstream(box.file("empty.m3u")) << "#EXTM3U\nmissing.wav\n";
  test::WriteDeckWav(box.file("t.wav"), test::KickTrack({.seconds = 2.0}));
  std::ofstream(box.file("one.m3u")) << "t.wav\n";
  for (const char* args : {"--autodj empty.m3u --offline", "--autodj one.m3u --mixtime 1 --offline",
                           "--autodj one.m3u --mixtime 16 --offline", "--autodj one.m3u --offline script.txt"}) {
    EXPECT_EQ(box.RunTool("zonda-engine", args).status, 2) << args;
  }
}

}  // namespace
}  // namespace zonda
