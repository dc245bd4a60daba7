// zonda-engine end to end: scripts with faults are refused with their line
// numbers; offline renders of generated tones are checked numerically
// (levels, and spectra through a Goertzel filter) for the crossfader, the
// channel controls, the equaliser with kills, the cut-off filter, pitch, key
// lock and brake, the headphone modes and the preview; the recorder writes the
// master exactly; and real-time runs play through libilvex.so on the null
// device and on JACK.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <numbers>
#include <string>
#include <tuple>
#include <vector>

#include "tests/support/BusyProcesses.h"
#include "tests/support/EngineSandbox.h"
#include "tests/support/JackClient.h"
#include "tests/support/Require.h"
#include "tests/support/TestFiles.h"
#include "tests/support/ToneAnalysis.h"

namespace zonda {
namespace {

constexpr int kRate = 44100;

using Sandbox = test::EngineSandbox;
using test::PeakHz;
using test::ReadWav;
using test::RmsDb;
using test::ToneDb;
using test::Wav;
using test::WriteTones;

double Db(double amplitude) { return test::FullScaleDb(amplitude); }

TEST(ZondaEngineScript, FaultsAreReportedWithTheirLineAndNothingPlays) {
  Sandbox box;
  struct Case {
    const char* script;
    const char* expected;  // stderr must contain this
  };
  const Case cases[] = {
      {"play a\n", "script.txt:1: expected 'at SECONDS COMMAND ...', got 'play'"},
      {"# comment\n\nat 0 volume a 300\n", "script.txt:3: volume: expected a fader position from 0 to 127"},
      {"at x play a\n", "script.txt:1: expected a time in seconds"},
      {"at 1\n", "script.txt:1: expected a command after 'at 1'"},
      {"at 0 load c x.wav\n", "script.txt:1: load: expected deck a or b, got 'c'"},
      {"at 0 load a\n", "script.txt:1: load: expected a file name"},
      {"at 0 frobnicate\n", "script.txt:1: unknown command 'frobnicate'"},
      {"at 0 pitch a 200\n", "script.txt:1: pitch: expected a pitch in percent from -100 to 100"},
      {"at 0 eq a bass 3\n", "script.txt:1: eq: expected low, mid or high, got 'bass'"},
      {"at 0 eq a low 2.5\n", "script.txt:1: eq: expected a knob value from -12 to 12 (a whole number)"},
      {"at 0 play a now\n", "script.txt:1: play: unexpected 'now'"},
      {"at 0 record\n", "script.txt:1: record: expected start FILE or stop, got nothing"},
      {"at 0 kill b mid maybe\n", "script.txt:1: kill: expected on or off, got 'maybe'"},
      {"at 0 crossfader curve 20\n", "script.txt:1: crossfader: expected a curve from 40 to 120"},
      {"at 0 phones left\n", "script.txt:1: phones: expected normal, split or master, got 'left'"},
      {"at 2 play a\nat 1 play b\n", "script.txt:2: time 1 is before the previous command's 2"},
      {"at 1 end\nat 2 play a\n", "script.txt:2: command after 'end' (line 1) would never run"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.script);
    const auto r = box.Run("--offline --out mix.wav", c.script);
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find(c.expected), std::string::npos) << r.err;
    EXPECT_FALSE(std::filesystem::exists(box.file("mix.wav")));
  }
  // Every fault of a script at once, each with its line.
  const auto r = box.Run("--check", "at 0 play x\nat 0 play a\nat 0 gain a 13\n");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("script.txt:1:"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("script.txt:3:"), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("script.txt:2:"), std::string::npos) << r.err;

