#include "skin/XmlParser.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "tests/support/TestFiles.h"

namespace zonda {
namespace {

struct Part {
  TPartKind kind;
  std::string name;
};

std::vector<Part> Parts(TXmlParser& xml) {
  std::vector<Part> parts;
  xml.RewindScan();
  while (xml.NextPart()) parts.push_back({xml.PartKind(), xml.PartName()});
  return parts;
}

// The value of attribute "v" of the first start or empty-element tag.
std::string FirstValue(std::string_view doc, const char* attr = "v") {
  TXmlParser xml;
  xml.OpenBuffer(doc);
  while (xml.NextPart()) {
    if (xml.PartKind() == TPartKind::StartTag || xml.PartKind() == TPartKind::EmptyElementTag) {
      return xml.AttributeValue(attr);
    }
  }
  return "<no tag>";
}

TEST(XmlParser, DeliversEveryPartKindInOrder) {
  TXmlParser xml;
  xml.OpenBuffer(
      "<?xml version=\"1.0\"?>\n<!DOCTYPE r [<!ENTITY a \"x>y\">]>"
      "<!-- c -> -- --><?pi data?><r a='1'>text<![CDATA[<no/>]]><e/></r>");
  const std::vector<Part> parts = Parts(xml);
  const std::vector<TPartKind> kinds = {
      TPartKind::XmlDeclaration, TPartKind::Content,   TPartKind::DocumentType,    TPartKind::Comment,
      TPartKind::ProcessingInstruction, TPartKind::StartTag, TPartKind::Content, TPartKind::CData,
      TPartKind::EmptyElementTag, TPartKind::EndTag};
  ASSERT_EQ(parts.size(), kinds.size());
  for (std::size_t i = 0; i < kinds.size(); ++i) EXPECT_EQ(parts[i].kind, kinds[i]) << i;
  EXPECT_EQ(parts[4].name, "pi");
  EXPECT_EQ(parts[5].name, "r");
  EXPECT_EQ(parts[8].name, "e");
  EXPECT_EQ(parts[9].name, "r");
  // At the end the scanner stays at the end; rewinding starts over.
  EXPECT_FALSE(xml.NextPart());
  EXPECT_EQ(xml.PartKind(), TPartKind::None);
  xml.RewindScan();
  ASSERT_TRUE(xml.NextPart());
  EXPECT_EQ(xml.PartKind(), TPartKind::XmlDeclaration);
}

TEST(XmlParser, AttributesSortedCaseSensitiveAndQuotedEitherWay) {
  TXmlParser xml;
  xml.OpenBuffer("<button posx = \"10\"\tPosX='20'\r\nb=\"it's\" a='say \"hi\"' action=\"x>y\" />");
  ASSERT_TRUE(xml.NextPart());
  EXPECT_EQ(xml.PartKind(), TPartKind::EmptyElementTag);
  EXPECT_EQ(xml.PartName(), "button");
  std::vector<std::string> names;
  for (const TAttr& a : xml.Attributes()) names.push_back(a.Name);
  EXPECT_EQ(names, (std::vector<std::string>{"PosX", "a", "action", "b", "posx"}));
  EXPECT_EQ(xml.AttributeValue("posx"), "10");
  EXPECT_EQ(xml.AttributeValue("PosX"), "20");
  EXPECT_EQ(xml.AttributeValue("b"), "it's");
  EXPECT_EQ(xml.AttributeValue("a"), "say \"hi\"");
  EXPECT_EQ(xml.AttributeValue("action"), "x>y");
  EXPECT_EQ(xml.AttributeValue("missing"), "");
  EXPECT_EQ(xml.AttributeInteger("posx"), 10);
  EXPECT_EQ(xml.AttributeInteger("missing"), -1);
  EXPECT_FALSE(xml.NextPart());
}

TEST(XmlParser, SlashMustStandRightBeforeTheClosingBracket) {
  TXmlParser xml;
  xml.OpenBuffer("<a / ><b x='1'/><C/>");
  ASSERT_TRUE(xml.NextPart());
  EXPECT_EQ(xml.PartKind(), TPartKind::StartTag);
  ASSERT_TRUE(xml.NextPart());
  EXPECT_EQ(xml.PartKind(), TPartKind::EmptyElementTag);
  ASSERT_TRUE(xml.NextPart());
  EXPECT_EQ(xml.PartName(), "C");
}

TEST(XmlParser, ValueProcessing) {
  struct Case {
    const char* doc;
    const char* expected;
  };
  const Case cases[] = {
      {"<t v=\"&lt;&gt;&amp;&apos;&quot;\"/>", "<>&'\""},
      {"<t v=\"&nbsp; &LT; &amp\"/>", "&nbsp; &LT; &amp"},          // unknown entities stay
      {"<t v=\"caf&#233;\"/>", "caf\xC3\xA9"},                        // é in UTF-8
      {"<t v=\"&#xE9;&#XE9;&#x20AC;\"/>", "\xC3\xA9\xC3\xA9\xE2\x82\xAC"},
      {"<t v=\"a&#12q;b\"/>", "a b"},                                 // broken decimal: space
      {"<t v=\"a&#xZZ;b\"/>", "ab"},                                  // broken hex: code 0, dropped
      {"<t v=\"a&#99999999999;b\"/>", "a b"},
      {"<t v=\"&#65 ;\"/>", "&#65 ;"},                                // not a reference
      {"<t v=\"&amp;#65;\"/>", "A"},                                  // entities come first
      {"<t v=\"one\ntwo\r\nthree\tfour\"/>", "one two  three four"},  // each break character a space
      {"<t v=\"&#10;\"/>", " "},
      {"<t v=\"  keep  \"/>", "  keep  "},
  };
  for (const Case& c : cases) EXPECT_EQ(FirstValue(c.doc), c.expected) << c.doc;
}

TEST(XmlParser, Encodings) {
  struct Case {
    std::string doc;
    std::string expected;
    std::string encoding;
  };
  const std::string utf8E = "\xC3\xA9";     // é
  const std::string cp1252E = "\xE9";        // é in Windows-1252
  const std::string euro1252 = "\x80";       // € in Windows-1252
  const std::string euro = "\xE2\x82\xAC";
  const Case cases[] = {
      // No declaration: valid UTF-8 stays, other bytes are Windows-1252.
      {"<zondaskin v=\"" + utf8E + "\"/>", utf8E, ""},
      {"<zondaskin v=\"" + cp1252E + euro1252 + "\"/>", utf8E + euro, ""},
      // Declared UTF-8 or without encoding: UTF-8, malformed bytes become "¿".
      {"<?xml version=\"1.0\" encoding=\"utf-8\"?><t v=\"" + utf8E + "\"/>", utf8E, "UTF-8"},
      {"<?xml version=\"1.0\"?><t v=\"a" + cp1252E + "b\"/>", "a\xC2\xBF" "b", "UTF-8"},
      {"<?xml version=\"1.0\" encoding=\"UTF-8\"?><t v=\"\xE2\x82x\xFF\xF0\x9F\x8E\xB5\"/>",
       "\xC2\xBFx\xC2\xBF\xF0\x9F\x8E\xB5", "UTF-8"},
      // Any other declared encoding: Windows-1252, even when the bytes would be UTF-8.
      {"<?xml version=\"1.0\" encoding=\"iso-8859-1\"?><t v=\"" + cp1252E + euro1252 + "\"/>", utf8E + euro,
       "ISO-8859-1"},
      {"<?xml version=\"1.0\" encoding=\"windows-1252\"?><t v=\"" + utf8E + "\"/>", "\xC3\x83\xC2\xA9",
       "WINDOWS-1252"},
      // The character reference 233 is "é" whatever the encoding.
      {"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><t v=\"&#233;\"/>", utf8E, "ISO-8859-1"},
      {"<t v=\"&#233;" + cp1252E + "\"/>", utf8E + utf8E, ""},
  };
  for (const Case& c : cases) {
    TXmlParser xml;
    xml.OpenBuffer(c.doc);
    std::string value = "<no tag>";
    while (xml.NextPart()) {
      if (xml.PartKind() == TPartKind::EmptyElementTag) {
        value = xml.AttributeValue("v");
        break;
      }
    }
    EXPECT_EQ(value, c.expected) << c.doc;
    EXPECT_EQ(xml.DocumentEncoding(), c.encoding) << c.doc;
  }
}

TEST(XmlParser, UnterminatedConstructsRunToTheEnd) {
  const char* docs[] = {
      "<a><!-- never closed <b/>", "<a><![CDATA[ <b/>", "<a><?pi <b/>", "<a><!DOCTYPE x [ <b/>",
      "<a><b v=\"open <c/>", "<a><b v='1'", "<a></b", "<", "<?xml ", "<?xml version='1",
  };
  for (const char* doc : docs) {
    TXmlParser xml;
    xml.OpenBuffer(doc);
    int parts = 0;
    while (xml.NextPart()) ++parts;
    EXPECT_LE(parts, 3) << doc;
    EXPECT_FALSE(xml.NextPart());
  }
  TXmlParser xml;
  xml.OpenBuffer("<a><b v='1' w=\"open");
  ASSERT_TRUE(xml.NextPart());
  ASSERT_TRUE(xml.NextPart());
  EXPECT_EQ(xml.PartKind(), TPartKind::StartTag);
  EXPECT_EQ(xml.AttributeValue("v"), "1");
  EXPECT_EQ(xml.AttributeValue("w"), "open");
  EXPECT_FALSE(xml.NextPart());
}

TEST(XmlParser, GarbageInsideTagsIsSteppedOver) {
  TXmlParser xml;
  xml.OpenBuffer("<t = novalue x=unquoted y='2' \"stray ?/ z='3'/>tail");
  ASSERT_TRUE(xml.NextPart());
  EXPECT_EQ(xml.PartKind(), TPartKind::EmptyElementTag);
  EXPECT_EQ(xml.AttributeValue("y"), "2");
  EXPECT_EQ(xml.AttributeValue("novalue"), "");
  EXPECT_EQ(xml.AttributeValue("x"), "");
  ASSERT_TRUE(xml.NextPart());
  EXPECT_EQ(xml.PartKind(), TPartKind::Content);
  EXPECT_EQ(xml.PartContent(), "tail");
}

TEST(XmlParser, OpenDocumentReadsFilesAndFailsQuietly) {
  test::TempDir dir;
  TXmlParser xml;
  EXPECT_FALSE(xml.OpenDocument(dir.file("missing.xml")));
  EXPECT_FALSE(xml.NextPart());
  EXPECT_FALSE(xml.OpenDocument(dir.path().string()));  // a folder
  {
    std::ofstream(dir.file("s.xml"), std::ios::binary) << "<zondaskin targetversion=\"1\" skinname=\"Club\">";
  }
  ASSERT_TRUE(xml.OpenDocument(dir.file("s.xml")));
  EXPECT_EQ(xml.SourceName(), dir.file("s.xml"));
  ASSERT_TRUE(xml.NextPart());
  EXPECT_EQ(xml.PartName(), "zondaskin");
  EXPECT_EQ(xml.AttributeInteger("targetversion"), 1);
  // Opening another document discards the first.
  EXPECT_FALSE(xml.OpenDocument(dir.file("missing.xml")));
  EXPECT_FALSE(xml.NextPart());
}

TEST(XmlParser, ParseInteger) {
  EXPECT_EQ(TXmlParser::ParseInteger("5"), 5);
  EXPECT_EQ(TXmlParser::ParseInteger("-12"), -12);
  EXPECT_EQ(TXmlParser::ParseInteger("+7"), 7);
  EXPECT_EQ(TXmlParser::ParseInteger("$FF0000"), 0xFF0000);
  EXPECT_EQ(TXmlParser::ParseInteger("-2147483648"), -2147483647 - 1);
  for (const char* bad : {"", "-", "5a", " 5", "FF0000", "2147483648", "1.5", "$"}) {
    EXPECT_EQ(TXmlParser::ParseInteger(bad), -1) << bad;
  }
}

}  // namespace
}  // namespace zonda
