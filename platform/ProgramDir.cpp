#include "platform/ProgramDir.h"

#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <optional>

namespace zonda {
namespace {

std::mutex gDirLock;
std::optional<std::string> gDir;

std::string StripTrailingSeparator(std::string dir) {
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  return dir;
}

std::string ComputeProgramDir() {
  if (const char* env = std::getenv("ZONDA_PROGRAM_DIR"); env && *env) {
    return StripTrailingSeparator(env);
  }
  std::error_code ec;
  auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
  if (ec) return StripTrailingSeparator(std::filesystem::current_path().string());
  return StripTrailingSeparator(exe.parent_path().string());
}

}  // namespace

const std::string& ProgramDir() {
  std::lock_guard guard(gDirLock);
  if (!gDir) gDir = ComputeProgramDir();
  return *gDir;
}

std::string ToPosixSuffix(std::string_view suffix) {
  std::string out(suffix);
  for (char& c : out) {
    if (c == '\\') c = '/';
  }
  return out;
}

std::string ProgramPath(std::string_view suffix) {
  std::string tail = ToPosixSuffix(suffix);
  if (!tail.empty() && tail.front() != '/') tail.insert(tail.begin(), '/');
  return ProgramDir() + tail;
}

void ResetProgramDirForTests() {
  std::lock_guard guard(gDirLock);
  gDir.reset();
}

}  // namespace zonda
