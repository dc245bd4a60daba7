#pragma once
// Gives the whole test program a private per-user settings folder.
// QSettings reads XDG_CONFIG_HOME once per process, so this is set before the
// first test and kept until the last. Include once per test program:
//   ZONDA_ISOLATED_SETTINGS();
#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

#include "tests/support/TestFiles.h"

namespace zonda::test {

class IsolatedSettings : public ::testing::Environment {
 public:
  void SetUp() override {
    dir_ = std::make_unique<TempDir>();
    ::setenv("XDG_CONFIG_HOME", dir_->path().c_str(), 1);
    ::unsetenv("ZONDA_AUDIO");
    ::unsetenv("ZONDA_AUDIO_BLOCK");
  }
  void TearDown() override { dir_.reset(); }

 private:
  std::unique_ptr<TempDir> dir_;
};

}  // namespace zonda::test

#define ZONDA_ISOLATED_SETTINGS() \
  [[maybe_unused]] static const auto* const zondaIsolatedSettings = \
      ::testing::AddGlobalTestEnvironment(new ::zonda::test::IsolatedSettings)
