// Damaged files through libquelmo.so (and Ogg files through libombrel.so):
// every container cut at random points and with bytes flipped. Each case must
// open cleanly or play what is decodable: no crash, no hang, no read beyond
// the length it announced. The counts are printed for the record.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <random>

#include "tests/quelmo/LibdecFixtures.h"
#include "tests/support/Require.h"

namespace zonda::test {
namespace {

struct TContainer {
  const char* name;
  const char* args;
  int rate, channels, bits;
};

const TContainer kContainers[] = {
    {"a.flac", "-c:a flac", 44100, 2, 16},
    {"a.m4a", "-c:a aac -b:a 96k", 44100, 2, 16},
    {"fast.m4a", "-c:a aac -b:a 96k -movflags +faststart", 44100, 2, 16},
    {"alac.m4a", "-c:a alac -movflags +faststart", 44100, 1, 16},
    {"a.ogg", "-c:a libvorbis -q:a 3", 44100, 2, 16},
    {"a.opus", "-c:a libopus -b:a 64k", 48000, 2, 16},
    {"a.wma", "-c:a wmav2 -b:a 96k", 44100, 2, 16},
    {"a.aiff", "-c:a pcm_s16be", 44100, 2, 16},
    {"a.au", "-c:a pcm_s16be", 22050, 1, 16},
    {"a.mp3", "-c:a libmp3lame -b:a 128k", 44100, 2, 16},
    {"a.aac", "-c:a aac -b:a 96k", 44100, 2, 16},
    {"hi.wav", "copy", 96000, 2, 24},
};

void WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// Opens, reads all in 1-second requests and makes a few jumps. True when the
// library behaved (whether or not it could open the file).
bool PlaysSafely(const TLoadedLibrary& lib, const std::string& path, int* opened) {
  void* obj = lib.create_obj();
  TInfo info{};
  bool ok = true;
  if (lib.open(obj, path.c_str(), &info) != 0) {
    ++*opened;
    ok = info.channels >= 1 && info.channels <= 2 && info.rate > 0 && info.rate <= 48000 && info.totalFrames >= 0;
    if (ok && info.totalFrames > 0) {
      std::vector<int16_t> buf(static_cast<size_t>(std::max(info.rate, 256)) * info.channels);
      const int32_t step = std::max(info.rate, 256);
      for (int64_t at = 0; at < info.totalFrames; at += step) {
        const int32_t got = lib.getsamples(obj, buf.data(), step, static_cast<int32_t>(at));
        if (got < 0 || got > step) ok = false;
        if (got <= 0) break;
      }
      std::mt19937 rng(3);
      for (int i = 0; i < 3; ++i) {
        const int32_t first = static_cast<int32_t>(rng() % static_cast<uint32_t>(info.totalFrames));
        const int32_t got = lib.getsamples(obj, buf.data(), step, first);
        if (got < 0 || got > std::min(step, info.totalFrames - first)) ok = false;
      }
    }
    lib.close(obj);
  }
  lib.destroy_obj(obj);
  return ok;
}

TEST(QuelmoBadInput, CutAndFlippedFilesOpenCleanlyOrPlayWhatIsDecodable) {
  ZONDA_REQUIRE_TOOLS("ffmpeg");
  const TLoadedLibrary quelmo = LoadLibrary("libquelmo.so");
  const TLoadedLibrary ombrel = LoadLibrary("libombrel.so");
  ASSERT_TRUE(quelmo.ok());
  ASSERT_TRUE(ombrel.ok());
  TempDir dir;
  std::mt19937 rng(20261210);
  int cases = 0, clean = 0, opened = 0;
  for (const TContainer& c : kContainers) {
    SCOPED_TRACE(c.name);
    TFixture f;
    ASSERT_TRUE(MakeFixture(dir, c.name, c.args, 1.5, c.rate, c.channels, c.bits, &f));
    const std::vector<uint8_t> good = ReadAll(f.path);
    ASSERT_GT(good.size(), 1000u);
    std::vector<std::vector<uint8_t>> mutants;
    for (size_t cut : {size_t{0}, size_t{4}, size_t{40}, size_t{300}, good.size() / 3, good.size() / 2,
                       good.size() - 7, static_cast<size_t>(rng() % good.size())})
      mutants.emplace_back(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(std::min(cut, good.size())));
    for (int v = 0; v < 6; ++v) {
      std::vector<uint8_t> m = good;
      // Early variants hit the headers, later ones the audio data.
      const size_t span = v < 2 ? std::min<size_t>(m.size(), 512) : m.size();
      for (int k = 0; k < (v < 2 ? 4 : 40); ++k) m[rng() % span] ^= static_cast<uint8_t>(1u << (rng() % 8));
      mutants.push_back(std::move(m));
    }
    {  // a run of garbage in the middle
      std::vector<uint8_t> m = good;
      for (size_t i = m.size() / 2; i < m.size() / 2 + 400 && i < m.size(); ++i) m[i] = static_cast<uint8_t>(rng());
      mutants.push_back(std::move(m));
    }
    const std::string ext = std::string(c.name).substr(std::string(c.name).find('.'));
    for (size_t i = 0; i < mutants.size(); ++i) {
      const std::string path = dir.file("bad" + std::to_string(i) + ext);
      WriteBytes(path, mutants[i]);
      ++cases;
      const bool ok = PlaysSafely(quelmo, path, &opened);
      EXPECT_TRUE(ok) << "mutant " << i;
      clean += ok ? 1 : 0;
      if (ext == ".ogg") {
        ++cases;
        const bool viaOmbrel = PlaysSafely(ombrel, path, &opened);
        EXPECT_TRUE(viaOmbrel) << "mutant " << i << " through libombrel.so";
        clean += viaOmbrel ? 1 : 0;
      }
    }
  }
  std::printf("damaged files: %d cases, %d clean, %d of them opened\n", cases, clean, opened);
}

TEST(QuelmoBadInput, PipesAndFoldersAreRefusedWithoutBlocking) {
  const TLoadedLibrary quelmo = LoadLibrary("libquelmo.so");
  const TLoadedLibrary ombrel = LoadLibrary("libombrel.so");
  ASSERT_TRUE(quelmo.ok());
  ASSERT_TRUE(ombrel.ok());
  TempDir dir;
  // A FIFO with no writer would block the open itself, before any deadline.
  const std::string fifo = dir.file("stall.m4a");
  ASSERT_EQ(test::Run("mkfifo '" + fifo + "'"), 0);
  for (const TLoadedLibrary* lib : {&quelmo, &ombrel}) {
    void* obj = lib->create_obj();
    TInfo info{};
    EXPECT_EQ(lib->open(obj, fifo.c_str(), &info), 0);
    EXPECT_EQ(lib->open(obj, dir.path().c_str(), &info), 0);
    EXPECT_EQ(lib->open(obj, "", &info), 0);
    EXPECT_EQ(lib->open(obj, nullptr, &info), 0);
    lib->destroy_obj(obj);
  }
}

}  // namespace
}  // namespace zonda::test
