#pragma once
// TAutoDJ: the Auto-DJ's decisions, shared by the main window and the
// headless host. It plays the current list by itself: when the audible deck
// nears its end it starts the other deck, moves the crossfader across over the
// mixing time (beat-matching the incoming deck during the first third) and
// loads the next song into the deck that has faded out.
//
//   TAutoDJ dj(decks);                 // decks: a TAutoDJDecks of the host
//   dj.SwitchOn();                     // the "autodj" switch pressed on
//   every tick:  dj.Trigger(d, r);     // per deck, r = remaining 1/100 s
//                dj.Tick(tick % 3 == 0);
//   dj.UserMove();                     // the user moved the crossfader
//
// The host owns the decks, the crossfader and the list; TAutoDJ only asks and
// tells through TAutoDJDecks. No Qt, no engine objects; one thread (the
// host's main thread).
#include <cstdint>

namespace zonda {

// What the Auto-DJ drives. d: 0 = deck A, 1 = deck B.
class TAutoDJDecks {
 public:
  virtual ~TAutoDJDecks() = default;
  virtual bool Empty(int d) const = 0;     // nothing loaded and no load asked for
  virtual bool Loading(int d) const = 0;   // a load is pending
  virtual bool Loaded(int d) const = 0;    // a song is loaded and ready (LoadOk)
  virtual bool Playing(int d) const = 0;
  virtual int64_t Remaining(int d) const = 0;  // hundredths of a second left to play
  virtual void Play(int d) = 0;            // starts the deck (only a loaded one)
  virtual int32_t Crossfader() const = 0;  // 0 = deck A only .. 127 = deck B only
  virtual void SetCrossfader(int32_t value) = 0;
  virtual bool ListEmpty() const = 0;      // the current list has no songs
  virtual bool LoadNext(int d) = 0;        // the list's next song into deck d; false: none
  virtual void Sync(int d) = 0;            // beat-matches deck d to the other deck and starts it
  virtual int32_t BeatDiff() const = 0;    // hundredths of a beat
  virtual void PitchReset(int d) = 0;      // the deck's pitch reset button
};

class TAutoDJ {
 public:
  static constexpr int32_t kMixTimeDefault = 100;   // tenths of a second
  static constexpr int32_t kMixTimeHighest = 150;
  static constexpr int32_t kMixTimeLowest = 20;
  // A deck the Auto-DJ loaded that is still loading after this many ticks
  // (about 30 s) counts as failed, and so does a load that ends without a song.
  static constexpr int32_t kLoadWaitTicks = 857;
  // Consecutive failed loads into one deck before the Auto-DJ stops trying.
  static constexpr int32_t kMaxSkips = 16;

  explicit TAutoDJ(TAutoDJDecks& decks) : decks_(decks) {}

  // The "autodj" switch.
  bool On() const { return on_; }
  // Switched on: snaps the crossfader to its nearer end, loads the decks that
  // hold nothing (empty, or their load failed) and starts the deck on the
  // crossfader's side once it has loaded.
  void SwitchOn();
  // Switched off: nothing stops; a running crossfade completes.
  void SwitchOff();

  // "autodj_next" (and the trigger): starts a crossfade toward the other side.
  void StartCrossfade();
  // The trigger, for deck d with r hundredths of a second left to play.
  void Trigger(int d, int64_t r);
  // Every tick: start-up start, failed loads; with step = true (every third
  // tick) also the crossfade step.
  void Tick(bool step);
  // The user moved the crossfader: a running crossfade stops there.
  void UserMove() { running_ = false; }

  // Mixing time in tenths of a second; the buttons move it by 5 within 20..150.
  int32_t MixTime() const { return mixTime_; }
  void SetMixTime(int32_t tenths) { mixTime_ = tenths > 0 ? tenths : kMixTimeDefault; }
  void MixTimeMore();
  void MixTimeLess();

  bool BeatMatch = true;  // setting "AutoBeatMatch"

  bool Running() const { return running_; }
  bool TowardB() const { return towardB_; }
  double Position() const { return position_; }
  double Step() const { return step_; }
  // Songs skipped because their load failed or never finished.
  int32_t Skipped() const { return skipped_; }

 private:
  bool Holds(int d) const;
  void Load(int d);
  void WatchLoad(int d);
  void CrossfadeStep();

  TAutoDJDecks& decks_;
  bool on_ = false;
  int32_t mixTime_ = kMixTimeDefault;
  bool running_ = false;
  bool towardB_ = true;
  double position_ = 0;
  double step_ = 1.4;
  int startDeck_ = -1;                 // deck to start once loaded (switching on)
  bool watching_[2] = {false, false};  // a load the Auto-DJ asked for is under way
  int32_t loadTicks_[2] = {0, 0};
  int32_t failures_[2] = {0, 0};
  int32_t skipped_ = 0;
};

}  // namespace zonda
