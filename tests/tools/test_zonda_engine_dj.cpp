// zonda-engine end to end, for what a DJ hits first. Each run is checked
// against an expectation made without the engine: a real-time recording
// against the offline render of the same script, sample for sample; one deck
// against the other and against an independent decoder (ffmpeg, mpg123,
// oggdec); tones by a Goertzel filter; times by counting frames.
#include <gtest/gtest.h>

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <numbers>
#include <string>
#include <vector>

#include "tests/support/EngineSandbox.h"
#include "tests/support/Require.h"
#include "tests/support/TestFiles.h"
#include "tests/support/ToneAnalysis.h"

namespace zonda {
namespace {

using test::EngineSandbox;
using test::FullScaleDb;
using test::LongestSilenceAfterSoundMs;
using test::MissingAudio;
using test::ParseReport;
using test::ReadWav;
using test::ToneDb;
using test::Wav;

constexpr int kRate = 44100;
constexpr int kBlock = 512;  // zonda-engine's offline block

// The time of offline block k: commands at these times take effect exactly at
// that block, so two decks can do the same thing a whole number of blocks apart.
std::string BlockTime(int64_t k) {
  char text[32];
  std::snprintf(text, sizeof text, "%.6f", double(k * kBlock) / kRate);
  return text;
}

// Deck-format stereo PCM from a per-frame function of the frame index.
template <class F>
std::vector<int16_t> MakeTrack(int64_t frames, F&& frame) {
  std::vector<int16_t> pcm(size_t(frames) * 2);
  for (int64_t k = 0; k < frames; ++k) {
    double l = 0, r = 0;
    frame(k, l, r);
    pcm[size_t(2 * k)] = static_cast<int16_t>(std::lround(std::clamp(l, -1.0, 1.0) * 32767));
    pcm[size_t(2 * k + 1)] = static_cast<int16_t>(std::lround(std::clamp(r, -1.0, 1.0) * 32767));
  }
  return pcm;
}

// Music-like material where every stretch differs from every other: two tones,
// a slow sweep and noise, different on the two channels.
std::vector<int16_t> VariedTrack(double seconds, uint32_t seed) {
  uint32_t state = seed;
  auto noise = [&] {
    state = state * 1664525u + 1013904223u;
    return double(int32_t(state >> 8) - (1 << 23)) / double(1 << 23);
  };
  return MakeTrack(int64_t(seconds * kRate), [&](int64_t k, double& l, double& r) {
    const double t = double(k) / kRate;
    const double sweep = std::sin(2 * std::numbers::pi * (200 * t + 15 * t * t));  // 200 Hz rising 30 Hz a second
    const double n = noise();
    l = 0.25 * std::sin(2 * std::numbers::pi * 440 * t) + 0.2 * sweep + 0.1 * n;
    r = 0.25 * std::sin(2 * std::numbers::pi * 1210 * t) + 0.2 * sweep - 0.1 * n;
  });
}

// A compressed copy of a deck-format WAV made by a Debian encoder.
struct Encoder {
  const char* extension;
  const char* command;  // %IN and %OUT
};
constexpr Encoder kMp3{"mp3", "lame --quiet -q 9 -b 320 '%IN' '%OUT'"};
constexpr Encoder kFlac{"flac", "ffmpeg -v error -y -i '%IN' -c:a flac '%OUT'"};
constexpr Encoder kOgg{"ogg", "oggenc -Q -q 6 -o '%OUT' '%IN'"};

std::string Replace(std::string text, const std::string& what, const std::string& with) {
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + with.size())) {
    text.replace(at, what.size(), with);
  }
  return text;
}

// Encodes in.wav into out; the test fails when the encoder does.
::testing::AssertionResult Encode(const Encoder& e, const std::string& in, const std::string& out) {
  const std::string cmd = Replace(Replace(e.command, "%IN", in), "%OUT", out);
  if (test::Run(cmd) != 0) return ::testing::AssertionFailure() << "failed: " << cmd;
  return ::testing::AssertionSuccess();
}

