#include "decoding/DataProvider.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <cstring>
#include <mutex>
#include <utility>

#include "decoding/DecoderWAV.h"
#include "decoding/cda/DecoderCDA.h"
#include "decoding/PCMConversion.h"
#include "decoding/SoxrConversion.h"
#include "decoding/core/AudioReadError.h"
#include "decoding/core/DecoderLock.h"
#include "decoding/ext/DecoderOGG.h"
#include "decoding/ext/DecoderQT.h"
#include "decoding/ext/DirectShowFileReader.h"
#include "decoding/mpeg/DecoderMP3.h"

namespace zonda {
namespace {

constexpr int64_t kMaxPCMLength = 0x7FFFFFFC;  // PCMLength is int32; keep it a multiple of 4
// libcdio is linked in: CD tracks (of a drive or of an image) can be read.
std::atomic<bool> gCDAudioAvailable{true};

// Upper-cased extension of the file-name part, dot included; "" when none.
std::string UpperExtension(const std::string& fileName) {
  const size_t slash = fileName.find_last_of('/');
  const size_t dot = fileName.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  std::string ext = fileName.substr(dot);
  for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return ext;
}

TDecoderKind KindForExtension(const std::string& ext) {
  if (ext == ".MP3") return TDecoderKind::MP3;
  if (ext == ".WAV") return TDecoderKind::WAV;
  if (ext == ".CDA") return TDecoderKind::CDA;
  if (ext == ".OGG") return TDecoderKind::OGG;
  if (ext == ".WMA" || ext == ".AU" || ext == ".AIF" || ext == ".AIFF") return TDecoderKind::DirectShow;
  return TDecoderKind::None;  // .M4A .MP4 .M4B .FLAC .OPUS .AAC play only through QuickTime
}

// Deck PCM can carry it: 8 or 16 bits, 1 or 2 channels, 1..48000 Hz.
bool FormatWithinLimits(const WAVEFORMATEX& f) {
  return f.nChannels >= 1 && f.nChannels <= 2 && (f.wBitsPerSample == 8 || f.wBitsPerSample == 16) &&
         f.nSamplesPerSec >= 1 && f.nSamplesPerSec <= 48000;
}

// The file reader hands out pieces: read on until the count is reached or it ends.
int32_t ReadReader(TDirectShowFileReader& reader, uint8_t* to, int32_t count) {
  int32_t done = 0;
  while (done < count) {
    const int32_t n = reader.Read(to + done, count - done);
    if (n <= 0) break;
    done += n;
  }
  return done;
}

}  // namespace

bool IsSupportedExtension(const std::string& ext) {
  static const char* const kAlways[] = {".MP3", ".WAV", ".OGG", ".WMA", ".AIF", ".AIFF", ".AU", ".M4A", ".MP4",
                                        ".FLAC", ".OPUS", ".AAC", ".M4B"};
  for (const char* known : kAlways) {
    if (ext == known) return true;
  }
  return ext == ".CDA" && gCDAudioAvailable.load();
}

void SetCDAudioAvailable(bool available) { gCDAudioAvailable.store(available); }
bool CDAudioAvailable() { return gCDAudioAvailable.load(); }

// The one place where decoders are created. A kind whose library is missing
// stays null and its files fail to open (LastError -1).
TDataProvider::TDataProvider()
    : quickTime_(std::make_unique<TDecoderQT>()),
      mp3_(std::make_unique<TDecoderMP3>()),
      wav_(std::make_unique<TDecoderWAV>()),
      ogg_(std::make_unique<TDecoderOGG>()),
      cda_(CDAudioAvailable() ? std::make_unique<TDecoderCDA>() : nullptr) {}

TDataProvider::~TDataProvider() { Close(); }

void TDataProvider::ReplaceDecoderForTests(TDecoderKind kind, std::unique_ptr<TAudioDecoder> decoder) {
  std::lock_guard guard(DecoderLock());
  if (isOpen_) return;
  switch (kind) {
    case TDecoderKind::QuickTime: quickTime_ = std::move(decoder); break;
    case TDecoderKind::MP3: mp3_ = std::move(decoder); break;
    case TDecoderKind::WAV: wav_ = std::move(decoder); break;
    case TDecoderKind::OGG: ogg_ = std::move(decoder); break;
    case TDecoderKind::CDA: cda_ = std::move(decoder); break;
    case TDecoderKind::DirectShow:
    case TDecoderKind::None: break;
  }
}

TAudioDecoder* TDataProvider::ActiveDecoder() const {
  switch (kind_) {
    case TDecoderKind::QuickTime: return quickTime_.get();
    case TDecoderKind::MP3: return mp3_.get();
    case TDecoderKind::WAV: return wav_.get();
    case TDecoderKind::OGG: return ogg_.get();
    case TDecoderKind::CDA: return cda_.get();
    case TDecoderKind::DirectShow:  // not a TAudioDecoder: it reads sequentially
    case TDecoderKind::None: return nullptr;
  }
  return nullptr;
}

bool TDataProvider::OpenKind(TDecoderKind kind, const std::string& fileName) {
  switch (kind) {
    case TDecoderKind::DirectShow: {
      // The reader opens in its constructor; a duration of 0 means it could not.
      directShow_ = std::make_unique<TDirectShowFileReader>(fileName);
      if (directShow_->Duration() <= 0) return false;
      kind_ = kind;
      sourceFormat_ = directShow_->Format();
      // Duration x the source's byte rate / 10^7 (64 bits): for a deck-format
      // source that is duration x 176400 / 10^7; any other is a length in its
      // own bytes, which the conversion step of Open turns into deck bytes.
      pcmLength_ = static_cast<int32_t>(
          std::min<int64_t>(directShow_->Duration() * sourceFormat_.nAvgBytesPerSec / 10000000, kMaxPCMLength));
      nextDirectShowPosition_ = 0;
      return true;
    }
    case TDecoderKind::None:
      return false;
    default: break;
  }
  kind_ = kind;
  TAudioDecoder* decoder = ActiveDecoder();
  if (decoder == nullptr || !decoder->Open(fileName)) return false;
  pcmLength_ = decoder->PCMSize();
  sourceFormat_ = decoder->OutputFormat();
  return true;
}

bool TDataProvider::Open(const std::string& fileName) {
  if (isOpen_) {
    lastError_ = -2;
    return false;
  }
  kind_ = TDecoderKind::None;
  pcmLength_ = 0;
  const std::string ext = UpperExtension(fileName);
  if (!IsSupportedExtension(ext)) {
    lastError_ = -1;
    return false;
  }

  if (ext == ".CDA") return OpenCDA(fileName);

  std::lock_guard guard(DecoderLock());
  bool opened = false;
  try {
    // QuickTime first, except for WMA; a refusal or an empty result falls through.
    if (ext != ".WMA" && quickTime_) {
      if (quickTime_->Open(fileName) && quickTime_->PCMSize() > 0) {
        kind_ = TDecoderKind::QuickTime;
        pcmLength_ = quickTime_->PCMSize();
        sourceFormat_ = quickTime_->OutputFormat();
        opened = true;
      } else {
        quickTime_->Close();
      }
    }
    if (!opened) {
      const TDecoderKind kind = KindForExtension(ext);
      if (kind == TDecoderKind::None) {
        lastError_ = -1;
        return false;
      }
      opened = OpenKind(kind, fileName);
    }
  } catch (const EAudioReadError&) {
    opened = false;
  }

  if (!opened || pcmLength_ <= 0 || !FormatWithinLimits(sourceFormat_)) {
    CloseUnlocked();
    pcmLength_ = 0;
    lastError_ = -1;
    return false;
  }

  needsConversion_ = sourceFormat_.nSamplesPerSec != kDeckRateHz || sourceFormat_.wBitsPerSample != 16 ||
                     sourceFormat_.nChannels != 2;
  if (needsConversion_ && sourceFormat_.nSamplesPerSec != kDeckRateHz && kind_ != TDecoderKind::DirectShow &&
      DeckResampler() == TResampler::Soxr) {
    soxr_ = std::make_unique<TSoxrConverter>();
    if (!soxr_->Open(sourceFormat_.nSamplesPerSec, pcmLength_ / std::max<int32_t>(1, sourceFormat_.nBlockAlign)))
      soxr_.reset();
  }
  if (needsConversion_) {
    sourceFormat_.wFormatTag = kWaveFormatPCM;
    pcmLength_ = static_cast<int32_t>(
        std::min(SourceToDeckBytes(pcmLength_, sourceFormat_.nAvgBytesPerSec), kMaxPCMLength));
  }
  nextDirectShowPosition_ = 0;
  isOpen_ = true;
  return true;
}

void TDataProvider::CloseUnlocked() {
  isOpen_ = false;
  directShow_.reset();
  for (auto* decoder : {quickTime_.get(), mp3_.get(), wav_.get(), ogg_.get(), cda_.get()}) {
    if (decoder) decoder->Close();
  }
  kind_ = TDecoderKind::None;
  needsConversion_ = false;
  soxr_.reset();
}

void TDataProvider::Close() {
  std::lock_guard guard(DecoderLock());
  if (!isOpen_) return;
  CloseUnlocked();
}

bool TDataProvider::OpenCDA(const std::string& fileName) {
  // A drive's table of contents can take seconds: it is read outside the
  // shared lock (the CD decoder has its own), so the other deck decodes on.
  TAudioDecoder* cd = nullptr;
  {
    std::lock_guard guard(DecoderLock());
    cd = cda_.get();
  }
  bool opened = false;
  try {
    opened = cd != nullptr && cd->Open(fileName) && cd->PCMSize() > 0;
  } catch (const EAudioReadError&) {
    opened = false;
  }
  std::lock_guard guard(DecoderLock());
  if (!opened) {
    if (cd) cd->Close();
    lastError_ = -1;
    return false;
  }
  kind_ = TDecoderKind::CDA;
  sourceFormat_ = cd->OutputFormat();
  pcmLength_ = static_cast<int32_t>(std::min<int64_t>(cd->PCMSize(), kMaxPCMLength) / 4 * 4);
  needsConversion_ = false;
  nextDirectShowPosition_ = 0;
  isOpen_ = true;
  return true;
}

int32_t TDataProvider::ReadPCM(int32_t positionBytes, void* buffer, int32_t countBytes) {
  if (positionBytes < 0 || countBytes <= 0 || buffer == nullptr) return 0;
  {
    // CD tracks are deck PCM read into the caller's buffer: no shared state,
    // so a slow or stuck drive holds only its own decoder's lock.
    std::unique_lock guard(DecoderLock());
    if (isOpen_ && kind_ == TDecoderKind::CDA && cda_) {
      TAudioDecoder* cd = cda_.get();
      guard.unlock();
      return cd->ReadAt(positionBytes, buffer, countBytes);
    }
  }
  // The open state is read under the lock too: the preview and a deck's main
  // thread may read while a worker opens or closes.
  std::lock_guard guard(DecoderLock());
  if (!isOpen_) return 0;
  if (kind_ == TDecoderKind::DirectShow) {
    // A read that does not follow the previous one seeks the reader by time
    // (position x 10^7 / 176400); an EAudioReadError leaves from here.
    if (positionBytes != nextDirectShowPosition_) {
      directShow_->SeekTime(static_cast<int64_t>(positionBytes) * 1000 * 100 / 1764);
    }
    if (!needsConversion_) {
      const int32_t got = ReadReader(*directShow_, static_cast<uint8_t*>(buffer), countBytes);
      nextDirectShowPosition_ = positionBytes + countBytes;
      return got;
    }
  }
  TAudioDecoder* decoder = ActiveDecoder();
  if (decoder == nullptr && kind_ != TDecoderKind::DirectShow) return 0;
  if (!needsConversion_) return decoder->ReadAt(positionBytes, buffer, countBytes);
  if (soxr_ && decoder) return ReadSoxr(*decoder, positionBytes, buffer, countBytes);

  const uint32_t avg = sourceFormat_.nAvgBytesPerSec;
  const int64_t align = std::max<int64_t>(1, sourceFormat_.nBlockAlign);
  // The block covers the source frames nearest to its two ends. The deck's
  // chunk and the preview's piece positions (whole seconds) fall on exact
  // source frames, so consecutive reads splice without a gap or an overlap
  // and a decoder read in order never goes back (DeckToSourceBytes rounds to
  // 4 bytes, which shifts 8-bit mono at 11025 Hz by two samples).
  auto nearestFrame = [this](int64_t deckBytes) {
    return static_cast<int64_t>(
        std::nearbyint(static_cast<double>(deckBytes / 4) * sourceFormat_.nSamplesPerSec / kDeckRateHz));
  };
  const int64_t readPosition = nearestFrame(positionBytes) * align;
  // The shared scratch holds the largest read a deck makes (a 6 s chunk of a
  // 48 kHz source); a larger request is cut to it and comes back short.
  const int64_t readCount = std::min<int64_t>(nearestFrame(int64_t{positionBytes} + countBytes) * align - readPosition,
                                              kConversionScratchBytes / align * align);
  if (readPosition > INT32_MAX || readCount <= 0) return 0;
  uint8_t* scratch = ConversionScratch();
  std::memset(scratch, 0, static_cast<size_t>(std::min<int64_t>(std::max<int64_t>(countBytes, readCount),
                                                                  kConversionScratchBytes)));
  int32_t got = 0;
  if (kind_ == TDecoderKind::DirectShow) {
    // The reader stands at the block's first source frame (the seek above
    // lands on the nearest frame), so the same count keeps reads in order.
    got = ReadReader(*directShow_, scratch, static_cast<int32_t>(readCount));
    nextDirectShowPosition_ = positionBytes + countBytes;
  } else {
    got = decoder->ReadAt(static_cast<int32_t>(readPosition), scratch, static_cast<int32_t>(readCount));
  }
  if (got <= 0) return 0;
  auto* out = static_cast<uint8_t*>(buffer);
  const uint32_t written = ConvertToDeckPCM(kDeckFormat, out, static_cast<uint32_t>(countBytes), sourceFormat_,
                                            static_cast<uint32_t>(got), scratch);
  // The length estimate, never more than the caller's buffer.
  const int64_t delivered = std::min<int64_t>(SourceToDeckBytes(got, avg), countBytes);
  // Below 22050 Hz the converter, restarted on every block, stops a frame or
  // two short of the estimate: hold its last frame there instead of leaving
  // silence (a click at every chunk edge).
  for (int64_t at = written; written >= 4 && at + 4 <= delivered; at += 4) std::memcpy(out + at, out + written - 4, 4);
  return static_cast<int32_t>(delivered);
}

int32_t TDataProvider::ReadSoxr(TAudioDecoder& decoder, int32_t positionBytes, void* buffer, int32_t countBytes) {
  const int64_t total = pcmLength_ / 4;
  const int64_t a = positionBytes / 4;
  const int64_t b = std::min<int64_t>(total, a + countBytes / 4);
  if (b <= a) return 0;
  int64_t first = 0, end = 0;
  soxr_->SourceSpan(a, b, first, end);
  const int64_t align = std::max<int64_t>(1, sourceFormat_.nBlockAlign);
  const int64_t wanted = (end - first) * align;
  if (first * align > INT32_MAX || wanted > INT32_MAX) return 0;
  soxrRaw_.resize(static_cast<size_t>(std::max<int64_t>(wanted, 1)));
  int32_t got = 0;
  if (wanted > 0) got = decoder.ReadAt(static_cast<int32_t>(first * align), soxrRaw_.data(), static_cast<int32_t>(wanted));
  const int64_t frames = std::max<int32_t>(got, 0) / align;
  soxrStereo_.resize(static_cast<size_t>(std::max<int64_t>(frames, 1)) * 2);
  ToStereo16(sourceFormat_, soxrRaw_.data(), frames, soxrStereo_.data());
  return static_cast<int32_t>(4 * soxr_->Convert(soxrStereo_.data(), first, frames, a, b, static_cast<int16_t*>(buffer)));
}

}  // namespace zonda
