// TDataProvider: extension choice, validation, conversion on read, LastError.
#include <gtest/gtest.h>

#include <algorithm>
#include <future>
#include <vector>

#include "decoding/DataProvider.h"
#include "decoding/PCMConversion.h"
#include "tests/decoding/FakeDecoder.h"
#include "tests/support/TestFiles.h"

namespace zonda {
namespace {

using test::TempDir;
using test::WavSpec;

std::vector<uint8_t> Pattern(size_t n) {
  std::vector<uint8_t> b(n);
  for (size_t i = 0; i < n; ++i) b[i] = static_cast<uint8_t>((i * 13 + 5) & 0xFF);
  return b;
}

TEST(DataProvider, FormatTable) {
  const struct {
    uint16_t channels;
    uint32_t rate;
    uint16_t bits;
    size_t bytes;
    bool opens;
    int32_t pcmLength;
    bool converts;
  } cases[] = {
      {2, 44100, 16, 40000, true, 40000, false},
      {1, 22050, 8, 10001, true, 80008, true},   // x 8
      {1, 22050, 8, 10003, true, 80024, true},
      {2, 48000, 16, 192000, true, 176400, true},
      {2, 48000, 16, 1001 * 4, true, static_cast<int32_t>(SourceToDeckBytes(4004, 192000)), true},
      {1, 44100, 16, 2000, true, 4000, true},
      {2, 44100, 8, 2000, true, 4000, true},
      {2, 8000, 16, 32000, true, 176400, true},
      {2, 48001, 16, 4000, false, 0, false},
      {2, 96000, 16, 4000, false, 0, false},
      {2, 44100, 24, 6000, false, 0, false},
      {6, 44100, 16, 6000, false, 0, false},
  };
  TempDir dir;
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.channels << "ch " << c.rate << "Hz " << c.bits << "bit");
    const std::string file = dir.file("f.wav");
    WavSpec recipe;
    recipe.channels = c.channels;
    recipe.rateHz = c.rate;
    recipe.bits = c.bits;
    test::WriteWav(file, recipe, Pattern(c.bytes));
    TDataProvider p;
    p.ReplaceDecoderForTests(TDecoderKind::QuickTime, nullptr);  // the WAV decoder's own limits
    EXPECT_EQ(p.Open(file), c.opens);
    EXPECT_EQ(p.LastError(), c.opens ? 0 : -1);
    EXPECT_EQ(p.PCMLength(), c.pcmLength);
    if (c.opens) {
      EXPECT_EQ(p.Kind(), TDecoderKind::WAV);
      EXPECT_EQ(p.NeedsConversion(), c.converts);
      EXPECT_EQ(p.PCMLength() % 4, 0);
    }
  }
}

TEST(DataProvider, DeckPCMReadsAreByteIdenticalToTheFile) {
  TempDir dir;
  const std::string file = dir.file("deck.wav");
  const auto samples = Pattern(1058400 + 4000);
  test::WriteWav(file, {}, samples);
  TDataProvider p;
  ASSERT_TRUE(p.Open(file));
  std::vector<uint8_t> chunk(1058400);
  ASSERT_EQ(p.ReadPCM(0, chunk.data(), 1058400), 1058400);
  EXPECT_TRUE(std::equal(chunk.begin(), chunk.end(), samples.begin()));
  ASSERT_EQ(p.ReadPCM(1058400, chunk.data(), 1058400), 4000);
  EXPECT_TRUE(std::equal(chunk.begin(), chunk.begin() + 4000, samples.begin() + 1058400));
  EXPECT_EQ(p.ReadPCM(2 * 1058400, chunk.data(), 1058400), 0);
}

TEST(DataProvider, EightBitMonoChunkReadsEveryFrameTwice) {
  TempDir dir;
  const std::string file = dir.file("mono8.wav");
  WavSpec recipe;
  recipe.channels = 1;
  recipe.rateHz = 22050;
  recipe.bits = 8;
  const auto samples = Pattern(132300 + 500);  // 6 s and a bit
  test::WriteWav(file, recipe, samples);
  TDataProvider p;
  ASSERT_TRUE(p.Open(file));
  std::vector<int16_t> chunk(1058400 / 2, 0x5555);
  // Second chunk: source bytes 132300.. (500 of them) become 4000 deck bytes; the rest is not written.
  EXPECT_EQ(p.ReadPCM(1058400, chunk.data(), 1058400), 4000);
  for (size_t f = 0; f < 1000; ++f) {
    const int16_t expected = static_cast<int16_t>((samples[132300 + f / 2] - 128) * 256);
    ASSERT_EQ(chunk[2 * f], expected) << f;
    ASSERT_EQ(chunk[2 * f + 1], expected) << f;
  }
  EXPECT_EQ(chunk[2000], 0x5555);
  ASSERT_EQ(p.ReadPCM(0, chunk.data(), 1058400), 1058400);
  EXPECT_EQ(chunk[2 * 264599], static_cast<int16_t>((samples[132299] - 128) * 256));
}

