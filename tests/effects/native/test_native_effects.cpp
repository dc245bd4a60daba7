// What every shipped effect module promises a host, checked over all eight:
// the nine exports and version 2, its name, processing that neither allocates
// nor locks, the same output however a block is split, a clean start, full
// scale that saturates instead of wrapping, and bad arguments that do nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "tests/effects/native/EffectModule.h"
#include "tests/support/AllocationCounter.h"
#include "tests/support/LockCounter.h"
#include "tests/support/Require.h"

namespace zonda::test {
namespace {

class NativeEffects : public ::testing::TestWithParam<TShippedEffect> {
 protected:
  void SetUp() override {
    if (EffectsDir().empty()) ZONDA_SKIP_OR_FAIL("ZONDA_PROGRAM_DIR not set (run through ctest)");
    ASSERT_TRUE(module_.Open(GetParam().file)) << module_.error;
  }
  TEffectModule module_;
};

// A bit of everything: an impulse, a loud chord, noise, a sweep, silence.
std::vector<int16_t> MixedSignal(int32_t frames) {
  std::vector<int16_t> s = Silence(frames);
  std::vector<int16_t> noise = Noise(frames, 9000, 7);
  for (int32_t i = 0; i < frames; ++i) {
    const double t = i / 44100.0;
    double l = 0, r = 0;
    if (i == 100) l = r = 30000;
    if (t > 0.2 && t < 1.2) {
      l = 9000 * std::sin(2 * std::numbers::pi * 220 * t) + 7000 * std::sin(2 * std::numbers::pi * 3300 * t);
      r = 9000 * std::sin(2 * std::numbers::pi * 330 * t);
    }
    if (t > 1.4 && t < 2.0) l = noise[2 * i], r = noise[2 * i + 1];
    if (t > 2.0 && t < 2.5) l = r = 12000 * std::sin(2 * std::numbers::pi * (200 + 4000 * (t - 2.0)) * (t - 2.0));
    s[2 * i] = static_cast<int16_t>(std::lround(l));
    s[2 * i + 1] = static_cast<int16_t>(std::lround(r));
  }
  return s;
}

TEST_P(NativeEffects, ExportAllNineWithVersionTwoAndTheirName) {
  EXPECT_EQ(module_.getdspversion(), 2);
  EXPECT_STREQ(module_.getname(), GetParam().name);
  module_.clear();  // exists and does nothing
  for (const char* hidden : {"_ZN5zonda2fx13TDelayLineC1Ei", "CreateNativeEffect", "zonda_fx"}) {
    EXPECT_EQ(dlsym(module_.handle(), hidden), nullptr) << hidden << " is not exported";
  }
  const intptr_t a = module_.create(nullptr);
  const intptr_t b = module_.create(nullptr);
  EXPECT_NE(a, 0);
  EXPECT_NE(b, 0);
  EXPECT_NE(a, b);
  module_.destroy(a);
  module_.destroy(b);
}

TEST_P(NativeEffects, ProcessNeitherAllocatesNorLocks) {
  int createAllocations = 0;
  intptr_t instance = 0;
  createAllocations = CountAllocations([&] { instance = module_.create(nullptr); });
  EXPECT_GT(createAllocations, 0) << "the counter sees the module's allocations (they happen in create)";
  module_.start(instance);
  std::vector<int16_t> signal = MixedSignal(44100);
  int allocations = 0, locks = 0;
  for (double tempo : {120.0, 0.0, 97.3, 400.0}) {
    for (int32_t frames : {1, 256, 4411, 44100}) {
      allocations += CountAllocations([&] { module_.process(instance, signal.data(), frames * 4, tempo); });
      locks += CountLocks([&] { module_.process(instance, signal.data(), frames * 4, tempo); });
    }
    module_.stop(instance);
    allocations += CountAllocations([&] { module_.start(instance); });
    allocations += CountAllocations([&] { module_.process(instance, signal.data(), 256 * 4, tempo); });
  }
  EXPECT_EQ(allocations, 0);
  EXPECT_EQ(locks, 0);
  module_.destroy(instance);
}

TEST_P(NativeEffects, SplittingABlockChangesNothing) {
  const std::vector<int16_t> input = MixedSignal(3 * 44100);
  std::vector<int16_t> reference = input;
  {
    TEffectInstance fx(module_);
    fx.ProcessInPieces(reference, 126.5, 44100);
  }
  EXPECT_NE(reference, input) << "the effect changes the signal";
  struct Split {
    const char* what;
    int32_t frames;  // 0: random lengths 1..3000
  };
  const Split splits[] = {{"one frame", 1}, {"256 frames", 256}, {"4411 frames", 4411}, {"random", 0}};
  for (const Split& split : splits) {
    SCOPED_TRACE(split.what);
    std::vector<int16_t> out = input;
    TEffectInstance fx(module_);
    if (split.frames > 0) {
      fx.ProcessInPieces(out, 126.5, split.frames);
    } else {
      std::mt19937 rng(11);
      std::uniform_int_distribution<int32_t> length(1, 3000);
      const int32_t total = static_cast<int32_t>(out.size() / 2);
      for (int32_t at = 0; at < total;) {
        const int32_t n = std::min(length(rng), total - at);
        module_.process(fx.handle(), out.data() + 2 * at, n * 4, 126.5);
        at += n;
      }
    }
    ASSERT_EQ(out.size(), reference.size());
    size_t firstDifference = 0;
    while (firstDifference < out.size() && out[firstDifference] == reference[firstDifference]) ++firstDifference;
    EXPECT_EQ(firstDifference, out.size()) << "first different sample at " << firstDifference;
  }
}

TEST_P(NativeEffects, StartBeginsFromSilence) {
  std::vector<int16_t> fresh = MixedSignal(44100);
  const std::vector<int16_t> input = fresh;
  {
    TEffectInstance fx(module_);
    fx.Process(fresh, 128.0);
  }
  TEffectInstance used(module_);
  std::vector<int16_t> loud = Noise(2 * 44100, 30000, 3);
  used.Process(loud, 90.0);
  module_.stop(used.handle());
  module_.start(used.handle());
  std::vector<int16_t> again = input;
  used.Process(again, 128.0);
  EXPECT_EQ(again, fresh) << "no delay line, tail, sweep or envelope left from before";
}

TEST_P(NativeEffects, FullScaleSaturatesInsteadOfWrapping) {
  // Full-scale steps of each sign: wherever an effect adds gain, the sum must
  // stick at the rail, never wrap to the other sign.
  std::vector<int16_t> s = Silence(4 * 44100);
  for (size_t i = 0; i < s.size() / 2; ++i) {
    const bool positive = (i / 44100) % 2 == 0;
    s[2 * i] = s[2 * i + 1] = positive ? 32767 : -32768;
  }
  TEffectInstance fx(module_);
  fx.ProcessInPieces(s, 120.0, 256);
  for (int second = 0; second < 4; ++second) {
    const bool positive = second % 2 == 0;
    // The last half of each second, once filters and delays have settled into the step.
    for (size_t i = second * 44100 + 22050; i < size_t(second + 1) * 44100; ++i) {
      for (int c = 0; c < 2; ++c) {
        const int16_t v = s[2 * i + c];
        ASSERT_TRUE(positive ? v >= 0 : v <= 0) << "frame " << i << " channel " << c << ": " << v;
      }
    }
  }
}

TEST_P(NativeEffects, BadArgumentsDoNothing) {
  TEffectInstance fx(module_, nullptr, /*started=*/false);
  std::vector<int16_t> s = Noise(64, 20000, 5);
  const std::vector<int16_t> before = s;
  module_.process(fx.handle(), nullptr, 256, 120.0);
  module_.process(fx.handle(), s.data(), 0, 120.0);
  module_.process(fx.handle(), s.data(), -400, 120.0);
  module_.process(fx.handle(), s.data(), 3, 120.0);
  module_.process(0, s.data(), 256, 120.0);
  EXPECT_EQ(s, before);
  // Without "start", and with tempos no deck gives, processing still works.
  const double inf = std::numeric_limits<double>::infinity();
  for (double tempo : {std::nan(""), -inf, inf, 1e300, -1.0, 0.0}) {
    module_.process(fx.handle(), s.data(), 64 * 4, tempo);
  }
  module_.start(0);
  module_.stop(0);
  module_.edit(0);
  module_.destroy(0);
  // A block with a trailing partial frame: the whole frames are processed, the rest left alone.
  std::vector<int16_t> odd = Noise(65, 20000, 6);
  const int16_t last = odd.back();
  module_.process(fx.handle(), odd.data(), 64 * 4 + 2, 120.0);
  EXPECT_EQ(odd.back(), last);
}

INSTANTIATE_TEST_SUITE_P(Shipped, NativeEffects, ::testing::ValuesIn(kShippedEffects), [](const auto& info) {
  std::string name = info.param.file;
  return name.substr(0, name.find('.'));
});

}  // namespace
}  // namespace zonda::test
