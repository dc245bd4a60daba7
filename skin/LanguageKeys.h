#pragma once
// The fixed table of language text keys.
//
// Every caption and message text the program takes from a language file has
// one key here; the language file gives a "string" per key. Keys are compared
// exactly (case-sensitive). Indexes are positions in this table.
//
// Pure data, any thread.
#include <span>
#include <string_view>

namespace zonda {

// All keys in table order.
std::span<const std::string_view> LanguageKeys();

// Index of the key in the table, or -1.
int FindLanguageKey(std::string_view key);

}  // namespace zonda
