#pragma once
// TKAVMixer: the one mixer, `Mixer`. For every device block it renders both
// decks through their chains, mixes the master output (crossfader and channel
// gains with click-free ramps, talk-over, the on-air microphone on line A) and
// the monitor output for the headphones (pre-listen mix, split or master mode,
// the preview player it owns), feeds the meters and the recorder, and keeps the
// monitor block for ReadMonitor.
//
// A deck's chain, per device block (RenderDeck):
//   render in SubBlocks pieces (or copy the deck's line input)
//   -> the deck's four effect slots -> its cut-off filter (Channels[d].Filter)
//   -> its equaliser -> trim -> its meter ring.
//
//   TKAVMixer mixer({&deckA, &deckA.Equaliser}, {&deckB, &deckB.Equaliser}, &recorder);
//   TAudioOutput output(mixer);  output.Open(...);   // SetSubBlocks via SetupBlockSizes
//   mixer.Start();                                     // start-up finished: sound from now on
//   mixer.SetCrossfader(CrossfaderLaw(...));           // main thread, any time
//
// Threads: MixBlock, ReadMonitor, LineArea, RenderDeck on the audio thread
// (noexcept, no allocation, no lock: the meter, monitor and recording rings are
// single-producer single-consumer rings without locks). The setters,
// flags, Level and MasterLevels on the main thread (the periodic update
// reads the meters). Gains and flags are atomics with the main thread as the
// one writer; the ramp state belongs to the audio thread.
#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

#include "dsp/IIRFilter.h"
#include "engine/AudioMixer.h"
#include "engine/BufferSmall.h"
#include "engine/MixerLaws.h"
#include "engine/MixerPreviewSource.h"

namespace zonda {

class TSoundSource;
class TFFTFilter;
class TRecorder;
class TPreviewMonitor;

inline constexpr int32_t kDeckEffectSlots = 4;
inline constexpr int32_t kMeterRingBytes = 35280;     // 200 ms
inline constexpr int32_t kMixerMonitorRingBytes = 30000;
inline constexpr int32_t kMeterScratchFrames = 8820;
inline constexpr int32_t kGainRampFrames = 147;       // 3.3 ms per fader jump

// What the chain needs from an effect slot; the effect slots implement it.
class TMixerEffectSlot {
 public:
  virtual ~TMixerEffectSlot() = default;
  // Audio thread: processes a block of deck PCM in place; tempo in BPM.
  virtual void ProcessBlock(int16_t* block, int32_t bytes, double tempoBpm) noexcept = 0;
};

// One deck's links. The mixer only observes them; the deck owns its equaliser.
struct TMixerDeck {
  TSoundSource* deck = nullptr;       // null: the deck renders silence
  TFFTFilter* equaliser = nullptr;    // null: no equaliser step
  std::array<TMixerEffectSlot*, kDeckEffectSlots> effectSlots{};  // empty slots are null
};

// One deck's channel on the mixer: its settings (written by the main thread)
// and its gain ramp (the audio thread's; readable by tests after a block).
struct TMixerChannel {
  std::atomic<double> XfadeGain{1.0};  // the crossfader's gain for this deck, linear
  std::atomic<double> Volume{1.0};     // the channel fader's gain, linear
  std::atomic<double> Target{1.0};     // Volume x XfadeGain, reached by a ramp
  std::atomic<double> Trim{1.0};       // see TrimFromGainDb
  std::atomic<double> Cue{1.0};        // see PreListenLaw
  std::atomic<bool> LineIn{false};     // the deck's line input instead of the deck
  // The cut-off knob's filter, for the whole run (a fresh filter is a
  // 19000 Hz low-pass until the knob handlers set it).
  TIIRFilter Filter;
  double Latched = 1.0, Current = 1.0, Step = 0.0;  // audio thread
};

class TKAVMixer final : public TAudioMixer {
 public:
  // Main thread, before the device opens. recorder may be null.
  TKAVMixer(TMixerDeck deckA, TMixerDeck deckB, TRecorder* recorder);
  ~TKAVMixer() override;
  TKAVMixer(const TKAVMixer&) = delete;
  TKAVMixer& operator=(const TKAVMixer&) = delete;

  // ---- main thread ----
  // Start-up finished: MixBlock and ReadMonitor work from now on.
  void Start() noexcept { running_.store(true, std::memory_order_release); }
  void StopMixing() noexcept { running_.store(false, std::memory_order_release); }
  bool Running() const noexcept { return running_.load(std::memory_order_acquire); }

