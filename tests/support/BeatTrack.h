#pragma once
// Generated beats with a known tempo and phase, as deck PCM (44100 Hz stereo
// 16-bit, interleaved): a kick drum (a falling sine from 180 to 60 Hz) on
// every beat from firstBeatFrame on, optionally with an off-beat hi-hat and
// background noise, for the beat analysis tests and benchmarks.
//
//   auto pcm = test::KickTrack({.seconds = 30, .bpm = 128, .firstBeatFrame = 5000});
#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstdint>
#include <numbers>
#include <random>
#include <vector>

namespace zonda::test {

struct BeatRecipe {
  double seconds = 30.0;
  double bpm = 128.0;
  double firstBeatFrame = 0.0;   // frame of the first kick
  double kickAmplitude = 0.6;    // of full scale
  double hatAmplitude = 0.0;     // off-beat hi-hat (noise burst), 0 = none
  double noiseAmplitude = 0.0;   // steady white noise, 0 = none
  double silentFrom = -1.0;      // seconds: no kicks from here ...
  double silentTo = -1.0;        // ... to here
  int channels = 3;               // 1 left only, 2 right only, 3 both
  uint32_t seed = 1;
};

inline double BeatFramesOf(double bpm) { return 2646000.0 / bpm; }

inline std::vector<int16_t> KickTrack(const BeatRecipe& r) {
  const int64_t frames = static_cast<int64_t>(r.seconds * 44100.0);
  std::vector<double> mix(static_cast<size_t>(frames), 0.0);
  const double beat = BeatFramesOf(r.bpm);
  const int64_t kickLength = 6615;  // 150 ms
  std::mt19937 random(r.seed);
  std::uniform_real_distribution<double> white(-1.0, 1.0);
  for (double start = r.firstBeatFrame; start < frames; start += beat) {
    const double t0 = start / 44100.0;
    if (t0 >= r.silentFrom && t0 < r.silentTo) continue;
    const int64_t s = static_cast<int64_t>(std::llround(start));
    double phase = 0.0;
    for (int64_t k = 0; k < kickLength && s + k < frames; ++k) {
      if (s + k < 0) continue;
      const double t = k / 44100.0;
      const double freq = 60.0 + 120.0 * std::exp(-t / 0.03);
      phase += 2.0 * std::numbers::pi * freq / 44100.0;
      const double attack = std::min(1.0, k / 44.0);
      mix[static_cast<size_t>(s + k)] += r.kickAmplitude * attack * std::exp(-t / 0.06) * std::sin(phase);
    }
    if (r.hatAmplitude > 0.0) {
      const int64_t h = static_cast<int64_t>(std::llround(start + beat / 2));
      for (int64_t k = 0; k < 2205 && h + k < frames; ++k) {
        mix[static_cast<size_t>(h + k)] += r.hatAmplitude * std::exp(-k / 300.0) * white(random);
      }
    }
  }
  if (r.noiseAmplitude > 0.0) {
    for (double& v : mix) v += r.noiseAmplitude * white(random);
  }
  std::vector<int16_t> pcm(static_cast<size_t>(frames) * 2);
  for (int64_t f = 0; f < frames; ++f) {
    const double v = std::clamp(mix[static_cast<size_t>(f)], -1.0, 1.0) * 32767.0;
    const auto sample = static_cast<int16_t>(std::lround(v));
    pcm[static_cast<size_t>(2 * f)] = (r.channels & 1) ? sample : int16_t{0};
    pcm[static_cast<size_t>(2 * f + 1)] = (r.channels & 2) ? sample : int16_t{0};
  }
  return pcm;
}

// Frames where a kick starts in one channel: the first sample above a
// quarter of the channel's peak, at least 200 ms after the previous onset.
template <class Sample>
std::vector<int64_t> KickOnsets(const std::vector<Sample>& samples) {
  double peak = 0.0;
  for (Sample v : samples) peak = std::max(peak, std::fabs(static_cast<double>(v)));
  std::vector<int64_t> onsets;
  if (peak == 0.0) return onsets;
  int64_t last = -44100;
  for (size_t i = 0; i < samples.size(); ++i) {
    if (std::fabs(static_cast<double>(samples[i])) * 4.0 < peak) continue;
    if (static_cast<int64_t>(i) - last < 8820) continue;
    onsets.push_back(static_cast<int64_t>(i));
    last = static_cast<int64_t>(i);
  }
  return onsets;
}

// The largest distance, in beats, from an onset of `a` at or after `from`
// to the nearest onset of `b`.
inline double WorstOnsetGapBeats(const std::vector<int64_t>& a, const std::vector<int64_t>& b, int64_t from,
                                 double beatFrames) {
  double worst = 0.0;
  for (int64_t t : a) {
    if (t < from) continue;
    int64_t best = INT64_MAX;
    for (int64_t u : b) best = std::min(best, std::abs(u - t));
    worst = std::max(worst, static_cast<double>(best) / beatFrames);
  }
  return worst;
}

}  // namespace zonda::test
