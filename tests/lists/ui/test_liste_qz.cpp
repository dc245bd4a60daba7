// TListeQZ with real mouse events on the offscreen platform: sorting from the
// header, marks with Shift and Ctrl, the scroll bar's accelerating repeat, the
// thumb, the row pop-up, the wheel, dropping rows and fitting texts.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QMenu>
#include <QTest>
#include <string>
#include <vector>

#include "lists/SongListTemplate.h"
#include "lists/ui/ListeQZ.h"
#include "tests/skin/ui/QtApp.h"

using namespace zonda;

namespace {

class ListView : public ::testing::Test {
 protected:
  void SetUp() override {
    test::QtApp();
    view_ = std::make_unique<TListeQZ>();
    view_->resize(640, 300);
    MakeSongListTemplate(view_->Shown());
    view_->show();
  }
  TLista& L() { return view_->Shown(); }
  void AddRows(int n) {
    view_->BeginUpdate();
    for (int i = 1; i <= n; ++i) {
      L().AddRow();
      L().SetCell(L().RowCount(), ColName, "Song " + std::to_string(1000 + (i * 7919) % 1000));
      L().SetCell(L().RowCount(), ColPath, "/m/" + std::to_string(i) + ".mp3");
    }
    view_->EndUpdate();
    view_->Redraw();
  }
  void Click(QPoint at, Qt::KeyboardModifiers mods = Qt::NoModifier, Qt::MouseButton button = Qt::LeftButton) {
    QTest::mouseClick(view_.get(), button, mods, at);
  }
  QPoint RowPoint(int line) { return view_->RowRect(line).center(); }
  std::vector<std::string> Names() {
    std::vector<std::string> out;
    for (int r = 1; r <= L().RowCount(); ++r) out.emplace_back(L().GetCell(r, ColName));
    return out;
  }
  std::unique_ptr<TListeQZ> view_;
};

}  // namespace

TEST_F(ListView, EmptyListShowsTheHeaderAndAHeaderClickDoesNotSort) {
  view_->Redraw();
  ASSERT_FALSE(view_->HeaderRect(ColName).isEmpty());
  Click(view_->HeaderRect(ColName).center());
  EXPECT_EQ(L().SortColumn(), 0);
  EXPECT_EQ(L().RowsShown, 0);
}

TEST_F(ListView, HeaderClicksSortAndReverseUnlessSortingIsLocked) {
  AddRows(20);
  Click(view_->HeaderRect(ColName).center());
  EXPECT_EQ(L().SortColumn(), ColName);
  EXPECT_LE(Names().front(), Names().back());
  Click(view_->HeaderRect(ColName).center());
  EXPECT_FALSE(L().GetColumn(ColName)->Ascending);
  EXPECT_GE(Names().front(), Names().back());
  L().SortLocked = true;
  Click(view_->HeaderRect(ColPath).center());
  EXPECT_EQ(L().SortColumn(), ColName);
  // The numbered column never sorts.
  L().SortLocked = false;
  Click(view_->HeaderRect(ColNumber).center());
  EXPECT_EQ(L().SortColumn(), ColName);
}

TEST_F(ListView, ShiftClickTogglesMarksFromTheFocusAndCtrlClickTogglesOne) {
  AddRows(10);
  Click(RowPoint(3));
  EXPECT_EQ(L().CursorRow(0), 3);
  Click(RowPoint(6), Qt::ShiftModifier);
  EXPECT_EQ(L().MarkedRows(), (std::vector<int32_t>{3, 4, 5, 6}));
  EXPECT_EQ(L().CursorRow(0), 6);
  Click(RowPoint(4), Qt::ControlModifier);
  EXPECT_EQ(L().MarkedRows(), (std::vector<int32_t>{3, 5, 6}));
  Click(RowPoint(8), Qt::ControlModifier);
  EXPECT_EQ(L().MarkedRows(), (std::vector<int32_t>{3, 5, 6, 8}));
}

