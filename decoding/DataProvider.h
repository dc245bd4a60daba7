#pragma once
// TDataProvider: the decoder front. A deck and the preview player each own one.
// It picks a decoder by file extension (QuickTime first where it can open the
// file), validates the format and answers random-access reads of deck PCM
// (44100 Hz, stereo, 16-bit) at byte positions, converting on the fly: by the
// built-in linear converter (PCMConversion.h), or by libsoxr when DeckResampler()
// asks for it at Open (SoxrConversion.h; not for the sequential file reader).
//
//   TDataProvider p;
//   if (!p.Open("/music/a.wav")) report(p.LastError());   // -1 bad file, -2 already open
//   int32_t got = p.ReadPCM(index * 1058400, chunk, 1058400);
//   p.Close();
//
// Threads: Open, Close and ReadPCM run on a deck worker or the main thread
// (preview); all of them, for every provider in the process, are serialised
// by DecoderLock(). Never called on the audio thread. ReadPCM may let a
// zonda::EAudioReadError from the file reader through (the lock is released).
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "decoding/core/AudioDecoder.h"
#include "decoding/core/WaveFormat.h"

namespace zonda {

class TDirectShowFileReader;
class TSoxrConverter;

enum class TDecoderKind : uint8_t { None, MP3, WAV, CDA, OGG, DirectShow, QuickTime };

// ext: the extension with its dot, upper-cased by the caller (".MP3").
bool IsSupportedExtension(const std::string& ext);

// Whether CD audio can be read: on wherever libcdio is linked, with or without
// a drive (images play too); ".CDA" is accepted only then.
void SetCDAudioAvailable(bool available);
bool CDAudioAvailable();

class TDataProvider {
 public:
  TDataProvider();   // creates the decoders; closed, LastError 0
  ~TDataProvider();  // Close, then frees the decoders
  TDataProvider(const TDataProvider&) = delete;
  TDataProvider& operator=(const TDataProvider&) = delete;

  bool Open(const std::string& fileName);
  void Close();
  // Bytes of deck PCM delivered into buffer (an estimate when converting); 0 when closed.
  int32_t ReadPCM(int32_t positionBytes, void* buffer, int32_t countBytes);

  // Tests: put a decoder in the place of a kind (null removes it). Only while closed.
  void ReplaceDecoderForTests(TDecoderKind kind, std::unique_ptr<TAudioDecoder> decoder);

  bool IsOpen() const { return isOpen_; }
  int32_t PCMLength() const { return pcmLength_; }
  int32_t LastError() const { return lastError_; }
  TDecoderKind Kind() const { return kind_; }
  const WAVEFORMATEX& SourceFormat() const { return sourceFormat_; }
  bool NeedsConversion() const { return needsConversion_; }
  // The conversion to 44.1 kHz goes through libsoxr (the setting asked for it
  // when the file was opened; SoxrConversion.h), else through the built-in one.
  bool ConvertsWithSoxr() const { return soxr_ != nullptr; }

 private:
  TAudioDecoder* ActiveDecoder() const;
  // Kind-specific open; fills pcmLength_ and sourceFormat_. False when not opened.
  bool OpenKind(TDecoderKind kind, const std::string& fileName);
  // ".CDA" names: opened and read without the shared decoder lock.
  bool OpenCDA(const std::string& fileName);
  void CloseUnlocked();
  int32_t ReadSoxr(TAudioDecoder& decoder, int32_t positionBytes, void* buffer, int32_t countBytes);

  // One decoder object per kind, kept for the provider's life. A null member is
  // a kind that is not available; its files fail to open with LastError -1.
  std::unique_ptr<TAudioDecoder> quickTime_;  // TDecoderQT (decoding/ext)
  std::unique_ptr<TAudioDecoder> mp3_;        // TDecoderMP3 (decoding/mpeg)
  std::unique_ptr<TAudioDecoder> wav_;        // TDecoderWAV
  std::unique_ptr<TAudioDecoder> ogg_;        // TDecoderOGG (decoding/ext)
  std::unique_ptr<TAudioDecoder> cda_;        // only when CD audio is available
  // The DirectShow file reader (decoding/ext): created per file by Open, freed by Close.
  std::unique_ptr<TDirectShowFileReader> directShow_;

  bool isOpen_ = false;
  TDecoderKind kind_ = TDecoderKind::None;
  WAVEFORMATEX sourceFormat_{};
  bool needsConversion_ = false;
  int32_t pcmLength_ = 0;
  int32_t lastError_ = 0;
  int32_t nextDirectShowPosition_ = 0;
  // The high-quality converter, for a file opened with it; its scratch.
  std::unique_ptr<TSoxrConverter> soxr_;
  std::vector<uint8_t> soxrRaw_;
  std::vector<int16_t> soxrStereo_;
};

}  // namespace zonda
