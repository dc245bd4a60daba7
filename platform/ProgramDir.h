#pragma once
// The installation folder and paths inside it.
//
// ProgramDir() is the folder of the running executable without a trailing "/",
// unless the environment variable ZONDA_PROGRAM_DIR names another folder (tests
// and portable installs). ProgramPath() joins a suffix written the Windows way
// ("\lists\lists.ssa") or the POSIX way ("/lists/lists.ssa") onto it.
//
//   std::string songs = zonda::ProgramPath("\\songinfo.ssa");
//
// Any thread; the value is computed once and then only read.
#include <string>
#include <string_view>

namespace zonda {

const std::string& ProgramDir();

// Suffix with "\" or "/" separators; a missing leading separator is added.
std::string ProgramPath(std::string_view suffix);

// Turns "\x\y" into "/x/y" (no other change).
std::string ToPosixSuffix(std::string_view suffix);

// For tests: forget the cached ProgramDir so the environment is read again.
void ResetProgramDirForTests();

}  // namespace zonda
