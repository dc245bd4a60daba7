// The MPEG core's interface: header parsing and frame lengths, the frame
// search, free format, initialisation and output information, and decoding
// of damaged input without reading outside the frame.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "decoding/mpeg/MpegAudioCore.h"
#include "decoding/mpeg/MpegHuffman.h"

namespace zonda::mpeg {
namespace {

TEST(MpegHuffman, TablesAreCompletePrefixCodes) { EXPECT_TRUE(TMpegHuffman::Get().Consistent()); }

struct THeaderCase {
  uint8_t b[4];
  int32_t length;  // without padding; 0 = refused
  const char* what;
};

TEST(MpegCore, ParseHeaderLengths) {
  const THeaderCase cases[] = {
      {{0xFF, 0xFB, 0x90, 0x64}, 417, "MPEG-1 III 128k 44.1k"},
      {{0xFF, 0xFB, 0x92, 0x64}, 417, "same with padding: length excludes the slot"},
      {{0xFF, 0xFB, 0xE4, 0x44}, 960, "MPEG-1 III 320k 48k"},
      {{0xFF, 0xFD, 0xA4, 0x00}, 576, "MPEG-1 II 192k 48k, CRC"},
      {{0xFF, 0xFF, 0xE0, 0x00}, 484, "MPEG-1 I 448k 44.1k: 4 * floor(12 * 448000 / 44100)"},
      {{0xFF, 0xFF, 0xC0, 0x00}, 416, "MPEG-1 I 384k 44.1k"},
      {{0xFF, 0xF3, 0x80, 0xC4}, 208, "MPEG-2 III 64k 22.05k"},
      {{0xFF, 0xF5, 0x80, 0x00}, 417, "MPEG-2 II 64k 22.05k"},
      {{0xFF, 0xE3, 0x28, 0xC4}, 144, "MPEG-2.5 III 16k 8k"},
      {{0xFF, 0xE3, 0x18, 0xC4}, 72, "MPEG-2.5 III 8k 8k"},
      {{0xFF, 0xFB, 0xF0, 0x64}, 0, "bitrate index 15"},
      {{0xFF, 0xFB, 0x9C, 0x64}, 0, "sample-rate index 3"},
      {{0xFF, 0xF9, 0x90, 0x64}, 0, "layer code 0"},
      {{0xFF, 0xEB, 0x90, 0x64}, 0, "reserved version 01"},
      {{0xFE, 0xFB, 0x90, 0x64}, 0, "no sync"},
  };
  for (const THeaderCase& c : cases) {
    TMpegHeader h;
    EXPECT_EQ(ParseHeader(c.b, 4, h), c.length) << c.what;
  }
  TMpegHeader h;
  ASSERT_GT(ParseHeader(cases[1].b, 4, h), 0);
  EXPECT_EQ(h.syncKind, 1);
  EXPECT_EQ(h.id, 1);
  EXPECT_EQ(h.layerCode, 1);
  EXPECT_EQ(h.protectionBit, 1);
  EXPECT_EQ(h.bitrateIndex, 9);
  EXPECT_EQ(h.paddingBit, 1);
  EXPECT_EQ(h.mode, 1);
  EXPECT_EQ(h.modeExtension, 2);
  ASSERT_GT(ParseHeader(cases[9].b, 4, h), 0);
  EXPECT_EQ(h.syncKind, 2);
  EXPECT_EQ(h.id, 0);
  EXPECT_EQ(ParseHeader(cases[0].b, 3, h), 0) << "fewer than 4 bytes";
}

TEST(MpegCore, FindFrameSkipsToTheFirstSync) {
  std::vector<uint8_t> d = {0x00, 0x12, 0xFF, 0x00, 0xFF, 0xFB, 0x90, 0x64};
  TMpegHeader h;
  int32_t bitrate = -1, skipped = -1;
  EXPECT_EQ(FindFrame(d.data(), int32_t(d.size()), h, bitrate, skipped), 417);
  EXPECT_EQ(skipped, 4);
  EXPECT_EQ(bitrate, 128000);
  const uint8_t none[] = {0xFF, 0x10, 0x00, 0xFF};
  EXPECT_EQ(FindFrame(none, 4, h, bitrate, skipped), 0);
}

TEST(MpegCore, FreeFormatLengthIsMeasuredFromTheNextSyncs) {
  // Three free-format MPEG-1 layer III frames of 300 bytes.
  std::vector<uint8_t> d(900, 0);
  for (int f = 0; f < 3; ++f) {
    d[size_t(f) * 300] = 0xFF;
    d[size_t(f) * 300 + 1] = 0xFB;
    d[size_t(f) * 300 + 2] = 0x00;
    d[size_t(f) * 300 + 3] = 0xC4;
  }
  TMpegHeader h;
  EXPECT_EQ(ParseHeader(d.data(), int32_t(d.size()), h), 300);
  int32_t bitrate = 0, skipped = 0;
  EXPECT_EQ(FindFrame(d.data(), int32_t(d.size()), h, bitrate, skipped), 300);
  EXPECT_EQ(bitrate, 300 * 8 * 44100 / 1152);
  EXPECT_EQ(ParseHeader(d.data(), 200, h), 0) << "no second sync within the bytes at hand";
}

TEST(MpegCore, InitAndOutputInfo) {
  struct {
    uint8_t b[4];
    int channels, values, rate;
  } cases[] = {
      {{0xFF, 0xFB, 0x90, 0x64}, 2, 2304, 44100},
      {{0xFF, 0xF3, 0x80, 0xC4}, 1, 576, 22050},
      {{0xFF, 0xFF, 0xE0, 0x00}, 2, 768, 44100},
      {{0xFF, 0xE3, 0x18, 0xC4}, 1, 576, 8000},
      {{0xFF, 0xFD, 0xA4, 0x00}, 2, 2304, 48000},
  };
  for (const auto& c : cases) {
    TMpegHeader h;
    const int32_t len = ParseHeader(c.b, 4, h);
    ASSERT_EQ(InitDecoder(h, len, 0, 0, 0, 24000), 1);
    TMpegOutputInfo info;
    GetOutputInfo(info);
    EXPECT_EQ(info.channels, c.channels);
    EXPECT_EQ(info.outputValues, c.values);
    EXPECT_EQ(info.sampleRate, c.rate);
    EXPECT_EQ(info.bitsPerSample, 16);
    EXPECT_EQ(info.frameBytes, c.values * 2);
  }
  TMpegHeader h;
  const uint8_t ok[4] = {0xFF, 0xFB, 0x90, 0x64};
  ParseHeader(ok, 4, h);
  EXPECT_EQ(InitDecoder(h, 417, 1, 0, 0, 24000), 0) << "reduced rates are not offered";
  h.sampleRateIndex = 3;
  EXPECT_EQ(InitDecoder(h, 417, 0, 0, 0, 24000), 0);
}

// Valid headers with random bodies, truncated frames and headers of another
// layer: every call returns, stays inside the bytes given (ASan checks) and
// never claims more than the frame.
TEST(MpegCore, DamagedFramesAreSafe) {
  std::mt19937 rng(42);
  const uint8_t headers[][4] = {
      {0xFF, 0xFB, 0x90, 0x64}, {0xFF, 0xFA, 0xE4, 0x00}, {0xFF, 0xF3, 0x80, 0xC4}, {0xFF, 0xE3, 0x18, 0x04},
      {0xFF, 0xFD, 0xA4, 0x00}, {0xFF, 0xF5, 0x80, 0x40}, {0xFF, 0xFF, 0xE0, 0x00}, {0xFF, 0xFE, 0x40, 0x80},
  };
  std::vector<int16_t> out(2304);
  for (const auto& hb : headers) {
    TMpegHeader h;
    const int32_t len = ParseHeader(hb, 4, h);
    ASSERT_GT(len, 0);
    ASSERT_EQ(InitDecoder(h, len, 0, 0, 0, 24000), 1);
    TMpegOutputInfo info;
    GetOutputInfo(info);
    for (int trial = 0; trial < 300; ++trial) {
      const int32_t frameBytes = len + ((hb[2] >> 1) & 1) * ((hb[1] >> 1 & 3) == 3 ? 4 : 1);
      std::vector<uint8_t> frame(static_cast<size_t>(frameBytes));
      for (auto& b : frame) b = uint8_t(rng());
      std::copy(hb, hb + 4, frame.begin());
      if (trial % 3 == 0) std::fill(frame.begin() + 4, frame.begin() + std::min<int32_t>(40, frameBytes), 0xFF);
      const int32_t avail = trial % 5 == 0 ? int32_t(rng() % size_t(frameBytes)) : frameBytes;
      const std::vector<uint8_t> exact(frame.begin(), frame.begin() + avail);  // exactly `avail` bytes for ASan
      const TDecodeResult r = DecodeFrame(exact.data(), avail, out.data());
      EXPECT_LE(r.bytesConsumed, avail);
      if (r.bytesConsumed > 0) {
        EXPECT_EQ(r.bytesProduced, info.frameBytes);
      }
    }
  }
  // A frame of another layer than the initialised stream is refused.
  TMpegHeader h;
  ParseHeader(headers[0], 4, h);
  InitDecoder(h, 417, 0, 0, 0, 24000);
  std::vector<uint8_t> layer2(576, 0);
  std::copy(headers[4], headers[4] + 4, layer2.begin());
  EXPECT_EQ(DecodeFrame(layer2.data(), int32_t(layer2.size()), out.data()).bytesConsumed, 0);
}

TEST(MpegCore, ProcessorFeatures) {
  const uint32_t f = ProbeProcessorFeatures();
#if defined(__x86_64__)
  EXPECT_TRUE(f & kCpuFpu);
  EXPECT_TRUE(f & kCpuSse);
#endif
  EXPECT_EQ(SetProcessorFeatures(f), 0);
  EXPECT_EQ(ProcessorFeatures(), f);
}

}  // namespace
}  // namespace zonda::mpeg
