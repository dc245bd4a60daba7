#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "decoding/core/MpegFirstFrame.h"
#include "tests/support/Require.h"
#include "tests/support/TestFiles.h"

namespace zonda {
namespace {

using Bytes = std::vector<uint8_t>;

// MPEG-1 layer III, 128 kbit/s, 44100 Hz, no padding: 417 bytes.
Bytes Frame(uint8_t b2 = 0x90) {
  Bytes f(static_cast<size_t>(MpegFrameLength(Bytes{0xFF, 0xFB, b2, 0x64}.data())), 0x55);
  f[0] = 0xFF, f[1] = 0xFB, f[2] = b2, f[3] = 0x64;
  return f;
}

Bytes Id3v2(size_t body, uint8_t flags = 0, uint8_t fill = 0) {
  Bytes t = {'I', 'D', '3', 4, 0, flags, static_cast<uint8_t>(body >> 21 & 0x7F), static_cast<uint8_t>(body >> 14 & 0x7F),
             static_cast<uint8_t>(body >> 7 & 0x7F), static_cast<uint8_t>(body & 0x7F)};
  t.insert(t.end(), body, fill);
  if (flags & 0x10) t.insert(t.end(), {'3', 'D', 'I', 4, 0, flags, t[6], t[7], t[8], t[9]});
  return t;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
  Bytes all;
  for (const Bytes& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

TEST(MpegFirstFrame, FrameLengthsOfTheHeaderKinds) {
  struct Case {
    uint8_t b1, b2, b3;
    int length;
  } cases[] = {
      {0xFB, 0x90, 0x64, 417},   // MPEG-1 L3 128k 44100
      {0xFB, 0x92, 0x64, 418},   // same, padded
      {0xFD, 0x94, 0x00, 480},   // MPEG-1 L2 160k 48000: 144*160000/48000
      {0xFF, 0x40, 0x00, 136},   // MPEG-1 L1 128k 44100: 4*(12*128000/44100)
      {0xF3, 0x80, 0x00, 208},   // MPEG-2 L3 64k 22050: 72*64000/22050
      {0xE3, 0x80, 0x00, 417},   // MPEG-2.5 L3 64k 11025
      {0xFB, 0x00, 0x00, 0},     // free format refused
      {0xFB, 0xF0, 0x00, 0},     // bitrate index 15
      {0xFB, 0x9C, 0x00, 0},     // sample-rate index 3
      {0xFB, 0x90, 0x02, 0},     // emphasis 2
      {0xEB, 0x90, 0x00, 0},     // version 01 reserved
      {0xF9, 0x90, 0x00, 0},     // layer 00 reserved
  };
  for (const Case& c : cases) {
    const uint8_t h[4] = {0xFF, c.b1, c.b2, c.b3};
    EXPECT_EQ(MpegFrameLength(h), c.length) << std::hex << int(c.b1) << " " << int(c.b2);
  }
  const uint8_t noSync[4] = {0xFE, 0xFB, 0x90, 0x64};
  EXPECT_EQ(MpegFrameLength(noSync), 0);
}

TEST(MpegFirstFrame, ScansBuffers) {
  const Bytes frames = Cat({Frame(), Frame(), Frame()});
  // A lone sync in junk whose "next frame" is no frame, and a sync-looking run inside a tag.
  Bytes falseSync = {0, 0, 0xFF, 0xFB, 0x90, 0x64, 1, 2, 3};
  falseSync.resize(600, 0x11);
  const Bytes tagWithSyncs = Id3v2(2000, 0, 0xFF);
  struct Case {
    const char* name;
    Bytes data;
    int64_t expected;
  } cases[] = {
      {"bare frames", frames, 0},
      {"junk before", Cat({Bytes(37, 0), frames}), 37},
      {"id3v2 tag", Cat({Id3v2(1000), frames}), 1010},
      {"tag full of FF bytes", Cat({tagWithSyncs, frames}), 2010},
      {"tag with footer", Cat({Id3v2(100, 0x10), frames}), 120},
      {"two tags", Cat({Id3v2(50), Id3v2(60), frames}), 130},
      {"false sync in junk", Cat({falseSync, frames}), 600},
      {"single frame to end of file", Frame(), 0},
      {"single frame then ID3v1", Cat({Frame(), Bytes{'T', 'A', 'G'}, Bytes(125, 0)}), 0},
      {"frame with mismatched follower", Cat({Frame(0x90), Bytes{0xFF, 0xFB, 0x94, 0x64}, Bytes(600, 0)}), -1},
      {"nothing", Bytes(5000, 0), -1},
      {"empty", Bytes{}, -1},
      {"only a tag", Id3v2(100), -1},
      {"tag larger than file", Cat({Bytes{'I', 'D', '3', 4, 0, 0, 0, 0x7F, 0x7F, 0x7F}, frames}), -1},
      {"free format frames", Cat({Bytes{0xFF, 0xFB, 0x00, 0x64}, Bytes(400, 0), Bytes{0xFF, 0xFB, 0x00, 0x64}}), -1},
  };
  for (const Case& c : cases) EXPECT_EQ(MpegFirstFrameInMemory(c.data), c.expected) << c.name;
}

TEST(MpegFirstFrame, FilesMatchTheBufferScan) {
  test::TempDir dir;
  const Bytes data = Cat({Id3v2(300000, 0, 0xFF), Bytes(3, 0), Frame(), Frame()});
  const std::string name = dir.file("t.mp3");
  std::ofstream(name, std::ios::binary).write(reinterpret_cast<const char*>(data.data()), std::streamsize(data.size()));
  EXPECT_EQ(MpegFirstFramePos(name.c_str()), 300013);
  EXPECT_EQ(MpegFirstFramePos(dir.file("missing.mp3").c_str()), -1);
  EXPECT_EQ(MpegFirstFramePos(""), -1);
  EXPECT_EQ(MpegFirstFramePos(nullptr), -1);
}

TEST(MpegFirstFrame, LameFileWithTagAgreesWithItsHeader) {
  ZONDA_REQUIRE_TOOLS("lame", "sox");
  test::TempDir dir;
  const std::string wav = dir.file("a.wav"), mp3 = dir.file("a.mp3");
  test::WriteDeckWav(wav, test::SineStereo(44100, 440, 660));
  ASSERT_EQ(test::Run("lame --quiet --id3v2-only --tt title --tc '" + std::string(300, 'c') + "' " + wav + " " + mp3), 0);
  const Bytes file = test::ReadAll(mp3);
  const int64_t tag = Id3v2TagSize(file);
  ASSERT_GT(tag, 300);
  const int64_t pos = MpegFirstFramePos(mp3.c_str());
  EXPECT_EQ(pos, tag);
  ASSERT_GE(pos, 0);
  EXPECT_EQ(file[size_t(pos)], 0xFF);
}

}  // namespace
}  // namespace zonda
