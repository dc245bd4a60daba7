#include "engine/BeatAnalysis.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "dsp/IIRFilter.h"

namespace zonda {
namespace {

constexpr int32_t kWindowLength = 300;
constexpr int32_t kBandPassBlocks = kMonoSamples / TIIRFilter::kAnalysisSamples;  // 30
constexpr double kFramesPerPoint = 22.05;
constexpr double kFramesPerOverviewPoint = 220.5;
constexpr double kPointsPerMinute = 120000.0;

int32_t RoundToInt(double v) { return static_cast<int32_t>(std::lround(v)); }

// Lag in analysis points of a tempo; tempos of 0 or below give the longest lag.
int32_t LagOf(double bpm) {
  if (!(bpm > 0.0)) return kAnalysisPoints;
  return std::clamp(RoundToInt(kPointsPerMinute / bpm), 1, kAnalysisPoints);
}

int16_t ScaledPoint(double value, double peak) {
  // Below the beat mark: a loud point outside the peak's search window must
  // never read as a mark.
  return static_cast<int16_t>(std::clamp(RoundToInt(value * 55.0 / peak), 0, kBeatMark - 1));
}

}  // namespace

TBeatAnalysis::TBeatAnalysis()
    : mono_(kMonoSamples),
      decimated_(kAnalysisPoints),
      comb_(kAnalysisPoints + 1),
      envelope_(kAnalysisPoints + 1),
      window_(kWindowLength) {
  // The onset smoothing kernel: rises to its peak 150 points back, then falls.
  for (int32_t k = 0; k < kWindowLength; ++k) window_[k] = std::pow(1.03, k < 150 ? k : kWindowLength - k);
  ResetFilters();
}

TBeatAnalysis::~TBeatAnalysis() = default;

void TBeatAnalysis::ResetFilters() {
  lowPass_ = std::make_unique<TIIRFilter>();
  lowPass_->SetCutoff(true, 215.0f);
  highPass_ = std::make_unique<TIIRFilter>();
  highPass_->SetCutoff(false, 132.0f);
  lastBandPassed_ = -2;
}

void TBeatAnalysis::NewTrack() {
  bestPeak_ = 0.0;
  ResetFilters();
}

void TBeatAnalysis::MakeMono(const int16_t* stereo, int32_t frames) {
  const int32_t n = std::clamp(frames, 0, kMonoSamples);
  for (int32_t f = 0; f < n; ++f) {
    mono_[f] = static_cast<int16_t>((static_cast<int32_t>(stereo[2 * f]) + stereo[2 * f + 1]) / 2);
  }
  std::fill(mono_.begin() + n, mono_.end(), int16_t{0});
}

void TBeatAnalysis::Overview(int16_t* waveform, int32_t frames) const {
  for (int32_t i = 0; i < kOverviewPoints; ++i) {
    const int32_t s = RoundToInt(i * kFramesPerOverviewPoint);
    if (s >= frames) {
      waveform[i] = 0;
      continue;
    }
    int64_t sum = 0;
    for (int32_t k = 0; k < 110; ++k) sum += std::abs(static_cast<int32_t>(mono_[s + 2 * k]));
    waveform[i] = static_cast<int16_t>(std::min<int64_t>(std::llround(static_cast<double>(sum) / 110.25), 32767));
  }
}

bool TBeatAnalysis::BandPass(int32_t chunkIndex, const std::function<bool()>& abandon) {
  // The state left by the chunk just before continues this one; any other
  // chunk's state (or another track's) would ring into it.
  if (chunkIndex != lastBandPassed_ + 1) ResetFilters();
  for (int32_t b = 0; b < kBandPassBlocks; ++b) {
    if (abandon && abandon()) {
      lastBandPassed_ = -2;
      return false;
    }
    int16_t* block = mono_.data() + static_cast<size_t>(b) * TIIRFilter::kAnalysisSamples;
    lowPass_->ProcessAnalysis(block);
    highPass_->ProcessAnalysis(block);
  }
  lastBandPassed_ = chunkIndex;
  return true;
}

void TBeatAnalysis::Decimate() {
  for (int32_t i = 0; i < kAnalysisPoints - 1; ++i) {
    const double x = i * kFramesPerPoint;
    const int32_t j = static_cast<int32_t>(std::floor(x));
    const double t = x - j;
    decimated_[i] = static_cast<int16_t>(RoundToInt((1.0 - t) * mono_[j] + t * mono_[j + 1]));
  }
  decimated_[kAnalysisPoints - 1] = mono_[kMonoSamples - 1];
}

void TBeatAnalysis::OnsetEnvelope() {
  constexpr int32_t n = kAnalysisPoints;
  for (auto& v : decimated_) v = static_cast<int16_t>(std::min(std::abs(static_cast<int32_t>(v)), 32767));
  for (int32_t j = 0; j < n; ++j) {
    double sum = 0.0;
    const int32_t taps = std::min(kWindowLength - 1, j);
    for (int32_t k = 0; k <= taps; ++k) sum += window_[k] * decimated_[j - k];
    envelope_[j] = sum;
  }
  envelope_[n] = 0.0;
  for (int32_t k = 0; k < n; ++k) comb_[k] = envelope_[k + 1] - envelope_[k];
  comb_[n] = 0.0;
  for (int32_t k = 0; k < n; ++k) envelope_[k] = std::max(comb_[k], 0.0);
}

void TBeatAnalysis::CombResonate(int32_t lag) {
  constexpr int32_t n = kAnalysisPoints;
  lag = std::clamp(lag, 1, n);
  // The resonator loses half its level in 1750 points (0.875 s).
  const double g = std::pow(0.5, 1750.0 / lag);
  for (int32_t i = 0; i < n; ++i) {
    const double previous = i < lag ? envelope_[i + n - lag] : comb_[i - lag];
    comb_[i] = g * previous + (1.0 - g) * envelope_[i];
  }
}

double TBeatAnalysis::CombEnergy() const {
  double e = 0.0;
  for (int32_t i = 0; i < kAnalysisPoints; ++i) e += comb_[i] * comb_[i];
  return e;
}

std::vector<int32_t> TBeatAnalysis::Candidates(const std::array<double, kTempoRecords>& energies, bool slow) {
  const int32_t lo = slow ? 75 : 120;
  const int32_t hi = slow ? 124 : 159;
  struct Record {
    double energy;
    int32_t bpm;
  };
  std::array<Record, kTempoRecords> records{};
  for (int32_t i = 0; i < kTempoRecords; ++i) {
    const int32_t b = kTempoLow + i;
    const bool inRange = b >= lo && b <= hi;
    records[i] = {inRange ? energies[i] : 0.0, inRange ? b : 0};
  }
  std::stable_sort(records.begin(), records.end(), [](const Record& a, const Record& b) { return a.energy > b.energy; });

  const int32_t comparedUpTo = slow ? 119 : 154;
  const int32_t acceptedBelow = slow ? 120 : 155;
  std::vector<int32_t> candidates{records[0].bpm};
  for (size_t r = 1; r < records.size(); ++r) {
    const int32_t b = records[r].bpm;
    if (b <= 0 || b >= acceptedBelow) continue;
    bool apart = true;
    for (int32_t c : candidates) {
      if (c <= 0 || c > comparedUpTo) continue;
      const double ratio = static_cast<double>(std::max(b, c)) / std::min(b, c);
      if (ratio < 1.14) {
        apart = false;
        break;
      }
    }
    if (apart) candidates.push_back(b);
  }
  // A fast tempo among the first three gives way to a slower one after it.
  const int32_t fastAbove = slow ? 117 : 150;
  const int32_t slowBelow = slow ? 118 : 151;
  const size_t firstThree = std::min<size_t>(3, candidates.size());
  for (size_t i = 0; i < firstThree; ++i) {
    if (candidates[i] <= fastAbove) continue;
    for (size_t j = i + 1; j < firstThree; ++j) {
      if (candidates[j] < slowBelow) {
        std::swap(candidates[i], candidates[j]);
        break;
      }
    }
  }
  return candidates;
}

int32_t TBeatAnalysis::ChooseTempo(const std::vector<int32_t>& candidates, const TTempoSettings& settings) {
  int32_t c = candidates.empty() ? 0 : candidates[0];
  if (candidates.size() >= 2) {
    const int32_t c2 = candidates[1];
    // The slower of a 4:3 pair.
    if (std::fabs(c2 * 4.0 / 3.0 - c) < 2.0) c = c2;
    // The track's tempo so far.
    if (c2 != c && std::abs(c2 - settings.detectedBPM) <= 2 && settings.detectedVotes > 2) c = c2;
  }
  if (settings.locked) c = settings.storedBPM;
  if (std::abs(static_cast<int64_t>(c)) < kTempoLow) c = kTempoHigh;
  return c;
}

TPickedBPM TBeatAnalysis::PickBPM(std::span<const int32_t> histogram) {
  TPickedBPM best;
  for (size_t i = 0; i < histogram.size(); ++i) {
    if (i == 0 || histogram[i] > best.votes) best = {kTempoLow + static_cast<int32_t>(i), histogram[i]};
  }
  return best;
}

int32_t TBeatAnalysis::FindBeatPhase(int32_t a, int32_t period) const {
  if (period <= 0) return 0;
  const int32_t count = period / 2 + 51;
  const int64_t start = static_cast<int64_t>(a) + period - 25;
  double bestScore = -1.0;
  int64_t best = start;
  for (int64_t i = start; i < start + count; ++i) {
    double score = 0.0;
    for (int64_t j = 0; j < 9; ++j) {
      const int64_t k = i + j * period;
      if (k >= 0 && k < kAnalysisPoints) score += comb_[static_cast<size_t>(k)];
    }
    if (score > bestScore) {
      bestScore = score;
      best = i;
    }
  }
  return static_cast<int32_t>(((best % period) + period) % period);
}

TChunkBeats TBeatAnalysis::DetectBeats(const TTempoSettings& settings, const TPreviousTempo& previous,
                                       int32_t frames) {
  TChunkBeats r;
  OnsetEnvelope();

  // Coarse scan over whole BPMs of the range.
  const int32_t lo = settings.slow ? 75 : 120;
  const int32_t hi = settings.slow ? 124 : 159;
  std::array<double, kTempoRecords> energies{};
  for (int32_t b = lo; b <= hi; ++b) {
    CombResonate(LagOf(b));
    energies[b - kTempoLow] = CombEnergy();
  }
  const int32_t c = ChooseTempo(Candidates(energies, settings.slow), settings);
  r.Choice = c;

  // Fine scan: one analysis point at a time between the neighbouring BPMs.
  r.FineLagFirst = std::max(RoundToInt(kPointsPerMinute / (c + 1.0)) - 1, 1);
  r.FineLagLast = std::clamp(RoundToInt(kPointsPerMinute / (c - 1.0)), r.FineLagFirst, kAnalysisPoints);
  double bestEnergy = -1.0;
  int32_t p = r.FineLagFirst;
  for (int32_t lag = r.FineLagFirst; lag <= r.FineLagLast; ++lag) {
    CombResonate(lag);
    const double e = CombEnergy();
    if (e >= bestEnergy) {
      bestEnergy = e;
      p = lag;
    }
  }
  r.Lag = p;

  const bool hasTempo = p >= kShortestBeatPeriod;
  if (hasTempo) {
    const double bpm = kPointsPerMinute / p;
    r.ChunkBPM = bpm;
    r.BeatPeriod = p;
    if (bpm < 150.0) {
      const int32_t vote = RoundToInt(bpm);
      if (vote >= kTempoLow && vote <= kTempoHigh) r.Vote = vote;
    }
  } else if (previous.analysed) {
    r.ChunkBPM = previous.bpm;
    r.BeatPeriod = previous.period;
  }

  CombResonate(p);
  double m = 0.0;
  int32_t e = 1000;
  for (int32_t i = 1000; i <= 11000; ++i) {
    if (comb_[i] > m) {
      m = comb_[i];
      e = i;
    }
  }
  if (m >= bestPeak_) {
    bestPeak_ = m;
  } else {
    m = bestPeak_;
  }
  if (m == 0.0) m = 1.0;

  const int32_t beat = FindBeatPhase(e % p, p);
  r.BeatPhase = beat;
  r.BeatOffset = beat % 10;

  for (int32_t s = 0; s < kOverviewPoints; ++s) {
    if (s * kFramesPerOverviewPoint >= frames) {
      r.BeatEnvelope[s] = 0;  // past the track's end
      continue;
    }
    if (hasTempo) {
      const int32_t x = ((10 * s - beat + 9) % p + p) % p;
      r.BeatEnvelope[s] = x <= 9 ? static_cast<int16_t>(kBeatMark) : ScaledPoint(comb_[10 * s], m);
    } else {
      r.BeatEnvelope[s] = ScaledPoint(envelope_[10 * s], m);
    }
  }
  return r;
}

}  // namespace zonda
