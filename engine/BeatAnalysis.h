#pragma once
// TBeatAnalysis: tempo and beat detection of one 6-second chunk of deck PCM.
//
// The chunk is mixed to mono, summarised as a 200 Hz overview, band-passed to
// the kick-drum band (132-215 Hz), decimated to 2000 points per second and
// turned into an onset envelope; a bank of comb-filter resonators finds the
// beat period (coarse scan over whole BPMs, then a fine scan over single
// analysis points) and the beat phase, and the beat envelope for the beat
// display is drawn with beat marks (value 56).
//
//   TBeatAnalysis a;
//   a.NewTrack();
//   a.MakeMono(chunk.PCM.data(), framesRead);
//   a.Overview(chunk.Waveform.data(), framesRead);
//   if (a.BandPass(index, [&] { return abandon(); })) {
//     a.Decimate();
//     TChunkBeats beats = a.DetectBeats(settings, previous, framesRead);
//   }
//
// Plain arrays and no engine: the deck (engine/SoundSource.cpp) runs it on
// its worker and publishes the results; tests drive it on generated beats.
// One object serves one thread (the deck's worker); never the audio thread.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

namespace zonda {

class TIIRFilter;

inline constexpr int32_t kBeatMark = 56;               // beat envelope value of a beat mark
inline constexpr int32_t kBeatMarkLagPoints = 17;      // marks lie 17 overview points after their beat
inline constexpr int32_t kAnalysisPoints = 12000;      // 2000 per second
inline constexpr int32_t kOverviewPoints = 1200;       // 200 per second
inline constexpr int32_t kMonoSamples = 264600;        // one chunk
inline constexpr int32_t kTempoLow = 70;               // votes and records cover 70..160 BPM
inline constexpr int32_t kTempoHigh = 160;
inline constexpr int32_t kTempoRecords = kTempoHigh - kTempoLow + 1;
inline constexpr int32_t kShortestBeatPeriod = 790;    // analysis points; shorter is no usable tempo

// What the tempo choice needs from the deck.
struct TTempoSettings {
  bool slow = false;          // 75..124 BPM scan instead of 120..159
  bool locked = false;        // the user's stored BPM overrides the choice
  int32_t storedBPM = 0;
  int32_t detectedBPM = 0;    // the track's vote so far
  int32_t detectedVotes = 0;
};

// The previous chunk's tempo (index - 1, or chunk 0 for the first).
struct TPreviousTempo {
  bool analysed = false;
  double bpm = 0.0;
  int32_t period = 0;
};

struct TChunkBeats {
  double ChunkBPM = 0.0;       // 0 = none
  int32_t BeatPeriod = 0;      // analysis points, 0 = none
  int32_t BeatOffset = 0;      // 0..9
  int32_t BeatPhase = 0;       // first beat, analysis points 0..period-1
  int32_t Vote = 0;            // BPM to add to the track's votes, 0 = none
  int32_t Choice = 0;          // the chosen coarse tempo
  int32_t FineLagFirst = 0;    // the fine scan's lags
  int32_t FineLagLast = 0;
  int32_t Lag = 0;             // the fine scan's best lag
  std::array<int16_t, kOverviewPoints> BeatEnvelope{};
};

struct TPickedBPM {
  int32_t bpm = 0;
  int32_t votes = 0;
};

class TBeatAnalysis {
 public:
  TBeatAnalysis();
  ~TBeatAnalysis();
  TBeatAnalysis(const TBeatAnalysis&) = delete;
  TBeatAnalysis& operator=(const TBeatAnalysis&) = delete;

  // A new track (or a new analysis range): the largest comb output seen is
  // forgotten and the band-pass filters start afresh.
  void NewTrack();

  // Mono := (left + right) / 2 for the first `frames` frames; the rest of the
  // buffer is zero, so a short last chunk reads only its own track's frames.
  void MakeMono(const int16_t* stereo, int32_t frames);
  // The overview (mean magnitude of every other sample of each 220.5 frames);
  // points past `frames` are 0.
  void Overview(int16_t* waveform, int32_t frames) const;
  // Band-pass in 30 blocks of 8820 samples; abandon() is asked before each
  // block, and true stops the analysis (false returned). The filters carry
  // their state over only from the chunk just before in the same track.
  bool BandPass(int32_t chunkIndex, const std::function<bool()>& abandon);
  // Linear interpolation to 2000 points per second.
  void Decimate();

  // The onset envelope of the decimated samples (into Envelope()).
  void OnsetEnvelope();
  // One comb resonator of the given lag over the onset envelope (into Comb()).
  void CombResonate(int32_t lag);
  double CombEnergy() const;
  // Tempo, beat grid and beat envelope of the decimated chunk. `frames` is the
  // chunk's own length: beat envelope points past it stay 0.
  TChunkBeats DetectBeats(const TTempoSettings& settings, const TPreviousTempo& previous,
                          int32_t frames = kMonoSamples);
  // The offset (0..period-1) whose nine consecutive beats carry the most comb
  // output, searched from 25 points before a to half a beat after it.
  int32_t FindBeatPhase(int32_t a, int32_t period) const;

  // The coarse scan's candidates from the energies of 70..160 BPM (0 for BPMs
  // outside the scanned range), best first, after the fast-tempo swap.
  static std::vector<int32_t> Candidates(const std::array<double, kTempoRecords>& energies, bool slow);
  // The chosen tempo among the candidates (160 when none is usable).
  static int32_t ChooseTempo(const std::vector<int32_t>& candidates, const TTempoSettings& settings);
  // The most voted BPM (the lowest among equals) and its votes.
  static TPickedBPM PickBPM(std::span<const int32_t> histogram);

  std::span<int16_t> Mono() { return mono_; }
  std::span<int16_t> Decimated() { return decimated_; }
  std::span<const double> Comb() const { return comb_; }
  std::span<const double> Envelope() const { return envelope_; }
  double BestPeak() const { return bestPeak_; }

 private:
  void ResetFilters();

  std::vector<int16_t> mono_;        // kMonoSamples
  std::vector<int16_t> decimated_;   // kAnalysisPoints
  std::vector<double> comb_;         // kAnalysisPoints + 1
  std::vector<double> envelope_;     // kAnalysisPoints + 1
  std::vector<double> window_;       // 300: 1.03^k below 150, 1.03^(300-k) above
  double bestPeak_ = 0.0;
  int32_t lastBandPassed_ = -2;      // chunk whose end the filters' state belongs to
  std::unique_ptr<TIIRFilter> lowPass_;
  std::unique_ptr<TIIRFilter> highPass_;
};

}  // namespace zonda
