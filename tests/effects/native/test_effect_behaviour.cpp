// What each shipped effect does to generated signals, through its module as a
// slot loads it (default parameters): delays synced to the tempo given to
// "process", moving combs and notches, a decaying tail, a low-passed sweep,
// fewer levels, and a gate that silences below its threshold.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

#include "tests/effects/native/EffectModule.h"
#include "tests/support/Require.h"
#include "tests/support/ToneAnalysis.h"

namespace zonda::test {
namespace {

class EffectBehaviour : public ::testing::Test {
 protected:
  // Loads effects/<file> into module_.
  void Load(const char* file) {
    if (EffectsDir().empty()) ZONDA_SKIP_OR_FAIL("ZONDA_PROGRAM_DIR not set (run through ctest)");
    ASSERT_TRUE(module_.Open(file)) << module_.error;
  }
  TEffectModule module_;
};

std::vector<int16_t> Impulse(int32_t frames, int16_t value = 16384) {
  std::vector<int16_t> s = Silence(frames);
  s[0] = s[1] = value;
  return s;
}

// Frames after `from` whose channel is not zero.
std::vector<int32_t> NonZeroFrames(const std::vector<int16_t>& s, int channel, int32_t from = 1) {
  std::vector<int32_t> at;
  for (size_t i = static_cast<size_t>(from); i < s.size() / 2; ++i) {
    if (s[2 * i + channel] != 0) at.push_back(static_cast<int32_t>(i));
  }
  return at;
}

// RMS level (dB of full scale) of consecutive windows of one channel.
std::vector<double> WindowLevels(const std::vector<int16_t>& s, int channel, size_t window, size_t from = 0) {
  std::vector<double> levels;
  for (size_t at = from; at + window <= s.size() / 2; at += window)
    levels.push_back(RmsDb(Channel(s, channel, at, window)));
  return levels;
}

TEST_F(EffectBehaviour, EchoComesBackAfterTheBeatFractionOfTheTempo) {
  Load("echo.so");
  struct Case {
    double bpm;
    int32_t frames;  // half a beat
  };
  const Case cases[] = {{120, 11025}, {100, 13230}, {147, 9000}, {0, 11025}, {-20, 11025}, {500, 11025}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.bpm);
    TEffectInstance fx(module_);
    std::vector<int16_t> s = Impulse(c.frames + 100);
    fx.ProcessInPieces(s, c.bpm, 256);
    for (int channel = 0; channel < 2; ++channel) {
      const std::vector<int32_t> at = NonZeroFrames(s, channel);
      ASSERT_FALSE(at.empty());
      EXPECT_EQ(at.front(), c.frames);
      EXPECT_EQ(at.size(), 1u) << "one sharp repeat";
      EXPECT_EQ(s[2 * c.frames + channel], 8192) << "at the initial mix of one half";
    }
  }
}

TEST_F(EffectBehaviour, EchoFollowsATempoChangeWithoutClicks) {
  Load("echo.so");
  TEffectInstance fx(module_);
  std::vector<int16_t> first = Impulse(44100);
  fx.ProcessInPieces(first, 120, 256);
  EXPECT_EQ(NonZeroFrames(first, 0).front(), 11025);
  // The deck slows to 100 BPM: after the glide (and the first impulse's
  // repeats have died away) the repeat comes half a beat of 100 BPM later.
  std::vector<int16_t> quiet = Silence(6 * 44100);
  fx.ProcessInPieces(quiet, 100, 256);
  std::vector<int16_t> second = Impulse(14000);
  fx.ProcessInPieces(second, 100, 256);
  ASSERT_FALSE(NonZeroFrames(second, 0).empty());
  EXPECT_EQ(NonZeroFrames(second, 0).front(), 13230);

  // Through the change itself a steady tone's output moves smoothly: no step
  // larger than a sine of that level can make (a jumping delay would flip the
  // 10.5-period-apart repeats of a 210 Hz tone).
  TEffectInstance tone(module_);
  const double amplitude = 6000;
  std::vector<int16_t> before = Tone(3 * 44100, 210, amplitude);
  tone.ProcessInPieces(before, 120, 256);
  std::vector<int16_t> during = Tone(3 * 44100, 210, amplitude);
  tone.ProcessInPieces(during, 100, 256);
  int worst = 0;
  for (size_t i = 1; i < during.size() / 2; ++i) worst = std::max(worst, std::abs(during[2 * i] - during[2 * i - 2]));
  EXPECT_LT(worst, 0.12 * amplitude);
}

TEST_F(EffectBehaviour, PingPongRepeatsAlternateRightAndLeft) {
  Load("pingpong.so");
  TEffectInstance fx(module_);
  std::vector<int16_t> s = Impulse(4 * 11025 + 100);
  fx.ProcessInPieces(s, 120, 256);
  EXPECT_EQ(NonZeroFrames(s, 0), (std::vector<int32_t>{11025, 33075})) << "left: the first and third repeats";
  EXPECT_EQ(NonZeroFrames(s, 1), (std::vector<int32_t>{22050, 44100})) << "right: the second and fourth";
  EXPECT_GT(s[2 * 11025], s[2 * 22050 + 1]);
  EXPECT_GT(s[2 * 22050 + 1], s[2 * 33075]) << "each repeat softer";
}

TEST_F(EffectBehaviour, FlangerAndPhaserModulateASteadyTone) {
  struct Case {
    const char* file;
    double minSwingDb;
  };
  for (const Case& c : {Case{"flanger.so", 12.0}, Case{"phaser.so", 8.0}}) {
    SCOPED_TRACE(c.file);
    Load(c.file);
    TEffectInstance fx(module_);
    std::vector<int16_t> s = Tone(8 * 44100, 1000, 12000);
    fx.ProcessInPieces(s, 120, 256);
    for (int channel = 0; channel < 2; ++channel) {
      const std::vector<double> levels = WindowLevels(s, channel, 2048, 4096);
      const auto [lo, hi] = std::minmax_element(levels.begin(), levels.end());
      EXPECT_GT(*hi - *lo, c.minSwingDb) << "channel " << channel;
      EXPECT_LT(*hi, FullScaleDb(12000) + 6.5);
    }
    // The two channels sweep out of step.
    const std::vector<double> left = WindowLevels(s, 0, 2048), right = WindowLevels(s, 1, 2048);
    double apart = 0;
    for (size_t i = 0; i < left.size(); ++i) apart = std::max(apart, std::fabs(left[i] - right[i]));
    EXPECT_GT(apart, 3.0);
  }
}

TEST_F(EffectBehaviour, ReverbLeavesATailThatDecaysToSilence) {
  Load("reverb.so");
  TEffectInstance fx(module_);
  // A 0.1 s burst of noise, then 12 s of silence.
  std::vector<int16_t> s = Silence(12 * 44100);
  const std::vector<int16_t> burst = Noise(4410, 20000, 9);
  std::copy(burst.begin(), burst.end(), s.begin());
  fx.ProcessInPieces(s, 120, 256);
  const std::vector<double> levels = WindowLevels(s, 0, 22050, 6615);  // half seconds from 0.15 s
  ASSERT_GE(levels.size(), 20u);
  EXPECT_GT(levels[0], -40.0) << "a tail follows the burst";
  // A decay of 2.5 s to -60 dB is 12 dB per half second; damping takes the highs sooner.
  for (size_t i = 1; i < 5; ++i) {
    EXPECT_LT(levels[i], levels[i - 1] - 6.0) << "half second " << i;
    EXPECT_GT(levels[i], levels[i - 1] - 20.0) << "half second " << i;
  }
  EXPECT_TRUE(NonZeroFrames(s, 0, 11 * 44100).empty()) << "silent after ten seconds";
  EXPECT_TRUE(NonZeroFrames(s, 1, 11 * 44100).empty());
  EXPECT_NE(Channel(s, 0, 4410, 10000), Channel(s, 1, 4410, 10000)) << "a wide tail";
}

TEST_F(EffectBehaviour, FilterSweepCutsHighsAtItsLowEndInTimeWithTheTempo) {
  Load("filtersweep.so");
  struct Case {
    double bpm;
    double lowestAtSeconds;  // half of the 4-beat period
  };
  for (const Case& c : {Case{120, 1.0}, Case{60, 2.0}, Case{0, 1.0}}) {
    SCOPED_TRACE(c.bpm);
    TEffectInstance fx(module_);
    const double amplitude = 16000;
    std::vector<int16_t> s = Tone(int32_t(2 * c.lowestAtSeconds * 44100), 8000, amplitude);  // one period
    fx.ProcessInPieces(s, c.bpm, 256);
    const std::vector<double> levels = WindowLevels(s, 0, 1024);
    const auto lowest = std::min_element(levels.begin(), levels.end());
    const double inDb = FullScaleDb(amplitude);
    EXPECT_LT(*lowest, inDb - 40) << "8 kHz at a 250 Hz cut-off";
    EXPECT_GT(levels[2], inDb - 3) << "passes at the top of the sweep, where it starts";
    const double lowestAt = double(lowest - levels.begin()) * 1024 / 44100;
    EXPECT_NEAR(lowestAt, c.lowestAtSeconds, 0.1);
  }
  TEffectInstance bass(module_);
  std::vector<int16_t> low = Tone(4 * 44100, 80, 16000);
  bass.ProcessInPieces(low, 120, 256);
  const std::vector<double> levels = WindowLevels(low, 0, 4096);
  EXPECT_GT(*std::min_element(levels.begin(), levels.end()), FullScaleDb(16000) - 1.0) << "lows pass all along";
}

TEST_F(EffectBehaviour, BitCrusherLeavesFewerLevels) {
  Load("bitcrusher.so");
  TEffectInstance fx(module_);
  const std::vector<int16_t> in = Tone(44100, 31.7, 32000);
  std::vector<int16_t> s = in;
  fx.ProcessInPieces(s, 120, 256);
  std::set<int16_t> levels(s.begin(), s.end()), inputLevels(in.begin(), in.end());
  EXPECT_GT(inputLevels.size(), 5000u);
  EXPECT_LE(levels.size(), 257u) << "8 bits";
  EXPECT_GT(levels.size(), 200u);
  for (size_t i = 0; i < s.size(); ++i) {
    ASSERT_TRUE(s[i] % 256 == 0 || s[i] == 32767) << s[i];
    ASSERT_LE(std::abs(s[i] - in[i]), 128);
  }
  std::vector<int16_t> silence = Silence(1000);
  fx.Process(silence, 120);
  EXPECT_EQ(silence, Silence(1000)) << "silence stays silence";
}

TEST_F(EffectBehaviour, GateSilencesBelowItsThresholdAndPassesAbove) {
  Load("gate.so");
  struct Case {
    const char* what;
    double db;  // threshold -40 dB
    bool passes;
  };
  const Case cases[] = {{"-50 dB", -50, false}, {"-46 dB", -46, false}, {"-35 dB", -35, true}, {"-6 dB", -6, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TEffectInstance fx(module_);
    const std::vector<int16_t> in = Tone(44100, 110, 32767 * std::pow(10, c.db / 20));
    std::vector<int16_t> s = in;
    fx.ProcessInPieces(s, 120, 256);
    if (c.passes) {
      // Open within the attack; from 50 ms on, unchanged.
      EXPECT_TRUE(std::equal(s.begin() + 2 * 2205, s.end(), in.begin() + 2 * 2205));
    } else {
      EXPECT_EQ(s, Silence(44100));
    }
  }
  // Loud, then quiet: the gate closes after its hold and release.
  TEffectInstance fx(module_);
  std::vector<int16_t> loud = Tone(44100, 110, 16000);
  fx.ProcessInPieces(loud, 120, 256);
  std::vector<int16_t> quiet = Tone(2 * 44100, 110, 32767 * std::pow(10, -50 / 20.0));
  fx.ProcessInPieces(quiet, 120, 256);
  EXPECT_NE(Channel(quiet, 0, 0, 1000), Channel(Silence(1000), 0)) << "the release is gradual";
  EXPECT_TRUE(NonZeroFrames(quiet, 0, 44100).empty()) << "silent a second after the loud part";
}

}  // namespace
}  // namespace zonda::test
