// The shipped effects in a headless host (no QApplication, as zonda-engine
// runs them): "edit" does nothing, everything else works.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "tests/effects/native/EffectModule.h"
#include "tests/support/Require.h"

namespace zonda::test {
namespace {

TEST(EffectsHeadless, EditDoesNothingWithoutAnApplication) {
  if (EffectsDir().empty()) ZONDA_SKIP_OR_FAIL("ZONDA_PROGRAM_DIR not set (run through ctest)");
  ASSERT_EQ(QCoreApplication::instance(), nullptr);
  for (const TShippedEffect& effect : kShippedEffects) {
    SCOPED_TRACE(effect.file);
    TEffectModule module;
    ASSERT_TRUE(module.Open(effect.file)) << module.error;
    TEffectInstance fx(module);
    module.edit(fx.handle());
    module.edit(fx.handle());
    std::vector<int16_t> s = Tone(4096, 440, 8000);
    fx.Process(s, 120.0);
    module.stop(fx.handle());
  }
  // A console application is not enough for widgets either.
  int argc = 1;
  char name[] = "headless";
  char* argv[] = {name, nullptr};
  QCoreApplication app(argc, argv);
  TEffectModule module;
  ASSERT_TRUE(module.Open("reverb.so")) << module.error;
  TEffectInstance fx(module);
  module.edit(fx.handle());
  std::vector<int16_t> s = Tone(4096, 440, 8000);
  fx.Process(s, 120.0);
}

}  // namespace
}  // namespace zonda::test
