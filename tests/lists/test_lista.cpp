// TLista: rows, columns, sort indexes, cursors and marks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lists/Lista.h"

using namespace zonda;

namespace {

// A list with one text column (plus a numbered one first when asked) and rows.
void Fill(TLista& l, const std::vector<std::string>& texts, bool numbered = false) {
  if (numbered) {
    l.AddColumn();
    l.GetColumn(1)->Numbered = true;
  }
  l.AddColumn();
  const int col = l.ColumnCount();
  for (const auto& t : texts) {
    l.AddRow();
    l.SetCell(l.RowCount(), col, t);
  }
}

std::vector<std::string> Column(const TLista& l, int col) {
  std::vector<std::string> out;
  for (int r = 1; r <= l.RowCount(); ++r) out.emplace_back(l.GetCell(r, col));
  return out;
}

}  // namespace

TEST(Lista, SortFoldsCaseAndPutsEmptyTextsLastAscendingFirstDescending) {
  TLista l;
  Fill(l, {"abd", "", "ABC", "zed", "Abc", "1x"});
  l.SortByColumn(1);
  EXPECT_EQ(Column(l, 1), (std::vector<std::string>{"1x", "ABC", "Abc", "abd", "zed", ""}));
  EXPECT_TRUE(l.GetColumn(1)->Sorted);
  EXPECT_TRUE(l.GetColumn(1)->Ascending);
  l.SortByColumn(1);  // again: reversed
  EXPECT_EQ(Column(l, 1), (std::vector<std::string>{"", "zed", "abd", "Abc", "ABC", "1x"}));
  EXPECT_FALSE(l.GetColumn(1)->Ascending);
}

TEST(Lista, NumberedColumnDoesNotSortAndOutOfRangeDoesNothing) {
  TLista l;
  Fill(l, {"b", "a"}, true);
  l.SortByColumn(1);
  l.SortByColumn(0);
  l.SortByColumn(9);
  EXPECT_EQ(Column(l, 2), (std::vector<std::string>{"b", "a"}));
  EXPECT_EQ(l.SortColumn(), 0);
  EXPECT_EQ(l.GetCell(0, 1), "");
  EXPECT_EQ(l.GetCell(3, 2), "");
  EXPECT_EQ(l.GetColumn(3), nullptr);
  l.SetCell(5, 2, "x");
  l.DeleteRow(7);
  EXPECT_EQ(l.RowCount(), 2);
}

TEST(Lista, EditingTheSortColumnClearsSortedOnlyWhenTheOrderBreaks) {
  struct Case {
    bool descending;
    int row;
    const char* text;
    bool staysSorted;
  };
  const Case cases[] = {
      {false, 2, "bb", true}, {false, 2, "z", false}, {false, 1, "a0", true}, {false, 3, "a", false},
      {true, 2, "bb", true},  {true, 2, "0", false},  {true, 1, "zz", true},  {true, 3, "z", false},
  };
  for (const Case& c : cases) {
    TLista l;
    Fill(l, {"c", "a", "b"});
    l.SortByColumn(1);
    if (c.descending) l.SortByColumn(1);  // c b a
    l.SetCell(c.row, 1, c.text);
    EXPECT_EQ(l.GetColumn(1)->Sorted, c.staysSorted) << c.descending << " row " << c.row << " " << c.text;
  }
}

TEST(Lista, IndexFollowsEditsAndEqualTextsKeepTheOrderTheyWereSet) {
  TLista l;
  Fill(l, {"b", "a", "b", "c"});
  l.SetCell(1, 1, "b");  // set last among the b's
  l.SortByColumn(1);
  // Row 3's "b" was set before row 1's second "b".
  EXPECT_EQ(l.RowIdAt(2), 2);
  EXPECT_EQ(l.RowIdAt(3), 0);
  l.SetCell(4, 1, "a");  // breaks the order: the next sort starts ascending
  l.SortByColumn(1);
  EXPECT_EQ(Column(l, 1), (std::vector<std::string>{"a", "a", "b", "b"}));
}

