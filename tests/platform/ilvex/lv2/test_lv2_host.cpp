#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "platform/ilvex/lv2/Lv2Host.h"
#include "tests/platform/ilvex/lv2/Lv2TestBundles.h"
#include "tests/support/AllocationCounter.h"
#include "tests/support/LockCounter.h"
#include "tests/support/Require.h"
#include "tests/support/ToneAnalysis.h"

namespace zonda::ilvex {
namespace {

constexpr double kLowHz = 100.0;
constexpr double kHighHz = 8000.0;

int IndexOf(const Lv2Host& host, const std::string& uri) {
  const auto& plugins = host.Plugins();
  for (size_t i = 0; i < plugins.size(); ++i)
    if (plugins[i].uri == uri) return int(i);
  return -1;
}

// Two tones of amplitude 0.25, left and right alike, as stereo interleaved floats.
std::vector<float> TwoTones(int frames) {
  std::vector<float> block(size_t(frames) * 2);
  for (int i = 0; i < frames; ++i) {
    const double t = i / kLv2SampleRate;
    const float v = float(0.25 * std::sin(2 * std::numbers::pi * kLowHz * t) +
                          0.25 * std::sin(2 * std::numbers::pi * kHighHz * t));
    block[2 * size_t(i)] = v;
    block[2 * size_t(i) + 1] = v;
  }
  return block;
}

// One channel of frames [from, end) in 16-bit full-scale units, for test::ToneDb.
std::vector<double> Channel(const std::vector<float>& block, int channel, int from) {
  std::vector<double> x;
  for (size_t i = size_t(from) * 2 + size_t(channel); i < block.size(); i += 2) x.push_back(block[i] * 32767.0);
  return x;
}

// Runs the block through the effect in pieces of `blockFrames`.
void RunInBlocks(Lv2Effect& effect, std::vector<float>& block, int blockFrames) {
  const int frames = int(block.size() / 2);
  for (int at = 0; at < frames; at += blockFrames)
    effect.Process(block.data() + 2 * size_t(at), std::min(blockFrames, frames - at));
}

class Lv2HostTest : public ::testing::Test {
 protected:
  // A private LV2_PATH holding x42's equaliser; false (and a skip or CI failure) without it.
  bool UseFil4() {
    if (!folder_.Link(test::kFil4Bundle)) return false;
    folder_.Use();
    return true;
  }
  test::Lv2Folder folder_;
};

#define REQUIRE_FIL4()                                                                         \
  do {                                                                                        \
    if (!UseFil4()) ZONDA_SKIP_OR_FAIL("x42-plugins is not installed (no fil4.lv2 bundle)"); \
  } while (0)

TEST(Lv2StereoLayout, FollowsTheAudioPortsAndRefusesUnfeedablePorts) {
  using K = Lv2PortKind;
  struct Case {
    const char* what;
    std::vector<K> kinds;
    Lv2StereoLayout layout;
  } cases[] = {
      {"stereo effect", {K::kAudioIn, K::kAudioIn, K::kAudioOut, K::kAudioOut, K::kControlIn}, Lv2StereoLayout::kStereo},
      {"mono effect", {K::kControlIn, K::kAudioIn, K::kAudioOut, K::kControlOut}, Lv2StereoLayout::kPairedMono},
      {"mono to stereo", {K::kAudioIn, K::kAudioOut, K::kAudioOut}, Lv2StereoLayout::kMonoToStereo},
      {"atom ports and optional ports", {K::kAtomIn, K::kAtomOut, K::kUnconnected, K::kAudioIn, K::kAudioIn,
                                         K::kAudioOut, K::kAudioOut}, Lv2StereoLayout::kStereo},
      {"instrument", {K::kAtomIn, K::kAudioOut, K::kAudioOut}, Lv2StereoLayout::kNone},
      {"required CV port", {K::kAudioIn, K::kAudioOut, K::kUnsupported}, Lv2StereoLayout::kNone},
      {"side chain", {K::kAudioIn, K::kAudioIn, K::kAudioIn, K::kAudioOut, K::kAudioOut}, Lv2StereoLayout::kNone},
      {"analyser", {K::kAudioIn, K::kAudioIn, K::kControlOut}, Lv2StereoLayout::kNone},
  };
  for (const Case& c : cases) EXPECT_EQ(StereoLayoutOf(c.kinds), c.layout) << c.what;
}

TEST_F(Lv2HostTest, ListsTheInstalledEffectsWithStableIndexes) {
  if (test::FindSystemLv2Bundle(test::kFil4Bundle).empty())
    ZONDA_SKIP_OR_FAIL("x42-plugins is not installed (no fil4.lv2 bundle)");
  // The machine's own LV2 folders, as the program sees them.
  const char* was = std::getenv("LV2_PATH");
  const std::string previous = was ? was : "";
  ::unsetenv("LV2_PATH");
  Lv2Host first;
  Lv2Host second;
  if (was) ::setenv("LV2_PATH", previous.c_str(), 1);

  ASSERT_EQ(first.Plugins().size(), second.Plugins().size());
  for (size_t i = 0; i < first.Plugins().size(); ++i) EXPECT_EQ(first.Plugins()[i].uri, second.Plugins()[i].uri);
  const int stereo = IndexOf(first, test::kFil4Stereo);
  const int mono = IndexOf(first, test::kFil4Mono);
  ASSERT_GE(stereo, 0);
  ASSERT_GE(mono, 0);
  EXPECT_EQ(first.Plugins()[size_t(stereo)].name, "x42-eq - Parametric Equalizer Stereo");
  EXPECT_EQ(first.Plugins()[size_t(stereo)].layout, Lv2StereoLayout::kStereo);
  EXPECT_EQ(first.Plugins()[size_t(mono)].layout, Lv2StereoLayout::kPairedMono);
  // Not effects: a signal generator (no audio input) and a MIDI filter (no audio at all).
  EXPECT_EQ(IndexOf(first, "http://gareus.org/oss/lv2/testsignal"), -1);
  EXPECT_EQ(IndexOf(first, "http://gareus.org/oss/lv2/midifilter#channelfilter"), -1);
  for (const Lv2PluginEntry& p : first.Plugins()) EXPECT_NE(p.layout, Lv2StereoLayout::kNone) << p.uri;
}

TEST_F(Lv2HostTest, RefusesIndexesOutOfRange) {
  REQUIRE_FIL4();
  Lv2Host host;
  ASSERT_EQ(host.Plugins().size(), 2u);  // fil4 stereo and mono
  for (int32_t index : {-1, 2, 1000}) {
    EXPECT_EQ(host.Load(index), nullptr) << index;
    EXPECT_NE(host.LastError().find("no LV2 plug-in"), std::string::npos);
  }
  EXPECT_EQ(host.LoadedCount(), 0u);
  EXPECT_FALSE(host.Unload(nullptr));
}

TEST_F(Lv2HostTest, WithoutAQApplicationTheEditorStaysShut) {
  REQUIRE_FIL4();
  Lv2Host host;
  Lv2Effect* effect = host.Load(0);
  ASSERT_NE(effect, nullptr) << host.LastError();
  host.ShowEditor(effect, true);
  EXPECT_FALSE(host.EditorVisible(effect));
  host.ShowEditor(nullptr, true);
}

TEST_F(Lv2HostTest, ControlsStartAtTheirDefaultsAndKeepInBounds) {
  REQUIRE_FIL4();
  Lv2Host host;
  Lv2Effect* effect = host.Load(IndexOf(host, test::kFil4Stereo));
  ASSERT_NE(effect, nullptr) << host.LastError();
  EXPECT_EQ(effect->Name(), "x42-eq - Parametric Equalizer Stereo");
  EXPECT_EQ(effect->Instances(), 1);

  struct Case {
    const char* symbol;
    float minimum, maximum, defaultValue;
    bool toggled, integer, logarithmic;
  } cases[] = {
      {"enable", 0, 1, 1, true, true, false},
      {"gain", -18, 18, 0, false, false, false},
      {"LowPass", 0, 1, 0, true, true, false},
      {"LPfreq", 500, 20000, 20000, false, false, true},
      {"HPQ", 0, 1.4f, 0.7f, false, false, false},
  };
  for (const Case& c : cases) {
    const int i = effect->FindControl(c.symbol);
    ASSERT_GE(i, 0) << c.symbol;
    const TControlPortInfo& port = effect->Controls()[size_t(i)];
    EXPECT_FLOAT_EQ(port.minimum, c.minimum) << c.symbol;
    EXPECT_FLOAT_EQ(port.maximum, c.maximum) << c.symbol;
    EXPECT_FLOAT_EQ(effect->ControlValues()[i].load(), c.defaultValue) << c.symbol;
    EXPECT_EQ(port.toggled, c.toggled) << c.symbol;
    EXPECT_EQ(port.integer, c.integer) << c.symbol;
    EXPECT_EQ(port.logarithmic, c.logarithmic) << c.symbol;
    // Scale points without lv2:enumeration are not a choice list.
    EXPECT_TRUE(port.namedValues.empty()) << c.symbol;
  }
  EXPECT_EQ(effect->FindControl("peak"), -1);  // a control output
  const int lpFreq = effect->FindControl("LPfreq");
  effect->SetControl(lpFreq, 100.0f);
  EXPECT_FLOAT_EQ(effect->ControlValues()[lpFreq].load(), 500.0f);
  effect->SetControl(lpFreq, 1e9f);
  EXPECT_FLOAT_EQ(effect->ControlValues()[lpFreq].load(), 20000.0f);
  effect->SetControl(99999, 1.0f);  // ignored
}

// The low-pass at 500 Hz keeps a 100 Hz tone and takes an 8 kHz tone down, for
// the stereo plug-in and the mono one run as a pair, in device-sized blocks and
// in blocks longer than the 4,411 frames a plug-in runs at once.
TEST_F(Lv2HostTest, LowPassKeepsTheLowToneAndCutsTheHighOne) {
  REQUIRE_FIL4();
  Lv2Host host;
  struct Case {
    const char* uri;
    int instances;
    int blockFrames;
  } cases[] = {
      {test::kFil4Stereo, 1, 256}, {test::kFil4Stereo, 1, 10000}, {test::kFil4Mono, 2, 256}, {test::kFil4Mono, 2, 4411},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.uri) + " in blocks of " + std::to_string(c.blockFrames));
    Lv2Effect* effect = host.Load(IndexOf(host, c.uri));
    ASSERT_NE(effect, nullptr) << host.LastError();
    EXPECT_EQ(effect->Instances(), c.instances);
    effect->SetControl(effect->FindControl("LowPass"), 1.0f);
    effect->SetControl(effect->FindControl("LPfreq"), 500.0f);

