#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/ProgramDir.h"

namespace zonda {
namespace {

TEST(ProgramDir, HonoursEnvironmentAndJoinsDesignSuffixes) {
  ::setenv("ZONDA_PROGRAM_DIR", "/opt/zonda/", 1);
  ResetProgramDirForTests();
  EXPECT_EQ(ProgramDir(), "/opt/zonda");
  EXPECT_EQ(ProgramPath("\\lists\\lists.ssa"), "/opt/zonda/lists/lists.ssa");
  EXPECT_EQ(ProgramPath("/skins"), "/opt/zonda/skins");
  EXPECT_EQ(ProgramPath("songinfo.ssa"), "/opt/zonda/songinfo.ssa");
}

TEST(ProgramDir, DefaultsToTheExecutableFolder) {
  ::unsetenv("ZONDA_PROGRAM_DIR");
  ResetProgramDirForTests();
  EXPECT_FALSE(ProgramDir().empty());
  EXPECT_NE(ProgramDir().back(), '/');
  EXPECT_NE(ProgramDir().find("tests"), std::string::npos);
}

}  // namespace
}  // namespace zonda
