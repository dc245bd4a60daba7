#include "decoding/mpeg/DecoderMP3.h"

#include <algorithm>
#include <climits>
#include <cstring>
#include <filesystem>

#include "decoding/core/DecoderLock.h"
#include "decoding/core/MpegFirstFrame.h"

namespace zonda {
namespace {

constexpr int32_t kOpenAttempts = 201;
constexpr int32_t kScanLimitBytes = 500000;
constexpr int32_t kResyncLimitBytes = 16384;
constexpr int32_t kTestDecodeUnits = 4410;
constexpr int32_t kTestDecodeIdleCalls = 1000;
constexpr int32_t kReadIdleCalls = 5000;
constexpr int32_t kPreRollFrames = 9;

// The header test that needs no core: sync, no reserved version, layer,
// bitrate (free format refused) or sample rate, emphasis not 2.
bool PassesHeaderTest(const uint8_t* b) {
  return b[0] == 0xFF && (b[1] & 0xE0) == 0xE0 && ((b[1] >> 3) & 3) != 1 && ((b[1] >> 1) & 3) != 0 &&
         (b[2] >> 4) != 15 && (b[2] >> 4) != 0 && ((b[2] >> 2) & 3) != 3 && (b[3] & 3) != 2;
}

uint32_t BigEndian32(const uint8_t* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

}  // namespace

TDecoderMP3::TDecoderMP3() : allowedOptimisations_(mpeg::ProbeProcessorFeatures()) {}

TDecoderMP3::~TDecoderMP3() { Close(); }

size_t TDecoderMP3::IndexedFrames() const {
  std::lock_guard<std::mutex> lock(indexLock_);
  return frameIndex_.size();
}

bool TDecoderMP3::Open(const std::string& fileName) {
  std::error_code ec;
  if (!std::filesystem::is_regular_file(std::filesystem::u8path(fileName), ec)) return false;
  try {
    Close();
    fileName_ = fileName;
    stream_ = std::make_unique<TMPFileStream>();
    if (!stream_->Open(fileName)) {
      Close();
      return false;
    }
    reader_.Attach(stream_.get());
    frameBuffer_ = std::make_unique<uint64_t[]>(kFrameBufferBytes / 8);
    int64_t lastLookup = -2;
    // The lookup's answer cannot change between attempts: ask once.
    firstFrameLookup_ = MpegFirstFramePos(fileName_.c_str());
    for (int attempt = 0; attempt < kOpenAttempts; ++attempt) {
      {
        std::lock_guard<std::mutex> lock(indexLock_);
        frameIndex_.clear();
      }
      audioStart_ = 0;
      audioBytes_ = stream_->Size();
      vbrLength_ = 0;
      pendingBytes_ = 0;
      seekBase_ = 0;
      haveHeader_ = false;
      const int result = OpenAttempt(attempt, lastLookup);
      if (result > 0) return true;
      if (result < 0) break;
    }
    // No test decode succeeded: the file is not playable (rather than open and silent).
    Close();
    return false;
  } catch (...) {
    Close();
    return false;
  }
}

// 1: opened; 0: the test decode failed, try again; -1: Open fails.
int TDecoderMP3::OpenAttempt(int attempt, int64_t& lastLookup) {
  (void)attempt;
  // 1. The first frame: the lookup, else a byte scan from where the reader stands.
  const int64_t lookup = firstFrameLookup_;
  if (lookup >= 0) {
    // The same start as the failed attempt before would fail the same way.
    if (lookup == lastLookup) return -1;
    lastLookup = lookup;
    reader_.Seek(lookup, TMPFileStream::TOrigin::kBegin);
  } else {
    for (int32_t i = 0; i < kScanLimitBytes; ++i) {
      if (!reader_.EnsureContiguous(4)) break;
      if (PassesHeaderTest(reader_.Data())) break;
      if (!reader_.Skip(1)) break;
    }
  }
  // 2. The core's frame search over what is at hand.
  reader_.EnsureContiguous(16384);
  mpeg::TMpegHeader h;
  int32_t bitrate = 0, skipped = 0;
  const int32_t found = mpeg::FindFrame(reader_.Data(), reader_.Contiguous(), h, bitrate, skipped);
  if (found <= 0) return -1;
  // 3. Bytes before the sync.
  if (skipped > 0) {
    if (!reader_.Skip(skipped)) return -1;
    reader_.EnsureContiguous(1441);
    if (reader_.Contiguous() < 4) return -1;
  }
  audioStart_ = reader_.Position();
  audioBytes_ = reader_.StreamSize() - audioStart_;
  bitrate_ = bitrate;
  // 4. The first frame's length, layer and version.
  pendingFrameLength_ = FrameLength();
  if (pendingFrameLength_ <= 0) return -1;
  mpeg::ParseHeader(reader_.Data(), 4, header_);
  haveHeader_ = true;
  switch (header_.layerCode) {
    case 1: layerNumber_ = 3; break;
    case 2: layerNumber_ = 2; break;
    case 3: layerNumber_ = 1; break;
    default: return -1;
  }
  if (header_.id == 1) mpegVersion_ = 1;
  else if (header_.syncKind == 1) mpegVersion_ = 2;
  else if (header_.syncKind == 2) mpegVersion_ = 3;
  else return -1;
  // 5. The whole frame, and the core.
  if (!reader_.EnsureContiguous(pendingFrameLength_) || !InitCore()) return -1;
  // 6. Output format.
  mpeg::TMpegOutputInfo info;
  mpeg::GetOutputInfo(info);
  if (info.channels < 1 || info.channels > 2 || info.outputValues * 2 > kFrameBufferBytes) return -1;
  outputFormat_ = InitPCMFormat(uint16_t(info.bitsPerSample), uint16_t(info.channels), uint32_t(info.sampleRate));
  sampleRate_ = info.sampleRate;
  bytesPerFrame_ = info.outputValues * info.bitsPerSample / 8;
  // 7. A VBR information frame is skipped, not played.
  LookForVbrFrame();
  // 8. Frame 0, then every frame of the file: the length is the frames
  // actually there (a tag's count or the bit rate can be wrong: a cut file,
  // frames without padding, a changed bit rate).
  {
    std::lock_guard<std::mutex> lock(indexLock_);
    const int64_t first = reader_.Position();
    frameIndex_.push_back(first);
    ExtendIndex(INT64_MAX);
    reader_.Seek(first, TMPFileStream::TOrigin::kBegin);
    if (pendingFrameLength_ > 0 && !reader_.EnsureContiguous(pendingFrameLength_)) return -1;
  }
  // 9. Processor features (an error here does not matter).
  mpeg::SetProcessorFeatures(mpeg::ProbeProcessorFeatures() & allowedOptimisations_);
  // 10. Test decode: more than 4410 four-byte units must come out.
  uint8_t test[kFrameBufferBytes];
  int64_t units = 0;
  int idle = 0;
  while (units <= kTestDecodeUnits) {
    const int32_t n = DecodeNext(test);
    if (n > 0) {
      units += n / 4;
      idle = 0;
    } else if (++idle > kTestDecodeIdleCalls) {
      return 0;
    }
  }
  return 1;
}

int32_t TDecoderMP3::FrameLength() {
  if (!reader_.EnsureContiguous(4)) return 0;
  const uint8_t* p = reader_.Data();
  if (!PassesHeaderTest(p)) return 0;
  mpeg::TMpegHeader h;
  const int32_t length = mpeg::ParseHeader(p, 4, h);
  if (length <= 0 || h.layerCode < 1 || h.layerCode > 3) return 0;
  // Inside a stream, a header of another version, layer or rate is garbage.
  if (haveHeader_ && (h.id != header_.id || h.syncKind != header_.syncKind || h.layerCode != header_.layerCode ||
                      h.sampleRateIndex != header_.sampleRateIndex))
    return 0;
  return length + (h.paddingBit ? (h.layerCode == 3 ? 4 : 1) : 0);
}

bool TDecoderMP3::InitCore() {
  // The stream's first header fixes the output format for the whole file.
  mpeg::TMpegHeader h;
  const uint8_t* p = reader_.Data();
  if (reader_.Contiguous() < 4 || mpeg::ParseHeader(p, 4, h) <= 0) return false;
  const mpeg::TMpegHeader& stream = haveHeader_ ? header_ : h;
  const int32_t length = mpeg::ParseHeader(p, 4, h);
  if (!mpeg::InitDecoder(stream, length, 0, 0, 0, 24000)) return false;
  needInit_ = false;
  resyncCount_ = 0;
  return true;
}

void TDecoderMP3::LookForVbrFrame() {
  const uint8_t* f = reader_.Data();
  const int32_t have = std::min(reader_.Contiguous(), pendingFrameLength_);
  const bool mono = header_.mode == 3;
  int32_t b = header_.protectionBit == 0 ? 2 : 0;
  if (header_.id == 1) b += mono ? 21 : 36;
  else b += mono ? 13 : 21;
  auto fits = [&](int32_t offset, int32_t bytes) { return offset >= 0 && offset + bytes <= have; };
  auto isXing = [&](int32_t at) {
    return fits(at, 8) && (!std::memcmp(f + at, "Xing", 4) || !std::memcmp(f + at, "Info", 4));
  };
  // LAME writes its tag as if there were no CRC even in protected streams.
  if (!isXing(b) && header_.protectionBit == 0 && isXing(b - 2)) b -= 2;
  bool tag = false;
  if (isXing(b)) {
    tag = true;
    bitrate_ = 0;
    const uint32_t flags = BigEndian32(f + b + 4);
    int32_t next = b + 8;
    if ((flags & 1) && fits(next, 4)) {
      const uint32_t frames = BigEndian32(f + next);
      // The encoders' count is of the audio frames after this one.
      if (frames > 0) vbrLength_ = int64_t(frames) * bytesPerFrame_;
      next += 4;
    }
    if ((flags & 2) && fits(next, 4)) {
      const uint32_t bytes = BigEndian32(f + next);
      if (bytes > 0) audioBytes_ = bytes;
    }
  } else {
    // VBRI sits 32 bytes after the header whatever the mode.
    for (int32_t v : {b, 36}) {
      if (!fits(v, 18) || std::memcmp(f + v, "VBRI", 4) != 0) continue;
      tag = true;
      bitrate_ = 0;
      const uint32_t bytes = BigEndian32(f + v + 10);
      if (bytes > 0) audioBytes_ = bytes;
      const uint32_t frames = BigEndian32(f + v + 14);
      if (frames > 0) vbrLength_ = int64_t(frames) * bytesPerFrame_;
      break;
    }
  }
  if (tag) {
    reader_.Skip(pendingFrameLength_);
    audioStart_ += pendingFrameLength_;
    audioBytes_ -= pendingFrameLength_;
    pendingFrameLength_ = 0;
  }
  // Never beyond the file, whatever a tag claims.
  audioBytes_ = std::clamp<int64_t>(audioBytes_, 0, reader_.StreamSize() - audioStart_);
}

int32_t TDecoderMP3::PCMSize() const {
  if (!stream_) return 0;
  int64_t size;
  {
    std::lock_guard<std::mutex> lock(indexLock_);
    size = int64_t(frameIndex_.size()) * bytesPerFrame_;
  }
  const int64_t align = std::max<int64_t>(1, outputFormat_.nBlockAlign);
  size -= size % align;
  return int32_t(std::min<int64_t>(size, INT32_MAX - (INT32_MAX % align)));
}

int32_t TDecoderMP3::DecodeNext(uint8_t* destination) {
  uint8_t* frame = reinterpret_cast<uint8_t*>(frameBuffer_.get());
  if (pendingBytes_ == 0) {
    if (reader_.Position() - audioStart_ >= audioBytes_) return 0;
    if (pendingFrameLength_ < 1) {
      if (!reader_.EnsureContiguous(4)) {
        MarkEnd();
        return 0;
      }
      pendingFrameLength_ = FrameLength();
      if (pendingFrameLength_ < 1) {
        pendingFrameLength_ = 0;
        ResyncStep();
        return 0;
      }
    }
    if (needInit_ && !InitCore()) {
      pendingFrameLength_ = 0;
      ResyncStep();
      return 0;
    }
    if (!reader_.EnsureContiguous(pendingFrameLength_)) {
      MarkEnd();
      return 0;
    }
    const mpeg::TDecodeResult r =
        mpeg::DecodeFrame(reader_.Data(), pendingFrameLength_, reinterpret_cast<int16_t*>(frame));
    reader_.Skip(pendingFrameLength_);
    pendingFrameLength_ = 0;
    resyncCount_ = 0;
    pendingBytes_ = bytesPerFrame_;
    if (r.bytesConsumed < 1) {
      // A damaged frame plays as one frame of silence.
      std::memset(frame, 0, size_t(bytesPerFrame_));
    } else if (r.bytesProduced < bytesPerFrame_) {
      std::memset(frame + std::max(0, r.bytesProduced), 0, size_t(bytesPerFrame_ - std::max(0, r.bytesProduced)));
    }
  }
  std::memcpy(destination, frame, size_t(pendingBytes_));
  const int32_t n = pendingBytes_;
  pendingBytes_ = 0;
  return n;
}

void TDecoderMP3::ResyncStep() {
  // Skips garbage byte by byte until the next valid header, at most 16384
  // bytes in all; beyond that the rest of the file is treated as absent.
  while (resyncCount_ < kResyncLimitBytes) {
    if (!reader_.Skip(1)) {
      MarkEnd();
      return;
    }
    ++resyncCount_;
    if (reader_.Position() - audioStart_ >= audioBytes_) return;
    if (FrameLength() > 0) return;
  }
  MarkEnd();
}

bool TDecoderMP3::AdvanceFrame() {
  for (int32_t skipped = 0;; ++skipped) {
    if (skipped > kResyncLimitBytes) return false;
    if (!reader_.EnsureContiguous(4)) return false;
    const int32_t length = FrameLength();
    if (length > 0) {
      if (reader_.Position() + length > audioStart_ + audioBytes_) return false;
      return reader_.Skip(length);
    }
    if (!reader_.Skip(1)) return false;
  }
}

void TDecoderMP3::ExtendIndex(int64_t wanted) {
  reader_.Seek(frameIndex_.back(), TMPFileStream::TOrigin::kBegin);
  if (!AdvanceFrame()) return;
  while (int64_t(frameIndex_.size()) <= wanted) {
    // Skip garbage first so the entry is the frame's own start.
    int32_t skipped = 0;
    while (FrameLength() <= 0 && skipped <= kResyncLimitBytes && reader_.Skip(1)) ++skipped;
    const int64_t at = reader_.Position();
    if (!AdvanceFrame()) break;
    frameIndex_.push_back(at);
  }
}

void TDecoderMP3::SeekToPosition(int64_t positionBytes) {
  pendingBytes_ = 0;
  pendingFrameLength_ = 0;
  seekBase_ = 0;
  needInit_ = true;
  int64_t wanted = bytesPerFrame_ > 0 ? (positionBytes + bytesPerFrame_ - 1) / bytesPerFrame_ : 0;
  if (wanted > INT32_MAX) wanted = INT32_MAX;
  std::lock_guard<std::mutex> lock(indexLock_);
  if (frameIndex_.empty()) return;
  // The index must reach the wanted frame: the pre-roll is measured on it.
  if (wanted >= int64_t(frameIndex_.size())) {
    ExtendIndex(wanted);
    if (wanted >= int64_t(frameIndex_.size())) wanted = int64_t(frameIndex_.size()) - 1;
  }
  // Start 8 to 9 frames early to prime the bit reservoir and the filter banks;
  // near the start, from frame 0, so that early reads match a decode from the start.
  int64_t index = std::max<int64_t>(0, wanted - kPreRollFrames);
  if (layerNumber_ == 3 && index > 0) {
    // Small layer III frames: go back until the two frames before the one
    // holding the position find all the reservoir bytes they may refer to
    // (511 or 255): their output feeds the overlap and the synthesis history.
    const int64_t maxBack = mpegVersion_ == 1 ? 511 : 255;
    const int64_t overhead = 4 + (header_.protectionBit == 0 ? 2 : 0) + (mpegVersion_ == 1 ? 32 : 17);
    const int64_t holding = std::min<int64_t>(wanted, positionBytes / bytesPerFrame_);
    int64_t s = std::max<int64_t>(0, holding - 2);
    int64_t mainBytes = 0;
    while (s > 0 && mainBytes < maxBack) {
      --s;
      mainBytes += std::max<int64_t>(0, frameIndex_[size_t(s + 1)] - frameIndex_[size_t(s)] - overhead);
    }
    index = std::min(index, s);
  }
  reader_.Seek(frameIndex_[size_t(index)], TMPFileStream::TOrigin::kBegin);
  seekBase_ = index * bytesPerFrame_;
}

int32_t TDecoderMP3::ReadAt(int32_t positionBytes, void* buffer, int32_t countBytes) {
  if (!stream_ || !buffer || countBytes <= 0 || positionBytes < 0 || bytesPerFrame_ <= 0) return 0;
  const int32_t length = std::min(countBytes, kMaxReadBytes);
  uint8_t* scratch = ConversionScratch();
  SeekToPosition(positionBytes);
  // Byte offset of the wanted stretch in what this run decodes, on a whole
  // sample frame (mono streams have 2-byte frames).
  const int64_t align = std::max<int64_t>(1, outputFormat_.nBlockAlign);
  int64_t offset = std::max<int64_t>(0, int64_t(positionBytes) - seekBase_);
  offset -= offset % align;
  offset = std::min<int64_t>(offset, kConversionScratchBytes - length);
  offset -= offset % align;
  int64_t decoded = 0;  // bytes
  int idle = 0;
  while (decoded < offset + length) {
    if (decoded + bytesPerFrame_ > kConversionScratchBytes) break;
    const int32_t n = DecodeNext(scratch + decoded);
    if (n > 0) {
      decoded += n;
      idle = 0;
    } else if (++idle >= kReadIdleCalls || reader_.Position() - audioStart_ >= audioBytes_) {
      break;
    }
  }
  // What was not decoded (past the end of the audio) reads as zeros; only
  // that part of the scratch buffer needs clearing.
  const int64_t wanted = offset + length;
  if (decoded < wanted) std::memset(scratch + decoded, 0, size_t(wanted - decoded));
  // The front may hand the scratch buffer itself as destination: the ranges can overlap.
  std::memmove(buffer, scratch + offset, size_t(length));
  return length;
}

void TDecoderMP3::Close() {
  if (stream_) {
    reader_.Detach();
    stream_->Close();
  }
  stream_.reset();
  frameBuffer_.reset();
  fileName_.clear();
  {
    std::lock_guard<std::mutex> lock(indexLock_);
    frameIndex_.clear();
  }
  header_ = mpeg::TMpegHeader{};
  haveHeader_ = false;
  layerNumber_ = mpegVersion_ = 0;
  audioStart_ = audioBytes_ = 0;
  bitrate_ = sampleRate_ = bytesPerFrame_ = 0;
  vbrLength_ = 0;
  outputFormat_ = WAVEFORMATEX{};
  pendingBytes_ = pendingFrameLength_ = 0;
  resyncCount_ = 0;
  seekBase_ = 0;
  needInit_ = true;
}

}  // namespace zonda
