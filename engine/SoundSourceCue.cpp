// Cue points and loops of a deck: the CUE button's three logics, beat
// snapping and the loop operations. Main thread only; the renderer performs
// the cue jump (RequestCueJump's handshake) and takes a requested loop over
// when the play position is inside it.
#include <algorithm>
#include <cmath>
#include <mutex>
#include <string>

#include "engine/SoundSource.h"
#include "platform/ThreadRole.h"

namespace zonda {
namespace {

constexpr int32_t kBeatMark = 56;          // BeatEnvelope value of a beat mark
constexpr int32_t kBeatMarkLagPoints = 17; // marks lie 17 overview points after their beat
constexpr int32_t kShortestResizedLoop = 400;

double TempoOrDefault(double bpm) { return bpm > 0.0 ? bpm : 120.0; }

}  // namespace

double TSoundSource::CurrentBPM() const {
  if (SeekPending.load()) return 0.0;
  const int32_t frame = PositionFrame();
  if (frame < 0) return 0.0;
  std::lock_guard guard(ChunkTableLock_);
  const TChunk* chunk = ChunkAt(frame / kChunkFrames);
  if (chunk == nullptr) return 0.0;
  const double bpm = chunk->Analysed.load(std::memory_order_acquire) ? chunk->ChunkBPM.load() : 0.0;
  return bpm > 0.0 ? bpm : 120.0;
}

void TSoundSource::RecomputeBeatFrames() {
  const double bpm = CurrentBPM();
  BeatFrames.store(bpm > 0.0 ? RoundToInt(2646000.0 / bpm) : 22050);
}

void TSoundSource::CuePress() {
  ZONDA_EXPECT_NOT_ON(TThreadRole::Audio);
  switch (CueLogic.load()) {
    case 1:
      if (LoadOk.load()) RequestCueJump(true);
      return;
    case 2:
      if (!LoadOk.load()) return;
      if (static_cast<double>(CuePoint.load()) == Position.load()) {
        if (!Playing.load()) TogglePlay();
      } else if (!Playing.load() && CueMoved.load()) {
        CuePoint.store(PositionFrame());
        PinAround(CuePoint.load());
        CueMoved.store(false);
      } else {
        CueMoved.store(false);
        RequestCueJump(true);
      }
      return;
    default:
      break;
  }
  // Standard logic.
  if (CuePoint.load() > 0) {
    if (Held.load()) return;
    if (Playing.load()) {
      ExitLoop(true);
      Position.store(static_cast<double>(CuePoint.load()));
      CueJumpRequest.store(false);
    } else if (LoadOk.load()) {
      // Waiting (bounded) also makes the jump when no audio thread renders.
      RequestCueJump(true);
    }
    return;
  }
  // Only a loaded track has a place to mark.
  if (!Loaded.load()) return;
  CuePoint.store(PositionFrame());
  PinAround(CuePoint.load());
}

int32_t TSoundSource::CueSlot(int32_t slot) const {
  return slot >= 1 && slot <= 8 ? CueSlots[static_cast<size_t>(slot)].load() : 0;
}

void TSoundSource::StoreCueInSelectedSlot() {
  const int32_t selected = SelectedCueSlot.load();
  if (selected >= 1 && selected <= 8) CueSlots[static_cast<size_t>(selected)].store(CuePoint.load());
}

void TSoundSource::SelectCueSlot(int32_t slot) {
  ZONDA_EXPECT_NOT_ON(TThreadRole::Audio);
  if (slot < 1 || slot > 8) return;
  StoreCueInSelectedSlot();
  SelectedCueSlot.store(slot);
  CuePoint.store(CueSlots[static_cast<size_t>(slot)].load());
}

void TSoundSource::EraseSelectedCue() {
  const int32_t selected = SelectedCueSlot.load();
  if (selected >= 1 && selected <= 8) CueSlots[static_cast<size_t>(selected)].store(0);
  CuePoint.store(0);
}

int32_t TSoundSource::SnapToBeat(int32_t windowFrames) const {
  const int32_t p = PositionFrame();
  if (!SnapLoopToBeat.load()) return p;
  const int64_t from = std::max<int64_t>(static_cast<int64_t>(p) - windowFrames, 0);
  const int64_t to = std::min<int64_t>(static_cast<int64_t>(p) + windowFrames, LastFrame.load());
  std::lock_guard guard(ChunkTableLock_);
  for (int64_t i = from; i <= to; ++i) {
    const int64_t inChunk = i % kChunkFrames;
    const int64_t k = inChunk * 4 * 200 / 176400 + kBeatMarkLagPoints;
    if (k > kDisplayLength - 1) continue;
    const TChunk* chunk = ChunkAt(static_cast<int32_t>(i / kChunkFrames));
    if (chunk == nullptr || !chunk->Analysed.load(std::memory_order_acquire)) continue;
    if (chunk->BeatEnvelope[static_cast<size_t>(k)] == kBeatMark) return static_cast<int32_t>(i);
  }
  return p;
}

bool TSoundSource::LoopInOut() {
  ZONDA_EXPECT_NOT_ON(TThreadRole::Audio);
  if (!Loaded.load()) return false;
  if (LoopActive.load()) {
    ResizeLoop(-(LoopLengthEff.load() / 2));
    return true;
  }
  RecomputeBeatFrames();
  if (!LoopInSet.load()) {
    const int32_t start = SnapToBeat(BeatFrames.load() * 3 / 4);
    LoopStart.store(start);
    LoopStartEff.store(start);
    LoopInSet.store(true);
    return true;
  }
  LoopInSet.store(false);
  const double sixteenth = BeatFrames.load() / 16.0;
  // Under one sixteenth elapsed the count is 0: that press makes the
  // shortest loop, two sixteenths.
  const double e = std::max(std::floor(std::fabs(Position.load() - LoopStart.load()) / sixteenth), 1.0);
  const int k = static_cast<int>(std::floor(std::log2(e)));
  const double n = std::ldexp(1.0, k + 1);
  const double len = n * 165375.0 / TempoOrDefault(CurrentBPM());
  const int32_t start = LoopStart.load();
  if (static_cast<int64_t>(start) + std::llround(len) > LastFrame.load()) {
    LoopEnd.store(0);
    return false;
  }
  const int32_t end = RoundToInt(start + len - 1.0);
  LoopEnd.store(end);
  LoopEndEff.store(end);
  LoopLength.store(end - start);
  LoopLengthEff.store(end - start);
  LoopActive.store(true);
  return true;
}

bool TSoundSource::SetBeatLoop(int32_t halfBeats) {
  ZONDA_EXPECT_NOT_ON(TThreadRole::Audio);
  if (!Loaded.load() || halfBeats <= 0) return false;
  LoopInSet.store(false);
  const double len = halfBeats * 1323000.0 / TempoOrDefault(CurrentBPM());
  RecomputeBeatFrames();
  const bool active = LoopActive.load();
  if (!active) {
    LoopStart.store(PositionFrame());
    LoopStartEff.store(PositionFrame());
  }
  const int32_t start = LoopStart.load();
  if (static_cast<int64_t>(start) + std::llround(len) > LastFrame.load()) {
    if (!active) LoopEnd.store(0);
    return false;
  }
  const int32_t end = RoundToInt(start + len - 1.0);
  // The in-effect values go first when no loop runs: the renderer must never
  // see LoopActive with a stale end in effect.
  if (!active) {
    LoopEndEff.store(end);
    LoopLengthEff.store(end - start);
  }
  LoopLength.store(end - start);
  LoopEnd.store(end);
  LoopActive.store(true);
  return true;
}

bool TSoundSource::ResizeLoop(int32_t deltaFrames) {
  ZONDA_EXPECT_NOT_ON(TThreadRole::Audio);
  if (!LoopActive.load()) return false;
  const int64_t end = static_cast<int64_t>(LoopEnd.load()) + deltaFrames;
  if (end > LastFrame.load()) return false;
  if (static_cast<int64_t>(LoopLength.load()) + deltaFrames < kShortestResizedLoop) return false;
  LoopEnd.store(static_cast<int32_t>(end));
  LoopLength.store(static_cast<int32_t>(end) - LoopStartEff.load());
  const double p = Position.load();
  if (LoopStart.load() < p && p < LoopEnd.load()) {
    LoopStartEff.store(LoopStart.load());
    LoopEndEff.store(LoopEnd.load());
    LoopLengthEff.store(LoopLength.load());
  }
  return true;
}

bool TSoundSource::ShiftLoop(int32_t deltaFrames) {
  ZONDA_EXPECT_NOT_ON(TThreadRole::Audio);
  if (!LoopActive.load()) return false;
  const int64_t end = static_cast<int64_t>(LoopEnd.load()) + deltaFrames;
  const int64_t start = static_cast<int64_t>(LoopStart.load()) + deltaFrames;
  if (end > LastFrame.load() || start < 0) return false;
  LoopStart.store(static_cast<int32_t>(start));
  LoopEnd.store(static_cast<int32_t>(end));
  const double p = Position.load();
  if (start < p && p < end) {
    LoopStartEff.store(static_cast<int32_t>(start));
    LoopEndEff.store(static_cast<int32_t>(end));
    LoopLengthEff.store(LoopLength.load());
  }
  return true;
}

void TSoundSource::ExitLoop(bool force) {
  if (!force && LoopActive.load() && ReloopAfterExit.load()) {
    ExitLoopPending.store(true);
    return;
  }
  ExitLoopForced();
}

std::string TSoundSource::LoopLengthText(const std::string& deckText) {
  if (!LoopActive.load()) return deckText;
  RecomputeBeatFrames();
  const double unit = BeatFrames.load() / 64.0;
  const double ratio = LoopLengthEff.load() / unit;
  // Under 1/64 beat there is nothing meaningful to say: shown as the smallest.
  const int k = ratio >= 1.0 ? static_cast<int>(std::lround(std::log2(ratio))) : 0;
  const int64_t c = int64_t{1} << std::clamp(k, 0, 40);
  switch (c) {
    case 1: return "1 / 64  BEAT";
    case 2: return "1 / 32  BEAT";
    case 4: return "1 / 16  BEAT";
    case 8: return "1 / 8  BEAT";
    case 16: return "1 / 4  BEAT";
    case 32: return "1 / 2  BEAT";
    case 64: return "1  BEAT";
    default: return std::to_string(c / 64) + "  BEATS";
  }
}

}  // namespace zonda
