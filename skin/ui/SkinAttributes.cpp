#include "skin/ui/SkinAttributes.h"

#include <cmath>
#include <cstdint>

#include "skin/ui/SkinPaint.h"

namespace zonda {

namespace {

std::string Upper(std::string s) {
  for (char& c : s)
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  return s;
}

// "$hex", "0xhex" or decimal, optionally signed; false when not a number or out of 32 bits.
bool ParseNumber(std::string_view t, int64_t& out) {
  bool negative = false;
  if (!t.empty() && (t[0] == '-' || t[0] == '+')) {
    negative = t[0] == '-';
    t.remove_prefix(1);
  }
  int base = 10;
  if (!t.empty() && t[0] == '$') {
    base = 16;
    t.remove_prefix(1);
  } else if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
    base = 16;
    t.remove_prefix(2);
  }
  if (t.empty()) return false;
  int64_t v = 0;
  for (char c : t) {
    int d;
    if (c >= '0' && c <= '9')
      d = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f')
      d = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F')
      d = c - 'A' + 10;
    else
      return false;
    v = v * base + d;
    if (v > 0xFFFFFFFFll) return false;
  }
  out = negative ? -v : v;
  return true;
}

}  // namespace

int ReadSkinInteger(const TXmlParser& xml, std::string_view name, double scale) {
  const int v = TXmlParser::ParseInteger(xml.AttributeValue(name));
  if (v == -1 || scale == 1.0) return v;
  return RoundHalfEven(double(v) * scale);
}

int ReadSkinSize(const TXmlParser& xml, std::string_view name, double scale) {
  const int v = TXmlParser::ParseInteger(xml.AttributeValue(name));
  if (v == -1 || scale == 1.0) return v;
  const double s = std::floor(double(v) * scale);
  return std::isfinite(s) && std::fabs(s) < 2147483647.0 ? int(s) : -1;
}

uint32_t ParseSkinColor(std::string_view text) {
  std::string t(text);
  if (!t.empty() && t[0] == '#') t[0] = '$';
  int64_t v = 0;
  if (!ParseNumber(t, v)) return 0;
  const uint32_t rgb = uint32_t(v) & 0xFFFFFFu;
  return MakeColor(int((rgb >> 16) & 0xFF), int((rgb >> 8) & 0xFF), int(rgb & 0xFF));
}

uint32_t ReadSkinColor(const TXmlParser& xml, std::string_view name) {
  return ParseSkinColor(xml.AttributeValue(name));
}

bool ReadSkinFlag(const TXmlParser& xml, std::string_view name) { return Upper(xml.AttributeValue(name)) == "YES"; }

int ReadSkinAlign(const TXmlParser& xml, std::string_view name) {
  const std::string a = Upper(xml.AttributeValue(name));
  if (a == "CENTER") return 1;
  if (a == "RIGHT") return 2;
  return 0;
}

std::string ReadSkinText(const TXmlParser& xml, std::string_view name) { return xml.AttributeValue(name); }

}  // namespace zonda
