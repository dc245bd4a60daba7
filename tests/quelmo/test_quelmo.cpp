// libquelmo.so as the program sees it: the six exports bound by name, each
// listed format decoded against FFmpeg's own decode of the same file, exact
// lengths, and random access equal to one sequential decode.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>

#include "tests/quelmo/LibdecFixtures.h"
#include "tests/support/Require.h"

namespace zonda::test {
namespace {

class QuelmoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ZONDA_REQUIRE_TOOLS("ffmpeg");
    lib_ = LoadLibrary("libquelmo.so");
    ASSERT_TRUE(lib_.ok()) << "libquelmo.so not in the installation tree";
    obj_ = lib_.create_obj();
    ASSERT_NE(obj_, nullptr);
  }
  void TearDown() override {
    if (obj_) lib_.destroy_obj(obj_);
  }
  TLoadedLibrary lib_;
  void* obj_ = nullptr;
  TempDir dir_;
};

TEST_F(QuelmoTest, ExportsAndArgumentChecks) {
  ASSERT_NE(lib_.check_quicktime, nullptr);
  EXPECT_EQ(lib_.check_quicktime(), 1);
  TFixture f;
  ASSERT_TRUE(MakeFixture(dir_, "a.flac", "-c:a flac", 1.0, 44100, 2, 16, &f));
  TInfo info{};
  std::vector<int16_t> buf(2 * 44100);
  EXPECT_EQ(lib_.getsamples(obj_, buf.data(), 1000, 0), 0) << "not open";
  EXPECT_EQ(lib_.open(obj_, dir_.file("missing.flac").c_str(), &info), 0);
  EXPECT_EQ(info.totalFrames, 0);
  const std::string text = dir_.file("notes.m4a");
  test::Run("echo 'not a movie at all' > '" + text + "'");
  EXPECT_EQ(lib_.open(obj_, text.c_str(), &info), 0);
  ASSERT_EQ(lib_.open(obj_, f.path.c_str(), &info), 1);
  EXPECT_EQ(info.rate, 44100);
  EXPECT_EQ(info.channels, 2);
  EXPECT_EQ(info.bits, 16);
  EXPECT_EQ(info.frameBits, 16);
  EXPECT_EQ(info.reserved, 0);
  EXPECT_EQ(info.totalFrames, 44100);
  TInfo again{};
  EXPECT_EQ(lib_.open(obj_, f.path.c_str(), &again), 0) << "already open";
  EXPECT_EQ(lib_.getsamples(obj_, buf.data(), 255, 0), 0);
  EXPECT_EQ(lib_.getsamples(obj_, nullptr, 1000, 0), 0);
  EXPECT_EQ(lib_.getsamples(obj_, buf.data(), 1000, -1), 0);
  EXPECT_EQ(lib_.getsamples(obj_, buf.data(), 256, 0), 256);
  EXPECT_EQ(lib_.getsamples(obj_, buf.data(), 1000, 44000), 100) << "clipped at the end";
  EXPECT_EQ(lib_.getsamples(obj_, buf.data(), 1000, 44100), 0) << "past the end";
  lib_.close(obj_);
  lib_.close(obj_);  // harmless twice
  EXPECT_EQ(lib_.getsamples(obj_, buf.data(), 1000, 0), 0);
  ASSERT_EQ(lib_.open(obj_, f.path.c_str(), &info), 1) << "reopens after close";
  lib_.close(obj_);
  // Names are plain local files, whatever they look like to FFmpeg.
  for (const char* odd : {"concat:a.flac", "ü ñ #1, 'x' ?.flac", "http:x.flac"}) {
    const std::string path = dir_.file(odd);
    ASSERT_EQ(test::Run("cp '" + f.path + "' \"" + path + "\""), 0);
    EXPECT_EQ(lib_.open(obj_, path.c_str(), &info), 1) << odd;
    EXPECT_EQ(info.totalFrames, 44100) << odd;
    lib_.close(obj_);
  }
  lib_.destroy_obj(nullptr);  // ignored
}

