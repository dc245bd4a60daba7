// TDecoderWAV: RIFF chunk walk, accepted layouts, exact data bytes, bad input.
#include <gtest/gtest.h>

#include <fstream>
#include <random>
#include <vector>

#include "decoding/DataProvider.h"
#include "decoding/DecoderWAV.h"
#include "decoding/WavHeader.h"
#include "tests/support/TestFiles.h"

namespace zonda {
namespace {

using test::TempDir;
using test::WavSpec;

std::vector<uint8_t> Pattern(size_t n) {
  std::vector<uint8_t> b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>((i * 37 + 11) & 0xFF);
  return b;
}

void WriteBytes(const std::string& name, const std::vector<uint8_t>& bytes) {
  std::ofstream out(name, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

std::vector<uint8_t> ReadAllAt(TDecoderWAV& d) {
  std::vector<uint8_t> got(static_cast<size_t>(d.PCMSize()) + 100, 0);
  const int32_t n = d.ReadAt(0, got.data(), static_cast<int32_t>(got.size()));
  got.resize(static_cast<size_t>(n < 0 ? 0 : n));
  return got;
}

std::vector<uint8_t> TrailingListChunk() {
  std::vector<uint8_t> t = {'L', 'I', 'S', 'T', 12, 0, 0, 0, 'I', 'N', 'F', 'O', 'I', 'C', 'M', 'T', 0, 0, 0, 0};
  return t;
}

TEST(WavDecoder, AcceptedLayoutsDeliverExactlyTheDataChunk) {
  const struct {
    const char* name;
    WavSpec recipe;
  } cases[] = {
      {"canonical", {}},
      {"fmt18", {2, 44100, 16, 18, 1, false, {}}},
      {"extensible40", {2, 48000, 16, 40, 0xFFFE, false, {}}},
      {"pcm40", {1, 22050, 8, 40, 1, false, {}}},
      {"listBeforeFmt", {2, 44100, 16, 16, 1, true, {}}},
      {"trailingChunk", {2, 44100, 16, 16, 1, false, TrailingListChunk()}},
      {"everything", {1, 44100, 16, 40, 0xFFFE, true, TrailingListChunk()}},
  };
  TempDir dir;
  const auto samples = Pattern(4001 * 4 + 2);  // odd frame count, even byte count
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = dir.file(std::string(c.name) + ".wav");
    test::WriteWav(file, c.recipe, samples);
    TDecoderWAV d;
    ASSERT_TRUE(d.Open(file));
    EXPECT_EQ(d.PCMSize(), static_cast<int32_t>(samples.size()));
    EXPECT_EQ(ReadAllAt(d), samples);
    const WAVEFORMATEX f = d.OutputFormat();
    EXPECT_EQ(f.wFormatTag, 1);
    EXPECT_EQ(f.nChannels, c.recipe.channels);
    EXPECT_EQ(f.nSamplesPerSec, c.recipe.rateHz);
    EXPECT_EQ(f.wBitsPerSample, c.recipe.bits);
    EXPECT_EQ(f.nBlockAlign, c.recipe.channels * c.recipe.bits / 8);
    EXPECT_FALSE(d.Open(file)) << "already open";
    d.Close();
    d.Close();  // harmless
    EXPECT_EQ(d.PCMSize(), 0);
  }
}

TEST(WavDecoder, OldCanonicalFilesReadAsBefore) {
  // The 44-byte header and samples to the end of the file: byte 44 onwards.
  TempDir dir;
  const std::string file = dir.file("old.wav");
  test::WriteWav(file, {}, Pattern(10000));
  const auto raw = test::ReadAll(file);
  TDecoderWAV d;
  ASSERT_TRUE(d.Open(file));
  EXPECT_EQ(d.PCMSize(), static_cast<int32_t>(raw.size() - 44));
  EXPECT_EQ(ReadAllAt(d), std::vector<uint8_t>(raw.begin() + 44, raw.end()));
}

TEST(WavDecoder, ReadAtBoundaries) {
  TempDir dir;
  const std::string file = dir.file("b.wav");
  const auto samples = Pattern(1000);
  test::WriteWav(file, {}, samples);
  TDecoderWAV d;
  std::vector<uint8_t> buf(200);
  EXPECT_EQ(d.ReadAt(0, buf.data(), 200), 0) << "closed";
  ASSERT_TRUE(d.Open(file));
  EXPECT_EQ(d.ReadAt(1000, buf.data(), 200), 0);
  EXPECT_EQ(d.ReadAt(5000, buf.data(), 200), 0);
  EXPECT_EQ(d.ReadAt(-4, buf.data(), 200), 0);
  ASSERT_EQ(d.ReadAt(900, buf.data(), 200), 100);
  EXPECT_TRUE(std::equal(buf.begin(), buf.begin() + 100, samples.begin() + 900));
}

// Builds "RIFF" size "WAVE" + the given chunks.
std::vector<uint8_t> Riff(const std::vector<std::vector<uint8_t>>& chunks) {
  std::vector<uint8_t> b = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
  for (const auto& c : chunks) b.insert(b.end(), c.begin(), c.end());
  return b;
}
std::vector<uint8_t> Chunk(const char* id, uint32_t size, const std::vector<uint8_t>& body) {
  std::vector<uint8_t> c(id, id + 4);
  for (int i = 0; i < 4; ++i) c.push_back(static_cast<uint8_t>(size >> (8 * i)));
  c.insert(c.end(), body.begin(), body.end());
  return c;
}
std::vector<uint8_t> Fmt16(uint16_t tag = 1, uint16_t channels = 2, uint32_t rate = 44100, uint16_t bits = 16) {
  const uint16_t align = static_cast<uint16_t>(channels * bits / 8);
  const uint32_t avg = align * rate;
  return {static_cast<uint8_t>(tag),   static_cast<uint8_t>(tag >> 8),   static_cast<uint8_t>(channels), 0,
          static_cast<uint8_t>(rate),  static_cast<uint8_t>(rate >> 8),  static_cast<uint8_t>(rate >> 16),
          static_cast<uint8_t>(rate >> 24), static_cast<uint8_t>(avg), static_cast<uint8_t>(avg >> 8),
          static_cast<uint8_t>(avg >> 16), static_cast<uint8_t>(avg >> 24), static_cast<uint8_t>(align), 0,
          static_cast<uint8_t>(bits), 0};
}

TEST(WavDecoder, DataSizesAreCutToTheFile) {
  const auto body = Pattern(4000);
  const struct {
    const char* name;
    uint32_t declared;
    int32_t expected;
  } cases[] = {{"exact", 4000, 4000},
               {"short", 1000, 1000},
               {"pastEnd", 9000, 4000},
               {"absurd", 0xFFFFFFFFu, 4000},
               {"unfinishedZero", 0, 4000}};
  TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto bytes = Riff({Chunk("fmt ", 16, Fmt16()), Chunk("data", c.declared, body)});
    const auto layout = ParseWavLayout(bytes.data(), bytes.size());
    ASSERT_TRUE(layout);
    EXPECT_EQ(layout->DataOffset, 44);
    EXPECT_EQ(layout->DataBytes, c.expected);
  }
  // An odd-sized chunk before "fmt " is padded to even.
  const auto padded =
      Riff({Chunk("junk", 3, {1, 2, 3, 0}), Chunk("fmt ", 16, Fmt16()), Chunk("data", 8, Pattern(8))});
  const auto layout = ParseWavLayout(padded.data(), padded.size());
  ASSERT_TRUE(layout);
  EXPECT_EQ(layout->DataOffset, 12 + 12 + 24 + 8);
  EXPECT_EQ(layout->DataBytes, 8);
}

TEST(WavDecoder, BadFilesFailToOpenAndTheFrontSaysMinusOne) {
  std::vector<uint8_t> extensibleFloat = Fmt16(0xFFFE);
  extensibleFloat.insert(extensibleFloat.end(), {22, 0, 16, 0, 3, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0x10, 0, 0x80, 0, 0,
                                                 0xAA, 0, 0x38, 0x9B, 0x71});
  const auto canonical = Riff({Chunk("fmt ", 16, Fmt16()), Chunk("data", 400, Pattern(400))});
  const struct {
    const char* name;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"zeroLength", {}},
      {"truncatedRiff", {'R', 'I', 'F', 'F', 0, 0}},
      {"truncatedFmt", std::vector<uint8_t>(canonical.begin(), canonical.begin() + 30)},
      {"headerOnly", std::vector<uint8_t>(canonical.begin(), canonical.begin() + 44)},
      {"notRiff", Riff({})},
      {"riffNotWave", {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'A', 'V', 'I', ' ', 0, 0, 0, 0}},
      {"noData", Riff({Chunk("fmt ", 16, Fmt16())})},
      {"noFmt", Riff({Chunk("data", 400, Pattern(400))})},
      {"floatTag", Riff({Chunk("fmt ", 16, Fmt16(3)), Chunk("data", 400, Pattern(400))})},
      {"extensibleFloat", Riff({Chunk("fmt ", 40, extensibleFloat), Chunk("data", 400, Pattern(400))})},
      {"fmtSize20", Riff({Chunk("fmt ", 20, [] { auto f = Fmt16(); f.resize(20); return f; }()),
                          Chunk("data", 400, Pattern(400))})},
      {"absurdFmtSize", Riff({Chunk("fmt ", 0xFFFFFFF0u, Fmt16()), Chunk("data", 400, Pattern(400))})},
      {"absurdChunkBeforeFmt", Riff({Chunk("LIST", 0x7FFFFFFFu, {}), Chunk("fmt ", 16, Fmt16())})},
      {"24bit", Riff({Chunk("fmt ", 16, Fmt16(1, 2, 44100, 24)), Chunk("data", 400, Pattern(400))})},
      {"zeroBits", Riff({Chunk("fmt ", 16, Fmt16(1, 2, 44100, 0)), Chunk("data", 400, Pattern(400))})},
      {"zeroChannels", Riff({Chunk("fmt ", 16, Fmt16(1, 0, 44100, 16)), Chunk("data", 400, Pattern(400))})},
      {"zeroRate", Riff({Chunk("fmt ", 16, Fmt16(1, 2, 0, 16)), Chunk("data", 400, Pattern(400))})},
      {"sixChannels", Riff({Chunk("fmt ", 16, Fmt16(1, 6, 44100, 16)), Chunk("data", 400, Pattern(400))})},
      {"96k", Riff({Chunk("fmt ", 16, Fmt16(1, 2, 96000, 16)), Chunk("data", 400, Pattern(400))})},
      // 65282 channels of 65535 bits (found by the fuzzer): refused, no overflow.
      {"absurdChannelsAndBits", Riff({Chunk("fmt ", 16, {1, 0, 0x02, 0xFF, 0x44, 0xAC, 0, 0, 0, 0, 0, 0, 0, 0, 0xFF,
                                                          0xFF}),
                                      Chunk("data", 400, Pattern(400))})},
  };
  TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string file = dir.file(std::string(c.name) + ".wav");
    WriteBytes(file, c.bytes);
    TDataProvider p;
    p.ReplaceDecoderForTests(TDecoderKind::QuickTime, nullptr);  // FFmpeg would play 24-bit, 6 channels, 96k
    EXPECT_FALSE(p.Open(file));
    EXPECT_EQ(p.LastError(), -1);
    EXPECT_FALSE(p.IsOpen());
    std::vector<uint8_t> buf(64);
    EXPECT_EQ(p.ReadPCM(0, buf.data(), 64), 0);
  }
  TDecoderWAV d;
  EXPECT_FALSE(d.Open(dir.file("missing.wav")));
  EXPECT_FALSE(d.Open(dir.path().string())) << "a folder";
}

TEST(WavDecoder, RandomBytesNeverOpenOrCrash) {
  std::mt19937 rng(12345);
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_int_distribution<size_t> length(0, 300);
  TempDir dir;
  const std::string file = dir.file("random.wav");
  for (int i = 0; i < 300; ++i) {
    std::vector<uint8_t> bytes(length(rng));
    for (auto& b : bytes) b = static_cast<uint8_t>(byte(rng));
    // Every third file gets a valid RIFF/WAVE start so the chunk walk is reached.
    if (i % 3 == 0 && bytes.size() >= 12) std::copy_n("RIFF....WAVE", 12, bytes.begin());
    WriteBytes(file, bytes);
    TDataProvider p;
    if (p.Open(file)) {
      std::vector<uint8_t> buf(4096);
      EXPECT_GE(p.ReadPCM(0, buf.data(), 4096), 0);
    }
  }
}

}  // namespace
}  // namespace zonda
