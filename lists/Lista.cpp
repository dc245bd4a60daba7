// TLista: rows in slots, a display order, per-column sort indexes and cursors.
#include "lists/Lista.h"

#include <algorithm>

namespace zonda {
namespace {

inline unsigned char UpperByte(unsigned char c) { return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 32) : c; }

const char* const kAreaNames[12] = {"Fundal",         "Buton1Slider",      "Buton2Slider", "ButonColoane",
                                    "FundalSlider",   "FundalSliderSus",   "FundalSliderJos", "PopupColoane",
                                    "PopupClickDreapta", "CursorSlider",   "CursorPopup",  "DPopup"};

TCursorX MakeCursor(int32_t kind) {
  TCursorX c;
  c.Kind = kind;
  c.Area.Name = "Drept";
  c.Area.FillColor = {ListRGB(192, 192, 192), ListRGB(192, 192, 192), ListRGB(192, 192, 192)};
  c.Area.FrameColor = c.Area.FillColor;
  return c;
}

}  // namespace

int ListTextBucket(std::string_view text) {
  return text.empty() ? 256 : UpperByte(static_cast<unsigned char>(text[0]));
}

int CompareListTexts(std::string_view a, std::string_view b) {
  const int ba = ListTextBucket(a), bb = ListTextBucket(b);
  if (ba != bb) return ba < bb ? -1 : 1;
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const unsigned char ca = UpperByte(static_cast<unsigned char>(a[i]));
    const unsigned char cb = UpperByte(static_cast<unsigned char>(b[i]));
    if (ca != cb) return ca < cb ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

TLista::TLista() {
  for (size_t i = 0; i < Areas.size(); ++i) {
    Areas[i].Name = kAreaNames[i];
    Areas[i].FrameColor = {Font.Color, Font.Color, Font.Color};
  }
  GridLineColor = RowLineColor = Font.Color;
  for (int32_t k = 0; k < 4; ++k) cursors_.push_back(MakeCursor(k));
}

// ---- rows ----

void TLista::AddRow() {
  UpdateScope scope(*this);
  if (rowCount_ == static_cast<int32_t>(rowOrder_.size())) {
    const int32_t grow = std::max(GrowBy, 1);
    const auto first = static_cast<int32_t>(rowOrder_.size());
    for (int32_t i = 0; i < grow; ++i) {
      rowOrder_.push_back(first + i);
      cells_.emplace_back();
      rowCursors_.push_back({-1, -1, -1, -1});
    }
    for (auto& c : columns_)
      if (c) c->Stamp.resize(rowOrder_.size(), 0);
  }
  const int32_t id = rowOrder_[static_cast<size_t>(rowCount_)];
  ++rowCount_;
  cells_[static_cast<size_t>(id)].assign(columns_.size(), std::string());
  rowCursors_[static_cast<size_t>(id)] = {-1, -1, -1, -1};
  if (!positionsStale_) {
    if (rowPosition_.size() < rowOrder_.size()) rowPosition_.resize(rowOrder_.size(), -1);
    rowPosition_[static_cast<size_t>(id)] = rowCount_ - 1;
  }
  IndexInsertNewRow(id);
  // A new row lands at the end of the display; a descending display wants it first.
  for (const int32_t cid : columnOrder_) {
    const TColoana& c = *columns_[static_cast<size_t>(cid)];
    if (c.Sorted && !c.Ascending && rowCount_ > 1) displayMatchesSort_ = false;
  }
}

void TLista::IndexInsertNewRow(int32_t id) {
  for (auto& c : columns_) {
    if (!c) continue;
    c->Stamp[static_cast<size_t>(id)] = nextStamp_++;
    // An empty text with the newest stamp sorts after everything.
    if (!c->IndexStale) c->SortedRows.push_back(id);
  }
}

void TLista::DeleteRow(int32_t row) {
  if (row < 1 || row > rowCount_) return;
  UpdateScope scope(*this);
  const int32_t id = rowOrder_[static_cast<size_t>(row - 1)];
  for (int32_t k = 0; k < 3; ++k)
    if (rowCursors_[static_cast<size_t>(id)][static_cast<size_t>(k)] >= 0) ClearCursor(k);
  if (rowCursors_[static_cast<size_t>(id)][3] >= 0) ClearCursor(3, row);
  for (auto& cell : cells_[static_cast<size_t>(id)]) cell.clear();
  for (auto& c : columns_)
    if (c) c->IndexStale = true;
  rowOrder_.erase(rowOrder_.begin() + (row - 1));
  --rowCount_;
  auto freeBegin = rowOrder_.begin() + rowCount_;
  rowOrder_.insert(std::lower_bound(freeBegin, rowOrder_.end(), id), id);
  // Shrink while the highest slots are free (the free tail is ascending).
  while (static_cast<int32_t>(rowOrder_.size()) > rowCount_ &&
         rowOrder_.back() == static_cast<int32_t>(rowOrder_.size()) - 1) {
    rowOrder_.pop_back();
    cells_.pop_back();
    rowCursors_.pop_back();
  }
  for (auto& c : columns_)
    if (c) c->Stamp.resize(rowOrder_.size());
  positionsStale_ = true;
  if (TopRow > 1 && rowCount_ - TopRow + 1 < PageRows) --TopRow;
}

void TLista::ClearRows() {
  UpdateScope scope(*this);
  rowCount_ = 0;
  rowOrder_.clear();
  cells_.clear();
  rowCursors_.clear();
  rowPosition_.clear();
  positionsStale_ = false;
  for (auto& c : columns_) {
    if (!c) continue;
    c->SortedRows.clear();
    c->Stamp.clear();
    c->IndexStale = false;
  }
  cursors_.resize(4);
  for (auto& cur : cursors_) {
    cur.RowId = -1;
    cur.Active = false;
  }
  TopRow = 1;
}

void TLista::ClearAll() {
  UpdateScope scope(*this);
  ClearRows();
  columns_.clear();
  columnOrder_.clear();
  HeaderHeight = 0;
}

void TLista::MoveRow(int32_t from, int32_t to) {
  if (from < 1 || from > rowCount_ || to < 1 || to > rowCount_ || from == to) return;
  UpdateScope scope(*this);
  const int32_t id = rowOrder_[static_cast<size_t>(from - 1)];
  rowOrder_.erase(rowOrder_.begin() + (from - 1));
  rowOrder_.insert(rowOrder_.begin() + (to - 1), id);
  positionsStale_ = true;
  if (rowCursors_[static_cast<size_t>(id)][0] >= 0) ScrollToFocus(to);
  for (auto& c : columns_)
    if (c) c->Sorted = false;
}

std::string_view TLista::GetCell(int32_t row, int32_t col) const {
  const int32_t id = RowIdAt(row), cid = ColumnIdAt(col);
  if (id < 0 || cid < 0) return {};
  const auto& cells = cells_[static_cast<size_t>(id)];
  return static_cast<size_t>(cid) < cells.size() ? std::string_view(cells[static_cast<size_t>(cid)])
                                                 : std::string_view();
}

void TLista::SetCell(int32_t row, int32_t col, std::string_view text) {
  const int32_t id = RowIdAt(row), cid = ColumnIdAt(col);
  if (id < 0 || cid < 0) return;
  UpdateScope scope(*this);
  TColoana& c = *columns_[static_cast<size_t>(cid)];
  auto& cells = cells_[static_cast<size_t>(id)];
  if (cells.size() < columns_.size()) cells.resize(columns_.size());
  cells[static_cast<size_t>(cid)].assign(text);
  c.Stamp[static_cast<size_t>(id)] = nextStamp_++;
  c.IndexStale = true;
  if (!c.Sorted) return;
  // The display followed this column: it still does when the row keeps its
  // place among its neighbours (the newest stamp goes after equal texts).
  bool keeps = displayMatchesSort_;
  const std::string_view prev = row > 1 ? GetCell(row - 1, col) : std::string_view();
  const std::string_view next = row < rowCount_ ? GetCell(row + 1, col) : std::string_view();
  if (c.Ascending) {
    if (row > 1 && CompareListTexts(prev, text) > 0) keeps = false;
    if (row < rowCount_ && CompareListTexts(text, next) >= 0) keeps = false;
  } else {
    if (row > 1 && CompareListTexts(text, prev) >= 0) keeps = false;
    if (row < rowCount_ && CompareListTexts(next, text) > 0) keeps = false;
  }
  if (!keeps) c.Sorted = false;
}

// ---- columns ----

int32_t TLista::ColumnIdAt(int32_t col) const {
  if (col < 1 || col > ColumnCount()) return -1;
  return columnOrder_[static_cast<size_t>(col - 1)];
}

void TLista::AddColumn() {
  UpdateScope scope(*this);
  int32_t cid = 0;
  while (cid < static_cast<int32_t>(columns_.size()) && columns_[static_cast<size_t>(cid)]) ++cid;
  if (cid == static_cast<int32_t>(columns_.size())) columns_.emplace_back();
  auto c = std::make_unique<TColoana>();
  c->Caption = "Coloana " + std::to_string(cid);
  c->Font = Font;
  if (!columnOrder_.empty()) c->ColumnReserved = columns_[static_cast<size_t>(columnOrder_.back())]->ColumnReserved;
  c->Stamp.assign(rowOrder_.size(), 0);
  for (int32_t p = 0; p < rowCount_; ++p) {
    const int32_t id = rowOrder_[static_cast<size_t>(p)];
    c->SortedRows.push_back(id);
    c->Stamp[static_cast<size_t>(id)] = nextStamp_++;
  }
  std::sort(c->SortedRows.begin(), c->SortedRows.end());
  columns_[static_cast<size_t>(cid)] = std::move(c);
  columnOrder_.push_back(cid);
  for (int32_t p = 0; p < rowCount_; ++p) {
    auto& cells = cells_[static_cast<size_t>(rowOrder_[static_cast<size_t>(p)])];
    if (cells.size() < columns_.size()) cells.resize(columns_.size());
  }
}

void TLista::DeleteColumn(int32_t col) {
  const int32_t cid = ColumnIdAt(col);
  if (cid < 0) return;
  UpdateScope scope(*this);
  columnOrder_.erase(columnOrder_.begin() + (col - 1));
  columns_[static_cast<size_t>(cid)].reset();
  for (auto& cells : cells_)
    if (static_cast<size_t>(cid) < cells.size()) cells[static_cast<size_t>(cid)].clear();
  while (!columns_.empty() && !columns_.back()) columns_.pop_back();
  for (auto& cells : cells_)
    if (cells.size() > columns_.size()) cells.resize(columns_.size());
}

TColoana* TLista::GetColumn(int32_t col) {
  const int32_t cid = ColumnIdAt(col);
  return cid < 0 ? nullptr : columns_[static_cast<size_t>(cid)].get();
}

const TColoana* TLista::GetColumn(int32_t col) const {
  const int32_t cid = ColumnIdAt(col);
  return cid < 0 ? nullptr : columns_[static_cast<size_t>(cid)].get();
}

void TLista::RebuildIndex(TColoana& c) const {
  const size_t cid = static_cast<size_t>(
      std::find_if(columns_.begin(), columns_.end(), [&](const auto& p) { return p.get() == &c; }) - columns_.begin());
  // The order of CompareListTexts is the byte order of the upper-cased texts
  // with empty texts last: sort on upper-cased copies, their first eight bytes
  // packed into a number so most comparisons never touch the text.
  struct Key {
    uint64_t prefix;
    uint64_t stamp;
    std::string_view text;  // upper-cased
    int32_t id;
  };
  std::string upper;
  size_t total = 0;
  for (int32_t p = 0; p < rowCount_; ++p) {
    const auto& cells = cells_[static_cast<size_t>(rowOrder_[static_cast<size_t>(p)])];
    total += cid < cells.size() ? cells[cid].size() : 0;
  }
  upper.reserve(total);
  std::vector<Key> keys(static_cast<size_t>(rowCount_));
  std::vector<size_t> starts(static_cast<size_t>(rowCount_));
  for (int32_t p = 0; p < rowCount_; ++p) {
    const int32_t id = rowOrder_[static_cast<size_t>(p)];
    const auto& cells = cells_[static_cast<size_t>(id)];
    const std::string_view t = cid < cells.size() ? std::string_view(cells[cid]) : std::string_view();
    starts[static_cast<size_t>(p)] = upper.size();
    for (char ch : t) upper.push_back(static_cast<char>(UpperByte(static_cast<unsigned char>(ch))));
    uint64_t prefix = 0;
    for (size_t i = 0; i < 8; ++i)
      prefix = (prefix << 8) | (i < t.size() ? UpperByte(static_cast<unsigned char>(t[i])) : 0u);
    // Empty texts sort last.
    if (t.empty()) prefix = ~uint64_t{0};
    keys[static_cast<size_t>(p)] = {prefix, c.Stamp[static_cast<size_t>(id)], std::string_view(), id};
  }
  for (int32_t p = 0; p < rowCount_; ++p) {
    const size_t begin = starts[static_cast<size_t>(p)];
    const size_t end = p + 1 < rowCount_ ? starts[static_cast<size_t>(p) + 1] : upper.size();
    keys[static_cast<size_t>(p)].text = std::string_view(upper).substr(begin, end - begin);
  }
  std::sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) {
    if (a.prefix != b.prefix) return a.prefix < b.prefix;
    if (a.text.empty() != b.text.empty()) return b.text.empty();
    const int r = a.text.compare(b.text);
    if (r != 0) return r < 0;
    return a.stamp < b.stamp;
  });
  c.SortedRows.resize(keys.size());
  for (size_t i = 0; i < keys.size(); ++i) c.SortedRows[i] = keys[i].id;
  c.IndexStale = false;
}