    const int frames = 44100;
    std::vector<float> block = TwoTones(frames);
    const std::vector<double> dry = Channel(block, 0, frames / 2);
    RunInBlocks(*effect, block, c.blockFrames);
    for (int channel : {0, 1}) {
      const std::vector<double> wet = Channel(block, channel, frames / 2);  // after the filter settled
      EXPECT_NEAR(test::ToneDb(wet, kLowHz), test::ToneDb(dry, kLowHz), 1.5) << "channel " << channel;
      EXPECT_LT(test::ToneDb(wet, kHighHz), test::ToneDb(dry, kHighHz) - 30.0) << "channel " << channel;
    }
    EXPECT_TRUE(host.Unload(effect));
  }
}

// A plug-in with one input and two outputs hears the mean of left and right.
TEST_F(Lv2HostTest, MonoInStereoOutHearsBothChannels) {
  if (!folder_.Link(test::kSplitBundle)) ZONDA_SKIP_OR_FAIL("swh-lv2 is not installed (no split-swh.lv2 bundle)");
  folder_.Use();
  Lv2Host host;
  ASSERT_EQ(IndexOf(host, test::kSplit), 0);
  EXPECT_EQ(host.Plugins()[0].layout, Lv2StereoLayout::kMonoToStereo);
  Lv2Effect* effect = host.Load(0);
  ASSERT_NE(effect, nullptr) << host.LastError();
  EXPECT_EQ(effect->Instances(), 1);
  // The low tone on the left only, the high tone on the right only.
  const int frames = 8192;
  std::vector<float> block(size_t(frames) * 2);
  for (int i = 0; i < frames; ++i) {
    block[2 * size_t(i)] = float(0.5 * std::sin(2 * std::numbers::pi * kLowHz * i / kLv2SampleRate));
    block[2 * size_t(i) + 1] = float(0.5 * std::sin(2 * std::numbers::pi * kHighHz * i / kLv2SampleRate));
  }
  RunInBlocks(*effect, block, 256);
  const double half = test::FullScaleDb(0.25 * 32767);
  for (int channel : {0, 1}) {
    const std::vector<double> out = Channel(block, channel, 0);
    EXPECT_NEAR(test::ToneDb(out, kLowHz), half, 0.5) << "channel " << channel;
    EXPECT_NEAR(test::ToneDb(out, kHighHz), half, 0.5) << "channel " << channel;
  }
}

