// Effect slots: loading each kind, the dry/wet rule, the click-free switch,
// and unloading while the audio thread runs.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <filesystem>
#include <thread>
#include <vector>

#include "effects/EffectPlugin.h"
#include "effects/EffectSlots.h"
#include "engine/IlvexLibrary.h"
#include "tests/support/AllocationCounter.h"
#include "tests/support/LockCounter.h"

namespace zonda {
namespace {

namespace fs = std::filesystem;

std::string Fixture(const std::string& name) { return std::string(ZONDA_FX_FIXTURES) + "/fixture_fx_" + name + ".so"; }

// What the fixture effect saw, through its extra exports.
int64_t FixtureCount(const TEffectPlugin& slot, const char* what) {
  void* lib = dlopen(slot.Ident().c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (lib == nullptr) return -1;
  auto fn = reinterpret_cast<int64_t (*)(intptr_t)>(dlsym(lib, what));
  const int64_t n = fn != nullptr ? fn(slot.Instance()) : -1;
  dlclose(lib);
  return n;
}

std::vector<int16_t> Constant(int32_t frames, int16_t value) { return std::vector<int16_t>(size_t(frames) * 2, value); }

TEST(EffectPlugin, LoadsANativePluginAndRefusesBrokenOnes) {
  TEffectHost host;
  TEffectPlugin slot(1, &host);
  EXPECT_TRUE(slot.Empty());
  EXPECT_EQ(slot.Name(), "[ load FX ]");
  EXPECT_EQ(slot.Ident(), "-");

  for (const char* broken : {"version1", "nocreate", "noclear"}) {
    EXPECT_FALSE(slot.LoadPlugin(Fixture(broken))) << broken;
    EXPECT_TRUE(slot.Empty()) << broken;
    EXPECT_EQ(slot.Name(), "[ load FX ]") << broken;  // nothing was ever loaded
  }
  EXPECT_FALSE(slot.LoadPlugin("/nonexistent/echo.so"));
  EXPECT_FALSE(slot.LoadPlugin("x"));  // too short: ignored

  ASSERT_TRUE(slot.LoadPlugin(Fixture("good")));
  EXPECT_FALSE(slot.Empty());
  EXPECT_FALSE(slot.Active());
  EXPECT_EQ(slot.Kind(), TEffectKind::Native);
  EXPECT_EQ(slot.Name(), "Fixture Inverter");
  EXPECT_EQ(slot.Ident(), Fixture("good"));

  // A failed load after a good one unloads first: the name shows "-".
  EXPECT_FALSE(slot.LoadPlugin(Fixture("version1")));
  EXPECT_TRUE(slot.Empty());
  EXPECT_EQ(slot.Name(), "-");
  EXPECT_EQ(slot.Ident(), "-");
}

TEST(EffectPlugin, APathThatIsGoneIsTriedInTheEffectsFolder) {
  TEffectHost host;
  host.EffectsFolder = ZONDA_FX_FIXTURES;
  TEffectPlugin slot(2, &host);
  ASSERT_TRUE(slot.LoadPlugin("/old/place/fixture_fx_good.so"));
  EXPECT_EQ(slot.Ident(), (fs::path(ZONDA_FX_FIXTURES) / "fixture_fx_good.so").string());
}

TEST(EffectPlugin, DryWetKnobFollowsTheRule) {
  struct Case {
    int32_t knob;
    int16_t expected;  // for a constant 1000 through the inverter
  };
  // 100: wet (in place); 1 and 0: dry; 50: round(0.5 x 1000 + 0.5 x -1000); 75: -500.
  const Case cases[] = {{100, -1000}, {1, 1000}, {0, 1000}, {50, 0}, {75, -500}, {2, 960}};
  for (const Case& c : cases) {
    TEffectHost host;
    TEffectPlugin slot(1, &host);
    ASSERT_TRUE(slot.LoadPlugin(Fixture("good")));
    slot.SetDryWetKnob(c.knob);
    slot.SetActive(true);
    // The switch fades in over kEffectRampFrames; run past it first.
    std::vector<int16_t> block = Constant(512, 1000);
    slot.ProcessBlock(block.data(), int32_t(block.size() * 2), 120.0);
    block = Constant(256, 1000);
    const int64_t callsBefore = FixtureCount(slot, "fixture_calls");
    slot.ProcessBlock(block.data(), int32_t(block.size() * 2), 120.0);
    EXPECT_EQ(block.front(), c.expected) << c.knob;
    EXPECT_EQ(block.back(), c.expected) << c.knob;
    // Fully dry still runs the plug-in on a copy: its state advances.
    EXPECT_EQ(FixtureCount(slot, "fixture_calls"), callsBefore + 1) << c.knob;
  }
}

TEST(EffectPlugin, SwitchingOnAndOffFadesAndCallsStartAndStop) {
  TEffectHost host;
  TEffectPlugin slot(1, &host);
  ASSERT_TRUE(slot.LoadPlugin(Fixture("good")));
  std::vector<int16_t> block = Constant(256, 8000);
  slot.ProcessBlock(block.data(), int32_t(block.size() * 2), 0.0);
  EXPECT_EQ(block.back(), 8000);  // off: untouched
  EXPECT_EQ(FixtureCount(slot, "fixture_calls"), 0);

  slot.SetActive(true);
  EXPECT_EQ(FixtureCount(slot, "fixture_starts"), 1);
  block = Constant(512, 8000);
  slot.ProcessBlock(block.data(), int32_t(block.size() * 2), 0.0);
  // From +8000 to -8000 over 221 frames: no step is larger than the ramp's.
  int maxStep = 0;
  int previous = 8000;
  for (size_t i = 0; i < block.size(); i += 2) {
    maxStep = std::max(maxStep, std::abs(block[i] - previous));
    previous = block[i];
  }
  EXPECT_LE(maxStep, 16000 / kEffectRampFrames + 1);
  EXPECT_EQ(block[size_t(kEffectRampFrames) * 2 + 2], -8000);
  EXPECT_EQ(block.back(), -8000);

  // Switching off with the audio thread running: it fades out, and only then is "stop" called.
  std::atomic<bool> run{true};
  std::atomic<int> maxJump{0};
  std::thread audio([&] {
    int16_t last = -8000;
    std::vector<int16_t> b = Constant(64, 8000);
    while (run) {
      std::fill(b.begin(), b.end(), int16_t(8000));
      slot.ProcessBlock(b.data(), int32_t(b.size() * 2), 0.0);
      for (size_t i = 0; i < b.size(); i += 2) {
        maxJump = std::max(maxJump.load(), std::abs(b[i] - last));
        last = b[i];
      }
    }
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  slot.SetActive(false);
  EXPECT_EQ(FixtureCount(slot, "fixture_stops"), 1);
  const int64_t callsAtStop = FixtureCount(slot, "fixture_calls");
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  run = false;
  audio.join();
  EXPECT_EQ(FixtureCount(slot, "fixture_calls"), callsAtStop);  // no call after "stop"
  EXPECT_LE(maxJump.load(), 16000 / kEffectRampFrames + 1);
}

TEST(EffectPlugin, LoadingIntoASwitchedOnSlotLeavesItOff) {
  TEffectHost host;
  TEffectPlugin slot(3, &host);
  ASSERT_TRUE(slot.LoadPlugin(Fixture("good")));
  slot.SetActive(true);
  ASSERT_TRUE(slot.Active());
  ASSERT_TRUE(slot.LoadPlugin(Fixture("good")));
  EXPECT_FALSE(slot.Active());
  slot.SetActive(true);
  slot.ShowEditor();
  EXPECT_EQ(FixtureCount(slot, "fixture_edits"), 1);
  slot.UnloadPlugin();
  slot.SetActive(true);  // an empty slot stays off
  EXPECT_FALSE(slot.Active());
}

TEST(EffectPlugin, Lv2RoundTripUsesTheStoredScale) {
  IlvexLibrary ilvex;
  ASSERT_TRUE(ilvex.Load(std::string(ZONDA_FX_FIXTURES) + "/fixture_fx_ilvex.so")) << ilvex.LastError();
  TEffectSlots fx;
  fx.Host.Ilvex = &ilvex;
  fx.BindEffectBridge("/nonexistent/libtorvane.so");
  std::string error;
  const fs::path exclusion = fs::temp_directory_path() / "zonda_exclude_vst_test.txt";
  {
    FILE* f = std::fopen(exclusion.c_str(), "w");
    std::fputs("Fixture Other\n", f);
    std::fclose(f);
  }
  ASSERT_TRUE(fx.BuildVstList(exclusion.string(), &error)) << error;
  ASSERT_EQ(fx.VstList().size(), 1u);

  TEffectPlugin& slot = fx.Slot(5);
  EXPECT_FALSE(slot.LoadPlugin("#1"));
  EXPECT_FALSE(slot.LoadPlugin("#x"));
  EXPECT_FALSE(slot.LoadPlugin("*0"));  // no bridge
  ASSERT_TRUE(slot.LoadPlugin("#0"));
  EXPECT_EQ(slot.Kind(), TEffectKind::Lv2);
  EXPECT_EQ(slot.Name(), "Fixture Through");
  EXPECT_EQ(slot.Ident(), "#0");
  slot.SetActive(true);
  std::vector<int16_t> block = Constant(600, 32767);
  block[1000] = -32768;
  block[1001] = 1;
  slot.ProcessBlock(block.data(), int32_t(block.size() * 2), 0.0);
  block = Constant(600, 32767);
  block[1000] = -32768;
  block[1001] = 1;
  slot.ProcessBlock(block.data(), int32_t(block.size() * 2), 0.0);
  EXPECT_EQ(block[0], 32210);  // round(32767 x 3e-05 x 32767)
  EXPECT_EQ(block[1000], -32211);
  EXPECT_EQ(block[1001], 1);
  fs::remove(exclusion);
}

TEST(EffectPlugin, TheAudioPathNeitherAllocatesNorLocks) {
  IlvexLibrary ilvex;
  ASSERT_TRUE(ilvex.Load(std::string(ZONDA_FX_FIXTURES) + "/fixture_fx_ilvex.so"));
  TEffectSlots fx;
  fx.Host.Ilvex = &ilvex;
  fx.BindEffectBridge("/nonexistent/libtorvane.so");
  std::string error;
  const fs::path exclusion = fs::temp_directory_path() / "zonda_exclude_vst_empty.txt";
  { FILE* f = std::fopen(exclusion.c_str(), "w"); std::fclose(f); }
  ASSERT_TRUE(fx.BuildVstList(exclusion.string(), &error));
  fs::remove(exclusion);
  ASSERT_TRUE(fx.Slot(1).LoadPlugin(Fixture("good")));
  ASSERT_TRUE(fx.Slot(2).LoadPlugin("#0"));
  fx.Slot(1).SetDryWetKnob(40);
  fx.Slot(1).SetActive(true);
  fx.Slot(2).SetActive(true);
  std::vector<int16_t> block = Constant(441, 1234);
  auto run = [&] {
    for (int k = 0; k < 20; ++k)
      for (int s = 1; s <= 4; ++s) fx.Slot(s).ProcessBlock(block.data(), int32_t(block.size() * 2), 128.0);
  };
  EXPECT_EQ(test::CountAllocations(run), 0);
  EXPECT_EQ(test::CountLocks(run), 0);
}

TEST(EffectPlugin, UnloadingWhileTheAudioThreadRunsIsSafe) {
  // The fixture's instance is freed by "destroy" and its library closed: a
  // process call during or after that is a use-after-free ASan reports.
  TEffectHost host;
  TEffectPlugin slot(1, &host);
  std::atomic<bool> run{true};
  std::thread audio([&] {
    std::vector<int16_t> b = Constant(128, 500);
    while (run) slot.ProcessBlock(b.data(), int32_t(b.size() * 2), 0.0);
  });
  for (int k = 0; k < 300; ++k) {
    ASSERT_TRUE(slot.LoadPlugin(Fixture("good")));
    slot.SetActive(true);
    if (k % 3 == 0) std::this_thread::sleep_for(std::chrono::microseconds(200));
    if (k % 2 == 0) slot.SetActive(false);
    slot.UnloadPlugin();
  }
  run = false;
  audio.join();
  EXPECT_TRUE(slot.Empty());
}

}  // namespace
}  // namespace zonda
