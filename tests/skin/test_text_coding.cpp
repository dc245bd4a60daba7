#include "skin/TextCoding.h"

#include <gtest/gtest.h>

#include <string>

namespace zonda {
namespace {

std::string Lenient(std::string_view bytes) {
  std::string out;
  AppendUtf8Lenient(out, bytes);
  return out;
}

std::string From1252(std::string_view bytes) {
  std::string out;
  AppendWindows1252(out, bytes);
  return out;
}

TEST(TextCoding, MalformedUtf8BecomesOneInvertedQuestionMarkPerBrokenSequence) {
  struct Case {
    std::string in, out;
  };
  const std::string q = "\xC2\xBF";
  const Case cases[] = {
      {"plain", "plain"},
      {"\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xB5", "\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xB5"},  // é € and a 4-byte note
      {"a\xE9z", "a" + q + "z"},                 // a lone Windows-1252 byte
      {"\xE2\x82", q},                           // truncated at the end
      {"\xE2\x82" "A", q + "A"},                 // truncated before ASCII
      {"\xC0\xAF", q + q},                       // overlong form
      {"\xED\xA0\x80", q + q + q},               // a surrogate
      {"\xF4\x90\x80\x80", q + q + q + q},       // beyond U+10FFFF
      {"\x80\xBF", q + q},                       // stray continuation bytes
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Lenient(c.in), c.out) << c.in;
    EXPECT_TRUE(IsValidUtf8(Lenient(c.in)));
    EXPECT_EQ(IsValidUtf8(c.in), c.in == c.out) << c.in;
  }
}

TEST(TextCoding, Windows1252ToUtf8) {
  EXPECT_EQ(From1252("caf\xE9"), "caf\xC3\xA9");
  EXPECT_EQ(From1252("\x80\x85\x99\x9F"), "\xE2\x82\xAC\xE2\x80\xA6\xE2\x84\xA2\xC5\xB8");  // € … ™ Ÿ
  // The five undefined bytes keep their values as code points.
  EXPECT_EQ(From1252("\x81\x8D\x8F\x90\x9D"), "\xC2\x81\xC2\x8D\xC2\x8F\xC2\x90\xC2\x9D");
  EXPECT_EQ(From1252("\xA0\xFF"), "\xC2\xA0\xC3\xBF");
}

TEST(TextCoding, AppendUtf8) {
  std::string out;
  for (char32_t cp : {U'A', U'\u00E9', U'\u20AC', U'\U0001F3B5'}) AppendUtf8(out, cp);
  EXPECT_EQ(out, "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x8E\xB5");
  out.clear();
  AppendUtf8(out, 0xD800);
  AppendUtf8(out, 0x110000);
  EXPECT_EQ(out, "\xC2\xBF\xC2\xBF");
}

}  // namespace
}  // namespace zonda