TEST_F(Lv2HostTest, ProcessingNeitherAllocatesNorLocks) {
  REQUIRE_FIL4();
  Lv2Host host;
  for (const char* uri : {test::kFil4Stereo, test::kFil4Mono}) {
    Lv2Effect* effect = host.Load(IndexOf(host, uri));
    ASSERT_NE(effect, nullptr) << host.LastError();
    effect->SetControl(effect->FindControl("LowPass"), 1.0f);
    std::vector<float> block = TwoTones(9000);  // three pieces
    EXPECT_EQ(test::CountAllocations([&] { effect->Process(block.data(), 9000); }), 0) << uri;
    EXPECT_EQ(test::CountLocks([&] { effect->Process(block.data(), 9000); }), 0) << uri;
    // Nothing to do: no crash, no change.
    const float first = block[0];
    effect->Process(block.data(), 0);
    effect->Process(block.data(), -5);
    effect->Process(nullptr, 256);
    EXPECT_EQ(block[0], first);
  }
}

TEST_F(Lv2HostTest, LoadsAndUnloadsAThousandTimes) {
  REQUIRE_FIL4();
  Lv2Host host;
  const int stereo = IndexOf(host, test::kFil4Stereo);
  std::vector<float> block = TwoTones(256);
  for (int i = 0; i < 1000; ++i) {
    Lv2Effect* effect = host.Load(stereo);
    ASSERT_NE(effect, nullptr) << host.LastError();
    effect->Process(block.data(), 256);
    ASSERT_TRUE(host.Unload(effect));
  }
  EXPECT_EQ(host.LoadedCount(), 0u);
  // Effects still loaded when the host goes are unloaded with it.
  for (int i = 0; i < 3; ++i) ASSERT_NE(host.Load(stereo), nullptr);
  EXPECT_EQ(host.LoadedCount(), 3u);
}

