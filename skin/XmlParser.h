#pragma once
// TXmlParser: a forward-only scanner for the small XML documents Zonda reads
// (skin descriptions, language files, shortcut files).
//
// The whole file is read at once; NextPart() then hands the document over one
// part at a time. Callers look only at start tags and empty-element tags and
// read their attributes by name:
//
//   TXmlParser xml;
//   if (xml.OpenDocument(path)) {
//     xml.RewindScan();
//     while (xml.NextPart()) {
//       if (xml.PartKind() != TPartKind::EmptyElementTag) continue;
//       if (xml.PartName() == "string") use(xml.AttributeValue("action"));
//     }
//   }
//
// The scanner never fails: unterminated constructs run to the end of the
// document, unknown syntax becomes content or a tag with an empty name.
//
// Attribute values come out processed and as UTF-8: the five predefined
// entities, character references (&#233; and &#xE9; give "é"), each tab, CR
// and LF becomes one space, and the document's bytes are decoded by its
// encoding: declared "UTF-8" (or a declaration without encoding) is taken as
// UTF-8 with every malformed sequence replaced by "¿"; any other declared
// encoding is read as Windows-1252; a document without declaration is UTF-8
// when all its bytes are valid UTF-8, else Windows-1252.
//
// Main thread (or any one thread per scanner object); no shared state.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zonda {

// Kinds of parts, in a fixed order callers rely on.
enum class TPartKind {
  None,
  XmlDeclaration,
  Comment,
  ProcessingInstruction,
  DocumentType,
  StartTag,
  EmptyElementTag,
  EndTag,
  Content,
  CData,
};

struct TAttr {
  std::string Name;
  std::string Value;  // processed, UTF-8
};

// The attributes of one tag, sorted by name (case-sensitive, byte-wise).
// A name given twice keeps both; Find returns one of them.
class TAttrList {
 public:
  void Clear() { items_.clear(); }
  void Add(std::string name, std::string value);
  void Sort();  // after the last Add of a tag
  const TAttr* Find(std::string_view name) const;
  std::size_t Count() const { return items_.size(); }
  const TAttr& operator[](std::size_t i) const { return items_[i]; }
  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

 private:
  std::vector<TAttr> items_;
};

class TXmlParser {
 public:
  // Files larger than this are refused (they are not skin or language files).
  static constexpr std::size_t kMaxDocumentBytes = 64u * 1024u * 1024u;

  // Reads the whole file; false (scanner empty) when it cannot be read.
  bool OpenDocument(const std::string& fileName);
  // The same from memory (tests, fuzzing); the name is only remembered.
  void OpenBuffer(std::string_view bytes, std::string sourceName = {});

  // Back before the first part: kind None, empty name and attributes.
  void RewindScan();
  // Advances to the next part; false at the end of the document (and stays there).
  bool NextPart();

  TPartKind PartKind() const { return kind_; }
  const std::string& PartName() const { return name_; }
  // Raw content of content, comment and CDATA parts (nobody reads it but tests).
  const std::string& PartContent() const { return content_; }
  const TAttrList& Attributes() const { return attrs_; }

  // Processed value of the named attribute of the current tag, "" when absent.
  std::string AttributeValue(std::string_view name) const;
  // The attribute read as an optionally signed decimal integer; -1 when absent
  // or not a number (the skin and language readers' convention).
  int AttributeInteger(std::string_view name) const;

  // Upper-cased "encoding" of the XML declaration; empty until one was read.
  const std::string& DocumentEncoding() const { return encoding_; }
  const std::string& SourceName() const { return source_; }

  // Reads a whole text as an optionally signed decimal integer, -1 otherwise.
  static int ParseInteger(std::string_view text);

 private:
  enum class TValueCoding { Utf8, Windows1252 };

  void ClearPart();
  void ReadTag();
  void ReadDeclaration();
  void ReadAttributes(bool declaration);
  void SkipSpace();
  std::string ProcessValue(std::string_view raw) const;
  TValueCoding ValueCoding() const;
  bool StartsWith(std::string_view s) const;
  std::size_t FindFrom(std::string_view s) const;  // npos-safe: end of document

  std::string doc_;
  std::string source_;
  std::string encoding_;
  bool documentIsUtf8_ = true;
  std::size_t pos_ = 0;

  TPartKind kind_ = TPartKind::None;
  std::string name_;
  std::string content_;
  TAttrList attrs_;
};

}  // namespace zonda