const std::vector<int32_t>& TLista::SortedRowIds(int32_t col) {
  static const std::vector<int32_t> none;
  TColoana* c = GetColumn(col);
  if (!c) return none;
  if (c->IndexStale) RebuildIndex(*c);
  return c->SortedRows;
}

int32_t TLista::SortColumn() const {
  for (int32_t p = 1; p <= ColumnCount(); ++p)
    if (GetColumn(p)->Sorted) return p;
  return 0;
}

void TLista::SortByColumn(int32_t col) {
  TColoana* c = GetColumn(col);
  if (!c || c->Numbered) return;
  UpdateScope scope(*this);
  if (c->Sorted) {
    c->Ascending = !c->Ascending;
  } else {
    for (auto& other : columns_)
      if (other) other->Sorted = false;
    c->Sorted = true;
    c->Ascending = true;
  }
  // Keep the visible row that carries a cursor (else the top row) at its place on screen.
  int32_t kept = 0;
  const int32_t lastShown = std::min(rowCount_, TopRow + std::max(RowsShown, 0) - 1);
  for (int32_t r = TopRow; r <= lastShown; ++r)
    for (int32_t k = 3; k >= 0; --k)
      if (RowHasCursor(r, k)) kept = r;
  if (kept == 0) kept = TopRow;
  const int32_t offset = kept - TopRow;
  const int32_t keptId = RowIdAt(kept);
  const std::vector<int32_t>& sorted = SortedRowIds(col);
  if (c->Ascending)
    std::copy(sorted.begin(), sorted.end(), rowOrder_.begin());
  else
    std::copy(sorted.rbegin(), sorted.rend(), rowOrder_.begin());
  positionsStale_ = true;
  displayMatchesSort_ = true;
  if (keptId >= 0) {
    int32_t top = PositionOfId(keptId) - offset;
    top = std::min(top, rowCount_ - PageRows + 1);
    TopRow = std::max(top, 1);
  }
}

