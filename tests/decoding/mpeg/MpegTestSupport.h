#pragma once
// Helpers shared by the MPEG tests: fixtures made at test time with Debian's
// encoders, an independent sequential decode through the core, the float
// reference decode of mpg123 and the ISO/IEC 11172-4 accuracy measure.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "decoding/core/MpegFirstFrame.h"
#include "decoding/mpeg/MpegAudioCore.h"
#include "tests/support/TestFiles.h"

namespace zonda::test {

// A source signal with the texture of music: a silent lead-in, plucked notes
// with decays, two sweeps and a pink-noise burst with a fade (3 seconds).
inline bool MakeSourceWav(const std::string& wav, double seconds = 3.0) {
  const double t = seconds / 3.0;
  char cmd[1024];
  std::snprintf(cmd, sizeof(cmd),
                "sox -q -n -r 44100 -c 2 -b 16 '%s' synth %.3f sine 0 vol 0 : synth %.3f pluck C3 pluck G4 fade 0 %.3f "
                "%.3f : synth %.3f sine 100-8000 sine 300-6000 vol 0.4 : synth %.3f pinknoise fade 0 %.3f %.3f vol 0.3",
                wav.c_str(), 0.3 * t, 1.2 * t, 1.2 * t, 0.8 * t, 1.0 * t, 0.5 * t, 0.5 * t, 0.4 * t);
  return Run(cmd) == 0;
}

inline std::vector<int16_t> ToSamples(const std::vector<uint8_t>& bytes) {
  std::vector<int16_t> s(bytes.size() / 2);
  std::memcpy(s.data(), bytes.data(), s.size() * 2);
  return s;
}

// mpg123's float decode from the first audio frame (no gapless trimming).
inline std::vector<float> ReferenceDecode(const std::string& file, const std::string& out) {
  std::vector<float> f;
  if (Run("mpg123 -q --no-gapless -e f32 -s '" + file + "' > '" + out + "' 2>/dev/null") != 0) return f;
  const std::vector<uint8_t> bytes = ReadAll(out);
  f.resize(bytes.size() / 4);
  std::memcpy(f.data(), bytes.data(), f.size() * 4);
  return f;
}

// One sequential decode through the core alone: first frame by the lookup, a
// VBR information frame skipped, every frame in order.
inline std::vector<uint8_t> SequentialDecode(const std::string& file) {
  std::vector<uint8_t> out;
  const std::vector<uint8_t> d = ReadAll(file);
  const int64_t first = MpegFirstFramePos(file.c_str());
  if (first < 0) return out;
  size_t pos = size_t(first);
  mpeg::TMpegHeader h;
  int32_t len = mpeg::ParseHeader(d.data() + pos, int32_t(d.size() - pos), h);
  if (len <= 0 || !mpeg::InitDecoder(h, len, 0, 0, 0, 24000)) return out;
  mpeg::TMpegOutputInfo info;
  mpeg::GetOutputInfo(info);
  const bool mono = h.mode == 3;
  size_t b = (h.protectionBit == 0 ? 2 : 0) + (h.id ? (mono ? 21 : 36) : (mono ? 13 : 21));
  const int pad = h.paddingBit ? (h.layerCode == 3 ? 4 : 1) : 0;
  auto tagAt = [&](size_t at) {
    return pos + at + 4 <= d.size() && (!std::memcmp(&d[pos + at], "Xing", 4) || !std::memcmp(&d[pos + at], "Info", 4) ||
                                        !std::memcmp(&d[pos + at], "VBRI", 4));
  };
  if (tagAt(b) || tagAt(36) || (h.protectionBit == 0 && tagAt(b - 2)))
    pos += size_t(len + pad);
  std::vector<int16_t> frame(size_t(info.outputValues));
  while (pos + 4 <= d.size()) {
    len = mpeg::ParseHeader(d.data() + pos, int32_t(d.size() - pos), h);
    if (len <= 0) break;
    const size_t full = size_t(len + (h.paddingBit ? (h.layerCode == 3 ? 4 : 1) : 0));
    if (pos + full > d.size()) break;
    const mpeg::TDecodeResult r = mpeg::DecodeFrame(d.data() + pos, int32_t(full), frame.data());
    if (r.bytesConsumed < 1) std::fill(frame.begin(), frame.end(), 0);
    const uint8_t* p = reinterpret_cast<const uint8_t*>(frame.data());
    out.insert(out.end(), p, p + info.outputValues * 2);
    pos += full;
  }
  return out;
}

struct TAccuracy {
  double rmsLsb = 0;   // in units of 2^-15 of full scale
  double maxLsb = 0;
  double roundingRmsLsb = 0;  // what ideal rounding of the reference to 16 bits gives
  size_t compared = 0;
  size_t clipped = 0;
  size_t clipsNotSaturated = 0;  // clipped in the reference, but ours is not at the rail
};

// ISO/IEC 11172-4 full accuracy: RMS below 2^-15/sqrt(12) of full scale and no
// sample off by more than 2^-14, outside clipped samples.
inline constexpr double kIsoRmsBoundLsb = 0.28867513459481287;  // 1/sqrt(12)
inline constexpr double kIsoMaxBoundLsb = 2.0;

inline TAccuracy Compare(const std::vector<int16_t>& ours, const std::vector<float>& ref) {
  TAccuracy a;
  const size_t n = std::min(ours.size(), ref.size());
  double sum = 0, ideal = 0;
  for (size_t i = 0; i < n; ++i) {
    const double r = double(ref[i]) * 32768.0;
    if (r >= 32767.0 || r <= -32768.0) {
      ++a.clipped;
      // Over full scale the output saturates: a wrapped sample is a loud click.
      if (ours[i] != (r > 0 ? 32767 : -32768)) ++a.clipsNotSaturated;
      continue;
    }
    const double e = double(ours[i]) - r;
    sum += e * e;
    const double q = std::nearbyint(r) - r;
    ideal += q * q;
    a.maxLsb = std::max(a.maxLsb, std::fabs(e));
    ++a.compared;
  }
  a.rmsLsb = a.compared ? std::sqrt(sum / double(a.compared)) : 0;
  a.roundingRmsLsb = a.compared ? std::sqrt(ideal / double(a.compared)) : 0;
  return a;
}

}  // namespace zonda::test

