#pragma once
// What a test needs but the machine may lack (a tool, a server, the program's
// environment). On a developer machine the test is skipped, and ctest lists
// its program as skipped; with CI=true or ZONDA_REQUIRE_ALL=1 the test fails
// and names what was missing, so CI never passes a test that did not run.
//
//   ZONDA_REQUIRE_TOOLS("lame", "sox");              // in a test body or SetUp
//   if (!std::getenv("X")) ZONDA_SKIP_OR_FAIL("X not set");
#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

namespace zonda::test {

// CI=true (or 1), or ZONDA_REQUIRE_ALL=1: every test must run.
bool RequireAll();

// "missing: lame, sox" for those of `tools` not on PATH; empty when all are there.
std::string MissingTools(std::initializer_list<std::string> tools);

// Exit status of a test program whose tests passed with some skipped; ctest
// reports it as skipped (SKIP_RETURN_CODE, set by zonda_test()).
inline constexpr int kSkippedExitCode = 77;

}  // namespace zonda::test

// Skips the current test, or fails it under CI. Use where GTEST_SKIP() would go.
#define ZONDA_SKIP_OR_FAIL(reason)                                                           \
  do {                                                                                       \
    const std::string zondaSkipReason_ = (reason);                                           \
    if (::zonda::test::RequireAll()) {                                                       \
      GTEST_FAIL() << zondaSkipReason_ << " (CI=true or ZONDA_REQUIRE_ALL=1: may not skip)"; \
    } else {                                                                                 \
      GTEST_SKIP() << zondaSkipReason_;                                                      \
    }                                                                                        \
  } while (0)

// Skips (or fails under CI) unless every named tool is on PATH.
#define ZONDA_REQUIRE_TOOLS(...)                                                       \
  do {                                                                                 \
    const std::string zondaMissingTools_ = ::zonda::test::MissingTools({__VA_ARGS__}); \
    if (!zondaMissingTools_.empty()) ZONDA_SKIP_OR_FAIL(zondaMissingTools_);           \
  } while (0)