// ---- cursors ----

bool TLista::RowHasCursor(int32_t row, int32_t kind) const {
  const int32_t id = RowIdAt(row);
  if (id < 0 || kind < 0 || kind > 3) return false;
  return rowCursors_[static_cast<size_t>(id)][static_cast<size_t>(kind)] >= 0;
}

bool TLista::IsRowMarked(int32_t row) const { return RowHasCursor(row, 3); }

void TLista::SetCursor(int32_t kind, int32_t row) {
  if (kind < 0 || kind > 3 || row < 1 || row > rowCount_ || RowHasCursor(row, kind)) return;
  UpdateScope scope(*this);
  const int32_t id = RowIdAt(row);
  if (kind < 3) {
    TCursorX& cur = cursors_[static_cast<size_t>(kind)];
    if (cur.Active && cur.RowId >= 0) rowCursors_[static_cast<size_t>(cur.RowId)][static_cast<size_t>(kind)] = -1;
    cur.RowId = id;
    cur.Active = true;
    rowCursors_[static_cast<size_t>(id)][static_cast<size_t>(kind)] = kind;
    if (kind == 0) ScrollToFocus(row);
    return;
  }
  if (cursors_.back().Active) {
    const TCursorX& model = cursors_[3];
    TCursorX mark = MakeCursor(3);
    mark.Color = model.Color;
    mark.Fill = model.Fill;
    mark.UseColor = model.UseColor;
    mark.Area = model.Area;
    cursors_.push_back(mark);
  }
  const auto index = static_cast<int32_t>(cursors_.size()) - 1;
  TCursorX& cur = cursors_.back();
  cur.RowId = id;
  cur.Active = true;
  cur.Kind = 3;
  rowCursors_[static_cast<size_t>(id)][3] = index;
}

