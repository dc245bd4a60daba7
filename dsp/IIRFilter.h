#pragma once
// TIIRFilter: a sixth-order Chebyshev type I low-pass or high-pass filter
// (0.5 % pass-band ripple) built from three direct-form-I biquads in cascade.
//
// Two uses:
//  - the cut-off knob of each deck: the mixer runs ProcessStereo on every
//    rendered block of the deck (after the effect slots, before the equaliser);
//  - beat analysis: each deck owns a 215 Hz low-pass and a 132 Hz high-pass
//    that filter 8820-sample mono windows with ProcessAnalysis.
//
// Life cycle: construct (a low-pass at 19000 Hz, designed lazily), SetCutoff
// from the control side at any time, process on one thread. SetCutoff only
// records the request; the coefficients are designed at the start of the next
// processed block. Turning the filter off clears its state once, on the first
// block after the change. The coefficients are deliberately left unnormalised:
// the cascade's pass-band gain is about 6.54 and every output is divided by 6.
//
// Threads: SetCutoff from the main thread (knob handlers) or the deck's
// constructor; ProcessStereo from the audio thread only; ProcessAnalysis from
// the deck's worker thread only. A filter object serves one processing thread.
// No allocation, no locks on the processing path.
#include <array>
#include <atomic>
#include <cstdint>

namespace zonda {

class TIIRFilter {
 public:
  // Largest block the mixer hands over, in frames; longer blocks are filtered too.
  static constexpr int32_t kMaxFrames = 8820;
  // Samples in one ProcessAnalysis window.
  static constexpr int32_t kAnalysisSamples = 8820;
  // CutoffHz value meaning "off".
  static constexpr float kOff = -1.0f;

  struct Section {
    float A0 = 0, A1 = 0, A2 = 0, B1 = 0, B2 = 0;
  };

  TIIRFilter() noexcept;

  // Any thread that owns the settings (main). Stores the cut-off, Kind := 0 for
  // low-pass / 1 for high-pass, and marks the filter dirty. cutoffHz = -1 is off.
  // Any negative or non-finite cut-off counts as off; others are limited to
  // 10..21000 Hz when designed, which keeps every cascade stable.
  void SetCutoff(bool lowPass, float cutoffHz) noexcept;

  // Audio thread. Filters a block of deck PCM (stereo 16-bit interleaved) in place.
  // Blocks of fewer than two frames and blocks whose left channel is constant
  // pass unchanged without touching the state.
  void ProcessStereo(void* block, int32_t bytes) noexcept;

  // Deck worker thread. Filters kAnalysisSamples mono 16-bit samples in place
  // through the left-channel state.
  void ProcessAnalysis(int16_t* samples) noexcept;

  float CutoffHz() const noexcept { return cutoffHz_.load(std::memory_order_relaxed); }
  // 0 = low-pass, 1 = high-pass.
  float Kind() const noexcept { return kind_.load(std::memory_order_relaxed); }
  bool Dirty() const noexcept { return dirty_.load(std::memory_order_relaxed); }

  // The coefficients in use (processing thread, or tests). Valid after a block.
  const Section& Coefficients(int section) const noexcept { return sections_[section]; }

  // The coefficient arithmetic, single precision throughout. kind: 0 low-pass, 1 high-pass;
  // fc: cut-off as a fraction of the sample rate.
  static std::array<Section, 3> Design(float kind, float fc) noexcept;

 private:
  struct State {
    float x1 = 0, x2 = 0, y1 = 0, y2 = 0;
  };
  using ChannelState = std::array<State, 3>;

  void DesignNow(float cutoffHz, float kind) noexcept;
  void ClearState() noexcept;
  // Run the cascade over interleaved stereo frames / mono samples, keeping the state.
  void RunStereo(int16_t* pcm, int32_t frames) noexcept;
  void RunMono(int16_t* samples, int32_t count) noexcept;

  std::atomic<float> cutoffHz_{19000.0f};
  std::atomic<float> kind_{0.0f};
  std::atomic<bool> dirty_{true};

  std::array<Section, 3> sections_{};
  ChannelState left_{};
  ChannelState right_{};
};

}  // namespace zonda
