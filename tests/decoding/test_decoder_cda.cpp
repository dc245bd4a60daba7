// CD tracks from a BIN/CUE image made here from generated tracks: the table
// of contents and lengths, sample-exact chunks through the decoder and the
// front, the next track's sectors beyond a track, a real deck, refusals of
// absent or broken images, and a stalled read that must not hold up the
// other deck's decoding.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <fstream>
#include <future>
#include <thread>

#include "decoding/DataProvider.h"
#include "decoding/cda/DecoderCDA.h"
#include "engine/SoundSource.h"
#include "tests/engine/DeckTestSupport.h"
#include "tests/support/TestFiles.h"

namespace zonda::test {
namespace {

constexpr int32_t kSector = kCDSectorBytes;
constexpr int32_t kChunk = 1058400;

// Three tracks: whole sectors, a length that is not (padded with silence on
// the disc, as rippers do), and a short last one.
const int64_t kTrackFrames[3] = {150 * 588, 595350 + 100, 3 * 44100};

int16_t Sample(int track, int64_t frame, int channel) {
  const int64_t v = (frame * (7 + track) + track * 1000 + channel * 333) % 60000 - 30000;
  return static_cast<int16_t>(channel ? -v : v);
}

struct TImage {
  std::string cue, bin;
  std::vector<int32_t> startSector;  // per track
  std::vector<uint8_t> pcm;          // the whole disc, padded to sectors
};

std::string Msf(int32_t sector) {
  char t[16];
  std::snprintf(t, sizeof t, "%02d:%02d:%02d", sector / 4500, (sector / 75) % 60, sector % 75);
  return t;
}

TImage MakeImage(const TempDir& dir, const std::string& binName = "image.bin") {
  TImage im;
  im.cue = dir.file("image.cue");
  im.bin = dir.file(binName);
  std::string cue = "FILE \"image.bin\" BINARY\n";
  for (int t = 0; t < 3; ++t) {
    const int32_t start = int32_t(im.pcm.size() / kSector);
    im.startSector.push_back(start);
    cue += "  TRACK 0" + std::to_string(t + 1) + " AUDIO\n    INDEX 01 " + Msf(start) + "\n";
    for (int64_t f = 0; f < kTrackFrames[t]; ++f)
      for (int c = 0; c < 2; ++c) {
        const int16_t s = Sample(t, f, c);
        im.pcm.push_back(uint8_t(s & 0xFF));
        im.pcm.push_back(uint8_t((s >> 8) & 0xFF));
      }
    im.pcm.resize((im.pcm.size() + kSector - 1) / kSector * kSector, 0);
  }
  std::ofstream(im.cue) << cue;
  std::ofstream(im.bin, std::ios::binary).write(reinterpret_cast<const char*>(im.pcm.data()), std::streamsize(im.pcm.size()));
  return im;
}

// The disc's bytes from a sector on (zeros past the disc).
std::vector<uint8_t> DiscBytes(const TImage& im, int32_t sector, int32_t bytes) {
  std::vector<uint8_t> out(size_t(bytes), 0);
  const size_t from = size_t(sector) * kSector;
  if (from < im.pcm.size()) std::memcpy(out.data(), im.pcm.data() + from, std::min(out.size(), im.pcm.size() - from));
  return out;
}

TEST(CDNames, TrackNumberAndDrive) {
  const struct { const char* name; int32_t track; const char* drive; } table[] = {
      {"/dev/sr0/Track07.cda", 7, "/dev/sr0"}, {"img.cue/Track12.cda", 12, "img.cue"},
      {"/dev/sr0/TrackXY.cda", 1, "/dev/sr0"}, {"Track2.cda", 1, ""}};
  for (const auto& t : table) {
    EXPECT_EQ(CDTrackNumberFromName(t.name), t.track) << t.name;
    EXPECT_EQ(CDDriveFromName(t.name), t.drive) << t.name;
  }
}

TEST(DecoderCDA, TableOfContentsAndExactChunks) {
  TempDir dir;
  const TImage im = MakeImage(dir);
  for (int t = 1; t <= 3; ++t) {
    SCOPED_TRACE(t);
    TDecoderCDA cd;
    ASSERT_TRUE(cd.Open(im.cue + "/Track0" + std::to_string(t) + ".cda"));
    const int32_t first = im.startSector[size_t(t - 1)];
    const int32_t next = t < 3 ? im.startSector[size_t(t)] : int32_t(im.pcm.size() / kSector);
    EXPECT_EQ(cd.FirstSector(), first);
    EXPECT_EQ(cd.LastSector(), next - 1);
    EXPECT_EQ(cd.PCMSize(), (next - 1 - first) * kSector) << "the last sector is not played";
    EXPECT_EQ(cd.OutputFormat().nSamplesPerSec, 44100u);
    for (int32_t pos = 0; pos < cd.PCMSize(); pos += kChunk) {
      std::vector<uint8_t> got(kChunk, 0xAA);
      ASSERT_EQ(cd.ReadAt(pos, got.data(), kChunk), kChunk);
      EXPECT_TRUE(got == DiscBytes(im, first + pos / kSector, kChunk)) << "chunk at " << pos;
    }
  }
  // The second track's last stretch reaches into the third track's sectors.
  TDecoderCDA cd;
  ASSERT_TRUE(cd.Open(im.cue + "/Track02.cda"));
  std::vector<uint8_t> got(4 * kSector);
  cd.ReadAt(cd.PCMSize() - kSector, got.data(), int32_t(got.size()));
  EXPECT_TRUE(got == DiscBytes(im, im.startSector[2] - 2, int32_t(got.size())));
}

TEST(DecoderCDA, TheFrontPlaysTheTrackSampleForSample) {
  TempDir dir;
  const TImage im = MakeImage(dir);
  TDataProvider p;
  ASSERT_TRUE(p.Open(im.cue + "/Track02.cda"));
  EXPECT_FALSE(p.NeedsConversion());
  const int32_t length = p.PCMLength();
  EXPECT_EQ(length, (im.startSector[2] - im.startSector[1] - 1) * kSector);
  // The generated track, frame by frame, up to the front's length.
  for (int32_t pos = 0; pos < length; pos += kChunk) {
    std::vector<uint8_t> got(kChunk);
    ASSERT_EQ(p.ReadPCM(pos, got.data(), kChunk), kChunk);
    const int32_t frames = std::min(kChunk, length - pos) / 4;
    int32_t wrong = 0;
    for (int32_t f = 0; f < frames; ++f) {
      const int64_t frame = pos / 4 + f;
      for (int c = 0; c < 2; ++c) {
        int16_t s;
        std::memcpy(&s, got.data() + size_t(f) * 4 + size_t(c) * 2, 2);
        const int16_t want = frame < kTrackFrames[1] ? Sample(1, frame, c) : 0;
        wrong += s != want;
      }
    }
    EXPECT_EQ(wrong, 0) << "chunk at " << pos;
  }
  // Random access in whole sectors.
  for (int32_t sector : {0, 1, 333, 900}) {
    std::vector<uint8_t> got(10 * kSector);
    p.ReadPCM(sector * kSector, got.data(), int32_t(got.size()));
    EXPECT_TRUE(got == DiscBytes(im, im.startSector[1] + sector, int32_t(got.size()))) << sector;
  }
}

TEST(DecoderCDA, ADeckLoadsAndPlaysATrack) {
  IsolatedProgramDir programDir;
  TempDir dir;
  const TImage im = MakeImage(dir);
  TSoundSource deck(true);
  ASSERT_TRUE(LoadAndWait(deck, im.cue + "/Track02.cda"));
  ASSERT_TRUE(deck.LoadOk.load());
  EXPECT_EQ(deck.TotalBytes.load(), (im.startSector[2] - im.startSector[1] - 1) * kSector);
  const TChunk* chunk = deck.ChunkAt(0);
  ASSERT_NE(chunk, nullptr);
  int32_t wrong = 0;
  for (int64_t f = 0; f < kChunk / 4; ++f)
    for (int c = 0; c < 2; ++c) wrong += chunk->PCM[size_t(f * 2 + c)] != Sample(1, f, c);
  EXPECT_EQ(wrong, 0);
}

TEST(DecoderCDA, AbsentAndBrokenImagesAreRefused) {
  TempDir dir;
  const TImage im = MakeImage(dir);
  // A CUE sheet whose BIN is missing.
  const std::string orphan = dir.file("orphan.cue");
  std::ofstream(orphan) << "FILE \"nowhere.bin\" BINARY\n  TRACK 01 AUDIO\n    INDEX 01 00:00:00\n";
  // A CUE sheet that is not one.
  const std::string junk = dir.file("junk.cue");
  std::ofstream(junk) << "\x01\x02 this is not a cue sheet\n";
  // An image cut inside its second track: the third track is gone.
  TempDir cutDir;
  TImage cut = MakeImage(cutDir);
  std::filesystem::resize_file(cut.bin, uint64_t(im.startSector[1] + 100) * kSector);
  const std::string refused[] = {dir.file("none.cue") + "/Track01.cda", orphan + "/Track01.cda",
                                 junk + "/Track01.cda", im.cue + "/Track04.cda", im.cue + "/Track00.cda",
                                 im.cue + "/Track01.wav"};
  for (const std::string& name : refused) {
    TDecoderCDA cd;
    EXPECT_FALSE(cd.Open(name)) << name;
    TDataProvider p;
    EXPECT_FALSE(p.Open(name)) << name;
  }
  // A cut image: what it still holds plays, what is gone reads as silence
  // or the track is refused; never a crash or a short read.
  for (const char* track : {"/Track02.cda", "/Track03.cda"}) {
    TDataProvider p;
    if (!p.Open(cut.cue + track)) continue;
    std::vector<uint8_t> got(kChunk);
    for (int32_t pos = 0; pos < p.PCMLength(); pos += kChunk) EXPECT_EQ(p.ReadPCM(pos, got.data(), kChunk), kChunk);
  }
}

// A drive that stalls: its reads wait until released.
class TStallingCD : public TDecoderCDA {
 public:
  std::promise<void> entered;
  std::shared_future<void> release;

