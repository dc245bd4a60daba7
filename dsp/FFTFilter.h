#pragma once
// TFFTFilter: a deck's three-band equaliser (low, mid, high) with kills.
//
// A linear-phase FIR filter made by frequency sampling: the band gains set the
// magnitudes of 257 frequency points, from which a 257-tap kernel is designed,
// and the stereo signal is filtered by FFT convolution with overlap-add in
// blocks of 512 frames (FFTFilterEngine). The output is the input delayed by the
// block collection (up to 512 frames, depending on the caller's block size) plus
// 128 frames of kernel delay; a fresh filter hands out silence first.
//
// Band edges: low 0-318 Hz, mid 320-4595 Hz, high 4597-22050 Hz (bins 0-3,
// 3-53 and 53-256 of 86.13 Hz; bins 3 and 53 keep the band applied last).
// Gains are dB; each knob's law (kill = -80 dB, cuts tripled) lives with the
// mixer controls.
//
// The low band is too narrow for the kernel alone to kill it (about -41 dB at
// DC and only -13 dB at 200 Hz), so a low gain at or below kLowKillDb also fades
// in a steep minimum-phase high-pass after the kernel (TLowKillFilter): the kill
// then removes at least 80 dB below 250 Hz and leaves 400 Hz and up as the
// kernel makes them. Mid and high kills rely on the 257-tap kernel alone: a
// tone in the killed band falls by at least 55 dB (mid: 56 dB around 780 Hz,
// 80 dB and more from 1 to 3 kHz; high: 62 dB at 4.8 kHz, 83 dB and more from
// 5.6 kHz).
//
// Threads: SetLowGain/SetMidGain/SetHighGain from the main thread (they only
// store the value and a dirty flag); ProcessStereo from the audio thread only,
// which alone redesigns the kernel and filters, so the kernel needs no lock.
// No allocation and no lock on the processing path.
#include <atomic>
#include <cstdint>
#include <memory>

namespace zonda {

class FFTFilterEngine;

class TFFTFilter {
 public:
  // Largest block ProcessStereo takes in one piece; longer blocks are split.
  static constexpr int32_t kMaxBlockBytes = 65536;
  // Frames of kernel delay on top of the block collection.
  static constexpr int32_t kKernelDelayFrames = 128;
  // Low gains at or below this count as a kill (the kill sends -80 dB, the knob
  // stops at -36 dB).
  static constexpr double kLowKillDb = -60.0;

  // Allocates the engine (from the TAllocate pool) with every band at 0 dB.
  TFFTFilter();
  ~TFFTFilter();
  TFFTFilter(const TFFTFilter&) = delete;
  TFFTFilter& operator=(const TFFTFilter&) = delete;

  // Main thread. Store the band gain in dB and mark the band dirty.
  void SetLowGain(double gainDb) noexcept;
  void SetMidGain(double gainDb) noexcept;
  void SetHighGain(double gainDb) noexcept;

  double LowGain() const noexcept { return lowGain_.load(std::memory_order_relaxed); }
  double MidGain() const noexcept { return midGain_.load(std::memory_order_relaxed); }
  double HighGain() const noexcept { return highGain_.load(std::memory_order_relaxed); }

  // Audio thread. Applies pending band changes (low, mid, high), then replaces
  // the block of deck PCM (stereo 16-bit interleaved) by the equaliser's output.
  void ProcessStereo(void* block, int32_t bytes) noexcept;

  // The engine, for tests and for reading the kernel.
  FFTFilterEngine& Engine() noexcept { return *engine_; }

 private:
  std::atomic<double> lowGain_{0.0};
  std::atomic<double> midGain_{0.0};
  std::atomic<double> highGain_{0.0};
  std::atomic<bool> lowDirty_{false};
  std::atomic<bool> midDirty_{false};
  std::atomic<bool> highDirty_{false};
  std::unique_ptr<FFTFilterEngine> engine_;
};

}  // namespace zonda