TEST_F(ListView, HoldingScrollDownRepeatsFasterAndFaster) {
  AddRows(200);
  const QPoint down = view_->PartRect(TListeQZ::DownButton).center();
  QTest::mousePress(view_.get(), Qt::LeftButton, Qt::NoModifier, down);
  EXPECT_EQ(L().TopRow, 2);  // one row at once
  std::vector<int> scrolledAt;
  for (int tick = 1; tick <= 16; ++tick) {
    const int before = L().TopRow;
    view_->Tick();
    if (L().TopRow != before) scrolledAt.push_back(tick);
  }
  QTest::mouseRelease(view_.get(), Qt::LeftButton, Qt::NoModifier, down);
  // Every 5 ticks, then 4, 3, 2, then every tick.
  EXPECT_EQ(scrolledAt, (std::vector<int>{5, 9, 12, 14, 15, 16}));
  const int top = L().TopRow;
  view_->Tick();
  EXPECT_EQ(L().TopRow, top);  // released: no more repeats
}

TEST_F(ListView, PressingTheThumbWithoutMovingKeepsTheTopRowAndDraggingItScrolls) {
  AddRows(300);
  L().SetTopRow(50);
  view_->Redraw();
  const QRect thumb = view_->PartRect(TListeQZ::Thumb);
  QTest::mousePress(view_.get(), Qt::LeftButton, Qt::NoModifier, thumb.center());
  EXPECT_EQ(L().TopRow, 50);
  view_->Tick();
  QTest::mouseMove(view_.get(), QPoint(thumb.center().x(), view_->PartRect(TListeQZ::DownButton).top() - 1));
  QTest::mouseRelease(view_.get(), Qt::LeftButton, Qt::NoModifier,
                      QPoint(thumb.center().x(), view_->PartRect(TListeQZ::DownButton).top() - 1));
  EXPECT_EQ(L().TopRow, L().RowCount() - L().PageRows + 1);
}

TEST_F(ListView, RightClickOnARowFocusesItAndRaisesThePopupEvent) {
  AddRows(50);
  L().SetTopRow(10);
  view_->Redraw();
  int gotRow = 0, gotLine = 0;
  view_->OnPopupClickDreaptaOn = [&](int row, int line, int, int) {
    gotRow = row;
    gotLine = line;
  };
  Click(RowPoint(4), Qt::NoModifier, Qt::RightButton);
  EXPECT_EQ(gotRow, 13);
  EXPECT_EQ(gotLine, 4);
  EXPECT_EQ(L().CursorRow(0), 13);
}

