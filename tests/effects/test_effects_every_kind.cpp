// The installed effects of every kind (shipped native, LADSPA through
// libtorvane.so, LV2 through libilvex.so) in the slots: the audio thread
// neither allocates nor locks while the main thread loads, switches and
// unloads them.
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "effects/EffectSlots.h"
#include "tests/effects/InstalledEffects.h"
#include "tests/support/AllocationCounter.h"
#include "tests/support/LockCounter.h"
#include "tests/support/Require.h"

namespace zonda {
namespace {

TEST(EffectsEveryKind, TheAudioThreadNeitherAllocatesNorLocksWhileSlotsChange) {
  test::TInstalledEffects installed;
  ASSERT_TRUE(installed.Ready()) << installed.Error();
  TEffectSlots& fx = installed.Slots;
  const std::string& install = installed.Folder;
  if (fx.DxList().empty() || fx.VstList().empty()) ZONDA_SKIP_OR_FAIL("no LADSPA or no LV2 effects are installed");
  const std::vector<TNativeEffectFile> native = ListNativeEffects(install + "/effects");
  ASSERT_GE(native.size(), 8u);

  std::vector<std::string> idents;
  for (const TNativeEffectFile& f : native) idents.push_back(f.Path);
  for (size_t i = 0; i < fx.DxList().size(); ++i) idents.push_back("*" + std::to_string(i));
  for (size_t i = 0; i < fx.VstList().size(); ++i) idents.push_back("#" + std::to_string(i));

  std::atomic<bool> run{true};
  std::atomic<int> allocations{-1}, locks{-1};
  std::atomic<int64_t> blocks{0};
  std::thread audio([&] {
    std::vector<int16_t> block(256 * 2);
    double phase = 0;
    auto loop = [&] {
      while (run.load()) {
        for (auto& s : block) s = static_cast<int16_t>(std::lround(8000 * std::sin(phase += 0.05)));
        for (int n = 1; n <= 4; ++n) fx.Slot(n).ProcessBlock(block.data(), 256 * 4, 125.0);
        blocks.fetch_add(1);
      }
    };
    test::BeginCountingLocks();
    allocations = test::CountAllocations(loop);
    locks = test::EndCountingLocks();
  });
  int loaded = 0;
  for (size_t k = 0; k < idents.size() * 2; ++k) {
    TEffectPlugin& slot = fx.Slot(1 + int32_t(k % 4));
    if (slot.LoadPlugin(idents[k % idents.size()])) ++loaded;
    slot.SetDryWetKnob(k % 2 ? 100 : 50);
    slot.SetActive(true);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    if (k % 3 == 0) slot.SetActive(false);
  }
  for (int n = 1; n <= 4; ++n) fx.Slot(n).UnloadPlugin();
  run = false;
  audio.join();
  EXPECT_GT(blocks.load(), 100);
  EXPECT_EQ(allocations.load(), 0);
  EXPECT_EQ(locks.load(), 0);
  // Every listed effect loads (the lists only hold ones that can).
  EXPECT_EQ(loaded, int(idents.size() * 2));
}

}  // namespace
}  // namespace zonda
