// Ogg Vorbis through the FFmpeg stream: a packet's length follows the block
// sizes (long and short blocks overlap by half of each), so the stream has
// libvorbis's length and samples at every block-size change, and any frame is
// the same reached by a jump or by reading on. Chained files are refused by
// the stream and the front plays them with the Vorbis decoder instead.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "decoding/DataProvider.h"
#include "quelmo/stream/MediaStream.h"
#include "tests/quelmo/LibdecFixtures.h"
#include "tests/support/Require.h"

namespace zonda::test {
namespace {

std::vector<int16_t> Samples(const std::vector<uint8_t>& bytes, size_t from) {
  std::vector<int16_t> s((bytes.size() - std::min(from, bytes.size())) / 2);
  for (size_t i = 0; i < s.size(); ++i)
    s[i] = static_cast<int16_t>(bytes[from + 2 * i] | (bytes[from + 2 * i + 1] << 8));
  return s;
}

// libvorbis's decode (oggdec), 16-bit interleaved.
std::vector<int16_t> OggdecReference(const std::string& ogg) {
  const std::string raw = ogg + ".oggdec.raw";
  if (test::Run("oggdec -Q -R -o '" + raw + "' '" + ogg + "'") != 0) return {};
  return Samples(ReadAll(raw), 0);
}

// Encodes a sox signal with oggenc; false when a tool fails.
bool SoxVorbis(const TempDir& dir, const std::string& name, const std::string& soxSignal) {
  const std::string wav = dir.file(name + ".wav");
  return test::Run("sox -n -r 44100 -c 2 -b 16 '" + wav + "' " + soxSignal) == 0 &&
         test::Run("oggenc -Q -q3 -o '" + dir.file(name) + "' '" + wav + "'") == 0;
}

class QuelmoVorbis : public ::testing::Test {
 protected:
  void SetUp() override {
    ZONDA_REQUIRE_TOOLS("sox", "oggenc", "oggdec");
  }
  TempDir dir_;
};

TEST_F(QuelmoVorbis, BlockSizeChangesKeepLibvorbisLengthAndSamples) {
  // Pink noise bursts between silences: short blocks at every onset, each
  // change from long to short blocks once cost 448 frames.
  ASSERT_TRUE(SoxVorbis(dir_, "gaps.ogg", "synth 2 pinknoise gain -3 pad 2 2 repeat 1"));
  const std::string path = dir_.file("gaps.ogg");
  const std::vector<int16_t> ref = OggdecReference(path);
  ASSERT_EQ(ref.size(), size_t{529200} * 2);
  TMediaStream s;
  ASSERT_TRUE(s.Open(path));
  ASSERT_EQ(s.TotalFrames(), 529200);
  std::vector<int16_t> all(ref.size());
  const int64_t seeks = s.SeekCount();
  for (int64_t at = 0; at < s.TotalFrames(); at += 4096)
    ASSERT_EQ(s.Read(at, all.data() + at * 2, std::min<int64_t>(4096, s.TotalFrames() - at)),
              std::min<int64_t>(4096, s.TotalFrames() - at));
  EXPECT_EQ(s.SeekCount(), seeks) << "reading on never seeks";
  EXPECT_LE(MaxAbsDiff(all.data(), ref.data(), static_cast<int64_t>(ref.size())), 2) << "two float decoders";
  // Jumps, backwards and forwards, onto and around the bursts' edges: the
  // same frames as read on.
  std::vector<int16_t> buf(2 * 3000);
  for (int64_t first : {int64_t{175000}, int64_t{0}, int64_t{88100}, int64_t{1}, int64_t{440000}, int64_t{264599},
                        int64_t{352799}, int64_t{529200 - 3000}, int64_t{87170}}) {
    ASSERT_EQ(s.Read(first, buf.data(), 3000), 3000) << first;
    EXPECT_EQ(MaxAbsDiff(buf.data(), all.data() + first * 2, 6000), 0) << first;
  }
  EXPECT_EQ(s.Read(529200, buf.data(), 10), 0);
  EXPECT_EQ(s.TakeError(), 0);
}

TEST_F(QuelmoVorbis, ChainedFileIsRefusedAndPlaysThroughTheVorbisDecoder) {
  if (!std::getenv("ZONDA_PROGRAM_DIR")) ZONDA_SKIP_OR_FAIL("ZONDA_PROGRAM_DIR not set (run through ctest)");
  // Links of their own headers; the first long enough for libvorbisfile's
  // link search.
  ASSERT_TRUE(SoxVorbis(dir_, "a.ogg", "synth 10 sine 440 gain -6"));
  ASSERT_TRUE(SoxVorbis(dir_, "b.ogg", "synth 1.2 pinknoise gain -6 pad 0.5 0.3"));
  const std::string chained = dir_.file("c.ogg");
  ASSERT_EQ(test::Run("cat '" + dir_.file("a.ogg") + "' '" + dir_.file("b.ogg") + "' > '" + chained + "'"), 0);
  std::vector<int16_t> ref = OggdecReference(dir_.file("a.ogg"));
  const std::vector<int16_t> second = OggdecReference(dir_.file("b.ogg"));
  ASSERT_EQ(ref.size(), size_t{441000} * 2);
  ASSERT_EQ(second.size(), size_t{88200} * 2);
  ref.insert(ref.end(), second.begin(), second.end());

  TMediaStream s;
  EXPECT_FALSE(s.Open(chained)) << "FFmpeg would decode the second link with the first one's setup";
  TMediaStream single;
  EXPECT_TRUE(single.Open(dir_.file("a.ogg")));

  TDataProvider p;
  ASSERT_TRUE(p.Open(chained));
  EXPECT_EQ(p.Kind(), TDecoderKind::OGG);
  ASSERT_EQ(p.PCMLength(), static_cast<int32_t>(ref.size() * 2));
  std::vector<uint8_t> pcm(static_cast<size_t>(p.PCMLength()));
  ASSERT_EQ(p.ReadPCM(0, pcm.data(), p.PCMLength()), p.PCMLength());
  const std::vector<int16_t> got = Samples(pcm, 0);
  EXPECT_EQ(MaxAbsDiff(got.data(), ref.data(), static_cast<int64_t>(ref.size())), 0);
}

}  // namespace
}  // namespace zonda::test