  EXPECT_EQ(box.Run("--check", "at 0 load a \"my track.wav\"\nat 0.5 keylock on\nat 1 end\n").status, 0);
  EXPECT_EQ(box.Run("--offline --device null", "at 1 end\n").status, 2);
  EXPECT_EQ(box.Run("--out mix.wav", "at 1 end\n").status, 2);
  EXPECT_EQ(box.Run("--bogus", "at 1 end\n").status, 2);
}

TEST(ZondaEngineScript, HelpDocumentsEveryCommand) {
  Sandbox box;
  const auto r = box.Run("--help", "");
  ASSERT_EQ(r.status, 0);
  for (const char* word : {"load A FILE", "play A", "pause A", "stop A", "seek A", "pitch A", "direction A", "reverse A",
                           "brake A", "keylock [A]", "songloop A", "volume A", "gain A", "eq A", "kill A", "filter A",
                           "filtermode", "crossfader 0..127", "crossfader curve", "crossfader cut", "boost A", "mute A",
                           "talkover", "onair", "linein A", "cuemix", "phones normal|split|master", "preview open",
                           "preview seek", "preview off", "record start FILE", "record stop", "meters", "end",
                           "--device", "--offline", "--out", "--master-only", "--line-a", "--line-b", "--block",
                           "--keylock-engine E", "--resampler R"}) {
    EXPECT_NE(r.out.find(word), std::string::npos) << word;
  }
}

// Deck A a 500 Hz tone, deck B a 1500 Hz tone, both playing: the crossfader
// law (curve and cut mode) picks the deck in the master.
TEST(ZondaEngineOffline, CrossfaderSelectsTheDeck) {
  Sandbox box;
  WriteTones(box.file("a.wav"), 10, {{500, 0.5}});
  WriteTones(box.file("b.wav"), 10, {{1500, 0.5}});
  const auto r = box.Run("--offline --out mix.wav --block 441",
                         "at 0 load a a.wav\nat 0 load b b.wav\nat 0 play a\nat 0 play b\n"
                         "at 0 crossfader 0\nat 0.5 meters\n"
                         "at 1 crossfader 127\n"
                         "at 2 crossfader 100\n"
                         "at 3 crossfader curve 60\nat 3 crossfader 0\n"
                         "at 4 crossfader cut on\nat 4 crossfader 63\n"
                         "at 5 crossfader 64\n"
                         "at 6 end\n");
  ASSERT_EQ(r.status, 0) << r.err;
  const Wav w = ReadWav(box.file("mix.wav"));
  ASSERT_EQ(w.channels, 4);
  ASSERT_EQ(w.frames(), 6 * kRate);
  auto at = [&](double t, double hz) { return ToneDb(w.Channel(0, t + 0.2, t + 0.9), hz); };
  const double a0 = at(0, 500), b0 = at(1, 1500);
  EXPECT_NEAR(a0, Db(0.9 * 0.5 * 32767), 0.1) << "a deck plays at 0.9 of full scale";
  EXPECT_NEAR(b0, a0, 0.1);
  EXPECT_LT(at(0, 1500), a0 - 80) << "crossfader 0: deck B out";
  EXPECT_LT(at(1, 500), b0 - 80) << "crossfader 127: deck A out";
  // Curve 50 at 100: deck A reads entry 100, -(91^(50/77) - 1) = -17.711 dB (bc -l).
  EXPECT_NEAR(at(2, 500) - a0, -17.711, 0.1) << "crossfader 100, curve 50";
  EXPECT_NEAR(at(2, 1500) - b0, 0.0, 0.1);
  EXPECT_NEAR(at(3, 500) - a0, 0.0, 0.1) << "curve 60 at 0";
  EXPECT_LT(at(3, 1500), a0 - 80);
  EXPECT_NEAR(at(4, 500) - a0, 0.0, 0.1) << "cut mode at 63";
  EXPECT_LT(at(4, 1500), a0 - 80);
  EXPECT_LT(at(5, 500), b0 - 80) << "cut mode at 64";
  EXPECT_NEAR(at(5, 1500) - b0, 0.0, 0.1);

  // The meters: both decks before the crossfader, the master with deck A alone.
  float levelA = 0, levelB = 0, masterL = 0, masterR = 0;
  ASSERT_EQ(std::sscanf(r.out.c_str(), "0.500 meters A %f dB B %f dB master %f %f dB", &levelA, &levelB, &masterL,
                        &masterR),
            4)
      << r.out;
  const double rms = 20 * std::log10(0.9 * 0.5 / std::sqrt(2.0));
  for (float level : {levelA, levelB, masterL, masterR}) EXPECT_NEAR(level, rms, 0.15);
}

// Deck A: 40 Hz, 1 kHz and 10 kHz at once; each band of the equaliser and
// the cut-off filter acts on its own part of the spectrum. (The low band is
// narrower than the 257-tap kernel resolves, so a low cut reaches its full
// depth only well below its 318 Hz edge: 40 Hz.)
TEST(ZondaEngineOffline, EqualiserAndFilterShapeTheSpectrum) {
  Sandbox box;
  WriteTones(box.file("a.wav"), 10, {{40, 0.25}, {1000, 0.25}, {10000, 0.25}});
  const auto r = box.Run("--offline --out mix.wav --master-only",
                         "at 0 load a a.wav\nat 0 play a\nat 0 crossfader 0\n"
                         "at 1 eq a low -12\n"
                         "at 2 kill a low on\n"
                         "at 3 kill a low off\nat 3 eq a low 0\n"
                         "at 4 eq a mid 6\n"
                         "at 5 eq a mid 0\nat 5 kill a high on\n"
                         "at 6 kill a high off\nat 6 filter a -20\n"
                         "at 7 filter a 20\n"
                         "at 8 end\n");
  ASSERT_EQ(r.status, 0) << r.err;
  const Wav w = ReadWav(box.file("mix.wav"));
  ASSERT_EQ(w.channels, 2);
  auto at = [&](double t, double hz) { return ToneDb(w.Channel(1, t + 0.2, t + 0.9), hz); };
  const double low = at(0, 40), mid = at(0, 1000), high = at(0, 10000);
  for (double level : {low, mid, high}) EXPECT_NEAR(level, Db(0.9 * 0.25 * 32767), 0.2) << "flat at 0 dB";
  EXPECT_NEAR(at(1, 40) - low, -36, 1.0) << "low -12 sends -36 dB";
  EXPECT_NEAR(at(1, 1000) - mid, 0, 0.2);
  EXPECT_LT(at(2, 40) - low, -70) << "low kill";
  EXPECT_NEAR(at(2, 10000) - high, 0, 0.2);
  EXPECT_NEAR(at(3, 40) - low, 0, 0.2) << "kill released";
  EXPECT_NEAR(at(4, 1000) - mid, 6, 0.3) << "mid +6";
  EXPECT_NEAR(at(4, 10000) - high, 0, 0.3);
  EXPECT_LT(at(5, 10000) - high, -70) << "high kill";
  EXPECT_NEAR(at(5, 1000) - mid, 0, 0.2);
  // Knob -20 in mode 0: a low-pass at 1.106^79, about 2.9 kHz.
  EXPECT_LT(at(6, 10000) - high, -40) << "filter -20 cuts the highs";
  EXPECT_NEAR(at(6, 40) - low, 0, 1.0) << "and keeps the lows";
  // Knob +20: a high-pass at 1.106^54, about 230 Hz.
  EXPECT_LT(at(7, 40) - low, -30) << "filter +20 cuts the lows";
  EXPECT_NEAR(at(7, 10000) - high, 0, 1.0);
}

// A 1 kHz tone: pitch +8 % plays it at 1080 Hz, key lock keeps 1000 Hz at the
// same tempo, the brake runs it down to silence.
TEST(ZondaEngineOffline, PitchKeyLockAndBrake) {
  Sandbox box;
  WriteTones(box.file("a.wav"), 20, {{1000, 0.5}});
  const auto r = box.Run("--offline --out mix.wav --master-only",
                         "at 0 load a a.wav\nat 0 play a\nat 0 crossfader 0\n"
                         "at 1 pitch a 8.00\n"
                         "at 3 keylock on\n"
                         "at 5 keylock off\nat 5 direction a reverse\n"
                         "at 7 brake a on\n"
                         "at 9.5 end\n");
  ASSERT_EQ(r.status, 0) << r.err;
  const Wav w = ReadWav(box.file("mix.wav"));
  EXPECT_NEAR(PeakHz(w.Channel(0, 0.2, 0.9), 900, 1200), 1000.0, 0.5);
  EXPECT_NEAR(PeakHz(w.Channel(0, 1.5, 2.9), 900, 1200), 1080.0, 0.5) << "pitch 8.00";
  EXPECT_NEAR(PeakHz(w.Channel(0, 3.2, 4.9), 900, 1200), 1000.0, 1.0) << "key lock at +8 %";
  EXPECT_NEAR(PeakHz(w.Channel(0, 5.5, 6.9), 900, 1200), 1080.0, 0.5) << "reversed at +8 %";
  EXPECT_LT(RmsDb(w.Channel(0, 8.8, 9.5)), -90) << "braked to a standstill";
}

// The sound quality options: --keylock-engine keeps the pitch with each
// engine at the same tempo, --resampler soxr removes the alias the built-in
// linear converter lets through; wrong values are usage errors.
TEST(ZondaEngineOffline, KeyLockEngineAndResamplerOptions) {
  Sandbox box;
  WriteTones(box.file("a.wav"), 12, {{1000, 0.3}, {440, 0.3}});
  for (const char* engine : {"splice", "rubberband", "rubberband-r2"}) {
    SCOPED_TRACE(engine);
    const auto r = box.Run(std::string("--offline --out mix.wav --master-only --keylock-engine ") + engine,
                           "at 0 load a a.wav\nat 0 crossfader 0\nat 0 pitch a 6.00\nat 0 keylock on\n"
                           "at 0 play a\nat 6 end\n");
    ASSERT_EQ(r.status, 0) << r.err;
    const Wav w = ReadWav(box.file("mix.wav"));
    EXPECT_NEAR(PeakHz(w.Channel(0, 1.0, 5.5), 900, 1100), 1000.0, 1.0) << "the pitch is kept";
    EXPECT_NEAR(PeakHz(w.Channel(0, 1.0, 5.5), 400, 480), 440.0, 1.0) << "the pitch is kept";
  }
  // 1 kHz and 23 kHz at equal level in a 48 kHz file: 23 kHz lies above the
  // deck's Nyquist frequency and must not come back as a 21.1 kHz alias.
  test::WavSpec spec;
  spec.rateHz = 48000;
  std::vector<uint8_t> bytes;
  for (int64_t k = 0; k < 48000 * 4; ++k) {
    const double v = 0.3 * std::sin(2 * std::numbers::pi * 1000.0 * k / 48000) +
                     0.3 * std::sin(2 * std::numbers::pi * 23000.0 * k / 48000);
    const auto x = static_cast<int16_t>(std::lround(v * 32767));
    for (int c = 0; c < 2; ++c) {
      bytes.push_back(static_cast<uint8_t>(x & 0xFF));
      bytes.push_back(static_cast<uint8_t>((x >> 8) & 0xFF));
    }
  }
  test::WriteWav(box.file("hf.wav"), spec, bytes);
  double alias[2] = {0, 0};
  int i = 0;
  for (const char* resampler : {"linear", "soxr"}) {
    const auto r = box.Run(std::string("--offline --out mix.wav --master-only --resampler ") + resampler,
                           "at 0 load a hf.wav\nat 0 crossfader 0\nat 0 play a\nat 3 end\n");
    ASSERT_EQ(r.status, 0) << r.err;
    const Wav w = ReadWav(box.file("mix.wav"));
    const auto x = w.Channel(0, 0.5, 2.5);
    alias[i++] = ToneDb(x, 21100.0) - ToneDb(x, 1000.0);
  }
  EXPECT_GT(alias[0], -20.0) << "the built-in linear converter folds 23 kHz to 21.1 kHz";
  EXPECT_LT(alias[1], -80.0) << "soxr removes it";
  for (const char* bad : {"--keylock-engine fast", "--resampler best", "--keylock-engine"}) {
    const auto r = box.Run(std::string("--check ") + bad, "at 0 play a\n");
    EXPECT_EQ(r.status, 2) << bad;
  }
}

// One tone on deck A through the channel controls, the headphone modes, the
// preview and the recorder; master on channels 0/1, headphones on 2/3.
TEST(ZondaEngineOffline, ChannelControlsHeadphonesPreviewAndRecording) {
  Sandbox box;
  WriteTones(box.file("a.wav"), 20, {{1000, 0.5}});
  WriteTones(box.file("p.wav"), 20, {{300, 0.5}});
  const auto r = box.Run("--offline --out mix.wav --block 441",
                         "at 0 load a a.wav\nat 0 play a\nat 0 crossfader 0\n"
                         "at 1 volume a 64\nat 1 record start rec.wav\n"
                         "at 2 volume a 127\nat 2 gain a 6\n"
                         "at 3 gain a 0\nat 3 boost a on\nat 3 record stop\n"
                         "at 4 boost a off\nat 4 mute a on\n"
                         "at 5 mute a off\nat 5 talkover on\n"
                         "at 6 talkover off\nat 6 cuemix 98\n"
                         "at 7 cuemix 0\nat 7 phones split\n"
                         "at 8 phones master\n"
                         "at 9 phones normal\nat 9 cuemix 100\nat 9 preview open p.wav\n"
                         "at 10 preview off\nat 10 volume a 0\n"
                         "at 11 end\n");
  ASSERT_EQ(r.status, 0) << r.err;
  const Wav w = ReadWav(box.file("mix.wav"));
  ASSERT_EQ(w.channels, 4);
  auto master = [&](double t) { return RmsDb(w.Channel(0, t + 0.2, t + 0.9)); };
  auto phones = [&](double t, int ear) { return RmsDb(w.Channel(2 + ear, t + 0.2, t + 0.9)); };
  const double m0 = master(0);
  EXPECT_NEAR(m0, Db(0.9 * 0.5 * 32767), 0.05);
  EXPECT_NEAR(phones(0, 0) - m0, 20 * std::log10(1 / 1.2), 0.05) << "pre-listen at 1/1.2";
  EXPECT_NEAR(master(1) - m0, -8.371, 0.05) << "fader 64: -(91^(63/127) - 1) dB (bc -l)";
  EXPECT_NEAR(master(2) - m0, 6, 0.05) << "gain +6";
  EXPECT_NEAR(master(3) - m0, 4, 0.05) << "boost";
  EXPECT_LT(master(4) - m0, -80) << "mute";
  EXPECT_NEAR(master(5) - m0, -12, 0.05) << "talk-over";
  EXPECT_LT(phones(6, 0) - m0, -80) << "cue mix 98 snaps to 100: deck A out of the headphones";
  EXPECT_NEAR(master(6) - m0, 0, 0.05) << "and still in the master";
  EXPECT_NEAR(phones(7, 0) - m0, 0, 0.05) << "split: deck A in mono on the left";
  EXPECT_LT(phones(7, 1), -90) << "split: deck B (empty) on the right";
  const auto m8 = w.Channel(0, 8.2, 8.9), p8 = w.Channel(2, 8.2, 8.9);
  EXPECT_EQ(m8, p8) << "master mode: the headphones carry the master";
  EXPECT_NEAR(ToneDb(w.Channel(2, 9.2, 9.9), 300) - Db(0.5 * 32767), 20 * std::log10(1 / 1.2), 0.1) << "preview";
  EXPECT_LT(ToneDb(w.Channel(0, 9.2, 9.9), 300), -90) << "the preview stays out of the master";
  EXPECT_LT(ToneDb(w.Channel(2, 10.2, 10.9), 300), -90) << "preview off";
  EXPECT_LT(master(10), -90) << "fader 0";

  // The recording: exactly the master from 1 s to 3 s, in a valid 44-byte-header WAV.
  const auto bytes = test::ReadAll(box.file("rec.wav"));
  ASSERT_EQ(bytes.size(), 44u + 2u * 176400u);
  EXPECT_EQ(std::memcmp(bytes.data(), "RIFF", 4), 0);
  EXPECT_EQ(std::memcmp(bytes.data() + 8, "WAVEfmt ", 8), 0);
  EXPECT_EQ(std::memcmp(bytes.data() + 36, "data", 4), 0);
  uint32_t dataBytes = 0;
  std::memcpy(&dataBytes, bytes.data() + 40, 4);
  EXPECT_EQ(dataBytes, 2u * 176400u);
  const Wav rec = ReadWav(box.file("rec.wav"));
  ASSERT_EQ(rec.channels, 2);
  for (int ch = 0; ch < 2; ++ch) EXPECT_EQ(rec.Channel(ch, 0, 2), w.Channel(ch, 1, 3)) << ch;
  ZONDA_REQUIRE_TOOLS("soxi");  // the independent reader
  EXPECT_EQ(test::Run("soxi '" + box.file("rec.wav") + "' >/dev/null 2>&1"), 0);
}

// A track of three 2-second tones (500, 1000, 1500 Hz) tells where the deck
// plays: seek, pause and play, stop (back to the start), song loop.
TEST(ZondaEngineOffline, TransportSeekPauseStopAndSongLoop) {
  Sandbox box;
  {
    std::vector<int16_t> pcm;
    for (double hz : {500.0, 1000.0, 1500.0}) {
      for (int64_t k = 0; k < 2 * kRate; ++k) {
        const auto v = static_cast<int16_t>(std::lround(16000 * std::sin(2 * std::numbers::pi * hz * double(k) / kRate)));
        pcm.push_back(v);
        pcm.push_back(v);
      }
    }
    test::WriteDeckWav(box.file("steps.wav"), pcm);
  }
  const auto r = box.Run("--offline --out mix.wav --master-only",
                         "at 0 load a steps.wav\nat 0 play a\nat 0 crossfader 0\n"
                         "at 1 seek a 4.5\n"
                         "at 1.5 pause a\n"
                         "at 2.5 play a\n"
                         "at 3 stop a\n"
                         "at 4 play a\n"
                         "at 5 seek a 5.5\nat 5 songloop a on\n"
                         "at 6.5 seek a 5.5\nat 6.5 songloop a off\n"
                         "at 8 end\n");
  ASSERT_EQ(r.status, 0) << r.err;
  const Wav w = ReadWav(box.file("mix.wav"));
  // The tone heard from `from` to `to`: its frequency, or 0 for silence.
  auto heard = [&](double from, double to) {
    const auto x = w.Channel(0, from, to);
    if (RmsDb(x) < -80) return 0.0;
    for (double hz : {500.0, 1000.0, 1500.0}) {
      if (ToneDb(x, hz) > RmsDb(x) - 1) return hz;
    }
    return -1.0;
  };
  EXPECT_EQ(heard(0.2, 0.9), 500);
  EXPECT_EQ(heard(1.1, 1.45), 1500) << "seek to 4.5 s";
  EXPECT_EQ(heard(1.6, 2.4), 0) << "paused";
  EXPECT_EQ(heard(2.55, 2.95), 1500) << "play resumes where it paused";
  EXPECT_EQ(heard(3.1, 3.9), 0) << "stopped";
  EXPECT_EQ(heard(4.1, 4.9), 500) << "stop went back to the start";
  EXPECT_EQ(heard(5.05, 5.45), 1500);
  EXPECT_EQ(heard(5.6, 6.4), 500) << "song loop: on from the start";
  EXPECT_EQ(heard(7.1, 7.9), 0) << "without song loop the track ends";
}

// Line A carries a 700 Hz "microphone", deck A a 1 kHz tone: on-air adds
// the microphone at unity, talk-over lowers only the music, and with its line
// input on deck A plays line A instead of its track (the microphone then
// stays out of the master).
TEST(ZondaEngineOffline, OnAirTalkOverAndLineInput) {
  Sandbox box;
  WriteTones(box.file("a.wav"), 10, {{1000, 0.5}});
  WriteTones(box.file("mic.wav"), 10, {{700, 0.25}});
  const auto r = box.Run("--offline --out mix.wav --master-only --line-a mic.wav",
                         "at 0 load a a.wav\nat 0 play a\nat 0 crossfader 0\n"
                         "at 1 onair on\n"
                         "at 2 talkover on\n"
                         "at 3 talkover off\nat 3 linein a on\n"
                         "at 4 end\n");
  ASSERT_EQ(r.status, 0) << r.err;
  const Wav w = ReadWav(box.file("mix.wav"));
  auto at = [&](double t, double hz) { return ToneDb(w.Channel(0, t + 0.2, t + 0.9), hz); };
  const double deck = Db(0.9 * 0.5 * 32767), mic = Db(0.25 * 32767);
  EXPECT_NEAR(at(0, 1000), deck, 0.1);
  EXPECT_LT(at(0, 700), -90) << "off the air";
  EXPECT_NEAR(at(1, 700), mic, 0.1) << "on-air: line A at unity";
  EXPECT_NEAR(at(1, 1000), deck, 0.1);
  EXPECT_NEAR(at(2, 1000), deck - 12, 0.1) << "talk-over lowers the music";
  EXPECT_NEAR(at(2, 700), mic, 0.1) << "and not the microphone";
  EXPECT_LT(at(3, 1000), -90) << "line input: the track is out";
  EXPECT_NEAR(at(3, 700), mic, 0.1) << "line A through deck A, once";
}

// A track that cannot be opened reports the deck's error; the run goes on.
TEST(ZondaEngineOffline, LoadErrorsAreReportedAndTheRunGoesOn) {
  Sandbox box;
  WriteTones(box.file("b.wav"), 3, {{700, 0.5}});
  {
    std::ofstream bad(box.file("bad.wav"), std::ios::binary);
    bad << "this is not a wave file";
  }
  const auto r = box.Run("--offline --out mix.wav",
                         "at 0 load a bad.wav\nat 0 load b missing.mp3\nat 0 load b b.wav\n"
                         "at 0 play a\nat 0 play b\nat 0 crossfader 127\nat 2 end\n");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.err.find("(line 1): deck A: "), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("(line 2): deck B: "), std::string::npos) << r.err;
  for (const char* line : {"(line 1)", "(line 2)"}) {
    const std::string tail = r.err.substr(r.err.find(line));
    const std::string text = tail.substr(0, tail.find('\n'));
    EXPECT_TRUE(text.find("WRONG FILE FORMAT !") != std::string::npos ||
                text.find("DAMAGED OR UNREADABLE FILE !") != std::string::npos)
        << text;
  }
  EXPECT_NE(r.err.find("(line 4): deck A: no track loaded"), std::string::npos) << r.err;
  const Wav w = ReadWav(box.file("mix.wav"));
  EXPECT_EQ(w.frames(), 2 * kRate);
  EXPECT_NEAR(ToneDb(w.Channel(0, 0.5, 1.5), 700), Db(0.9 * 0.5 * 32767), 0.2) << "deck B plays";
}

