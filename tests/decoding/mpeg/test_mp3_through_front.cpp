// MP3 files through the decoder front: the front picks TDecoderMP3 for ".MP3"
// (QuickTime removed here so the MPEG decoder is the one asked), reads deck
// chunks unchanged from a 44.1 kHz stereo file, and converts a 22.05 kHz mono
// file, whose reads land in the shared scratch buffer the decoder also works in.
#include <gtest/gtest.h>

#include "decoding/DataProvider.h"
#include "tests/decoding/mpeg/MpegTestSupport.h"
#include "tests/support/Require.h"

namespace zonda::test {
namespace {

class Mp3ThroughFront : public ::testing::Test {
 protected:
  void SetUp() override {
    ZONDA_REQUIRE_TOOLS("lame", "sox");
    ASSERT_TRUE(MakeSourceWav(dir_.file("src.wav"), 3.0));
  }
  std::string Encode(const std::string& name, const std::string& args) {
    const std::string f = dir_.file(name);
    EXPECT_EQ(test::Run("lame --quiet " + args + " '" + dir_.file("src.wav") + "' '" + f + "'"), 0);
    return f;
  }
  TempDir dir_;
};

TEST_F(Mp3ThroughFront, StereoChunksAreTheDecoderBytes) {
  const std::string f = Encode("a.mp3", "-b 192");
  TDataProvider p;
  p.ReplaceDecoderForTests(TDecoderKind::QuickTime, nullptr);
  ASSERT_TRUE(p.Open(f)) << p.LastError();
  EXPECT_EQ(p.Kind(), TDecoderKind::MP3);
  EXPECT_FALSE(p.NeedsConversion());
  TDecoderMP3 direct;
  ASSERT_TRUE(direct.Open(f));
  EXPECT_EQ(p.PCMLength(), direct.PCMSize());
  std::vector<uint8_t> a(1058400), b(1058400);
  EXPECT_EQ(p.ReadPCM(0, a.data(), 1058400), 1058400);
  direct.ReadAt(0, b.data(), 1058400);
  EXPECT_TRUE(a == b);
}

TEST_F(Mp3ThroughFront, MonoLowRateIsConvertedFromTheScratchBuffer) {
  const std::string f = Encode("m.mp3", "-m m -b 32 --resample 22.05");
  TDataProvider p;
  p.ReplaceDecoderForTests(TDecoderKind::QuickTime, nullptr);
  ASSERT_TRUE(p.Open(f)) << p.LastError();
  ASSERT_TRUE(p.NeedsConversion());
  TDecoderMP3 direct;
  ASSERT_TRUE(direct.Open(f));
  const int32_t deckPos = 4 * 44100;  // one second in
  std::vector<uint8_t> deck(1058400);
  const int32_t got = p.ReadPCM(deckPos, deck.data(), int32_t(deck.size()));
  EXPECT_NEAR(got, 1058400, 8);
  // 22050 Hz mono to 44100 Hz stereo: every source sample twice, on both channels.
  std::vector<int16_t> src(1058400 / 8);
  direct.ReadAt(deckPos / 4, src.data(), int32_t(src.size() * 2));
  const int16_t* d = reinterpret_cast<const int16_t*>(deck.data());
  for (size_t m = 0; m < src.size(); ++m) {
    ASSERT_EQ(d[4 * m], src[m]) << m;
    ASSERT_EQ(d[4 * m + 1], src[m]) << m;
    ASSERT_EQ(d[4 * m + 2], src[m]) << m;
    ASSERT_EQ(d[4 * m + 3], src[m]) << m;
  }
}

}  // namespace
}  // namespace zonda::test
