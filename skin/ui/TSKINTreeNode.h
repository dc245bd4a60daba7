#pragma once
// The lists browser: a skinned tree beside the song list showing the song
// database, the play lists (with History) and a small file explorer (desktop,
// documents, the file-system root, home and mounted removable and optical
// media). It keeps its own tree model (CKAVTree) and scroll bar models
// (CKAVScroller) and draws everything with the skin's colours, font and
// icon strip ("listsview").
//
//   TSKINTreeNode browser(canvas);
//   browser.ApplyStyle(skin.ListsView(), &skin.SkinImage());
//   std::vector<int> ids = browser.BuildTree({"Database", "History", "", "Explorer", "Mine"});
//   browser.OnListEnd = [&] { show(browser.SelectedLine()); };
//
// Main thread only.
#include <QImage>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "skin/ui/TSkinLoader.h"

class QMenu;

namespace zonda {

struct TBrowserLine {
  enum Kind {
    Root = 0,
    Explorer = 10,
    Drive = 100,
    OpticalDrive = 101,
    Folder = 110,
    FolderWithSubfolders = 120,
    Database = 200,
    Lists = 205,
    PlayList = 210,
  };
  std::string Caption;
  std::string Path;  // explorer entries
  int Kind = Root;
  bool Expanded = false;
  bool ChildrenKnown = false;
  int ListIndex = -1;  // list shown for this entry, -1 none
};

// Nodes with ids given in creation order from 0, never reused.
class CKAVTree {
 public:
  int AddNode(const TBrowserLine& line, int parent);  // -1: the root (only into an empty tree)
  TBrowserLine* FindNode(int id);
  void SetLine(int id, const TBrowserLine& line);
  void DeleteNode(int id);
  void DeleteChildren(int id);
  int Parent(int id) const;
  const std::vector<int>& Children(int id) const;
  // Depth first, parent before children; depth 0 is the root.
  void Walk(const std::function<void(const TBrowserLine&, int id, int depth)>& visit) const;
  bool Empty() const { return root_ < 0; }

 private:
  struct Node {
    TBrowserLine line;
    int parent = -1;
    std::vector<int> children;
    bool alive = false;
  };
  void WalkFrom(int id, int depth, const std::function<void(const TBrowserLine&, int, int)>& visit) const;
  std::vector<Node> nodes_;
  int root_ = -1;
};

// One scroll bar: thumb size and offset against the first visible amount.
class CKAVScroller {
 public:
  void SetPage(int page) { page_ = std::max(page, 1); }
  void SetTrack(int track) { track_ = std::max({track, 2, minThumb_ + 1}); }
  void SetMinThumb(int minThumb) { minThumb_ = std::max(minThumb, 1); }
  void SetTotal(int total) { total_ = std::max(total, 0); }
  void SetThumbOffset(int offset) {
    offset_ = offset;
    offsetSetLast_ = true;
  }
  void SetFirst(int first) {
    first_ = first;
    offsetSetLast_ = false;
  }
  struct Result {
    int thumb, offset, first;
  };
  Result Compute();
  int First() const { return first_; }
  int Offset() const { return offset_; }

 private:
  int page_ = 1, track_ = 2, minThumb_ = 1, total_ = 0, offset_ = 0, first_ = 0;
  bool offsetSetLast_ = false;
};

class TSKINTreeNode : public QWidget {
 public:
  explicit TSKINTreeNode(QWidget* parent = nullptr);
  ~TSKINTreeNode() override;

  void ApplyStyle(const TSkinListsViewParams& style, const QImage* sheet);
  // The initial tree for lists named listNames[0..] (list k+1): Database (1),
  // History (2) and a play list for each list from 5 on, then the explorer.
  // Returns the node id for each list (-1 for lists 3 and 4).
  std::vector<int> BuildTree(const std::vector<std::string>& listNames);
  int AddPlayList(const std::string& name, int listIndex);
  void DeletePlayList(int nodeId);                           // -1: the selected row
  void RenamePlayList(const std::string& name, int nodeId);  // -1: the selected row
  int RowOfNode(int id) const;
  void RebuildExplorer();
  void ScrollByWheel(int direction);  // > 0 down

  int RowCount() const { return static_cast<int>(visible_.size()); }
  const TBrowserLine* GetLine(int row) const;
  int GetNodeId(int row) const;
  int SelectedRow() const { return selected_; }
  const TBrowserLine* SelectedLine() const { return GetLine(selected_); }
  void SelectRow(int row);
  // Expands or collapses a row as a left click does.
  void Toggle(int row);
  QRect RowRect(int row) const;  // in widget coordinates, from the last paint
  int HoveredRow() const { return hovered_; }
  int DropTargetRow() const { return dropTarget_; }
  CKAVTree& Tree() { return tree_; }
  const QImage& Frame() const { return frame_; }

  // Drags of this mime type (rows of the song list) may be dropped on the
  // Database or a play list.
  std::string AcceptedDragMime;
  std::function<void()> OnListStart, OnListEnd;
  std::function<void(int nodeId)> OnDrop;
  // "new", "delete", "rename", "export", "add_database", "refresh" from the pop-up menus.
  std::function<void(const std::string& command)> OnMenuCommand;
  // Menu captions by command, replaced by the language.
  void SetMenuCaption(const std::string& command, const std::string& caption);
  // The pop-up menu of a kind, built on request (tests look into it).
  std::unique_ptr<QMenu> MenuFor(int kind);

  // Desktop, documents and drives, replaceable for tests.
  struct Place {
    std::string Caption, Path;
    bool Optical = false;
  };
  std::function<std::vector<Place>()> Places;
  static std::vector<Place> SystemPlaces();

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseReleaseEvent(QMouseEvent*) override;
  void mouseMoveEvent(QMouseEvent*) override;
  void leaveEvent(QEvent*) override;
  void wheelEvent(QWheelEvent*) override;
  void dragEnterEvent(QDragEnterEvent*) override;
  void dragMoveEvent(QDragMoveEvent*) override;
  void dragLeaveEvent(QDragLeaveEvent*) override;
  void dropEvent(QDropEvent*) override;

 private:
  struct Flat {
    int id, depth;
  };
  void Rebuild();
  void Render();
  int RowAt(QPoint p) const;
  void ReadChildren(int id);
  int FolderKind(const std::string& path) const;

  CKAVTree tree_;
  std::vector<Flat> flat_;
  std::vector<int> visible_;  // indexes into flat_
  int selected_ = 0, hovered_ = -1, dropTarget_ = -1;
  CKAVScroller vertical_, horizontal_;
  int thumbDrag_ = 0;  // 0 none, 1 vertical, 2 horizontal
  int dragStartOffset_ = 0, dragStartPointer_ = 0;
  bool rightSelected_ = false;
  int rootId_ = -1, databaseId_ = -1, explorerId_ = -1, historyId_ = -1, listsId_ = -1;
  TSkinListsViewParams style_;
  const QImage* sheet_ = nullptr;
  QImage frame_;
  std::vector<std::pair<std::string, std::string>> captions_;
};

}  // namespace zonda