// Compressed tracks through the decoder front: deck A an MP3, deck B an Ogg
// Vorbis file, each made from a tone by the Debian encoders. A track the
// front refuses is a failure.
TEST(ZondaEngineOffline, CompressedTracksMix) {
  Sandbox box;
  ZONDA_REQUIRE_TOOLS("lame", "oggenc");
  struct Format {
    const char* name;
    const char* command;  // %1 = source WAV, %2 = destination
  };
  const Format formats[] = {{"a.mp3", "lame --quiet -b 192 '%1' '%2'"}, {"b.ogg", "oggenc -Q -q 6 -o '%2' '%1'"}};
  WriteTones(box.file("a.wav"), 4, {{700, 0.5}});
  WriteTones(box.file("b.wav"), 4, {{1700, 0.5}});
  for (const Format& f : formats) {
    std::string cmd = f.command;
    const std::string source = box.file(f.name[0] == 'a' ? "a.wav" : "b.wav");
    cmd.replace(cmd.find("%1"), 2, source);
    cmd.replace(cmd.find("%2"), 2, box.file(f.name));
    ASSERT_EQ(test::Run(cmd), 0) << cmd;
  }
  const auto r = box.Run("--offline --out mix.wav --master-only",
                         "at 0 load a a.mp3\nat 0 load b b.ogg\nat 0 play a\nat 0 play b\nat 0 crossfader 63\nat 3 end\n");
  ASSERT_EQ(r.status, 0) << r.err;
  const Wav w = ReadWav(box.file("mix.wav"));
  // Crossfader 63 on curve 50: entry 63 for deck A, -(91^(13/77) - 1) = -1.142 dB,
  // and entry 64 for deck B, -(91^(14/77) - 1) = -1.271 dB (bc -l).
  const double expected = Db(0.9 * 0.5 * 32767);
  for (auto [deck, hz, crossfaderDb] : {std::tuple{'A', 700.0, -1.142}, std::tuple{'B', 1700.0, -1.271}}) {
    EXPECT_EQ(r.err.find(std::string("deck ") + deck + ": WRONG FILE FORMAT"), std::string::npos)
        << "deck " << deck << " refused its track: " << r.err;
    // Encoder delay and the codec's own error: the tone, not the samples.
    EXPECT_NEAR(ToneDb(w.Channel(0, 1.0, 2.5), hz), expected + crossfaderDb, 0.5) << deck;
  }
}