TEST(DataProvider, SecondOpenIsRefusedWithMinusTwoAndTheFirstFileStaysOpen) {
  TempDir dir;
  const std::string a = dir.file("a.wav");
  const std::string b = dir.file("b.wav");
  const auto samples = Pattern(4000);
  test::WriteWav(a, {}, samples);
  test::WriteWav(b, {}, Pattern(8000));
  TDataProvider p;
  ASSERT_TRUE(p.Open(a));
  EXPECT_FALSE(p.Open(b));
  EXPECT_EQ(p.LastError(), -2);
  EXPECT_TRUE(p.IsOpen());
  EXPECT_EQ(p.PCMLength(), 4000);
  std::vector<uint8_t> buf(4000);
  EXPECT_EQ(p.ReadPCM(0, buf.data(), 4000), 4000);
  EXPECT_EQ(buf, samples);
  p.Close();
  EXPECT_FALSE(p.IsOpen());
  EXPECT_EQ(p.ReadPCM(0, buf.data(), 4000), 0);
  EXPECT_TRUE(p.Open(b));
  EXPECT_EQ(p.PCMLength(), 8000);
}

TEST(DataProvider, ExtensionsAndKinds) {
  const struct { const char* ext; bool supported; } table[] = {
      {".MP3", true}, {".WAV", true}, {".OGG", true}, {".WMA", true}, {".AIF", true}, {".AIFF", true},
      {".AU", true},  {".M4A", true}, {".MP4", true}, {".CDA", true}, {".FLAC", true}, {"", false},
      {".wav", false},  // the caller upper-cases
  };
  for (const auto& t : table) EXPECT_EQ(IsSupportedExtension(t.ext), t.supported) << t.ext;
  SetCDAudioAvailable(false);  // only without CD support is ".CDA" refused
  EXPECT_FALSE(IsSupportedExtension(".CDA"));
  SetCDAudioAvailable(true);

  // A valid WAV under other names: only ".wav" (any case) reaches the WAV decoder.
  TempDir dir;
  const auto samples = Pattern(4000);
  const struct { const char* name; bool opens; } files[] = {
      {"x.wav", true}, {"x.WaV", true}, {"x.m4a", false}, {"x.mp4", false}, {"x.cda", false},
      {"x.txt", false}, {"noext", false}, {"x.wma", true}, {"x.aiff", true},  // the file reader plays any it can
  };
  for (const auto& f : files) {
    const std::string file = dir.file(f.name);
    test::WriteWav(file, {}, samples);
    TDataProvider p;
    p.ReplaceDecoderForTests(TDecoderKind::QuickTime, nullptr);  // else it plays every name
    EXPECT_EQ(p.Open(file), f.opens) << f.name;
    if (!f.opens) {
      EXPECT_EQ(p.LastError(), -1) << f.name;
    }
  }
  // A dot in a folder name is not an extension.
  std::filesystem::create_directory(dir.path() / "folder.wav");
  const std::string inFolder = (dir.path() / "folder.wav" / "track").string();
  test::WriteWav(inFolder, {}, samples);
  TDataProvider p;
  EXPECT_FALSE(p.Open(inFolder));
  EXPECT_EQ(p.LastError(), -1);
}

}  // namespace
}  // namespace zonda

