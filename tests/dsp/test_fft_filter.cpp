// FFT engine and three-band equaliser: the transform against a direct DFT, the
// delay and gain of flat bands, kills measured with tone sweeps, band edges,
// limiting, and the same output whatever the caller's block size.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <vector>

#include "dsp/FFT.h"
#include "dsp/FFTFilter.h"
#include "dsp/FFTFilterEngine.h"
#include "tests/support/TestFiles.h"

namespace zonda {
namespace {

constexpr double kPi = 3.14159265358979323846;

std::vector<int16_t> Noise(size_t frames, unsigned seed, int amplitude = 10000) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> d(-amplitude, amplitude);
  std::vector<int16_t> v(frames * 2);
  for (auto& s : v) s = static_cast<int16_t>(d(rng));
  return v;
}

// Runs the whole signal through `f` in calls of `blockFrames` frames.
std::vector<int16_t> RunBlocks(TFFTFilter& f, std::vector<int16_t> pcm, size_t blockFrames) {
  for (size_t frame = 0; frame < pcm.size() / 2; frame += blockFrames) {
    const size_t n = std::min(blockFrames, pcm.size() / 2 - frame);
    f.ProcessStereo(pcm.data() + 2 * frame, int32_t(n * 4));
  }
  return pcm;
}

// Gain in dB of a sine through the equaliser, from the settled part of the output.
double ToneGainDb(TFFTFilter& f, double hz, double amplitude = 0.9) {
  const size_t frames = 16384;
  auto in = test::SineStereo(int64_t(frames), hz, hz, amplitude);
  auto out = RunBlocks(f, in, 512);
  double si = 0, so = 0;
  for (size_t i = 4096; i < frames; ++i) {
    si += double(in[2 * i]) * in[2 * i];
    so += double(out[2 * i]) * out[2 * i];
  }
  if (so == 0) return -200;
  return 10 * std::log10(so / si);
}

TEST(FFT, MatchesADirectDftAndRoundTrips) {
  for (int32_t n : {2, 4, 8, 64, 512, 1024}) {
    SCOPED_TRACE(n);
    TFFT<double> fft{n};
    ASSERT_EQ(fft.Size(), n);
    std::mt19937 rng{unsigned(n)};
    std::uniform_real_distribution<double> d(-1, 1);
    std::vector<TComplex<double>> x(static_cast<size_t>(n));
    for (auto& c : x) c = {d(rng), d(rng)};
    auto y = x;
    fft.Forward(y.data());
    for (int32_t k = 0; k < n; k += (n > 64 ? 37 : 1)) {
      double re = 0, im = 0;
      for (int32_t j = 0; j < n; ++j) {
        const double a = -2 * kPi * double(j) * k / n;
        re += x[size_t(j)].re * std::cos(a) - x[size_t(j)].im * std::sin(a);
        im += x[size_t(j)].re * std::sin(a) + x[size_t(j)].im * std::cos(a);
      }
      EXPECT_NEAR(y[size_t(k)].re, re, 1e-9);
      EXPECT_NEAR(y[size_t(k)].im, im, 1e-9);
    }
    // The reorder-free pair used for convolution gives the same results.
    auto z = x;
    fft.ForwardToBitReversed(z.data());
    fft.BitReverse(z.data());
    for (int32_t k = 0; k < n; ++k) {
      ASSERT_NEAR(z[size_t(k)].re, y[size_t(k)].re, 1e-9);
      ASSERT_NEAR(z[size_t(k)].im, y[size_t(k)].im, 1e-9);
    }
    auto half = x;
    for (int32_t j = n / 2; j < n; ++j) half[size_t(j)] = {0, 0};
    auto full = half;
    fft.Forward(full.data());
    for (int32_t j = n / 2; j < n; ++j) half[size_t(j)] = {99, -99};  // must not be read
    fft.ForwardToBitReversed(half.data(), true);
    fft.BitReverse(half.data());
    for (int32_t k = 0; k < n; ++k) {
      ASSERT_NEAR(half[size_t(k)].re, full[size_t(k)].re, 1e-9);
      ASSERT_NEAR(half[size_t(k)].im, full[size_t(k)].im, 1e-9);
    }
    auto back = y;
    fft.BitReverse(back.data());
    fft.InverseFromBitReversed(back.data());
    fft.Inverse(y.data());
    for (int32_t j = 0; j < n; ++j) {
      EXPECT_NEAR(y[size_t(j)].re, x[size_t(j)].re, 1e-12);
      EXPECT_NEAR(y[size_t(j)].im, x[size_t(j)].im, 1e-12);
      ASSERT_NEAR(back[size_t(j)].re, x[size_t(j)].re, 1e-12);
      ASSERT_NEAR(back[size_t(j)].im, x[size_t(j)].im, 1e-12);
    }
  }
  EXPECT_EQ(TFFT<float>(700).Size(), 512);   // rounded down to a power of two
  EXPECT_EQ(TFFT<float>(4096).Size(), 1024); // at most 1024
}

TEST(FFTFilter, FirstCallOnAFreshEngineReturnsZeros) {
  TFFTFilter f;
  auto pcm = Noise(256, 1);
  f.ProcessStereo(pcm.data(), 1024);
  EXPECT_EQ(pcm, std::vector<int16_t>(512, 0));
}

TEST(FFTFilter, FlatBandsGiveTheDelayedInput) {
  // 512-frame calls: no collection delay, only the 128 frames of the kernel.
  TFFTFilter f;
  const auto in = Noise(8192, 2, 20000);
  const auto out = RunBlocks(f, in, 512);
  const double gain = std::pow(10.0, 6.0 / 20.0) / 2.0;  // -0.02 dB
  double si = 0, so = 0;
  for (size_t i = 128; i < 8192; ++i) {
    for (int ch = 0; ch < 2; ++ch) {
      const double want = gain * in[2 * (i - 128) + ch];
      ASSERT_NEAR(out[2 * i + ch], want, 1.5) << "frame " << i;
      si += double(in[2 * (i - 128) + ch]) * in[2 * (i - 128) + ch];
      so += double(out[2 * i + ch]) * out[2 * i + ch];
    }
  }
  const double db = 10 * std::log10(so / si);
  EXPECT_LT(db, 0.0);
  EXPECT_GT(db, -0.03);
  for (size_t i = 0; i < 128; ++i) EXPECT_EQ(out[2 * i], 0);
}

TEST(FFTFilter, SameOutputWhateverTheBlockSize) {
  const auto in = Noise(30000, 3);
  // A cut and a boost; then the low kill, whose high-pass runs per engine block.
  for (const double low : {-36.0, -80.0}) {
    SCOPED_TRACE(low);
    TFFTFilter ref;
    ref.SetLowGain(low);
    ref.SetHighGain(9);
    const auto expect = RunBlocks(ref, in, 512);

    // Every call size gives the reference stream after a run of leading zeros:
    // no gaps later on (the collection delay is at most 511 frames).
    for (size_t block : {64u, 147u, 250u, 256u, 384u, 441u, 1000u, 2205u, 8820u, 16384u}) {
      SCOPED_TRACE(block);
      TFFTFilter f;
      f.SetLowGain(low);
      f.SetHighGain(9);
      // Whole calls only: a shorter last call may come out short, as any size change may.
      const size_t frames = (30000 / block) * block;
      const auto out = RunBlocks(f, std::vector<int16_t>(in.begin(), in.begin() + long(2 * frames)), block);
      auto matchesAt = [&](size_t lag) {
        for (size_t i = 0; i < lag; ++i) {
          if (out[2 * i] != 0 || out[2 * i + 1] != 0) return false;
        }
        for (size_t i = lag; i < frames; ++i) {
          if (out[2 * i] != expect[2 * (i - lag)] || out[2 * i + 1] != expect[2 * (i - lag) + 1]) return false;
        }
        return true;
      };
      bool found = false;
      for (size_t lag = 0; lag <= 511 && !found; ++lag) found = matchesAt(lag);
      EXPECT_TRUE(found);
    }
  }
}

// The response the kernel design gives, computed directly in double: the
// sampled spectrum with 128 frames of linear phase, real part, Hann window,
// evaluated at `hz` (no FFT involved). Bands at 0 dB count as never set, so
// the shared bins 3 and 53 keep the neighbour's gain.
double ReferenceGainDb(double lowDb, double midDb, double highDb, double hz) {
  double bins[257];
  for (double& b : bins) b = 0;
  if (lowDb != 0) for (int j = 0; j <= 3; ++j) bins[j] = lowDb;
  if (midDb != 0) for (int j = 3; j <= 53; ++j) bins[j] = midDb;
  if (highDb != 0) for (int j = 53; j <= 256; ++j) bins[j] = highDb;
  double g[257];
  for (int j = 0; j <= 256; ++j) g[j] = std::pow(10.0, (bins[j] + 6) / 20) * (j == 0 || j == 256 ? 0.5 : 1.0);
  const double w = 2 * kPi * hz / 44100;
  double re = 0, im = 0;
  for (int k = 0; k <= 256; ++k) {
    double h = 0;
    for (int j = 0; j <= 256; ++j) h += g[j] * std::cos(2 * kPi * j * (k - 128) / 512.0);
    h *= 0.5 - 0.5 * std::cos(2 * kPi * k / 256.0);
    re += h * std::cos(w * k);
    im -= h * std::sin(w * k);
  }
  return 20 * std::log10(std::hypot(re, im) / 512);
}

// Sets only the bands that are not 0 dB, as the knob handlers do when one band moves.
void SetBands(TFFTFilter& f, double low, double mid, double high) {
  if (low != 0) f.SetLowGain(low);
  if (mid != 0) f.SetMidGain(mid);
  if (high != 0) f.SetHighGain(high);
}

TEST(FFTFilter, ToneSweepsFollowTheKernelDesign) {
  struct Case {
    double low, mid, high;
  };
  const Case cases[] = {{-80, 0, 0}, {-36, 0, 0}, {12, 0, 0}, {0, -80, 0}, {0, -36, 12},
                        {0, 12, 0},  {0, 0, -80}, {0, 0, 12}, {-80, -80, 12}};
  const double tones[] = {20, 50, 100, 150, 200, 250, 300, 400, 700, 1500, 3000, 4600, 6000, 12000, 18000};
  for (const Case& c : cases) {
    TFFTFilter f;
    SetBands(f, c.low, c.mid, c.high);
    for (double hz : tones) {
      // Below 400 Hz a low kill is the high-pass stage's (LowKillToneSweep).
      if (c.low <= TFFTFilter::kLowKillDb && hz < 400) continue;
      SCOPED_TRACE(testing::Message() << c.low << "/" << c.mid << "/" << c.high << " dB at " << hz << " Hz");
      const double want = ReferenceGainDb(c.low, c.mid, c.high, hz);
      const bool boosted = c.low > 0 || c.mid > 0 || c.high > 0;
      const double got = ToneGainDb(f, hz, boosted ? 0.2 : 0.9);
      if (want > -55) {
        EXPECT_NEAR(got, want, 0.1);
      } else {
        EXPECT_LT(got, -50);  // down in the truncation noise
      }
    }
  }
}

TEST(FFTFilter, KillsAndKnobEnds) {
  // Wide bands reach their gain in the middle. The narrow low band (bins 0-3)
  // alone would only reach -41 dB at DC, -26 dB at 100 Hz and -13 dB at 200 Hz;
  // the kill's high-pass takes it down with the mid and high kills, also when
  // bin 3 is taken over by the mid band afterwards.
  struct Case {
    double low, mid, high, hz, minDb, maxDb;
  };
  const Case cases[] = {
      {-80, 0, 0, 20, -200, -80},    {-80, 0, 0, 100, -200, -80},  {-80, 0, 0, 200, -200, -80},
      {-80, 0, 0, 1500, -0.05, 0},   {0, -80, 0, 1500, -200, -70}, {0, 0, -80, 12000, -200, -70},
      {0, -36, 0, 1500, -36.2, -35.8}, {0, 12, 0, 1500, 11.9, 12.0}, {0, 0, 12, 12000, 11.9, 12.0},
      {0, 0, 0, 5000, -0.03, -0.01},
  };
  {
    TFFTFilter f;
    f.SetLowGain(-80);
    f.SetMidGain(0);  // bin 3 back to 0 dB
    EXPECT_LE(ToneGainDb(f, 20, 0.9), -80);
  }
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.low << "/" << c.mid << "/" << c.high << " dB at " << c.hz << " Hz");
    TFFTFilter f;
    SetBands(f, c.low, c.mid, c.high);
    const double got = ToneGainDb(f, c.hz, c.mid > 0 || c.high > 0 ? 0.2 : 0.9);
    EXPECT_GE(got, c.minDb);
    EXPECT_LE(got, c.maxDb);
  }
}