int64_t FirstSoundingFrame(const Wav& w) {
  for (int64_t f = 0; f < w.frames(); ++f) {
    for (int ch = 0; ch < w.channels; ++ch) {
      if (w.at(f, ch) != 0) return f;
    }
  }
  return -1;
}

// ---------------------------------------------------------------------------
// Loading into one deck while the other plays: the playing deck's output in
// real time (null device, recorded) equals its offline render sample for
// sample; no block of it is missing or silent.

TEST(ZondaEngineDj, LoadingBigTracksBesideAPlayingDeckLeavesItsOutputWhole) {
  ZONDA_REQUIRE_TOOLS("lame", "ffmpeg");
  EngineSandbox box;
  test::WriteDeckWav(box.file("a.wav"), VariedTrack(30, 7));
  // An eight-minute 320 kbit/s MP3 (about 19 MB) and a three-minute FLAC.
  test::WriteDeckWav(box.file("long.wav"), VariedTrack(480, 11));
  ASSERT_TRUE(Encode(kMp3, box.file("long.wav"), box.file("big.mp3")));
  test::WriteDeckWav(box.file("mid.wav"), VariedTrack(180, 13));
  ASSERT_TRUE(Encode(kFlac, box.file("mid.wav"), box.file("big.flac")));

  // Deck A crosses from its first chunk into its second (6 s) while deck B loads.
  const std::string script =
      "at 0 load a a.wav\nat 0 crossfader 0\nat 0.2 record start rec.wav\nat 0.5 play a\n"
      "at 1.0 load b big.mp3\nat 1.1 load b big.flac\nat 5.5 load b big.mp3\n"
      "at 8.0 record stop\nat 8.1 report\nat 8.2 end\n";
  const auto live = box.Run("--device null --verbose", script);
  ASSERT_EQ(live.status, 0) << live.err;
  const Wav rt = ReadWav(box.file("rec.wav"));
  const auto offline = box.Run("--offline --verbose", script);
  ASSERT_EQ(offline.status, 0) << offline.err;
  const Wav ref = ReadWav(box.file("rec.wav"));

  // Deck B took each track, whole.
  for (const auto* run : {&live, &offline}) {
    EXPECT_NE(run->err.find("deck B: loaded big.mp3, 480 s"), std::string::npos) << run->err;
    EXPECT_NE(run->err.find("deck B: loaded big.flac, 180 s"), std::string::npos) << run->err;
  }
  const MissingAudio missing = ParseReport(live.out, 'A');
  EXPECT_EQ(missing.blocks, 0) << live.out;

  ASSERT_EQ(rt.channels, 2);
  ASSERT_EQ(ref.channels, 2);
  const int64_t rtStart = FirstSoundingFrame(rt), refStart = FirstSoundingFrame(ref);
  ASSERT_GE(rtStart, 0) << "the real-time recording never sounds";
  ASSERT_GE(refStart, 0);
  const int64_t overlap = std::min(rt.frames() - rtStart, ref.frames() - refStart);
  // About 7.5 s of deck A in each; a busy machine may shorten the real-time one.
  ASSERT_GT(overlap, 5 * kRate) << "real time " << rt.frames() << " frames, offline " << ref.frames();
  int64_t mismatched = 0, firstMismatch = -1, silentRun = 0, longestSilentRun = 0;
  int maxDiff = 0;
  for (int64_t k = 0; k < overlap; ++k) {
    bool same = true, silent = true;
    for (int ch = 0; ch < 2; ++ch) {
      const int a = rt.at(rtStart + k, ch), b = ref.at(refStart + k, ch);
      maxDiff = std::max(maxDiff, std::abs(a - b));
      same = same && a == b;
      silent = silent && a == 0;
    }
    if (!same) {
      if (firstMismatch < 0) firstMismatch = k;
      ++mismatched;
    }
    silentRun = silent ? silentRun + 1 : 0;
    longestSilentRun = std::max(longestSilentRun, silentRun);
  }
  EXPECT_EQ(mismatched, 0) << "first at " << double(firstMismatch) / kRate << " s after the start of deck A; largest "
                           << "difference " << maxDiff << "\n" << live.err;
  EXPECT_LT(longestSilentRun, 32) << "frames of silence in a row";
}

