// Every listed format through the decoder front as a deck reads it: the
// QuickTime library first (except .WMA), the file reader for .WMA, deck PCM
// out, whole 6-second chunks at any index equal to reading them in order,
// and zonda-decode writing the same PCM.
#include <gtest/gtest.h>

#include <cstring>

#include "decoding/DataProvider.h"
#include "decoding/PCMConversion.h"
#include "tests/quelmo/LibdecFixtures.h"
#include "tests/support/Require.h"

namespace zonda::test {
namespace {

constexpr int32_t kChunk = 1058400;

struct TFrontCase {
  const char* name;
  const char* args;
  int rate, channels, bits;
  TDecoderKind kind;
  bool exactAgainstFFmpeg;  // 44100 Hz stereo 16-bit out of the library: no conversion by the front
};

const TFrontCase kCases[] = {
    {"a.flac", "-c:a flac", 44100, 2, 16, TDecoderKind::QuickTime, true},
    {"b.m4a", "-c:a aac -aac_pns 0 -b:a 128k", 44100, 2, 16, TDecoderKind::QuickTime, true},
    {"c.m4a", "-c:a alac", 44100, 2, 16, TDecoderKind::QuickTime, true},
    {"d.m4b", "-c:a aac -aac_pns 0 -b:a 96k -f mp4", 44100, 2, 16, TDecoderKind::QuickTime, true},
    {"e.opus", "-c:a libopus -b:a 96k", 48000, 2, 16, TDecoderKind::QuickTime, false},
    {"f.ogg", "oggenc", 22050, 1, 16, TDecoderKind::QuickTime, false},
    {"g.aac", "-c:a aac -aac_pns 0 -b:a 128k", 44100, 2, 16, TDecoderKind::QuickTime, true},
    {"h.wma", "-c:a wmav2 -b:a 128k", 44100, 2, 16, TDecoderKind::DirectShow, true},
    {"i.aiff", "-c:a pcm_s16be", 44100, 2, 16, TDecoderKind::QuickTime, true},
    {"j.au", "-c:a pcm_s16be", 44100, 1, 16, TDecoderKind::QuickTime, false},
    {"k.wav", "copy", 96000, 2, 24, TDecoderKind::QuickTime, false},
    {"l.flac", "-c:a flac", 44100, 6, 16, TDecoderKind::QuickTime, true},
    {"m.mp4", "-c:a alac", 48000, 2, 24, TDecoderKind::QuickTime, false},
};

std::vector<uint8_t> ReadChunk(TDataProvider& p, int32_t index) {
  std::vector<uint8_t> chunk(kChunk, 0);
  const int32_t got = p.ReadPCM(index * kChunk, chunk.data(), kChunk);
  chunk.resize(static_cast<size_t>(std::max(got, 0)));
  return chunk;
}

TEST(FrontFormats, EveryFormatOpensAndChunksAreTheSameInAnyOrder) {
  ZONDA_REQUIRE_TOOLS("ffmpeg", "oggenc");
  for (const char* ext : {".FLAC", ".OPUS", ".AAC", ".M4B", ".M4A", ".MP4", ".OGG", ".WMA", ".AIF", ".AIFF", ".AU"})
    EXPECT_TRUE(IsSupportedExtension(ext)) << ext;
  TempDir dir;
  for (const TFrontCase& c : kCases) {
    SCOPED_TRACE(c.name);
    TFixture f;
    ASSERT_TRUE(MakeFixture(dir, c.name, c.args, 13.0, c.rate, c.channels, c.bits, &f));
    TDataProvider p;
    ASSERT_TRUE(p.Open(f.path)) << "LastError " << p.LastError();
    EXPECT_EQ(p.Kind(), c.kind);
    ASSERT_GT(p.PCMLength(), 2 * kChunk);
    EXPECT_EQ(p.PCMLength() % 4, 0);
    const int32_t chunks = (p.PCMLength() + kChunk - 1) / kChunk;
    std::vector<std::vector<uint8_t>> inOrder;
    for (int32_t i = 0; i < chunks; ++i) inOrder.push_back(ReadChunk(p, i));
    // A deck's jumps: the last chunk, the first, the middle one again.
    for (int32_t i : {chunks - 1, 0, 1, chunks - 1, 1}) {
      EXPECT_TRUE(ReadChunk(p, i) == inOrder[static_cast<size_t>(i)]) << "chunk " << i;
    }
    if (c.exactAgainstFFmpeg) {
      std::vector<uint8_t> all;
      for (const auto& chunk : inOrder) all.insert(all.end(), chunk.begin(), chunk.end());
      const std::vector<int16_t> ref = FFmpegReference(f.path, 2, 44100);
      const int64_t samples = std::min<int64_t>(static_cast<int64_t>(all.size() / 2), static_cast<int64_t>(ref.size()));
      EXPECT_EQ(MaxAbsDiff(reinterpret_cast<const int16_t*>(all.data()), ref.data(), samples), 0);
      EXPECT_EQ(static_cast<int64_t>(all.size()), int64_t{p.PCMLength()});
    }
  }
}

TEST(FrontFormats, ZondaDecodeWritesEveryFormat) {
  ZONDA_REQUIRE_TOOLS("ffmpeg");
  const char* programDir = std::getenv("ZONDA_PROGRAM_DIR");
  if (!programDir) ZONDA_SKIP_OR_FAIL("ZONDA_PROGRAM_DIR not set (run through ctest)");
  TempDir dir;
  for (const char* recipe : {"x.flac|-c:a flac", "x.m4a|-c:a alac", "x.wma|-c:a wmav2 -b:a 128k"}) {
    const std::string s = recipe;
    const std::string name = s.substr(0, s.find('|'));
    SCOPED_TRACE(name);
    TFixture f;
    ASSERT_TRUE(MakeFixture(dir, name, s.substr(s.find('|') + 1), 2.0, 44100, 2, 16, &f));
    const std::string out = dir.file(name + ".out.wav");
    ASSERT_EQ(test::Run(std::string(programDir) + "/zonda-decode '" + f.path + "' '" + out + "'"), 0);
    TDataProvider p;
    ASSERT_TRUE(p.Open(f.path));
    const std::vector<uint8_t> wav = ReadAll(out);
    ASSERT_EQ(static_cast<int64_t>(wav.size()), 44 + int64_t{p.PCMLength()});
    std::vector<uint8_t> pcm(static_cast<size_t>(p.PCMLength()));
    ASSERT_EQ(p.ReadPCM(0, pcm.data(), p.PCMLength()), p.PCMLength());
    EXPECT_EQ(std::memcmp(wav.data() + 44, pcm.data(), pcm.size()), 0);
  }
}

}  // namespace
}  // namespace zonda::test
