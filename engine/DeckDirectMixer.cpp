#include "engine/DeckDirectMixer.h"

#include <cstring>

#include "engine/Recorder.h"
#include "engine/SoundSource.h"

namespace zonda {

TDeckDirectMixer::TDeckDirectMixer(TSoundSource* deck, TRecorder* recorder)
    : deck_(deck), recorder_(recorder), monitorRing_(kMonitorRingBytes) {}

bool TDeckDirectMixer::MixBlock(int16_t* destination, int32_t bytes) noexcept {
  if (!running_.load(std::memory_order_acquire) || destination == nullptr) return false;
  const int32_t frames = bytes / 4;
  if (frames <= 0 || frames > kMixerAreaFrames) return false;

  int16_t* area = deckArea_.data();
  int32_t pieces = subBlocks_.load(std::memory_order_relaxed);
  if (pieces < 1) pieces = 1;
  if (pieces > frames) pieces = frames;
  // Equal pieces; the last one also takes what the division leaves over.
  const int32_t pieceFrames = frames / pieces;
  int32_t done = 0;
  for (int32_t k = 0; k < pieces; ++k) {
    const int32_t n = (k == pieces - 1) ? frames - done : pieceFrames;
    int16_t* at = area + static_cast<size_t>(done) * 2;
    if (deck_ == nullptr || !deck_->RenderBlock(at, n * 4)) std::memset(at, 0, static_cast<size_t>(n) * 4);
    done += n;
  }

  const size_t blockBytes = static_cast<size_t>(frames) * 4;
  std::memcpy(destination, area, blockBytes);
  if (recorder_) recorder_->Feed(area, frames * 4);
  monitorRing_.Write(area, frames * 4);
  return true;
}

bool TDeckDirectMixer::ReadMonitor(int16_t* destination, int32_t bytes) noexcept {
  if (!running_.load(std::memory_order_acquire) || destination == nullptr) return false;
  return monitorRing_.Read(destination, bytes);
}

int16_t* TDeckDirectMixer::LineArea(int32_t line) noexcept {
  if (line == 0) return lineA_.data();
  if (line == 1) return lineB_.data();
  return nullptr;
}

}  // namespace zonda
