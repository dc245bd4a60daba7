#pragma once
// The name of one LADSPA plug-in across the bridge: "ladspa:<absolute library
// path>:<unique id>". The path may itself hold colons; the id follows the
// last one. Pure functions, any thread.
//
//   MakeLadspaMoniker("/usr/lib/ladspa/filter.so", 1041)  // "ladspa:/usr/lib/ladspa/filter.so:1041"
//   ParseLadspaMoniker(text)                              // nothing for a malformed text
#include <optional>
#include <string>

namespace zonda {

struct TLadspaMoniker {
  std::string LibraryPath;
  unsigned long UniqueID = 0;
};

std::string MakeLadspaMoniker(const std::string& libraryPath, unsigned long uniqueId);

// Nothing unless the text is "ladspa:" + an absolute path + ":" + decimal digits.
std::optional<TLadspaMoniker> ParseLadspaMoniker(const std::string& text);

// UTF-16 <-> UTF-8 for the bridge's wide texts (a null pointer reads as empty).
std::u16string ToUtf16(const std::string& utf8);
std::string FromUtf16(const char16_t* text);

}  // namespace zonda
