// zonda-decode against sox: every accepted WAV kind gives the same deck PCM
// sample for sample where no rate change is involved.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <vector>

#include "tests/support/Require.h"
#include "tests/support/TestFiles.h"

namespace zonda {
namespace {

using test::TempDir;
using test::WavSpec;

std::string DecodeTool() { return std::string(std::getenv("ZONDA_PROGRAM_DIR")) + "/zonda-decode"; }

std::vector<int16_t> AsSamples(const std::vector<uint8_t>& bytes, size_t skip) {
  std::vector<int16_t> s((bytes.size() - skip) / 2);
  std::memcpy(s.data(), bytes.data() + skip, s.size() * 2);
  return s;
}

std::vector<uint8_t> Noise(size_t n, uint32_t seed) {
  std::vector<uint8_t> b(n);
  for (auto& x : b) {
    seed = seed * 1664525u + 1013904223u;
    x = static_cast<uint8_t>(seed >> 24);
  }
  return b;
}

class ZondaDecode : public testing::Test {
 protected:
  void SetUp() override {
    if (!std::getenv("ZONDA_PROGRAM_DIR")) ZONDA_SKIP_OR_FAIL("ZONDA_PROGRAM_DIR not set (run through ctest)");
    ZONDA_REQUIRE_TOOLS("sox");
  }
  // Output of zonda-decode (header checked) as samples.
  std::vector<int16_t> Decode(const std::string& in) {
    const std::string out = dir_.file("out.wav");
    EXPECT_EQ(test::Run(DecodeTool() + " '" + in + "' '" + out + "'"), 0);
    const auto bytes = test::ReadAll(out);
    EXPECT_GE(bytes.size(), 44u);
    if (bytes.size() < 44) return {};
    EXPECT_EQ(std::memcmp(bytes.data(), "RIFF", 4), 0);
    EXPECT_EQ(bytes[22], 2);                            // channels
    EXPECT_EQ(bytes[24] | (bytes[25] << 8), 44100);     // rate
    EXPECT_EQ(bytes[34], 16);                           // bits
    return AsSamples(bytes, 44);
  }
  // sox's own reading of the file as 16-bit stereo at the file's rate.
  std::vector<int16_t> Sox(const std::string& in) {
    const std::string raw = dir_.file("sox.raw");
    EXPECT_EQ(test::Run("sox -D -V0 '" + in + "' -t raw -e signed-integer -b 16 -c 2 -L '" + raw + "'"), 0);
    return AsSamples(test::ReadAll(raw), 0);
  }
  TempDir dir_;
};

TEST_F(ZondaDecode, MatchesSoxForEveryAcceptedKindAtDeckRate) {
  std::vector<uint8_t> trailing = {'L', 'I', 'S', 'T', 8, 0, 0, 0, 'I', 'N', 'F', 'O', 'x', 'y', 'z', 'w'};
  const struct {
    const char* name;
    WavSpec recipe;
    size_t bytes;
  } cases[] = {
      {"stereo16", {}, 1058400 * 2 + 4 * 1234},  // two whole chunks and a part
      {"mono8", {1, 44100, 8, 16, 1, false, {}}, 300001},
      {"mono16", {1, 44100, 16, 16, 1, false, {}}, 300000},
      {"stereo8", {2, 44100, 8, 16, 1, false, {}}, 300000},
      {"fmt18", {2, 44100, 16, 18, 1, false, {}}, 400000},
      {"extensible40", {2, 44100, 16, 40, 0xFFFE, false, {}}, 400000},
      {"listBeforeFmt", {2, 44100, 16, 16, 1, true, {}}, 400000},
      {"trailingChunk", {2, 44100, 16, 16, 1, false, trailing}, 400000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string in = dir_.file(std::string(c.name) + ".wav");
    test::WriteWav(in, c.recipe, Noise(c.bytes, 7));
    const auto ours = Decode(in);
    const auto ref = Sox(in);
    ASSERT_EQ(ours.size(), ref.size());
    EXPECT_TRUE(ours == ref);
  }
}

TEST_F(ZondaDecode, RateChangesHoldOrThinSoxFrames) {
  // 22050 Hz: every sox frame (at the file's own rate) appears exactly twice.
  const std::string low = dir_.file("low.wav");
  test::WriteWav(low, {1, 22050, 8, 16, 1, false, {}}, Noise(150000, 3));
  const auto ours = Decode(low);
  const auto ref = Sox(low);
  ASSERT_EQ(ours.size(), 2 * ref.size());
  for (size_t f = 0; f < ref.size() / 2; ++f) {
    ASSERT_EQ(ours[4 * f], ref[2 * f]) << f;
    ASSERT_EQ(ours[4 * f + 2], ref[2 * f]) << f;
  }
  // 48000 Hz: output frame i is one of the source frames next to i x 48000 / 44100.
  const std::string high = dir_.file("high.wav");
  test::WriteWav(high, {2, 48000, 16, 16, 1, false, {}}, Noise(192000 * 2, 5));
  const auto thin = Decode(high);
  const auto src = Sox(high);
  ASSERT_EQ(thin.size(), 2u * 44100 * 2);
  for (size_t i = 0; i < thin.size() / 2; ++i) {
    const size_t j = i * 48000 / 44100;
    bool found = false;
    for (size_t k = j; k <= j + 1 && 2 * k + 1 < src.size() && !found; ++k) {
      found = thin[2 * i] == src[2 * k] && thin[2 * i + 1] == src[2 * k + 1];
    }
    ASSERT_TRUE(found) << i;
  }
}

TEST_F(ZondaDecode, AFileCutInsideItsLastFrameGivesWholeFrames) {
  // A deck plays PCMLength / 4 frames; the output WAV holds exactly those.
  const std::string in = dir_.file("cut.wav");
  const auto samples = Noise(4 * 1000 + 2, 9);
  test::WriteWav(in, {}, samples);
  const auto ours = Decode(in);
  ASSERT_EQ(ours.size(), 2000u);
  EXPECT_EQ(std::memcmp(ours.data(), samples.data(), 4000), 0);
  const auto bytes = test::ReadAll(dir_.file("out.wav"));
  EXPECT_EQ(bytes[40] | (bytes[41] << 8) | (bytes[42] << 16) | (bytes[43] << 24), 4000);
}

TEST_F(ZondaDecode, FailureIsOneLineAndNonZero) {
  const std::string bad = dir_.file("bad.wav");
  std::ofstream{bad};  // empty: no decoder opens it (a 96 kHz WAV now plays through QuickTime)
  const std::string err = dir_.file("err.txt");
  EXPECT_NE(test::Run(DecodeTool() + " '" + bad + "' '" + dir_.file("o.wav") + "' 2>'" + err + "'"), 0);
  const auto text = test::ReadAll(err);
  const std::string s(text.begin(), text.end());
  EXPECT_NE(s.find("LastError -1"), std::string::npos) << s;
  EXPECT_EQ(std::count(s.begin(), s.end(), '\n'), 1);
  EXPECT_NE(test::Run(DecodeTool() + " 2>/dev/null"), 0);
}

}  // namespace
}  // namespace zonda
