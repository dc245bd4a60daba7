// Layer III against mpg123's float decode: lame fixtures over bitrates, modes,
// VBR, sample rates of MPEG-1, MPEG-2 and MPEG-2.5, CRC and ID3v2 tags.
#include <gtest/gtest.h>

#include <fstream>

#include "tests/decoding/mpeg/MpegTestSupport.h"
#include "tests/support/AppendedTags.h"
#include "tests/support/Require.h"

namespace zonda::test {
namespace {

struct TLameCase {
  const char* family;
  const char* name;
  const char* args;
  bool bursts = false;  // the noise-burst source: start, short and stop blocks at every burst
};

// Noise bursts over a chord (3.5 s): every burst switches the encoder to short
// blocks and back.
bool MakeBurstsWav(const TempDir& dir, const std::string& wav) {
  const std::string bursts = dir.file("bursts-only.wav"), chord = dir.file("chord.wav");
  return test::Run("sox -R -q -n -r 44100 -c 2 -b 16 '" + bursts +
                   "' synth 0.04 pinknoise fade 0 0.04 0.03 pad 0.25 0 repeat 11 vol 0.5") == 0 &&
         test::Run("sox -R -q -n -r 44100 -c 2 -b 16 '" + chord + "' synth 3.5 sine 220 sine 330 vol 0.3") == 0 &&
         test::Run("sox -R -q -m '" + bursts + "' '" + chord + "' '" + wav + "'") == 0;
}

// lame writes an Info/Xing frame unless -t is given; the length never relies on it.
const TLameCase kCases[] = {
    {"mpeg1", "cbr32_32k", "-b 32 --resample 32"},
    {"mpeg1", "cbr128_joint", "-b 128 -m j"},
    {"mpeg1", "cbr320_stereo", "-b 320 -m s"},
    {"mpeg1", "cbr192_48k", "-b 192 --resample 48"},
    {"mpeg1", "cbr64_mono", "-b 64 -m m"},
    {"mpeg1", "cbr128_crc", "-b 128 -p"},
    {"mpeg1", "cbr160_notag", "-b 160 -t"},
    // lame has no switch that forces block types (--short and the like are
    // ignored outside developer builds): bursts make it switch.
    {"mpeg1", "cbr64_mono_bursts", "-b 64 -m m", true},
    {"mpeg1", "cbr128_joint_bursts", "-b 128 -m j", true},
    {"mpeg1", "cbr96_stereo_bursts", "-b 96 -m s", true},
    {"mpeg2", "lsf_22k_mono_cbr", "--resample 22.05 -b 32 -m m -t"},
    {"mpeg2", "lsf_24k_mono_bursts", "--resample 24 -b 40 -m m", true},
    {"vbr", "vbr_v2", "-V 2"},
    {"vbr", "vbr_v7_mono", "-V 7 -m m"},
    {"mpeg2", "lsf_22k_64", "--resample 22.05 -b 64"},
    {"mpeg2", "lsf_24k_mono", "--resample 24 -b 48 -m m"},
    {"mpeg2", "lsf_16k_vbr", "--resample 16 -V 6"},
    {"mpeg2.5", "m25_11k", "--resample 11.025 -b 32"},
    {"mpeg2.5", "m25_12k_mono", "--resample 12 -b 24 -m m"},
    {"mpeg2.5", "m25_8k", "--resample 8 -b 16"},
};

class Layer3Reference : public ::testing::TestWithParam<TLameCase> {
 protected:
  static void SetUpTestSuite() {
    dir_ = new TempDir();
    ok_ = MakeSourceWav(dir_->file("src.wav")) && MakeBurstsWav(*dir_, dir_->file("bursts.wav"));
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
  const std::string src = dir_->file(c.bursts ? "bursts.wav" : "src.wav");
  ASSERT_EQ(test::Run(std::string("lame --quiet ") + c.args + " '" + src + "' '" + mp3 + "'"), 0);
  CheckFixture(*dir_, c.family, mp3, 7u + uint32_t(std::string(c.name).size()));
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
  CheckFixture(dir, "id3v2", tagged, 99);
}

// A file cut short keeps the Info tag of the whole: the frames in the file
// decide the length, not the tag's count (no silent tail where it was cut).
TEST(Layer3Length, CutFileEndsWhereItsFramesEnd) {
  ZONDA_REQUIRE_TOOLS("lame", "mpg123", "sox");
  TempDir dir;
  ASSERT_TRUE(MakeSourceWav(dir.file("src.wav")));
  for (const char* args : {"-b 128", "-V 2"}) {
    SCOPED_TRACE(args);
    const std::string whole = dir.file("whole.mp3");
    ASSERT_EQ(test::Run(std::string("lame --quiet ") + args + " '" + dir.file("src.wav") + "' '" + whole + "'"), 0);
    std::vector<uint8_t> bytes = ReadAll(whole);
    bytes.resize(bytes.size() * 3 / 5 + 77);  // mid-frame
    const std::string cut = dir.file("cut.mp3");
    std::ofstream(cut, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    TDecoderMP3 full;
    ASSERT_TRUE(full.Open(whole));
    const TFixtureResult r = CheckFixture(dir, "cut", cut, 17);
    EXPECT_LT(r.pcmSize, full.PCMSize() * 2 / 3);
  }
}

// A mono 64 kbit/s stream whose start and stop blocks carry the mixed-block
// flag, as a side-information test stream may: the flag gives the two lowest
// subbands the normal window. lame's switching stream with that bit set in
// every start and stop block's side information.
TEST(Layer3Windows, MixedFlagOnStartAndStopBlocks) {
  ZONDA_REQUIRE_TOOLS("lame", "mpg123", "sox");
  TempDir dir;
  ASSERT_TRUE(MakeBurstsWav(dir, dir.file("src.wav")));
  const std::string plain = dir.file("plain.mp3");
  ASSERT_EQ(test::Run("lame --quiet -t -b 64 -m m '" + dir.file("src.wav") + "' '" + plain + "'"), 0);
  std::vector<uint8_t> bytes = ReadAll(plain);
  int patched = 0;
  for (size_t pos = 0; pos + 21 <= bytes.size();) {
    mpeg::TMpegHeader h;
    const int32_t len = mpeg::ParseHeader(bytes.data() + pos, int32_t(bytes.size() - pos), h);
    ASSERT_GT(len, 0) << "frame at " << pos;
    // Mono MPEG-1 side information: 18 bits, then 59 per granule; in a
    // granule, window_switching_flag is bit 33, block_type 34-35, mixed 36.
    const size_t side = (pos + 4) * 8;
    auto bit = [&](size_t at) { return (bytes[at / 8] >> (7 - at % 8)) & 1; };
    for (int gr = 0; gr < 2; ++gr) {
      const size_t g = side + 18 + size_t(gr) * 59;
      const int type = bit(g + 34) * 2 + bit(g + 35);
      if (bit(g + 33) && (type == 1 || type == 3)) {
        bytes[(g + 36) / 8] |= uint8_t(0x80 >> ((g + 36) % 8));
        ++patched;
      }
    }
    pos += size_t(len + h.paddingBit);
  }
  EXPECT_GE(patched, 20);
  const std::string flagged = dir.file("flagged.mp3");
  std::ofstream(flagged, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  CheckFixture(dir, "windows", flagged, 23);
  // The flag changes the sound: the two files decode differently.
  EXPECT_NE(SequentialDecode(flagged), SequentialDecode(plain));
}

// Tags appended after the audio (APE with cover-art-like binary items,
// Lyrics3v2, ID3v1) are not frames: the tagged file decodes exactly as the
// bare one, whatever frame-like bytes the tags hold.
TEST(Layer3Length, TagsAfterTheAudioAreNotFrames) {
  ZONDA_REQUIRE_TOOLS("lame", "sox");
  TempDir dir;
  ASSERT_TRUE(MakeSourceWav(dir.file("src.wav"), 1.5));
  const std::string bare = dir.file("bare.mp3");
  ASSERT_EQ(test::Run("lame --quiet -b 128 '" + dir.file("src.wav") + "' '" + bare + "'"), 0);
  const std::vector<uint8_t> audio = ReadAll(bare);
  const std::string frames(audio.begin() + int64_t(audio.size() / 3), audio.begin() + int64_t(audio.size() / 3 + 4000));
  const std::string item = ApeBinaryItem("Cover Art (Front)", frames);
  TDecoderMP3 plain;
  ASSERT_TRUE(plain.Open(bare));
  std::vector<uint8_t> want(size_t(plain.PCMSize()));
  ASSERT_EQ(plain.ReadAt(0, want.data(), int32_t(want.size())), int32_t(want.size()));
  for (const std::string& tail : {ApeTag(item, true) + Id3v1Tag(), ApeTag(item, false),
                                  Lyrics3v2(frames.substr(0, 600)) + ApeTag(item, true) + Id3v1Tag()}) {
    const std::string tagged = dir.file("tagged.mp3");
    {
      std::ofstream out(tagged, std::ios::binary);
      out.write(reinterpret_cast<const char*>(audio.data()), std::streamsize(audio.size()));
      out << tail;
    }
    TDecoderMP3 mp3;
    ASSERT_TRUE(mp3.Open(tagged));
    ASSERT_EQ(mp3.PCMSize(), plain.PCMSize());
    std::vector<uint8_t> got(want.size());
    ASSERT_EQ(mp3.ReadAt(0, got.data(), int32_t(got.size())), int32_t(got.size()));
    EXPECT_TRUE(got == want);
  }
}

// lame's free format: refused whole, as every free-format stream is, never
// played at a length its first frame made up.
TEST(Layer3Length, LameFreeFormatIsRefused) {
  ZONDA_REQUIRE_TOOLS("lame", "sox");
  TempDir dir;
  ASSERT_TRUE(MakeSourceWav(dir.file("src.wav")));
  const std::string f = dir.file("free.mp3");
  ASSERT_EQ(test::Run("lame --quiet --freeformat -b 200 '" + dir.file("src.wav") + "' '" + f + "'"), 0);
  TDecoderMP3 mp3;
  EXPECT_FALSE(mp3.Open(f));
}

}  // namespace
}  // namespace zonda::test
