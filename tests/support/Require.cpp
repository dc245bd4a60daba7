#include "tests/support/Require.h"

#include <cstdlib>
#include <string_view>

#include "tests/support/TestFiles.h"

namespace zonda::test {

bool RequireAll() {
  auto is = [](const char* name, std::initializer_list<std::string_view> values) {
    const char* v = std::getenv(name);
    if (v == nullptr) return false;
    for (std::string_view value : values) {
      if (value == v) return true;
    }
    return false;
  };
  return is("CI", {"true", "TRUE", "True", "1"}) || is("ZONDA_REQUIRE_ALL", {"1"});
}

std::string MissingTools(std::initializer_list<std::string> tools) {
  std::string missing;
  for (const std::string& tool : tools) {
    if (HaveTool(tool)) continue;
    missing += missing.empty() ? "missing: " : ", ";
    missing += tool;
  }
  return missing;
}

}  // namespace zonda::test