struct TFormatCase {
  const char* name;
  const char* args;
  int rate, channels, bits;
  int outRate, outChannels;
  int64_t extraFrames;  // beyond the source frames (AAC priming, Opus pre-skip); -1: FFmpeg's count decides
};

// The same libavcodec decoders and the same libswresample conversion (format,
// downmix and resampling with swr's defaults) as the ffmpeg tool, so every
// sample must match the tool's decode, with nothing trimmed on either side.
// AAC is encoded without perceptual noise substitution: its noise comes from
// a random generator whose state depends on everything decoded before, so
// after a jump it differs (same level, other values) and could not be compared.
const TFormatCase kFormats[] = {
    {"aac.m4a", "-c:a aac -aac_pns 0 -b:a 128k", 44100, 2, 16, 44100, 2, 1024},
    {"alac.m4a", "-c:a alac", 44100, 2, 16, 44100, 2, 0},
    {"s16.flac", "-c:a flac", 44100, 2, 16, 44100, 2, 0},
    {"s24.flac", "-c:a flac -sample_fmt s32", 48000, 2, 24, 48000, 2, 0},
    {"mono.opus", "-c:a libopus -b:a 64k", 48000, 1, 16, 48000, 1, 312},
    {"stereo.ogg", "-c:a libvorbis -q:a 4", 44100, 2, 16, 44100, 2, 0},
    {"mono22.ogg", "-c:a libvorbis -q:a 4", 22050, 1, 16, 22050, 1, 0},
    {"s48.ogg", "-c:a libvorbis -q:a 4", 48000, 2, 16, 48000, 2, 0},
    {"surround.ogg", "-c:a libvorbis -q:a 2", 44100, 6, 16, 44100, 2, 0},
    {"wmav2.wma", "-c:a wmav2 -b:a 128k", 44100, 2, 16, 44100, 2, -1},
    {"s16.aiff", "-c:a pcm_s16be", 44100, 2, 16, 44100, 2, 0},
    {"s16.au", "-c:a pcm_s16be", 22050, 1, 16, 22050, 1, 0},
    {"s24_96k.wav", "copy", 96000, 2, 24, 48000, 2, 0},
    {"surround.flac", "-c:a flac", 44100, 6, 16, 44100, 2, 0},
    {"s16.mp3", "-c:a libmp3lame -b:a 160k", 44100, 2, 16, 44100, 2, -1},
    {"adts.aac", "-c:a aac -aac_pns 0 -b:a 128k", 44100, 2, 16, 44100, 2, -1},
};

TEST_F(QuelmoTest, EveryFormatMatchesFFmpegWithExactLengthAndRandomAccess) {
  for (const TFormatCase& c : kFormats) {
    SCOPED_TRACE(c.name);
    TFixture f;
    if (!MakeFixture(dir_, c.name, c.args, 2.5, c.rate, c.channels, c.bits, &f)) {
      ADD_FAILURE() << "cannot make fixture";
      continue;
    }
    TInfo info{};
    ASSERT_EQ(lib_.open(obj_, f.path.c_str(), &info), 1);
    EXPECT_EQ(info.rate, c.outRate);
    EXPECT_EQ(info.channels, c.outChannels);
    const std::vector<int16_t> ref = FFmpegReference(f.path, c.outChannels, c.outRate);
    ASSERT_FALSE(ref.empty());
    const int64_t refFrames = static_cast<int64_t>(ref.size()) / c.outChannels;
    const int64_t expected = c.extraFrames >= 0
                                 ? (f.sourceFrames + c.extraFrames) * c.outRate / c.rate
                                 : refFrames;
    EXPECT_EQ(info.totalFrames, expected) << "ffmpeg decodes " << refFrames;

    const std::vector<int16_t> all = ReadAllFrames(lib_, obj_, info);
    ASSERT_EQ(static_cast<int64_t>(all.size()), int64_t{info.totalFrames} * c.outChannels);
    const int64_t common = std::min<int64_t>(all.size(), ref.size());
    EXPECT_EQ(MaxAbsDiff(all.data(), ref.data(), common), 0);

    // Random access, including jumps back, a jump inside the first half
    // second and a read running into the end, against the sequential decode.
    std::mt19937 rng(7);
    std::vector<std::pair<int32_t, int32_t>> reads = {
        {info.totalFrames / 2, 4096}, {100, 300}, {info.totalFrames - 1000, 5000}, {info.rate + 17, 20000}};
    for (int i = 0; i < 6; ++i)
      reads.emplace_back(static_cast<int32_t>(rng() % info.totalFrames), 256 + static_cast<int32_t>(rng() % 30000));
    std::vector<int16_t> buf;
    for (auto [first, count] : reads) {
      buf.assign(static_cast<size_t>(count) * c.outChannels, 0);
      const int32_t got = lib_.getsamples(obj_, buf.data(), count, first);
      ASSERT_EQ(got, std::min(count, info.totalFrames - first)) << "at " << first;
      EXPECT_EQ(MaxAbsDiff(buf.data(), all.data() + int64_t{first} * c.outChannels, int64_t{got} * c.outChannels), 0)
          << "read at " << first << " +" << count;
    }
    lib_.close(obj_);
  }
}

