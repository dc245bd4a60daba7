#pragma once
// Byte-level text codings used when reading documents: UTF-8 checking and
// lenient decoding, and Windows-1252 to UTF-8. All text inside Zonda is UTF-8;
// these functions are where foreign bytes become UTF-8.
//
// Pure functions, any thread.
#include <string>
#include <string_view>

namespace zonda {

// The replacement for bytes that are not valid UTF-8: "¿" (what the single-byte
// code page showed for unrepresentable characters).
inline constexpr std::string_view kUtf8Replacement = "\xC2\xBF";

// Appends the UTF-8 form of a code point; surrogates and values above
// U+10FFFF append kUtf8Replacement.
void AppendUtf8(std::string& out, char32_t codePoint);

// Length of the valid UTF-8 sequence starting at text[0] (1..4), or 0 when the
// bytes there do not start one. *validPrefix receives how many bytes belong to
// the broken sequence (at least 1) when 0 is returned.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t* validPrefix = nullptr);

// True when every byte sequence of the text is well-formed UTF-8
// (no overlong forms, no surrogates, nothing above U+10FFFF).
bool IsValidUtf8(std::string_view text);

// Appends the text with every malformed sequence replaced by "¿" (one
// replacement per maximal ill-formed subpart).
void AppendUtf8Lenient(std::string& out, std::string_view text);

// Appends Windows-1252 bytes as UTF-8. The five bytes Windows-1252 leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the code points of the same value.
void AppendWindows1252(std::string& out, std::string_view bytes);

}  // namespace zonda
