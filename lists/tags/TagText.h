#pragma once
// Text helpers shared by the tag readers and writers. Everything they return
// is UTF-8; the byte codings of the tag formats (Windows-1252, UTF-16 with or
// without a byte-order mark, UTF-16BE, UTF-8) are turned into it here.
//
// Pure functions, any thread.
#include <cstdint>
#include <string>
#include <string_view>

namespace zonda {

// Replaces, in place, every control character (U+0000..U+001F, U+007F and
// U+0080..U+009F) by a space and every malformed UTF-8 sequence by "¿".
// Printable characters of every script stay as they are.
void CleanTagText(std::string& text);

// The text without leading and trailing bytes with codes up to 32.
std::string TrimTag(std::string_view text);

// Windows-1252 bytes as UTF-8 (the single-byte coding of ID3v1 and of ID3v2
// encoding 0; its printable range includes all of Latin-1).
std::string Latin1ToUtf8(std::string_view bytes);

// UTF-16 code units as UTF-8. A leading byte-order mark picks the byte order
// and is dropped; without one, `bigEndian` decides. Unpaired surrogates and a
// trailing odd byte become "¿".
std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian);

// Valid UTF-8 of the text (malformed sequences become "¿").
std::string ValidUtf8(std::string_view bytes);

// True when every character of the UTF-8 text is printable Latin-1
// (below U+0080 or U+00A0..U+00FF), so it can be stored in one byte each.
bool FitsLatin1(std::string_view utf8);

// The Latin-1 bytes of a text for which FitsLatin1 holds.
std::string Utf8ToLatin1(std::string_view utf8);

// The text as UTF-16 little-endian with the byte-order mark FF FE in front.
std::string Utf8ToUtf16WithBom(std::string_view utf8);

// The decimal number at the start of the text, up to the first "/"; 0 when that
// part is not a plain non-negative number that fits `max`.
int ParseTrackNumber(std::string_view text, int max = 65535);

}  // namespace zonda
