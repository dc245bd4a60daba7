// The list file: TLista's style, columns, cells, cursors and sort indexes in
// the stored layout. Alignment is numbered differently in the file (0 left,
// 1 centre, 2 right) than in the model (0 left, 1 right, 2 centre).
#include <algorithm>

#include "platform/AtomicFile.h"
#include "lists/ListBytes.h"
#include "lists/Lista.h"

namespace zonda {

// Size of the fixed records, for bounding counts against the input left.
constexpr size_t kAreaBytes = 46;
constexpr size_t kCursorMinBytes = 4 + 4 + 1 + 4 + 1 + 1 + kAreaBytes;
constexpr size_t kColumnMinBytes = 3 + 5 * 4 + 4 + (4 + 4 + 4 + 4) + 4 + 4 * 4 + kAreaBytes;
constexpr int32_t kMaxColumns = 1024;
constexpr int32_t kMaxRows = 50'000'000;

class TListFileCodec {
 public:
  static void WriteFont(TListWriter& w, const TListFont& f) {
    w.Str(f.Name);
    w.I32(f.Size);
    w.I32(f.Color);
    w.Byte(f.Bold);
    w.Byte(f.Italic);
    w.Byte(f.Underline);
    w.Byte(f.StrikeOut);
  }
  static TListFont ReadFont(TListReader& r) {
    TListFont f;
    f.Name = r.Str();
    f.Size = r.I32();
    f.Color = r.I32();
    f.Bold = r.Byte();
    f.Italic = r.Byte();
    f.Underline = r.Byte();
    f.StrikeOut = r.Byte();
    return f;
  }
  static void WriteArea(TListWriter& w, const TDreptunghi& a) {
    w.I32(a.Left);
    w.I32(a.Top);
    w.I32(a.Right);
    w.I32(a.Bottom);
    for (int32_t c : a.FillColor) w.I32(c);
    for (int32_t c : a.FrameColor) w.I32(c);
    for (bool b : a.Fill) w.Byte(b);
    for (bool b : a.Frame) w.Byte(b);
  }
  static void ReadArea(TListReader& r, TDreptunghi& a) {
    a.Left = r.I32();
    a.Top = r.I32();
    a.Right = r.I32();
    a.Bottom = r.I32();
    for (int32_t& c : a.FillColor) c = r.I32();
    for (int32_t& c : a.FrameColor) c = r.I32();
    for (size_t i = 0; i < 3; ++i) a.Fill[i] = r.Byte();
    for (size_t i = 0; i < 3; ++i) a.Frame[i] = r.Byte();
  }

  static int32_t AlignmentToFile(int32_t model) { return model == 1 ? 2 : (model == 2 ? 1 : 0); }
  static int32_t AlignmentFromFile(int32_t code) {
    switch (code & 3) {
      case 1: return 2;  // centre
      case 2:
      case 3: return 1;  // right
      default: return 0;
    }
  }

  // The 257 bucket starts of a sorted order: an empty bucket refers forward to
  // the next occupied one (-b), or holds -300 when none follows.
  static std::vector<int32_t> Buckets(const TLista& l, const std::vector<int32_t>& sorted, size_t cid) {
    std::vector<int32_t> start(257, -1);
    for (size_t i = sorted.size(); i-- > 0;) {
      const auto& cells = l.cells_[static_cast<size_t>(sorted[i])];
      start[static_cast<size_t>(ListTextBucket(cid < cells.size() ? std::string_view(cells[cid]) : std::string_view()))] =
          static_cast<int32_t>(i);
    }
    int32_t next = -300;
    for (size_t b = 257; b-- > 0;) {
      if (start[b] >= 0)
        next = -static_cast<int32_t>(b);
      else
        start[b] = next;
    }
    return start;
  }

