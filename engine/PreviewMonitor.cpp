#include "engine/PreviewMonitor.h"

#include <cstring>
#include <thread>

#include "decoding/DataProvider.h"
#include "decoding/core/AudioReadError.h"
#include "decoding/core/WaveFormat.h"
#include "platform/ThreadRole.h"

namespace zonda {

TPreviewMonitor::TPreviewMonitor()
    : provider_(std::make_unique<TDataProvider>()), staging_(std::make_unique<uint8_t[]>(kPreviewPieceBytes)) {
  ready_.store(true, std::memory_order_release);
}

TPreviewMonitor::~TPreviewMonitor() {
  ready_.store(false, std::memory_order_release);
  playing_.store(false, std::memory_order_release);
  readPosition_ = 0;
  provider_->Close();
}

int32_t TPreviewMonitor::PCMLength() const noexcept { return provider_->PCMLength(); }

void TPreviewMonitor::StopAndEmpty() noexcept {
  // seq_cst pairs with ReadPreview: a read that starts after this store sees
  // the player stopped; one that started before is waited for.
  playing_.store(false, std::memory_order_seq_cst);
  const uint32_t epoch = readEpoch_.load(std::memory_order_seq_cst);
  if ((epoch & 1u) != 0) {
    while (readEpoch_.load(std::memory_order_seq_cst) == epoch) std::this_thread::yield();
  }
  ring_.Clear();
}

int32_t TPreviewMonitor::Open(const std::string& fileName) {
  if (!Ready()) return 0;
  StopAndEmpty();
  provider_->Close();
  int32_t length = 0;
  if (provider_->Open(fileName)) length = provider_->PCMLength();
  readPosition_ = 0;
  if (length != 0) {
    playing_.store(true, std::memory_order_release);
    Refill();
  }
  return length;
}

void TPreviewMonitor::JumpToSecond(int32_t second) {
  if (!Ready() || !PreviewPlaying()) return;
  const int64_t length = provider_->PCMLength();
  int64_t p = int64_t(second < 0 ? 0 : second) * kDeckBytesPerSecond;
  if (p + kPreviewPieceBytes > length) p = length - kPreviewPieceBytes;
  if (p < 0) p = 0;
  readPosition_ = int32_t(p);
  StopAndEmpty();
  playing_.store(true, std::memory_order_release);
  Refill();
}

void TPreviewMonitor::Refill() {
  if (!Ready() || !PreviewPlaying()) return;
  if (ring_.FreeBytes() <= kPreviewPieceBytes) return;
  if (int64_t(provider_->PCMLength()) < int64_t(readPosition_) + kPreviewPieceBytes) return;
  std::memset(staging_.get(), 0, kPreviewPieceBytes);
  try {
    provider_->ReadPCM(readPosition_, staging_.get(), kPreviewPieceBytes);
  } catch (const EAudioReadError&) {
    // The reader gave up on this file: the preview falls silent until the next Open.
    playing_.store(false, std::memory_order_release);
    return;
  }
  ring_.Write(staging_.get(), kPreviewPieceBytes);
  readPosition_ += kPreviewPieceBytes;
}

void TPreviewMonitor::ReadPreview(int16_t* destination, int32_t bytes) noexcept {
  ZONDA_EXPECT_NOT_ON(TThreadRole::Main);
  ZONDA_EXPECT_NOT_ON(TThreadRole::Worker);
  if (destination == nullptr || bytes <= 0) return;
  readEpoch_.fetch_add(1, std::memory_order_seq_cst);
  const bool played = playing_.load(std::memory_order_seq_cst) && ring_.UsedBytes() > bytes &&
                      ring_.Read(destination, bytes);
  readEpoch_.fetch_add(1, std::memory_order_release);
  if (!played) std::memset(destination, 0, size_t(bytes));
}

}  // namespace zonda
