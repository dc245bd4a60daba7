#pragma once
// TDeckDirectMixer: the simplest complete mixer, one deck straight to the
// master and monitor outputs.
//
// For every device block it renders the deck in SubBlocks pieces of about 250
// frames (a piece the deck cannot render is silence), copies the result to the
// master output unchanged, hands the master block to the recorder, and stores
// the same block as the monitor mix in the monitor ring for ReadMonitor. No
// gains, filters or effects: for tests and tools that play one deck through
// the audio output without the full mixer.
//
//   TDeckDirectMixer mixer(&deck, &recorder);
//   TAudioOutput output(mixer);
//   output.Open(ilvex, nullptr);
//   mixer.Start();                  // from now on MixBlock produces sound
//
// Threads: MixBlock, ReadMonitor, LineArea on the audio thread; the rest on
// the main thread. The deck and recorder must outlive the mixer.
#include <array>
#include <atomic>
#include <cstdint>

#include "engine/AudioMixer.h"
#include "engine/BufferSmall.h"

namespace zonda {

class TSoundSource;
class TRecorder;

inline constexpr int32_t kMonitorRingBytes = 30000;

class TDeckDirectMixer final : public TAudioMixer {
 public:
  // deck and recorder may be null (silence; nothing recorded).
  TDeckDirectMixer(TSoundSource* deck, TRecorder* recorder);

  // Main thread: MixBlock and ReadMonitor return false until Start (start-up finished).
  void Start() noexcept { running_.store(true, std::memory_order_release); }
  void StopMixing() noexcept { running_.store(false, std::memory_order_release); }

  bool MixBlock(int16_t* destination, int32_t bytes) noexcept override;
  bool ReadMonitor(int16_t* destination, int32_t bytes) noexcept override;
  int16_t* LineArea(int32_t line) noexcept override;
  void SetSubBlocks(int32_t subBlocks) noexcept override { subBlocks_.store(subBlocks, std::memory_order_relaxed); }
  int32_t SubBlocks() const noexcept override { return subBlocks_.load(std::memory_order_relaxed); }
  void ClearMonitor() noexcept override { monitorRing_.RequestClear(); }

 private:
  TSoundSource* deck_;
  TRecorder* recorder_;
  std::atomic<bool> running_{false};
  std::atomic<int32_t> subBlocks_{0};
  TBufferSmall monitorRing_;
  std::array<int16_t, kMixerAreaFrames * 2> deckArea_{};
  std::array<int16_t, kMixerAreaFrames * 2> lineA_{};
  std::array<int16_t, kMixerAreaFrames * 2> lineB_{};
};

}  // namespace zonda
