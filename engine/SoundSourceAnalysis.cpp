// The deck's beat and tempo analysis: each decoded chunk analysed on the
// worker (TBeatAnalysis does the signal work), the track's BPM votes, the
// slow range and the BPM lock, and the beat phase at the play position.
#include <algorithm>
#include <cmath>
#include <mutex>

#include "engine/BeatAnalysis.h"
#include "engine/SoundSource.h"

namespace zonda {

void TSoundSource::AnalyseChunk(int32_t index) {
  if (index < 0 || index >= ChunkCount.load() || index >= kChunkTableSize) return;
  TChunk* chunk = Chunks[static_cast<size_t>(index)].load(std::memory_order_acquire);
  if (chunk == nullptr || chunk->Analysed.load(std::memory_order_acquire)) return;

  const uint32_t generation = AnalysisGeneration_.load();
  if (generation != AnalysedGeneration_) {
    Analysis_->NewTrack();
    AnalysedGeneration_ = generation;
  }
  auto abandon = [this, generation] {
    return LoadPending.load(std::memory_order_acquire) || SeekPending.load(std::memory_order_acquire) ||
           AnalysisGeneration_.load() != generation;
  };
  // Only the chunk's own frames: a short last chunk is not padded with
  // another chunk's (or track's) samples.
  const int32_t frames = std::clamp(chunk->BytesRead / 4, 0, kChunkFrames);
  Analysis_->MakeMono(chunk->PCM.data(), frames);
  Analysis_->Overview(chunk->Waveform.data(), frames);
  if (!Analysis_->BandPass(index, abandon)) return;
  Analysis_->Decimate();
  if (abandon()) return;

  TTempoSettings settings;
  settings.slow = SlowBPM.load();
  settings.locked = BPMLocked.load();
  settings.storedBPM = StoredBPM.load();
  settings.detectedBPM = DetectedBPM.load();
  settings.detectedVotes = DetectedBPMVotes.load();
  TPreviousTempo previous;
  if (const TChunk* before = ChunkAt(index > 0 ? index - 1 : 0);
      before != nullptr && before != chunk && before->Analysed.load(std::memory_order_acquire)) {
    previous = {true, before->ChunkBPM.load(), before->BeatPeriod.load()};
  }
  const TChunkBeats beats = Analysis_->DetectBeats(settings, previous, frames);
  chunk->BeatEnvelope = beats.BeatEnvelope;
  chunk->ChunkBPM.store(beats.ChunkBPM);
  chunk->BeatPeriod.store(beats.BeatPeriod);
  chunk->BeatOffset.store(beats.BeatOffset);
  if (AnalysisGeneration_.load() != generation) return;
  if (beats.Vote != 0) {
    BPMHistogram[static_cast<size_t>(beats.Vote - kBPMHistogramLow)].fetch_add(1);
    std::array<int32_t, kBPMHistogramSize> votes{};
    for (size_t i = 0; i < votes.size(); ++i) votes[i] = BPMHistogram[i].load();
    const TPickedBPM picked = TBeatAnalysis::PickBPM(votes);
    DetectedBPMVotes.store(picked.votes);
    DetectedBPM.store(picked.bpm);
  }
  chunk->Analysed.store(true, std::memory_order_release);
  // A range switch that cleared the flags meanwhile must not see this one survive.
  if (AnalysisGeneration_.load() != generation) chunk->Analysed.store(false);
}

int32_t TSoundSource::ChunksAnalysed() const {
  const int32_t count = ChunkCount.load();
  std::lock_guard guard(ChunkTableLock_);
  int32_t n = 0;
  for (int32_t i = 0; i < count; ++i) {
    const TChunk* chunk = ChunkAt(i);
    if (chunk != nullptr && chunk->Analysed.load(std::memory_order_acquire)) ++n;
  }
  return n;
}

bool TSoundSource::ChunkAnalysed(int32_t index) const {
  std::lock_guard guard(ChunkTableLock_);
  const TChunk* chunk = ChunkAt(index);
  return chunk != nullptr && chunk->Analysed.load(std::memory_order_acquire);
}

void TSoundSource::RestartAnalysis(bool slow, bool locked, int32_t storedBPM) {
  SlowBPM.store(slow);
  StoredBPM.store(storedBPM);
  BPMLocked.store(locked);
  AnalysisGeneration_.fetch_add(1);
  {
    std::lock_guard guard(ChunkTableLock_);
    for (int32_t i = 0; i < kChunkTableSize; ++i) {
      if (TChunk* chunk = Chunks[static_cast<size_t>(i)].load(std::memory_order_acquire)) chunk->Analysed.store(false);
    }
  }
  for (auto& votes : BPMHistogram) votes.store(0);
  DetectedBPMVotes.store(0);
  DetectedBPM.store(0);
  WakeEvent.Signal();
}

void TSoundSource::SetSlowBPM(bool on) { RestartAnalysis(on, false, StoredBPM.load()); }

void TSoundSource::EditBPM(bool slow, int32_t bpm, bool locked) { RestartAnalysis(slow, locked, bpm); }

TSoundSource::TBeatPhase TSoundSource::GetBeatPhase() const {
  TBeatPhase r;
  r.Frame = PositionFrame();
  const double bpm = CurrentBPM();
  const int32_t beat = bpm > 0.0 ? static_cast<int32_t>(std::lround(2646000.0 / bpm)) : 22050;
  r.BeatFrames = beat;

  // Overview points: frames * 2 div 441.
  const int64_t last = static_cast<int64_t>(LastFrame.load()) * 2 / 441;
  const int64_t at = static_cast<int64_t>(std::max(r.Frame, 0)) * 2 / 441;
  const int64_t beatPoints = static_cast<int64_t>(beat) * 2 / 441;
  const int64_t from = std::clamp<int64_t>(at + kBeatMarkLagPoints, 0, last);
  const int64_t to = std::clamp<int64_t>(at + kBeatMarkLagPoints + beatPoints * 4 / 3, 0, last);
  const int64_t expected = std::clamp<int64_t>(at * 10 + kBeatMarkLagPoints * 10, 0, 10 * last);
  int64_t found = expected;
  {
    std::lock_guard guard(ChunkTableLock_);
    for (int64_t p = from; p <= to; ++p) {
      const TChunk* chunk = ChunkAt(static_cast<int32_t>(p / kDisplayLength));
      if (chunk == nullptr) break;
      if (!chunk->Analysed.load(std::memory_order_acquire)) continue;  // reads as 0 until analysed
      if (chunk->BeatEnvelope[static_cast<size_t>(p % kDisplayLength)] == kBeatMark) {
        found = p * 10 + chunk->BeatOffset.load();
        break;
      }
    }
  }
  const int64_t beatAnalysisPoints = std::max<int64_t>(static_cast<int64_t>(beat) * 20 / 441, 1);
  double phase = 1.0 - static_cast<double>(found - expected) / static_cast<double>(beatAnalysisPoints);
  phase = std::clamp(phase, 0.0, 1.0);
  if (RenderedSpeed() < 0.0) phase = 1.0 - phase;
  r.Phase = phase;
  return r;
}

}  // namespace zonda
