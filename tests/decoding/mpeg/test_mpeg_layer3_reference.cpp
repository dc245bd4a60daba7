// Layer III against mpg123's float decode: lame fixtures over bitrates, modes,
// VBR, sample rates of MPEG-1, MPEG-2 and MPEG-2.5, CRC and ID3v2 tags.
#include <gtest/gtest.h>

#include <fstream>

#include "tests/decoding/mpeg/MpegTestSupport.h"
#include "tests/support/Require.h"

namespace zonda::test {
namespace {

struct TLameCase {
  const char* family;
  const char* name;
  const char* args;
  bool infoFrame;
};

// lame writes an Info/Xing frame unless -t is given.
const TLameCase kCases[] = {
    {"mpeg1", "cbr32_32k", "-b 32 --resample 32", true},
    {"mpeg1", "cbr128_joint", "-b 128 -m j", true},
    {"mpeg1", "cbr320_stereo", "-b 320 -m s", true},
    {"mpeg1", "cbr192_48k", "-b 192 --resample 48", true},
    {"mpeg1", "cbr64_mono", "-b 64 -m m", true},
    {"mpeg1", "cbr128_crc", "-b 128 -p", true},
    {"mpeg1", "cbr160_notag", "-b 160 -t", false},
    {"vbr", "vbr_v2", "-V 2", true},
    {"vbr", "vbr_v7_mono", "-V 7 -m m", true},
    {"mpeg2", "lsf_22k_64", "--resample 22.05 -b 64", true},
    {"mpeg2", "lsf_24k_mono", "--resample 24 -b 48 -m m", true},
    {"mpeg2", "lsf_16k_vbr", "--resample 16 -V 6", true},
    {"mpeg2.5", "m25_11k", "--resample 11.025 -b 32", true},
    {"mpeg2.5", "m25_12k_mono", "--resample 12 -b 24 -m m", true},
    {"mpeg2.5", "m25_8k", "--resample 8 -b 16", true},
};

class Layer3Reference : public ::testing::TestWithParam<TLameCase> {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir();
    ok_ = MakeSourceWav(dir_->file("src.wav"));
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  static TempDir* dir_;
  static bool ok_;
};
TempDir* Layer3Reference::dir_ = nullptr;
bool Layer3Reference::ok_ = false;

TEST_P(Layer3Reference, MatchesReferenceAndReadsExactly) {
  ZONDA_REQUIRE_TOOLS("lame", "mpg123", "sox");
  ASSERT_TRUE(ok_);
  const TLameCase& c = GetParam();
  const std::string mp3 = dir_->file(std::string(c.name) + ".mp3");
  ASSERT_EQ(test::Run(std::string("lame --quiet ") + c.args + " '" + dir_->file("src.wav") + "' '" + mp3 + "'"), 0);
  CheckFixture(*dir_, c.family, mp3, c.infoFrame, 7u + uint32_t(std::string(c.name).size()));
}

INSTANTIATE_TEST_SUITE_P(Lame, Layer3Reference, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// An ID3v2 tag in front (with sync-like bytes inside, as album art has) is
// skipped, and the audio decodes exactly as without it.
TEST(Layer3Id3, TaggedFileDecodesLikeTheBareOne) {
  ZONDA_REQUIRE_TOOLS("lame", "mpg123", "sox");
  TempDir dir;
  ASSERT_TRUE(MakeSourceWav(dir.file("src.wav"), 1.5));
  const std::string bare = dir.file("bare.mp3");
  ASSERT_EQ(test::Run("lame --quiet -b 128 '" + dir.file("src.wav") + "' '" + bare + "'"), 0);
  std::vector<uint8_t> body(3000);
  for (size_t i = 0; i < body.size(); ++i) body[i] = (i % 7 == 0) ? 0xFF : (i % 7 == 1 ? 0xFB : uint8_t(i));
  std::vector<uint8_t> tag = {'I', 'D', '3', 4, 0, 0, 0, 0, uint8_t(body.size() >> 7), uint8_t(body.size() & 127)};
  tag.insert(tag.end(), body.begin(), body.end());
  const std::vector<uint8_t> audio = ReadAll(bare);
  tag.insert(tag.end(), audio.begin(), audio.end());
  const std::string tagged = dir.file("tagged.mp3");
  std::ofstream(tagged, std::ios::binary).write(reinterpret_cast<const char*>(tag.data()), std::streamsize(tag.size()));

  TDecoderMP3 a, b;
  ASSERT_TRUE(a.Open(bare));
  ASSERT_TRUE(b.Open(tagged));
  EXPECT_EQ(b.AudioStart(), a.AudioStart() + 3010);
  EXPECT_EQ(a.PCMSize(), b.PCMSize());
  std::vector<uint8_t> pa(400000), pb(400000);
  a.ReadAt(0, pa.data(), int32_t(pa.size()));
  b.ReadAt(0, pb.data(), int32_t(pb.size()));
  EXPECT_TRUE(pa == pb);
  CheckFixture(dir, "id3v2", tagged, true, 99);
}

}  // namespace
}  // namespace zonda::test