TEST_F(ListView, WheelScrollsFourRowsPerNotch) {
  AddRows(100);
  QWheelEvent down(QPointF(100, 100), view_->mapToGlobal(QPointF(100, 100)), QPoint(), QPoint(0, -120), Qt::NoButton,
                   Qt::NoModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(view_.get(), &down);
  EXPECT_EQ(L().TopRow, 5);
}

TEST_F(ListView, DroppingRowsMovesTheFocusRowOrGathersTheMarkedRows) {
  struct Case {
    int focus;
    std::vector<int> marks;
    int boundary;
    std::vector<std::string> order;
  } const cases[] = {
      {2, {}, 5, {"1", "3", "4", "2", "5", "6"}},
      {4, {1, 4}, 3, {"2", "1", "4", "3", "5", "6"}},
      {5, {}, 2, {"1", "5", "2", "3", "4", "6"}},
      {3, {1}, 5, {"1", "2", "4", "3", "5", "6"}},  // focus not marked: it moves alone
      {6, {2, 6}, 1, {"2", "6", "1", "3", "4", "5"}},
  };
  for (const Case& c : cases) {
    L().ClearRows();
    for (int i = 1; i <= 6; ++i) {
      L().AddRow();
      L().SetCell(i, ColName, std::to_string(i));
    }
    L().SetCursor(0, c.focus);
    for (int m : c.marks) L().SetCursor(3, m);
    view_->DropRows(c.boundary);
    EXPECT_EQ(Names(), c.order) << "focus " << c.focus << " boundary " << c.boundary;
  }
}

TEST_F(ListView, TextsCutToFitEndWithAnEllipsis) {
  const QFontMetrics fm(QFont("Arial", 10));
  const QString long_ = "A very long caption that does not fit";
  const int w = fm.horizontalAdvance("A very long");
  const QString cut = TListeQZ::FitText(fm, long_, w, true);
  EXPECT_TRUE(cut.endsWith(QChar(0x2026))) << cut.toStdString();
  EXPECT_LE(fm.horizontalAdvance(cut), w);
  EXPECT_FALSE(TListeQZ::FitText(fm, long_, w, false).endsWith(QChar(0x2026)));
  EXPECT_EQ(TListeQZ::FitText(fm, "short", 500, true), "short");
  EXPECT_EQ(TListeQZ::FitText(fm, "WW", 1, true), "");
}

TEST_F(ListView, NarrowingBelowTheColumnsMinimaIsIgnored) {
  AddRows(5);
  const int before = L().Width;
  view_->resize(100, 300);
  QApplication::processEvents();
  EXPECT_EQ(L().Width, before);
  view_->resize(700, 300);
  QApplication::processEvents();
  EXPECT_EQ(L().Width, 700);
}

TEST_F(ListView, ColumnsFillTheWidthAndHiddenColumnsAreSkipped) {
  AddRows(3);
  int right = 0;
  for (int c = 1; c <= L().ColumnCount(); ++c) {
    const TColoana& col = *L().GetColumn(c);
    if (!col.Visible) continue;
    EXPECT_GE(col.Width, col.MinWidth);
    right = col.Right;
  }
  EXPECT_EQ(right, L().Width - L().ScrollBarWidth - 2);  // one pixel before the scroll bar
  EXPECT_TRUE(view_->HeaderRect(ColComment).isEmpty());
}

TEST_F(ListView, ColumnButtonOpensTheColumnMenuWhoseItemsHideColumnsAndLockSorting) {
  AddRows(5);
  Click(view_->PartRect(TListeQZ::ColumnButton).center());
  QMenu* menu = view_->ColumnMenu();
  ASSERT_NE(menu, nullptr);
  EXPECT_TRUE(menu->isVisible());
  std::vector<std::string> items;
  QAction* genre = nullptr;
  QAction* number = nullptr;
  for (QAction* a : menu->actions()) {
    items.push_back(a->text().toStdString());
    if (a->text() == "Genre") genre = a;
    if (a->text() == "No.") number = a;
  }
  EXPECT_EQ(items.size(), static_cast<size_t>(kSongColumns) + 3);  // columns, separator, two locks
  ASSERT_NE(genre, nullptr);
  ASSERT_NE(number, nullptr);
  EXPECT_FALSE(number->isEnabled());  // fixed
  EXPECT_TRUE(genre->isChecked());
  genre->trigger();
  EXPECT_FALSE(L().GetColumn(ColGenre)->Visible);
  EXPECT_TRUE(view_->HeaderRect(ColGenre).isEmpty());
  menu->actions().back()->trigger();  // size lock
  menu->actions()[menu->actions().size() - 2]->trigger();  // sort lock
  EXPECT_TRUE(L().SizeLocked);
  EXPECT_TRUE(L().SortLocked);
  menu->hide();
}

TEST_F(ListView, DraggingAHeaderBorderResizesTheColumnAndItsNeighbourGives) {
  AddRows(5);
  const QRect name = view_->HeaderRect(ColName);
  const int before = L().GetColumn(ColName)->Width;
  const int after = L().GetColumn(ColBpm)->Width + L().GetColumn(ColGenre)->Width + L().GetColumn(ColPath)->Width;
  const QPoint grip(name.right() - 1, name.center().y());
  QTest::mousePress(view_.get(), Qt::LeftButton, Qt::NoModifier, grip);
  for (int i = 0; i < 3; ++i) view_->Tick();
  QTest::mouseMove(view_.get(), grip + QPoint(40, 0));
  QTest::mouseRelease(view_.get(), Qt::LeftButton, Qt::NoModifier, grip + QPoint(40, 0));
  EXPECT_EQ(L().SortColumn(), 0);  // a border press does not sort
  EXPECT_GT(L().GetColumn(ColName)->Width, before + 30);
  const int rest = L().GetColumn(ColBpm)->Width + L().GetColumn(ColGenre)->Width + L().GetColumn(ColPath)->Width;
  EXPECT_EQ(rest + L().GetColumn(ColName)->Width, after + before);  // the total width stays
}
