#include "dsp/FFTFilterEngine.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace zonda {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kNyquistHz = 22050.0;

inline int16_t TruncateToSample(float v) noexcept {
  if (!(v > -32768.0f)) return -32768;  // also NaN
  if (v >= 32767.0f) return 32767;
  return static_cast<int16_t>(v);       // truncation toward zero
}

}  // namespace

FFTFilterEngine::FFTFilterEngine()
    : input_(TAllocate::Instance().Get(kBufferBytes)), output_(TAllocate::Instance().Get(kBufferBytes)) {
  binGains_.fill(static_cast<float>(std::pow(10.0, 6.0 / 20.0)));  // 0 dB
  DesignKernel();
}

FFTFilterEngine::BinRange FFTFilterEngine::BandBins(double loHz, double hiHz) noexcept {
  if (!std::isfinite(loHz)) loHz = 0.0;
  if (!std::isfinite(hiHz)) hiHz = kNyquistHz;
  hiHz = std::min(hiHz, kNyquistHz);
  loHz = std::min(loHz, kNyquistHz - 1.0);
  if (loHz > hiHz) std::swap(loHz, hiHz);
  if (hiHz == loHz) hiHz = loHz + 1.0;
  BinRange r;
  r.first = std::clamp(static_cast<int32_t>(std::trunc(loHz / kBinWidthHz)), 0, kBins - 1);
  r.last = std::clamp(static_cast<int32_t>(std::trunc(hiHz / kBinWidthHz)), 0, kBins - 1);
  return r;
}

void FFTFilterEngine::SetBandGain(double loHz, double hiHz, double gainDb) noexcept {
  if (!std::isfinite(gainDb)) gainDb = 0.0;
  gainDb = std::clamp(gainDb, -200.0, 60.0);
  const BinRange r = BandBins(loHz, hiHz);
  const float magnitude = static_cast<float>(std::pow(10.0, (gainDb + 6.0) / 20.0));
  for (int32_t j = r.first; j <= r.last; ++j) binGains_[static_cast<size_t>(j)] = magnitude;
  DesignKernel();
}

// Frequency sampling: a one-sided spectrum with 128 frames of linear phase, to
// the time domain, real part (hence the +6 dB in the magnitudes), Hann window
// over taps 0..256, back to the frequency domain scaled by 1/512.
void FFTFilterEngine::DesignKernel() noexcept {
  for (int32_t j = 0; j < kFFTSize; ++j) {
    double m = 0.0;
    if (j < kBins) {
      m = binGains_[static_cast<size_t>(j)];
      if (j == 0 || j == kBins - 1) m *= 0.5;
    }
    const double phase = j * kPi / 2.0;
    design_[static_cast<size_t>(j)] = {m * std::cos(phase), m * std::sin(phase)};
  }
  designFft_.Forward(design_.data());
  for (int32_t k = 0; k < kFFTSize; ++k) {
    double h = 0.0;
    if (k <= kHalfSize) h = design_[static_cast<size_t>(k)].re * (0.5 - 0.5 * std::cos(2.0 * kPi * k / kHalfSize));
    design_[static_cast<size_t>(k)] = {h, 0.0};
  }
  designFft_.Forward(design_.data());
  for (int32_t k = 0; k < kFFTSize; ++k) {
    kernel_[static_cast<size_t>(k)] = {static_cast<float>(design_[static_cast<size_t>(k)].re / kFFTSize),
                                       static_cast<float>(design_[static_cast<size_t>(k)].im / kFFTSize)};
  }
  // The filtering multiplies in the forward transform's bit-reversed order.
  kernelBitReversed_ = kernel_;
  fft_.BitReverse(kernelBitReversed_.data());
}

void FFTFilterEngine::Reset() noexcept {
  inputFill_ = 0;
  outputFill_ = 0;
  started_ = false;
  for (auto& o : overlap_) o.fill(0.0f);
  lowKill_.ClearHistory();
}