// ---------------------------------------------------------------------------
// The same file on both decks at once: deck B, started and sought 100 blocks
// after deck A, plays exactly what deck A played (headphones split: deck A on
// the left ear, deck B on the right), and deck A plays what an independent
// decoder reads from the file.

struct SameFileCase {
  Encoder encoder;
  const char* reference;  // command writing raw 16-bit stereo of %IN to %OUT
};

// Signal to difference against the independent decode: the flat equaliser's
// ripple alone leaves about 52 dB.
constexpr double kMatchDb = 45;

// The deck's headphone mono of a stereo frame, from the independent decode:
// each channel at 0.9 of full scale, then the mean.
std::vector<double> ReferenceMono(const std::vector<int16_t>& pcm) {
  std::vector<double> mono(pcm.size() / 2);
  for (size_t f = 0; f < mono.size(); ++f) {
    const double l = std::lround(0.9 * pcm[2 * f]), r = std::lround(0.9 * pcm[2 * f + 1]);
    mono[f] = std::lround(l / 2 + r / 2);
  }
  return mono;
}

TEST(ZondaEngineDj, TheSameFileOnBothDecksPlaysTheSame) {
  const SameFileCase cases[] = {
      {kMp3, "mpg123 -q --no-gapless -s '%IN' > '%OUT'"},
      {kFlac, "ffmpeg -v error -y -i '%IN' -f s16le -ac 2 '%OUT'"},
      {kOgg, "oggdec -Q -R -o '%OUT' '%IN'"},
  };
  ZONDA_REQUIRE_TOOLS("lame", "ffmpeg", "oggenc", "mpg123", "oggdec");
  EngineSandbox box;
  test::WriteDeckWav(box.file("source.wav"), VariedTrack(40, 21));
  constexpr int64_t kLag = 100;  // deck B runs 100 blocks behind deck A
  for (const SameFileCase& c : cases) {
    SCOPED_TRACE(c.encoder.extension);
    const std::string file = std::string("track.") + c.encoder.extension;
    ASSERT_TRUE(Encode(c.encoder, box.file("source.wav"), box.file(file)));
    const std::string script = "at 0 load a " + file + "\nat 0 load b " + file + "\nat 0 phones split\n" +
                               "at " + BlockTime(40) + " play a\nat " + BlockTime(40 + kLag) + " play b\n" +
                               "at " + BlockTime(600) + " seek a 30\nat " + BlockTime(600 + kLag) + " seek b 30\n" +
                               "at " + BlockTime(1100) + " end\n";
    const auto r = box.Run("--offline --out mix.wav", script);
    ASSERT_EQ(r.status, 0) << r.err;
    const Wav w = ReadWav(box.file("mix.wav"));
    ASSERT_EQ(w.channels, 4);
    ASSERT_EQ(w.frames(), 1100 * kBlock);

    // Deck B against deck A, kLag blocks earlier: equal, frame for frame.
    int64_t differing = 0, firstDiffering = -1;
    for (int64_t f = (40 + kLag) * kBlock; f < w.frames(); ++f) {
      if (w.at(f, 3) != w.at(f - kLag * kBlock, 2)) {
        if (firstDiffering < 0) firstDiffering = f;
        ++differing;
      }
    }
    EXPECT_EQ(differing, 0) << "first at " << double(firstDiffering) / kRate << " s";
    const auto deckA = w.Frames(2, 100 * kBlock, 500 * kBlock);
    EXPECT_NEAR(ToneDb(deckA, 440), FullScaleDb(0.9 * 0.25 / 2 * 32767), 1.0) << "deck A sounds";
    EXPECT_NEAR(ToneDb(deckA, 1210), FullScaleDb(0.9 * 0.25 / 2 * 32767), 1.0);

    // Deck A from its start to the seek (6.5 s, across its first chunk
    // boundary) against the independent decode, found by its offset.
    const std::string raw = box.file("reference.raw");
    ASSERT_EQ(test::Run(Replace(Replace(c.reference, "%IN", box.file(file)), "%OUT", raw)), 0) << c.reference;
    const auto bytes = test::ReadAll(raw);
    std::vector<int16_t> pcm(bytes.size() / 2);
    std::memcpy(pcm.data(), bytes.data(), pcm.size() * 2);
    const std::vector<double> expected = ReferenceMono(pcm);
    ASSERT_GT(expected.size(), size_t(35 * kRate));
    int64_t onset = 40 * kBlock;
    while (onset < w.frames() && w.at(onset, 2) == 0) ++onset;
    // Where in the decode deck A's first 2048 frames are: the deck starts at its
    // cue (here the file's start), the codec adds its own delay.
    int64_t bestOffset = 0;
    double bestError = 1e300;
    for (int64_t offset = -4096; offset <= 4096; ++offset) {
      double error = 0;
      for (int64_t k = 0; k < 2048 && error < bestError; ++k) {
        const int64_t p = offset + k;
        const double e = p >= 0 && p < int64_t(expected.size()) ? expected[size_t(p)] : 0.0;
        error += std::fabs(w.at(onset + k, 2) - e);
      }
      if (error < bestError) bestError = error, bestOffset = offset;
    }
    // The flat equaliser is not bit-transparent (its ripple is a few
    // hundredths of a dB), so the match is measured as a signal-to-error
    // ratio over the whole stretch, and in every 10 ms the error must stay
    // 10 dB below that or within 2 steps (quiet stretches).
    const double windowShare = std::pow(10.0, -(kMatchDb - 10) / 20);
    double signal = 0, error = 0, windowSignal = 0, windowError = 0;
    int64_t compared = 0, badWindows = 0, firstBad = -1;
    for (int64_t f = onset; f < 600 * kBlock; ++f, ++compared) {
      const int64_t p = bestOffset + (f - onset);
      const double e = p >= 0 && p < int64_t(expected.size()) ? expected[size_t(p)] : 0.0;
      const double d = w.at(f, 2) - e;
      windowSignal += e * e;
      windowError += d * d;
      if ((compared + 1) % 441 == 0) {
        if (std::sqrt(windowError / 441) > 2 + std::sqrt(windowSignal / 441) * windowShare) {
          if (firstBad < 0) firstBad = p;
          ++badWindows;
        }
        signal += windowSignal, error += windowError;
        windowSignal = windowError = 0;
      }
    }
    const double wholeDb = 10 * std::log10((signal + 1) / (error + 1));
    std::printf("%s: deck A against the independent decode: offset %" PRId64 " frames, %.1f dB\n",
                c.encoder.extension, bestOffset, wholeDb);
    EXPECT_GT(compared, 6 * kRate);
    EXPECT_GT(wholeDb, kMatchDb);
    EXPECT_EQ(badWindows, 0) << "10 ms stretches that do not match, the first at " << double(firstBad) / kRate
                             << " s of the decode";
  }
}

