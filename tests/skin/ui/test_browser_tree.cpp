// The lists browser: its tree model and scroll bar arithmetic, the initial
// entries, expanding folders, play lists, drops and menus, with real mouse
// events on the offscreen platform.
#include <gtest/gtest.h>

#include <QMenu>
#include <QMimeData>
#include <QTest>
#include <filesystem>
#include <fstream>

#include "skin/ui/TSKINTreeNode.h"
#include "tests/skin/ui/QtApp.h"
#include "tests/support/TestFiles.h"

using namespace zonda;
namespace fs = std::filesystem;

namespace {

class Browser : public ::testing::Test {
 protected:
  void SetUp() override {
    test::QtApp();
    fs::create_directories(dir_.path() / "desk" / "inner");
    fs::create_directories(dir_.path() / "docs");
    fs::create_directories(dir_.path() / "disk" / "a" / "deep");
    fs::create_directories(dir_.path() / "disk" / "b");
    browser_ = std::make_unique<TSKINTreeNode>();
    browser_->resize(200, 200);
    browser_->AcceptedDragMime = "application/x-test-rows";
    const std::string root = dir_.path().string();
    browser_->Places = [root] {
      return std::vector<TSKINTreeNode::Place>{{"Desktop", root + "/desk", false},
                                               {"My Documents", root + "/docs", false},
                                               {"Disk", root + "/disk", false},
                                               {"Disc", root + "/nowhere", true}};
    };
    browser_->BuildTree({"Database", "History", "", "Explorer"});
    browser_->show();
  }
  std::vector<std::string> Captions() {
    std::vector<std::string> out;
    for (int r = 0; r < browser_->RowCount(); ++r) out.push_back(browser_->GetLine(r)->Caption);
    return out;
  }
  void ClickRow(int row, Qt::MouseButton b = Qt::LeftButton) {
    QTest::mouseClick(browser_.get(), b, Qt::NoModifier, browser_->RowRect(row).center() + QPoint(-40, 0));
  }
  test::TempDir dir_;
  std::unique_ptr<TSKINTreeNode> browser_;
};

}  // namespace

TBrowserLine Line(const char* caption) {
  TBrowserLine l;
  l.Caption = caption;
  return l;
}

TEST(CKAVTree, NodesWalkDepthFirstAndDeletionRemovesSubtrees) {
  CKAVTree t;
  EXPECT_EQ(t.AddNode(Line("x"), 5), -1);
  const int root = t.AddNode(Line("root"), -1);
  EXPECT_EQ(t.AddNode(Line("second root"), -1), -1);
  const int a = t.AddNode(Line("a"), root);
  const int b = t.AddNode(Line("b"), root);
  const int a1 = t.AddNode(Line("a1"), a);
  std::vector<std::pair<std::string, int>> seen;
  t.Walk([&](const TBrowserLine& l, int, int depth) { seen.emplace_back(l.Caption, depth); });
  EXPECT_EQ(seen, (std::vector<std::pair<std::string, int>>{{"root", 0}, {"a", 1}, {"a1", 2}, {"b", 1}}));
  t.DeleteNode(a);
  EXPECT_EQ(t.FindNode(a1), nullptr);
  EXPECT_EQ(t.AddNode(Line("c"), root), b + 2);  // ids are never reused
  t.DeleteNode(root);
  EXPECT_TRUE(t.Empty());
}

TEST(CKAVScroller, ThumbAndFirstFollowTheDesign) {
  CKAVScroller s;
  s.SetMinThumb(10);
  s.SetPage(180);
  s.SetTrack(167);
  s.SetTotal(1800);  // 100 rows in a 200-pixel browser
  s.SetFirst(0);
  EXPECT_EQ(s.Compute().thumb, 17);
  s.SetFirst(100000);
  EXPECT_EQ(s.Compute().first, 1800 - 180 + 1);
  EXPECT_EQ(s.Compute().offset, 150);
  s.SetThumbOffset(75);
  EXPECT_EQ(s.Compute().first, static_cast<int>(std::lround(75.0 * 1621 / 150)));
  s.SetTotal(0);
  EXPECT_EQ(s.Compute().thumb, 167);
}

TEST_F(Browser, FreshBrowserShowsItsEntriesWithDatabaseSelected) {
  EXPECT_EQ(Captions(), (std::vector<std::string>{"Global Browser", "Database", "Lists", "History", "Explorer",
                                                 "Desktop", "My Documents", "Disk", "Disc"}));
  EXPECT_EQ(browser_->SelectedRow(), 1);
  EXPECT_EQ(browser_->GetLine(5)->Kind, TBrowserLine::FolderWithSubfolders);
  EXPECT_EQ(browser_->GetLine(6)->Kind, TBrowserLine::Folder);
  EXPECT_EQ(browser_->GetLine(7)->Kind, TBrowserLine::Drive);
  EXPECT_EQ(browser_->GetLine(8)->Kind, TBrowserLine::OpticalDrive);
  EXPECT_EQ(browser_->GetLine(7)->ListIndex, 4);
}