// One 512-frame stereo block: per channel, both 256-sample halves share one
// complex FFT (first half real, second half imaginary, upper 256 points zero).
// The low-kill stage, while it runs, works on the result before truncation.
void FFTFilterEngine::FilterBlock(const int16_t* in, int16_t* out) noexcept {
  for (int32_t ch = 0; ch < 2; ++ch) {
    TComplex<float>* w = work_.data();
    for (int32_t j = 0; j < kHalfSize; ++j) {
      w[j].re = static_cast<float>(static_cast<int32_t>(in[2 * j + ch]));
      w[j].im = static_cast<float>(static_cast<int32_t>(in[2 * (kHalfSize + j) + ch]));
    }
    fft_.ForwardToBitReversed(w, true);
    const TComplex<float>* kernel = kernelBitReversed_.data();
    for (int32_t k = 0; k < kFFTSize; ++k) {
      const TComplex<float> h = kernel[k];
      const float re = w[k].re * h.re - w[k].im * h.im;
      const float im = w[k].re * h.im + w[k].im * h.re;
      w[k] = {re, im};
    }
    fft_.InverseFromBitReversed(w);
    float* overlap = overlap_[static_cast<size_t>(ch)].data();
    float* y = filtered_[static_cast<size_t>(ch)].data();
    for (int32_t j = 0; j < kHalfSize; ++j) {
      y[j] = w[j].re + overlap[j];
      y[kHalfSize + j] = w[kHalfSize + j].re + w[j].im;
      overlap[j] = w[kHalfSize + j].im;
    }
  }
  lowKill_.Process(filtered_[0].data(), filtered_[1].data(), kFFTSize);
  for (int32_t j = 0; j < kFFTSize; ++j) {
    out[2 * j] = TruncateToSample(filtered_[0][static_cast<size_t>(j)]);
    out[2 * j + 1] = TruncateToSample(filtered_[1][static_cast<size_t>(j)]);
  }
}

void FFTFilterEngine::Process(void* block, int32_t bytes) noexcept {
  if (block == nullptr || bytes <= 0) return;
  bytes = std::min(bytes, kMaxCallBytes);
  std::byte* in = input_.data();
  std::byte* out = output_.data();
  // Cannot happen with blocks of at most kMaxCallBytes; kept so a fault cannot overrun.
  if (inputFill_ + bytes > kBufferBytes) Reset();
  if (!started_) {
    // A caller whose block size neither divides nor is a multiple of 512 frames
    // would otherwise run the output dry now and then over the first seconds,
    // each time handing out a gap of zeros in the middle of the sound. Taking the
    // full collection delay (511 frames) up front keeps the stream whole.
    started_ = true;
    if (bytes % kBlockBytes != 0 && kBlockBytes % bytes != 0) {
      std::memset(out, 0, kBlockBytes - 4);
      outputFill_ = kBlockBytes - 4;
    }
  }
  std::memcpy(in + inputFill_, block, static_cast<size_t>(bytes));
  inputFill_ += bytes;

  {
    int32_t done = 0;
    while (inputFill_ - done >= kBlockBytes && outputFill_ + kBlockBytes <= kBufferBytes) {
      int16_t samples[kFFTSize * 2];
      int16_t result[kFFTSize * 2];
      std::memcpy(samples, in + done, kBlockBytes);
      FilterBlock(samples, result);
      std::memcpy(out + outputFill_, result, kBlockBytes);
      outputFill_ += kBlockBytes;
      done += kBlockBytes;
    }
    if (done > 0) {
      std::memmove(in, in + done, static_cast<size_t>(inputFill_ - done));
      inputFill_ -= done;
    }
  }

  // Hand out what there is, at the end of the caller's block, zeros in front.
  const int32_t give = std::min(outputFill_, bytes);
  auto* dst = static_cast<std::byte*>(block);
  std::memset(dst, 0, static_cast<size_t>(bytes - give));
  std::memcpy(dst + (bytes - give), out, static_cast<size_t>(give));
  std::memmove(out, out + give, static_cast<size_t>(outputFill_ - give));
  outputFill_ -= give;
}

}  // namespace zonda