// Real time through libilvex.so: the recording of the run holds the tone.
void ExpectRealTimeRun(const std::string& device, const std::string& env) {
  Sandbox box;
  WriteTones(box.file("a.wav"), 5, {{1000, 0.5}});
  const auto r = box.Run("--device " + device,
                         "at 0 load a a.wav\nat 0 play a\nat 0 crossfader 0\n"
                         "at 0.2 record start rec.wav\nat 1.2 record stop\nat 1.4 end\n",
                         env);
  ASSERT_EQ(r.status, 0) << r.err;
  const Wav rec = ReadWav(box.file("rec.wav"));
  ASSERT_EQ(rec.channels, 2);
  // About one second, by the wall clock of a machine that may be busy.
  EXPECT_GT(rec.frames(), kRate * 6 / 10);
  EXPECT_LT(rec.frames(), kRate * 14 / 10);
  const auto x = rec.Channel(0, 0.1, 0.5);
  EXPECT_NEAR(ToneDb(x, 1000), Db(0.9 * 0.5 * 32767), 0.5);
  EXPECT_NEAR(PeakHz(x, 900, 1100), 1000.0, 0.5);
}

TEST(ZondaEngineRealTime, NullDevice) { ExpectRealTimeRun("null", ""); }

TEST(ZondaEngineRealTime, JackDummyServer) {
  ZONDA_REQUIRE_JACK();
  ExpectRealTimeRun("jack", "ZONDA_JACK_CLIENT=zonda-engine-test-" + std::to_string(::getpid()));
}

}  // namespace
}  // namespace zonda

