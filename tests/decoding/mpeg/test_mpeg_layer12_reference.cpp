// Layers I and II against mpg123's float decode. Layer II fixtures come from
// twolame and FFmpeg; layer I has no Debian encoder, so a small bitstream
// writer below makes valid layer I frames (allocations, scale factors and
// sample codes of a deterministic pattern) for stereo, joint stereo, mono and
// MPEG-2 streams.
#include <gtest/gtest.h>

#include <fstream>

#include "tests/decoding/mpeg/Layer2Writer.h"
#include "tests/decoding/mpeg/MpegTestSupport.h"
#include "tests/support/Require.h"

namespace zonda::test {
namespace {

struct TLayer1Spec {
  const char* name;
  bool mpeg1;
  int mode;  // 0 stereo, 1 joint, 3 mono
  int modeExtension;
  int bitrateIndex;
  int frames;
};

// Writes a layer I stream: every frame full (no padding), allocations lowered
// until the frame's bits fit.
std::vector<uint8_t> MakeLayer1(const TLayer1Spec& recipe) {
  static const int kKbps[2][15] = {{0, 32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
                                   {0, 32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448}};
  const int rate = recipe.mpeg1 ? 44100 : 22050;
  const int frameBytes = 4 * (12 * kKbps[recipe.mpeg1][recipe.bitrateIndex] * 1000 / rate);
  const int nch = recipe.mode == 3 ? 1 : 2;
  const int bound = recipe.mode == 1 ? 4 * (recipe.modeExtension + 1) : 32;
  std::vector<uint8_t> out;
  uint32_t rnd = 12345;
  auto next = [&rnd] { return (rnd = rnd * 1103515245u + 12345u) >> 16; };
  for (int f = 0; f < recipe.frames; ++f) {
    int alloc[2][32] = {};
    int scf[2][32] = {};
    // A silent lead-in, then a signal that fades out, as music does.
    for (int sb = 0; sb < 27 && f >= 15; ++sb)
      for (int ch = 0; ch < nch; ++ch) {
        alloc[ch][sb] = std::max(0, 11 - sb / 2 - int(next() % 3));
        scf[ch][sb] = std::min(62, 8 + sb + (f - 15) / 6 + int(next() % 8));
      }
    auto bits = [&] {
      int total = 32;
      for (int sb = 0; sb < 32; ++sb) {
        total += sb < bound ? 4 * nch : 4;
        for (int ch = 0; ch < nch; ++ch)
          if (alloc[sb < bound ? ch : 0][sb]) total += 6;
        if (sb < bound)
          for (int ch = 0; ch < nch; ++ch) total += alloc[ch][sb] ? 12 * (alloc[ch][sb] + 1) : 0;
        else
          total += alloc[0][sb] ? 12 * (alloc[0][sb] + 1) : 0;
      }
      return total;
    };
    for (int sb = 31; bits() > frameBytes * 8; sb = sb == 0 ? 31 : sb - 1)
      for (int ch = 0; ch < nch; ++ch)
        if (alloc[ch][sb]) --alloc[ch][sb];
    TBits w;
    w.Put(0xFFF, 12);
    w.Put(recipe.mpeg1 ? 1 : 0, 1);
    w.Put(3, 2);  // layer I
    w.Put(1, 1);  // no CRC
    w.Put(uint32_t(recipe.bitrateIndex), 4);
    w.Put(0, 2);  // 44100 / 22050 Hz
    w.Put(0, 2);
    w.Put(uint32_t(recipe.mode), 2);
    w.Put(uint32_t(recipe.modeExtension), 2);
    w.Put(0, 4);
    for (int sb = 0; sb < 32; ++sb)
      for (int ch = 0; ch < (sb < bound ? nch : 1); ++ch) w.Put(uint32_t(alloc[ch][sb]), 4);
    for (int sb = 0; sb < 32; ++sb)
      for (int ch = 0; ch < nch; ++ch)
        if (alloc[sb < bound ? ch : 0][sb]) w.Put(uint32_t(scf[ch][sb]), 6);
    for (int s = 0; s < 12; ++s)
      for (int sb = 0; sb < 32; ++sb)
        for (int ch = 0; ch < (sb < bound ? nch : 1); ++ch) {
          const int a = alloc[ch][sb];
          if (!a) continue;
          const int nb = a + 1;
          const double v = std::sin((f * 12 + s) * 0.21 * (sb + 1) + ch) * 0.5 + 0.5;
          w.Put(uint32_t(v * ((1 << nb) - 2)), nb);  // the all-ones code is not used
        }
    EXPECT_LE(int(w.Size()), frameBytes * 8);
    w.bits.resize(size_t(frameBytes) * 8, 0);
    const std::vector<uint8_t> bytes = w.Bytes();
    out.insert(out.end(), bytes.begin(), bytes.end());
  }
  return out;
}

const TLayer1Spec kLayer1[] = {
    {"l1_stereo", true, 0, 0, 14, 120},
    {"l1_joint", true, 1, 1, 12, 120},
    {"l1_mono", true, 3, 0, 8, 120},
    {"l1_mpeg2", false, 0, 0, 14, 120},
};

class Layer1Reference : public ::testing::TestWithParam<TLayer1Spec> {};

TEST_P(Layer1Reference, MatchesReferenceAndReadsExactly) {
  ZONDA_REQUIRE_TOOLS("mpg123");
  TempDir dir;
  const std::vector<uint8_t> stream = MakeLayer1(GetParam());
  const std::string file = dir.file(std::string(GetParam().name) + ".mp1");
  std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(stream.data()), std::streamsize(stream.size()));
  CheckFixture(dir, "layer1", file, 3);
  TDecoderMP3 mp3;
  ASSERT_TRUE(mp3.Open(file));
  EXPECT_EQ(mp3.LayerNumber(), 1);
  EXPECT_EQ(mp3.MPEGVersion(), GetParam().mpeg1 ? 1 : 2);
}

INSTANTIATE_TEST_SUITE_P(OwnWriter, Layer1Reference, ::testing::ValuesIn(kLayer1),
                         [](const auto& info) { return std::string(info.param.name); });

// A layer II writer for what encoders seldom emit: every allocation of the
// table the rate and bit rate select (up to 16-bit codes), every scale-factor
// selection pattern, grouped and ungrouped codes, at full frames.
struct TLayer2Spec {
  const char* name;
  int rateIndex;     // 0 44100, 1 48000, 2 32000
  int bitrateIndex;  // MPEG-1 layer II
  int mode;          // 0 stereo, 1 joint, 3 mono
  int modeExtension;
  int frames;
};

// Quantisation levels per allocation code, by table group (ISO/IEC 11172-3
// tables B.2a-d): rows of 16 entries.
constexpr int kLevelsAB[4][16] = {
    {0, 3, 7, 15, 31, 63, 127, 255, 511, 1023, 2047, 4095, 8191, 16383, 32767, 65535},
    {0, 3, 5, 7, 9, 15, 31, 63, 127, 255, 511, 1023, 2047, 4095, 8191, 65535},
    {0, 3, 5, 7, 9, 15, 31, 65535},
    {0, 3, 5, 65535}};
constexpr int kLevelsCD[2][16] = {
    {0, 3, 5, 9, 15, 31, 63, 127, 255, 511, 1023, 2047, 4095, 8191, 16383, 32767},
    {0, 3, 5, 9, 15, 31, 63, 127}};

struct TLayer2Band {
  int nbal;
  const int* levels;
};

// The table for a rate and a per-channel bit rate, as the standard selects it.
std::vector<TLayer2Band> Layer2Table(int rateIndex, int kbpsPerChannel) {
  std::vector<TLayer2Band> t;
  const bool lowRate = kbpsPerChannel <= 48;
  if (lowRate) {
    const int limit = rateIndex == 2 ? 12 : 8;
    for (int sb = 0; sb < limit; ++sb) t.push_back(sb < 2 ? TLayer2Band{4, kLevelsCD[0]} : TLayer2Band{3, kLevelsCD[1]});
    return t;
  }
  const int limit = (rateIndex == 1 || kbpsPerChannel <= 80) ? 27 : 30;
  for (int sb = 0; sb < limit; ++sb) {
    if (sb < 3) t.push_back({4, kLevelsAB[0]});
    else if (sb < 11) t.push_back({4, kLevelsAB[1]});
    else if (sb < 23) t.push_back({3, kLevelsAB[2]});
    else t.push_back({2, kLevelsAB[3]});
  }
  return t;
}

std::vector<uint8_t> MakeLayer2(const TLayer2Spec& recipe) {
  static const int kKbps[15] = {0, 32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384};
  static const int kRate[3] = {44100, 48000, 32000};
  const int nch = recipe.mode == 3 ? 1 : 2;
  const int kbps = kKbps[recipe.bitrateIndex];
  const std::vector<TLayer2Band> table = Layer2Table(recipe.rateIndex, kbps / nch);
  TLayer2Body body;
  body.limit = int(table.size());
  body.bound = recipe.mode == 1 ? std::min(body.limit, 4 * (recipe.modeExtension + 1)) : body.limit;
  body.channels = nch;
  uint8_t nbal[32] = {};
  for (int sb = 0; sb < body.limit; ++sb) nbal[sb] = uint8_t(table[size_t(sb)].nbal);
  body.nbal = nbal;
  auto steps = [&](int sb, int a) { return table[size_t(sb)].levels[a]; };
  const int frameBytes = 144 * kbps * 1000 / kRate[recipe.rateIndex];
  std::vector<uint8_t> out;
  uint32_t rnd = 777;
  auto next = [&rnd] { return (rnd = rnd * 1103515245u + 12345u) >> 16; };
  for (int f = 0; f < recipe.frames; ++f) {
    TLayer2Body b = body;
    for (int sb = 0; sb < b.limit && f >= 4; ++sb) {
      const int top = (1 << table[size_t(sb)].nbal) - 1;
      for (int ch = 0; ch < nch; ++ch) {
        // Walk every code over the frames, the highest ones included.
        b.alloc[ch][sb] = (f * 7 + sb * 3 + ch * 5 + int(next() % 3)) % (top + 1);
        b.scfsi[ch][sb] = (f + sb + ch) % 4;
        for (int k = 0; k < 3; ++k) b.scf[ch][sb][k] = std::min(62, 6 + sb + int(next() % 12) + (f % 5) * 2);
      }
      if (sb >= b.bound) b.alloc[1][sb] = b.alloc[0][sb];
    }
    for (int sb = b.limit - 1; 32 + Layer2BodyBits(b, steps) > frameBytes * 8; sb = sb == 0 ? b.limit - 1 : sb - 1)
      for (int ch = 0; ch < nch; ++ch)
        if (b.alloc[ch][sb]) --b.alloc[ch][sb];
    TBits w;
    w.Put(0xFFF, 12);
    w.Put(1, 1);  // MPEG-1
    w.Put(2, 2);  // layer II
    w.Put(1, 1);  // no CRC
    w.Put(uint32_t(recipe.bitrateIndex), 4);
    w.Put(uint32_t(recipe.rateIndex), 2);
    w.Put(0, 2);
    w.Put(uint32_t(recipe.mode), 2);
    w.Put(uint32_t(recipe.modeExtension), 2);
    w.Put(0, 4);
    PutLayer2Body(w, b, steps, [&](int g, int sb, int ch, int k) {
      const int levels = steps(sb, b.alloc[sb < b.bound ? ch : 0][sb]);
      const double x = std::sin((f * 36 + g * 3 + k) * 0.17 * (sb + 1) + ch) * 0.5 + 0.5;
      return uint32_t(std::min(levels - 1, int(x * levels)));
    });
    EXPECT_LE(int(w.Size()), frameBytes * 8);
    w.bits.resize(size_t(frameBytes) * 8, 0);
    const std::vector<uint8_t> bytes = w.Bytes();
    out.insert(out.end(), bytes.begin(), bytes.end());
  }
  return out;
}

const TLayer2Spec kLayer2Own[] = {
    {"l2_32k_192_stereo", 2, 10, 0, 0, 90},  // 96 kbit/s a channel: the 30-band table
    {"l2_48k_384_stereo", 1, 14, 0, 0, 90},  // 192 a channel at 48 kHz: the 27-band table
    {"l2_44k_384_joint", 0, 14, 1, 2, 90},
    {"l2_44k_160_stereo", 0, 9, 0, 0, 90},   // 80 a channel: the 27-band table
    {"l2_48k_64_stereo", 1, 4, 0, 0, 90},    // 32 a channel: the 8-band table
    {"l2_32k_96_stereo", 2, 6, 0, 0, 90},    // 48 a channel at 32 kHz: the 12-band table
    {"l2_44k_192_mono", 0, 10, 3, 0, 90},
};

class Layer2OwnWriter : public ::testing::TestWithParam<TLayer2Spec> {};

TEST_P(Layer2OwnWriter, MatchesReferenceAndReadsExactly) {
  ZONDA_REQUIRE_TOOLS("mpg123");
  TempDir dir;
  const std::vector<uint8_t> stream = MakeLayer2(GetParam());
  const std::string file = dir.file(std::string(GetParam().name) + ".mp2");
  std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(stream.data()), std::streamsize(stream.size()));
  CheckFixture(dir, "layer2", file, 13);
}

INSTANTIATE_TEST_SUITE_P(OwnWriter, Layer2OwnWriter, ::testing::ValuesIn(kLayer2Own),
                         [](const auto& info) { return std::string(info.param.name); });

struct TLayer2Case {
  const char* name;
  const char* command;  // %s = source wav, %o = output
  int rate;             // source rate
};

const TLayer2Case kLayer2[] = {
    {"twolame_192_stereo", "twolame --quiet -b 192 -m s %s %o", 44100},
    {"twolame_128_joint", "twolame --quiet -b 128 -m j %s %o", 44100},
    {"twolame_64_mono", "twolame --quiet -b 64 -m m %s %o", 44100},
    {"twolame_384_crc", "twolame --quiet -b 384 -m s -p %s %o", 44100},
    {"twolame_64_32k", "twolame --quiet -b 64 %s %o", 32000},
    {"twolame_lsf_22k", "twolame --quiet -b 64 %s %o", 22050},
    {"twolame_lsf_16k_joint", "twolame --quiet -b 32 -m j %s %o", 16000},
    {"twolame_192_32k_stereo", "twolame --quiet -b 192 -m s %s %o", 32000},
    {"twolame_384_48k_stereo", "twolame --quiet -b 384 -m s %s %o", 48000},
    {"twolame_320_48k_joint", "twolame --quiet -b 320 -m j %s %o", 48000},
    {"twolame_192_48k_mono", "twolame --quiet -b 192 -m m %s %o", 48000},
    {"twolame_56_32k_mono", "twolame --quiet -b 56 -m m %s %o", 32000},
    {"ffmpeg_160_48k", "ffmpeg -v error -y -i %s -c:a mp2 -b:a 160k %o", 48000},
    {"ffmpeg_lsf_24k", "ffmpeg -v error -y -i %s -c:a mp2 -b:a 96k %o", 24000},
};

class Layer2Reference : public ::testing::TestWithParam<TLayer2Case> {};

TEST_P(Layer2Reference, MatchesReferenceAndReadsExactly) {
  const TLayer2Case& c = GetParam();
  const std::string tool = std::string(c.command).substr(0, std::string(c.command).find(' '));
  ZONDA_REQUIRE_TOOLS(tool, "mpg123", "sox");
  TempDir dir;
  ASSERT_TRUE(MakeSourceWav(dir.file("src44.wav"), 2.5));
  const std::string src = dir.file("src.wav");
  ASSERT_EQ(test::Run("sox -q '" + dir.file("src44.wav") + "' -r " + std::to_string(c.rate) + " '" + src + "'"), 0);
  const std::string out = dir.file(std::string(c.name) + ".mp2");
  std::string cmd = c.command;
  cmd.replace(cmd.find("%s"), 2, "'" + src + "'");
  cmd.replace(cmd.find("%o"), 2, "'" + out + "'");
  ASSERT_EQ(test::Run(cmd), 0);
  CheckFixture(dir, "layer2", out, 5);
  TDecoderMP3 mp3;
  ASSERT_TRUE(mp3.Open(out));
  EXPECT_EQ(mp3.LayerNumber(), 2);
}

INSTANTIATE_TEST_SUITE_P(Encoders, Layer2Reference, ::testing::ValuesIn(kLayer2),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zonda::test
