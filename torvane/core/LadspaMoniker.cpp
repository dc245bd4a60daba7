#include "torvane/core/LadspaMoniker.h"

#include <QString>
#include <charconv>

namespace zonda {

namespace {
constexpr std::string_view kPrefix = "ladspa:";
}

std::string MakeLadspaMoniker(const std::string& libraryPath, unsigned long uniqueId) {
  return std::string(kPrefix) + libraryPath + ":" + std::to_string(uniqueId);
}

std::optional<TLadspaMoniker> ParseLadspaMoniker(const std::string& text) {
  if (text.compare(0, kPrefix.size(), kPrefix) != 0) return std::nullopt;
  const size_t colon = text.rfind(':');
  if (colon < kPrefix.size()) return std::nullopt;
  TLadspaMoniker moniker;
  moniker.LibraryPath = text.substr(kPrefix.size(), colon - kPrefix.size());
  if (moniker.LibraryPath.size() < 2 || moniker.LibraryPath.front() != '/') return std::nullopt;
  const char* first = text.data() + colon + 1;
  const char* last = text.data() + text.size();
  if (first == last) return std::nullopt;
  const auto [end, error] = std::from_chars(first, last, moniker.UniqueID);
  if (error != std::errc() || end != last) return std::nullopt;
  return moniker;
}

std::u16string ToUtf16(const std::string& utf8) {
  return QString::fromUtf8(utf8.data(), qsizetype(utf8.size())).toStdU16String();
}

std::string FromUtf16(const char16_t* text) {
  if (!text) return {};
  return QString::fromUtf16(text).toStdString();
}

}  // namespace zonda
