#include "lists/tags/TagText.h"

#include "skin/TextCoding.h"

namespace zonda {

namespace {

// Decodes the valid sequence of `len` bytes at s[0].
char32_t DecodeSequence(std::string_view s, std::size_t len) {
  const auto b = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
  switch (len) {
    case 1: return b(0);
    case 2: return (char32_t{b(0)} & 0x1F) << 6 | (b(1) & 0x3F);
    case 3: return (char32_t{b(0)} & 0x0F) << 12 | (char32_t{b(1)} & 0x3F) << 6 | (b(2) & 0x3F);
    default:
      return (char32_t{b(0)} & 0x07) << 18 | (char32_t{b(1)} & 0x3F) << 12 | (char32_t{b(2)} & 0x3F) << 6 |
             (b(3) & 0x3F);
  }
}

bool IsControl(char32_t c) { return c < 0x20 || (c >= 0x7F && c < 0xA0); }

// Calls fn(codePoint, validLength) for each character; validLength 0 marks a
// malformed sequence of `broken` bytes (passed as the code point).
template <typename Fn>
void ForEachChar(std::string_view text, Fn&& fn) {
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t broken = 1;
    const std::size_t len = Utf8SequenceLength(text.substr(i), &broken);
    if (len == 0) {
      fn(static_cast<char32_t>(broken), std::size_t{0});
      i += broken;
    } else {
      fn(DecodeSequence(text.substr(i), len), len);
      i += len;
    }
  }
}

}  // namespace

void CleanTagText(std::string& text) {
  bool plain = true;
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c >= 0x7F) plain = false;
  }
  if (plain) return;
  std::string out;
  out.reserve(text.size());
  std::size_t pos = 0;
  ForEachChar(text, [&](char32_t c, std::size_t len) {
    if (len == 0) {
      out += kUtf8Replacement;
      pos += c;
      return;
    }
    if (IsControl(c)) {
      out += ' ';
    } else {
      out.append(text, pos, len);
    }
    pos += len;
  });
  text = std::move(out);
}

std::string TrimTag(std::string_view text) {
  std::size_t b = 0;
  std::size_t e = text.size();
  while (b < e && static_cast<unsigned char>(text[b]) <= 32) ++b;
  while (e > b && static_cast<unsigned char>(text[e - 1]) <= 32) --e;
  return std::string(text.substr(b, e - b));
}

std::string Latin1ToUtf8(std::string_view bytes) {
  std::string out;
  AppendWindows1252(out, bytes);
  return out;
}

std::string Utf16ToUtf8(std::string_view bytes, bool bigEndian) {
  std::string out;
  std::size_t i = 0;
  const auto unit = [&](std::size_t at) -> char16_t {
    const auto a = static_cast<unsigned char>(bytes[at]);
    const auto b = static_cast<unsigned char>(bytes[at + 1]);
    return static_cast<char16_t>(bigEndian ? (a << 8 | b) : (b << 8 | a));
  };
  if (bytes.size() >= 2) {
    const auto a = static_cast<unsigned char>(bytes[0]);
    const auto b = static_cast<unsigned char>(bytes[1]);
    if (a == 0xFF && b == 0xFE) {
      bigEndian = false;
      i = 2;
    } else if (a == 0xFE && b == 0xFF) {
      bigEndian = true;
      i = 2;
    }
  }
  while (i + 1 < bytes.size()) {
    const char16_t u = unit(i);
    i += 2;
    if (u >= 0xD800 && u < 0xDC00 && i + 1 < bytes.size()) {
      const char16_t low = unit(i);
      if (low >= 0xDC00 && low < 0xE000) {
        i += 2;
        AppendUtf8(out, 0x10000 + ((char32_t{u} - 0xD800) << 10) + (low - 0xDC00));
        continue;
      }
    }
    AppendUtf8(out, u);  // a lone surrogate appends the replacement
  }
  if (i < bytes.size()) out += kUtf8Replacement;
  return out;
}

std::string ValidUtf8(std::string_view bytes) {
  std::string out;
  AppendUtf8Lenient(out, bytes);
  return out;
}

bool FitsLatin1(std::string_view utf8) {
  bool fits = true;
  ForEachChar(utf8, [&](char32_t c, std::size_t len) {
    if (len == 0 || c > 0xFF || (c >= 0x80 && c < 0xA0)) fits = false;
  });
  return fits;
}

std::string Utf8ToLatin1(std::string_view utf8) {
  std::string out;
  ForEachChar(utf8, [&](char32_t c, std::size_t len) { out += len == 0 || c > 0xFF ? '?' : static_cast<char>(c); });
  return out;
}

std::string Utf8ToUtf16WithBom(std::string_view utf8) {
  std::string out = "\xFF\xFE";
  const auto put = [&](char32_t u) {
    out += static_cast<char>(u & 0xFF);
    out += static_cast<char>(u >> 8 & 0xFF);
  };
  ForEachChar(utf8, [&](char32_t c, std::size_t len) {
    if (len == 0) c = 0xFFFD;
    if (c >= 0x10000) {
      put(0xD800 + ((c - 0x10000) >> 10));
      put(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      put(c);
    }
  });
  return out;
}

int ParseTrackNumber(std::string_view text, int max) {
  const std::string part = TrimTag(text.substr(0, text.find('/')));
  if (part.empty() || part.size() > 9) return 0;
  int value = 0;
  for (const char c : part) {
    if (c < '0' || c > '9') return 0;
    value = value * 10 + (c - '0');
  }
  return value <= max ? value : 0;
}

}  // namespace zonda
