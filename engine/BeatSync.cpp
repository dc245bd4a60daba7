#include "engine/BeatSync.h"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "engine/SoundSource.h"

namespace zonda {

int32_t MatchingPitch(double bpm, double otherBpm, int32_t otherSlider) {
  return static_cast<int32_t>(std::lround(((1.0 - otherSlider / 10000.0) * otherBpm / bpm - 1.0) * 10000.0));
}

double WrapPhaseDifference(double r) {
  if (std::fabs(r) > 0.5) r = r > 0.0 ? r - 1.0 : r + 1.0;
  return r;
}

int32_t PhaseNudgeFrames(double phase, double otherPhase, int32_t beatFrames, int32_t direction) {
  const double r = WrapPhaseDifference(phase - otherPhase);
  const double sign = direction < 0 ? -1.0 : 1.0;
  return static_cast<int32_t>(std::lround(sign * -r * beatFrames));
}

double SyncTempo(const TSoundSource& deck) {
  if (deck.LoadPending.load() || deck.SeekPending.load()) return 0.0;
  return deck.CurrentBPM();
}

TSyncResult SyncDeck(TSoundSource& deck, const TSoundSource& other, int32_t otherSlider, int32_t maxSlider,
                     const std::function<void(int32_t)>& setPitchSlider) {
  if (!deck.Playing.load()) deck.TogglePlay();
  const double bpm = SyncTempo(deck);
  const double otherBpm = SyncTempo(other);
  if (bpm == 0.0 || otherBpm == 0.0) return TSyncResult::NoTempo;
  const int32_t m = MatchingPitch(bpm, otherBpm, otherSlider);
  if (std::abs(m) > maxSlider) return TSyncResult::OutOfRange;
  if (setPitchSlider) setPitchSlider(-m);
  const TSoundSource::TBeatPhase mine = deck.GetBeatPhase();
  const TSoundSource::TBeatPhase theirs = other.GetBeatPhase();
  int32_t nudge = PhaseNudgeFrames(mine.Phase, theirs.Phase, mine.BeatFrames, deck.GetDirection());
  // Near either end of the track the same phase lies one beat the other way.
  const int64_t target = static_cast<int64_t>(mine.Frame) + nudge;
  if (target < 0) nudge += mine.BeatFrames;
  if (target > deck.LastFrame.load()) nudge -= mine.BeatFrames;
  deck.Nudge(nudge);
  return TSyncResult::Synced;
}

int32_t BeatDiffOf(double phaseA, double phaseB, bool bothPlaying) {
  if (!bothPlaying) return 0;
  return static_cast<int32_t>(-std::lround(WrapPhaseDifference(phaseA - phaseB) * 100.0));
}

int32_t BeatDiff(const TSoundSource& deckA, const TSoundSource& deckB) {
  const bool both = deckA.Playing.load() && deckB.Playing.load();
  if (!both) return 0;
  return BeatDiffOf(deckA.GetBeatPhase().Phase, deckB.GetBeatPhase().Phase, true);
}

TBendLamps BendLampsFor(int32_t beatDiff) {
  TBendLamps l;
  l.aDown = beatDiff < -3;
  l.aUp = beatDiff > 3;
  l.bDown = beatDiff > 3;
  l.bUp = beatDiff < -3;
  return l;
}

std::string BPMReadout(double bpm, int32_t slider) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", bpm * (1.0 - slider / 10000.0));
  return text;
}

int32_t EditBPMStart(int32_t detectedBPM, int32_t detectedVotes, int32_t storedBPM) {
  return detectedBPM == 0 || detectedVotes < 4 ? storedBPM : detectedBPM;
}

std::optional<int32_t> ParseEditedBPM(const std::string& text) {
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text.c_str(), &end, 10);
  if (errno != 0 || end == text.c_str() || *end != '\0') return std::nullopt;
  if (v < kEditBPMLowest || v > kEditBPMHighest) return std::nullopt;
  return static_cast<int32_t>(v);
}

bool IsSlowBPM(int32_t bpm) { return bpm > 30 && bpm < 120; }

}  // namespace zonda
