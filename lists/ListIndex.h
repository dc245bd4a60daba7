#pragma once
// The list index "lists.ssa": one fixed 514-byte record per list, in list
// order. Each name is a length byte and 255 bytes of text; names longer than
// 255 bytes are cut (at a UTF-8 character boundary). Tag and browser id are
// single bytes (0 when outside 0..255).
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace zonda {

inline constexpr size_t kListIndexRecordBytes = 514;
inline constexpr size_t kListIndexMaxRecords = 65536;

struct TListIndexRecord {
  std::string Name;
  std::string CreatedName;
  int32_t ListTag = 0;
  int32_t BrowserId = 0;
  bool operator==(const TListIndexRecord&) const = default;
};

std::string EncodeListIndex(const std::vector<TListIndexRecord>& records);
// Fills records with every whole record. False, with a reason, when the input
// ends inside a record or holds more than kListIndexMaxRecords (the whole
// records read before that are kept).
bool DecodeListIndex(std::string_view bytes, std::vector<TListIndexRecord>& records, std::string* error = nullptr);

// The first bytes of text, at most max, ending on a UTF-8 character boundary.
std::string CutUtf8(std::string_view text, size_t max);

}  // namespace zonda
