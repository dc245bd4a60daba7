#include "engine/KeyLockRubberBand.h"

#include <rubberband/RubberBandStretcher.h>

#include <algorithm>
#include <cmath>

namespace zonda {
namespace {

constexpr double kSampleRate = 44100.0;
constexpr float kScale = 32768.0f;

RubberBand::RubberBandStretcher::Options OptionsFor(bool finer) {
  using S = RubberBand::RubberBandStretcher;
  return S::OptionProcessRealTime | S::OptionThreadingNever |
         (finer ? S::OptionEngineFiner : S::OptionEngineFaster);
}

double RatioFor(double speed) {
  const double m = std::fabs(speed);
  return 1.0 / (m < 0.05 ? 0.05 : m);
}

}  // namespace

TRubberBandVoice::TRubberBandVoice(bool finer)
    : finer_(finer),
      stretcher_(std::make_unique<RubberBand::RubberBandStretcher>(static_cast<size_t>(kSampleRate), 2,
                                                                   OptionsFor(finer), 1.0, 1.0)),
      inL_(kRubberBandMaxFeed),
      inR_(kRubberBandMaxFeed),
      dropL_(kRubberBandMaxFeed),
      dropR_(kRubberBandMaxFeed) {
  stretcher_->setMaxProcessSize(kRubberBandMaxFeed);
  // Run it here through the ratios a deck plays at, so whatever the
  // stretcher sets up lazily is set up on this thread, not on the audio thread.
  std::fill(inL_.begin(), inL_.end(), 0.0f);
  std::fill(inR_.begin(), inR_.end(), 0.0f);
  const float* in[2] = {inL_.data(), inR_.data()};
  float* out[2] = {dropL_.data(), dropR_.data()};
  for (double speed : {1.0, 1.08, 0.92, 1.5, 0.6, 1.0}) {
    stretcher_->setTimeRatio(1.0 / speed);
    for (int k = 0; k < 8; ++k) {
      size_t want = stretcher_->getSamplesRequired();
      if (want == 0 || want > static_cast<size_t>(kRubberBandMaxFeed)) want = 1024;
      stretcher_->process(in, want, false);
      while (stretcher_->available() > 0)
        stretcher_->retrieve(out, std::min<size_t>(static_cast<size_t>(stretcher_->available()), kRubberBandMaxFeed));
    }
    stretcher_->reset();
  }
}

TRubberBandVoice::~TRubberBandVoice() = default;

int32_t TRubberBandVoice::StartDelay() const noexcept { return static_cast<int32_t>(stretcher_->getStartDelay()); }
int32_t TRubberBandVoice::StartPad() const noexcept {
  return static_cast<int32_t>(stretcher_->getPreferredStartPad());
}

void TRubberBandVoice::Begin(double speed, double start) noexcept {
  stretcher_->reset();
  Speed = speed;
  Dir = speed < 0.0 ? -1 : 1;
  stretcher_->setTimeRatio(RatioFor(speed));
  discardLeft_ = StartDelay();
  PadLeft = StartPad();
  PendingWraps = 0;
  SourcePos = start;
  WarmElapsed = 0;
  Live = false;
  Resync = false;
}

void TRubberBandVoice::SetSpeed(double speed) noexcept {
  if (speed == Speed) return;
  Speed = speed;
  stretcher_->setTimeRatio(RatioFor(speed));
}

int32_t TRubberBandVoice::Available() const noexcept { return stretcher_->available(); }

int32_t TRubberBandVoice::RequiredFrames() const noexcept {
  return static_cast<int32_t>(stretcher_->getSamplesRequired());
}

void TRubberBandVoice::Process(int32_t frames) noexcept {
  const float* in[2] = {inL_.data(), inR_.data()};
  stretcher_->process(in, static_cast<size_t>(frames), false);
}

void TRubberBandVoice::Retrieve(float* l, float* r, int32_t frames) noexcept {
  float* out[2] = {l, r};
  const size_t got = stretcher_->retrieve(out, static_cast<size_t>(frames));
  for (size_t k = 0; k < got; ++k) {
    l[k] *= kScale;
    r[k] *= kScale;
  }
  for (size_t k = got; k < static_cast<size_t>(frames); ++k) l[k] = r[k] = 0.0f;
}

void TRubberBandVoice::Drop(int32_t frames) noexcept {
  while (frames > 0) {
    const int32_t k = frames < kRubberBandMaxFeed ? frames : kRubberBandMaxFeed;
    float* out[2] = {dropL_.data(), dropR_.data()};
    stretcher_->retrieve(out, static_cast<size_t>(k));
    frames -= k;
  }
}

}  // namespace zonda
