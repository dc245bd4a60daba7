#pragma once
// Key lock: tempo change without pitch change by periodic splicing.
//
// With key lock on, the read position moves one source frame per output frame
// (so the pitch stays) and every `SpliceInterval` output frames (3528, 80 ms)
// it jumps by `SpliceJump` frames in the direction of play, so that on average
// it advances |speed| source frames per output frame. Each jump is the nominal
// (|speed| - 1) x 3528 frames minus a lag chosen by correlation, so that the
// audio after the jump resembles the audio before it; the lag is handed on to
// the next splice (`SpliceCorrection`), which cancels it again, so the lags
// never add up to a drift. During the last `SpliceOverlap` (400) output frames
// before a splice, the renderer crossfades with equal-power weights from the
// current read position to the position the splice will jump to
// (CrossfadeWeight), so a splice never shows as a step in the output.
//
//   TKeyLockSplice s;                       // per deck, renderer state
//   s.Step(speed, position, correlate);     // per output frame
//   double w = s.CrossfadeWeight();         // < 0: no crossfade this frame
//
// `correlate(start, count, lag)` scores how alike the frames start.. and
// start+lag.. are (the deck's `Correlate`). Audio thread only; no allocation.
#include <cstdint>

#include "engine/SampleMath.h"

namespace zonda {

inline constexpr int32_t kSpliceInterval = 3528;
inline constexpr int32_t kSpliceOverlap = 400;
// Search range of the lag: coarse every 4 frames over -100..100, then +/-3.
inline constexpr int32_t kSpliceCoarseRange = 100;
inline constexpr int32_t kSpliceCoarseStep = 4;
inline constexpr int32_t kSpliceFineRange = 3;

// Sum over k of a[k].L * b[k].L + a[k].R * b[k].R for `count` interleaved
// stereo frames; exact (64-bit integer sum).
double StereoDot(const int16_t* a, const int16_t* b, int32_t count) noexcept;

// Best lag in -100..100 for a provisional jump: the lag L whose score
// correlate(searchStart, overlap, L - provisionalJump) is strictly positive and
// strictly above every earlier score (coarse pass, then fine pass around the
// coarse winner); 0 when no score is positive.
template <class Correlate>
int32_t SearchSpliceLag(Correlate&& correlate, int32_t searchStart, int32_t overlap, int32_t provisionalJump) noexcept {
  double best = 0.0;
  int32_t lag = 0;
  for (int32_t l = -kSpliceCoarseRange; l <= kSpliceCoarseRange; l += kSpliceCoarseStep) {
    const double s = correlate(searchStart, overlap, l - provisionalJump);
    if (s > best) {
      best = s;
      lag = l;
    }
  }
  const int32_t coarse = lag;
  for (int32_t l = coarse - kSpliceFineRange; l <= coarse + kSpliceFineRange; ++l) {
    const double s = correlate(searchStart, overlap, l - provisionalJump);
    if (s > best) {
      best = s;
      lag = l;
    }
  }
  return lag;
}

struct TKeyLockSplice {
  int32_t SpliceCounter = 0;     // output frames since the last splice
  int32_t SpliceInterval = kSpliceInterval;
  int32_t SpliceOverlap = kSpliceOverlap;
  int32_t SpliceJump = 0;        // frames the next splice jumps (in the direction of play)
  int32_t SpliceCorrection = 0;  // minus the lag chosen at the previous splice
  int32_t SpliceLag = 0;         // lag chosen at the last search
  int32_t SpliceSearchStart = 0; // first frame of the last correlation window
  int32_t SpliceFadeSpan = 0;    // SpliceOverlap with the sign of SpliceJump

  // One output frame of key-lock advance: moves `position` by one frame in the
  // direction of `speed`, and at a splice jumps and searches the next jump.
  // Returns true when this frame was a splice.
  template <class Correlate>
  bool Step(double speed, double& position, Correlate&& correlate) noexcept {
    const int32_t dir = speed > 0.0 ? 1 : (speed < 0.0 ? -1 : 0);
    position += dir;
    ++SpliceCounter;
    SpliceInterval = kSpliceInterval;
    SpliceOverlap = kSpliceOverlap;
    bool spliced = false;
    if ((SpliceCounter < 0 ? -SpliceCounter : SpliceCounter) >= SpliceInterval) {
      position += static_cast<double>(dir) * SpliceJump;
      SpliceCounter = 0;
      const double magnitude = speed < 0.0 ? -speed : speed;
      const int32_t nominal = RoundToInt((magnitude - 1.0) * SpliceInterval);
      const int32_t provisional = nominal - SpliceCorrection;
      const int32_t jumpSign = provisional > 0 ? 1 : (provisional < 0 ? -1 : 0);
      if (dir >= 0) {
        SpliceSearchStart = jumpSign * SpliceOverlap + RoundToInt(position) + SpliceInterval;
        SpliceLag = SearchSpliceLag(correlate, SpliceSearchStart, SpliceOverlap, provisional);
      } else {
        // Played backwards the next crossfade lies behind the position, and a
        // jump of +lag lands lag frames further back: the same search on the
        // mirrored windows, so the splice stays in phase.
        SpliceSearchStart = RoundToInt(position) - SpliceInterval - jumpSign * SpliceOverlap - SpliceOverlap;
        auto mirrored = [&](int32_t start, int32_t count, int32_t lag) { return correlate(start - lag, count, lag); };
        SpliceLag = SearchSpliceLag(mirrored, SpliceSearchStart, SpliceOverlap, provisional);
      }
      SpliceJump = nominal - SpliceLag - SpliceCorrection;
      SpliceCorrection = -SpliceLag;
      spliced = true;
    }
    SpliceFadeSpan = (SpliceJump > 0 ? 1 : (SpliceJump < 0 ? -1 : 0)) * SpliceOverlap;
    return spliced;
  }

  // Weight of the jump target in this frame's output, 0..1 over the last
  // SpliceOverlap frames before a splice; -1 outside the crossfade (or when the
  // next splice does not move).
  double CrossfadeWeight() const noexcept {
    const int32_t span = SpliceFadeSpan < 0 ? -SpliceFadeSpan : SpliceFadeSpan;
    const int32_t x = span - (SpliceInterval - SpliceCounter);
    if (x < 0 || SpliceJump == 0 || span == 0) return -1.0;
    return static_cast<double>(x) / span;
  }
};

}  // namespace zonda