#include "decoding/mpeg/DecoderMP3.h"

namespace zonda::test {

struct TFixtureResult {
  TAccuracy accuracy;
  size_t referenceBytes = 0;
  int32_t pcmSize = 0;
};

// The checks every fixture gets: opens; the core's sequential decode has the
// reference's length and meets the accuracy bound; ReadAt of deck chunks and of
// random stretches gives exactly the sequential bytes; PCMSize is the
// reference length.
inline TFixtureResult CheckFixture(const TempDir& dir, const std::string& family, const std::string& file,
                                   uint32_t seed) {
  TFixtureResult res;
  SCOPED_TRACE(family + ": " + file);
  const std::vector<float> ref = ReferenceDecode(file, dir.file("ref.f32"));
  EXPECT_FALSE(ref.empty());
  const std::vector<uint8_t> seq = SequentialDecode(file);
  EXPECT_EQ(seq.size(), ref.size() * 2);
  res.referenceBytes = ref.size() * 2;
  res.accuracy = Compare(ToSamples(seq), ref);
  // Full accuracy for 16-bit output: the error is the rounding to 16 bits that
  // no decoder can avoid, and no more. (For loud noise-like signals that
  // rounding alone comes to 1/sqrt(12) LSB, the RMS bound, give or take a
  // little either way: the bound itself would decide by chance.)
  EXPECT_LT(res.accuracy.rmsLsb, res.accuracy.roundingRmsLsb + 0.005);
  EXPECT_LT(res.accuracy.maxLsb, kIsoMaxBoundLsb);
  EXPECT_EQ(res.accuracy.clipsNotSaturated, 0u);
  std::printf("[accuracy] %-10s %-28s rms %.4f LSB (bound %.4f, ideal rounding %.4f) max %.3f LSB (bound %.1f) clipped %zu\n",
              family.c_str(), std::filesystem::path(file).filename().c_str(), res.accuracy.rmsLsb, kIsoRmsBoundLsb,
              res.accuracy.roundingRmsLsb, res.accuracy.maxLsb, kIsoMaxBoundLsb, res.accuracy.clipped);

  TDecoderMP3 mp3;
  EXPECT_TRUE(mp3.Open(file));
  res.pcmSize = mp3.PCMSize();
  // The length is the frames in the file, whatever a tag says or lacks.
  EXPECT_EQ(int64_t(res.pcmSize), int64_t(ref.size()) * 2);
  auto expectRead = [&](int32_t pos, int32_t len) {
    std::vector<uint8_t> got(size_t(len), 0xAA);
    ASSERT_EQ(mp3.ReadAt(pos, got.data(), len), len);
    std::vector<uint8_t> want(size_t(len), 0);
    if (size_t(pos) < seq.size())
      std::copy_n(seq.begin() + pos, std::min<size_t>(size_t(len), seq.size() - size_t(pos)), want.begin());
    EXPECT_TRUE(got == want) << "ReadAt(" << pos << ", " << len << ") differs from the sequential decode";
  };
  expectRead(0, 1058400);
  if (seq.size() > 1058400) expectRead(1058400, 1058400);
  // Inside the first frames (no full pre-roll possible) and just past them,
  // then a short stretch in each of up to 60 frames spread over the file.
  for (int k : {1, 5, 9, 10}) expectRead(mp3.BytesPerFrame() * k + 8, 4 * 2048);
  const size_t frames = seq.size() / size_t(std::max(1, mp3.BytesPerFrame()));
  for (size_t k = 0; k < frames; k += std::max<size_t>(1, frames / 60))
    expectRead(int32_t(k) * mp3.BytesPerFrame() + 4 * int32_t(k % 7), 256);
  uint32_t s = seed;
  for (int i = 0; i < 5; ++i) {
    s = s * 1664525u + 1013904223u;
    const int32_t pos = int32_t((s >> 8) % (seq.size() / 4 + 1)) * 4;
    expectRead(pos, 4 * 11025);
  }
  return res;
}

}  // namespace zonda::test