TEST(FFTFilter, LowKillToneSweep) {
  // The low kill alone, and after the mid band took bin 3 back to 0 dB (where
  // the kernel alone kills least): the bass goes, the mids and highs stay.
  for (const bool midAfter : {false, true}) {
    SCOPED_TRACE(midAfter ? "mid set after the kill" : "low kill alone");
    TFFTFilter f, flat;
    f.SetLowGain(-80);
    if (midAfter) f.SetMidGain(0);
    for (double hz : {30.0, 60.0, 100.0, 150.0, 200.0, 250.0}) {
      SCOPED_TRACE(hz);
      EXPECT_LE(ToneGainDb(f, hz, 0.9), hz < 250 ? -80 : -60);
    }
    for (double hz : {1000.0, 5000.0}) {
      SCOPED_TRACE(hz);
      EXPECT_NEAR(ToneGainDb(f, hz), ToneGainDb(flat, hz), 0.1);
    }
    // Just above the band the kernel still shapes the kill as designed.
    if (!midAfter) {
      EXPECT_NEAR(ToneGainDb(f, 400), ReferenceGainDb(-80, 0, 0, 400), 0.1);
    }
  }
}

TEST(FFTFilter, LowKillSwitchesWithoutAStep) {
  // Bass and a low-mid tone, the kill pressed and released while playing in
  // 256-frame calls: no sample-to-sample jump larger than the unswitched signal
  // has, and once released the output is the never-killed one again, exactly.
  constexpr size_t kFrames = 32768, kOn = 8192 + 256, kOff = 20480;
  auto in = test::SineStereo(kFrames, 60, 60, 0.5);
  const auto mid = test::SineStereo(kFrames, 700, 700, 0.3);
  for (size_t i = 0; i < in.size(); ++i) in[i] = int16_t(in[i] + mid[i]);
  TFFTFilter f, never;
  auto out = in, ref = in;
  for (size_t frame = 0; frame < kFrames; frame += 256) {
    if (frame == kOn) f.SetLowGain(-80);
    if (frame == kOff) f.SetLowGain(0);
    f.ProcessStereo(out.data() + 2 * frame, 1024);
    never.ProcessStereo(ref.data() + 2 * frame, 1024);
  }
  int largest = 0, largestNever = 0;
  for (size_t i = 2 * 1024 + 2; i < out.size(); ++i) {
    largest = std::max(largest, std::abs(out[i] - out[i - 2]));
    largestNever = std::max(largestNever, std::abs(ref[i] - ref[i - 2]));
  }
  EXPECT_LE(largest, largestNever * 11 / 10);
  // Killed and settled: the 60 Hz tone is gone, the 700 Hz one stays.
  double killedPower = 0, neverPower = 0;
  for (size_t i = kOn + 4096; i < kOff; ++i) {
    killedPower += double(out[2 * i]) * out[2 * i];
    neverPower += double(ref[2 * i]) * ref[2 * i];
  }
  const double midShare = 0.3 * 0.3 / (0.3 * 0.3 + 0.5 * 0.5);
  EXPECT_NEAR(10 * std::log10(killedPower / neverPower), 10 * std::log10(midShare), 0.2);
  EXPECT_FALSE(f.Engine().LowKillRunning());
  for (size_t i = kOff + 2048; i < kFrames; ++i) ASSERT_EQ(out[2 * i], ref[2 * i]) << i;
}

