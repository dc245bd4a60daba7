// Tag text helpers: cleaning for display, the UTF-16 and Latin-1 codings of
// tag formats, and track numbers.
#include "lists/tags/TagText.h"

#include <gtest/gtest.h>

#include <string>

namespace zonda {
namespace {

TEST(CleanTagText, ControlCharactersBecomeSpacesAndPrintableTextOfEveryScriptStays) {
  struct Case {
    std::string in, out;
  };
  const std::string q = "\xC2\xBF";  // the replacement of a malformed sequence
  const Case cases[] = {
      {"plain ASCII ~!", "plain ASCII ~!"},
      {std::string("a\0b", 3), "a b"},
      {"tab\there\r\n", "tab here  "},
      {"del\x7F", "del "},
      {"c1 \xC2\x85 \xC2\x9F", "c1    "},         // U+0085 and U+009F: one space each
      {"nbsp\xC2\xA0ok", "nbsp\xC2\xA0ok"},     // U+00A0 is printable
      {"Åäö é ß", "Åäö é ß"},
      {"标题 Ελληνικά Кириллица 🎵", "标题 Ελληνικά Кириллица 🎵"},
      {"bad \xE9 byte", "bad " + q + " byte"},   // a lone Windows-1252 byte
      {"cut \xE6\xA0", "cut " + q},             // a sequence cut short
      {"over \xC0\xAF", "over " + q + q},       // an overlong form
  };
  for (const Case& c : cases) {
    std::string text = c.in;
    CleanTagText(text);
    EXPECT_EQ(text, c.out) << c.in;
  }
}

TEST(TagText, Utf16WithAndWithoutByteOrderMark) {
  struct Case {
    std::string bytes;
    bool bigEndian;
    std::string out;
  };
  const Case cases[] = {
      {std::string("\xFF\xFE" "A\0\xE9\0", 6), false, "A\xC3\xA9"},     // little-endian mark, dropped
      {std::string("\xFE\xFF\0A\0\xE9", 6), false, "A\xC3\xA9"},        // big-endian mark wins over the default
      {std::string("A\0B\0", 4), false, "AB"},                          // no mark: the default order
      {std::string("\0A\0B", 4), true, "AB"},                           // encoding 2: big-endian
      {std::string("\x3C\xD8\xB5\xDF", 4), false, "\xF0\x9F\x8E\xB5"}, // a surrogate pair
      {std::string("\x3C\xD8" "A\0", 4), false, "\xC2\xBF" "A"},        // an unpaired surrogate
      {std::string("A\0B", 3), false, "A\xC2\xBF"},                     // an odd trailing byte
  };
  for (const Case& c : cases) EXPECT_EQ(Utf16ToUtf8(c.bytes, c.bigEndian), c.out);
}

TEST(TagText, Latin1RoundTripAndWhatDoesNotFit) {
  EXPECT_TRUE(FitsLatin1("café ÿ"));
  EXPECT_FALSE(FitsLatin1("€"));
  EXPECT_FALSE(FitsLatin1("标题"));
  EXPECT_FALSE(FitsLatin1("\xC2\x85"));  // a C1 control would read back as Windows-1252
  EXPECT_EQ(Latin1ToUtf8(Utf8ToLatin1("café ÿ")), "café ÿ");
  EXPECT_EQ(Latin1ToUtf8("\x80\x93"), "€“");  // the single-byte coding is Windows-1252
  EXPECT_EQ(Utf8ToUtf16WithBom("A€🎵"), std::string("\xFF\xFE" "A\0\xAC\x20\x3C\xD8\xB5\xDF", 10));
}

TEST(TagText, TrackNumbersAndTrimming) {
  struct Case {
    const char* text;
    int number;
  };
  const Case cases[] = {{"3", 3}, {"3/12", 3}, {" 7 / 9", 7}, {"", 0}, {"12a", 0}, {"-3", 0}, {"/5", 0},
                        {"65535", 65535}, {"65536", 0}, {"99999999999", 0}};
  for (const Case& c : cases) EXPECT_EQ(ParseTrackNumber(c.text), c.number) << c.text;
  EXPECT_EQ(TrimTag(std::string(" \t\0x y\r\n ", 9)), "x y");
  EXPECT_EQ(TrimTag("   "), "");
}

}  // namespace
}  // namespace zonda
