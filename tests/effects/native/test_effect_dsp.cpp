// The DSP pieces the native effects share: delay line, LFO, tempo-synced
// delay time, smoothing, state-variable filter, sample conversion and the
// flush of subnormal floats.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

#include "effects/native/BeatDelayTime.h"
#include "effects/native/DelayLine.h"
#include "effects/native/Lfo.h"
#include "effects/native/Samples.h"
#include "effects/native/ScopedNoDenormals.h"
#include "effects/native/SmoothedValue.h"
#include "effects/native/StateVariableFilter.h"

namespace zonda::fx {
namespace {

TEST(DelayLine, ReadsWholeDelaysExactlyAndInterpolatesBetween) {
  TDelayLine line(1000);
  EXPECT_EQ(line.MaxDelayFrames(), 1000);
  for (int i = 0; i < 3000; ++i) {
    if (i >= 1000) {
      EXPECT_EQ(line.Read(1), float(i - 1));
      EXPECT_EQ(line.Read(1000), float(i - 1000));
      EXPECT_EQ(line.ReadInterpolated(250.0), float(i - 250));
      EXPECT_FLOAT_EQ(line.ReadInterpolated(10.25), float(i) - 10.25f);
      EXPECT_EQ(line.Read(5000), line.Read(1000)) << "held to the longest delay";
      EXPECT_EQ(line.Read(0), line.Read(1));
    }
    line.Write(float(i));
  }
  line.Clear();
  EXPECT_EQ(line.Read(1), 0.0f);
  EXPECT_EQ(line.Read(1000), 0.0f);
}

TEST(Lfo, SineFollowsTheSineAndWraps) {
  double worst = 0;
  for (int i = 0; i < 1000; ++i) {
    const double phase = i / 1000.0;
    worst = std::max(worst, std::fabs(TLfo::SineOfPhase(phase) - std::sin(2 * std::numbers::pi * phase)));
  }
  EXPECT_LT(worst, 0.0012);
  TLfo lfo(0.25);
  EXPECT_FLOAT_EQ(lfo.Sine(), 1.0f);
  EXPECT_NEAR(lfo.SineAhead(0.5), -1.0f, 1e-6f);
  lfo.Advance(0.875);
  EXPECT_NEAR(lfo.Phase(), 0.125, 1e-12);
  lfo.Advance(std::numeric_limits<double>::quiet_NaN());
  EXPECT_EQ(lfo.Phase(), 0.0) << "a broken increment restarts the phase";
  lfo.Reset();
  EXPECT_EQ(lfo.Phase(), 0.25);
}

TEST(BeatDelayTime, FollowsTheTempoWithAFallbackAndGlides) {
  struct Case {
    double beats, bpm, frames;
  };
  const Case cases[] = {{0.5, 120, 11025},
                        {0.5, 100, 13230},
                        {0.5, 147, 9000},
                        {1, 60, 44100},
                        {2, 40, 132300},
                        {0.25, 300, 2205},
                        {0.5, 0, 11025},
                        {0.5, -90, 11025},
                        {0.5, 39.9, 11025},
                        {0.5, 300.1, 11025},
                        {0.5, std::numeric_limits<double>::quiet_NaN(), 11025},
                        {0.5, std::numeric_limits<double>::infinity(), 11025}};
  for (const Case& c : cases) EXPECT_DOUBLE_EQ(TBeatDelayTime::TargetFrames(c.beats, c.bpm), c.frames) << c.bpm;
  EXPECT_EQ(TBeatDelayTime::kMaxDelayFrames, 132300);

  TBeatDelayTime time;
  time.SetTarget(13230);
  EXPECT_EQ(time.Next(), 13230) << "the first target is taken at once";
  time.SetTarget(11025);
  double previous = time.Current(), biggestStep = 0;
  for (int i = 0; i < 3 * 44100; ++i) {
    const double now = time.Next();
    biggestStep = std::max(biggestStep, std::fabs(now - previous));
    previous = now;
  }
  EXPECT_EQ(time.Current(), 11025) << "settles exactly";
  EXPECT_LT(biggestStep, 0.5) << "glides, never jumps";
  time.Reset();
  time.SetTarget(9000);
  EXPECT_EQ(time.Next(), 9000);
}

TEST(SmoothedValue, GlidesAndSettlesExactly) {
  TSmoothedValue v(0.0f);
  v.SetTarget(1.0f);
  EXPECT_GT(v.Next(), 0.0f);
  EXPECT_LT(v.Value(), 0.01f);
  for (int i = 0; i < 44100; ++i) v.Next();
  EXPECT_EQ(v.Value(), 1.0f);
  v.Jump(0.25f);
  EXPECT_EQ(v.Next(), 0.25f);
}

TEST(StateVariableFilter, LowPassPassesLowsAndCutsHighs) {
  auto gainDb = [](float cutoff, double hz) {
    TStateVariableFilter f;
    f.SetCutoff(cutoff, 1.4142f);
    double in = 0, out = 0;
    for (int i = 0; i < 44100; ++i) {
      const float x = static_cast<float>(std::sin(2 * std::numbers::pi * hz * i / 44100.0));
      const float y = f.LowPass(0, x);
      if (i >= 4410) in += x * x, out += double(y) * y;
    }
    return 10 * std::log10(out / in);
  };
  EXPECT_NEAR(gainDb(1000, 100), 0.0, 0.1);
  EXPECT_NEAR(gainDb(1000, 1000), -3.0, 0.2) << "Butterworth damping: -3 dB at the cut-off";
  EXPECT_LT(gainDb(1000, 10000), -38.0) << "12 dB per octave";
  EXPECT_LT(gainDb(250, 8000), -55.0);
}

TEST(Samples, ConvertAndSaturate) {
  struct Case {
    float value;
    int16_t sample;
  };
  const Case cases[] = {{0.0f, 0},
                        {0.5f, 16384},
                        {-1.0f, -32768},
                        {1.0f, 32767},
                        {1.9f, 32767},
                        {-7.0f, -32768},
                        {1e30f, 32767},
                        {-1e30f, -32768},
                        {std::numeric_limits<float>::infinity(), 32767},
                        {std::numeric_limits<float>::quiet_NaN(), 0},
                        {100.4f / 32768, 100},
                        {-100.6f / 32768, -101}};
  for (const Case& c : cases) EXPECT_EQ(ToInt16Saturated(c.value), c.sample) << c.value;
  for (int s = -32768; s <= 32767; s += 97) EXPECT_EQ(ToInt16Saturated(ToFloat(int16_t(s))), s);
}

TEST(ScopedNoDenormals, FlushesSubnormalsOnlyWhileInScope) {
  volatile float tiny = std::numeric_limits<float>::min();  // smallest normal
  {
    const TScopedNoDenormals guard;
    const float half = tiny * 0.5f;
    EXPECT_EQ(half, 0.0f) << "a subnormal result is flushed";
    // A feedback path decaying from a loud value reaches exact zero, never a subnormal.
    float state = 1.0f;
    for (int i = 0; i < 20000; ++i) {
      state *= 0.99f;
      EXPECT_NE(std::fpclassify(state), FP_SUBNORMAL);
    }
    EXPECT_EQ(state, 0.0f);
  }
  const float half = tiny * 0.5f;
  EXPECT_EQ(std::fpclassify(half), FP_SUBNORMAL) << "the host's mode is back";
}

}  // namespace
}  // namespace zonda::fx
