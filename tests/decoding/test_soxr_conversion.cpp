// The high-quality converter of the decoder front (libsoxr): random access
// that is sample-exact, every chunk equal to one continuous conversion of the
// whole file, checked at every chunk edge, and the setting that selects it.
#include <gtest/gtest.h>
#include <soxr.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

#include "decoding/DataProvider.h"
#include "decoding/SoxrConversion.h"
#include "tests/support/TestFiles.h"

namespace zonda {
namespace {

constexpr int32_t kChunkBytes = 1058400;  // the deck's chunk (engine/SoundSource.h)
constexpr int32_t kChunkFrames = kChunkBytes / 4;

// A swept sine plus noise, `seconds` long, as raw sample bytes in the WAV's format.
std::vector<uint8_t> Signal(const test::WavSpec& format, double seconds) {
  const int64_t frames = static_cast<int64_t>(seconds * format.rateHz);
  std::mt19937 random(7);
  std::uniform_real_distribution<double> noise(-0.05, 0.05);
  std::vector<uint8_t> bytes;
  double phase = 0.0;
  for (int64_t f = 0; f < frames; ++f) {
    const double t = static_cast<double>(f) / format.rateHz;
    phase += 2.0 * M_PI * (50.0 + (format.rateHz / 2.0 - 50.0) * t / seconds) / format.rateHz;
    for (int c = 0; c < format.channels; ++c) {
      const double v = 0.6 * std::sin(phase + c) + noise(random);
      if (format.bits == 8) {
        bytes.push_back(static_cast<uint8_t>(std::lround(v * 127.0) + 128));
      } else {
        const auto s = static_cast<int16_t>(std::lround(v * 32767.0));
        bytes.push_back(static_cast<uint8_t>(s & 0xFF));
        bytes.push_back(static_cast<uint8_t>((s >> 8) & 0xFF));
      }
    }
  }
  return bytes;
}

// One continuous conversion of the whole file with the converter's settings.
std::vector<int16_t> Continuous(const test::WavSpec& format, const std::vector<uint8_t>& bytes) {
  WAVEFORMATEX f{};
  f.nChannels = format.channels;
  f.wBitsPerSample = format.bits;
  const int64_t frames = static_cast<int64_t>(bytes.size()) / (format.channels * format.bits / 8);
  std::vector<int16_t> stereo(static_cast<size_t>(frames) * 2);
  ToStereo16(f, bytes.data(), frames, stereo.data());
  soxr_error_t error = nullptr;
  const soxr_io_spec_t io = soxr_io_spec(SOXR_INT16_I, SOXR_FLOAT32_I);
  const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_VHQ, 0);
  const soxr_runtime_spec_t runtime = soxr_runtime_spec(1);
  soxr_t s = soxr_create(format.rateHz, 44100, 2, &error, &io, &quality, &runtime);
  EXPECT_EQ(error, nullptr);
  const size_t cap = static_cast<size_t>(frames * 44100 / format.rateHz + 4096);
  std::vector<float> out(cap * 2);
  size_t done = 0, made = 0, got = 0;
  soxr_process(s, stereo.data(), static_cast<size_t>(frames), &done, out.data(), cap, &got);
  made += got;
  do {
    got = 0;
    soxr_process(s, nullptr, 0, nullptr, out.data() + made * 2, cap - made, &got);
    made += got;
  } while (got > 0);
  soxr_delete(s);
  std::vector<int16_t> pcm(made * 2);
  for (size_t k = 0; k < made * 2; ++k)
    pcm[k] = static_cast<int16_t>(std::lrintf(std::clamp(out[k] * 32768.0f, -32768.0f, 32767.0f)));
  return pcm;
}

struct SoxrCase {
  uint32_t rate;
  uint16_t channels;
  uint16_t bits;
};

class SoxrChunks : public ::testing::TestWithParam<SoxrCase> {};

TEST_P(SoxrChunks, EveryChunkEqualsOneContinuousConversion) {
  const SoxrCase c = GetParam();
  test::TempDir dir;
  test::WavSpec format;
  format.rateHz = c.rate;
  format.channels = c.channels;
  format.bits = c.bits;
  const auto bytes = Signal(format, 20.5);
  const std::string file = dir.file("source.wav");
  test::WriteWav(file, format, bytes);
  const std::vector<int16_t> reference = Continuous(format, bytes);

  SetDeckResampler(TResampler::Soxr);
  TDataProvider p;
  ASSERT_TRUE(p.Open(file));
  SetDeckResampler(TResampler::Linear);
  ASSERT_TRUE(p.ConvertsWithSoxr());
  const int32_t length = p.PCMLength();
  const int32_t frames = length / 4;
  EXPECT_NEAR(frames, static_cast<double>(reference.size() / 2), 2.0);

  // The deck's reads: chunk after chunk, out of order (as after a seek).
  const int32_t chunks = (length + kChunkBytes - 1) / kChunkBytes;
  std::vector<int16_t> whole(static_cast<size_t>(chunks) * kChunkFrames * 2, 0);
  for (int32_t index : {2, 0, 3, 1}) {
    if (index >= chunks) continue;
    std::vector<int16_t> chunk(static_cast<size_t>(kChunkFrames) * 2, 0);
    const int32_t got = p.ReadPCM(index * kChunkBytes, chunk.data(), kChunkBytes);
    EXPECT_EQ(got, std::min(kChunkBytes, length - index * kChunkBytes));
    std::memcpy(whole.data() + static_cast<size_t>(index) * kChunkFrames * 2, chunk.data(), chunk.size() * 2);
  }
  int64_t mismatches = 0;
  for (int32_t f = 0; f < frames; ++f) {
    const int16_t l = f < static_cast<int32_t>(reference.size() / 2) ? reference[2 * f] : 0;
    const int16_t r = f < static_cast<int32_t>(reference.size() / 2) ? reference[2 * f + 1] : 0;
    if (whole[2 * f] != l || whole[2 * f + 1] != r) ++mismatches;
  }
  EXPECT_EQ(mismatches, 0) << "frames unlike the continuous conversion";
  // Every chunk edge explicitly: the last frames of one chunk and the first of the next.
  for (int32_t edge = kChunkFrames; edge < frames; edge += kChunkFrames) {
    for (int32_t f = edge - 4; f < edge + 4 && f < frames; ++f) {
      ASSERT_EQ(whole[2 * f], reference[2 * f]) << "chunk edge " << edge << " frame " << f;
      ASSERT_EQ(whole[2 * f + 1], reference[2 * f + 1]) << "chunk edge " << edge << " frame " << f;
    }
    // No step at the edge beyond what the signal has around it.
    const int step = std::abs(whole[2 * edge] - whole[2 * (edge - 1)]);
    int around = 0;
    for (int32_t f = edge - 64; f < edge + 64 && f + 1 < frames; ++f)
      if (f + 1 != edge) around = std::max(around, std::abs(whole[2 * (f + 1)] - whole[2 * f]));
    EXPECT_LE(step, around + 1) << "a step at chunk edge " << edge;
  }
  // A read that starts anywhere (the preview, a deck's odd request) too.
  for (int32_t start : {12345, 441000, 777777}) {
    std::vector<int16_t> piece(20000 * 2);
    ASSERT_EQ(p.ReadPCM(start * 4, piece.data(), 20000 * 4), 20000 * 4);
    for (int32_t k = 0; k < 20000; ++k) {
      ASSERT_EQ(piece[2 * k], reference[2 * (start + k)]) << "read at " << start << " frame " << k;
      ASSERT_EQ(piece[2 * k + 1], reference[2 * (start + k) + 1]) << "read at " << start << " frame " << k;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Rates, SoxrChunks,
                         ::testing::Values(SoxrCase{48000, 2, 16}, SoxrCase{22050, 2, 16}, SoxrCase{32000, 1, 16},
                                           SoxrCase{11025, 1, 8}),
                         [](const auto& info) {
                           return std::to_string(info.param.rate) + "Hz" + std::to_string(info.param.channels) + "ch" +
                                  std::to_string(info.param.bits) + "bit";
                         });

TEST(SoxrSetting, TheDesignsOwnConverterStaysTheDefault) {
  EXPECT_EQ(DeckResampler(), TResampler::Linear);
  test::TempDir dir;
  test::WavSpec format;
  format.rateHz = 48000;
  test::WriteWav(dir.file("a.wav"), format, Signal(format, 1.0));
  TDataProvider p;
  ASSERT_TRUE(p.Open(dir.file("a.wav")));
  EXPECT_TRUE(p.NeedsConversion());
  EXPECT_FALSE(p.ConvertsWithSoxr());
  p.Close();
  // A 44.1 kHz source is never converted, whatever the setting.
  SetDeckResampler(TResampler::Soxr);
  test::WavSpec deck;
  test::WriteWav(dir.file("b.wav"), deck, Signal(deck, 1.0));
  ASSERT_TRUE(p.Open(dir.file("b.wav")));
  EXPECT_FALSE(p.ConvertsWithSoxr());
  SetDeckResampler(TResampler::Linear);
}

TEST(SoxrSetting, FiltersAnAliasTheDesignsOwnLetsThrough) {
  // A 23 kHz tone in a 48 kHz file: above the deck's Nyquist frequency, so
  // a proper converter removes it; built in folds it to 21.1 kHz.
  test::TempDir dir;
  test::WavSpec format;
  format.rateHz = 48000;
  std::vector<uint8_t> bytes;
  for (int64_t f = 0; f < 96000; ++f) {
    const auto s = static_cast<int16_t>(std::lround(16000.0 * std::sin(2.0 * M_PI * 23000.0 * f / 48000.0)));
    for (int c = 0; c < 2; ++c) {
      bytes.push_back(static_cast<uint8_t>(s & 0xFF));
      bytes.push_back(static_cast<uint8_t>((s >> 8) & 0xFF));
    }
  }
  test::WriteWav(dir.file("hf.wav"), format, bytes);
  auto rms = [&](TResampler which) {
    SetDeckResampler(which);
    TDataProvider p;
    EXPECT_TRUE(p.Open(dir.file("hf.wav")));
    std::vector<int16_t> pcm(44100 * 2);
    p.ReadPCM(22050 * 4, pcm.data(), 44100 * 4);
    double s = 0.0;
    for (int16_t v : pcm) s += double(v) * v;
    SetDeckResampler(TResampler::Linear);
    return std::sqrt(s / pcm.size());
  };
  const double linear = rms(TResampler::Linear);
  const double soxr = rms(TResampler::Soxr);
  EXPECT_GT(linear, 5000.0);
  EXPECT_LT(20.0 * std::log10((soxr + 1e-3) / linear), -80.0) << "soxr " << soxr << " linear " << linear;
}

}  // namespace
}  // namespace zonda
