// TDecoderMP3 behaviour beyond plain decoding: what Open accepts and refuses,
// PCMSize for CBR and VBR files, reads past the end, resync over garbage,
// damaged frames as silence, truncated files, and the front's use of the
// scratch buffer as destination.
#include <gtest/gtest.h>

#include <fstream>

#include "decoding/core/DecoderLock.h"
#include "tests/decoding/mpeg/MpegTestSupport.h"
#include "tests/support/Require.h"

namespace zonda::test {
namespace {

void WriteBytes(const std::string& file, const std::vector<uint8_t>& bytes) {
  std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// Byte offsets of the frames of a clean CBR/VBR file, from the first one.
std::vector<size_t> FrameOffsets(const std::vector<uint8_t>& d, size_t first) {
  std::vector<size_t> offs;
  size_t pos = first;
  while (pos + 4 <= d.size()) {
    mpeg::TMpegHeader h;
    const int32_t len = mpeg::ParseHeader(d.data() + pos, int32_t(d.size() - pos), h);
    if (len <= 0) break;
    offs.push_back(pos);
    pos += size_t(len + (h.paddingBit ? 1 : 0));
  }
  return offs;
}

class DecoderMP3Test : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir();
    if (!HaveTool("lame") || !HaveTool("sox")) return;
    ok_ = MakeSourceWav(dir_->file("src.wav"), 3.0) &&
          test::Run("lame --quiet -b 128 -t '" + dir_->file("src.wav") + "' '" + dir_->file("cbr.mp3") + "'") == 0 &&
          test::Run("lame --quiet -V 4 '" + dir_->file("src.wav") + "' '" + dir_->file("vbr.mp3") + "'") == 0;
  }
  static void TearDownTestSuite() {
    delete dir_;
    dir_ = nullptr;
  }
  void SetUp() override {
    ZONDA_REQUIRE_TOOLS("lame", "sox");
    ASSERT_TRUE(ok_) << "the lame fixtures were not made";
  }
  static std::vector<uint8_t> ReadWhole(TDecoderMP3& mp3, int32_t bytes) {
    std::vector<uint8_t> out(static_cast<size_t>(bytes));
    for (int32_t p = 0; p < bytes; p += 1058400)
      mp3.ReadAt(p, out.data() + p, std::min<int32_t>(1058400, bytes - p));
    return out;
  }
  static TempDir* dir_;
  static bool ok_;
};
TempDir* DecoderMP3Test::dir_ = nullptr;
bool DecoderMP3Test::ok_ = false;

TEST_F(DecoderMP3Test, RefusesWhatIsNotPlayable) {
  TDecoderMP3 mp3;
  EXPECT_FALSE(mp3.Open(dir_->file("missing.mp3")));
  WriteBytes(dir_->file("empty.mp3"), {});
  EXPECT_FALSE(mp3.Open(dir_->file("empty.mp3")));
  std::vector<uint8_t> noise(200000);
  uint32_t s = 1;
  for (auto& b : noise) b = uint8_t((s = s * 1103515245u + 12345u) >> 24) & 0x7F;  // no 0xFF: no sync at all
  WriteBytes(dir_->file("noise.mp3"), noise);
  EXPECT_FALSE(mp3.Open(dir_->file("noise.mp3")));
  EXPECT_EQ(mp3.PCMSize(), 0);
  std::vector<uint8_t> buf(16);
  EXPECT_EQ(mp3.ReadAt(0, buf.data(), 16), 0) << "closed";
  mp3.Close();
  mp3.Close();
}

// Two good frames and then nothing decodable: every test decode fails, and
// the file is reported as not playable instead of open and silent.
TEST_F(DecoderMP3Test, AllTestDecodesFailingMeansNotOpen) {
  const std::vector<uint8_t> d = ReadAll(dir_->file("cbr.mp3"));
  const std::vector<size_t> offs = FrameOffsets(d, 0);
  ASSERT_GT(offs.size(), 3u);
  std::vector<uint8_t> bad(d.begin(), d.begin() + long(offs[2]));
  bad.resize(bad.size() + 40000, 0x00);
  WriteBytes(dir_->file("two_frames.mp3"), bad);
  TDecoderMP3 mp3;
  EXPECT_FALSE(mp3.Open(dir_->file("two_frames.mp3")));
}

TEST_F(DecoderMP3Test, FreeFormatIsRefused) {
  ZONDA_REQUIRE_TOOLS("twolame");
  const std::string f = dir_->file("free.mp2");
  ASSERT_EQ(test::Run("twolame --quiet --freeformat -b 200 '" + dir_->file("src.wav") + "' '" + f + "'"), 0);
  TDecoderMP3 mp3;
  EXPECT_FALSE(mp3.Open(f));
}

TEST_F(DecoderMP3Test, PcmSizeOfCbrAndVbrFiles) {
  TDecoderMP3 cbr;
  ASSERT_TRUE(cbr.Open(dir_->file("cbr.mp3")));
  EXPECT_EQ(cbr.Bitrate(), 128000);
  EXPECT_EQ(cbr.AudioStart(), 0);
  const std::vector<size_t> cbrFrames = FrameOffsets(ReadAll(dir_->file("cbr.mp3")), 0);
  EXPECT_EQ(cbr.PCMSize(), int32_t(cbrFrames.size() * 4608)) << "the frames in the file, not the bit rate's estimate";
  EXPECT_EQ(cbr.OutputFormat().nChannels, 2);
  EXPECT_EQ(cbr.OutputFormat().nSamplesPerSec, 44100u);

  TDecoderMP3 vbr;
  ASSERT_TRUE(vbr.Open(dir_->file("vbr.mp3")));
  EXPECT_EQ(vbr.Bitrate(), 0);
  const std::vector<uint8_t> d = ReadAll(dir_->file("vbr.mp3"));
  const std::vector<size_t> offs = FrameOffsets(d, 0);
  // Xing frame count = audio frames after the tag frame, which is not played.
  EXPECT_EQ(vbr.PCMSize(), int32_t((offs.size() - 1) * 4608));
  EXPECT_EQ(vbr.AudioStart(), int64_t(offs[1]));
  EXPECT_EQ(vbr.VBRLength(), vbr.PCMSize());
}

TEST_F(DecoderMP3Test, ReadsPastTheEndGiveZerosOfFullLength) {
  TDecoderMP3 mp3;
  ASSERT_TRUE(mp3.Open(dir_->file("cbr.mp3")));
  std::vector<uint8_t> buf(1058400, 0xAA);
  EXPECT_EQ(mp3.ReadAt(mp3.PCMSize() + 400000, buf.data(), int32_t(buf.size())), int32_t(buf.size()));
  EXPECT_TRUE(std::all_of(buf.begin(), buf.end(), [](uint8_t b) { return b == 0; }));
  // A read across the end: audio first, zeros after the last frame.
  const std::vector<uint8_t> seq = SequentialDecode(dir_->file("cbr.mp3"));
  std::fill(buf.begin(), buf.end(), 0xAA);
  const int32_t pos = int32_t(seq.size()) - 40000;
  ASSERT_EQ(mp3.ReadAt(pos, buf.data(), int32_t(buf.size())), int32_t(buf.size()));
  EXPECT_TRUE(std::equal(buf.begin(), buf.begin() + 40000, seq.begin() + pos));
  EXPECT_TRUE(std::all_of(buf.begin() + 40000, buf.end(), [](uint8_t b) { return b == 0; }));
}

// Garbage between frames is skipped: the audio comes out as from the clean file.
TEST_F(DecoderMP3Test, ResyncsOverGarbageBetweenFrames) {
  const std::vector<uint8_t> d = ReadAll(dir_->file("cbr.mp3"));
  const std::vector<size_t> offs = FrameOffsets(d, 0);
  ASSERT_GT(offs.size(), 60u);
  std::vector<uint8_t> g(d.begin(), d.begin() + long(offs[40]));
  for (int i = 0; i < 9000; ++i) g.push_back(uint8_t(i * 37 % 251) & 0xFE);  // never a sync byte
  g.insert(g.end(), d.begin() + long(offs[40]), d.end());
  WriteBytes(dir_->file("garbage.mp3"), g);
  TDecoderMP3 clean, dirty;
  ASSERT_TRUE(clean.Open(dir_->file("cbr.mp3")));
  ASSERT_TRUE(dirty.Open(dir_->file("garbage.mp3")));
  const int32_t n = int32_t(offs.size() * 4608);
  EXPECT_TRUE(ReadWhole(clean, n) == ReadWhole(dirty, n));
  // Seeking past the garbage (index built across it) is exact too.
  std::vector<uint8_t> a(200000), b(200000);
  clean.ReadAt(50 * 4608 + 1000, a.data(), int32_t(a.size()));
  dirty.ReadAt(50 * 4608 + 1000, b.data(), int32_t(b.size()));
  EXPECT_TRUE(a == b);
}

// A frame whose side information is impossible plays as one frame of
// silence; two frames later the output is the clean file's again.
TEST_F(DecoderMP3Test, DamagedFramePlaysAsSilence) {
  std::vector<uint8_t> d = ReadAll(dir_->file("cbr.mp3"));
  const std::vector<size_t> offs = FrameOffsets(d, 0);
  const size_t k = 30;
  // big_values of granule 0, channel 0 at side-information bits 32..40 (stereo, no CRC): 511 > 288.
  const size_t side = offs[k] + 4;
  d[side + 4] |= 0xFF;
  d[side + 5] |= 0x80;
  WriteBytes(dir_->file("damaged.mp3"), d);
  TDecoderMP3 clean, damaged;
  ASSERT_TRUE(clean.Open(dir_->file("cbr.mp3")));
  ASSERT_TRUE(damaged.Open(dir_->file("damaged.mp3")));
  const int32_t n = int32_t(offs.size() * 4608);
  const std::vector<uint8_t> a = ReadWhole(clean, n), b = ReadWhole(damaged, n);
  EXPECT_TRUE(std::all_of(b.begin() + long(k * 4608), b.begin() + long((k + 1) * 4608), [](uint8_t x) { return x == 0; }));
  EXPECT_FALSE(std::all_of(a.begin() + long(k * 4608), a.begin() + long((k + 1) * 4608), [](uint8_t x) { return x == 0; }));
  EXPECT_TRUE(std::equal(a.begin(), a.begin() + long(k * 4608), b.begin()));
  EXPECT_TRUE(std::equal(a.begin() + long((k + 2) * 4608), a.end(), b.begin() + long((k + 2) * 4608)));
}

TEST_F(DecoderMP3Test, TruncatedFileReadsSafely) {
  const std::vector<uint8_t> d = ReadAll(dir_->file("vbr.mp3"));
  std::vector<uint8_t> cut(d.begin(), d.begin() + long(d.size() * 2 / 3 + 77));
  WriteBytes(dir_->file("cut.mp3"), cut);
  TDecoderMP3 mp3;
  ASSERT_TRUE(mp3.Open(dir_->file("cut.mp3")));
  std::vector<uint8_t> buf(1058400);
  for (int32_t p : {0, 300000, 500000, mp3.PCMSize() - 1000}) {
    EXPECT_EQ(mp3.ReadAt(p & ~3, buf.data(), int32_t(buf.size())), int32_t(buf.size()));
  }
}

// The front converting a 48 kHz file hands ConversionScratch() itself as the
// destination; the copy out of the scratch buffer must cope with the overlap.
TEST_F(DecoderMP3Test, ScratchBufferAsDestination) {
  const std::string f = dir_->file("r48.mp3");
  ASSERT_EQ(test::Run("lame --quiet -b 160 --resample 48 '" + dir_->file("src.wav") + "' '" + f + "'"), 0);
  TDecoderMP3 mp3;
  ASSERT_TRUE(mp3.Open(f));
  EXPECT_EQ(mp3.OutputFormat().nSamplesPerSec, 48000u);
  std::vector<uint8_t> normal(300000);
  ASSERT_EQ(mp3.ReadAt(200000, normal.data(), int32_t(normal.size())), int32_t(normal.size()));
  std::lock_guard<std::recursive_mutex> lock(DecoderLock());
  uint8_t* scratch = ConversionScratch();
  ASSERT_EQ(mp3.ReadAt(200000, scratch, int32_t(normal.size())), int32_t(normal.size()));
  EXPECT_TRUE(std::equal(normal.begin(), normal.end(), scratch));
}

TEST_F(DecoderMP3Test, MonoStaysMonoAndOpenIndexesEveryFrame) {
  const std::string f = dir_->file("mono22.mp3");
  ASSERT_EQ(test::Run("lame --quiet -m m -b 32 --resample 22.05 '" + dir_->file("src.wav") + "' '" + f + "'"), 0);
  TDecoderMP3 mp3;
  ASSERT_TRUE(mp3.Open(f));
  EXPECT_EQ(mp3.OutputFormat().nChannels, 1);
  EXPECT_EQ(mp3.OutputFormat().nBlockAlign, 2);
  EXPECT_EQ(mp3.MPEGVersion(), 2);
  EXPECT_EQ(mp3.BytesPerFrame(), 1152);
  const size_t all = mp3.IndexedFrames();
  EXPECT_EQ(int64_t(all) * 1152, mp3.PCMSize());
  std::vector<uint8_t> buf(4000);
  mp3.ReadAt(mp3.PCMSize() / 2, buf.data(), int32_t(buf.size()));
  mp3.ReadAt(1000, buf.data(), int32_t(buf.size()));
  EXPECT_EQ(mp3.IndexedFrames(), all) << "reads reuse the index";
}

}  // namespace
}  // namespace zonda::test
