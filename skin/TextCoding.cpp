#include "skin/TextCoding.h"

#include <cstdint>

namespace zonda {
namespace {

// Code points of the bytes 0x80..0x9F in Windows-1252.
constexpr char16_t kWindows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  //
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  //
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  //
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

bool InRange(uint8_t b, uint8_t lo, uint8_t hi) { return b >= lo && b <= hi; }

}  // namespace

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp >= 0xD800 && cp <= 0xDFFF) {
    out.append(kUtf8Replacement);
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp <= 0x10FFFF) {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.append(kUtf8Replacement);
  }
}

std::size_t Utf8SequenceLength(std::string_view text, std::size_t* validPrefix) {
  auto fail = [validPrefix](std::size_t prefix) -> std::size_t {
    if (validPrefix) *validPrefix = prefix;
    return 0;
  };
  if (text.empty()) return fail(0);
  const auto b0 = static_cast<uint8_t>(text[0]);
  if (b0 < 0x80) return 1;
  std::size_t need;
  uint8_t lo = 0x80, hi = 0xBF;  // allowed range of the second byte
  if (InRange(b0, 0xC2, 0xDF)) {
    need = 2;
  } else if (b0 == 0xE0) {
    need = 3, lo = 0xA0;
  } else if (b0 == 0xED) {
    need = 3, hi = 0x9F;
  } else if (InRange(b0, 0xE1, 0xEF)) {
    need = 3;
  } else if (b0 == 0xF0) {
    need = 4, lo = 0x90;
  } else if (b0 == 0xF4) {
    need = 4, hi = 0x8F;
  } else if (InRange(b0, 0xF1, 0xF3)) {
    need = 4;
  } else {
    return fail(1);
  }
  for (std::size_t i = 1; i < need; ++i) {
    if (i >= text.size()) return fail(i);
    const auto b = static_cast<uint8_t>(text[i]);
    if (i == 1 ? !InRange(b, lo, hi) : !InRange(b, 0x80, 0xBF)) return fail(i);
  }
  return need;
}

bool IsValidUtf8(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    if (static_cast<uint8_t>(text[i]) < 0x80) {
      ++i;
      continue;
    }
    const std::size_t n = Utf8SequenceLength(text.substr(i));
    if (n == 0) return false;
    i += n;
  }
  return true;
}

void AppendUtf8Lenient(std::string& out, std::string_view text) {
  std::size_t i = 0;
  while (i < text.size()) {
    std::size_t run = i;  // copy plain ASCII runs in one piece
    while (run < text.size() && static_cast<uint8_t>(text[run]) < 0x80) ++run;
    out.append(text.substr(i, run - i));
    i = run;
    if (i >= text.size()) break;
    std::size_t prefix = 0;
    const std::size_t n = Utf8SequenceLength(text.substr(i), &prefix);
    if (n > 0) {
      out.append(text.substr(i, n));
      i += n;
    } else {
      out.append(kUtf8Replacement);
      i += prefix;
    }
  }
}

void AppendWindows1252(std::string& out, std::string_view bytes) {
  for (const char c : bytes) {
    const auto b = static_cast<uint8_t>(c);
    if (b < 0x80) {
      out.push_back(c);
    } else if (b < 0xA0) {
      AppendUtf8(out, kWindows1252High[b - 0x80]);
    } else {
      AppendUtf8(out, b);
    }
  }
}

}  // namespace zonda
