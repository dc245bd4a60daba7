#include "engine/AutoDJ.h"

#include <cmath>
#include <cstdlib>

namespace zonda {
namespace {

int32_t NearerEnd(int32_t crossfader) { return crossfader >= 64 ? 127 : 0; }

}  // namespace

void TAutoDJ::SwitchOn() {
  on_ = true;
  const int32_t c = decks_.Crossfader();
  decks_.SetCrossfader(NearerEnd(c));
  for (int d = 0; d < 2; ++d) {
    failures_[d] = 0;
    if (!Holds(d)) Load(d);
  }
  const int side = c < 64 ? 0 : 1;
  startDeck_ = Holds(side) ? side : -1;
  Tick(false);
}

// An empty deck, and one whose load failed, hold nothing to play.
bool TAutoDJ::Holds(int d) const {
  return !decks_.Empty(d) && (decks_.Loaded(d) || decks_.Loading(d));
}

void TAutoDJ::SwitchOff() { on_ = false; }

void TAutoDJ::MixTimeMore() {
  if (mixTime_ < kMixTimeHighest) mixTime_ += 5;
}

void TAutoDJ::MixTimeLess() {
  if (mixTime_ > kMixTimeLowest + 4) mixTime_ -= 5;
}

void TAutoDJ::Load(int d) {
  if (decks_.LoadNext(d)) {
    watching_[d] = true;
    loadTicks_[d] = 0;
  } else {
    watching_[d] = false;
  }
}

// A load the Auto-DJ asked for: when it fails, or is still pending after the
// bounded wait, the list's next song is tried instead (at most kMaxSkips in a
// row), so one damaged file never stops the music.
void TAutoDJ::WatchLoad(int d) {
  if (!watching_[d]) return;
  if (decks_.Loading(d) && ++loadTicks_[d] <= kLoadWaitTicks) return;
  if (decks_.Loaded(d) && !decks_.Loading(d)) {
    watching_[d] = false;
    failures_[d] = 0;
    return;
  }
  ++skipped_;
  watching_[d] = false;
  if (++failures_[d] < kMaxSkips) Load(d);
}

void TAutoDJ::Tick(bool step) {
  WatchLoad(0);
  WatchLoad(1);
  if (startDeck_ >= 0) {
    if (decks_.Loaded(startDeck_) && !decks_.Loading(startDeck_)) {
      if (!decks_.Playing(startDeck_)) decks_.Play(startDeck_);
      startDeck_ = -1;
    } else if (!watching_[startDeck_] && !decks_.Loading(startDeck_)) {
      startDeck_ = -1;  // nothing will load there: no start to wait for
    }
  }
  if (step && running_) CrossfadeStep();
}

void TAutoDJ::Trigger(int d, int64_t r) {
  if (!on_ || running_) return;
  const int64_t window = 20 * int64_t(mixTime_);
  if (window + 7 < r && r < window + 20) decks_.SetCrossfader(NearerEnd(decks_.Crossfader()));
  if (r >= window || !decks_.Loaded(0) || !decks_.Loaded(1)) return;
  if (decks_.Crossfader() != (d == 0 ? 0 : 127)) return;
  // A played-out song on the other deck (the list ended) is not mixed in again.
  if (decks_.Remaining(1 - d) <= 10 * int64_t(mixTime_)) return;
  StartCrossfade();
}

void TAutoDJ::StartCrossfade() {
  if (decks_.ListEmpty()) return;
  const int32_t c = decks_.Crossfader();
  const int32_t snapped = c > 63 ? 127 : 0;
  decks_.SetCrossfader(snapped);
  towardB_ = c < 64;
  // The incoming deck is never left silent: either side is loaded here.
  const int incoming = towardB_ ? 1 : 0;
  if (!Holds(incoming)) Load(incoming);
  step_ = 140.0 / mixTime_;
  position_ = snapped;
  running_ = true;
}

void TAutoDJ::CrossfadeStep() {
  const int incoming = towardB_ ? 1 : 0;
  const int outgoing = 1 - incoming;
  position_ += towardB_ ? step_ : -step_;
  const int32_t value = static_cast<int32_t>(std::lround(position_));
  decks_.SetCrossfader(value);
  const bool firstThird = towardB_ ? value < 42 : value > 84;
  const bool match = BeatMatch && firstThird;
  if (decks_.Loaded(incoming) && !decks_.Loading(incoming) && !decks_.Playing(incoming)) {
    // The beat difference means nothing while a deck stands: the incoming
    // deck starts beat-matched (a match starts it), never beside the beat.
    if (match) {
      decks_.Sync(incoming);
    } else {
      decks_.Play(incoming);
    }
  } else if (match && std::abs(decks_.BeatDiff()) > 3) {
    decks_.Sync(incoming);
  }
  const bool done = towardB_ ? !(position_ < 127 - step_) : !(position_ > step_);
  if (!done) return;
  position_ = towardB_ ? 127 : 0;
  decks_.SetCrossfader(static_cast<int32_t>(position_));
  running_ = false;
  decks_.PitchReset(incoming);
  failures_[outgoing] = 0;
  Load(outgoing);
}

}  // namespace zonda
