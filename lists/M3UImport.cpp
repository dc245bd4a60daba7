#include "lists/M3UImport.h"

#include <filesystem>
#include <system_error>

#include "platform/AtomicFile.h"
#include "skin/TextCoding.h"

namespace zonda {
namespace fs = std::filesystem;
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string PercentDecode(std::string_view s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '%' && i + 2 < s.size() && HexValue(s[i + 1]) >= 0 && HexValue(s[i + 2]) >= 0) {
      out.push_back(static_cast<char>(HexValue(s[i + 1]) * 16 + HexValue(s[i + 2])));
      i += 2;
    } else {
      out.push_back(s[i]);
    }
  }
  return out;
}

bool IsFile(const fs::path& p) {
  std::error_code ec;
  return fs::is_regular_file(p, ec);
}

}  // namespace

std::vector<std::string> PlaylistFiles(std::string_view text, const std::string& folder) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);
  std::vector<std::string> files;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) line.remove_suffix(1);
    while (!line.empty() && (line.front() == ' ' || line.front() == '\t')) line.remove_prefix(1);
    if (line.empty() || line.front() == '#') continue;
    std::string name;
    if (IsValidUtf8(line))
      name.assign(line);
    else
      AppendWindows1252(name, line);
    if (name.rfind("file://", 0) == 0) {
      name = PercentDecode(name.substr(7));
      if (name.rfind("localhost/", 0) == 0) name = name.substr(9);
    }
    fs::path p(name);
    if (p.is_relative()) p = fs::path(folder) / p;
    if (!IsFile(p)) {
      // A play list written on Windows.
      std::string slashed = name;
      for (char& c : slashed)
        if (c == '\\') c = '/';
      fs::path q(slashed);
      if (q.is_relative()) q = fs::path(folder) / q;
      if (!IsFile(q)) continue;
      p = q;
    }
    files.push_back(p.lexically_normal().string());
  }
  return files;
}

std::vector<std::string> ReadPlaylistFiles(const std::string& playlist) {
  std::string text;
  if (!ReadWholeFile(playlist, text, nullptr, 64u << 20)) return {};
  return PlaylistFiles(text, fs::path(playlist).parent_path().string());
}

}  // namespace zonda
