// Layer III features lame never writes: intensity stereo (with and without
// mid/side, illegal positions included), mixed blocks and MPEG-2 intensity
// scale factors. A small bitstream writer below makes frames that use them
// (Huffman table 1 only, no bit reservoir), and mpg123's float decode of the
// same stream is the reference. (FFmpeg would do for MPEG-1 but not for the
// MPEG-2 streams: it ignores the illegal intensity positions 2^slen - 1 of the
// lower sampling frequencies, which mpg123 and this decoder honour.)
#include <gtest/gtest.h>

#include <fstream>

#include "tests/decoding/mpeg/MpegTestSupport.h"
#include "tests/support/Require.h"

namespace zonda::test {
namespace {

class TBits {
 public:
  void Put(uint32_t v, int n) {
    for (int i = n - 1; i >= 0; --i) bits.push_back(uint8_t((v >> i) & 1));
  }
  std::vector<uint8_t> bits;
};

enum class TBlocks { kLong, kShort, kMixed };

struct TStereoSpec {
  const char* name;
  bool mpeg1;
  int modeExtension;  // bit 0 intensity, bit 1 mid/side
  TBlocks blocks;
};

// Spectral values of table 1 (0 or +-1) for `count` lines; `seed` varies them.
std::vector<int> Lines(int count, uint32_t seed) {
  std::vector<int> v(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    seed = seed * 1103515245u + 12345u;
    const uint32_t r = (seed >> 16) % 5;
    v[size_t(i)] = r == 0 ? 0 : (r & 1 ? 1 : -1);
  }
  return v;
}

void PutPairs(TBits& b, const std::vector<int>& v) {
  for (size_t i = 0; i + 1 < v.size(); i += 2) {
    const int x = v[i] != 0, y = v[i + 1] != 0;
    if (!x && !y) b.Put(1, 1);
    else if (!x && y) b.Put(1, 3);
    else if (x && !y) b.Put(1, 2);
    else b.Put(0, 3);
    if (x) b.Put(v[i] < 0, 1);
    if (y) b.Put(v[i + 1] < 0, 1);
  }
}

std::vector<uint8_t> MakeStream(const TStereoSpec& recipe, int frames) {
  const int ngr = recipe.mpeg1 ? 2 : 1;
  const int frameBytes = recipe.mpeg1 ? 144 * 320000 / 44100 : 72 * 160000 / 22050;  // no padding used
  const int sideBytes = recipe.mpeg1 ? 32 : 17;
  const bool ws = recipe.blocks != TBlocks::kLong;
  std::vector<uint8_t> out;
  for (int f = 0; f < frames; ++f) {
    TBits side, main;
    side.Put(0, recipe.mpeg1 ? 9 : 8);  // main_data_begin: no reservoir
    side.Put(0, recipe.mpeg1 ? 3 : 2);
    if (recipe.mpeg1) side.Put(0, 8);  // scfsi
    for (int g = 0; g < ngr; ++g) {
      for (int ch = 0; ch < 2; ++ch) {
        const size_t start = main.bits.size();
        // Scale factors: 3 bits each (MPEG-1 scalefac_compress 13 = slen 3/3;
        // MPEG-2 right channel 258 = intensity table with slen 3/3/3; left 0 = none).
        int sfc;
        if (recipe.mpeg1) {
          sfc = 13;
          const int count = recipe.blocks == TBlocks::kLong ? 21 : recipe.blocks == TBlocks::kShort ? 36 : 35;
          for (int k = 0; k < count; ++k) main.Put(ch == 1 ? uint32_t((k * 3 + f) % 8) : uint32_t(k % 4), 3);
        } else if (ch == 1) {
          sfc = 258 + (f & 1);
          for (int k = 0; k < 21; ++k) main.Put(uint32_t((k * 5 + f) % 8), 3);
        } else {
          sfc = 0;
        }
        // A silent lead-in; then the right channel ends early: intensity above.
        const int lines = f < 15 ? 0 : ch == 0 ? 576 : 36;
        PutPairs(main, Lines(lines, uint32_t(f * 7 + g * 3 + ch + 1)));
        const int part23 = int(main.bits.size() - start);
        side.Put(uint32_t(part23), 12);
        side.Put(uint32_t(lines / 2), 9);
        side.Put(uint32_t(176 - f / 8 + (f % 5) - ch * 2), 8);  // global gain, fading
        side.Put(uint32_t(sfc), recipe.mpeg1 ? 4 : 9);
        side.Put(ws, 1);
        if (ws) {
          side.Put(2, 2);  // short blocks
          side.Put(recipe.blocks == TBlocks::kMixed, 1);
          side.Put(1, 5);
          side.Put(1, 5);
          for (int w = 0; w < 3; ++w) side.Put(uint32_t(w), 3);
        } else {
          for (int r = 0; r < 3; ++r) side.Put(1, 5);
          side.Put(7, 4);
          side.Put(7, 3);
        }
        if (recipe.mpeg1) side.Put(0, 1);  // preflag
        side.Put(uint32_t(f & 1), 1);     // scalefac_scale
        side.Put(0, 1);
      }
    }
    TBits frame;
    frame.Put(0xFFF, 12);
    frame.Put(recipe.mpeg1 ? 1 : 0, 1);
    frame.Put(1, 2);  // layer III
    frame.Put(1, 1);  // no CRC
    frame.Put(recipe.mpeg1 ? 14 : 14, 4);  // 320 kbit/s or 160 kbit/s
    frame.Put(0, 2);  // 44100 / 22050
    frame.Put(0, 1);
    frame.Put(0, 1);
    frame.Put(1, 2);  // joint stereo
    frame.Put(uint32_t(recipe.modeExtension), 2);
    frame.Put(0, 4);
    frame.bits.insert(frame.bits.end(), side.bits.begin(), side.bits.end());
    EXPECT_EQ(int(frame.bits.size()), (4 + sideBytes) * 8);
    frame.bits.insert(frame.bits.end(), main.bits.begin(), main.bits.end());
    EXPECT_LE(int(frame.bits.size()), frameBytes * 8);
    frame.bits.resize(size_t(frameBytes) * 8, 0);
    for (size_t i = 0; i < frame.bits.size(); i += 8) {
      uint8_t v = 0;
      for (int k = 0; k < 8; ++k) v = uint8_t((v << 1) | frame.bits[i + size_t(k)]);
      out.push_back(v);
    }
  }
  return out;
}

const TStereoSpec kSpecs[] = {
    {"lr_long", true, 0, TBlocks::kLong},
    {"ms_long", true, 2, TBlocks::kLong},
    {"lr_short", true, 0, TBlocks::kShort},
    {"lr_mixed", true, 0, TBlocks::kMixed},
    {"is_long", true, 1, TBlocks::kLong},
    {"is_ms_long", true, 3, TBlocks::kLong},
    {"is_ms_short", true, 3, TBlocks::kShort},
    {"is_mixed", true, 1, TBlocks::kMixed},
    {"ms_mixed", true, 2, TBlocks::kMixed},
    {"lsf_is_long", false, 1, TBlocks::kLong},
    {"lsf_is_ms_long", false, 3, TBlocks::kLong},
};

class Layer3Stereo : public ::testing::TestWithParam<TStereoSpec> {};

TEST_P(Layer3Stereo, MatchesReference) {
  ZONDA_REQUIRE_TOOLS("mpg123");
  TempDir dir;
  const std::vector<uint8_t> stream = MakeStream(GetParam(), 60);
  const std::string file = dir.file(std::string(GetParam().name) + ".mp3");
  std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(stream.data()), std::streamsize(stream.size()));
  CheckFixture(dir, "stereo", file, 11);
}

INSTANTIATE_TEST_SUITE_P(Written, Layer3Stereo, ::testing::ValuesIn(kSpecs),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zonda::test