TEST(FFTFilter, SharedBinsFollowTheBandSetLast) {
  EXPECT_EQ(FFTFilterEngine::BandBins(0, 318).first, 0);
  EXPECT_EQ(FFTFilterEngine::BandBins(0, 318).last, 3);
  EXPECT_EQ(FFTFilterEngine::BandBins(320, 4595).first, 3);
  EXPECT_EQ(FFTFilterEngine::BandBins(320, 4595).last, 53);
  EXPECT_EQ(FFTFilterEngine::BandBins(4597, 22050).first, 53);
  EXPECT_EQ(FFTFilterEngine::BandBins(4597, 22050).last, 256);
  EXPECT_EQ(FFTFilterEngine::BandBins(30000, 100).last, 255);  // limited below 22050, swapped
  EXPECT_EQ(FFTFilterEngine::BandBins(100, 100).last, 1);

  const float killed = float(std::pow(10.0, -74.0 / 20.0));
  const float flat = float(std::pow(10.0, 6.0 / 20.0));
  std::vector<int16_t> block(512, 0);
  TFFTFilter f;
  f.SetLowGain(-80);
  f.ProcessStereo(block.data(), 1024);
  EXPECT_FLOAT_EQ(f.Engine().BinGain(3), killed);  // low set last
  EXPECT_FLOAT_EQ(f.Engine().BinGain(4), flat);
  f.SetMidGain(0);
  f.ProcessStereo(block.data(), 1024);
  EXPECT_FLOAT_EQ(f.Engine().BinGain(3), flat);  // now mid
  EXPECT_FLOAT_EQ(f.Engine().BinGain(2), killed);
  // Several pending at once: applied low, mid, high, so mid wins bin 3 and high bin 53.
  f.SetLowGain(-80);
  f.SetMidGain(6);
  f.SetHighGain(-80);
  f.ProcessStereo(block.data(), 1024);
  const float six = float(std::pow(10.0, 12.0 / 20.0));
  EXPECT_FLOAT_EQ(f.Engine().BinGain(3), six);
  EXPECT_FLOAT_EQ(f.Engine().BinGain(53), killed);
  EXPECT_FLOAT_EQ(f.Engine().BinGain(52), six);
}