// MPEG audio layer II (as broadcast archives and some DJ pools carry it, often
// named .mp3) at full accuracy against mpg123's float decode: the 16-bit
// output differs from it by its rounding and no more.
TEST_F(QuelmoTest, MpegLayerTwoAtFullAccuracy) {
  ZONDA_REQUIRE_TOOLS("twolame", "mpg123", "sox");
  struct TCase {
    const char* name;
    int rate;
    const char* args;
  };
  const TCase cases[] = {{"l2_48k.mp3", 48000, "-b 384 -m s"}, {"l2_32k.mp3", 32000, "-b 192 -m s"},
                         {"l2_44k.mp3", 44100, "-b 128 -m j"}};
  for (const TCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string wav = dir_.file("l2src.wav");
    // Loud noise with a sweep: the largest scale factors and allocations.
    ASSERT_EQ(test::Run("sox -R -q -n -r " + std::to_string(c.rate) + " -c 2 -b 16 '" + wav +
                        "' synth 4 pinknoise vol 0.9 : synth 2 sine 50-15000 vol 0.99"),
              0);
    const std::string path = dir_.file(c.name);
    ASSERT_EQ(test::Run(std::string("twolame --quiet ") + c.args + " '" + wav + "' '" + path + "'"), 0);
    const std::string f32 = dir_.file("ref.f32");
    ASSERT_EQ(test::Run("mpg123 -q --no-gapless -e f32 -s '" + path + "' > '" + f32 + "'"), 0);
    const std::vector<uint8_t> bytes = ReadAll(f32);
    std::vector<float> ref(bytes.size() / 4);
    std::memcpy(ref.data(), bytes.data(), ref.size() * 4);

    TInfo info{};
    ASSERT_EQ(lib_.open(obj_, path.c_str(), &info), 1);
    EXPECT_EQ(info.rate, c.rate);
    const std::vector<int16_t> all = ReadAllFrames(lib_, obj_, info);
    lib_.close(obj_);
    ASSERT_EQ(all.size(), ref.size());
    double sum = 0, ideal = 0, worst = 0;
    size_t n = 0;
    for (size_t i = 0; i < all.size(); ++i) {
      const double r = double(ref[i]) * 32768.0;
      if (r >= 32767.0 || r <= -32768.0) continue;  // clipped: both saturate
      const double e = double(all[i]) - r;
      sum += e * e;
      ideal += (std::nearbyint(r) - r) * (std::nearbyint(r) - r);
      worst = std::max(worst, std::fabs(e));
      ++n;
    }
    ASSERT_GT(n, all.size() / 2);
    const double rms = std::sqrt(sum / double(n)), rounding = std::sqrt(ideal / double(n));
    std::printf("[accuracy] quelmo %s rms %.4f LSB (ideal rounding %.4f) max %.3f LSB\n", c.name, rms, rounding, worst);
    EXPECT_LT(rms, rounding + 0.005);
    EXPECT_LT(worst, 1.0);
  }
}

}  // namespace
}  // namespace zonda::test
