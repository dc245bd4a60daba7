// The decoder contract on the run-time libraries (TDecoderQT, TDecoderOGG),
// agreement of libquelmo.so with our own WAV and MP3 decoders, and the FFmpeg
// file reader with the front's time arithmetic.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "decoding/DecoderWAV.h"
#include "decoding/core/AudioReadError.h"
#include "decoding/ext/DecoderOGG.h"
#include "decoding/ext/DecoderQT.h"
#include "decoding/ext/DirectShowFileReader.h"
#include "decoding/mpeg/DecoderMP3.h"
#include "tests/quelmo/LibdecFixtures.h"
#include "tests/support/Require.h"

namespace zonda::test {
namespace {

std::vector<uint8_t> ReadWhole(TAudioDecoder& d) {
  std::vector<uint8_t> out(static_cast<size_t>(d.PCMSize()));
  const int32_t chunk = 1058400 / 2;  // within every decoder's largest read
  for (int32_t at = 0; at < d.PCMSize(); at += chunk) {
    const int32_t got = d.ReadAt(at, out.data() + at, std::min(chunk, d.PCMSize() - at));
    if (got <= 0) break;
  }
  return out;
}

class LibraryDecoders : public ::testing::Test {
 protected:
  void SetUp() override {
    ZONDA_REQUIRE_TOOLS("ffmpeg", "oggenc");
  }
  TempDir dir_;
};

TEST_F(LibraryDecoders, QuickTimeAndOggFollowTheContract) {
  TFixture flac, ogg;
  ASSERT_TRUE(MakeFixture(dir_, "a.flac", "-c:a flac", 1.0, 44100, 2, 16, &flac));
  ASSERT_TRUE(MakeFixture(dir_, "m.ogg", "oggenc", 1.0, 22050, 1, 16, &ogg));
  TDecoderQT qt;
  TDecoderOGG vorbis;
  ASSERT_TRUE(qt.Available());
  ASSERT_TRUE(vorbis.Available());
  EXPECT_EQ(qt.PCMSize(), 0);
  std::vector<uint8_t> buf(8192);
  EXPECT_EQ(qt.ReadAt(0, buf.data(), 4096), 0) << "not open";
  EXPECT_FALSE(qt.Open(dir_.file("missing.flac")));
  ASSERT_TRUE(qt.Open(flac.path));
  EXPECT_FALSE(qt.Open(flac.path)) << "already open";
  EXPECT_EQ(qt.PCMSize(), 44100 * 4);
  const WAVEFORMATEX f = qt.OutputFormat();
  EXPECT_EQ(f.wFormatTag, 1);
  EXPECT_EQ(f.nChannels, 2);
  EXPECT_EQ(f.nSamplesPerSec, 44100u);
  EXPECT_EQ(f.wBitsPerSample, 16);
  EXPECT_EQ(f.nBlockAlign, 4);
  const std::vector<uint8_t> all = ReadWhole(qt);
  // A position inside a frame is taken to the frame before it.
  ASSERT_EQ(qt.ReadAt(40001, buf.data(), 4096), 4096);
  EXPECT_EQ(std::memcmp(buf.data(), all.data() + 40000, 4096), 0);
  EXPECT_EQ(qt.ReadAt(qt.PCMSize() - 2048, buf.data(), 4096), 2048) << "short at the end";
  EXPECT_EQ(qt.ReadAt(qt.PCMSize(), buf.data(), 4096), 0);
  EXPECT_EQ(qt.ReadAt(0, buf.data(), 1020), 0) << "255 frames or fewer: nothing";
  qt.Close();
  EXPECT_EQ(qt.PCMSize(), 0);
  qt.Close();

  ASSERT_TRUE(vorbis.Open(ogg.path));
  EXPECT_EQ(vorbis.PCMSize(), 22050 * 2);
  EXPECT_EQ(vorbis.OutputFormat().nChannels, 1);
  EXPECT_EQ(vorbis.OutputFormat().nSamplesPerSec, 22050u);
  const std::vector<uint8_t> mono = ReadWhole(vorbis);
  ASSERT_EQ(vorbis.ReadAt(10001, buf.data(), 3000), 3000);
  EXPECT_EQ(std::memcmp(buf.data(), mono.data() + 10000, 3000), 0);
  // The same file through the QuickTime library: the same length, and two
  // float Vorbis decoders that differ by rounding only.
  ASSERT_TRUE(qt.Open(ogg.path));
  ASSERT_EQ(qt.PCMSize(), vorbis.PCMSize());
  const std::vector<uint8_t> viaQt = ReadWhole(qt);
  EXPECT_LE(MaxAbsDiff(reinterpret_cast<const int16_t*>(viaQt.data()), reinterpret_cast<const int16_t*>(mono.data()),
                       static_cast<int64_t>(mono.size() / 2)),
            2);
}

TEST_F(LibraryDecoders, QuickTimeGivesTheFramesOfOurOwnWavAndMp3Decoders) {
  TFixture wav, mp3;
  ASSERT_TRUE(MakeFixture(dir_, "a.wav", "copy", 2.0, 44100, 2, 16, &wav));
  ASSERT_TRUE(MakeFixture(dir_, "a.mp3", "-c:a libmp3lame -b:a 192k", 2.0, 44100, 2, 16, &mp3));
  TDecoderQT qt;
  TDecoderWAV own;
  ASSERT_TRUE(qt.Open(wav.path));
  ASSERT_TRUE(own.Open(wav.path));
  ASSERT_EQ(qt.PCMSize(), own.PCMSize());
  EXPECT_TRUE(ReadWhole(qt) == ReadWhole(own)) << "PCM WAV: byte for byte";
  qt.Close();
  own.Close();

  // 8-bit mono: the library gives 16 bits, (b - 128) x 256 of each byte, as the
  // front makes of our own decoder's 8-bit output.
  std::vector<uint8_t> bytes(22050);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>((i * 7919) >> 3);
  WavSpec recipe;
  recipe.channels = 1;
  recipe.rateHz = 22050;
  recipe.bits = 8;
  WriteWav(dir_.file("u8.wav"), recipe, bytes);
  ASSERT_TRUE(qt.Open(dir_.file("u8.wav")));
  ASSERT_TRUE(own.Open(dir_.file("u8.wav")));
  EXPECT_EQ(qt.OutputFormat().wBitsPerSample, 16);
  ASSERT_EQ(qt.PCMSize(), 2 * own.PCMSize());
  const std::vector<uint8_t> wide = ReadWhole(qt), narrow = ReadWhole(own);
  bool same = true;
  for (size_t i = 0; i < narrow.size(); ++i) {
    int16_t v;
    std::memcpy(&v, wide.data() + 2 * i, 2);
    same = same && v == (narrow[i] - 128) * 256;
  }
  EXPECT_TRUE(same);
  qt.Close();

  TDecoderMP3 ownMp3;
  ASSERT_TRUE(qt.Open(mp3.path));
  ASSERT_TRUE(ownMp3.Open(mp3.path));
  EXPECT_EQ(qt.PCMSize(), ownMp3.PCMSize()) << "both count every frame from the first audio frame";
  const std::vector<uint8_t> a = ReadWhole(qt), b = ReadWhole(ownMp3);
  const int64_t samples = static_cast<int64_t>(std::min(a.size(), b.size()) / 2);
  // Two MPEG decoders (float synthesis each) on the same frames: they may
  // round a sample one step apart; a shift of even one frame would differ by thousands.
  EXPECT_LE(MaxAbsDiff(reinterpret_cast<const int16_t*>(a.data()), reinterpret_cast<const int16_t*>(b.data()), samples), 1);
}

TEST_F(LibraryDecoders, FileReaderReadsSeeksByTimeAndReportsErrors) {
  for (const char* name : {"a.wma", "a.aiff", "a.au"}) {
    SCOPED_TRACE(name);
    const std::string n = name;
    const std::string args = n == "a.wma" ? "-c:a wmav2 -b:a 128k" : "-c:a pcm_s16be";
    TFixture fx;
    ASSERT_TRUE(MakeFixture(dir_, name, args, 1.5, 44100, 2, 16, &fx));
    TDirectShowFileReader r(fx.path);
    ASSERT_GT(r.Duration(), 0);
    EXPECT_EQ(r.Format().nSamplesPerSec, 44100u);
    EXPECT_EQ(r.Format().nChannels, 2);
    EXPECT_EQ(r.Format().wBitsPerSample, 16);
    // The front's length: Duration x 176400 / 10^7, truncated, keeps every frame.
    const int64_t pcmLength = r.Duration() * 176400 / 10000000;
    EXPECT_EQ(pcmLength % 4, 0);
    std::vector<uint8_t> all(static_cast<size_t>(pcmLength));
    int64_t at = 0;
    while (at < pcmLength) {
      const int32_t got = r.Read(all.data() + at, static_cast<int32_t>(std::min<int64_t>(176400, pcmLength - at)));
      if (got <= 0) break;
      at += got;
    }
    EXPECT_EQ(at, pcmLength);
    std::vector<uint8_t> buf(8000);
    EXPECT_EQ(r.Read(buf.data(), 8000), 0) << "past the end: 0, no exception";
    if (n != "a.wma") {
      EXPECT_EQ(pcmLength, fx.sourceFrames * 4);
    }
    // Reads at consecutive positions never seek; a jump back seeks once.
    r.SeekTime(0);
    const int64_t seeks = r.Stream().SeekCount();
    ASSERT_EQ(r.Read(buf.data(), 4000), 4000);
    ASSERT_EQ(r.Read(buf.data(), 4000), 4000);
    EXPECT_EQ(r.Stream().SeekCount(), seeks + 1) << "one seek back to the start, none between";
    EXPECT_EQ(std::memcmp(buf.data(), all.data() + 4000, 4000), 0);
    // A jump as the front makes it: position x 10^7 / 176400.
    for (int64_t position : {int64_t{4} * 30011, int64_t{4} * 1, int64_t{4} * 50000}) {
      r.SeekTime(position * 1000 * 100 / 1764);
      ASSERT_EQ(r.Read(buf.data(), 8000), 8000);
      EXPECT_EQ(std::memcmp(buf.data(), all.data() + position, 8000), 0) << "at byte " << position;
    }
  }
  TDirectShowFileReader missing(dir_.file("none.wma"));
  EXPECT_EQ(missing.Duration(), 0);
  std::vector<uint8_t> buf(400);
  EXPECT_EQ(missing.Read(buf.data(), 400), 0);
  EXPECT_THROW(missing.SeekTime(0), EAudioReadError);
}

TEST_F(LibraryDecoders, AFailedStreamReadRaisesEAudioReadError) {
  TFixture fx;
  ASSERT_TRUE(MakeFixture(dir_, "long.aiff", "-c:a pcm_s16be", 10.0, 44100, 2, 16, &fx));
  TDirectShowFileReader r(fx.path);
  ASSERT_GT(r.Duration(), 0);
  std::vector<uint8_t> buf(8000);
  r.SeekTime(80'000'000);
  TMediaStream::ScaleDeadlinesForTests(0);  // the file "stalls": every read from it times out
  try {
    r.Read(buf.data(), 8000);
    ADD_FAILURE() << "no exception";
  } catch (const EAudioReadError& e) {
    EXPECT_STREQ(e.what(), "The update aborted.");
  }
  TMediaStream::ScaleDeadlinesForTests(100);
  EXPECT_EQ(r.Read(buf.data(), 8000), 8000) << "the reader goes on afterwards";
}

TEST(FileReaderResults, CheckResultMessages) {
  EXPECT_NO_THROW(TDirectShowFileReader::CheckResult(0));
  EXPECT_EQ(TDirectShowFileReader::MessageFor(static_cast<int32_t>(0x80040403u)),
            "No stream can be found with the specified attributes.");
  EXPECT_EQ(TDirectShowFileReader::MessageFor(0x00040003), "Reached the end of the stream; the sample wasn't updated.");
  EXPECT_EQ(TDirectShowFileReader::MessageFor(static_cast<int32_t>(0x80070057u)), "One of the parameters is invalid.");
  EXPECT_EQ(TDirectShowFileReader::MessageFor(0x1234), "Unrecognized error value.");
  EXPECT_EQ(TDirectShowFileReader::MessageFor(0x1234, "Input/output error"), "Input/output error");
  try {
    TDirectShowFileReader::CheckResult(static_cast<int32_t>(0x80004004u));
    ADD_FAILURE() << "no exception";
  } catch (const EAudioReadError& e) {
    EXPECT_STREQ(e.what(), "The update aborted.");
  }
}

}  // namespace
}  // namespace zonda::test
