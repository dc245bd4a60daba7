#include "lists/ListIndex.h"

namespace zonda {

std::string CutUtf8(std::string_view text, size_t max) {
  if (text.size() <= max) return std::string(text);
  size_t n = max;
  // Step back over continuation bytes so no character is split.
  while (n > 0 && (static_cast<unsigned char>(text[n]) & 0xC0) == 0x80) --n;
  return std::string(text.substr(0, n));
}

namespace {

void PutName(std::string& out, std::string_view name) {
  const std::string cut = CutUtf8(name, 255);
  out.push_back(static_cast<char>(cut.size()));
  out.append(cut);
  out.append(255 - cut.size(), '\0');
}

char PutByte(int32_t v) { return static_cast<char>(v >= 0 && v <= 255 ? v : 0); }

}  // namespace

std::string EncodeListIndex(const std::vector<TListIndexRecord>& records) {
  std::string out;
  out.reserve(records.size() * kListIndexRecordBytes);
  for (const auto& r : records) {
    PutName(out, r.Name);
    PutName(out, r.CreatedName);
    out.push_back(PutByte(r.ListTag));
    out.push_back(PutByte(r.BrowserId));
  }
  return out;
}

bool DecodeListIndex(std::string_view bytes, std::vector<TListIndexRecord>& records, std::string* error) {
  records.clear();
  const size_t whole = bytes.size() / kListIndexRecordBytes;
  for (size_t i = 0; i < whole && i < kListIndexMaxRecords; ++i) {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes.data() + i * kListIndexRecordBytes);
    TListIndexRecord r;
    r.Name.assign(reinterpret_cast<const char*>(p + 1), p[0]);
    r.CreatedName.assign(reinterpret_cast<const char*>(p + 257), p[256]);
    r.ListTag = p[512];
    r.BrowserId = p[513];
    records.push_back(std::move(r));
  }
  if (whole > kListIndexMaxRecords) {
    if (error) *error = "more than " + std::to_string(kListIndexMaxRecords) + " lists";
    return false;
  }
  if (bytes.size() % kListIndexRecordBytes != 0) {
    if (error) *error = "ends inside record " + std::to_string(whole + 1);
    return false;
  }
  return true;
}

}  // namespace zonda
