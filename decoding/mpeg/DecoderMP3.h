#pragma once
// TDecoderMP3: MPEG audio files (layers I-III, MPEG-1/2/2.5) as random-access
// PCM at byte positions, for the decoder front (TDataProvider).
//
// The MPEG core keeps one process-wide state, so a read never relies on what
// the core did before: every ReadAt seeks, re-initialises the core and decodes
// from 8 to 9 frames before the wanted frame (priming the layer III bit
// reservoir and the filter banks), about one 6-second chunk plus that pre-roll,
// into the shared conversion scratch buffer (decoding/core/DecoderLock.h), and
// copies the wanted stretch out. Output frames are counted from the first
// audio frame; no encoder delay or padding is trimmed. Open indexes every
// frame of the file, so PCMSize is the frames actually there (what a
// VBR tag or the bit rate claims can be wrong: cut files, unpadded streams).
//
//   TDecoderMP3 mp3;
//   if (mp3.Open("/music/a.mp3")) {
//     WAVEFORMATEX f = mp3.OutputFormat();   // 16-bit, the file's rate and channels
//     mp3.ReadAt(0, buffer, 1058400);        // always the full length, zeros past the end
//   }
//
// Thread: every call comes from the decoder front under the decoder lock (deck
// workers, preview refill). The frame index has a lock of its own, held for
// the whole of a seek.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "decoding/core/AudioDecoder.h"
#include "decoding/mpeg/MPFileStream.h"
#include "decoding/mpeg/MPStreamReader.h"
#include "decoding/mpeg/MpegAudioCore.h"

namespace zonda {

class TDecoderMP3 : public TAudioDecoder {
 public:
  // Largest ReadAt the scratch buffer holds together with the pre-roll: a
  // 6-second chunk of a 48 kHz stereo source plus the few frames the front
  // reads beyond it. A larger request is cut to this and comes back short.
  static constexpr int32_t kMaxReadBytes = 1152000 + 4096;
  static constexpr int32_t kFrameBufferBytes = 5120;

  TDecoderMP3();
  ~TDecoderMP3() override;

  bool Open(const std::string& fileName) override;
  int32_t PCMSize() const override;
  int32_t ReadAt(int32_t positionBytes, void* buffer, int32_t countBytes) override;
  void Close() override;
  WAVEFORMATEX OutputFormat() const override { return outputFormat_; }

  // For tests and tools: what Open found.
  int32_t LayerNumber() const { return layerNumber_; }
  int32_t MPEGVersion() const { return mpegVersion_; }
  int64_t AudioStart() const { return audioStart_; }
  int64_t AudioBytes() const { return audioBytes_; }
  int32_t Bitrate() const { return bitrate_; }
  int32_t BytesPerFrame() const { return bytesPerFrame_; }
  int64_t VBRLength() const { return vbrLength_; }  // what a VBR tag claims
  size_t IndexedFrames() const;

 private:
  int OpenAttempt(int attempt, int64_t& lastLookup);
  int32_t FrameLength();
  bool InitCore();
  void LookForVbrFrame();
  int32_t DecodeNext(uint8_t* destination);
  void ResyncStep();
  void MarkEnd() { audioBytes_ = reader_.Position() - audioStart_; }
  void SeekToPosition(int64_t positionBytes);
  bool AdvanceFrame();
  // Index lock held: index frames until entry `wanted` exists or the audio ends.
  void ExtendIndex(int64_t wanted);

  std::string fileName_;
  std::unique_ptr<TMPFileStream> stream_;
  TMPStreamReader reader_;
  mutable std::mutex indexLock_;
  std::vector<int64_t> frameIndex_;
  mpeg::TMpegHeader header_;
  bool haveHeader_ = false;
  int32_t layerNumber_ = 0;
  int32_t mpegVersion_ = 0;
  int64_t audioStart_ = 0;
  int64_t audioBytes_ = 0;
  int32_t bitrate_ = 0;
  int32_t sampleRate_ = 0;
  int32_t bytesPerFrame_ = 0;
  int64_t vbrLength_ = 0;
  WAVEFORMATEX outputFormat_{};
  std::unique_ptr<uint64_t[]> frameBuffer_;  // kFrameBufferBytes, 8-byte aligned
  int32_t pendingBytes_ = 0;
  int32_t pendingFrameLength_ = 0;
  bool needInit_ = true;
  int32_t resyncCount_ = 0;
  int64_t seekBase_ = 0;
  uint32_t allowedOptimisations_ = 0;
  int64_t firstFrameLookup_ = -1;  // get_mpeg_first_frame_pos of the file being opened
};

}  // namespace zonda
