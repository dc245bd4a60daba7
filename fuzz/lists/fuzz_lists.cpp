// Fuzzes the list file and list index readers: whatever loads must save and
// load again to the same bytes, and every operation on it stays in range.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "lists/ListIndex.h"
#include "lists/Lista.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace zonda;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  std::vector<TListIndexRecord> records;
  const bool whole = DecodeListIndex(bytes, records);
  if (whole && EncodeListIndex(records).size() != records.size() * kListIndexRecordBytes) std::abort();

  TLista list;
  std::string error;
  if (!list.LoadFromStream(bytes, &error)) {
    if (error.empty() || list.RowCount() != 0) std::abort();
    return 0;
  }
  const std::string saved = list.SaveToStream();
  TLista again;
  if (!again.LoadFromStream(saved, &error)) std::abort();
  if (again.SaveToStream() != saved) std::abort();
  // Work the loaded list: sort every column, move, mark and delete rows.
  for (int32_t c = 1; c <= again.ColumnCount(); ++c) again.SortByColumn(c);
  const int32_t rows = again.RowCount();
  if (rows > 1) again.MoveRow(1, rows);
  for (int32_t r = 1; r <= rows && r <= 8; ++r) again.SetCursor(3, r);
  if (again.MarkCount() > rows) std::abort();
  for (int32_t k = 0; k < 4; ++k)
    if (again.CursorRow(k) < 0 || again.CursorRow(k) > rows) std::abort();
  if (rows > 0) again.DeleteRow(1);
  again.SetCell(1, 1, "edited");
  (void)again.SaveToStream();
  return 0;
}
