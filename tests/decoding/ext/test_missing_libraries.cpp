// An installation without libquelmo.so and libombrel.so: only their formats
// are lost. Its own executable, because the libraries are bound once per process.
#include <gtest/gtest.h>

#include <cstdlib>

#include "decoding/DecoderWAV.h"
#include "decoding/ext/DecoderOGG.h"
#include "decoding/ext/DecoderQT.h"
#include "decoding/ext/DirectShowFileReader.h"
#include "platform/ProgramDir.h"
#include "tests/quelmo/LibdecFixtures.h"

namespace zonda::test {
namespace {

TEST(MissingLibraries, OnlyTheirFormatsAreLost) {
  if (!HaveTool("ffmpeg") || !HaveTool("oggenc")) GTEST_SKIP() << "ffmpeg/oggenc not installed";
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
}

}  // namespace
}  // namespace zonda::test