TEST(FFTFilter, BoostIsLimitedTo16Bits) {
  TFFTFilter f;
  f.SetLowGain(12);
  f.SetMidGain(12);
  f.SetHighGain(12);
  const auto in = test::SineStereo(8192, 1000, 1000, 1.0);
  const auto out = RunBlocks(f, in, 512);
  int clipped = 0;
  for (size_t i = 1024; i < 8192; ++i) {
    const int16_t x = in[2 * (i - 128)], y = out[2 * i];
    if (y == 32767 || y == -32768) ++clipped;
    // No wrap-around: loud input keeps its sign and stays loud.
    if (std::abs(x) > 16000) {
      ASSERT_TRUE((x > 0) == (y > 0) && std::abs(int(y)) > 30000) << i;
    }
  }
  EXPECT_GT(clipped, 3000);
}

TEST(FFTFilter, LongBlocksAndBadInput) {
  TFFTFilter f, g;
  const auto in = Noise(40000, 4);  // 160000 bytes: more than one piece
  auto whole = in;
  f.ProcessStereo(whole.data(), int32_t(whole.size() * 2));
  const auto pieces = RunBlocks(g, in, 16384);
  EXPECT_EQ(whole, pieces);
  f.ProcessStereo(nullptr, 4096);
  f.ProcessStereo(whole.data(), 0);
  f.ProcessStereo(whole.data(), -8);
  f.SetMidGain(NAN);
  f.SetLowGain(1e300);
  auto tail = in;
  f.ProcessStereo(tail.data(), 8192);
}

}  // namespace
}  // namespace zonda
