// The FFmpeg stream behind libquelmo.so and the file reader: sequential reads
// never seek, and the index scan describes every packet.
#include <gtest/gtest.h>

#include "quelmo/stream/MediaStream.h"
#include "tests/quelmo/LibdecFixtures.h"

namespace zonda::test {
namespace {

TEST(MediaStream, SequentialChunksNeverSeekAndJumpsSeekOnce) {
  if (!HaveTool("ffmpeg")) GTEST_SKIP() << "ffmpeg not installed";
  TempDir dir;
  TFixture f;
  ASSERT_TRUE(MakeFixture(dir, "a.m4a", "-c:a aac -b:a 128k", 4.0, 44100, 2, 16, &f));
  TMediaStream s;
  ASSERT_TRUE(s.Open(f.path));
  EXPECT_GT(s.PacketCount(), 150u);
  EXPECT_GE(s.Times().openMs, s.Times().indexMs);
  std::vector<int16_t> buf(2 * 44100);
  const int64_t seeksAfterOpen = s.SeekCount();
  for (int64_t at = 0; at < s.TotalFrames(); at += 44100) s.Read(at, buf.data(), 44100);
  EXPECT_EQ(s.SeekCount(), seeksAfterOpen) << "a deck reading chunk after chunk never restarts";
  s.Read(100000, buf.data(), 1000);
  EXPECT_EQ(s.SeekCount(), seeksAfterOpen + 1);
  s.Read(101000, buf.data(), 1000);
  EXPECT_EQ(s.SeekCount(), seeksAfterOpen + 1) << "the next frames follow on";
  EXPECT_EQ(s.TakeError(), 0);
  s.Close();
  EXPECT_FALSE(s.IsOpen());
  EXPECT_EQ(s.Read(0, buf.data(), 1000), 0);
}

}  // namespace
}  // namespace zonda::test
