#include "skin/XmlParser.h"

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <limits>

#include "skin/TextCoding.h"

namespace zonda {
namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Letters, digits, "_:-." and every byte of a multi-byte UTF-8 character.
bool IsNameChar(char c) {
  const auto b = static_cast<uint8_t>(c);
  return (b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z') || (b >= '0' && b <= '9') || b == '_' || b == ':' ||
         b == '-' || b == '.' || b >= 0x80;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Digits in the given base; false when empty, not digits or beyond `limit`.
bool ParseDigits(std::string_view digits, int base, uint64_t limit, uint64_t* value) {
  if (digits.empty()) return false;
  uint64_t v = 0;
  for (const char c : digits) {
    const int d = base == 16 ? HexDigit(c) : (c >= '0' && c <= '9' ? c - '0' : -1);
    if (d < 0) return false;
    v = v * static_cast<uint64_t>(base) + static_cast<uint64_t>(d);
    if (v > limit) return false;
  }
  *value = v;
  return true;
}

// Step 1 of value processing: the five predefined entities; others stay as written.
std::string ExpandEntities(std::string_view raw) {
  std::string out;
  out.reserve(raw.size());
  std::size_t i = 0;
  while (i < raw.size()) {
    const std::size_t amp = raw.find('&', i);
    if (amp == std::string_view::npos) {
      out.append(raw.substr(i));
      break;
    }
    out.append(raw.substr(i, amp - i));
    i = amp;
    struct Entity {
      std::string_view text;
      char value;
    };
    static constexpr Entity kEntities[] = {{"&lt;", '<'}, {"&gt;", '>'}, {"&amp;", '&'}, {"&apos;", '\''}, {"&quot;", '"'}};
    bool replaced = false;
    for (const Entity& e : kEntities) {
      if (raw.substr(i, e.text.size()) == e.text) {
        out.push_back(e.value);
        i += e.text.size();
        replaced = true;
        break;
      }
    }
    if (!replaced) out.push_back(raw[i++]);
  }
  return out;
}

// A character reference is "&#" up to the next ";", no longer than this and
// without spaces or another "&" inside; otherwise the text is kept as written.
constexpr std::size_t kMaxReferenceChars = 32;

}  // namespace

void TAttrList::Add(std::string name, std::string value) { items_.push_back({std::move(name), std::move(value)}); }

void TAttrList::Sort() {
  std::stable_sort(items_.begin(), items_.end(), [](const TAttr& a, const TAttr& b) { return a.Name < b.Name; });
}

const TAttr* TAttrList::Find(std::string_view name) const {
  auto it = std::lower_bound(items_.begin(), items_.end(), name,
                             [](const TAttr& a, std::string_view n) { return std::string_view(a.Name) < n; });
  if (it == items_.end() || it->Name != name) return nullptr;
  return &*it;
}

bool TXmlParser::OpenDocument(const std::string& fileName) {
  doc_.clear();
  OpenBuffer({}, fileName);
  std::ifstream in(fileName, std::ios::binary);
  if (!in) return false;
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  if (size < 0 || static_cast<uint64_t>(size) > kMaxDocumentBytes) return false;
  in.seekg(0, std::ios::beg);
  std::string bytes(static_cast<std::size_t>(size), '\0');
  if (size > 0 && !in.read(bytes.data(), size)) return false;
  OpenBuffer(bytes, fileName);
  return true;
}

void TXmlParser::OpenBuffer(std::string_view bytes, std::string sourceName) {
  // The document ends at its first zero byte, as a zero-terminated buffer would.
  const std::size_t nul = bytes.find('\0');
  if (nul != std::string_view::npos) bytes = bytes.substr(0, nul);
  doc_.assign(bytes);
  source_ = std::move(sourceName);
  encoding_.clear();
  documentIsUtf8_ = IsValidUtf8(doc_);
  RewindScan();
}

void TXmlParser::RewindScan() {
  pos_ = 0;
  ClearPart();
}

void TXmlParser::ClearPart() {
  kind_ = TPartKind::None;
  name_.clear();
  content_.clear();
  attrs_.Clear();
}

bool TXmlParser::StartsWith(std::string_view s) const { return std::string_view(doc_).substr(pos_, s.size()) == s; }

std::size_t TXmlParser::FindFrom(std::string_view s) const {
  const std::size_t at = doc_.find(s, pos_);
  return at == std::string::npos ? doc_.size() : at;
}

void TXmlParser::SkipSpace() {
  while (pos_ < doc_.size() && IsSpace(doc_[pos_])) ++pos_;
}

bool TXmlParser::NextPart() {
  ClearPart();
  if (pos_ >= doc_.size()) return false;

  // Delimited parts: kind, opening text, closing text.
  auto delimited = [this](TPartKind kind, std::size_t openLen, std::string_view close) {
    kind_ = kind;
    pos_ += openLen;
    const std::size_t end = FindFrom(close);
    content_ = doc_.substr(pos_, end - pos_);
    pos_ = std::min(doc_.size(), end + close.size());
  };

  if (StartsWith("<?xml") && pos_ + 5 < doc_.size() && IsSpace(doc_[pos_ + 5])) {
    ReadDeclaration();
  } else if (StartsWith("<?")) {
    pos_ += 2;
    const std::size_t start = pos_;
    while (pos_ < doc_.size() && IsNameChar(doc_[pos_])) ++pos_;
    name_ = doc_.substr(start, pos_ - start);
    const std::size_t end = FindFrom("?>");
    content_ = doc_.substr(pos_, end - pos_);
    pos_ = std::min(doc_.size(), end + 2);
    kind_ = TPartKind::ProcessingInstruction;
  } else if (StartsWith("<!--")) {
    delimited(TPartKind::Comment, 4, "-->");
  } else if (StartsWith("<!DOCTYPE")) {
    // Read past, internal subset in brackets and quoted literals included.
    kind_ = TPartKind::DocumentType;
    const std::size_t start = pos_;
    pos_ += 9;
    int depth = 0;
    char quote = 0;
    while (pos_ < doc_.size()) {
      const char c = doc_[pos_++];
      if (quote) {
        if (c == quote) quote = 0;
      } else if (c == '"' || c == '\'') {
        quote = c;
      } else if (c == '[') {
        ++depth;
      } else if (c == ']') {
        if (depth > 0) --depth;
      } else if (c == '>' && depth == 0) {
        break;
      }
    }
    content_ = doc_.substr(start, pos_ - start);
  } else if (StartsWith("<![CDATA[")) {
    delimited(TPartKind::CData, 9, "]]>");
  } else if (doc_[pos_] == '<') {
    ReadTag();
  } else {
    kind_ = TPartKind::Content;
    const std::size_t end = FindFrom("<");
    content_ = doc_.substr(pos_, end - pos_);
    pos_ = end;
  }
  return true;
}

void TXmlParser::ReadDeclaration() {
  kind_ = TPartKind::XmlDeclaration;
  pos_ += 2;
  name_ = "xml";
  pos_ += 3;
  ReadAttributes(true);
  const TAttr* enc = attrs_.Find("encoding");
  std::string e = enc ? enc->Value : std::string("UTF-8");
  for (char& c : e) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  encoding_ = std::move(e);
}

void TXmlParser::ReadTag() {
  ++pos_;  // "<"
  const bool endTag = pos_ < doc_.size() && doc_[pos_] == '/';
  if (endTag) ++pos_;
  const std::size_t start = pos_;
  while (pos_ < doc_.size() && IsNameChar(doc_[pos_])) ++pos_;
  name_ = doc_.substr(start, pos_ - start);
  if (endTag) {
    kind_ = TPartKind::EndTag;
    pos_ = std::min(doc_.size(), FindFrom(">") + 1);
    return;
  }
  kind_ = TPartKind::StartTag;
  ReadAttributes(false);
}

// Attributes up to the end of the tag (">", "/>" or "?>" for the declaration).
// Anything that is not name = quoted value is stepped over one byte at a time,
// so every turn of the loop consumes input.
void TXmlParser::ReadAttributes(bool declaration) {
  const std::size_t n = doc_.size();
  while (true) {
    SkipSpace();
    if (pos_ >= n) break;  // unterminated tag: it ends with the document
    const char c = doc_[pos_];
    if (declaration) {
      if (c == '?' && pos_ + 1 < n && doc_[pos_ + 1] == '>') {
        pos_ += 2;
        break;
      }
    } else if (c == '>') {
      ++pos_;
      break;
    } else if (c == '/' && pos_ + 1 < n && doc_[pos_ + 1] == '>') {
      kind_ = TPartKind::EmptyElementTag;
      pos_ += 2;
      break;
    }
    if (!IsNameChar(c)) {
      ++pos_;
      continue;
    }
    const std::size_t nameStart = pos_;
    while (pos_ < n && IsNameChar(doc_[pos_])) ++pos_;
    std::string name = doc_.substr(nameStart, pos_ - nameStart);
    SkipSpace();
    if (pos_ >= n || doc_[pos_] != '=') continue;  // a name without value is ignored
    ++pos_;
    SkipSpace();
    if (pos_ >= n || (doc_[pos_] != '"' && doc_[pos_] != '\'')) continue;  // values must be quoted
    const char quote = doc_[pos_++];
    std::size_t close = doc_.find(quote, pos_);
    if (close == std::string::npos) close = n;
    attrs_.Add(std::move(name), ProcessValue(std::string_view(doc_).substr(pos_, close - pos_)));
    pos_ = std::min(n, close + 1);
  }
  attrs_.Sort();
}

TXmlParser::TValueCoding TXmlParser::ValueCoding() const {
  if (encoding_.empty()) return documentIsUtf8_ ? TValueCoding::Utf8 : TValueCoding::Windows1252;
  if (encoding_ == "UTF-8" || encoding_ == "UTF8") return TValueCoding::Utf8;
  return TValueCoding::Windows1252;
}

// Entities, then character references, then white space, then the document's
// coding. References give Unicode characters, so they are kept apart from the
// raw bytes that still need decoding.
std::string TXmlParser::ProcessValue(std::string_view raw) const {
  const std::string expanded = ExpandEntities(raw);
  const std::string_view s(expanded);
  const TValueCoding coding = ValueCoding();
  std::string out;
  out.reserve(s.size() + s.size() / 4);
  std::string bytes;  // raw run waiting for decoding
  auto flush = [&] {
    if (bytes.empty()) return;
    if (coding == TValueCoding::Utf8) {
      AppendUtf8Lenient(out, bytes);
    } else {
      AppendWindows1252(out, bytes);
    }
    bytes.clear();
  };
  std::size_t i = 0;
  while (i < s.size()) {
    const char c = s[i];
    if (c == '&' && i + 1 < s.size() && s[i + 1] == '#') {
      std::size_t semi = std::string_view::npos;
      for (std::size_t j = i + 2; j < s.size() && j - i <= kMaxReferenceChars; ++j) {
        if (s[j] == ';') {
          semi = j;
          break;
        }
        if (s[j] == '&' || IsSpace(s[j])) break;
      }
      if (semi != std::string_view::npos) {
        const std::string_view body = s.substr(i + 2, semi - i - 2);
        uint64_t cp = 0;
        bool ok;
        if (!body.empty() && (body[0] == 'x' || body[0] == 'X')) {
          ok = ParseDigits(body.substr(1), 16, 0x10FFFF, &cp);
          if (!ok) cp = 0;  // a broken hexadecimal reference means code 0
        } else {
          ok = ParseDigits(body, 10, 0x10FFFF, &cp);
          if (!ok) cp = ' ';  // a broken decimal reference means a space
        }
        flush();
        if (cp == '\t' || cp == '\r' || cp == '\n') {
          out.push_back(' ');
        } else if (cp != 0) {  // code 0 would cut the text short in every C string it reaches
          AppendUtf8(out, static_cast<char32_t>(cp));
        }
        i = semi + 1;
        continue;
      }
    }
    bytes.push_back(IsSpace(c) ? ' ' : c);
    ++i;
  }
  flush();
  return out;
}

std::string TXmlParser::AttributeValue(std::string_view name) const {
  const TAttr* a = attrs_.Find(name);
  return a ? a->Value : std::string();
}

int TXmlParser::AttributeInteger(std::string_view name) const {
  const TAttr* a = attrs_.Find(name);
  return a ? ParseInteger(a->Value) : -1;
}

int TXmlParser::ParseInteger(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text[0] == '+' || text[0] == '-')) {
    negative = text[0] == '-';
    text.remove_prefix(1);
  }
  int base = 10;
  if (!text.empty() && text[0] == '$') {
    base = 16;
    text.remove_prefix(1);
  } else if (text.size() > 1 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
    base = 16;
    text.remove_prefix(2);
  }
  uint64_t v = 0;
  const uint64_t limit = static_cast<uint64_t>(std::numeric_limits<int>::max()) + (negative ? 1 : 0);
  if (!ParseDigits(text, base, limit, &v)) return -1;
  return negative ? static_cast<int>(-static_cast<int64_t>(v)) : static_cast<int>(v);
}

}  // namespace zonda
