#pragma once
// Measuring tones in rendered audio, independently of the code under test: a
// Hann-windowed Goertzel filter for the level of one frequency, a search for
// the strongest frequency, and levels in dB of 16-bit full scale.
//
//   const double db = test::ToneDb(samples, 1000.0);     // -7.4 for 0.9 x 0.5 full scale
//   const double hz = test::PeakHz(samples, 900, 1100);  // to a tenth of a hertz
#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace zonda::test {

inline constexpr double kToneRateHz = 44100.0;

// dB of a peak amplitude against 16-bit full scale (32767); -200 for nothing.
inline double FullScaleDb(double amplitude) { return amplitude > 0 ? 20 * std::log10(amplitude / 32767) : -200; }

// Level of a sine with the same RMS as x, as dB of full scale.
inline double RmsDb(const std::vector<double>& x) {
  double s = 0;
  for (double v : x) s += v * v;
  return x.empty() ? -200 : FullScaleDb(std::sqrt(s / double(x.size())) * std::sqrt(2.0));
}

// Amplitude of the tone at hz in x (Hann-windowed Goertzel), as dB of full scale.
inline double ToneDb(const std::vector<double>& x, double hz, double rateHz = kToneRateHz) {
  const double w = 2 * std::numbers::pi * hz / rateHz;
  const double coeff = 2 * std::cos(w);
  double s1 = 0, s2 = 0, windowSum = 0;
  const size_t n = x.size();
  for (size_t i = 0; i < n; ++i) {
    const double win = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * double(i) / double(n));
    windowSum += win;
    const double s = x[i] * win + coeff * s1 - s2;
    s2 = s1;
    s1 = s;
  }
  if (windowSum <= 0) return -200;
  const double power = s1 * s1 + s2 * s2 - coeff * s1 * s2;
  return FullScaleDb(2 * std::sqrt(std::max(power, 0.0)) / windowSum);
}

// The strongest frequency between lo and hi: a 1 Hz scan, then a tenth of a
// hertz around the best.
inline double PeakHz(const std::vector<double>& x, double lo, double hi, double rateHz = kToneRateHz) {
  double best = lo, bestDb = -1e9;
  for (double f = lo; f <= hi; f += 1.0) {
    const double d = ToneDb(x, f, rateHz);
    if (d > bestDb) bestDb = d, best = f;
  }
  const double coarse = best;
  for (double f = coarse - 1; f <= coarse + 1; f += 0.1) {
    const double d = ToneDb(x, f, rateHz);
    if (d > bestDb) bestDb = d, best = f;
  }
  return best;
}

}  // namespace zonda::test