  // Deck 0 (A) or 1 (B): crossfader / channel gain := dB as linear (at least
  // 1/32767); target := channel gain x crossfader gain, reached by a 147-frame ramp.
  void SetCrossfadeGain(int32_t deck, double dB) noexcept;
  void SetVolume(int32_t deck, double dB) noexcept;
  // The laws' results for both decks at once.
  void SetCrossfader(const TCrossfaderLaw& law) noexcept;
  void SetPreListen(const TCueLevels& levels) noexcept;
  // The deck's gain knob (dB) through TrimFromGainDb.
  void SetGain(int32_t deck, double gainDb) noexcept;
  // The deck's line input instead of the deck.
  void SetLineIn(int32_t deck, bool on) noexcept;
  // Headphones: split (pre-listen left, master right), master only.
  void SetPhones(bool split, bool master) noexcept {
    PhonesSplit.store(split);
    PhonesMaster.store(master);
  }
  void SetOnAir(bool on) noexcept { OnAir.store(on); }
  void SetTalkOver(bool on) noexcept { TalkOver.store(on); }
  // The preview is mixed into the monitor while on.
  void SetPreviewOn(bool on) noexcept { PreviewOn.store(on); }
  // Effect slots of deck 0 (A) or 1 (B); set while the device is closed or the
  // slot is inactive, as the slots' own life cycle demands.
  void SetEffectSlot(int32_t deck, int32_t slot, TMixerEffectSlot* effect) noexcept;
  // Tests: mix this source instead of Preview (null: Preview again). Observed, not owned.
  void SetPreviewSource(TMixerPreviewSource* source) noexcept {
    previewSource_.store(source, std::memory_order_release);
  }

  // Meters: everything the ring holds since the last read.
  double Level(int32_t deck) noexcept;  // mean of left and right dB
  TStereoDb MasterLevels() noexcept;
  // RMS dB of each channel of a block; -96 for silence or nothing.
  static TStereoDb MeasureLevels(const void* block, int32_t bytes) noexcept {
    return zonda::MeasureLevels(block, bytes);
  }

  // ---- TAudioMixer (audio thread, except the sub-block and monitor set-up) ----
  bool MixBlock(int16_t* destination, int32_t bytes) noexcept override;
  bool ReadMonitor(int16_t* destination, int32_t bytes) noexcept override;
  int16_t* LineArea(int32_t line) noexcept override;
  void SetSubBlocks(int32_t subBlocks) noexcept override { SubBlocks_.store(subBlocks, std::memory_order_relaxed); }
  int32_t SubBlocks() const noexcept override { return SubBlocks_.load(std::memory_order_relaxed); }
  void ClearMonitor() noexcept override { monitorRing_.RequestClear(); }

  // Audio thread: deck 0 or 1's chain into area (bytes div 4 frames, at most
  // kMixerAreaFrames); always true.
  bool RenderDeck(int32_t deck, int16_t* area, int32_t bytes) noexcept;

  // ---- fields (written by the main thread unless stated) ----
  const uint8_t Ready = 1;
  std::array<TMixerChannel, 2> Channels;  // deck 0 (A), deck 1 (B)
  std::atomic<bool> OnAir{false}, TalkOver{false};
  std::atomic<bool> PhonesSplit{false}, PhonesMaster{false};
  std::atomic<bool> PreviewOn{false};
  // The preview player, created and freed with the mixer; mixed into the
  // monitor while PreviewOn.
  const std::unique_ptr<TPreviewMonitor> Preview;
  // Main thread, from the periodic update: one more preview piece, unless a
  // deck needs decoding (both decode under the one decoder lock, and a playing
  // or cued deck comes first). False when it gave way.
  bool RefillPreview();

  // Audio-thread state, readable for tests after a block.
  double TalkGain = 1.0;   // set at each block from TalkOver
  double MicGain = 0.0;    // set at each block from OnAir

 private:
  using Area = std::array<int16_t, kMixerAreaFrames * 2>;
  struct DeckChain {
    TSoundSource* deck = nullptr;
    TFFTFilter* equaliser = nullptr;
    std::array<std::atomic<TMixerEffectSlot*>, kDeckEffectSlots> effectSlots{};
    TMixerChannel* channel = nullptr;
    int16_t* lineArea = nullptr;
    TBufferSmall* meterRing = nullptr;
  };
  bool RenderChain(DeckChain& chain, int16_t* area, int32_t bytes) noexcept;
  double ReadLevels(TBufferSmall& ring, TStereoDb* both) noexcept;

  std::atomic<bool> running_{false};
  std::atomic<int32_t> SubBlocks_{0};
  TRecorder* recorder_;
  std::atomic<TMixerPreviewSource*> previewSource_{nullptr};

  TBufferSmall masterMeterRing_{kMeterRingBytes};
  std::array<TBufferSmall, 2> deckMeterRings_{TBufferSmall(kMeterRingBytes), TBufferSmall(kMeterRingBytes)};
  TBufferSmall monitorRing_{kMixerMonitorRingBytes};

  // Work areas (audio thread), and the meter scratch (main thread).
  std::unique_ptr<Area> deckAArea_, deckBArea_, masterArea_, monitorArea_, previewArea_, lineA_, lineB_;
  std::unique_ptr<std::array<int16_t, kMeterScratchFrames * 2>> meterScratch_;

  std::array<DeckChain, 2> chains_;
};

}  // namespace zonda
