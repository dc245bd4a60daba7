// Byte mapping and integer conversion to deck PCM.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "decoding/PCMConversion.h"

namespace zonda {
namespace {

TEST(PCMConversion, RoundsToNearestMultipleOfFourWithTwoAboveGoingUp) {
  const struct { int64_t in, out; } cases[] = {{0, 0}, {4, 4}, {5, 4}, {6, 8}, {7, 8}, {9, 8}, {10, 12}, {11, 12}};
  for (const auto& c : cases) EXPECT_EQ(RoundToMultipleOf4(c.in), c.out) << c.in;
}

TEST(PCMConversion, ByteMappingCases) {
  const struct {
    int64_t n;
    uint32_t avg;
    bool toDeck;
    int64_t expected;
  } cases[] = {
      {1058400, 176400, true, 1058400},   // deck PCM maps to itself
      {1058400, 176400, false, 1058400},
      {132300, 22050, true, 1058400},     // 22050 Hz 8-bit mono: x 8
      {1058400, 22050, false, 132300},
      {1001, 22050, true, 8008},
      {1001, 88200, true, 2004},          // 2002 is 2 above a multiple of 4: up
      {1003, 88200, true, 2008},          // 2006 -> 2008
      {1, 352800, true, 0},               // 0.5 -> 0: halves to even
      {3, 352800, true, 4},               // 1.5 -> 2 -> 4
      {1058400, 192000, false, 1152000},  // a 48 kHz chunk read fills 1152000 scratch bytes
      {1152000, 192000, true, 1058400},
  };
  for (const auto& c : cases) {
    const int64_t got = c.toDeck ? SourceToDeckBytes(c.n, c.avg) : DeckToSourceBytes(c.n, c.avg);
    EXPECT_EQ(got, c.expected) << c.n << " at " << c.avg << (c.toDeck ? " to deck" : " to source");
  }
}

std::vector<uint8_t> Convert(const WAVEFORMATEX& src, const std::vector<uint8_t>& in, uint32_t capacity = 1 << 20) {
  std::vector<uint8_t> out(capacity, 0xEE);
  const uint32_t n = ConvertToDeckPCM(kDeckFormat, out.data(), capacity, src, static_cast<uint32_t>(in.size()),
                                      in.data());
  out.resize(n);
  return out;
}

std::vector<int16_t> Samples(const std::vector<uint8_t>& bytes) {
  std::vector<int16_t> s(bytes.size() / 2);
  std::memcpy(s.data(), bytes.data(), s.size() * 2);
  return s;
}

TEST(PCMConversion, EightBitMono22050WritesEveryFrameTwiceOnBothChannels) {
  const auto out = Samples(Convert(InitPCMFormat(8, 1, 22050), {0x80, 0x00, 0xFF, 0x81}));
  const std::vector<int16_t> expected = {0,      0,      0,     0,     -32768, -32768, -32768, -32768,
                                         32512, 32512, 32512, 32512, 256,    256,    256,    256};
  EXPECT_EQ(out, expected);
}

TEST(PCMConversion, SixteenBitMonoAndEightBitStereoAtDeckRate) {
  EXPECT_EQ(Samples(Convert(InitPCMFormat(16, 1, 44100), {0x34, 0x12, 0xFF, 0xFF})),
            (std::vector<int16_t>{0x1234, 0x1234, -1, -1}));
  EXPECT_EQ(Samples(Convert(InitPCMFormat(8, 2, 44100), {0x80, 0x7F, 0x90, 0x70})),
            (std::vector<int16_t>{0, -256, 4096, -4096}));
}

TEST(PCMConversion, DeckFormatIsCopiedUnchanged) {
  std::vector<uint8_t> in(4000);
  for (size_t i = 0; i < in.size(); ++i) in[i] = static_cast<uint8_t>(i * 7);
  EXPECT_EQ(Convert(kDeckFormat, in), in);
}

TEST(PCMConversion, RateChangeCountsFollowTheAccumulator) {
  // One second of 48 kHz thins to exactly one second at 44.1 kHz; 8 kHz grows to 44098
  // (the accumulator restarts per call, so a block may end a frame or two short).
  const struct { uint32_t rate; uint32_t frames; uint32_t expectedFrames; } cases[] = {
      {48000, 48000, 44100}, {8000, 8000, 44098}, {44100, 1000, 1000}, {32000, 320, 441}};
  for (const auto& c : cases) {
    std::vector<uint8_t> in(c.frames * 4);
    const auto out = Convert(InitPCMFormat(16, 2, c.rate), in, 1 << 22);
    EXPECT_EQ(out.size() / 4, c.expectedFrames) << c.rate;
  }
}

TEST(PCMConversion, ThinningKeepsFramesInOrder) {
  std::vector<uint8_t> in;
  for (int f = 0; f < 480; ++f) {
    for (int ch = 0; ch < 2; ++ch) {
      in.push_back(static_cast<uint8_t>(f & 0xFF));
      in.push_back(static_cast<uint8_t>(f >> 8));
    }
  }
  const auto out = Samples(Convert(InitPCMFormat(16, 2, 48000), in));
  ASSERT_EQ(out.size(), 441u * 2);
  for (size_t i = 1; i < 441; ++i) {
    EXPECT_GT(out[2 * i], out[2 * (i - 1)]);  // strictly increasing source index: no frame repeated
    EXPECT_EQ(out[2 * i], out[2 * i + 1]);
    EXPECT_NEAR(out[2 * i], i * 48000.0 / 44100.0, 1.0);
  }
}

TEST(PCMConversion, NeverWritesPastTheDestinationCapacity) {
  // 8 kHz mono to 44.1 kHz can produce a frame more than the byte estimate.
  std::vector<uint8_t> in(8000, 0x90);
  std::vector<uint8_t> out(1000 + 64, 0xEE);
  const uint32_t n = ConvertToDeckPCM(kDeckFormat, out.data(), 1000, InitPCMFormat(8, 1, 8000), 8000, in.data());
  EXPECT_EQ(n, 1000u);
  for (size_t i = 1000; i < out.size(); ++i) ASSERT_EQ(out[i], 0xEE);
}

TEST(PCMConversion, UnusableFormatsWriteNothing) {
  std::vector<uint8_t> in(64, 1);
  for (const auto& f : {InitPCMFormat(0, 2, 44100), InitPCMFormat(16, 0, 44100), InitPCMFormat(16, 2, 0),
                        InitPCMFormat(24, 2, 44100), InitPCMFormat(16, 6, 44100)}) {
    EXPECT_TRUE(Convert(f, in).empty());
  }
}

}  // namespace
}  // namespace zonda