// ---------------------------------------------------------------------------
// A seek during real-time play: the silence that follows is short. Each
// format's deck is sought four times into parts of the track not decoded yet;
// the recording's longest silent run after PLAY and the deck's own report
// must stay under 250 ms. The worst figure is printed.
TEST(ZondaEngineDj, SilenceAfterASeekInRealTimeIsShort) {
  ZONDA_REQUIRE_TOOLS("lame", "ffmpeg", "oggenc");
  EngineSandbox box;
  test::WriteTones(box.file("track.wav"), 60, {{1000, 0.5}});
  const Encoder* encoders[] = {nullptr, &kMp3, &kFlac, &kOgg};
  double worst = 0;
  std::string worstFormat;
  for (const Encoder* e : encoders) {
    const std::string file = e ? std::string("track.") + e->extension : "track.wav";
    SCOPED_TRACE(file);
    if (e) {
      ASSERT_TRUE(Encode(*e, box.file("track.wav"), box.file(file)));
    }
    // Chunks of 6 s: the seeks land in chunks 6, 2, 8 and 4, none decoded yet.
    const auto r = box.Run("--device null",
                           "at 0 load a " + file + "\nat 0 crossfader 0\nat 0.2 record start rec.wav\nat 0.5 play a\n"
                           "at 1.5 seek a 40\nat 2.5 seek a 15\nat 3.5 seek a 52\nat 4.5 seek a 27\n"
                           "at 5.5 record stop\nat 5.6 report\nat 5.7 end\n");
    ASSERT_EQ(r.status, 0) << r.err;
    const Wav rec = ReadWav(box.file("rec.wav"));
    ASSERT_EQ(rec.channels, 2);
    ASSERT_GT(rec.frames(), 4 * kRate);
    const double silence = LongestSilenceAfterSoundMs(rec, 0, 5);
    const MissingAudio missing = ParseReport(r.out, 'A');
    ASSERT_GE(missing.blocks, 0) << r.out;
    std::printf("%s: longest silence after a seek %.0f ms in the recording, %.1f ms by the deck's report\n",
                file.c_str(), silence, missing.longestMs);
    EXPECT_GE(silence, 0.0) << "the recording never sounds";
    EXPECT_LE(silence, 250.0);
    EXPECT_LE(missing.longestMs, 250.0) << r.out;
    // Still the tone after the last seek, at its level.
    EXPECT_NEAR(ToneDb(rec.Frames(0, rec.frames() - kRate / 2, rec.frames()), 1000), FullScaleDb(0.9 * 0.5 * 32767),
                0.5);
    for (double figure : {silence, missing.longestMs}) {
      if (figure > worst) worst = figure, worstFormat = file;
    }
  }
  std::printf("worst silence after a seek: %.1f ms (%s)\n", worst, worstFormat.c_str());
}

