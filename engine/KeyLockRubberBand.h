#pragma once
// Key lock on Rubber Band: the second key lock engine beside the splice
// (engine/KeyLockSplice.h). A deck owns up to four voices, two per Rubber
// Band engine (R3 "finer", R2 "faster"), created on the main thread by
// TSoundSource::SetKeyLockEngine and never on the audio thread. Each voice is
// one RubberBandStretcher in real-time mode (stereo, 44100 Hz, pitch 1, time
// ratio 1 / |speed|) with its process size bounded before the audio thread
// sees it, and its own float scratch, so the audio thread only calls the
// stretcher's real-time-safe functions: reset, setTimeRatio,
// getSamplesRequired, process, available, retrieve. Nothing allocates and
// nothing locks on the audio thread.
//
// Position bookkeeping. A voice is started ("warmed") at a source frame P on
// the audio thread: it is reset, fed getPreferredStartPad() frames of the
// real audio before P (not silence, so it starts without a fade-in), and its
// first getStartDelay() output frames are discarded. From then on its k-th
// output frame is the source at P + k x speed: the renderer's position
// advances by exactly `speed` per output frame, as the splice engine's does
// on average, and the position read-outs, the beat phase, cue points and
// loops stay true to what is heard. A change of speed while a voice plays is
// heard only after the stretcher's start delay, so the position takes it on
// that many output frames later (TSoundSource::TKeyLockRender::SpeedQueue).
// The warm-up is spread over a few blocks
// (at most kRubberBandPrimeBudget input frames per block) while the splice
// engine plays; the voice takes over at a block edge with a crossfade.
//
//   TRubberBandVoice v(true);                       // main thread
//   v.Begin(speed, P, feedStart);                    // audio thread
//   while (!v.Prime(budget, feed)) ...               // a few blocks
//   v.Pull(L, R, n, feed);                           // each block
//
// `feed(voice, L, R, count)` writes the next `count` input frames (the
// renderer reads them from the chunk table at voice.FeedPos, moving in
// voice.Dir and wrapping at loops as the position does).
#include <cstdint>
#include <memory>
#include <vector>

namespace RubberBand {
class RubberBandStretcher;
}

namespace zonda {

// The key lock engines of the setting and of zonda-engine's --keylock-engine.
enum class TKeyLockEngine : int32_t { Splice = 0, RubberBand = 1, RubberBandR2 = 2 };

inline constexpr int32_t kRubberBandMaxFeed = 8192;      // largest process() call
inline constexpr int32_t kRubberBandPrimeBudget = 1536;  // input frames fed per block while warming
inline constexpr int32_t kRubberBandWarmFrames = 4096;   // output frames from warm start to take-over
inline constexpr int32_t kKeyLockSwitchFade = 1024;      // crossfade between engines, frames

class TRubberBandVoice {
 public:
  // Main thread: creates the stretcher (R3 when finer, else R2) and the scratch.
  explicit TRubberBandVoice(bool finer);
  ~TRubberBandVoice();
  TRubberBandVoice(const TRubberBandVoice&) = delete;
  TRubberBandVoice& operator=(const TRubberBandVoice&) = delete;

  bool Finer() const noexcept { return finer_; }
  // The stretcher's own figures at the current ratio (output frames / input frames).
  int32_t StartDelay() const noexcept;
  int32_t StartPad() const noexcept;

  // ---- audio thread ----
  // Resets the stretcher for a start at source frame `start` (played in the
  // direction of speed); the caller then sets FeedPos to the first pad frame.
  void Begin(double speed, double start) noexcept;
  void SetSpeed(double speed) noexcept;
  // Feeds at most `budget` input frames toward the end of the warm-up; true
  // once the pad is fed and the start delay discarded.
  template <class Feed>
  bool Prime(int32_t budget, Feed&& feed) noexcept {
    while (discardLeft_ > 0) {
      const int32_t got = Available();
      if (got > 0) {
        const int32_t k = got < discardLeft_ ? got : discardLeft_;
        Drop(k);
        discardLeft_ -= k;
        continue;
      }
      if (got < 0 || budget <= 0) break;
      budget -= FeedOnce(feed);
    }
    return discardLeft_ <= 0;
  }
  // Discards `frames` output frames (a late take-over), advancing nothing else.
  template <class Feed>
  void Skip(int32_t frames, Feed&& feed) noexcept {
    discardLeft_ += frames;
    Prime(1 << 30, feed);
  }
  // Writes n output frames (float, full scale 32768) into l and r.
  template <class Feed>
  void Pull(float* l, float* r, int32_t n, Feed&& feed) noexcept {
    int32_t done = 0;
    int32_t idle = 0;
    while (done < n) {
      const int32_t got = Available();
      if (got > 0) {
        const int32_t k = got < n - done ? got : n - done;
        Retrieve(l + done, r + done, k);
        done += k;
        idle = 0;
        continue;
      }
      if (got < 0 || ++idle > 64) break;
      FeedOnce(feed);
    }
    for (; done < n; ++done) l[done] = r[done] = 0.0f;
  }

  // Feed cursor and direction (renderer-owned; read by the feed function).
  int64_t FeedPos = 0;
  int32_t Dir = 1;
  // The source frame the next output frame plays (kept by the renderer).
  double SourcePos = 0.0;
  // Warm-up: output frames rendered since Begin; a loop wrap of the feed that
  // did not follow the position asks for a new start.
  int32_t WarmElapsed = 0;
  bool Live = false;
  bool Resync = false;
  // Pad frames still to feed; loop wraps the feed made past the pad that the
  // position has not made yet, and the loop end they wrapped at.
  int32_t PadLeft = 0;
  int32_t PendingWraps = 0;
  int32_t WrapEnd = 0;
  double Speed = 1.0;

 private:
  template <class Feed>
  int32_t FeedOnce(Feed&& feed) noexcept {
    int32_t req = RequiredFrames();
    if (req <= 0) req = 256;
    if (req > kRubberBandMaxFeed) req = kRubberBandMaxFeed;
    feed(*this, inL_.data(), inR_.data(), req);
    Process(req);
    return req;
  }
  int32_t Available() const noexcept;
  int32_t RequiredFrames() const noexcept;
  void Process(int32_t frames) noexcept;
  void Retrieve(float* l, float* r, int32_t frames) noexcept;
  void Drop(int32_t frames) noexcept;

  const bool finer_;
  std::unique_ptr<RubberBand::RubberBandStretcher> stretcher_;
  std::vector<float> inL_, inR_, dropL_, dropR_;
  int32_t discardLeft_ = 0;
};

}  // namespace zonda
