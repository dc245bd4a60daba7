// An installation without libquelmo.so and libombrel.so: only their formats
// are lost. Its own executable, because the libraries are bound once per process.
#include <gtest/gtest.h>

#include <cstdlib>

#include "decoding/DataProvider.h"
#include "decoding/DecoderWAV.h"
#include "decoding/ext/DecoderOGG.h"
#include "decoding/ext/DecoderQT.h"
#include "decoding/ext/DirectShowFileReader.h"
#include "platform/ProgramDir.h"
#include "tests/quelmo/LibdecFixtures.h"
#include "tests/support/Require.h"

namespace zonda::test {
namespace {

TEST(MissingLibraries, OnlyTheirFormatsAreLost) {
  ZONDA_REQUIRE_TOOLS("ffmpeg", "oggenc");
  TempDir tree;  // an installation folder with neither library in it
  TempDir dir;
  setenv("ZONDA_PROGRAM_DIR", tree.path().c_str(), 1);
  ResetProgramDirForTests();
  TFixture wav, ogg, m4a, aiff;
  ASSERT_TRUE(MakeFixture(dir, "a.wav", "copy", 0.5, 44100, 2, 16, &wav));
  ASSERT_TRUE(MakeFixture(dir, "a.ogg", "oggenc", 0.5, 44100, 2, 16, &ogg));
  ASSERT_TRUE(MakeFixture(dir, "a.m4a", "-c:a alac", 0.5, 44100, 2, 16, &m4a));
  ASSERT_TRUE(MakeFixture(dir, "a.aiff", "-c:a pcm_s16be", 0.5, 44100, 2, 16, &aiff));

  TDecoderQT qt;
  TDecoderOGG vorbis;
  EXPECT_FALSE(qt.Available());
  EXPECT_FALSE(vorbis.Available());
  EXPECT_FALSE(qt.Open(m4a.path));
  EXPECT_FALSE(vorbis.Open(ogg.path));
  EXPECT_EQ(qt.PCMSize(), 0);
  std::vector<uint8_t> buf(4096);
  EXPECT_EQ(qt.ReadAt(0, buf.data(), 4096), 0);
  qt.Close();

  TDecoderWAV own;
  ASSERT_TRUE(own.Open(wav.path));
  EXPECT_EQ(own.PCMSize(), 22050 * 4);
  TDirectShowFileReader reader(aiff.path);  // linked into the program, not a run-time library
  EXPECT_EQ(reader.Duration() * 176400 / 10000000, 22050 * 4);
  EXPECT_EQ(reader.Read(buf.data(), 4096), 4096);

  // Through the front: their kinds fail with -1, everything else plays.
  TFixture mp3, wma, flac;
  ASSERT_TRUE(MakeFixture(dir, "a.mp3", "-c:a libmp3lame", 0.5, 44100, 2, 16, &mp3));
  ASSERT_TRUE(MakeFixture(dir, "a.wma", "-c:a wmav2", 0.5, 44100, 2, 16, &wma));
  ASSERT_TRUE(MakeFixture(dir, "a.flac", "-c:a flac", 0.5, 44100, 2, 16, &flac));
  const struct {
    const std::string* path;
    bool opens;
    TDecoderKind kind;
  } cases[] = {{&wav.path, true, TDecoderKind::WAV},         {&mp3.path, true, TDecoderKind::MP3},
               {&aiff.path, true, TDecoderKind::DirectShow}, {&wma.path, true, TDecoderKind::DirectShow},
               {&m4a.path, false, TDecoderKind::None},       {&ogg.path, false, TDecoderKind::None},
               {&flac.path, false, TDecoderKind::None}};
  for (const auto& c : cases) {
    TDataProvider p;
    EXPECT_EQ(p.Open(*c.path), c.opens) << *c.path;
    EXPECT_EQ(p.Kind(), c.kind) << *c.path;
    EXPECT_EQ(p.LastError(), c.opens ? 0 : -1) << *c.path;
    if (c.opens) {
      std::vector<uint8_t> chunk(1058400);
      EXPECT_GT(p.ReadPCM(0, chunk.data(), 1058400), 0) << *c.path;
    }
  }
}

}  // namespace
}  // namespace zonda::test
