// TSoundSource rendering (audio thread), the hold and jog gestures (main
// thread and hold-tracking timer) and the cue jump handshake (main thread).
//
// RenderBlock reads every field the other threads write once at the start of
// the block, works on locals and stores its own state back at the end, so a
// block sees one consistent set of controls. Position is stored back with a
// compare-exchange: a seek, nudge or cue jump that the main thread stores while
// a block is being rendered wins over the renderer's advance instead of being
// lost.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstring>
#include <numbers>
#include <thread>

#include "engine/Interpolation.h"
#include "engine/KeyLockRubberBand.h"
#include "engine/KeyLockSplice.h"
#include "engine/SampleMath.h"
#include "engine/SoundSource.h"
#include "platform/ThreadRole.h"

namespace zonda {
namespace {

constexpr double kOutputScale = 0.9;        // playback at 0.9 of full scale
constexpr int32_t kWakeEveryBlocks = 150;   // worker wake-up in normal play
constexpr double kBrakeRampFrames = 62500.0;
constexpr double kCoastRampFrames = 75000.0;
constexpr double kRampUnitFrames = 250.0;
constexpr double kMouseScratchFrames = 2250.0;  // speed law of the mouse hold
constexpr double kJogScratchFrames = 1890.0;    // speed law of the jog hold
constexpr int32_t kMouseFramesPerPixel = 31;
constexpr int32_t kJogFramesPerTick = 41;
constexpr int32_t kCueFollowFrames = 44100;
constexpr int32_t kJogIdleTicks = 3;
constexpr auto kRenderingRecently = std::chrono::milliseconds(100);  // > the largest device block (50 ms)
constexpr auto kCueJumpWait = std::chrono::milliseconds(250);
// The high-resolution counter is the steady clock in nanoseconds.
constexpr int64_t kCounterFrequency = 1000000000;

inline int32_t SignOf(double v) noexcept { return v > 0.0 ? 1 : (v < 0.0 ? -1 : 0); }

inline int64_t SteadyNowNs() noexcept {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

// Reads frames of the chunk table for one block. Caches the chunk of the last
// read so that nearly every read is a pointer offset.
class TFrameReader {
 public:
  TFrameReader(const TSoundSource& deck, int32_t lastFrame) noexcept
      : deck_(deck), lastFrame_(lastFrame > 0 ? lastFrame : 0) {}

  int32_t LastFrame() const noexcept { return lastFrame_; }

  // Frame j for interpolation and key lock: j is reduced modulo LastFrame + 1
  // keeping its sign, and a negative remainder -r reads frame r (the track is
  // mirrored at its start). Absent chunks read as silence.
  void ReadMirrored(int64_t j, int32_t& left, int32_t& right) noexcept {
    int64_t r = j % (static_cast<int64_t>(lastFrame_) + 1);
    if (r < 0) r = -r;
    ReadInRange(static_cast<int32_t>(r), left, right);
  }

  // Frame j for correlation: modulo LastFrame + 1, a negative index wrapping to the end.
  void ReadWrapped(int64_t j, int32_t& left, int32_t& right) noexcept {
    const int64_t size = static_cast<int64_t>(lastFrame_) + 1;
    int64_t r = j % size;
    if (r < 0) r += size;
    ReadInRange(static_cast<int32_t>(r), left, right);
  }

  // Pointer to `count` consecutive frames from `first` when they all lie in
  // 0..LastFrame inside one present chunk; nullptr otherwise.
  const int16_t* Span(int64_t first, int32_t count) noexcept {
    // Fast path: inside the chunk of the previous read.
    if (first >= cachedFirst_ && first + count <= cachedEnd_ && first + count - 1 <= lastFrame_)
      return cachedPCM_ ? cachedPCM_ + static_cast<size_t>(first - cachedFirst_) * 2 : nullptr;
    if (first < 0 || first + count - 1 > lastFrame_) return nullptr;
    const int32_t f = static_cast<int32_t>(first);
    const int32_t index = f / kChunkFrames;
    const int32_t offset = f - index * kChunkFrames;
    if (offset + count > kChunkFrames) return nullptr;
    const int16_t* pcm = Chunk(index);
    return pcm ? pcm + static_cast<size_t>(offset) * 2 : nullptr;
  }

 private:
  void ReadInRange(int32_t f, int32_t& left, int32_t& right) noexcept {
    const int32_t index = f / kChunkFrames;
    const int16_t* pcm = Chunk(index);
    if (!pcm) {
      left = right = 0;
      return;
    }
    const size_t k = static_cast<size_t>(f - index * kChunkFrames) * 2;
    left = pcm[k];
    right = pcm[k + 1];
  }

  const int16_t* Chunk(int32_t index) noexcept {
    if (index != cachedIndex_) {
      const TChunk* chunk = deck_.ChunkAt(index);
      cachedIndex_ = index;
      cachedPCM_ = chunk ? chunk->PCM.data() : nullptr;
      cachedFirst_ = static_cast<int64_t>(index) * kChunkFrames;
      cachedEnd_ = cachedFirst_ + kChunkFrames;
    }
    return cachedPCM_;
  }

  const TSoundSource& deck_;
  const int32_t lastFrame_;
  int32_t cachedIndex_ = -1;
  const int16_t* cachedPCM_ = nullptr;
  int64_t cachedFirst_ = 0;  // frames [cachedFirst_, cachedEnd_) belong to the cached chunk
  int64_t cachedEnd_ = 0;
};

double CorrelateWith(TFrameReader& reader, int32_t start, int32_t count, int32_t lag) noexcept {
  if (count <= 0) return 0.0;
  const int16_t* a = reader.Span(start, count);
  const int16_t* b = reader.Span(static_cast<int64_t>(start) + lag, count);
  if (a && b) return StereoDot(a, b, count);
  double sum = 0.0;
  for (int32_t k = 0; k < count; ++k) {
    int32_t l1, r1, l2, r2;
    reader.ReadWrapped(static_cast<int64_t>(start) + k, l1, r1);
    reader.ReadWrapped(static_cast<int64_t>(start) + k + lag, l2, r2);
    sum += static_cast<double>(l1) * l2 + static_cast<double>(r1) * r2;
  }
  return sum;
}

// Sets Pinned on the chunk of `frame` and its two neighbours. Called by the
// renderer only while the deck is held, when the worker releases no chunk, so
// the chunks it touches stay alive; lock-free, unlike the main thread's PinAround.
void PinAroundFromRenderer(TSoundSource& deck, double frame) noexcept {
  if (!(frame >= 0.0) || frame >= static_cast<double>(kChunkTableSize) * kChunkFrames) return;
  const int32_t c = static_cast<int32_t>(static_cast<int64_t>(frame) / kChunkFrames);
  for (int32_t i = c - 1; i <= c + 1; ++i) {
    if (i < 0 || i >= kChunkTableSize) continue;
    if (TChunk* chunk = deck.Chunks[static_cast<size_t>(i)].load(std::memory_order_acquire))
      chunk->Pinned.store(true, std::memory_order_relaxed);
  }
}

inline double Clamp(double v, double lo, double hi) noexcept { return v < lo ? lo : (v > hi ? hi : v); }

inline int32_t ClampInt(int64_t v, int32_t lo, int32_t hi) noexcept {
  return static_cast<int32_t>(v < lo ? lo : (v > hi ? hi : v));
}

// Makes RenderEpoch odd for the life of one RenderBlock (see WaitForRenderBlockEnd).
class TRenderEpochGuard {
 public:
  explicit TRenderEpochGuard(std::atomic<uint32_t>& epoch) noexcept : epoch_(epoch) {
    epoch_.fetch_add(1, std::memory_order_seq_cst);
  }
  ~TRenderEpochGuard() { epoch_.fetch_add(1, std::memory_order_seq_cst); }
  TRenderEpochGuard(const TRenderEpochGuard&) = delete;
  TRenderEpochGuard& operator=(const TRenderEpochGuard&) = delete;

 private:
  std::atomic<uint32_t>& epoch_;
};

// The held jog platter chases HoldStartPos + JogTicks x 41 frames.
void TrackJog(TSoundSource& deck) noexcept {
  const int64_t target = deck.HoldStartPos.load() + static_cast<int64_t>(deck.JogTicks.load()) * kJogFramesPerTick;
  const int32_t scratchTarget = ClampInt(target, 0, std::max(deck.LastFrame.load(), 0));
  deck.ScratchTarget.store(scratchTarget);
  deck.Speed.store((scratchTarget - deck.Position.load()) / kJogScratchFrames);
}

}  // namespace

void TSoundSource::PerformCueJump() noexcept {
  // A request left over from before a new load would mark the half-loaded deck loaded.
  if (LoadPending.load()) return;
  Playing.store(false);
  ScratchMode.store(false);
  ExitLoopForced();
  Position.store(static_cast<double>(CuePoint.load()));
  LoadOk.store(true);
}

double TSoundSource::Correlate(int32_t start, int32_t count, int32_t lag) const noexcept {
  if (SeekPending.load(std::memory_order_relaxed)) return 0.0;
  TFrameReader reader(*this, LastFrame.load(std::memory_order_relaxed));
  return CorrelateWith(reader, start, count, lag);
}

void TSoundSource::WaitForRenderBlockEnd() const noexcept {
  const uint32_t epoch = RenderEpoch.load(std::memory_order_seq_cst);
  if ((epoch & 1u) == 0) return;
  while (RenderEpoch.load(std::memory_order_seq_cst) == epoch) std::this_thread::yield();
}

bool TSoundSource::RenderBlock(int16_t* destination, int32_t bytes) noexcept {
  ZONDA_EXPECT_NOT_ON(TThreadRole::Main);
  ZONDA_EXPECT_NOT_ON(TThreadRole::Worker);
  // Marks the block as running before any chunk pointer is read, until it returns.
  TRenderEpochGuard running(RenderEpoch);
  LastRenderNs.store(SteadyNowNs(), std::memory_order_relaxed);
  const int32_t n = bytes / 4;
  if (n > kOutBufferFrames || n <= 0 || destination == nullptr) return false;

  // Cue jump: exactly one side (renderer or a timed-out main thread) takes the request.
  if (CueJumpRequest.exchange(false)) PerformCueJump();

  const bool held = Held.load(std::memory_order_relaxed);
  const bool wasPlaying = WasPlaying.load(std::memory_order_relaxed);
  if (held && !wasPlaying) {
    const int32_t logic = CueLogic.load(std::memory_order_relaxed);
    const double p = Position.load(std::memory_order_relaxed);
    if (logic != 2 && std::fabs(CuePoint.load(std::memory_order_relaxed) - p) < kCueFollowFrames) {
      CuePoint.store(static_cast<int32_t>(std::floor(p)), std::memory_order_relaxed);
      PinAroundFromRenderer(*this, p);
    }
    if (logic == 2) CueMoved.store(true, std::memory_order_relaxed);
  }

  const int32_t lastFrame = LastFrame.load(std::memory_order_relaxed);
  const int32_t chunkCount = ChunkCount.load(std::memory_order_acquire);
  const double startPosition = Position.load(std::memory_order_relaxed);
  double ss = SmoothedSpeed_.load(std::memory_order_relaxed);
  if (!std::isfinite(ss)) ss = 0.0;

  // The chunks this block can touch, lower to higher.
  {
    const double reach = (n + 10) * ss;
    const int32_t a = ClampInt(RoundToInt(Clamp(startPosition - reach, -1e9, 1e9)), 0, lastFrame);
    const int32_t b = ClampInt(RoundToInt(Clamp(startPosition + reach, -1e9, 1e9)), 0, lastFrame);
    int32_t c1 = std::min(std::max(a / kChunkFrames, 0), chunkCount - 1);
    int32_t c2 = std::min(std::max(b / kChunkFrames, 0), chunkCount - 1);
    if (c1 > c2) std::swap(c1, c2);
    const bool loadPending = LoadPending.load(std::memory_order_acquire);
    const bool seekPending = SeekPending.load(std::memory_order_acquire);
    for (int32_t c = c1; c <= c2; ++c) {
      if (c < 0 || c >= kChunkTableSize) return false;
      if (loadPending || seekPending || ChunkAt(c) == nullptr) {
        std::memset(destination, 0, static_cast<size_t>(n) * 4);
        LastSample_ = {0, 0};
        // While a seek is pending the worker sets the position; leave it alone.
        if (!seekPending && !loadPending && Playing.load(std::memory_order_relaxed) &&
            LoadOk.load(std::memory_order_relaxed)) {
          double expected = startPosition;
          Position.compare_exchange_strong(expected, startPosition + n * ss);
        }
        if (!seekPending) WakeEvent.Signal();
        CountMissingAudio(!loadPending && Playing.load(std::memory_order_relaxed) &&
                              LoadOk.load(std::memory_order_relaxed),
                          n);
        return true;
      }
    }
  }

  // Controls, read once for the whole block.
  const bool playing = Playing.load(std::memory_order_relaxed);
  const bool brake = Brake.load(std::memory_order_relaxed);
  const double startSpeed = Speed.load(std::memory_order_relaxed);
  double speed = std::isfinite(startSpeed) ? startSpeed : 0.0;
  bool coast = Coast.load(std::memory_order_relaxed);
  const bool songLoop = SongLoop.load(std::memory_order_relaxed);
  const bool keyLock = KeyLock.load(std::memory_order_relaxed) && !held && !brake;
  bool loopActive = LoopActive.load(std::memory_order_relaxed) && !held;
  const int32_t loopStart = LoopStart.load(std::memory_order_relaxed);
  const int32_t loopEnd = LoopEnd.load(std::memory_order_relaxed);
  const int32_t loopLength = LoopLength.load(std::memory_order_relaxed);
  int32_t loopStartEff = LoopStartEff.load(std::memory_order_relaxed);
  int32_t loopEndEff = LoopEndEff.load(std::memory_order_relaxed);
  int32_t loopLengthEff = LoopLengthEff.load(std::memory_order_relaxed);
  const bool reloop = ReloopAfterExit.load(std::memory_order_relaxed);

  // Renderer state.
  double rampTarget = RampTarget_.load(std::memory_order_relaxed);
  double rampStep = RampStep_.load(std::memory_order_relaxed);
  int32_t fade = FadeCount_.load(std::memory_order_relaxed);
  TKeyLockSplice splice = Splice_;

  TFrameReader reader(*this, lastFrame);
  auto correlate = [&reader, this](int32_t start, int32_t count, int32_t lag) noexcept {
    if (SeekPending.load(std::memory_order_relaxed)) return 0.0;
    return CorrelateWith(reader, start, count, lag);
  };

  double pos = startPosition;
  if (!std::isfinite(pos)) pos = 0.0;

  // ---- key lock engine: the path of this block and the Rubber Band voices ----
  TKeyLockRender& kr = KeyLockRender_;
  // Wraps a position at the loop or the song loop as the advance below does,
  // without its side effects; true when it wrapped.
  auto wrapPure = [&](double& p) noexcept {
    if (loopActive && loopLengthEff > 0) {
      if (p > loopEndEff) {
        p -= loopLengthEff;
        return true;
      }
      if (p < loopStartEff) {
        p += loopLengthEff;
        return true;
      }
    } else if (songLoop && lastFrame > 0) {
      if (p > lastFrame) {
        p -= lastFrame;
        return true;
      }
      if (p < 0.0) {
        p += lastFrame;
        return true;
      }
    }
    return false;
  };
  // The voices' input: frames from the chunk table at the voice's feed cursor.
  auto feed = [&](TRubberBandVoice& v, float* l, float* r, int32_t count) noexcept {
    constexpr float kIn = 1.0f / 32768.0f;
    for (int32_t k = 0; k < count; ++k) {
      int64_t f = v.FeedPos;
      if (loopActive || songLoop || (f >= 0 && f <= lastFrame)) {
        int32_t a, b;
        reader.ReadMirrored(f, a, b);
        l[k] = static_cast<float>(a) * kIn;
        r[k] = static_cast<float>(b) * kIn;
      } else {
        l[k] = r[k] = 0.0f;
      }
      f += v.Dir;
      const bool counted = v.PadLeft <= 0;
      if (v.PadLeft > 0) --v.PadLeft;
      int64_t over = 0;
      bool wrapped = false;
      if (loopActive && loopLengthEff > 0) {
        if (f > loopEndEff) {
          over = f - loopEndEff;
          f -= loopLengthEff;
          wrapped = true;
        } else if (f < loopStartEff) {
          over = loopStartEff - f;
          f += loopLengthEff;
          wrapped = true;
        }
        v.WrapEnd = loopEndEff;
      } else if (songLoop && lastFrame > 0) {
        if (f > lastFrame) {
          over = f - lastFrame;
          f -= lastFrame;
          wrapped = true;
        } else if (f < 0) {
          over = -f;
          f += lastFrame;
          wrapped = true;
        }
        v.WrapEnd = lastFrame;
      }
      if (wrapped && counted) {
        ++v.PendingWraps;
        // A loop set behind the feed: the feed jumped where the position will not.
        if (over > 1) v.Resync = true;
      }
      v.FeedPos = f;
    }
  };

  const int32_t engineSetting = KeyLockEngine.load(std::memory_order_relaxed);
  const bool wantFiner = engineSetting == static_cast<int32_t>(TKeyLockEngine::RubberBand);
  const int32_t dirNow = speed < 0.0 ? -1 : 1;
  const bool rbWanted = keyLock && engineSetting > 0 && engineSetting <= 2 &&
                        VoicesReady_[static_cast<size_t>(engineSetting - 1)].load(std::memory_order_acquire) &&
                        std::fabs(speed) >= 0.05;
  auto voiceFits = [&](const TRubberBandVoice* v) noexcept {
    return v != nullptr && rbWanted && v->Finer() == wantFiner && v->Dir == dirNow && !v->Resync;
  };
  bool seeked = false;
  if (pos != kr.StoredPos) {
    // The position was moved by another thread (a nudge, a seek, a cue jump):
    // a small move shifts the voices' input with it, a large one starts anew.
    const double delta = pos - kr.StoredPos;
    if (std::fabs(delta) <= 4096.0) {
      const int64_t d = RoundToInt(delta);
      for (TRubberBandVoice* v : {kr.Live, kr.Warming}) {
        if (v) {
          v->FeedPos += d;
          v->SourcePos += delta;
        }
      }
      kr.WarmStartPos += delta;
    } else {
      kr.Live = nullptr;
      kr.Warming = nullptr;
      kr.FadeLeft = 0;
      seeked = true;
    }
  }
  if (kr.Live) {
    // The feed wrapped at a loop the position will no longer wrap at.
    const bool loopGone = kr.Live->PendingWraps > 0 &&
                          (loopActive ? loopEndEff != kr.Live->WrapEnd
                                      : !(songLoop && lastFrame == kr.Live->WrapEnd));
    if (loopGone) kr.Live->Resync = true;
  }
  const int32_t prevPath = seeked ? -1 : kr.Path;
  int32_t path = keyLock ? 1 : 0;
  TRubberBandVoice* leaving = nullptr;  // a live voice that stops playing now
  if (kr.Live && !voiceFits(kr.Live)) {
    leaving = kr.Live;
    kr.Live = nullptr;
  }
  if (kr.Warming && !voiceFits(kr.Warming)) kr.Warming = nullptr;
  if (rbWanted && !kr.Live) {
    if (!kr.Warming) {
      // A free voice of the engine asked for (one may still be fading out).
      const size_t base = static_cast<size_t>(engineSetting - 1) * 2;
      TRubberBandVoice* v = Voices_[base].get();
      if (v == leaving || (kr.FadeLeft > 0 && v == kr.FadeVoice)) v = Voices_[base + 1].get();
      // Start at where the position will be when the voice takes over.
      double target = pos + speed * kRubberBandWarmFrames;
      for (int k = 0; k < 64 && wrapPure(target); ++k) {
      }
      v->Begin(speed, target);
      int64_t first = static_cast<int64_t>(std::floor(target)) - static_cast<int64_t>(dirNow) * v->StartPad();
      double firstD = static_cast<double>(first);
      for (int k = 0; k < 64 && wrapPure(firstD); ++k) {
      }
      v->FeedPos = static_cast<int64_t>(firstD);
      kr.Warming = v;
      kr.WarmStartPos = pos;
      kr.WarmSpeed = speed;
    }
    TRubberBandVoice* w = kr.Warming;
    w->SetSpeed(speed);
    // A paused deck keeps its voices as they are; they go on when it plays.
    const bool primed = playing && w->Prime(kRubberBandPrimeBudget, feed);
    if (primed && w->WarmElapsed >= kRubberBandWarmFrames) {
      // Take-over: late by `extra` frames, the voice skips them.
      const int32_t extra = w->WarmElapsed - kRubberBandWarmFrames;
      w->Skip(extra, feed);
      double sp = w->SourcePos + speed * extra;
      if (wrapPure(sp) && w->PendingWraps > 0) --w->PendingWraps;
      w->SourcePos = sp;
      w->Live = true;
      kr.Live = w;
      kr.Warming = nullptr;
      kr.QueueCount = 0;
      kr.LiveSpeed = kr.QueuedSpeed = speed;
      kr.LiveClock = 0;
      kr.LiveDelay = w->StartDelay();
    } else if (w->WarmElapsed > 16 * kRubberBandWarmFrames) {
      kr.Warming = nullptr;  // never primed: try again
    }
  }
  if (kr.Live) {
    path = 2;
    kr.Live->SetSpeed(speed);
    if (speed != kr.QueuedSpeed) {
      // The new ratio is heard LiveDelay frames from now (a full queue applies at once).
      if (kr.QueueCount == static_cast<int32_t>(kr.SpeedQueue.size())) {
        kr.LiveSpeed = kr.SpeedQueue[static_cast<size_t>(kr.QueueHead)].Speed;
        kr.QueueHead = (kr.QueueHead + 1) % static_cast<int32_t>(kr.SpeedQueue.size());
        --kr.QueueCount;
      }
      const int32_t tail = (kr.QueueHead + kr.QueueCount) % static_cast<int32_t>(kr.SpeedQueue.size());
      kr.SpeedQueue[static_cast<size_t>(tail)] = {kr.LiveClock + kr.LiveDelay, speed};
      ++kr.QueueCount;
      kr.QueuedSpeed = speed;
    }
  }
  // A switch of path (engine, key lock on or off): crossfade from what played.
  if (prevPath >= 0 && (path != prevPath || (path == 2 && leaving != nullptr))) {
    kr.FadePath = prevPath;
    kr.FadePos = pos;
    kr.FadeSplice = splice;
    kr.FadeVoice = prevPath == 2 ? leaving : nullptr;
    kr.FadeLeft = (prevPath == 2 && kr.FadeVoice == nullptr) ? 0 : kKeyLockSwitchFade;
  }
  if (path == 2 && kr.Live->SourcePos != pos) {
    // The voice plays from where it was started: the position follows it
    // (the splice's read head is within a splice of it).
    if (kr.Path != 2 || leaving) pos = kr.Live->SourcePos;
  }
  float* voiceL = VoiceOut_.data();
  float* voiceR = VoiceOut_.data() + 2 * kOutBufferFrames;
  float* fadeL = FadeOut_.data();
  float* fadeR = FadeOut_.data() + 2 * kOutBufferFrames;
  if (playing && path == 2) kr.Live->Pull(voiceL, voiceR, n, feed);
  if (playing && kr.FadeLeft > 0 && kr.FadePath == 2 && kr.FadeVoice)
    kr.FadeVoice->Pull(fadeL, fadeR, std::min(n, kr.FadeLeft), feed);

  int16_t* out = OutBuffer_.data();
  int32_t lastL = LastSample_[0];
  int32_t lastR = LastSample_[1];
  auto writeFaded = [&](int32_t i) noexcept {
    out[2 * i] = static_cast<int16_t>(RoundToInt(static_cast<double>(lastL) * fade / kFadeLength));
    out[2 * i + 1] = static_cast<int16_t>(RoundToInt(static_cast<double>(lastR) * fade / kFadeLength));
  };
  // Key lock read at frame i0 with the splice's crossfade toward its next jump.
  auto readSplice = [&](int64_t i0, const TKeyLockSplice& sp, double& vL, double& vR) noexcept {
    int32_t aL, aR;
    reader.ReadMirrored(i0, aL, aR);
    const double w = sp.CrossfadeWeight();
    if (w >= 0.0) {
      int32_t bL, bR;
      reader.ReadMirrored(i0 + static_cast<int64_t>(SignOf(ss)) * sp.SpliceJump, bL, bR);
      const double c = std::cos(w * std::numbers::pi / 2.0);
      const double s = std::sin(w * std::numbers::pi / 2.0);
      vL = c * c * aL + s * s * bL;
      vR = c * c * aR + s * s * bR;
    } else {
      vL = aL;
      vR = aR;
    }
  };
  // Plain read: cubic interpolation at i0 + t.
  auto readPlain = [&](int64_t i0, double t, double& vL, double& vR) noexcept {
    const int16_t* f = reader.Span(i0 - 1, 4);
    if (f) {
      vL = CubicHermite(f[0], f[2], f[4], f[6], t);
      vR = CubicHermite(f[1], f[3], f[5], f[7], t);
    } else {
      int32_t l[4], r[4];
      for (int k = 0; k < 4; ++k) reader.ReadMirrored(i0 - 1 + k, l[k], r[k]);
      vL = CubicHermite(l[0], l[1], l[2], l[3], t);
      vR = CubicHermite(r[0], r[1], r[2], r[3], t);
    }
  };

  bool startFromHoldSeen = false;
  int32_t i = 0;
  for (; i < n; ++i) {
    if (!playing) {
      writeFaded(i);
      break;
    }

    // Speed ramp.
    if (!startFromHoldSeen) {
      startFromHoldSeen = true;
      if (StartFromHold.exchange(false)) {
        rampTarget = 0.0;
        ss = 0.0;
      }
    }
    if (coast) ss = Clamp(ss, -4.0, 4.0);
    if (brake) {
      coast = false;
      speed = 0.0;
    }
    if (speed != rampTarget || coast) {
      const int32_t d = RoundToInt(std::fabs(ss - speed));
      rampTarget = speed;
      rampStep = rampTarget - ss;
      const bool inside = pos > 0.0 && pos < lastFrame;
      if (brake) {
        rampStep /= kBrakeRampFrames;
      } else if (coast) {
        if (inside) rampStep /= kCoastRampFrames;
      } else if (d > 0) {
        if (inside) rampStep /= Clamp(10.0 * std::fabs(speed), 2.0, 8.0) * kRampUnitFrames;
      } else {
        rampStep /= Clamp(30.0 * std::fabs(speed), 2.0, 24.0) * kRampUnitFrames;
      }
    }
    if (ss != rampTarget) {
      ss += rampStep;
      if ((rampStep > 0.0 && ss > rampTarget) || (rampStep < 0.0 && ss < rampTarget)) ss = rampTarget;
    }

    // Advance.
    if (path == 2) {
      while (kr.QueueCount > 0 && kr.LiveClock >= kr.SpeedQueue[static_cast<size_t>(kr.QueueHead)].At) {
        kr.LiveSpeed = kr.SpeedQueue[static_cast<size_t>(kr.QueueHead)].Speed;
        kr.QueueHead = (kr.QueueHead + 1) % static_cast<int32_t>(kr.SpeedQueue.size());
        --kr.QueueCount;
      }
      pos += kr.LiveSpeed;
      ++kr.LiveClock;
    } else if (keyLock)
      splice.Step(speed, pos, correlate);
    else
      pos += ss;

    // Loop and track bounds.
    if (loopActive) {
      if ((loopEnd != loopEndEff || loopStartEff != loopStart) && loopStart < pos && pos < loopEnd) {
        loopStartEff = loopStart;
        loopEndEff = loopEnd;
        loopLengthEff = loopLength;
        LoopStartEff.store(loopStartEff, std::memory_order_relaxed);
        LoopEndEff.store(loopEndEff, std::memory_order_relaxed);
        LoopLengthEff.store(loopLengthEff, std::memory_order_relaxed);
      }
      bool wrapped = false;
      if (pos > loopEndEff) {
        pos -= loopLengthEff;
        wrapped = true;
      } else if (pos < loopStartEff) {
        pos += loopLengthEff;
        wrapped = true;
      }
      if (wrapped && path == 2 && kr.Live->PendingWraps > 0) --kr.Live->PendingWraps;
      if (wrapped && reloop && ExitLoopPending.load(std::memory_order_relaxed)) {
        LoopEnd.store(0);
        LoopInSet.store(false);
        LoopActive.store(false);
        ExitLoopPending.store(false);
        loopActive = false;
      }
    } else {
      if (pos > lastFrame) {
        if (songLoop) {
          pos -= lastFrame;
          if (path == 2 && kr.Live->PendingWraps > 0) --kr.Live->PendingWraps;
        } else {
          writeFaded(i);
          pos = lastFrame;
          break;
        }
      }
      if (pos < 0.0) {
        if (songLoop) {
          pos += lastFrame;
          if (path == 2 && kr.Live->PendingWraps > 0) --kr.Live->PendingWraps;
        } else {
          writeFaded(i);
          pos = 0.0;
          break;
        }
      }
    }

    // Read, interpolate and scale.
    fade = RoundToInt(std::min(std::fabs(ss), 1.0) * kFadeLength);
    const double gain = kOutputScale * (static_cast<double>(fade) / kFadeLength);
    // floor without a libm call (pos is finite and far inside the 64-bit range).
    int64_t i0 = static_cast<int64_t>(pos);
    if (static_cast<double>(i0) > pos) --i0;
    const double floorPos = static_cast<double>(i0);
    double vL, vR;
    if (path == 2) {
      vL = voiceL[i];
      vR = voiceR[i];
    } else if (keyLock) {
      readSplice(i0, splice, vL, vR);
    } else {
      readPlain(i0, pos - floorPos, vL, vR);
    }
    if (kr.FadeLeft > 0) {
      // The path played before a switch, faded out over kKeyLockSwitchFade frames.
      double fL = 0.0, fR = 0.0;
      if (kr.FadePath == 2) {
        if (kr.FadeVoice) {
          fL = fadeL[i];
          fR = fadeR[i];
        }
      } else {
        if (kr.FadePath == 1)
          kr.FadeSplice.Step(speed, kr.FadePos, correlate);
        else
          kr.FadePos += ss;
        wrapPure(kr.FadePos);
        int64_t j0 = static_cast<int64_t>(kr.FadePos);
        if (static_cast<double>(j0) > kr.FadePos) --j0;
        if (kr.FadePath == 1)
          readSplice(j0, kr.FadeSplice, fL, fR);
        else
          readPlain(j0, kr.FadePos - static_cast<double>(j0), fL, fR);
      }
      const double x = static_cast<double>(kKeyLockSwitchFade - kr.FadeLeft) / kKeyLockSwitchFade;
      const double wNew = 0.5 - 0.5 * std::cos(x * std::numbers::pi);
      vL = wNew * vL + (1.0 - wNew) * fL;
      vR = wNew * vR + (1.0 - wNew) * fR;
      --kr.FadeLeft;
    }
    const int16_t outL = RoundToSample(vL * gain);
    const int16_t outR = RoundToSample(vR * gain);
    out[2 * i] = outL;
    out[2 * i + 1] = outR;
    lastL = outL;
    lastR = outR;
  }

  // Tail after leaving early: the last frame fades out, continued by later blocks.
  for (int32_t j = i + 1; j < n; ++j) {
    writeFaded(j);
    if (fade > 0) --fade;
  }

  std::memcpy(destination, out, static_cast<size_t>(n) * 4);

  // Store the renderer state back.
  LastSample_ = {static_cast<int16_t>(lastL), static_cast<int16_t>(lastR)};
  SmoothedSpeed_.store(ss, std::memory_order_relaxed);
  RampTarget_.store(rampTarget, std::memory_order_relaxed);
  RampStep_.store(rampStep, std::memory_order_relaxed);
  FadeCount_.store(fade, std::memory_order_relaxed);
  Splice_ = splice;
  kr.Path = path;
  if (playing) {
    if (kr.Warming) kr.Warming->WarmElapsed += i;
    if (path == 2) kr.Live->SourcePos = pos;
  }
  if (brake && playing) {
    Coast.store(false, std::memory_order_relaxed);
    double expectedSpeed = startSpeed;
    Speed.compare_exchange_strong(expectedSpeed, 0.0);
  }
  if (pos != startPosition) {
    double expected = startPosition;
    Position.compare_exchange_strong(expected, pos);
  }
  // A store by another thread (now or before the next block) shows as a move.
  kr.StoredPos = pos;

  CountMissingAudio(false, n);
  // The worker decodes ahead from the position: entering another chunk wakes
  // it at once (with large blocks 150 blocks can span more than a chunk).
  const int32_t chunkNow = pos >= 0.0 ? static_cast<int32_t>(std::min(pos, 2.0e9) / kChunkFrames) : -1;
  const bool newChunk = chunkNow != LastRenderedChunk_.load(std::memory_order_relaxed);
  LastRenderedChunk_.store(chunkNow, std::memory_order_relaxed);
  if (newChunk) WakeEvent.Signal();
  if (RenderCount.fetch_add(1, std::memory_order_relaxed) + 1 >= kWakeEveryBlocks) {
    RenderCount.store(0, std::memory_order_relaxed);
    WakeEvent.Signal();
  }
  return true;
}

void TSoundSource::CountMissingAudio(bool missing, int32_t frames) noexcept {
  if (!missing) {
    MissingRun_.store(0, std::memory_order_relaxed);
    return;
  }
  MissingBlocks_.fetch_add(1, std::memory_order_relaxed);
  MissingFrames_.fetch_add(frames, std::memory_order_relaxed);
  const int64_t run = MissingRun_.load(std::memory_order_relaxed) + frames;
  MissingRun_.store(run, std::memory_order_relaxed);
  if (run > LongestMissingRun_.load(std::memory_order_relaxed)) LongestMissingRun_.store(run, std::memory_order_relaxed);
}

// ---- cue jump handshake (main thread) ----

void TSoundSource::RequestCueJump(bool wait) {
  ZONDA_EXPECT_NOT_ON(TThreadRole::Audio);
  using Clock = std::chrono::steady_clock;
  const auto rendering = [this] {
    return SteadyNowNs() - LastRenderNs.load(std::memory_order_relaxed) <
           std::chrono::duration_cast<std::chrono::nanoseconds>(kRenderingRecently).count();
  };
  if (!wait) {
    CueJumpRequest.store(true);
    return;
  }
  if (!rendering()) {
    // Device stopped or engine not running: nobody would take the request.
    CueJumpRequest.store(false);
    PerformCueJump();
    return;
  }
  CueJumpRequest.store(true);
  const auto deadline = Clock::now() + kCueJumpWait;
  while (CueJumpRequest.load()) {
    if (Clock::now() >= deadline) {
      // Take the request back; if the renderer took it meanwhile, it has jumped.
      if (CueJumpRequest.exchange(false)) PerformCueJump();
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

// ---- mouse hold on the deck display (main thread; HoldMove also hold timer) ----

void TSoundSource::HoldBegin(int32_t x) noexcept {
  ZONDA_EXPECT_NOT_ON(TThreadRole::Audio);
  if (LoadPending.load() || SeekPending.load() || (Held.load() && JogActive.load())) return;
  JogTimestamp.store(SteadyNowNs());
  HoldStartX.store(x);
  LastMouseX.store(x);
  HoldStartPos.store(PositionFrame());
  Coast.store(false);
  const bool playing = Playing.load();
  WasPlaying.store(playing);
  LastMouseDelta.store(0);
  if (!playing) StartFromHold.store(true);
  Speed.store(0.0);
  Playing.store(true);
  Held.store(true);
}

void TSoundSource::HoldMove(int32_t x) noexcept {
  if (!Held.load() || JogActive.load()) return;
  const int64_t target = static_cast<int64_t>(HoldStartX.load() - static_cast<int64_t>(x)) * kMouseFramesPerPixel +
                         HoldStartPos.load();
  const int32_t scratchTarget = ClampInt(target, 0, std::max(LastFrame.load(), 0));
  ScratchTarget.store(scratchTarget);
  LastMouseDelta.store(LastMouseX.load() - x);
  LastMouseX.store(x);
  Speed.store((scratchTarget - Position.load()) / kMouseScratchFrames);
}

void TSoundSource::HoldEnd(int32_t /*x*/) noexcept {
  if (!Held.load() || JogActive.load()) return;
  const double speed = std::fabs(Speed.load());
  const int32_t delta = std::abs(LastMouseDelta.load());
  const bool keyLock = KeyLock.load();
  if (speed > 1.5 && WasPlaying.load() && delta > 14 && !keyLock) Coast.store(true);  // a throw while playing
  if (speed > 0.25 && !WasPlaying.load() && delta > 20) {                           // a throw starts the deck
    if (!keyLock) Coast.store(true);
    WasPlaying.store(true);
  }
  Speed.store(TargetSpeed.load());
  Playing.store(WasPlaying.load());
  Held.store(false);
}

bool TSoundSource::ToggleScratchMode() noexcept {
  if (Playing.load() && !Held.load()) ScratchMode.store(!ScratchMode.load());
  return ScratchMode.load();
}

TSoundSource::TJogBendStep TSoundSource::TakeJogBend(bool up) noexcept {
  std::atomic<int32_t>& count = up ? BendUpCount : BendDownCount;
  const int32_t n = count.load();
  if (n < 0) return TJogBendStep::None;
  count.store(n - 1);  // 0 becomes -1: the release is taken once
  return n == 0 ? TJogBendStep::Release : TJogBendStep::Press;
}

void TSoundSource::JogIdleTick() noexcept {
  if (JogIdle.load() == 0) {
    ScratchEnd();
    JogIdle.store(-1);
  }
  if (JogIdle.load() > 0) JogIdle.fetch_sub(1);
}

int32_t TSoundSource::NextSpliceJump() const noexcept { return Splice_.SpliceJump; }

void TSoundSource::StartAtSpeed(double speed) noexcept {
  Speed.store(speed);
  TargetSpeed.store(speed);
  SmoothedSpeed_.store(speed);
  RampTarget_.store(speed);
  RampStep_.store(0.0);
  FadeCount_.store(0);
}

// ---- jog wheel (main thread) ----

void TSoundSource::ScratchBegin() noexcept {
  ZONDA_EXPECT_NOT_ON(TThreadRole::Audio);
  if (Held.load()) return;
  JogActive.store(true);
  JogTimestamp.store(SteadyNowNs());
  HoldStartX.store(0);
  HoldStartPos.store(PositionFrame());
  Coast.store(false);
  const bool playing = Playing.load();
  WasPlaying.store(playing);
  if (!playing) StartFromHold.store(true);
  Speed.store(0.0);
  Playing.store(true);
  Held.store(true);
}

void TSoundSource::ScratchEnd() noexcept {
  if (!Held.load() || !JogActive.load()) return;
  Playing.store(WasPlaying.load());
  Speed.store(TargetSpeed.load());
  Held.store(false);
  JogActive.store(false);
  JogTicks.store(0);
}

void TSoundSource::JogMove(bool backwards, int32_t ticks) noexcept { JogMoveAt(backwards, ticks, SteadyNowNs()); }

void TSoundSource::JogMoveAt(bool backwards, int32_t ticks, int64_t nowCounter) noexcept {
  ZONDA_EXPECT_NOT_ON(TThreadRole::Audio);
  if (Held.load() && JogActive.load()) {
    int64_t frequency = CounterFrequency.load();
    if (frequency <= 0) frequency = kCounterFrequency;
    const double interval = 4.0 * static_cast<double>(nowCounter - JogTimestamp.load()) / frequency;
    JogInterval.store(interval);
    JogTimestamp.store(nowCounter);
    int32_t step;
    if (ticks < 1) {
      // Controller events carry no size: the step follows the event rate.
      const int32_t rate = interval > 0.0 ? ClampInt(RoundToInt(Clamp(1.0 / interval, 0.0, 1e6)), 1, 25) : 25;
      step = RoundToInt(0.9 * JogStep.load()) + RoundToInt(0.1 * rate);
    } else {
      step = ticks;
    }
    JogStep.store(step);
    const int32_t jogTicks = backwards ? JogTicks.load() - step : JogTicks.load() + step;
    JogTicks.store(jogTicks);
    TrackJog(*this);
    JogIdle.store(kJogIdleTicks);
  } else if (!Playing.load() || ScratchMode.load()) {
    ScratchBegin();
    JogIdle.store(kJogIdleTicks);
  } else {
    // Playing, not scratching: the jog bends the pitch (the periodic update presses and releases).
    if (backwards) {
      if (BendUpCount.load() >= 1) BendUpCount.store(1);
      BendDownCount.store(4);
    } else {
      if (BendDownCount.load() >= 1) BendDownCount.store(1);
      BendUpCount.store(4);
    }
    JogBend.store(true);
  }
}

// ---- hold-tracking timer (every 25 ms, deck A then deck B) ----

void TSoundSource::TrackHolds(int32_t cursorX) noexcept {
  if (!Held.load()) return;
  if (JogActive.load())
    TrackJog(*this);
  else
    HoldMove(cursorX);
}

}  // namespace zonda