// ---------------------------------------------------------------------------
// Reverse play reaching the start of the track: the deck stops at frame 0.
// Forwards for F frames and back again takes F frames at any pitch, with and
// without key lock (the deck reads |speed| source frames per output frame);
// then silence, exactly, with nothing of the track's end (a wrap) and no noise.

TEST(ZondaEngineDj, ReversePlayStopsAtTheStartOfTheTrack) {
  EngineSandbox box;
  // 600 Hz for the first 3 s, 1000 Hz in the middle, 3000 Hz in the last 3 s.
  test::WriteDeckWav(box.file("t.wav"), MakeTrack(12 * kRate, [](int64_t k, double& l, double& r) {
                       const double t = double(k) / kRate;
                       const double hz = t < 3 ? 600 : (t < 9 ? 1000 : 3000);
                       l = r = 0.5 * std::sin(2 * std::numbers::pi * hz * t);
                     }));
  struct Case {
    bool keyLock;
    double pitchPercent;
  };
  const Case cases[] = {{false, 0}, {true, 0}, {false, 8}, {true, -8}, {true, 24}};
  constexpr int64_t kPlay = 43, kReverse = 129;  // blocks: forwards for 86 blocks (1.0 s)
  for (const Case& c : cases) {
    const std::string keyLock = c.keyLock ? "on" : "off";
    SCOPED_TRACE("key lock " + keyLock + ", pitch " + std::to_string(c.pitchPercent));
    const auto r = box.Run("--offline --out mix.wav --master-only",
                           "at 0 load a t.wav\nat 0 crossfader 0\nat 0 keylock " + keyLock +
                               "\nat 0 pitch a " + std::to_string(c.pitchPercent) + "\nat " + BlockTime(kPlay) +
                               " play a\nat " + BlockTime(kReverse) + " direction a reverse\nat 5 end\n");
    ASSERT_EQ(r.status, 0) << r.err;
    const Wav w = ReadWav(box.file("mix.wav"));
    ASSERT_EQ(w.channels, 2);
    const double speed = 1 + c.pitchPercent / 100;
    const double heardHz = c.keyLock ? 600 : 600 * speed;
    EXPECT_NEAR(test::PeakHz(w.Channel(0, 1.6, 2.2), heardHz - 60, heardHz + 60), heardHz, 1.0) << "backwards";

    // The last frame that sounds, counted from the first.
    int64_t first = -1, last = -1;
    for (int64_t f = 0; f < w.frames(); ++f) {
      if (w.at(f, 0) != 0 || w.at(f, 1) != 0) {
        if (first < 0) first = f;
        last = f;
      }
    }
    ASSERT_GE(first, 0);
    // Forwards (kReverse - kPlay) blocks and back the same distance at the
    // same speed. Without key lock the turn is a 2000-frame speed ramp through
    // zero that covers no distance; key lock turns at once. The stop's fade
    // adds up to 441 frames; the pitch ramp at PLAY (plain pitch, up to 6000
    // frames) or key lock's splices (each jump is chosen one 3528-frame
    // interval ahead) shift the stop by less than 3528 x |speed - 1| / speed.
    const int64_t expected = 2 * (kReverse - kPlay) * kBlock + (c.keyLock ? 0 : 2000);
    const double tolerance = 441 + 3528 * std::fabs(speed - 1) / speed + 200;
    std::printf("reverse: key lock %s, pitch %+.0f %%: the stop %lld frames from the expected, %.0f allowed\n",
                keyLock.c_str(), c.pitchPercent, static_cast<long long>(last - first - expected), tolerance);
    EXPECT_NEAR(double(last - first), double(expected), tolerance) << "frames from PLAY to the stop";
    // From there to the end (2.5 s) every sample is 0: no wrap, no noise.
    EXPECT_GT(w.frames() - last, 2 * kRate) << "the deck must stay stopped, not wrap to the end";
  }
}