TEST(Lista, MoveRowShiftsRowsAndClearsSorting) {
  TLista l;
  Fill(l, {"1", "2", "3", "4", "5"});
  l.SortByColumn(1);
  l.MoveRow(2, 4);
  EXPECT_EQ(Column(l, 1), (std::vector<std::string>{"1", "3", "4", "2", "5"}));
  EXPECT_FALSE(l.GetColumn(1)->Sorted);
  l.MoveRow(5, 1);
  EXPECT_EQ(Column(l, 1), (std::vector<std::string>{"5", "1", "3", "4", "2"}));
  l.MoveRow(0, 2);
  l.MoveRow(2, 2);
  EXPECT_EQ(Column(l, 1), (std::vector<std::string>{"5", "1", "3", "4", "2"}));
}

TEST(Lista, DeletedSlotsAreReusedLowestFirst) {
  TLista l;
  Fill(l, {"a", "b", "c", "d"});
  l.DeleteRow(2);  // frees id 1
  l.DeleteRow(1);  // frees id 0
  l.AddRow();
  EXPECT_EQ(l.RowIdAt(3), 0);
  l.AddRow();
  EXPECT_EQ(l.RowIdAt(4), 1);
  EXPECT_EQ(Column(l, 1), (std::vector<std::string>{"c", "d", "", ""}));
  l.SortByColumn(1);
  EXPECT_EQ(Column(l, 1), (std::vector<std::string>{"c", "d", "", ""}));
}

TEST(Lista, CursorsFollowTheirRowsThroughSortingAndDeletion) {
  TLista l;
  Fill(l, {"d", "c", "b", "a"});
  l.SetCursor(0, 1);  // d
  l.SetCursor(1, 2);  // c
  l.SetCursor(3, 4);  // a
  l.SortByColumn(1);  // a b c d
  EXPECT_EQ(l.CursorRow(0), 4);
  EXPECT_EQ(l.CursorRow(1), 3);
  EXPECT_TRUE(l.IsRowMarked(1));
  l.DeleteRow(3);  // c goes, and the marker with it
  EXPECT_EQ(l.CursorRow(1), 0);
  EXPECT_EQ(l.CursorRow(0), 3);
  l.SetCursor(7, 1);
  l.SetCursor(0, 9);
  EXPECT_EQ(l.CursorRow(0), 3);
}

TEST(Lista, FifthMarkTakesCursorThreeStyleAndRemovingMarksDeactivatesCursorThree) {
  TLista l;
  Fill(l, {"a", "b", "c", "d", "e"});
  l.Cursor(3).Color = ListRGB(1, 2, 3);
  l.Cursor(3).Area.FillColor[0] = ListRGB(9, 9, 9);
  l.SetCursor(3, 1);
  EXPECT_EQ(l.CursorCount(), 4);
  l.SetCursor(3, 3);
  l.SetCursor(3, 5);
  EXPECT_EQ(l.CursorCount(), 6);
  EXPECT_EQ(l.MarkCount(), 3);
  EXPECT_EQ(l.Cursor(5).Color, ListRGB(1, 2, 3));
  EXPECT_EQ(l.Cursor(5).Area.FillColor[0], ListRGB(9, 9, 9));
  l.SetCursor(3, 3);  // already marked: ignored
  EXPECT_EQ(l.MarkCount(), 3);
  l.ClearCursor(3, 1);  // later marks move down
  EXPECT_EQ(l.MarkedRows(), (std::vector<int32_t>{3, 5}));
  EXPECT_EQ(l.CursorRow(3), 3);
  l.ClearCursor(3, 3);
  l.ClearCursor(3, 5);
  EXPECT_EQ(l.CursorCount(), 4);
  EXPECT_FALSE(l.Cursor(3).Active);
  EXPECT_EQ(l.MarkCount(), 0);
}

