#pragma once
// TDelayLine: one channel of delayed float samples in a ring.
//
// The ring is made once, in the constructor, big enough for the longest
// delay asked for; reading and writing never allocate. Read before Write in
// each frame: Read(d) is the sample written d frames ago (d >= 1).
//
//   TDelayLine line(132300);
//   const float echo = line.ReadInterpolated(11025.0);
//   line.Write(input + feedback * echo);
//
// Threads: construction on any thread; the rest on the audio thread.
#include <cstdint>
#include <vector>

namespace zonda::fx {

class TDelayLine {
 public:
  explicit TDelayLine(int32_t maxDelayFrames);

  int32_t MaxDelayFrames() const noexcept { return maxDelay_; }

  void Clear() noexcept;

  void Write(float sample) noexcept {
    buffer_[write_ & mask_] = sample;
    ++write_;
  }

  // Whole delays are held to 1..MaxDelayFrames.
  float Read(int32_t delayFrames) const noexcept {
    delayFrames = delayFrames < 1 ? 1 : delayFrames > maxDelay_ ? maxDelay_ : delayFrames;
    return buffer_[(write_ - static_cast<uint32_t>(delayFrames)) & mask_];
  }

  // Linear interpolation between the two nearest frames; a whole delay reads
  // one frame exactly. Held to 1..MaxDelayFrames.
  float ReadInterpolated(double delayFrames) const noexcept {
    delayFrames = delayFrames < 1.0 ? 1.0 : delayFrames > maxDelay_ ? maxDelay_ : delayFrames;
    const int32_t whole = static_cast<int32_t>(delayFrames);
    const float fraction = static_cast<float>(delayFrames - whole);
    const float a = buffer_[(write_ - static_cast<uint32_t>(whole)) & mask_];
    if (fraction == 0.0f) return a;
    const float b = buffer_[(write_ - static_cast<uint32_t>(whole) - 1u) & mask_];
    return a + (b - a) * fraction;
  }

 private:
  std::vector<float> buffer_;
  uint32_t mask_ = 0;
  uint32_t write_ = 0;
  int32_t maxDelay_ = 1;
};

}  // namespace zonda::fx
