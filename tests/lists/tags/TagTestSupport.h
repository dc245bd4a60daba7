#pragma once
// Shared by the tag tests: the mutagen helper script (mutagen_tags.py beside
// this file), running commands for their output, and decoding audio to
// compare it before and after a tag write.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <unistd.h>

#include "tests/support/Require.h"
#include "tests/support/TestFiles.h"

namespace zonda::test {

// Debian's python3 (where python3-mutagen is installed), ahead of any other on PATH.
inline std::string Python() { return std::filesystem::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3"; }

inline std::string Quote(const std::string& s) {
  std::string q = "'";
  for (const char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return q + "'";
}

inline std::string MutagenScript() {
  const char* source = std::getenv("ZONDA_SOURCE_DIR");
  return Python() + " " + Quote(std::string(source ? source : ".") + "/tests/lists/tags/mutagen_tags.py");
}

// Skips (fails under CI) without python3-mutagen or ZONDA_SOURCE_DIR.
#define ZONDA_REQUIRE_MUTAGEN()                                                                 \
  do {                                                                                          \
    if (!std::getenv("ZONDA_SOURCE_DIR")) ZONDA_SKIP_OR_FAIL("ZONDA_SOURCE_DIR not set (ctest)"); \
    if (::zonda::test::Run(::zonda::test::Python() + " -c 'import mutagen' 2>/dev/null") != 0)   \
      ZONDA_SKIP_OR_FAIL("python3-mutagen missing");                                            \
  } while (0)

// Runs the command with stdout into a file; returns what it printed, and the status through `status`.
inline std::string Capture(const std::string& command, int* status = nullptr) {
  const std::string out = (std::filesystem::temp_directory_path() /
                           ("zonda-capture-" + std::to_string(::getpid()) + ".txt")).string();
  const int rc = Run(command + " > " + Quote(out));
  if (status) *status = rc;
  std::ifstream in(out, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  std::filesystem::remove(out);
  return text.str();
}

// The file's audio decoded by ffmpeg to 16-bit PCM bytes (empty on failure).
inline std::vector<uint8_t> DecodedSamples(const std::string& file, const std::string& rawFile) {
  if (Run("ffmpeg -v error -y -i " + Quote(file) + " -map 0:a -f s16le " + Quote(rawFile)) != 0) return {};
  return ReadAll(rawFile);
}

}  // namespace zonda::test