TEST(Lista, SortKeepsTheCursorRowAtItsScreenOffset) {
  TLista l;
  std::vector<std::string> texts;
  for (int i = 0; i < 50; ++i) texts.push_back(std::to_string(1000 - i));
  Fill(l, texts);
  l.PageRows = 10;
  l.RowsShown = 10;
  l.SetTopRow(11);
  l.SetCursor(0, 14);  // "987", offset 3 on screen
  l.SortByColumn(1);   // ascending: "1000", "951" ... "987" is 38th
  EXPECT_EQ(l.CursorRow(0), 38);
  EXPECT_EQ(l.TopRow, 35);
}

TEST(Lista, TopRowAndFocusScrolling) {
  TLista l;
  Fill(l, std::vector<std::string>(30, "x"));
  l.PageRows = l.RowsShown = 10;
  l.SetTopRow(100);
  EXPECT_EQ(l.TopRow, 21);
  l.SetTopRow(-3);
  EXPECT_EQ(l.TopRow, 1);
  l.SetCursor(0, 25);
  EXPECT_EQ(l.TopRow, 16);
  l.SetCursor(0, 3);
  EXPECT_EQ(l.TopRow, 3);
}

TEST(Lista, FitsWidthCountsVisibleMinimaScrollBarAndBorders) {
  TLista l;
  EXPECT_TRUE(l.FitsWidth(0));
  l.AddColumn();
  l.AddColumn();
  l.ScrollBarWidth = 10;
  for (int c = 1; c <= 2; ++c) {
    l.GetColumn(c)->Visible = true;
    l.GetColumn(c)->MinWidth = 50;
  }
  EXPECT_TRUE(l.FitsWidth(114));
  EXPECT_FALSE(l.FitsWidth(113));
}

TEST(Lista, ColumnsAddedLaterAndDeletedColumnsRecycleIds) {
  TLista l;
  Fill(l, {"a", "b"});
  l.AddColumn();
  EXPECT_EQ(l.GetColumn(2)->Caption, "Coloana 1");
  l.SetCell(2, 2, "x");
  l.DeleteColumn(1);
  EXPECT_EQ(l.ColumnCount(), 1);
  EXPECT_EQ(l.GetCell(2, 1), "x");
  l.AddColumn();
  EXPECT_EQ(l.GetColumn(2)->Caption, "Coloana 0");
  EXPECT_EQ(l.GetCell(1, 2), "");
}

TEST(Lista, UpdateNotificationsAreBalanced) {
  TLista l;
  int depth = 0, maxDepth = 0, ends = 0;
  l.OnBeginUpdate = [&] { maxDepth = std::max(maxDepth, ++depth); };
  l.OnEndUpdate = [&] {
    --depth;
    ++ends;
  };
  Fill(l, {"a", "b"});
  l.SortByColumn(1);
  l.ClearAll();
  EXPECT_EQ(depth, 0);
  EXPECT_GT(ends, 0);
}

TEST(Lista, SortedOrderAgreesWithTheTextOrderForRandomTexts) {
  TLista l;
  l.AddColumn();
  uint32_t seed = 16;
  auto next = [&] { return seed = seed * 1103515245u + 12345u; };
  const char alphabet[] = "aAbB zZ09\xC3\xA4\xFF-";
  for (int i = 0; i < 2000; ++i) {
    l.AddRow();
    std::string t;
    const int len = static_cast<int>(next() % 12);
    for (int k = 0; k < len; ++k) t.push_back(alphabet[next() % (sizeof alphabet - 1)]);
    l.SetCell(i + 1, 1, t);
  }
  l.AddRow();  // one empty text at least
  l.SortByColumn(1);
  for (int r = 2; r <= l.RowCount(); ++r)
    ASSERT_LE(CompareListTexts(l.GetCell(r - 1, 1), l.GetCell(r, 1)), 0) << "row " << r;
  EXPECT_TRUE(l.GetCell(l.RowCount(), 1).empty());
}