void TLista::ClearCursor(int32_t kind, int32_t row) {
  if (kind < 0 || kind > 3) return;
  UpdateScope scope(*this);
  if (kind < 3) {
    TCursorX& cur = cursors_[static_cast<size_t>(kind)];
    if (cur.RowId >= 0 && static_cast<size_t>(cur.RowId) < rowCursors_.size())
      rowCursors_[static_cast<size_t>(cur.RowId)][static_cast<size_t>(kind)] = -1;
    cur.RowId = -1;
    cur.Active = false;
    return;
  }
  const int32_t id = RowIdAt(row);
  if (id < 0) return;
  const int32_t at = rowCursors_[static_cast<size_t>(id)][3];
  if (at < 3) return;
  const auto count = static_cast<int32_t>(cursors_.size());
  for (int32_t i = at; i < count - 1; ++i) {
    cursors_[static_cast<size_t>(i)].RowId = cursors_[static_cast<size_t>(i + 1)].RowId;
    if (cursors_[static_cast<size_t>(i)].RowId >= 0)
      rowCursors_[static_cast<size_t>(cursors_[static_cast<size_t>(i)].RowId)][3] = i;
  }
  if (count < 5) {
    cursors_[3].RowId = -1;
    cursors_[3].Active = false;
  } else {
    cursors_.pop_back();
  }
  rowCursors_[static_cast<size_t>(id)][3] = -1;
}

