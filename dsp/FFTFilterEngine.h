#pragma once
// FFTFilterEngine: FFT convolution with overlap-add for deck PCM (44100 Hz,
// stereo, 16-bit), the machinery under TFFTFilter.
//
// 257 bin magnitudes (0..22050 Hz in steps of 86.13 Hz) define a linear-phase
// 257-tap kernel (128 frames of delay, Hann window). Each whole 512-frame block
// of collected input is filtered per channel with one complex 512-point FFT
// that carries both 256-sample halves (one in the real, one in the imaginary
// part), and the outputs leave in the caller's block sizes; the caller gets
// zeros in front while the engine has not produced enough. The collection delay
// is 0 for 512-frame calls, 512 - n frames for n-frame calls that divide 512,
// and 511 frames for other sizes (taken at once on the first call, so the
// stream never runs dry later).
//
// While the low band is killed, a steep high-pass follows the kernel
// (TLowKillFilter, which says why), applied per 512-frame block so the output
// stays the same whatever the callers' block sizes.
//
// Buffers come from the TAllocate pool at construction. The kernel needs no
// lock: it is designed and used on one thread. Threads: construction on the
// main thread; SetBandGain, SetLowKill, Process and Reset on the audio thread
// (one thread per engine).
#include <array>
#include <cstdint>

#include "dsp/Allocate.h"
#include "dsp/FFT.h"
#include "dsp/LowKillFilter.h"

namespace zonda {

class FFTFilterEngine {
 public:
  static constexpr int32_t kFFTSize = 512;
  static constexpr int32_t kHalfSize = 256;
  static constexpr int32_t kBins = kHalfSize + 1;
  static constexpr double kBinWidthHz = 44100.0 / kFFTSize;
  static constexpr int32_t kBlockBytes = kFFTSize * 4;   // one 512-frame stereo block
  static constexpr int32_t kMaxCallBytes = 65536;        // largest block per Process call
  static constexpr int32_t kBufferBytes = 2 * kMaxCallBytes;

  FFTFilterEngine();
  FFTFilterEngine(const FFTFilterEngine&) = delete;
  FFTFilterEngine& operator=(const FFTFilterEngine&) = delete;

  // The bins a band from loHz to hiHz covers: {first, last}, both inclusive.
  struct BinRange {
    int32_t first = 0;
    int32_t last = 0;
  };
  static BinRange BandBins(double loHz, double hiHz) noexcept;

  // Audio thread. Every bin of the band := 10^((gainDb + 6) / 20), then the
  // kernel is designed again.
  void SetBandGain(double loHz, double hiHz, double gainDb) noexcept;

  // Audio thread. Replaces a block of at most kMaxCallBytes bytes by the
  // filter's output (longer blocks: the caller splits them).
  void Process(void* block, int32_t bytes) noexcept;

  // Audio thread. Switches the low-kill high-pass (TLowKillFilter) in or out of
  // the kernel's output, crossfaded from the next processed block on.
  void SetLowKill(bool on) noexcept { lowKill_.SetActive(on); }
  bool LowKillRunning() const noexcept { return lowKill_.Running(); }

  // Empties the buffers, the overlap and the low-kill history (the kernel stays).
  void Reset() noexcept;

  float BinGain(int32_t bin) const noexcept { return binGains_[static_cast<size_t>(bin)]; }
  // Frequency response of the current kernel, bin k of kFFTSize (for tests).
  TComplex<float> KernelAt(int32_t k) const noexcept { return kernel_[static_cast<size_t>(k)]; }
  // Bytes waiting in the buffers (for tests).
  int32_t InputFill() const noexcept { return inputFill_; }
  int32_t OutputFill() const noexcept { return outputFill_; }

 private:
  void DesignKernel() noexcept;
  void FilterBlock(const int16_t* in, int16_t* out) noexcept;

  TFFT<float> fft_{kFFTSize};
  TFFT<double> designFft_{kFFTSize};
  std::array<float, kBins> binGains_{};
  std::array<TComplex<float>, kFFTSize> kernel_{};
  std::array<TComplex<float>, kFFTSize> kernelBitReversed_{};
  std::array<TComplex<double>, kFFTSize> design_{};   // scratch for DesignKernel
  std::array<TComplex<float>, kFFTSize> work_{};      // scratch for FilterBlock
  std::array<std::array<float, kHalfSize>, 2> overlap_{};
  std::array<std::array<float, kFFTSize>, 2> filtered_{};  // a block's output per channel, before truncation
  TLowKillFilter lowKill_;

  TAllocate::Block input_;
  TAllocate::Block output_;
  int32_t inputFill_ = 0;
  int32_t outputFill_ = 0;
  bool started_ = false;  // false until the first Process call
};

}  // namespace zonda
