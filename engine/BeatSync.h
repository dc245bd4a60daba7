#pragma once
// Beat matching between the two decks, and the rules around it that the main
// window, the headless host and the Auto-DJ share: SYNC's tempo and phase
// match, the beat difference with the bend lamps it lights, the BPM read-out
// text and the BPM dialog's entry rules.
//
//   TSyncResult r = SyncDeck(deckA, deckB, sliderB, sliderMaxA,
//                            [&](int32_t value) { SetPitchSlider(A, value); });
//   int32_t diff = BeatDiff(deckA, deckB);        // every tick
//   TBendLamps lamps = BendLampsFor(diff);
//
// Pitch slider values are the negated pitch in permyriad (-500 = +5.00 %).
// Main thread (a host's one thread): decks are driven only through methods.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace zonda {

class TSoundSource;

enum class TSyncResult {
  NoTempo,     // either deck empty, loading or seeking: the deck only starts
  OutOfRange,  // the pitch needed exceeds the deck's range: the deck only starts
  Synced,      // tempo and phase matched
};

// The pitch (permyriad) that makes a deck of tempo bpm run at the other deck's
// current tempo (otherBpm with the other deck's slider value otherSlider).
int32_t MatchingPitch(double bpm, double otherBpm, int32_t otherSlider);

// A phase difference brought into -0.5..0.5 beat.
double WrapPhaseDifference(double r);

// Frames to nudge a deck with phase `phase` (direction sign `direction`,
// beatFrames per beat) onto the other deck's phase.
int32_t PhaseNudgeFrames(double phase, double otherPhase, int32_t beatFrames, int32_t direction);

// The deck's tempo for matching: its CurrentBPM, or 0 while a load or seek is pending.
double SyncTempo(const TSoundSource& deck);

// SYNC on `deck` against `other`: the deck starts playing; with both tempos
// known and the pitch within maxSlider, setPitchSlider(-m) applies the tempo
// (the window's pitch slider with its change handler, or the host's pitch)
// and the deck is nudged onto the other's beat phase (a whole beat the other
// way when the nudge would leave the track).
TSyncResult SyncDeck(TSoundSource& deck, const TSoundSource& other, int32_t otherSlider, int32_t maxSlider,
                     const std::function<void(int32_t)>& setPitchSlider);

// Beat difference of deck A against deck B in hundredths of a beat (positive:
// A is behind), 0 unless both decks play.
int32_t BeatDiff(const TSoundSource& deckA, const TSoundSource& deckB);
int32_t BeatDiffOf(double phaseA, double phaseB, bool bothPlaying);

struct TBendLamps {
  bool aDown = false, aUp = false, bDown = false, bUp = false;
};
// Which bend buttons would close the gap: beyond 3 hundredths either way.
TBendLamps BendLampsFor(int32_t beatDiff);

// The BPM read-out: bpm x (1 - slider / 10000) with one decimal ("128.0").
std::string BPMReadout(double bpm, int32_t slider);

// The BPM dialog.
inline constexpr int32_t kEditBPMLowest = 75;
inline constexpr int32_t kEditBPMHighest = 150;
// The value the dialog opens with: the detected BPM, or the stored one when
// nothing was detected or it has fewer than 4 votes.
int32_t EditBPMStart(int32_t detectedBPM, int32_t detectedVotes, int32_t storedBPM);
// An entered text as a BPM, or nothing when it is not a whole number in 75..150.
std::optional<int32_t> ParseEditedBPM(const std::string& text);
// Whether an entered BPM belongs to the slow range switch (30 < v < 120).
bool IsSlowBPM(int32_t bpm);

}  // namespace zonda
