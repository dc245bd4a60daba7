// One loaded LADSPA effect on the audio path: what it does to the sound of
// Debian's real plug-ins, the bridge's refusals, its lock, and that the audio
// calls neither allocate nor lock.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "tests/support/AllocationCounter.h"
#include "tests/support/LockCounter.h"
#include "tests/support/TestFiles.h"
#include "tests/support/ToneAnalysis.h"
#include "tests/torvane/KnownPlugins.h"
#include "torvane/Torvane.h"
#include "torvane/core/FlushDenormals.h"
#include "torvane/core/LadspaEffectHost.h"

namespace zonda {
namespace {

constexpr int32_t kBlock = 256;

std::unique_ptr<TLadspaEffectHost> LoadKnown(const test::TKnownPlugin& plugin, int32_t bufferFrames = kBlock) {
  return TLadspaEffectHost::Load(nullptr, test::MonikerOf(plugin), bufferFrames, 44100);
}

// Processes the whole of `stereo` in place, `block` frames at a time.
void ProcessAll(TLadspaEffectHost& host, std::vector<int16_t>& stereo, int32_t block = kBlock) {
  const int64_t frames = int64_t(stereo.size() / 2);
  for (int64_t at = 0; at < frames; at += block) {
    const int32_t n = int32_t(std::min<int64_t>(block, frames - at));
    ASSERT_EQ(host.ProcessShortInt(stereo.data() + 2 * at, n), 0);
  }
}

TEST(LadspaEffectHost, LowPassKeepsTheLowToneAndCutsTheHighOne) {
  ZONDA_REQUIRE_PLUGIN(test::kSwhButterworth);
  // Butterworth at its default cut-off (36 Hz at 44100 Hz) and a raised one.
  auto host = LoadKnown(test::kSwhButterworth);
  ASSERT_TRUE(host);
  ASSERT_EQ(host->Controls()[0].name, "Cutoff Frequency (Hz)");
  EXPECT_NEAR(host->ControlValue(0).load(), 0.000819036 * 44100, 0.05);
  host->ControlValue(0).store(500.0f);
  std::vector<int16_t> both = test::SineStereo(44100, 100, 100, 0.25);
  const std::vector<int16_t> high = test::SineStereo(44100, 8000, 8000, 0.25);
  for (size_t i = 0; i < both.size(); ++i) both[i] = int16_t(both[i] + high[i]);
  ProcessAll(*host, both);
  for (int c = 0; c < 2; ++c) {
    const std::vector<double> out = test::Channel(both, c, 4410);
    EXPECT_NEAR(test::ToneDb(out, 100), test::FullScaleDb(0.25 * 32767), 1.0) << "channel " << c;
    EXPECT_LT(test::ToneDb(out, 8000), test::FullScaleDb(0.25 * 32767) - 30) << "channel " << c;
  }
}

TEST(LadspaEffectHost, PairedMonoRunsEachChannelOnItsOwn) {
  ZONDA_REQUIRE_PLUGIN(test::kSdkLowPass);
  auto host = LoadKnown(test::kSdkLowPass);
  ASSERT_TRUE(host);
  EXPECT_EQ(host->Layout(), TLadspaLayout::PairedMono);
  EXPECT_FLOAT_EQ(host->ControlValue(0).load(), 440.0f);
  // Left a low tone, right a high one: each filtered alone, nothing crosses.
  std::vector<int16_t> tones = test::SineStereo(44100, 100, 5000, 0.5);
  ProcessAll(*host, tones);
  const std::vector<double> left = test::Channel(tones, 0, 4410), right = test::Channel(tones, 1, 4410);
  const double full = test::FullScaleDb(0.5 * 32767);
  EXPECT_NEAR(test::ToneDb(left, 100), full, 1.0);
  EXPECT_LT(test::ToneDb(left, 5000), full - 80);
  EXPECT_LT(test::ToneDb(right, 5000), full - 12);
  EXPECT_LT(test::ToneDb(right, 100), full - 80);

  // A silent right channel stays silent beside a loud left one.
  auto fresh = LoadKnown(test::kSdkLowPass);
  std::vector<int16_t> leftOnly = test::SineStereo(4410, 200, 200, 0.9);
  for (size_t i = 1; i < leftOnly.size(); i += 2) leftOnly[i] = 0;
  ProcessAll(*fresh, leftOnly);
  for (size_t i = 1; i < leftOnly.size(); i += 2) ASSERT_EQ(leftOnly[i], 0) << "frame " << i / 2;
}

TEST(LadspaEffectHost, BlockSplitsGiveTheSameSound) {
  ZONDA_REQUIRE_PLUGIN(test::kSdkLowPass);
  const std::vector<int16_t> source = test::SineStereo(10000, 300, 3000, 0.7);
  std::vector<int16_t> reference;
  for (const int32_t block : {256, 1, 97, 255}) {
    auto host = LoadKnown(test::kSdkLowPass);
    std::vector<int16_t> out = source;
    ProcessAll(*host, out, block);
    if (reference.empty()) {
      reference = out;
    } else {
      EXPECT_EQ(out, reference) << "blocks of " << block;
    }
  }
}

TEST(LadspaEffectHost, OneInTwoOutIsFedTheMixAndTwoInOneOutFillsBothChannels) {
  ZONDA_REQUIRE_PLUGIN(test::kSwhSplitter);
  ZONDA_REQUIRE_PLUGIN(test::kCmtStereoToMono);
  const std::vector<float> input = {0.5f, -0.25f, 0.1f, 0.3f, -1.0f, 1.0f};
  struct Case {
    const test::TKnownPlugin* plugin;
    TLadspaLayout layout;
    float (*expected)(float left, float right);
  };
  const Case cases[] = {
      {&test::kSwhSplitter, TLadspaLayout::MonoToStereo, [](float l, float r) { return 0.5f * (l + r); }},
      {&test::kCmtStereoToMono, TLadspaLayout::StereoToMono, [](float l, float r) { return l + r; }},
  };
  for (const Case& c : cases) {
    auto host = LoadKnown(*c.plugin);
    ASSERT_TRUE(host) << c.plugin->name;
    EXPECT_EQ(host->Layout(), c.layout);
    std::vector<float> block = input;
    ASSERT_EQ(host->Process(block.data(), 3), 0);
    for (size_t f = 0; f < 3; ++f) {
      const float want = c.expected(input[2 * f], input[2 * f + 1]);
      EXPECT_FLOAT_EQ(block[2 * f], want) << c.plugin->name << " frame " << f;
      EXPECT_FLOAT_EQ(block[2 * f + 1], want) << c.plugin->name << " frame " << f;
    }
  }
}

TEST(LadspaEffectHost, FullScaleThroughAnUnchangedSignalComesBackOneLower) {
  ZONDA_REQUIRE_PLUGIN(test::kSdkStereoAmp);
  auto host = LoadKnown(test::kSdkStereoAmp);
  ASSERT_TRUE(host);
  EXPECT_EQ(host->Layout(), TLadspaLayout::Stereo);
  ASSERT_FLOAT_EQ(host->ControlValue(0).load(), 1.0f);  // 0 dB
  std::vector<int16_t> block = {32767, -32768, 16384, -16384, 1, -1, 0, 12345};
  ASSERT_EQ(host->ProcessShortInt(block.data(), 4), 0);
  EXPECT_EQ(block, (std::vector<int16_t>{32766, -32767, 16384, -16384, 1, -1, 0, 12345}));
  // Louder than full scale clamps.
  host->ControlValue(0).store(4.0f);
  block = {20000, -20000};
  ASSERT_EQ(host->ProcessShortInt(block.data(), 1), 0);
  EXPECT_EQ(block, (std::vector<int16_t>{32767, -32768}));
}

TEST(LadspaEffectHost, FramesOutsideTheBufferAreRefusedAndTheBlockUntouched) {
  ZONDA_REQUIRE_PLUGIN(test::kSdkStereoAmp);
  auto host = LoadKnown(test::kSdkStereoAmp, 100);
  ASSERT_TRUE(host);
  host->ControlValue(0).store(0.5f);
  for (const int32_t frames : {101, 0, -1, 4001}) {
    std::vector<int16_t> shorts(2 * 200, 1000);
    std::vector<float> floats(2 * 200, 0.5f);
    EXPECT_EQ(host->ProcessShortInt(shorts.data(), frames), TORVANE_E_INVALIDARG) << frames;
    EXPECT_EQ(host->Process(floats.data(), frames), TORVANE_E_INVALIDARG) << frames;
    EXPECT_EQ(shorts, std::vector<int16_t>(2 * 200, 1000)) << frames;
    EXPECT_EQ(floats, std::vector<float>(2 * 200, 0.5f)) << frames;
  }
  EXPECT_EQ(host->ProcessShortInt(nullptr, 10), TORVANE_E_INVALIDARG);
  std::vector<int16_t> exact(2 * 100, 1000);
  EXPECT_EQ(host->ProcessShortInt(exact.data(), 100), 0);
  EXPECT_EQ(exact, std::vector<int16_t>(2 * 100, 500));
}

TEST(LadspaEffectHost, LoadRefusesWhatItCannotRunWithTheLineOfTheStep) {
  ZONDA_REQUIRE_PLUGIN(test::kSdkLowPass);
  ZONDA_REQUIRE_PLUGIN(test::kCmtOrgan);
  const std::string filter = test::LibraryPath(test::kSdkLowPass);
  test::TempDir dir;
  std::ofstream(dir.file("junk.so")) << "junk";
  struct Case {
    std::string name;
    int32_t frames, rate;
    const char* line;  // written to standard output; "" for none
  };
  const Case cases[] = {
      {"", 256, 44100, ""},
      {"ladspa:" + filter + ":abc", 256, 44100, ""},
      {"lv2:" + filter + ":1041", 256, 44100, ""},
      {"ladspa:/nonexistent/filter.so:1041", 256, 44100, "ERROR: SetFilter\n"},
      {"ladspa:" + dir.file("junk.so") + ":1041", 256, 44100, "ERROR: SetFilter\n"},
      {"ladspa:" + filter + ":999999", 256, 44100, "ERROR: SetFilter\n"},
      {test::MonikerOf(test::kCmtOrgan), 256, 44100, "ERROR: SetFilter\n"},
      {test::MonikerOf(test::kSdkLowPass), 0, 44100, "ERROR: SetBufferSizeAndSampleRate\n"},
      {test::MonikerOf(test::kSdkLowPass), -5, 44100, "ERROR: SetBufferSizeAndSampleRate\n"},
      {test::MonikerOf(test::kSdkLowPass), TORVANE_MAX_BUFFER_FRAMES + 1, 44100,
       "ERROR: SetBufferSizeAndSampleRate\n"},
      {test::MonikerOf(test::kSdkLowPass), 256, 0, "ERROR: SetBufferSizeAndSampleRate\n"},
      {test::MonikerOf(test::kSdkLowPass), 256, -44100, "ERROR: SetBufferSizeAndSampleRate\n"},
  };
  for (const Case& c : cases) {
    testing::internal::CaptureStdout();
    const auto host = TLadspaEffectHost::Load(nullptr, c.name, c.frames, c.rate);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_FALSE(host) << c.name;
    EXPECT_EQ(out, c.line) << c.name << " " << c.frames << " " << c.rate;
  }
  // The edges that are allowed.
  EXPECT_TRUE(TLadspaEffectHost::Load(nullptr, test::MonikerOf(test::kSdkLowPass), 1, 44100));
  EXPECT_TRUE(TLadspaEffectHost::Load(nullptr, test::MonikerOf(test::kSdkLowPass), TORVANE_MAX_BUFFER_FRAMES, 48000));
}

TEST(LadspaEffectHost, AudioCallsNeitherAllocateNorLock) {
  ZONDA_REQUIRE_PLUGIN(test::kSdkLowPass);
  ZONDA_REQUIRE_PLUGIN(test::kSdkStereoAmp);
  for (const auto* plugin : {&test::kSdkLowPass, &test::kSdkStereoAmp}) {
    auto host = LoadKnown(*plugin);
    ASSERT_TRUE(host);
    std::vector<int16_t> shorts = test::SineStereo(kBlock * 8, 440, 660);
    std::vector<float> floats(shorts.size(), 0.25f);
    const auto run = [&] {
      for (int b = 0; b < 8; ++b) {
        host->ProcessShortInt(shorts.data() + 2 * kBlock * b, kBlock);
        host->Process(floats.data() + 2 * kBlock * b, kBlock);
      }
    };
    EXPECT_EQ(test::CountAllocations(run), 0) << plugin->name;
    EXPECT_EQ(test::CountLocks(run), 0) << plugin->name;
  }
}

TEST(LadspaEffectHost, ABlockThatFindsTheLockTakenPassesThroughUnprocessed) {
  ZONDA_REQUIRE_PLUGIN(test::kSdkStereoAmp);
  auto host = LoadKnown(test::kSdkStereoAmp);
  ASSERT_TRUE(host);
  host->ControlValue(0).store(0.5f);
  std::vector<int16_t> block(2 * kBlock, 8000);
  std::vector<float> floats(2 * kBlock, 0.5f);
  {
    THostLockGuard mainThreadOperation(host->Lock);
    std::thread audio([&] {
      EXPECT_EQ(host->ProcessShortInt(block.data(), kBlock), 0);
      EXPECT_EQ(host->Process(floats.data(), kBlock), 0);
    });
    audio.join();
  }
  EXPECT_EQ(block, std::vector<int16_t>(2 * kBlock, 8000));
  EXPECT_EQ(floats, std::vector<float>(2 * kBlock, 0.5f));
  EXPECT_EQ(host->ProcessShortInt(block.data(), kBlock), 0);
  EXPECT_EQ(block, std::vector<int16_t>(2 * kBlock, 4000));
}

TEST(LadspaEffectHost, MainThreadOperationsWaitForTheAudioThreadsBlock) {
  ZONDA_REQUIRE_PLUGIN(test::kSdkStereoAmp);
  auto host = LoadKnown(test::kSdkStereoAmp);
  ASSERT_TRUE(host);
  ASSERT_TRUE(host->Lock.TryLock());  // the audio thread inside its block
  std::atomic<bool> done{false};
  std::thread main([&] {
    host->HideProperties();
    done = true;
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(done.load()) << "the main thread's operation went ahead during the block";
  host->Lock.Unlock();  // the block ends
  main.join();
  EXPECT_TRUE(done.load());
}

TEST(LadspaEffectHost, LoadsAndUnloadsAThousandTimes) {
  ZONDA_REQUIRE_PLUGIN(test::kSdkLowPass);
  ZONDA_REQUIRE_PLUGIN(test::kSdkStereoAmp);
  std::vector<int16_t> block = test::SineStereo(kBlock, 440, 660);
  for (int i = 0; i < 1000; ++i) {
    auto host = LoadKnown(i % 2 ? test::kSdkLowPass : test::kSdkStereoAmp);
    ASSERT_TRUE(host) << "load " << i;
    ASSERT_EQ(host->ProcessShortInt(block.data(), kBlock), 0);
  }
}

// The misbehaving plug-ins of odd.so, with the counts of their live instances and calls.
class OddPlugins : public testing::Test {
 protected:
  void SetUp() override {
    library_ = dlopen(ZONDA_ODD_LADSPA, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library_, nullptr) << dlerror();
    counts_ = static_cast<int*>(dlsym(library_, "odd_counts"));
    ASSERT_NE(counts_, nullptr);
    std::fill(counts_, counts_ + 4, 0);
  }
  void TearDown() override {
    if (library_) dlclose(library_);
  }
  static std::string Moniker(unsigned long id) {
    return MakeLadspaMoniker(std::filesystem::canonical(ZONDA_ODD_LADSPA).string(), id);
  }
  int Live() const { return counts_[0]; }
  int Activated() const { return counts_[1]; }
  int Deactivated() const { return counts_[2]; }
  int CleanedUp() const { return counts_[3]; }

  void* library_ = nullptr;
  int* counts_ = nullptr;
};

TEST_F(OddPlugins, UnloadDeactivatesAndCleansUpEveryInstance) {
  auto host = TLadspaEffectHost::Load(nullptr, Moniker(9003), kBlock, 44100);  // paired mono
  ASSERT_TRUE(host);
  EXPECT_EQ(Live(), 2);
  EXPECT_EQ(Activated(), 2);
  host.reset();
  EXPECT_EQ(Live(), 0);
  EXPECT_EQ(Deactivated(), 2);
  EXPECT_EQ(CleanedUp(), 2);
}

TEST_F(OddPlugins, AnInstanceRefusedFailsTheLoadAndFreesWhatWasMade) {
  struct Case {
    unsigned long id;
    int cleanedUp;
  };
  for (const Case& c : {Case{9001, 0}, Case{9005, 1}}) {  // none made; the second of a pair refused
    std::fill(counts_, counts_ + 4, 0);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(TLadspaEffectHost::Load(nullptr, Moniker(c.id), kBlock, 44100)) << c.id;
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "ERROR: Play\n") << c.id;
    EXPECT_EQ(Live(), 0) << c.id;
    EXPECT_EQ(Activated(), 0) << c.id;
    EXPECT_EQ(CleanedUp(), c.cleanedUp) << c.id;
  }
}

TEST_F(OddPlugins, NotANumberAndInfinityComeBackAsSilenceAndFullScale) {
  auto host = TLadspaEffectHost::Load(nullptr, Moniker(9002), kBlock, 44100);
  ASSERT_TRUE(host);
  std::vector<int16_t> block = {100, 200, -300, -400};
  ASSERT_EQ(host->ProcessShortInt(block.data(), 2), 0);
  EXPECT_EQ(block, (std::vector<int16_t>{0, 32767, 0, 32767}));
}

#if defined(__SSE__)
TEST_F(OddPlugins, PluginsRunWithDenormalsFlushedAndTheCallersModeComesBack) {
  auto host = TLadspaEffectHost::Load(nullptr, Moniker(9006), kBlock, 44100);
  ASSERT_TRUE(host);
  const unsigned int before = _mm_getcsr();
  ASSERT_NE(before & TFlushDenormals::kFlushBits, TFlushDenormals::kFlushBits) << "the test thread already flushes";
  std::vector<float> block(8, 0.0f);
  ASSERT_EQ(host->Process(block.data(), 4), 0);
  EXPECT_EQ(block, std::vector<float>(8, 1.0f));
  EXPECT_EQ(_mm_getcsr(), before);
}
#endif

}  // namespace
}  // namespace zonda