namespace zonda {
namespace {


// A busy machine must not silence a playing deck: four ordinary busy
// processes on a two-core machine starved a deck worker that ran below
// ordinary priority, and PLAY gave seconds of silence. Both decks play in real
// time on the null device; deck A is recorded: no silence after PLAY except a
// seek into a part of the track not decoded yet, and that under 100 ms.
TEST(ZondaEngineRealTime, BusyMachineNeverSilencesAPlayingDeck) {
  Sandbox box;
  WriteTones(box.file("a.wav"), 30, {{1000, 0.5}});
  WriteTones(box.file("b.wav"), 30, {{1500, 0.5}});
  const std::string script =
      "at 0 load a a.wav\nat 0 load b b.wav\nat 0 crossfader 0\nat 0 record start rec.wav\n"
      "at 0.5 play a\nat 0.5 play b\n"
      "at 3.5 seek a 20\n"  // chunk 3: neither the start nor the cue's, so not decoded at load
      "at 6.5 record stop\nat 6.6 report\nat 6.7 end\n";
  Sandbox::Result r;
  {
    test::TBusyProcesses busy(4, 60);
    ASSERT_EQ(busy.Running(), 4u);
    r = box.Run("--device null --verbose", script);
  }
  ASSERT_EQ(r.status, 0) << r.err;
  const Wav rec = ReadWav(box.file("rec.wav"));
  ASSERT_EQ(rec.channels, 2);
  // The null device skips time its thread lost on a starved machine, so the
  // length is not exact; but a recording must be there, and it must sound.
  ASSERT_GT(rec.frames(), kRate * 3) << r.err;
  const double silence = test::LongestSilenceAfterSoundMs(rec, 0, 10);
  EXPECT_GE(silence, 0.0) << "the recording never sounds";
  EXPECT_LE(silence, 100.0) << r.err;
  const test::MissingAudio a = test::ParseReport(r.out, 'A');
  const test::MissingAudio b = test::ParseReport(r.out, 'B');
  ASSERT_GE(a.blocks, 0) << r.out;
  ASSERT_GE(b.blocks, 0) << r.out;
  EXPECT_LE(a.longestMs, 100.0) << r.out;  // the seek, at most
  EXPECT_EQ(b.blocks, 0) << r.out;         // never sought: never silent
}

TEST(ZondaEngineOffline, ReportShowsNoMissingAudioWhereTheRenderWaitsForTheDecks) {
  // Offline, the render waits for every seek and chunk, so nothing is
  // missing; the report line is there for both decks.
  Sandbox box;
  WriteTones(box.file("a.wav"), 20, {{1000, 0.5}});
  const auto r = box.Run("--offline --out mix.wav",
                         "at 0 load a a.wav\nat 0 play a\nat 1 seek a 15\nat 2 report\nat 2.1 end\n");
  ASSERT_EQ(r.status, 0) << r.err;
  const test::MissingAudio a = test::ParseReport(r.out, 'A');
  const test::MissingAudio b = test::ParseReport(r.out, 'B');
  EXPECT_EQ(a.blocks, 0) << r.out;
  EXPECT_EQ(b.blocks, 0) << r.out;
  EXPECT_EQ(a.longestMs, 0.0) << r.out;
}

}  // namespace
}  // namespace zonda