  static std::string Save(TLista& l) {
    TListWriter w;
    WriteFont(w, l.Font);
    w.Byte(l.GridLines);
    w.Byte(l.RowLines);
    w.Byte(l.HeaderLines);
    w.I32(l.GridLineColor);
    w.I32(l.RowLineColor);
    w.Byte(l.Ellipsis);
    for (int32_t v : {l.HeaderTopPad, l.HeaderBottomPad, l.ScrollBarWidth, l.Reserved1, l.UpButtonHeight,
                      l.DownButtonHeight, l.ThumbWidth, l.MinThumbHeight, l.Reserved2})
      w.I32(v);
    // The locks travel in the twelfth area, marked by its Left = 1.
    l.Areas[11].Left = 1;
    l.Areas[11].Fill[0] = l.SortLocked;
    l.Areas[11].Fill[1] = l.SizeLocked;
    for (const auto& a : l.Areas) WriteArea(w, a);
    w.I32(l.ColumnCount());
    w.I32(l.HeaderHeight);
    for (int32_t p = 1; p <= l.ColumnCount(); ++p) {
      const TColoana& c = *l.GetColumn(p);
      w.Byte(c.Available);
      w.Byte(c.Visible);
      w.Byte(c.Fixed);
      for (int32_t v : {c.ColumnReserved, c.ArrowMode, c.ArrowTop, c.ArrowGap, c.ArrowIndent}) w.I32(v);
      w.Str(c.Caption);
      WriteFont(w, c.Font);
      w.I32(AlignmentToFile(c.Alignment) | (c.Numbered ? 4 : 0));
      for (int32_t v : {c.Width, c.HeaderHeight, c.MaxWidth, c.MinWidth}) w.I32(v);
      WriteArea(w, c.HeaderArea);
    }
    for (int32_t v : {l.RowsShown, l.GrowBy, l.LineSpacing(), l.RowCount(), l.ColumnCount()}) w.I32(v);
    std::string& out = w.Out();
    for (int32_t r = 1; r <= l.RowCount(); ++r)
      for (int32_t c = 1; c <= l.ColumnCount(); ++c) w.Str(l.GetCell(r, c));
    w.I32(l.TopRow);
    w.I32(l.CursorCount());
    for (const TCursorX& cur : l.cursors_) {
      w.I32(cur.Active && cur.RowId >= 0 ? l.PositionOfId(cur.RowId) - 1 : -1);
      w.I32(cur.Color);
      w.Byte(cur.Active);
      w.I32(cur.Kind);
      w.Byte(cur.Fill);
      w.Byte(cur.UseColor);
      WriteArea(w, cur.Area);
    }
    for (int32_t p = 1; p <= l.ColumnCount(); ++p) {
      const TColoana& c = *l.GetColumn(p);
      w.Byte(c.Sorted);
      w.Byte(c.Ascending);
      const std::vector<int32_t>& sorted = l.SortedRowIds(p);
      for (int32_t id : sorted) w.I32(l.PositionOfId(id) - 1);
      for (int32_t b : Buckets(l, sorted, static_cast<size_t>(l.columnOrder_[static_cast<size_t>(p - 1)]))) w.I32(b);
    }
    return std::move(out);
  }