namespace zonda {
namespace {

using test::TFakeDecoder;

TEST(DataProvider, QuickTimeIsTriedFirstExceptForWMA) {
  TDataProvider p;
  auto qt = std::make_unique<TFakeDecoder>(InitPCMFormat(16, 2, 44100), 4000);
  TFakeDecoder* quickTime = qt.get();
  p.ReplaceDecoderForTests(TDecoderKind::QuickTime, std::move(qt));
  const struct { const char* name; TDecoderKind kind; bool opens; int qtCalls; } cases[] = {
      {"/m/a.m4a", TDecoderKind::QuickTime, true, 1},
      {"/m/a.mp4", TDecoderKind::QuickTime, true, 1},
      {"/m/a.mp3", TDecoderKind::QuickTime, true, 1},
      {"/m/a.wav", TDecoderKind::QuickTime, true, 1},
      {"/m/a.wma", TDecoderKind::None, false, 0},  // never QuickTime; the file reader is not wired here
  };
  for (const auto& c : cases) {
    const int before = quickTime->openCalls.load();
    EXPECT_EQ(p.Open(c.name), c.opens) << c.name;
    EXPECT_EQ(p.Kind(), c.kind) << c.name;
    EXPECT_EQ(quickTime->openCalls.load() - before, c.qtCalls) << c.name;
    p.Close();
  }
  EXPECT_EQ(quickTime->readsWithoutLock.load(), 0);
}

TEST(DataProvider, QuickTimeRefusalFallsBackToTheExtensionsDecoder) {
  test::TempDir dir;
  const std::string file = dir.file("a.wav");
  test::WriteWav(file, {}, Pattern(4000));
  for (bool refuses : {true, false}) {
    TDataProvider p;
    auto qt = std::make_unique<TFakeDecoder>(InitPCMFormat(16, 2, 44100), refuses ? 4000 : 0);  // or empty
    qt->opens = !refuses;
    p.ReplaceDecoderForTests(TDecoderKind::QuickTime, std::move(qt));
    ASSERT_TRUE(p.Open(file)) << refuses;
    EXPECT_EQ(p.Kind(), TDecoderKind::WAV);
    EXPECT_EQ(p.PCMLength(), 4000);
    // An M4A has no decoder of its own: refused with -1.
    p.Close();
    EXPECT_FALSE(p.Open(dir.file("a.m4a")));
    EXPECT_EQ(p.LastError(), -1);
  }
}

// Deck chunks and preview pieces of a converted source splice into one
// conversion of the whole source: no frame lost, doubled or left silent at a
// block edge (sources below 22050 Hz; 8-bit mono at 11025 Hz, whose 6 seconds
// are not a multiple of 4 bytes), and a deck reading in order never makes the
// decoder go back.
TEST(DataProvider, ConvertedReadsSpliceIntoOneWholeConversion) {
  const struct { uint16_t channels, bits; uint32_t rate; } cases[] = {
      {1, 8, 11025}, {1, 16, 11025}, {1, 16, 8000}, {2, 16, 16000}, {2, 8, 22050}, {2, 16, 32000}, {2, 16, 48000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.channels << "ch " << c.bits << "bit " << c.rate << "Hz");
    const WAVEFORMATEX format = InitPCMFormat(c.bits, c.channels, c.rate);
    const int32_t size = static_cast<int32_t>(format.nAvgBytesPerSec * 13 + format.nBlockAlign * 7u);
    std::vector<uint8_t> source(static_cast<size_t>(size));
    for (int32_t i = 0; i < size; ++i) source[static_cast<size_t>(i)] = TFakeDecoder::PatternAt(i);
    std::vector<uint8_t> whole(static_cast<size_t>(SourceToDeckBytes(size, format.nAvgBytesPerSec)) + 4096, 0);
    const int64_t wrote = ConvertToDeckPCM(InitPCMFormat(16, 2, 44100), whole.data(), static_cast<uint32_t>(whole.size()),
                                           format, static_cast<uint32_t>(size), source.data());

    for (const int32_t piece : {1058400, 529200}) {  // a deck's chunks, the preview's pieces
      TDataProvider p;
      p.ReplaceDecoderForTests(TDecoderKind::QuickTime, nullptr);
      auto fake = std::make_unique<TFakeDecoder>(format, size);
      TFakeDecoder* decoder = fake.get();
      p.ReplaceDecoderForTests(TDecoderKind::MP3, std::move(fake));
      ASSERT_TRUE(p.Open("x.mp3"));
      const int32_t total = p.PCMLength();
      for (int32_t pos = 0; pos < total; pos += piece) {
        std::vector<uint8_t> got(static_cast<size_t>(piece), 0);
        const int32_t n = p.ReadPCM(pos, got.data(), piece);
        if (total - pos >= piece) {
          EXPECT_EQ(n, piece) << pos;
        }
        // The converter restarts on every block; below 22050 Hz a block may end
        // on its last frame held for a frame or two, never on silence.
        int64_t exact = std::min<int64_t>({piece, total - pos, wrote - pos});
        for (int k = 0; k < 2 && exact >= 8; ++k) {
          const int64_t f = exact - 4;
          if (std::equal(got.begin() + f, got.begin() + f + 4, whole.begin() + pos + f)) break;
          ASSERT_TRUE(std::equal(got.begin() + f, got.begin() + f + 4, got.begin() + f - 4)) << "frame " << pos + f;
          exact = f;
        }
        ASSERT_TRUE(std::equal(got.begin(), got.begin() + exact, whole.begin() + pos)) << "block at " << pos;
      }
      EXPECT_EQ(decoder->backwardReads.load(), 0) << piece;
    }
  }
}

TEST(DataProvider, ReadErrorsLeaveReadPCMAndReleaseTheLock) {
  for (bool converting : {false, true}) {
    TDataProvider p;
    const WAVEFORMATEX format = converting ? InitPCMFormat(16, 1, 44100) : InitPCMFormat(16, 2, 44100);
    auto d = std::make_unique<TFakeDecoder>(format, 100000);
    d->throwFrom = 50000;
    p.ReplaceDecoderForTests(TDecoderKind::MP3, std::move(d));
    ASSERT_TRUE(p.Open("x.mp3"));
    EXPECT_EQ(p.NeedsConversion(), converting);
    std::vector<uint8_t> buf(8000);
    EXPECT_EQ(p.ReadPCM(0, buf.data(), 8000), 8000);
    EXPECT_THROW(p.ReadPCM(converting ? 120000 : 60000, buf.data(), 8000), EAudioReadError);
    auto other = std::async(std::launch::async, [] {
      const bool got = DecoderLock().try_lock();
      if (got) DecoderLock().unlock();
      return got;
    });
    EXPECT_TRUE(other.get()) << "the lock was released on the error path";
  }
}

}  // namespace
}  // namespace zonda
