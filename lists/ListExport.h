#pragma once
// Exporting a list: an HTML page of its visible song columns (every text
// escaped, so names cannot become markup) and an M3U8 play list of its files.
#include <functional>
#include <string>

#include "lists/Lista.h"

namespace zonda {

// Text of a language key (the caller's language table).
using TLanguageLookup = std::function<std::string(const char* key)>;

// The page, CR LF line breaks, tab indentation.
std::string ListToHtml(const TLista& list, const std::string& listName, const TLanguageLookup& text);

// "#EXTM3U", then per row "#EXTINF:-1,<display name>" and the path, UTF-8, LF.
std::string ListToM3U8(const TLista& list);

// &, <, >, " as entities.
std::string HtmlEscape(std::string_view text);

inline constexpr const char* kVendorAddress = "https://zonda.quarnet.net";

}  // namespace zonda
