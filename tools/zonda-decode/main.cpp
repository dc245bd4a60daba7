// zonda-decode FILE OUT.wav
//
// Decodes FILE through the decoder front exactly as a deck does (6-second
// chunks of 1058400 bytes read at multiples of 1058400, silence beyond what a
// chunk delivered) and writes the track's deck PCM (44100 Hz, stereo, 16-bit)
// as a WAV file with the 44-byte header. Exit 0 on success; on failure one
// line on stderr, with the decoder front's LastError where it has one.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "decoding/DataProvider.h"
#include "decoding/core/AudioReadError.h"

namespace {

constexpr int32_t kChunkBytes = 1058400;

void Put16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}

void DeckWavHeader(uint8_t h[44], uint32_t dataBytes) {
  std::memcpy(h, "RIFF", 4);
  Put32(h + 4, 36 + dataBytes);
  std::memcpy(h + 8, "WAVEfmt ", 8);
  Put32(h + 16, 16);
  Put16(h + 20, 1);
  Put16(h + 22, 2);
  Put32(h + 24, 44100);
  Put32(h + 28, 176400);
  Put16(h + 32, 4);
  Put16(h + 34, 16);
  std::memcpy(h + 36, "data", 4);
  Put32(h + 40, dataBytes);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: zonda-decode FILE OUT.wav\n");
    return 2;
  }
  const std::string in = argv[1];
  const std::string out = argv[2];

  zonda::TDataProvider provider;
  provider.Close();  // a deck closes before every open
  if (!provider.Open(in)) {
    std::fprintf(stderr, "zonda-decode: cannot open %s (LastError %d)\n", in.c_str(),
                 static_cast<int>(provider.LastError()));
    return 1;
  }
  // A deck plays whole frames (PCMLength / 4); a WAV cut inside its last frame
  // would otherwise leave a partial frame in the output.
  const int32_t total = provider.PCMLength() / 4 * 4;
  const int32_t chunks = total / kChunkBytes + (total % kChunkBytes != 0 ? 1 : 0);

  std::ofstream file(out, std::ios::binary | std::ios::trunc);
  uint8_t header[44];
  DeckWavHeader(header, static_cast<uint32_t>(total));
  file.write(reinterpret_cast<const char*>(header), sizeof header);

  std::vector<uint8_t> chunk(kChunkBytes);
  for (int32_t i = 0; i < chunks; ++i) {
    std::fill(chunk.begin(), chunk.end(), 0);
    try {
      provider.ReadPCM(i * kChunkBytes, chunk.data(), kChunkBytes);
    } catch (const zonda::EAudioReadError&) {
      std::fill(chunk.begin(), chunk.end(), 0);  // as a deck: a failed read is a silent chunk
    }
    // The track ends at PCMLength; the last chunk is cut there.
    const int32_t keep = total - i * kChunkBytes < kChunkBytes ? total - i * kChunkBytes : kChunkBytes;
    file.write(reinterpret_cast<const char*>(chunk.data()), keep);
  }
  file.flush();
  if (!file) {
    std::fprintf(stderr, "zonda-decode: cannot write %s\n", out.c_str());
    return 1;
  }
  return 0;
}
