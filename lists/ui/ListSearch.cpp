#include "lists/ui/ListSearch.h"

namespace zonda {

int FindRowContaining(const TLista& list, int col, const QString& needle, int from) {
  const QString wanted = needle.toUpper();
  QString cell;
  for (int r = std::max(from, 1); r <= list.RowCount(); ++r) {
    const std::string_view text = list.GetCell(r, col);
    if (text.size() < static_cast<size_t>(wanted.size())) continue;  // UTF-8 is never shorter than its UTF-16
    cell = QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
    if (cell.contains(wanted, Qt::CaseInsensitive)) return r;
  }
  return 0;
}

}  // namespace zonda
