#pragma once
// TDecoderWAV: uncompressed RIFF WAVE files, read straight from the file with
// no buffering of its own. Output is the file's own PCM (OutputFormat); the
// decoder front converts other rates, 8-bit and mono to deck PCM.
//
// Only the samples of the "data" chunk are delivered: chunks before "fmt ",
// extensible fmt chunks and trailing metadata are handled by ParseWavLayout.
//
// Thread: called by TDataProvider under the decoder lock.
#include <cstdint>
#include <fstream>
#include <string>

#include "decoding/core/AudioDecoder.h"

namespace zonda {

class TDecoderWAV final : public TAudioDecoder {
 public:
  bool Open(const std::string& fileName) override;
  int32_t PCMSize() const override;
  int32_t ReadAt(int32_t positionBytes, void* buffer, int32_t countBytes) override;
  void Close() override;
  WAVEFORMATEX OutputFormat() const override { return format_; }

 private:
  std::ifstream file_;
  bool isOpen_ = false;
  WAVEFORMATEX format_{};
  int64_t dataOffset_ = 0;
  int64_t dataBytes_ = 0;
};

}  // namespace zonda
