// libombrel.so as the program binds it: Ogg Vorbis made by oggenc at the
// common rates, mono and stereo, decoded with exact lengths, against FFmpeg's
// own Vorbis decoder, and with sample-exact random access.
#include <gtest/gtest.h>

#include <random>

#include "tests/quelmo/LibdecFixtures.h"
#include "tests/support/Require.h"

namespace zonda::test {
namespace {

class OmbrelTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ZONDA_REQUIRE_TOOLS("oggenc", "ffmpeg");
    lib_ = LoadLibrary("libombrel.so");
    ASSERT_TRUE(lib_.ok()) << "libombrel.so not in the installation tree";
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

TEST_F(OmbrelTest, OpenRefusesWhatItCannotPlay) {
  TInfo info{1, 1, 1, 1, 1, 1};
  EXPECT_EQ(lib_.open(obj_, dir_.file("none.ogg").c_str(), &info), 0);
  EXPECT_EQ(info.rate, 0) << "zeroed";
  TFixture f;
  ASSERT_TRUE(MakeFixture(dir_, "plain.wav", "copy", 0.5, 44100, 2, 16, &f));
  EXPECT_EQ(lib_.open(obj_, f.path.c_str(), &info), 0) << "not Ogg";
  ASSERT_TRUE(MakeFixture(dir_, "hi.ogg", "oggenc", 0.5, 96000, 2, 16, &f));
  EXPECT_EQ(lib_.open(obj_, f.path.c_str(), &info), 0) << "above 48000 Hz";
  ASSERT_TRUE(MakeFixture(dir_, "ok.ogg", "oggenc", 0.5, 44100, 2, 16, &f));
  ASSERT_EQ(lib_.open(obj_, f.path.c_str(), &info), 1);
  EXPECT_EQ(lib_.open(obj_, f.path.c_str(), &info), 0) << "already open";
  std::vector<int16_t> buf(2 * 1000);
  EXPECT_EQ(lib_.getsamples(obj_, nullptr, 1000, 0), 0);
  EXPECT_EQ(lib_.getsamples(obj_, buf.data(), 1000, -5), 0);
  EXPECT_EQ(lib_.getsamples(obj_, buf.data(), 1000, info.totalFrames), 0) << "past the end";
  EXPECT_EQ(lib_.getsamples(obj_, buf.data(), 1000, info.totalFrames - 10), 10);
  lib_.close(obj_);
  EXPECT_EQ(lib_.getsamples(obj_, buf.data(), 1000, 0), 0);
}

struct TOggCase {
  const char* name;
  int rate, channels;
  int outChannels;
};

TEST_F(OmbrelTest, VorbisAtEveryRateMatchesFFmpegWithExactLengthAndRandomAccess) {
  const TOggCase cases[] = {{"m22.ogg", 22050, 1, 1}, {"s22.ogg", 22050, 2, 2}, {"m44.ogg", 44100, 1, 1},
                            {"s44.ogg", 44100, 2, 2}, {"m48.ogg", 48000, 1, 1}, {"s48.ogg", 48000, 2, 2},
                            {"surround.ogg", 44100, 6, 2}};
  for (const TOggCase& c : cases) {
    SCOPED_TRACE(c.name);
    TFixture f;
    ASSERT_TRUE(MakeFixture(dir_, c.name, "oggenc", 2.0, c.rate, c.channels, 16, &f));
    TInfo info{};
    ASSERT_EQ(lib_.open(obj_, f.path.c_str(), &info), 1);
    EXPECT_EQ(info.rate, c.rate);
    EXPECT_EQ(info.channels, c.outChannels);
    EXPECT_EQ(info.bits, 16);
    EXPECT_EQ(info.frameBits, 16);
    EXPECT_EQ(info.totalFrames, f.sourceFrames) << "oggenc's granule positions give the exact length";
    const std::vector<int16_t> all = ReadAllFrames(lib_, obj_, info);
    ASSERT_EQ(static_cast<int64_t>(all.size()), f.sourceFrames * c.outChannels);
    if (c.channels <= 2) {
      // libvorbis and FFmpeg's own Vorbis decoder are two float
      // implementations of the same inverse MDCT; they round the last bit
      // differently now and then, never by more than a couple of steps.
      // (The reference keeps the last packet whole; the granule position cuts it.)
      const std::vector<int16_t> ref = FFmpegReference(f.path, c.outChannels, c.rate);
      ASSERT_GE(ref.size(), all.size());
      EXPECT_LE(MaxAbsDiff(all.data(), ref.data(), static_cast<int64_t>(all.size())), 2);
    }
    std::mt19937 rng(11);
    std::vector<std::pair<int32_t, int32_t>> reads = {{info.totalFrames / 2, 3000}, {0, 500}, {info.totalFrames - 600, 5000}};
    for (int i = 0; i < 5; ++i)
      reads.emplace_back(static_cast<int32_t>(rng() % info.totalFrames), 256 + static_cast<int32_t>(rng() % 20000));
    std::vector<int16_t> buf;
    for (auto [first, count] : reads) {
      buf.assign(static_cast<size_t>(count) * c.outChannels, 0);
      const int32_t got = lib_.getsamples(obj_, buf.data(), count, first);
      ASSERT_EQ(got, std::min(count, info.totalFrames - first));
      EXPECT_TRUE(std::equal(buf.begin(), buf.begin() + int64_t{got} * c.outChannels,
                             all.begin() + int64_t{first} * c.outChannels))
          << "read at " << first;
    }
    lib_.close(obj_);
  }
}

}  // namespace
}  // namespace zonda::test
