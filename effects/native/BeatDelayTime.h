#pragma once
// TBeatDelayTime: a delay of a fraction of a beat at the tempo passed to each
// "process" call, gliding when the tempo or the fraction changes.
//
// The tempo is the deck's BPM as it plays (0 when unknown). Outside 40..300
// BPM, or not a number, it counts as 120 BPM, so an untimed deck still
// echoes. The glide is a one-pole in delay frames (150 ms time constant): the
// repeats bend in pitch briefly instead of clicking. The first target after
// construction or Reset is taken at once, so a slot switched on at 128 BPM
// does not glide from 120.
//
//   TBeatDelayTime time;
//   time.SetTarget(TBeatDelayTime::TargetFrames(0.5, tempoBpm));  // per call
//   const double delay = time.Next();                              // per frame
//
// Threads: audio thread only.
#include <cmath>
#include <cstdint>

namespace zonda::fx {

class TBeatDelayTime {
 public:
  static constexpr double kMinBpm = 40.0;
  static constexpr double kMaxBpm = 300.0;
  static constexpr double kFallbackBpm = 120.0;
  static constexpr double kRateHz = 44100.0;
  static constexpr double kLongestBeats = 2.0;
  // The longest delay any choice can ask for: 2 beats at 40 BPM (3 s).
  static constexpr int32_t kMaxDelayFrames = static_cast<int32_t>(kLongestBeats * 60.0 / kMinBpm * kRateHz);
  static constexpr double kGlidePerFrame = 1.0 / (0.150 * kRateHz);
  // Closer than this the delay is the target exactly (whole delays read one frame).
  static constexpr double kSnapFrames = 1e-3;

  static double UsableBpm(double tempoBpm) noexcept {
    return (tempoBpm >= kMinBpm && tempoBpm <= kMaxBpm) ? tempoBpm : kFallbackBpm;
  }
  // beats (0 < beats <= 2) at the tempo, in frames.
  static double TargetFrames(double beats, double tempoBpm) noexcept {
    return beats * 60.0 / UsableBpm(tempoBpm) * kRateHz;
  }

  void Reset() noexcept { settled_ = false; }

  void SetTarget(double frames) noexcept {
    target_ = frames;
    if (!settled_) {
      current_ = frames;
      settled_ = true;
    }
  }

  double Next() noexcept {
    const double d = target_ - current_;
    current_ = std::fabs(d) < kSnapFrames ? target_ : current_ + d * kGlidePerFrame;
    return current_;
  }

  double Current() const noexcept { return current_; }

 private:
  double target_ = TargetFrames(0.5, kFallbackBpm);
  double current_ = target_;
  bool settled_ = false;
};

}  // namespace zonda::fx
