#include "torvane/core/LadspaFolders.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <sstream>

namespace zonda {

namespace fs = std::filesystem;

namespace {

std::vector<std::string> Split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  std::stringstream in(text);
  std::string part;
  while (std::getline(in, part, separator))
    if (!part.empty()) parts.push_back(part);
  return parts;
}

}  // namespace

std::vector<std::string> LadspaFolders(const std::string& ladspaPath, const std::string& home) {
  std::vector<std::string> candidates = Split(ladspaPath, ':');
  if (candidates.empty()) {
    candidates = {"/usr/lib/ladspa", "/usr/local/lib/ladspa"};
    const std::string arch = ZONDA_LIBRARY_ARCHITECTURE;
    if (!arch.empty()) candidates.push_back("/usr/lib/" + arch + "/ladspa");
    if (!home.empty()) candidates.push_back(home + "/.ladspa");
  }
  std::vector<std::string> folders;
  std::set<std::string> seen;
  for (const std::string& candidate : candidates) {
    std::error_code error;
    const fs::path canonical = fs::canonical(candidate, error);
    if (error || !fs::is_directory(canonical, error)) continue;
    if (seen.insert(canonical.string()).second) folders.push_back(canonical.string());
  }
  return folders;
}

std::vector<std::string> LadspaFoldersOfEnvironment() {
  const char* path = std::getenv("LADSPA_PATH");
  const char* home = std::getenv("HOME");
  return LadspaFolders(path ? path : "", home ? home : "");
}

std::vector<std::string> LadspaLibrariesIn(const std::string& folder) {
  std::vector<std::string> libraries;
  std::error_code error;
  fs::directory_iterator it(folder, error), end;
  for (; !error && it != end; it.increment(error)) {
    const fs::path& path = it->path();
    if (path.extension() != ".so") continue;
    std::error_code fileError;
    if (!fs::is_regular_file(path, fileError)) continue;  // follows links; skips folders
    const fs::path canonical = fs::canonical(path, fileError);
    if (!fileError) libraries.push_back(canonical.string());
  }
  std::sort(libraries.begin(), libraries.end());
  return libraries;
}

}  // namespace zonda
