#pragma once
// TLibraryDecoder: the decoder contract (TAudioDecoder) on top of a run-time
// decoding library's five entry points; TDecoderQT and TDecoderOGG are this
// adapter bound to libquelmo.so and libombrel.so.
//
// One library object per decoder (create_obj at construction, destroy_obj at
// destruction). Open fills the 24-byte StreamInfo; positions and counts in
// bytes of the library's PCM are turned into sample frames with the frame size
// (bits at offset 12 / 8 x channels), rounding down.
//
// Thread: like every decoder, only under the decoder lock (DecoderLock.h).
#include <cstdint>
#include <string>

#include "decoding/core/AudioDecoder.h"
#include "decoding/ext/DecoderLibrary.h"

namespace zonda {

class TLibraryDecoder : public TAudioDecoder {
 public:
  explicit TLibraryDecoder(const TDecoderLibrary& library);
  ~TLibraryDecoder() override;
  TLibraryDecoder(const TLibraryDecoder&) = delete;
  TLibraryDecoder& operator=(const TLibraryDecoder&) = delete;

  bool Open(const std::string& fileName) override;
  int32_t PCMSize() const override;
  int32_t ReadAt(int32_t positionBytes, void* buffer, int32_t countBytes) override;
  void Close() override;
  WAVEFORMATEX OutputFormat() const override { return outputFormat_; }

  bool Available() const { return library_.Available; }
  bool IsOpen() const { return isOpen_; }

 private:
  // The record the library's open fills (six 32-bit fields).
  struct TStreamInfo {
    int32_t rate, channels, bits, frameBits, reserved, totalFrames;
  };
  static_assert(sizeof(TStreamInfo) == 24);

  int32_t FrameBytes() const { return info_.frameBits / 8 * info_.channels; }

  const TDecoderLibrary& library_;
  void* handle_ = nullptr;
  bool isOpen_ = false;
  int32_t pcmBytes_ = 0;
  TStreamInfo info_{};
  WAVEFORMATEX outputFormat_{};
};

}  // namespace zonda