// ---------------------------------------------------------------------------
// The kills. One tone per run (a sum of tones would make the 16-bit rounding
// add intermodulation products of its own): the high kill removes 80 dB
// across the high band from 1 kHz above its 4597 Hz edge; each kill leaves the
// other band's tones as they were. Closer to the edge, and across the mid
// band, the 257-tap kernel's stopband ripples between about 55 and 100 dB.

TEST(ZondaEngineDj, KillsRemoveTheirBandAndLeaveTheOthers) {
  EngineSandbox box;
  struct Tone {
    double hz;
    bool high;  // in the high band, else in the mid band
  };
  const Tone tones[] = {{1000, false}, {2000, false}, {3000, false}, {5600, true},  {6217, true},  {8000, true},
                        {10000, true}, {13100, true}, {16000, true}, {19000, true}, {20500, true}};
  for (const Tone& t : tones) {
    SCOPED_TRACE(std::to_string(t.hz) + " Hz");
    test::WriteTones(box.file("t.wav"), 4, {{t.hz, 0.5}});
    const auto r = box.Run("--offline --out mix.wav --master-only",
                           "at 0 load a t.wav\nat 0 play a\nat 0 crossfader 0\n"
                           "at 1 kill a mid on\n"
                           "at 2 kill a mid off\nat 2 kill a high on\n"
                           "at 3 end\n");
    ASSERT_EQ(r.status, 0) << r.err;
    const Wav w = ReadWav(box.file("mix.wav"));
    ASSERT_EQ(w.channels, 2);
    auto at = [&](int second) { return ToneDb(w.Channel(0, second + 0.2, second + 0.95), t.hz); };
    const double flat = at(0), midKilled = at(1) - flat, highKilled = at(2) - flat;
    EXPECT_NEAR(flat, FullScaleDb(0.9 * 0.5 * 32767), 0.1);
    if (t.high) {
      EXPECT_LE(highKilled, -80.0) << "high kill";
      EXPECT_NEAR(midKilled, 0.0, 0.1) << "mid kill";
    } else {
      EXPECT_NEAR(highKilled, 0.0, 0.1) << "high kill";
    }
  }
}

}  // namespace
}  // namespace zonda
