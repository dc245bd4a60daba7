// Fuzzes the RIFF WAVE layout reader and, for files it accepts within the
// deck limits, the conversion of their data to deck PCM.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "decoding/PCMConversion.h"
#include "decoding/WavHeader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const auto layout = zonda::ParseWavLayout(data, size);
  if (!layout) return 0;
  // The data chunk always lies inside the file.
  if (layout->DataOffset < 12 || layout->DataBytes < 0 ||
      static_cast<uint64_t>(layout->DataOffset + layout->DataBytes) > size) {
    std::abort();
  }
  const zonda::WAVEFORMATEX& f = layout->Format;
  if (f.nChannels < 1 || f.nChannels > 2 || (f.wBitsPerSample != 8 && f.wBitsPerSample != 16) ||
      f.nSamplesPerSec < 1 || f.nSamplesPerSec > 48000) {
    return 0;
  }
  const auto deckBytes = zonda::SourceToDeckBytes(layout->DataBytes, f.nAvgBytesPerSec);
  if (deckBytes < 0 || deckBytes % 4 != 0) std::abort();
  // A 1 Hz source maps a few bytes to megabytes: convert into at most 1 MB
  // (the converter must honour the capacity).
  std::vector<uint8_t> out(static_cast<size_t>(std::min<int64_t>(deckBytes, 1 << 20)));
  const uint32_t written =
      zonda::ConvertToDeckPCM(zonda::kDeckFormat, out.data(), static_cast<uint32_t>(out.size()), f,
                              static_cast<uint32_t>(layout->DataBytes), data + layout->DataOffset);
  if (written > out.size()) std::abort();
  return 0;
}