 protected:
  bool ReadSectors(int32_t, int32_t count, uint8_t* destination) override {
    if (!signalled_.exchange(true)) entered.set_value();
    release.wait_for(std::chrono::seconds(20));
    std::memset(destination, 0, size_t(count) * kSector);
    return false;
  }

 private:
  std::atomic<bool> signalled_{false};
};

TEST(DecoderCDA, AStuckDriveDoesNotHoldUpTheOtherDeck) {
  TempDir dir;
  const TImage im = MakeImage(dir);
  WriteDeckWav(dir.file("other.wav"), SineStereo(44100 * 8, 440, 660));

  TDataProvider cdDeck;
  auto stalling = std::make_unique<TStallingCD>();
  TStallingCD* cd = stalling.get();
  std::promise<void> release;
  cd->release = release.get_future().share();
  std::future<void> entered = cd->entered.get_future();
  cdDeck.ReplaceDecoderForTests(TDecoderKind::CDA, std::move(stalling));
  ASSERT_TRUE(cdDeck.Open(im.cue + "/Track01.cda"));

  std::thread stuck([&] {
    std::vector<uint8_t> got(kChunk);
    cdDeck.ReadPCM(0, got.data(), kChunk);
  });
  ASSERT_EQ(entered.wait_for(std::chrono::seconds(20)), std::future_status::ready);
  // While the CD read hangs, the other deck opens and decodes a chunk.
  std::atomic<bool> otherDone{false};
  std::thread other([&] {
    TDataProvider p;
    std::vector<uint8_t> got(kChunk);
    if (p.Open(dir.file("other.wav")) && p.ReadPCM(0, got.data(), kChunk) == kChunk) otherDone.store(true);
  });
  const bool finished = WaitUntil([&] { return otherDone.load(); });
  release.set_value();
  other.join();
  stuck.join();
  EXPECT_TRUE(finished) << "the other deck waited for the stuck drive";
}

}  // namespace
}  // namespace zonda::test
