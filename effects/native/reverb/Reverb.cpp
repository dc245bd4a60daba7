#include "effects/native/reverb/Reverb.h"

#include <algorithm>
#include <cmath>

#include "effects/native/Samples.h"

namespace zonda::fx {
namespace {

// Input into the network, and its output back out: the lines' sum of eight
// uncorrelated tails is about sqrt(8) louder than one.
constexpr float kInputGain = 0.5f;
constexpr float kOutputGain = 0.6f / 2.8284271f;
using Quad = TReverb::Quad;
constexpr Quad kLeftSigns[2] = {{1, -1, 1, -1}, {1, -1, 1, -1}};
constexpr Quad kRightSigns[2] = {{1, 1, -1, -1}, {1, 1, -1, -1}};
constexpr Quad kInputSigns[2] = {{1, 1, 1, 1}, {-1, -1, -1, -1}};
// Damping 1 still lets a line pass its lows: the pole stays below this.
constexpr float kMaxDampingPole = 0.7f;

}  // namespace

const TParameterInfo TReverb::kParameterInfo[3] = {
    {"Decay", "s", 0.3f, 10.0f, 2.5f, TParameterScale::Logarithmic, {}},
    {"Damping", "%", 0.0f, 1.0f, 0.35f, TParameterScale::Linear, {}},
    {"Mix", "%", 0.0f, 1.0f, 0.3f, TParameterScale::Linear, {}},
};

static_assert(TReverb::kLineFrames.back() < int32_t(TReverb::kLineRing));
static_assert(TReverb::kDiffuserFrames[2] < int32_t(TReverb::kDiffuserRing));

TReverb::TReverb()
    : TNativeEffect(kParameterInfo),
      lines_(size_t(kLines) * kLineStride, 0.0f),
      diffusers_(size_t(kDiffusers) * kDiffuserRing, 0.0f),
      mix_(kParameterInfo[kMix].initial) {
  UpdateLoopGains(kParameterInfo[kDecay].initial, kParameterInfo[kDamping].initial);
}

void TReverb::Reset() noexcept {
  std::fill(lines_.begin(), lines_.end(), 0.0f);
  std::fill(diffusers_.begin(), diffusers_.end(), 0.0f);
  write_ = 0;
  lowPass_[0] = lowPass_[1] = Quad{};
  mix_.Jump(Parameters().Value(kMix));
}

void TReverb::UpdateLoopGains(float decaySeconds, float damping) noexcept {
  if (decaySeconds == gainsForDecay_ && damping == gainsForDamping_) return;
  gainsForDecay_ = decaySeconds;
  gainsForDamping_ = damping;
  // -60 dB after decaySeconds: each pass through a line of n frames loses 60 n / (decay x rate) dB.
  for (int32_t i = 0; i < kLines; ++i) {
    const double passes = decaySeconds * 44100.0 / kLineFrames[static_cast<size_t>(i)];
    loopGain_[static_cast<size_t>(i / 4)][i % 4] = static_cast<float>(std::pow(10.0, -3.0 / passes));
  }
  damping_ = damping * kMaxDampingPole;
}

void TReverb::Render(int16_t* block, int32_t frames, double) noexcept {
  UpdateLoopGains(Parameters().Value(kDecay), Parameters().Value(kDamping));
  mix_.SetTarget(Parameters().Value(kMix));
  const Quad damping = {damping_, damping_, damping_, damping_};
  for (int32_t i = 0; i < frames; ++i) {
    int16_t* frame = block + 2 * i;
    const float inL = ToFloat(frame[0]), inR = ToFloat(frame[1]);
    const uint32_t w = write_++;
    float x = kInputGain * 0.5f * (inL + inR);
    for (size_t d = 0; d < kDiffusers; ++d) {
      float* ring = diffusers_.data() + d * kDiffuserRing;
      const float delayed = ring[(w - uint32_t(kDiffuserFrames[d])) & (kDiffuserRing - 1)];
      const float v = x + kDiffusion * delayed;
      ring[w & (kDiffuserRing - 1)] = v;
      x = delayed - kDiffusion * v;
    }
    // Lines 0..3 in the first quad, 4..7 in the second.
    auto read = [&](size_t n) { return lines_[n * kLineStride + ((w - uint32_t(kLineFrames[n])) & (kLineRing - 1))]; };
    const Quad o[2] = {{read(0), read(1), read(2), read(3)}, {read(4), read(5), read(6), read(7)}};
    const Quad wetL = o[0] * kLeftSigns[0] + o[1] * kLeftSigns[1];
    const Quad wetR = o[0] * kRightSigns[0] + o[1] * kRightSigns[1];
    Quad out[2];
    for (size_t q = 0; q < 2; ++q) {
      lowPass_[q] = o[q] + damping * (lowPass_[q] - o[q]);
      out[q] = loopGain_[q] * lowPass_[q];
    }
    const Quad sum = out[0] + out[1];
    const float reflect = (sum[0] + sum[1] + sum[2] + sum[3]) * (2.0f / kLines);
    const uint32_t at = w & (kLineRing - 1);
    for (size_t q = 0; q < 2; ++q) {
      const Quad into = out[q] - reflect + kInputSigns[q] * x;
      for (size_t k = 0; k < 4; ++k) lines_[(4 * q + k) * kLineStride + at] = into[k];
    }
    const float mix = mix_.Next() * kOutputGain;
    frame[0] = ToInt16Saturated(inL + mix * (wetL[0] + wetL[1] + wetL[2] + wetL[3]));
    frame[1] = ToInt16Saturated(inR + mix * (wetR[0] + wetR[1] + wetR[2] + wetR[3]));
  }
}

}  // namespace zonda::fx
