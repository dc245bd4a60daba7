#pragma once
// TLista: one list of text rows and columns, addressed by 1-based display
// positions. Every column keeps a sort index (its rows in ascending order of
// their upper-cased text, empty texts last), so sorting the display is a copy.
// Four cursor kinds mark rows: 0 focus, 1 next-to-load marker, 2 spare, and 3
// selection marks (any number; cursor 3 is the style template of the others).
//
//   TLista list;
//   list.AddColumn(); list.AddRow();
//   list.SetCell(1, 1, "Artist - Title");
//   list.SortByColumn(1);
//   std::string bytes = list.SaveToStream();   // the list file format
//
// Row ids (storage slots) never leave the model except in the list file. Out of
// range positions do nothing (reads give "", nullptr or 0). Free of widgets:
// the view copies its size in (Width, Height, PageRows, RowsShown). Main
// thread, or any one thread at a time.
#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "lists/ListTypes.h"

namespace zonda {

class TLista {
 public:
  TLista();
  TLista(const TLista&) = delete;
  TLista& operator=(const TLista&) = delete;

  // ---- style (stored in the list file) ----
  int32_t Width = 630, Height = 240;
  TListFont Font;
  bool GridLines = true, RowLines = true, HeaderLines = true;
  int32_t GridLineColor = 0, RowLineColor = 0;
  bool Ellipsis = true;
  int32_t HeaderTopPad = 0, HeaderBottomPad = 0, ScrollBarWidth = 0;
  int32_t UpButtonHeight = 0, DownButtonHeight = 0, ThumbWidth = 0, MinThumbHeight = 0;
  int32_t Reserved1 = 0, Reserved2 = 100;
  bool SortLocked = false, SizeLocked = false;
  int32_t GrowBy = 1;
  int32_t HeaderHeight = 0;
  std::array<TDreptunghi, 12> Areas;
  std::string Name, CreatedName;
  int32_t ListTag = 0, BrowserId = 0;
  // Its list file could not be read at start-up: saving leaves that file alone
  // (or, when the list has moved to another number, copies it there byte for byte).
  bool Unreadable = false;
  std::string UnreadableFile;

  // ---- view state ----
  int32_t TopRow = 1;
  int32_t RowsShown = 0;  // min(PageRows, RowCount), set by the view at each paint
  int32_t PageRows = 0;   // whole rows that fit, set by the view
  int32_t LineSpacing() const { return lineSpacing_; }
  void SetLineSpacing(int32_t v) {
    if (v >= 0) lineSpacing_ = v;
  }

  // Called before and after every mutating operation (nested changes repaint once).
  std::function<void()> OnBeginUpdate, OnEndUpdate;

  // ---- rows ----
  int32_t RowCount() const { return rowCount_; }
  void AddRow();
  void DeleteRow(int32_t row);
  void ClearRows();
  void ClearAll();
  void MoveRow(int32_t from, int32_t to);
  std::string_view GetCell(int32_t row, int32_t col) const;
  void SetCell(int32_t row, int32_t col, std::string_view text);

  // ---- columns ----
  int32_t ColumnCount() const { return static_cast<int32_t>(columnOrder_.size()); }
  void AddColumn();
  void DeleteColumn(int32_t col);
  TColoana* GetColumn(int32_t col);
  const TColoana* GetColumn(int32_t col) const;
  void SortByColumn(int32_t col);
  int32_t SortColumn() const;  // position of the column the display follows, 0 when none
  // Ascending sort order of column col as display positions (rebuilt when stale).
  const std::vector<int32_t>& SortedRowIds(int32_t col);

  // ---- cursors ----
  int32_t CursorCount() const { return static_cast<int32_t>(cursors_.size()); }
  const TCursorX& Cursor(int32_t index) const { return cursors_[static_cast<size_t>(index)]; }
  TCursorX& Cursor(int32_t index) { return cursors_[static_cast<size_t>(index)]; }
  void SetCursor(int32_t kind, int32_t row);
  void ClearCursor(int32_t kind, int32_t row = 0);
  int32_t CursorRow(int32_t kind) const;  // display position, 0 when none
  bool IsRowMarked(int32_t row) const;
  // Whether cursor kind 0..2 sits on row, or for kind 3 a mark.
  bool RowHasCursor(int32_t row, int32_t kind) const;
  int32_t MarkCount() const;
  std::vector<int32_t> MarkedRows() const;  // display positions, ascending
  void ClearMarks();                        // every mark at once

  // ---- view helpers ----
  void SetTopRow(int32_t row);
  bool FitsWidth(int32_t width) const;
  void ScrollIntoView(int32_t row);  // TopRow so that row is visible

  // ---- files (lists/ListFile.cpp) ----
  // The list file as bytes, and back. LoadFromStream clears the list first; on
  // failure it returns false with a reason in error and leaves the list empty.
  std::string SaveToStream();
  bool LoadFromStream(std::string_view bytes, std::string* error = nullptr);
  // Whole-file write through a temporary file in the same folder and a rename,
  // so the old file stays whole until the new one is complete.
  bool SaveToFile(const std::string& path, std::string* error = nullptr);
  bool LoadFromFile(const std::string& path, std::string* error = nullptr);

  // Row id of a display position (for the file code), -1 when out of range.
  int32_t RowIdAt(int32_t row) const;
  int32_t PositionOfId(int32_t id) const;  // display position of a row id, 0 when free

 private:
  friend class TListFileCodec;
  struct UpdateScope {
    explicit UpdateScope(TLista& l) : list(l) {
      if (list.OnBeginUpdate) list.OnBeginUpdate();
    }
    ~UpdateScope() {
      if (list.OnEndUpdate) list.OnEndUpdate();
    }
    UpdateScope(const UpdateScope&) = delete;
    UpdateScope& operator=(const UpdateScope&) = delete;
    TLista& list;
  };

  int32_t ColumnIdAt(int32_t col) const;
  void IndexInsertNewRow(int32_t id);
  void RebuildIndex(TColoana& c) const;
  void RebuildPositions() const;
  void ScrollToFocus(int32_t row);

  int32_t rowCount_ = 0;
  int32_t lineSpacing_ = 0;
  std::vector<std::vector<std::string>> cells_;  // row id -> cells by column id
  std::vector<std::array<int32_t, 4>> rowCursors_;
  std::vector<int32_t> rowOrder_;  // display position - 1 -> row id; free slots follow, ascending
  mutable std::vector<int32_t> rowPosition_;
  mutable bool positionsStale_ = false;
  std::vector<int32_t> columnOrder_;                  // column position - 1 -> column id
  std::vector<std::unique_ptr<TColoana>> columns_;    // column id -> column (null: free id)
  std::vector<TCursorX> cursors_;
  uint64_t nextStamp_ = 1;
  bool displayMatchesSort_ = true;
};

// The sort key order: first byte with a..z folded (empty text last), then the
// whole upper-cased text by bytes. Negative, zero or positive like strcmp.
int CompareListTexts(std::string_view a, std::string_view b);
int ListTextBucket(std::string_view text);  // 0..255, 256 for ""

}  // namespace zonda