  static void Load(TLista& l, std::string_view bytes) {
    TListReader r(bytes);
    l.Font = ReadFont(r);
    l.GridLines = r.Byte();
    l.RowLines = r.Byte();
    l.HeaderLines = r.Byte();
    l.GridLineColor = r.I32();
    l.RowLineColor = r.I32();
    l.Ellipsis = r.Byte();
    for (int32_t* v : {&l.HeaderTopPad, &l.HeaderBottomPad, &l.ScrollBarWidth, &l.Reserved1, &l.UpButtonHeight,
                       &l.DownButtonHeight, &l.ThumbWidth, &l.MinThumbHeight, &l.Reserved2})
      *v = r.I32();
    for (auto& a : l.Areas) ReadArea(r, a);
    l.SortLocked = l.SizeLocked = false;
    if (l.Areas[11].Left == 1) {
      l.SortLocked = l.Areas[11].Fill[0];
      l.SizeLocked = l.Areas[11].Fill[1];
    }
    const int32_t columns = r.Count("column count", kMaxColumns, kColumnMinBytes);
    l.HeaderHeight = r.I32();
    for (int32_t p = 1; p <= columns; ++p) {
      l.AddColumn();
      TColoana& c = *l.GetColumn(p);
      c.Available = r.Byte();
      c.Visible = r.Byte();
      c.Fixed = r.Byte();
      for (int32_t* v : {&c.ColumnReserved, &c.ArrowMode, &c.ArrowTop, &c.ArrowGap, &c.ArrowIndent}) *v = r.I32();
      c.Caption = r.Str();
      c.Font = ReadFont(r);
      const int32_t code = r.I32();
      c.Alignment = AlignmentFromFile(code);
      c.Numbered = (code & 4) != 0;
      for (int32_t* v : {&c.Width, &c.HeaderHeight, &c.MaxWidth, &c.MinWidth}) *v = r.I32();
      ReadArea(r, c.HeaderArea);
      c.Sorted = false;
      c.Ascending = true;
    }
    l.RowsShown = r.I32();
    const int32_t growBy = r.I32();
    l.SetLineSpacing(r.I32());
    // Every row holds a cell and a sort entry per column; rows without columns are capped.
    const int32_t rows = r.Count("row count", columns == 0 ? 4096 : kMaxRows, static_cast<size_t>(columns) * 8);
    (void)r.I32();  // the column count again
    // Row ids equal display positions - 1, so stored orders and cursor rows are ids.
    l.GrowBy = std::max(rows, 1);
    for (int32_t i = 0; i < rows; ++i) l.AddRow();
    l.GrowBy = growBy;
    while (static_cast<int32_t>(l.rowOrder_.size()) > rows) {
      l.rowOrder_.pop_back();
      l.cells_.pop_back();
      l.rowCursors_.pop_back();
    }
    for (auto& c : l.columns_)
      if (c) c->Stamp.resize(l.rowOrder_.size());
    for (int32_t row = 0; row < rows; ++row)
      for (int32_t col = 0; col < columns; ++col) l.cells_[static_cast<size_t>(row)][static_cast<size_t>(col)] = r.Str();
    l.TopRow = r.I32();
    const int32_t cursorCount = r.Count("cursor count", rows + 4, kCursorMinBytes);
    l.cursors_.resize(4);
    for (int32_t i = 0; i < cursorCount; ++i) {
      if (i >= 4) l.cursors_.emplace_back();
      TCursorX& cur = l.cursors_[static_cast<size_t>(i)];
      const int32_t row = r.I32();
      if (row < -1 || row >= rows) throw ListFormatError("cursor " + std::to_string(i) + " on row " + std::to_string(row));
      cur.Color = r.I32();
      (void)r.Byte();  // a cursor is active exactly when it has a row
      cur.Kind = r.I32();
      cur.Fill = r.Byte();
      cur.UseColor = r.Byte();
      ReadArea(r, cur.Area);
      cur.RowId = row;
      cur.Active = row >= 0;
      if (row < 0) continue;
      const size_t slot = static_cast<size_t>(std::min(i, 3));
      if (l.rowCursors_[static_cast<size_t>(row)][slot] >= 0)
        throw ListFormatError("two cursors of one kind on row " + std::to_string(row + 1));
      l.rowCursors_[static_cast<size_t>(row)][slot] = i;
    }
    for (int32_t p = 1; p <= columns; ++p) {
      TColoana& c = *l.GetColumn(p);
      c.Sorted = r.Byte();
      c.Ascending = r.Byte();
      std::vector<int32_t> sorted(static_cast<size_t>(rows));
      std::vector<char> seen(static_cast<size_t>(rows), 0);
      bool valid = true;
      for (auto& id : sorted) {
        id = r.I32();
        if (id < 0 || id >= rows || seen[static_cast<size_t>(id)]) {
          valid = false;
          id = 0;
        } else {
          seen[static_cast<size_t>(id)] = 1;
        }
      }
      for (int b = 0; b < 257; ++b) (void)r.I32();  // derived from the order when written
      // The stored order decides among equal texts; an order that does not
      // fit the texts is rebuilt from them.
      const size_t cid = static_cast<size_t>(p - 1);
      for (size_t i = 1; valid && i < sorted.size(); ++i)
        valid = CompareListTexts(l.cells_[static_cast<size_t>(sorted[i - 1])][cid],
                                 l.cells_[static_cast<size_t>(sorted[i])][cid]) <= 0;
      if (valid) {
        for (size_t i = 0; i < sorted.size(); ++i) c.Stamp[static_cast<size_t>(sorted[i])] = l.nextStamp_ + i;
        c.SortedRows = std::move(sorted);
        c.IndexStale = false;
      } else {
        for (int32_t id = 0; id < rows; ++id) c.Stamp[static_cast<size_t>(id)] = l.nextStamp_ + static_cast<uint64_t>(id);
        c.IndexStale = true;
      }
      l.nextStamp_ += static_cast<uint64_t>(rows);
    }
    // Only one column can be the one the display follows.
    bool sortSeen = false;
    for (int32_t p = 1; p <= columns; ++p) {
      TColoana& c = *l.GetColumn(p);
      if (c.Sorted && (sortSeen || c.Numbered)) c.Sorted = false;
      sortSeen = sortSeen || c.Sorted;
    }
    l.displayMatchesSort_ = true;
    l.positionsStale_ = true;
    l.TopRow = std::max(1, std::min(l.TopRow, l.RowCount() - l.PageRows + 1));
  }
};

std::string TLista::SaveToStream() { return TListFileCodec::Save(*this); }

bool TLista::LoadFromStream(std::string_view bytes, std::string* error) {
  UpdateScope scope(*this);
  ClearAll();
  try {
    TListFileCodec::Load(*this, bytes);
    return true;
  } catch (const ListFormatError& e) {
    ClearAll();
    if (error) *error = e.what();
    return false;
  }
}

bool TLista::SaveToFile(const std::string& path, std::string* error) {
  return WriteFileAtomically(path, SaveToStream(), error);
}

bool TLista::LoadFromFile(const std::string& path, std::string* error) {
  std::string bytes;
  if (!ReadWholeFile(path, bytes, error)) return false;
  std::string why;
  if (LoadFromStream(bytes, &why)) return true;
  if (error) *error = path + ": " + why;
  return false;
}

}  // namespace zonda
