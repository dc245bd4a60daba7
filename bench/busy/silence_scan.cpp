// silence_scan REC.wav PLAY_SECONDS: for each channel of a 16-bit PCM WAV,
// how long after PLAY_SECONDS the first sound came, and the longest run of
// silence after it (10 ms windows whose peak is below -50 dBFS), with where it
// began. One line per channel:
//   ch0 first_ms=12.0 longest_gap_ms=30.0 gap_at_s=20.010
// first_ms is -1 when the channel never sounds. Exit 1 on an unreadable file.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

uint32_t U32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24); }
uint16_t U16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: silence_scan REC.wav PLAY_SECONDS\n");
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  const std::vector<uint8_t> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (b.size() < 12 || std::memcmp(b.data(), "RIFF", 4) != 0 || std::memcmp(b.data() + 8, "WAVE", 4) != 0) {
    std::fprintf(stderr, "silence_scan: %s is not a WAV file\n", argv[1]);
    return 1;
  }
  int channels = 0, bits = 0;
  uint32_t rate = 0;
  size_t data = 0, dataBytes = 0;
  for (size_t p = 12; p + 8 <= b.size();) {
    const uint32_t size = U32(&b[p + 4]);
    if (std::memcmp(&b[p], "fmt ", 4) == 0 && p + 24 <= b.size()) {
      channels = U16(&b[p + 10]);
      rate = U32(&b[p + 12]);
      bits = U16(&b[p + 22]);
    } else if (std::memcmp(&b[p], "data", 4) == 0) {
      data = p + 8;
      dataBytes = std::min<size_t>(size, b.size() - data);
      break;
    }
    p += 8 + size + (size & 1);
  }
  if (data == 0 || channels < 1 || bits != 16 || rate == 0) {
    std::fprintf(stderr, "silence_scan: %s is not 16-bit PCM\n", argv[1]);
    return 1;
  }
  const int64_t frames = int64_t(dataBytes / 2 / size_t(channels));
  const int64_t window = rate / 100;
  const int64_t play = int64_t(std::atof(argv[2]) * rate);
  const auto* s = reinterpret_cast<const int16_t*>(&b[data]);
  for (int ch = 0; ch < channels; ++ch) {
    int64_t first = -1, run = 0, longest = 0, runStart = 0, longestStart = 0;
    for (int64_t f = play; f + window <= frames; f += window) {
      int peak = 0;
      for (int64_t k = f; k < f + window; ++k) peak = std::max(peak, std::abs(int(s[k * channels + ch])));
      const bool silent = peak < 104;  // -50 dBFS
      if (first < 0) {
        if (!silent) first = f;
        continue;
      }
      if (silent) {
        if (run == 0) runStart = f;
        run += window;
        if (run > longest) longest = run, longestStart = runStart;
      } else {
        run = 0;
      }
    }
    std::printf("ch%d first_ms=%.1f longest_gap_ms=%.1f gap_at_s=%.3f\n", ch,
                first < 0 ? -1.0 : double(first - play) * 1000.0 / rate, double(longest) * 1000.0 / rate,
                double(longestStart) / rate);
  }
  return 0;
}