TEST_F(Browser, ClickingExplorerCollapsesAndExpandsWithoutRereadingAndFoldersOpen) {
  int ends = 0;
  browser_->OnListEnd = [&] { ++ends; };
  ClickRow(4);
  EXPECT_EQ(browser_->RowCount(), 5);
  EXPECT_EQ(ends, 1);
  ClickRow(4);
  EXPECT_EQ(browser_->RowCount(), 9);
  ClickRow(7);  // Disk: its folders are read
  std::vector<std::string> c = Captions();
  ASSERT_EQ(c.size(), 11u);
  std::sort(c.begin() + 8, c.begin() + 10);
  EXPECT_EQ(c[8], "a");
  EXPECT_EQ(c[9], "b");
  const int a = c[8] == Captions()[8] ? 8 : 9;
  EXPECT_EQ(browser_->GetLine(a)->Kind, TBrowserLine::FolderWithSubfolders);
  EXPECT_EQ(browser_->GetLine(a)->Path, (dir_.path() / "disk" / "a").string());
  // Clicking a plain play list selects it without expanding anything.
  ClickRow(3);
  EXPECT_EQ(browser_->SelectedLine()->Caption, "History");
}

TEST_F(Browser, PlayListsGoUnderListsAndOnlyPlayListsCanBeDeletedOrRenamed) {
  ClickRow(2);  // collapse "Lists"
  const int id = browser_->AddPlayList("Mine", 5);
  EXPECT_EQ(Captions()[4], "Mine");  // after History, "Lists" opened again
  browser_->RenamePlayList("Ours", id);
  EXPECT_EQ(Captions()[4], "Ours");
  const int database = browser_->GetNodeId(1);
  browser_->DeletePlayList(database);
  browser_->RenamePlayList("x", database);
  EXPECT_EQ(Captions()[1], "Database");
  browser_->DeletePlayList(id);
  EXPECT_EQ(browser_->RowOfNode(id), -1);
}

TEST_F(Browser, SongsDropOnDatabaseAndPlayListsOnly) {
  int dropped = -1;
  browser_->OnDrop = [&](int node) { dropped = node; };
  QMimeData mime;
  mime.setData("application/x-test-rows", "1");
  auto dragTo = [&](int row) {
    const QPoint at = browser_->RowRect(row).center();
    QDragEnterEvent enter(at, Qt::MoveAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(browser_.get(), &enter);
    QDragMoveEvent move(at, Qt::MoveAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(browser_.get(), &move);
    const bool accepted = move.isAccepted();
    QDropEvent drop(QPointF(at), Qt::MoveAction, &mime, Qt::LeftButton, {});
    QApplication::sendEvent(browser_.get(), &drop);
    return accepted;
  };
  EXPECT_FALSE(dragTo(4));  // Explorer
  EXPECT_EQ(dropped, -1);
  EXPECT_TRUE(dragTo(3));  // History
  EXPECT_EQ(dropped, browser_->GetNodeId(3));
  EXPECT_TRUE(dragTo(1));  // Database
  EXPECT_EQ(dropped, browser_->GetNodeId(1));
}

TEST_F(Browser, EachKindHasItsMenu) {
  auto commands = [&](int kind) {
    std::vector<std::string> out;
    const std::unique_ptr<QMenu> menu = browser_->MenuFor(kind);
    for (QAction* a : menu->actions()) out.push_back(a->data().toString().toStdString());
    return out;
  };
  EXPECT_EQ(commands(TBrowserLine::PlayList), (std::vector<std::string>{"new", "rename", "delete", "export"}));
  EXPECT_EQ(commands(TBrowserLine::Database), (std::vector<std::string>{"new", "export"}));
  EXPECT_EQ(commands(TBrowserLine::Drive), (std::vector<std::string>{"add_database", "refresh"}));
  std::string got;
  browser_->OnMenuCommand = [&](const std::string& c) { got = c; };
  const std::unique_ptr<QMenu> menu = browser_->MenuFor(TBrowserLine::PlayList);
  menu->actions()[2]->trigger();
  EXPECT_EQ(got, "delete");
}

TEST_F(Browser, WheelScrollsFortyPixels) {
  for (int i = 0; i < 40; ++i) browser_->AddPlayList("list " + std::to_string(i), 5 + i);
  const int before = browser_->RowRect(0).top();
  browser_->ScrollByWheel(1);
  EXPECT_EQ(browser_->RowRect(0).top(), before - 40);
}
