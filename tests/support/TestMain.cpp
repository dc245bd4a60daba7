// main() of every test program. A run whose tests passed but skipped some
// exits with kSkippedExitCode so ctest shows it as skipped, not passed; when
// every test must run (CI), a skip left in any test fails the program.
#include <gtest/gtest.h>

#include <cstdio>

#include "tests/support/Require.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  const int status = RUN_ALL_TESTS();
  const int skipped = testing::UnitTest::GetInstance()->skipped_test_count();
  if (status != 0 || skipped == 0) return status;
  if (zonda::test::RequireAll()) {
    std::fprintf(stderr, "%d test(s) skipped, but CI=true or ZONDA_REQUIRE_ALL=1 requires every test to run\n",
                 skipped);
    return 1;
  }
  return zonda::test::kSkippedExitCode;
}