TEST_F(Lv2HostTest, SurvivesBrokenBundles) {
  if (!folder_.Link(test::kFil4Bundle)) ZONDA_SKIP_OR_FAIL("x42-plugins is not installed (no fil4.lv2 bundle)");
  folder_.WriteBundle("garbage.lv2", "manifest.ttl", "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n<x> a {{ ;;");
  folder_.WriteBundle("empty.lv2", "manifest.ttl", "");
  folder_.WriteBundle("missing.lv2", "manifest.ttl", test::kMissingBinaryManifest);
  folder_.WriteBundle("missing.lv2", "missing.ttl", test::kMissingBinaryPlugin);
  // Another such plug-in, but needing a feature this host does not offer.
  auto renamed = [](std::string text) {
    for (size_t at; (at = text.find("missing-binary")) != std::string::npos;) text.replace(at, 14, "needs-worker");
    return text;
  };
  std::string needsWorker = renamed(test::kMissingBinaryPlugin);
  needsWorker.replace(needsWorker.find("doap:name"), 0,
                      "lv2:requiredFeature <http://lv2plug.in/ns/ext/worker#schedule> ;\n  ");
  folder_.WriteBundle("worker.lv2", "manifest.ttl", renamed(test::kMissingBinaryManifest));
  folder_.WriteBundle("worker.lv2", "missing.ttl", needsWorker);
  // Its description is missing altogether.
  folder_.WriteBundle("nodata.lv2", "manifest.ttl",
                      "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
                      "<urn:zonda:test:no-data> a lv2:Plugin ; lv2:binary <none.so> .\n");
  folder_.Use();

  Lv2Host host;
  EXPECT_GE(IndexOf(host, test::kFil4Stereo), 0);
  EXPECT_GE(IndexOf(host, test::kFil4Mono), 0);
  EXPECT_EQ(IndexOf(host, "urn:zonda:test:no-data"), -1);
  EXPECT_EQ(IndexOf(host, "urn:zonda:test:needs-worker"), -1);
  // Described as a stereo effect, so listed; its binary is not there, so it does not load.
  const int missing = IndexOf(host, "urn:zonda:test:missing-binary");
  ASSERT_GE(missing, 0);
  EXPECT_EQ(host.Load(missing), nullptr);
  EXPECT_NE(host.LastError().find("would not instantiate"), std::string::npos) << host.LastError();
  Lv2Effect* fil4 = host.Load(IndexOf(host, test::kFil4Stereo));
  EXPECT_NE(fil4, nullptr) << host.LastError();
}

}  // namespace
}  // namespace zonda::ilvex
