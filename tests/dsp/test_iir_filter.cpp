// Cut-off filter: design arithmetic, pass-through rules, state handling,
// block splits, the knob law and its display texts.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "dsp/CutoffKnob.h"
#include "dsp/IIRFilter.h"
#include "tests/support/TestFiles.h"

namespace zonda {
namespace {

constexpr double kPi = 3.14159265358979323846;

// |H| of the cascade at f Hz, computed in double from the stored coefficients.
double CascadeGain(const std::array<TIIRFilter::Section, 3>& s, double hz) {
  const double w = 2 * kPi * hz / 44100.0;
  double gain = 1;
  for (const auto& c : s) {
    // y = A0 x + A1 x1 + A2 x2 + B1 y1 + B2 y2
    const double nr = c.A0 + c.A1 * std::cos(w) + c.A2 * std::cos(2 * w);
    const double ni = -c.A1 * std::sin(w) - c.A2 * std::sin(2 * w);
    const double dr = 1 - c.B1 * std::cos(w) - c.B2 * std::cos(2 * w);
    const double di = c.B1 * std::sin(w) + c.B2 * std::sin(2 * w);
    gain *= std::hypot(nr, ni) / std::hypot(dr, di);
  }
  return gain;
}

std::vector<int16_t> Noise(size_t samples, unsigned seed, int amplitude = 12000) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> d(-amplitude, amplitude);
  std::vector<int16_t> v(samples);
  for (auto& s : v) s = static_cast<int16_t>(d(rng));
  return v;
}

double Rms(const int16_t* pcm, size_t frames, int channel, size_t skip = 0) {
  double s = 0;
  for (size_t i = skip; i < frames; ++i) s += double(pcm[2 * i + channel]) * pcm[2 * i + channel];
  return std::sqrt(s / double(frames - skip));
}

TEST(IIRFilter, DesignMatchesTheWorkedExampleAt1000Hz) {
  const auto s = TIIRFilter::Design(0.0f, 1000.0f / 44100.0f);
  EXPECT_NEAR(s[0].A0, 0.004781, 2e-6);
  EXPECT_NEAR(s[0].A1, 0.009563, 2e-6);
  EXPECT_NEAR(s[0].A2, 0.004781, 2e-6);
  EXPECT_NEAR(s[0].B1, 1.875422, 2e-6);
  EXPECT_NEAR(s[0].B2, -0.880506, 2e-6);

  // The unnormalised cascade passes about 6.54 at every cut-off, low-pass and high-pass.
  for (float hz : {132.0f, 215.0f, 1000.0f, 5000.0f, 17549.0f}) {
    SCOPED_TRACE(hz);
    EXPECT_NEAR(CascadeGain(TIIRFilter::Design(0.0f, hz / 44100.0f), 0.0), 6.54, 0.05);
    EXPECT_NEAR(CascadeGain(TIIRFilter::Design(1.0f, hz / 44100.0f), 22050.0), 6.54, 0.05);
  }
  // A sixth-order response: ripple-limited in the pass band, steep past the cut-off.
  const auto lp = TIIRFilter::Design(0.0f, 1000.0f / 44100.0f);
  const double dc = CascadeGain(lp, 0);
  EXPECT_GT(CascadeGain(lp, 500) / dc, 0.99);
  EXPECT_LT(CascadeGain(lp, 1000) / dc, 1.001);
  EXPECT_LT(20 * std::log10(CascadeGain(lp, 4000) / dc), -60.0);
  const auto hp = TIIRFilter::Design(1.0f, 1000.0f / 44100.0f);
  EXPECT_GT(CascadeGain(hp, 4000) / CascadeGain(hp, 22050), 0.99);
  EXPECT_LT(20 * std::log10(CascadeGain(hp, 250) / CascadeGain(hp, 22050)), -60.0);
}

TEST(IIRFilter, NewFilterIsALowPassAt19000HzDesignedOnItsFirstBlock) {
  TIIRFilter f;
  EXPECT_EQ(f.CutoffHz(), 19000.0f);
  EXPECT_EQ(f.Kind(), 0.0f);
  EXPECT_TRUE(f.Dirty());
  auto pcm = Noise(2 * 256, 1);
  f.ProcessStereo(pcm.data(), int32_t(pcm.size() * 2));
  EXPECT_FALSE(f.Dirty());
  const auto want = TIIRFilter::Design(0.0f, 19000.0f / 44100.0f);
  EXPECT_EQ(f.Coefficients(0).A0, want[0].A0);
  EXPECT_EQ(f.Coefficients(2).B2, want[2].B2);
}

TEST(IIRFilter, BlocksThatPassUnchanged) {
  struct Case {
    const char* name;
    bool off;
    std::vector<int16_t> pcm;
  };
  std::vector<int16_t> leftSilent = Noise(2 * 300, 2);
  for (size_t i = 0; i < leftSilent.size(); i += 2) leftSilent[i] = 0;
  std::vector<int16_t> leftConstant = Noise(2 * 300, 3);
  for (size_t i = 0; i < leftConstant.size(); i += 2) leftConstant[i] = -1234;
  const Case cases[] = {
      {"one frame", false, {1000, -1000}},
      {"left all zeros, right sound", false, leftSilent},
      {"left constant", false, leftConstant},
      {"filter off", true, Noise(2 * 300, 4)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TIIRFilter f;
    f.SetCutoff(true, 1000.0f);
    if (c.off) {
      const TCutoffSetting s = CutoffFromKnob(0, 0);
      f.SetCutoff(s.lowPass, float(s.cutoffHz));
    }
    auto pcm = c.pcm;
    f.ProcessStereo(pcm.data(), int32_t(pcm.size() * 2));
    EXPECT_EQ(pcm, c.pcm);
  }
}

TEST(IIRFilter, ConstantLeftBlockLeavesTheStateAlone) {
  const auto a = Noise(2 * 500, 5), b = Noise(2 * 500, 6);
  auto quiet = Noise(2 * 500, 7);
  for (size_t i = 0; i < quiet.size(); i += 2) quiet[i] = 0;

  TIIRFilter withGap, straight;
  withGap.SetCutoff(true, 800.0f);
  straight.SetCutoff(true, 800.0f);
  auto a1 = a, a2 = a, b1 = b, b2 = b;
  withGap.ProcessStereo(a1.data(), int32_t(a1.size() * 2));
  withGap.ProcessStereo(quiet.data(), int32_t(quiet.size() * 2));
  withGap.ProcessStereo(b1.data(), int32_t(b1.size() * 2));
  straight.ProcessStereo(a2.data(), int32_t(a2.size() * 2));
  straight.ProcessStereo(b2.data(), int32_t(b2.size() * 2));
  EXPECT_EQ(b1, b2);
}

TEST(IIRFilter, OffClearsTheStateOnceAndOnStartsClean) {
  const auto a = Noise(2 * 700, 8), b = Noise(2 * 700, 9);
  TIIRFilter used, fresh;
  used.SetCutoff(false, 2000.0f);
  auto a1 = a;
  used.ProcessStereo(a1.data(), int32_t(a1.size() * 2));
  used.SetCutoff(true, -1.0f);
  auto passed = b;
  used.ProcessStereo(passed.data(), int32_t(passed.size() * 2));
  EXPECT_EQ(passed, b);

  used.SetCutoff(false, 2000.0f);
  fresh.SetCutoff(false, 2000.0f);
  auto b1 = b, b2 = b;
  used.ProcessStereo(b1.data(), int32_t(b1.size() * 2));
  fresh.ProcessStereo(b2.data(), int32_t(b2.size() * 2));
  EXPECT_EQ(b1, b2);
}

TEST(IIRFilter, RedesignKeepsTheState) {
  const auto a = Noise(2 * 400, 10), b = Noise(2 * 400, 11);
  TIIRFilter moved, fresh;
  moved.SetCutoff(true, 500.0f);
  auto a1 = a;
  moved.ProcessStereo(a1.data(), int32_t(a1.size() * 2));
  moved.SetCutoff(true, 3000.0f);
  fresh.SetCutoff(true, 3000.0f);
  auto b1 = b, b2 = b;
  moved.ProcessStereo(b1.data(), int32_t(b1.size() * 2));
  fresh.ProcessStereo(b2.data(), int32_t(b2.size() * 2));
  EXPECT_NE(b1, b2);  // the old state rings on into the new design
  auto b3 = b;
  TIIRFilter again;
  again.SetCutoff(true, 3000.0f);
  again.ProcessStereo(b3.data(), int32_t(b3.size() * 2));
  EXPECT_EQ(b2, b3);
}

TEST(IIRFilter, SameOutputWhateverTheBlockSplit) {
  const auto input = Noise(2 * 20000, 12);
  TIIRFilter whole;
  whole.SetCutoff(false, 700.0f);
  auto expect = input;
  whole.ProcessStereo(expect.data(), int32_t(expect.size() * 2));

  for (int splitSeed : {1, 2, 3}) {
    SCOPED_TRACE(splitSeed);
    std::mt19937 rng{unsigned(splitSeed)};
    std::uniform_int_distribution<int> piece(3, 2500);
    TIIRFilter f;
    f.SetCutoff(false, 700.0f);
    auto out = input;
    size_t frame = 0;
    while (frame < input.size() / 2) {
      size_t n = std::min<size_t>(size_t(piece(rng)), input.size() / 2 - frame);
      if (input.size() / 2 - frame - n < 3) n = input.size() / 2 - frame;  // no one-frame tail
      f.ProcessStereo(out.data() + 2 * frame, int32_t(n * 4));
      frame += n;
    }
    ASSERT_EQ(frame, input.size() / 2);
    EXPECT_EQ(out, expect);
  }
}

TEST(IIRFilter, PassBandSineIsAbout075DbLouderAndFullScaleIsLimited) {
  TIIRFilter f;
  f.SetCutoff(true, 10000.0f);
  auto pcm = test::SineStereo(44100, 440.0, 440.0, 10000.0 / 32767.0);
  const double in = Rms(pcm.data(), 44100, 0, 4410);
  f.ProcessStereo(pcm.data(), int32_t(pcm.size() * 2));
  const double gainDb = 20 * std::log10(Rms(pcm.data(), 44100, 0, 4410) / in);
  EXPECT_NEAR(gainDb, 0.75, 0.1);

  TIIRFilter g;
  g.SetCutoff(true, 10000.0f);
  auto loud = test::SineStereo(44100, 440.0, 440.0, 1.0);
  g.ProcessStereo(loud.data(), int32_t(loud.size() * 2));
  int16_t lo = 0, hi = 0;
  for (int16_t s : loud) {
    lo = std::min(lo, s);
    hi = std::max(hi, s);
  }
  EXPECT_EQ(hi, 32767);
  EXPECT_EQ(lo, -32767);
}

TEST(IIRFilter, StopBandIsRemoved) {
  TIIRFilter lp, hp;
  lp.SetCutoff(true, 300.0f);
  hp.SetCutoff(false, 3000.0f);
  auto high = test::SineStereo(44100, 3000.0, 3000.0, 0.8);
  auto low = test::SineStereo(44100, 300.0, 300.0, 0.8);
  const double inHigh = Rms(high.data(), 44100, 1), inLow = Rms(low.data(), 44100, 1);
  lp.ProcessStereo(high.data(), int32_t(high.size() * 2));
  hp.ProcessStereo(low.data(), int32_t(low.size() * 2));
  EXPECT_LT(20 * std::log10(Rms(high.data(), 44100, 1, 4410) / inHigh), -60.0);
  EXPECT_LT(20 * std::log10(Rms(low.data(), 44100, 1, 4410) / inLow), -60.0);
}

TEST(IIRFilter, AnalysisRunsLikeTheLeftChannel) {
  const auto mono = Noise(TIIRFilter::kAnalysisSamples * 2, 13);
  TIIRFilter analysis, stereo;
  analysis.SetCutoff(true, 215.0f);
  stereo.SetCutoff(true, 215.0f);
  std::vector<int16_t> interleaved(mono.size() * 2);
  for (size_t i = 0; i < mono.size(); ++i) interleaved[2 * i] = interleaved[2 * i + 1] = mono[i];
  stereo.ProcessStereo(interleaved.data(), int32_t(interleaved.size() * 2));
  auto windows = mono;
  analysis.ProcessAnalysis(windows.data());
  analysis.ProcessAnalysis(windows.data() + TIIRFilter::kAnalysisSamples);
  for (size_t i = 0; i < mono.size(); ++i) ASSERT_EQ(windows[i], interleaved[2 * i]) << i;

  std::vector<int16_t> flat(TIIRFilter::kAnalysisSamples, 77);
  analysis.ProcessAnalysis(flat.data());
  EXPECT_EQ(flat, std::vector<int16_t>(TIIRFilter::kAnalysisSamples, 77));
}

TEST(IIRFilter, BadCutoffsStaySafe) {
  for (float hz : {0.0f, 1.0f, 22050.0f, 1e9f, -5.0f, NAN, INFINITY}) {
    SCOPED_TRACE(hz);
    TIIRFilter f;
    f.SetCutoff(true, hz);
    auto pcm = Noise(2 * 4410, 14, 30000);
    f.ProcessStereo(pcm.data(), int32_t(pcm.size() * 2));
    auto tail = Noise(2 * 4410, 15, 30000);
    f.ProcessStereo(tail.data(), int32_t(tail.size() * 2));
    for (int16_t s : tail) ASSERT_TRUE(s >= -32767 && s <= 32767);
  }
  TIIRFilter f;
  f.ProcessStereo(nullptr, 400);
  f.ProcessAnalysis(nullptr);
}

TEST(CutoffKnob, KnobLawAndDisplayText) {
  struct Case {
    int mode, knob;
    bool off, lowPass;
    double hz;
    const char* text;
  };
  const Case cases[] = {
      {-1, -64, false, true, 28.96, "29 Hz"},
      {-1, 61, false, true, 20743, "20.7 KHz"},
      {-1, 62, true, true, -1, "FILTER OFF"},
      {-1, 63, true, true, -1, "FILTER OFF"},
      {0, -64, false, true, 34.0, "34 Hz"},
      {0, -1, false, true, 19409, "19.4 KHz"},
      {0, 0, true, true, -1, "FILTER OFF"},
      {0, 1, false, false, 34.0, "34 Hz"},
      {0, 63, false, false, 17549, "17.5 KHz"},
      {1, -64, true, true, -1, "FILTER OFF"},
      {1, -63, true, true, -1, "FILTER OFF"},
      {1, -62, false, false, 28.96, "29 Hz"},
      {1, 63, false, false, 20743, "20.7 KHz"},
      {0, 500, false, false, 17549, "17.5 KHz"},   // out-of-range knob is limited
      {7, 0, true, true, -1, "FILTER OFF"},        // unknown mode acts as 0
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "mode " << c.mode << " knob " << c.knob);
    const TCutoffSetting s = CutoffFromKnob(c.mode, c.knob);
    EXPECT_EQ(s.lowPass, c.lowPass);
    if (c.off) {
      EXPECT_EQ(s.cutoffHz, -1.0);
    } else {
      EXPECT_NEAR(s.cutoffHz, c.hz, c.hz * 2e-4);
    }
    EXPECT_EQ(CutoffText(s.cutoffHz), c.text);
  }
  EXPECT_EQ(CutoffText(1050), "1.0 KHz");
  EXPECT_EQ(CutoffText(999.4), "999 Hz");
  EXPECT_EQ(CutoffText(-1, "AUS"), "AUS");
  EXPECT_EQ(CutoffText(NAN), "FILTER OFF");
}

}  // namespace
}  // namespace zonda
