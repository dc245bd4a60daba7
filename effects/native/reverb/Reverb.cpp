#include "effects/native/reverb/Reverb.h"

#include <cmath>

#include "effects/native/Samples.h"

namespace zonda::fx {
namespace {

// Input into the network, and its output back out: the lines' sum of eight
// uncorrelated tails is about sqrt(8) louder than one.
constexpr float kInputGain = 0.5f;
constexpr float kOutputGain = 0.6f / 2.8284271f;
constexpr std::array<float, TReverb::kLines> kLeftSigns = {1, -1, 1, -1, 1, -1, 1, -1};
constexpr std::array<float, TReverb::kLines> kRightSigns = {1, 1, -1, -1, 1, 1, -1, -1};
constexpr std::array<float, TReverb::kLines> kInputSigns = {1, 1, 1, 1, -1, -1, -1, -1};
// Damping 1 still lets a line pass its lows: the pole stays below this.
constexpr float kMaxDampingPole = 0.7f;

}  // namespace

const TParameterSpec TReverb::kSpecs[3] = {
    {"Decay", "s", 0.3f, 10.0f, 2.5f, TParameterScale::Logarithmic, {}},
    {"Damping", "%", 0.0f, 1.0f, 0.35f, TParameterScale::Linear, {}},
    {"Mix", "%", 0.0f, 1.0f, 0.3f, TParameterScale::Linear, {}},
};

TReverb::TReverb() : TNativeEffect(kSpecs), mix_(kSpecs[kMix].initial) {
  lines_.reserve(kLines);
  for (int32_t frames : kLineFrames) lines_.emplace_back(frames);
  diffusers_.reserve(kDiffusers);
  for (int32_t frames : kDiffuserFrames) diffusers_.emplace_back(frames);
  UpdateLoopGains(kSpecs[kDecay].initial, kSpecs[kDamping].initial);
}

void TReverb::Reset() noexcept {
  for (TDelayLine& line : lines_) line.Clear();
  for (TDelayLine& diffuser : diffusers_) diffuser.Clear();
  lowPass_ = {};
  mix_.Jump(Parameters().Value(kMix));
}

void TReverb::UpdateLoopGains(float decaySeconds, float damping) noexcept {
  if (decaySeconds == gainsForDecay_ && damping == gainsForDamping_) return;
  gainsForDecay_ = decaySeconds;
  gainsForDamping_ = damping;
  // -60 dB after decaySeconds: each pass through a line of n frames loses 60 n / (decay x rate) dB.
  for (int32_t i = 0; i < kLines; ++i) {
    const double passes = decaySeconds * 44100.0 / kLineFrames[static_cast<size_t>(i)];
    loopGain_[static_cast<size_t>(i)] = static_cast<float>(std::pow(10.0, -3.0 / passes));
  }
  damping_ = damping * kMaxDampingPole;
}

void TReverb::Render(int16_t* block, int32_t frames, double) noexcept {
  UpdateLoopGains(Parameters().Value(kDecay), Parameters().Value(kDamping));
  mix_.SetTarget(Parameters().Value(kMix));
  for (int32_t i = 0; i < frames; ++i) {
    int16_t* frame = block + 2 * i;
    const float inL = ToFloat(frame[0]), inR = ToFloat(frame[1]);
    float x = kInputGain * 0.5f * (inL + inR);
    for (size_t d = 0; d < kDiffusers; ++d) {
      const float delayed = diffusers_[d].Read(kDiffuserFrames[d]);
      const float w = x + kDiffusion * delayed;
      diffusers_[d].Write(w);
      x = delayed - kDiffusion * w;
    }
    std::array<float, kLines> out;
    float sum = 0.0f, wetL = 0.0f, wetR = 0.0f;
    for (size_t n = 0; n < kLines; ++n) {
      const float o = lines_[n].Read(kLineFrames[n]);
      wetL += kLeftSigns[n] * o;
      wetR += kRightSigns[n] * o;
      lowPass_[n] = o + damping_ * (lowPass_[n] - o);
      out[n] = loopGain_[n] * lowPass_[n];
      sum += out[n];
    }
    const float reflect = sum * (2.0f / kLines);
    for (size_t n = 0; n < kLines; ++n) lines_[n].Write(out[n] - reflect + kInputSigns[n] * x);
    const float mix = mix_.Next() * kOutputGain;
    frame[0] = ToInt16Saturated(inL + mix * wetL);
    frame[1] = ToInt16Saturated(inR + mix * wetR);
  }
}

}  // namespace zonda::fx