int32_t TLista::CursorRow(int32_t kind) const {
  if (kind < 0 || kind >= CursorCount()) return 0;
  const TCursorX& cur = cursors_[static_cast<size_t>(kind)];
  return cur.Active && cur.RowId >= 0 ? PositionOfId(cur.RowId) : 0;
}

int32_t TLista::MarkCount() const { return CursorCount() - (cursors_[3].Active ? 3 : 4); }

std::vector<int32_t> TLista::MarkedRows() const {
  std::vector<int32_t> rows;
  for (size_t i = 3; i < cursors_.size(); ++i)
    if (cursors_[i].Active && cursors_[i].RowId >= 0) rows.push_back(PositionOfId(cursors_[i].RowId));
  std::sort(rows.begin(), rows.end());
  return rows;
}

void TLista::ClearMarks() {
  UpdateScope scope(*this);
  for (size_t i = 3; i < cursors_.size(); ++i)
    if (cursors_[i].Active && cursors_[i].RowId >= 0) rowCursors_[static_cast<size_t>(cursors_[i].RowId)][3] = -1;
  cursors_.resize(4);
  cursors_[3].RowId = -1;
  cursors_[3].Active = false;
}

// ---- view helpers ----

void TLista::ScrollToFocus(int32_t row) {
  if (PageRows <= 0) return;
  if (row < TopRow)
    TopRow = row;
  else if (row >= TopRow + PageRows)
    TopRow = row - PageRows + 1;
}

void TLista::ScrollIntoView(int32_t row) { ScrollToFocus(row); }

void TLista::SetTopRow(int32_t row) {
  if (rowCount_ <= PageRows && row != 1) return;
  TopRow = std::clamp(row, 1, std::max(1, rowCount_ - RowsShown + 1));
}

bool TLista::FitsWidth(int32_t width) const {
  if (columnOrder_.empty()) return true;
  int32_t need = ScrollBarWidth + 2, visible = 0;
  for (const int32_t cid : columnOrder_) {
    const TColoana& c = *columns_[static_cast<size_t>(cid)];
    if (!c.Visible) continue;
    need += c.MinWidth;
    ++visible;
  }
  return width >= need + visible;
}

// ---- ids and positions ----

int32_t TLista::RowIdAt(int32_t row) const {
  if (row < 1 || row > rowCount_) return -1;
  return rowOrder_[static_cast<size_t>(row - 1)];
}

void TLista::RebuildPositions() const {
  rowPosition_.assign(rowOrder_.size(), -1);
  for (int32_t p = 0; p < rowCount_; ++p) rowPosition_[static_cast<size_t>(rowOrder_[static_cast<size_t>(p)])] = p;
  positionsStale_ = false;
}

int32_t TLista::PositionOfId(int32_t id) const {
  if (id < 0 || static_cast<size_t>(id) >= rowOrder_.size()) return 0;
  if (positionsStale_ || rowPosition_.size() != rowOrder_.size()) RebuildPositions();
  return rowPosition_[static_cast<size_t>(id)] + 1;
}

}  // namespace zonda
