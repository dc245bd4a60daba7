// The FFmpeg stream behind libquelmo.so and the file reader: sequential reads
// never seek, and the index scan describes every packet.
#include <gtest/gtest.h>

#include "quelmo/stream/MediaStream.h"

#include <cstring>
#include <fstream>

#include "quelmo/stream/TrailingTags.h"
#include "tests/support/AppendedTags.h"
#include "tests/quelmo/LibdecFixtures.h"
#include "tests/support/Require.h"

namespace zonda::test {
namespace {

TEST(MediaStream, SequentialChunksNeverSeekAndJumpsSeekOnce) {
  ZONDA_REQUIRE_TOOLS("ffmpeg");
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

TEST(MediaStream, FlacIndexFromFrameHeadersAgreesWithTheDemuxer) {
  ZONDA_REQUIRE_TOOLS("ffmpeg", "ffprobe");
  TempDir dir;
  TFixture f;
  // A block size that does not divide the length: the last frame is short.
  ASSERT_TRUE(MakeFixture(dir, "a.flac", "-c:a flac -frame_size 1000", 3.0, 44100, 2, 16, &f));
  const std::string count = dir.file("count.txt");
  ASSERT_EQ(test::Run("ffprobe -v error -select_streams a -show_entries packet=pos -of csv=p=0 '" + f.path + "' | wc -l > '" +
                count + "'"),
            0);
  const std::vector<uint8_t> text = ReadAll(count);
  const size_t packets = std::stoul(std::string(text.begin(), text.end()));
  TMediaStream s;
  ASSERT_TRUE(s.Open(f.path));
  EXPECT_EQ(s.PacketCount(), packets);
  EXPECT_EQ(s.TotalFrames(), f.sourceFrames);
  const std::vector<int16_t> ref = FFmpegReference(f.path, 2, 44100);
  ASSERT_EQ(static_cast<int64_t>(ref.size()), f.sourceFrames * 2);
  std::vector<int16_t> buf(2 * 5000);
  for (int64_t first : {int64_t{100000}, int64_t{999}, f.sourceFrames - 5000}) {
    ASSERT_EQ(s.Read(first, buf.data(), 5000), 5000);
    EXPECT_EQ(MaxAbsDiff(buf.data(), ref.data() + first * 2, 10000), 0) << first;
  }
}

TEST(MediaStream, AnExpiredDeadlineEndsTheCallInsteadOfWaiting) {
  ZONDA_REQUIRE_TOOLS("ffmpeg");
  TempDir dir;
  TFixture f;
  // Big enough that a far jump has to read the file again (FFmpeg checks the
  // deadline whenever it goes to the file, the only place a read can block).
  ASSERT_TRUE(MakeFixture(dir, "a.wav", "copy", 10.0, 44100, 2, 16, &f));
  TMediaStream s;
  TMediaStream::ScaleDeadlinesForTests(0);  // every FFmpeg read is interrupted at once
  EXPECT_FALSE(s.Open(f.path));
  TMediaStream::ScaleDeadlinesForTests(100);
  ASSERT_TRUE(s.Open(f.path));
  std::vector<int16_t> buf(2 * 4096);
  TMediaStream::ScaleDeadlinesForTests(0);
  EXPECT_EQ(s.Read(8 * 44100, buf.data(), 4096), 0) << "the jump's reads are cut";
  EXPECT_NE(s.TakeError(), 0);
  TMediaStream::ScaleDeadlinesForTests(100);
  EXPECT_EQ(s.Read(8 * 44100, buf.data(), 4096), 4096) << "and the next read starts over";
}

// Tags appended to raw frame streams: an APEv2 tag whose binary item holds
// frame-like bytes (cover art does), with and without an ID3v1 tag after it,
// an APEv1 tag (no header) and a Lyrics3v2 block. The demuxer would find
// "frames" in them; the stream ends where the tags begin, sample for sample
// the same as the bare file.
TEST(MediaStream, TagsAfterTheAudioAreNotPlayed) {
  ZONDA_REQUIRE_TOOLS("ffmpeg");
  TempDir dir;
  for (const char* name : {"a.mp3", "a.aac"}) {
    SCOPED_TRACE(name);
    TFixture f;
    ASSERT_TRUE(MakeFixture(dir, name,
                            std::string(name).ends_with(".mp3") ? "-c:a libmp3lame -b:a 128k" : "-c:a aac -b:a 128k",
                            2.0, 44100, 2, 16, &f));
    const std::vector<uint8_t> bare = ReadAll(f.path);
    // Ten frames of the file itself as the item's value: headers that parse.
    const std::string frames(bare.begin() + int64_t(bare.size() / 3), bare.begin() + int64_t(bare.size() / 3 + 4000));
    const std::string item = ApeBinaryItem("Cover Art (Front)", frames);
    const struct {
      const char* what;
      std::string tail;
    } tails[] = {
        {"APEv2", ApeTag(item, true)},
        {"APEv2 + ID3v1", ApeTag(item, true) + Id3v1Tag()},
        {"APEv1", ApeTag(item, false)},
        {"Lyrics3v2 + APEv2 + ID3v1", Lyrics3v2(frames.substr(0, 600)) + ApeTag(item, true) + Id3v1Tag()},
    };
    TMediaStream plain;
    ASSERT_TRUE(plain.Open(f.path));
    std::vector<int16_t> want(size_t(plain.TotalFrames()) * 2);
    ASSERT_EQ(plain.Read(0, want.data(), plain.TotalFrames()), plain.TotalFrames());
    for (const auto& t : tails) {
      SCOPED_TRACE(t.what);
      const std::string tagged = dir.file(std::string("tagged-") + name);
      {
        std::ofstream out(tagged, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bare.data()), std::streamsize(bare.size()));
        out << t.tail;
      }
      EXPECT_EQ(AudioEndBeforeTrailingTags(tagged), int64_t(bare.size()));
      TMediaStream s;
      ASSERT_TRUE(s.Open(tagged));
      ASSERT_EQ(s.TotalFrames(), plain.TotalFrames());
      std::vector<int16_t> got(want.size());
      ASSERT_EQ(s.Read(0, got.data(), s.TotalFrames()), s.TotalFrames());
      EXPECT_EQ(MaxAbsDiff(got.data(), want.data(), int64_t(want.size())), 0);
    }
  }
  // Damaged tails end nothing early: a footer claiming more than the file, a
  // Lyrics3 size without its block.
  const std::string odd = dir.file("odd.mp3");
  {
    std::ofstream out(odd, std::ios::binary);
    out << std::string(1000, 'x') << "000020LYRICS200" << "APETAGEX" << Le32(2000) << Le32(99999) << Le32(1)
        << Le32(0x80000000u) << std::string(8, '\0');
  }
  EXPECT_EQ(AudioEndBeforeTrailingTags(odd), 1000 + 15 + 32);
  EXPECT_EQ(AudioEndBeforeTrailingTags(dir.file("missing.mp3")), -1);
}

}  // namespace
}  // namespace zonda::test
