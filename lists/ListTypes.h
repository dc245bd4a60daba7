#pragma once
// The value types of a list: font, styled area, column and cursor. Plain
// data, free of widgets, so the list file code and its tools use them bare.
// Colours are 32-bit values with red in the low byte, then green, then blue.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace zonda {

constexpr int32_t ListRGB(int r, int g, int b) { return r | (g << 8) | (b << 16); }

struct TListFont {
  std::string Name = "Arial";
  int32_t Size = 10;  // points
  int32_t Color = 0;
  bool Bold = true;
  bool Italic = false;
  bool Underline = false;
  bool StrikeOut = false;
  bool operator==(const TListFont&) const = default;
};

// A styled rectangle. States are 1 normal, 2 mouse over, 3 pressed (index 0..2).
// The frame is drawn at (Left-1, Top-1, Right, Bottom), the fill at
// (Left, Top, Right-1, Bottom-1).
struct TDreptunghi {
  int32_t Left = 0, Top = 0, Right = 0, Bottom = 0;
  std::array<int32_t, 3> FillColor{ListRGB(128, 128, 128), ListRGB(128, 128, 128), ListRGB(128, 128, 128)};
  std::array<int32_t, 3> FrameColor{0, 0, 0};
  std::array<bool, 3> Fill{false, true, true};
  std::array<bool, 3> Frame{true, true, true};
  std::string Name;  // not stored
};

// Cursor kinds: 0 focus, 1 next-to-load marker, 2 spare, 3 selection mark.
struct TCursorX {
  int32_t RowId = -1;  // -1: none
  int32_t Color = ListRGB(255, 255, 0);
  bool Active = false;
  int32_t Kind = 0;
  bool Fill = true;      // paint Area under the row
  bool UseColor = true;  // draw the row's text in Color
  TDreptunghi Area;
};

// Alignment in the model: 0 left, 1 right, 2 centre.
struct TColoana {
  std::vector<int32_t> SortedRows;  // row ids in ascending order of this column's text
  bool Available = false;
  bool Visible = false;
  bool Numbered = false;
  bool Fixed = false;
  int32_t ColumnReserved = 0;
  bool Sorted = false;
  bool Ascending = true;
  int32_t ArrowMode = 0, ArrowTop = 0, ArrowGap = 0, ArrowIndent = 0;
  std::string Caption = "Coloana";
  TListFont Font;
  int32_t Alignment = 0;
  int32_t Width = 100, MaxWidth = 0, MinWidth = 0;
  int32_t HeaderHeight = 0;
  int32_t Left = 0, Right = 0;  // layout results
  bool Held = false;            // layout: keeps its width while another is resized
  TDreptunghi HeaderArea;

  // Sort index bookkeeping: per row id the moment its text was last set; equal
  // texts keep the order in which they were set. SortedRows is rebuilt from it
  // when IndexStale.
  std::vector<uint64_t> Stamp;
  bool IndexStale = false;
};

}  // namespace zonda
