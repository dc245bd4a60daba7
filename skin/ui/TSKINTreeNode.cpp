// The lists browser: tree model, scroll bars, painting, mouse and drops.
#include "skin/ui/TSKINTreeNode.h"

#include <QDir>
#include <QDragEnterEvent>
#include <QFontMetrics>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QStandardPaths>
#include <QStorageInfo>
#include <algorithm>
#include <cmath>
#include <filesystem>

#include "skin/ui/SkinPaint.h"

namespace zonda {
namespace fs = std::filesystem;
namespace {

// Layout in pixels.
constexpr int kIcon = 16, kPitch = 18, kIndent = 10, kIconGap = 4, kLeft = 2, kTop = 5, kBar = 15;

int IconOffset(const TBrowserLine& l) {
  switch (l.Kind) {
    case TBrowserLine::Explorer:
    case TBrowserLine::FolderWithSubfolders: return l.Expanded ? 64 : 48;
    case TBrowserLine::Drive: return 16;
    case TBrowserLine::OpticalDrive: return 112;
    case TBrowserLine::Folder: return 32;
    case TBrowserLine::Database: return 80;
    case TBrowserLine::Lists: return 128;
    case TBrowserLine::PlayList: return 96;
    default: return 0;
  }
}

bool HasSubfolder(const std::string& path) {
  std::error_code ec;
  for (fs::directory_iterator it(path, fs::directory_options::skip_permission_denied, ec), end; !ec && it != end;
       it.increment(ec))
    if (it->is_directory(ec)) return true;
  return false;
}

}  // namespace

// ---- CKAVTree ----

int CKAVTree::AddNode(const TBrowserLine& line, int parent) {
  if (parent < 0) {
    if (root_ >= 0) return -1;
  } else if (parent >= static_cast<int>(nodes_.size()) || !nodes_[static_cast<size_t>(parent)].alive) {
    return -1;
  }
  const int id = static_cast<int>(nodes_.size());
  nodes_.push_back({line, parent, {}, true});
  if (parent < 0)
    root_ = id;
  else
    nodes_[static_cast<size_t>(parent)].children.push_back(id);
  return id;
}

TBrowserLine* CKAVTree::FindNode(int id) {
  if (id < 0 || id >= static_cast<int>(nodes_.size()) || !nodes_[static_cast<size_t>(id)].alive) return nullptr;
  return &nodes_[static_cast<size_t>(id)].line;
}

void CKAVTree::SetLine(int id, const TBrowserLine& line) {
  if (TBrowserLine* l = FindNode(id)) *l = line;
}

int CKAVTree::Parent(int id) const {
  return id >= 0 && id < static_cast<int>(nodes_.size()) ? nodes_[static_cast<size_t>(id)].parent : -1;
}

const std::vector<int>& CKAVTree::Children(int id) const {
  static const std::vector<int> none;
  return id >= 0 && id < static_cast<int>(nodes_.size()) ? nodes_[static_cast<size_t>(id)].children : none;
}

void CKAVTree::DeleteChildren(int id) {
  if (!FindNode(id)) return;
  const std::vector<int> children = nodes_[static_cast<size_t>(id)].children;
  for (int c : children) DeleteNode(c);
}

void CKAVTree::DeleteNode(int id) {
  if (!FindNode(id)) return;
  DeleteChildren(id);
  Node& n = nodes_[static_cast<size_t>(id)];
  n.alive = false;
  if (n.parent >= 0) {
    auto& siblings = nodes_[static_cast<size_t>(n.parent)].children;
    siblings.erase(std::remove(siblings.begin(), siblings.end(), id), siblings.end());
  }
  if (id == root_) root_ = -1;
}

void CKAVTree::WalkFrom(int id, int depth, const std::function<void(const TBrowserLine&, int, int)>& visit) const {
  const Node& n = nodes_[static_cast<size_t>(id)];
  visit(n.line, id, depth);
  for (int c : n.children) WalkFrom(c, depth + 1, visit);
}

void CKAVTree::Walk(const std::function<void(const TBrowserLine&, int id, int depth)>& visit) const {
  if (root_ >= 0) WalkFrom(root_, 0, visit);
}

// ---- CKAVScroller ----

CKAVScroller::Result CKAVScroller::Compute() {
  Result r{};
  r.thumb = total_ <= 0 ? track_
                        : std::clamp(static_cast<int>(std::lround(static_cast<double>(track_) * page_ / total_)),
                                     minThumb_, track_);
  const int travel = track_ - r.thumb;
  if (offsetSetLast_) {
    offset_ = std::clamp(offset_, 0, std::max(travel, 0));
    const int range = total_ + 1 - page_;
    first_ = travel <= 0 || range < 0 ? 0 : static_cast<int>(std::lround(static_cast<double>(offset_) * range / travel));
  } else {
    first_ = std::clamp(first_, 0, std::max(total_ - page_ + 1, 0));
    const int range = total_ - page_ + 1;
    offset_ = first_ == 0 || range <= 0
                  ? 0
                  : std::clamp(static_cast<int>(std::lround(static_cast<double>(travel) * first_ / range)), 0,
                               std::max(travel, 0));
  }
  r.offset = offset_;
  r.first = first_;
  return r;
}

// ---- the browser ----

TSKINTreeNode::TSKINTreeNode(QWidget* parent) : QWidget(parent) {
  setMouseTracking(true);
  setAcceptDrops(true);
  Places = &TSKINTreeNode::SystemPlaces;
  BuildTree({});
}

TSKINTreeNode::~TSKINTreeNode() = default;

std::vector<TSKINTreeNode::Place> TSKINTreeNode::SystemPlaces() {
  std::vector<Place> places;
  const QString desktop = QStandardPaths::writableLocation(QStandardPaths::DesktopLocation);
  const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  places.push_back({"Desktop", desktop.toStdString(), false});
  places.push_back({"My Documents", documents.toStdString(), false});
  places.push_back({"/", "/", false});
  places.push_back({"Home", QDir::homePath().toStdString(), false});
  for (const QStorageInfo& v : QStorageInfo::mountedVolumes()) {
    const QString root = v.rootPath();
    if (!(root.startsWith("/media/") || root.startsWith("/run/media/") || root.startsWith("/mnt/"))) continue;
    const bool optical = QString::fromUtf8(v.device()).startsWith("/dev/sr");
    places.push_back({(v.displayName().isEmpty() ? root : v.displayName()).toStdString(), root.toStdString(), optical});
  }
  return places;
}

void TSKINTreeNode::ApplyStyle(const TSkinListsViewParams& style, const QImage* sheet) {
  style_ = style;
  sheet_ = sheet;
  QFont f(QString::fromStdString(style.FontName));
  if (style.FontSize > 0) f.setPointSize(style.FontSize);
  f.setBold(style.Bold);
  f.setItalic(style.Italic);
  setFont(f);
  Render();
}

int TSKINTreeNode::FolderKind(const std::string& path) const {
  return HasSubfolder(path) ? TBrowserLine::FolderWithSubfolders : TBrowserLine::Folder;
}

std::vector<int> TSKINTreeNode::BuildTree(const std::vector<std::string>& names) {
  tree_ = CKAVTree();
  TBrowserLine root{"Global Browser", "", TBrowserLine::Root, true, true, -1};
  rootId_ = tree_.AddNode(root, -1);
  databaseId_ = tree_.AddNode({"Database", "", TBrowserLine::Database, false, true, 1}, rootId_);
  listsId_ = tree_.AddNode({"Lists", "", TBrowserLine::Lists, true, true, -1}, rootId_);
  historyId_ = tree_.AddNode({"History", "", TBrowserLine::PlayList, false, true, 2}, listsId_);
  explorerId_ = tree_.AddNode({"Explorer", "", TBrowserLine::Explorer, true, true, 4}, rootId_);
  std::vector<int> ids(std::max<size_t>(names.size(), 4), -1);
  ids[0] = databaseId_;
  ids[1] = historyId_;
  RebuildExplorer();
  for (size_t k = 4; k < names.size(); ++k) ids[k] = AddPlayList(names[k], static_cast<int>(k) + 1);
  selected_ = 1;
  Rebuild();
  Render();
  return ids;
}

int TSKINTreeNode::AddPlayList(const std::string& name, int listIndex) {
  const int id = tree_.AddNode({name, "", TBrowserLine::PlayList, false, true, listIndex}, listsId_);
  if (TBrowserLine* lists = tree_.FindNode(listsId_)) lists->Expanded = true;
  Rebuild();
  Render();
  return id;
}

void TSKINTreeNode::DeletePlayList(int nodeId) {
  if (nodeId < 0) nodeId = GetNodeId(selected_);
  const TBrowserLine* l = tree_.FindNode(nodeId);
  if (!l || l->Kind != TBrowserLine::PlayList || nodeId == historyId_) return;
  tree_.DeleteNode(nodeId);
  Rebuild();
  selected_ = std::min(selected_, RowCount() - 1);
  Render();
}

void TSKINTreeNode::RenamePlayList(const std::string& name, int nodeId) {
  if (nodeId < 0) nodeId = GetNodeId(selected_);
  TBrowserLine* l = tree_.FindNode(nodeId);
  if (!l || l->Kind != TBrowserLine::PlayList) return;
  l->Caption = name;
  Render();
}

void TSKINTreeNode::RebuildExplorer() {
  tree_.DeleteChildren(explorerId_);
  const std::vector<Place> places = Places ? Places() : std::vector<Place>();
  for (size_t i = 0; i < places.size(); ++i) {
    const Place& p = places[i];
    TBrowserLine line{p.Caption, p.Path, 0, false, false, 4};
    if (i < 2)
      line.Kind = FolderKind(p.Path);
    else
      line.Kind = p.Optical || !fs::exists(p.Path) ? TBrowserLine::OpticalDrive : TBrowserLine::Drive;
    tree_.AddNode(line, explorerId_);
  }
  selected_ = 1;
  Rebuild();
  Render();
}

void TSKINTreeNode::ReadChildren(int id) {
  TBrowserLine* l = tree_.FindNode(id);
  if (!l || l->ChildrenKnown || l->Path.empty()) return;
  const std::string parent = l->Path;
  l->ChildrenKnown = true;
  std::error_code ec;
  int count = 0;
  for (fs::directory_iterator it(parent, fs::directory_options::skip_permission_denied, ec), end;
       !ec && it != end && count < 1000; it.increment(ec)) {
    std::error_code typeError;
    if (!it->is_directory(typeError)) continue;
    const std::string path = it->path().string();
    tree_.AddNode({it->path().filename().string(), path, FolderKind(path), false, false, 4}, id);
    ++count;
  }
}

void TSKINTreeNode::Toggle(int row) {
  const int id = GetNodeId(row);
  TBrowserLine* l = tree_.FindNode(id);
  if (!l) return;
  switch (l->Kind) {
    case TBrowserLine::Explorer:
    case TBrowserLine::Drive:
    case TBrowserLine::OpticalDrive:
    case TBrowserLine::FolderWithSubfolders:
    case TBrowserLine::Lists: break;
    default: return;
  }
  if (!l->Expanded) {
    ReadChildren(id);
    l = tree_.FindNode(id);
    l->Expanded = true;
  } else {
    l->Expanded = false;
    if (l->Kind == TBrowserLine::OpticalDrive) {
      tree_.DeleteChildren(id);
      tree_.FindNode(id)->ChildrenKnown = false;
    }
  }
  Rebuild();
}

void TSKINTreeNode::Rebuild() {
  flat_.clear();
  tree_.Walk([&](const TBrowserLine&, int id, int depth) {
    if (flat_.size() < 1000) flat_.push_back({id, depth});
  });
  visible_.clear();
  int hiddenBelow = -1;  // depth of a collapsed ancestor
  for (size_t i = 0; i < flat_.size(); ++i) {
    if (hiddenBelow >= 0 && flat_[i].depth > hiddenBelow) continue;
    hiddenBelow = -1;
    visible_.push_back(static_cast<int>(i));
    const TBrowserLine* l = tree_.FindNode(flat_[i].id);
    if (l && !l->Expanded) hiddenBelow = flat_[i].depth;
  }
  selected_ = std::clamp(selected_, 0, std::max(RowCount() - 1, 0));
}

const TBrowserLine* TSKINTreeNode::GetLine(int row) const {
  if (row < 0 || row >= RowCount()) return nullptr;
  return const_cast<CKAVTree&>(tree_).FindNode(flat_[static_cast<size_t>(visible_[static_cast<size_t>(row)])].id);
}

int TSKINTreeNode::GetNodeId(int row) const {
  if (row < 0 || row >= RowCount()) return -1;
  return flat_[static_cast<size_t>(visible_[static_cast<size_t>(row)])].id;
}

int TSKINTreeNode::RowOfNode(int id) const {
  for (int r = 0; r < RowCount(); ++r)
    if (GetNodeId(r) == id) return r;
  return -1;
}

void TSKINTreeNode::SelectRow(int row) {
  if (row < 0 || row >= RowCount()) return;
  selected_ = row;
  Render();
}

QRect TSKINTreeNode::RowRect(int row) const {
  const int y = kPitch * row + kTop - vertical_.First();
  return QRect(0, y, width() - kBar, kIcon);
}

int TSKINTreeNode::RowAt(QPoint p) const {
  if (RowCount() == 0) return -1;
  return std::clamp((vertical_.First() + p.y() - kTop) / kPitch, 0, RowCount() - 1);
}

void TSKINTreeNode::ScrollByWheel(int direction) {
  vertical_.SetFirst(vertical_.First() + (direction > 0 ? 40 : -40));
  Render();
}

void TSKINTreeNode::Render() {
  const int w = std::max(width(), 20), h = std::max(height(), 40);
  frame_ = QImage(w, h, QImage::Format_RGB32);
  const QPoint origin = (hovered_ >= 0 || thumbDrag_) ? style_.Over : style_.Up;
  if (sheet_ && !sheet_->isNull())
    CopyRect(frame_, QPoint(0, 0), *sheet_, QRect(origin, QSize(w, h)));
  else
    frame_.fill(Qt::black);
  QPainter p(&frame_);
  p.setFont(font());
  const QFontMetrics fm(font());
  int widest = 0;
  for (int r = 0; r < RowCount(); ++r) {
    const auto& f = flat_[static_cast<size_t>(visible_[static_cast<size_t>(r)])];
    widest = std::max(widest, fm.horizontalAdvance(QString::fromStdString(GetLine(r)->Caption)) + f.depth * kIndent +
                                  kIcon + kIconGap + kLeft);
  }
  vertical_.SetMinThumb(10);
  vertical_.SetPage(h - kBar - kTop);
  vertical_.SetTrack(h - 33);
  vertical_.SetTotal(kPitch * RowCount());
  horizontal_.SetMinThumb(10);
  horizontal_.SetPage(w - 17);
  horizontal_.SetTrack(w - 17);
  horizontal_.SetTotal(widest);
  const auto v = vertical_.Compute();
  const auto hz = horizontal_.Compute();
  p.setClipRect(QRect(0, kTop, w - kBar, h - 16 - kTop));
  for (int r = 0; r < RowCount(); ++r) {
    const int y = kPitch * r + kTop - v.first;
    if (y < -kPitch) continue;
    if (y > h) break;
    const auto& f = flat_[static_cast<size_t>(visible_[static_cast<size_t>(r)])];
    const TBrowserLine& line = *GetLine(r);
    const int x = f.depth * kIndent + kLeft - hz.first;
    // Icon: the mask (25 pixels below the picture) ANDed, then the picture ORed.
    if (sheet_ && !sheet_->isNull() && style_.Icons.x() >= 0) {
      const QPoint src(style_.Icons.x() + IconOffset(line), style_.Icons.y());
      for (int iy = 0; iy < kIcon; ++iy) {
        const int ty = y + iy;
        if (ty < kTop || ty >= h - 16) continue;
        for (int ix = 0; ix < kIcon; ++ix) {
          const int tx = x + ix;
          if (tx < 0 || tx >= w - kBar) continue;
          const QPoint pic(src.x() + ix, src.y() + iy), mask(src.x() + ix, src.y() + iy + 25);
          if (!sheet_->rect().contains(pic) || !sheet_->rect().contains(mask)) continue;
          const QRgb bg = frame_.pixel(tx, ty);
          frame_.setPixel(tx, ty, (bg & sheet_->pixel(mask)) | sheet_->pixel(pic));
        }
      }
    }
    const QString caption = QString::fromStdString(line.Caption);
    const QRect textBox(x + kIcon + kIconGap, y + (kIcon - fm.height()) / 2, fm.horizontalAdvance(caption) + 2,
                        fm.height());
    TColor color = style_.TextColor;
    if (r == hovered_ || r == dropTarget_) {
      p.fillRect(textBox, ToQColor(style_.CursorFocusedColor));
      color = style_.TextFocusedColor;
    } else if (r == selected_) {
      p.fillRect(textBox, ToQColor(style_.CursorColor));
      color = style_.TextSelectedColor;
    }
    p.setPen(ToQColor(color));
    p.drawText(textBox, Qt::AlignLeft | Qt::AlignVCenter, caption);
  }
  p.setClipping(false);
  p.setPen(ToQColor(style_.LinesColor));
  p.drawLine(1, h - kBar, w - 1, h - kBar);
  p.drawLine(w - kBar, kBar, w - 1, kBar);
  p.drawLine(w - kBar, 1, w - kBar, h - 1);
  p.setPen(ToQColor(style_.ScrollSliderBorderColor));
  p.setBrush(ToQColor(style_.ScrollSliderColor));
  p.drawRect(QRect(QPoint(hz.offset + 1, h - 13), QPoint(hz.offset + hz.thumb + 1, h - 1)));
  p.drawRect(QRect(QPoint(w - 13, v.offset + 17), QPoint(w - 1, v.offset + v.thumb + 17)));
  update();
}

void TSKINTreeNode::paintEvent(QPaintEvent*) {
  if (frame_.size() != size()) Render();
  QPainter(this).drawImage(0, 0, frame_);
}

// ---- mouse ----

void TSKINTreeNode::mousePressEvent(QMouseEvent* e) {
  const QPoint pos = e->position().toPoint();
  const int w = width(), h = height();
  if (pos.y() >= h - kBar && pos.x() >= 1 && pos.x() < w - 1) {
    thumbDrag_ = 2;
    dragStartOffset_ = horizontal_.Offset();
    dragStartPointer_ = pos.x();
    return;
  }
  if (pos.x() >= w - kBar && pos.y() >= 16) {
    thumbDrag_ = 1;
    dragStartOffset_ = vertical_.Offset();
    dragStartPointer_ = pos.y();
    return;
  }
  const int row = RowAt(pos);
  if (row < 0) return;
  selected_ = row;
  if (e->button() == Qt::LeftButton) {
    Toggle(row);
  } else if (e->button() == Qt::RightButton) {
    rightSelected_ = true;
  }
  Render();
  if (OnListStart) OnListStart();
}

void TSKINTreeNode::mouseReleaseEvent(QMouseEvent* e) {
  if (e->button() == Qt::LeftButton) {
    thumbDrag_ = 0;
    if (OnListEnd) OnListEnd();
    return;
  }
  if (e->button() != Qt::RightButton) return;
  if (thumbDrag_) {
    // A right-button thumb drag springs back.
    if (thumbDrag_ == 1)
      vertical_.SetThumbOffset(dragStartOffset_);
    else
      horizontal_.SetThumbOffset(dragStartOffset_);
    thumbDrag_ = 0;
    Render();
    return;
  }
  if (OnListEnd) OnListEnd();
  if (!rightSelected_) return;
  rightSelected_ = false;
  const TBrowserLine* line = SelectedLine();
  if (!line) return;
  std::unique_ptr<QMenu> menu = MenuFor(line->Kind);
  if (menu && !menu->isEmpty()) menu->exec(e->globalPosition().toPoint());
}

void TSKINTreeNode::mouseMoveEvent(QMouseEvent* e) {
  const QPoint pos = e->position().toPoint();
  if (thumbDrag_ == 1) {
    vertical_.SetThumbOffset(dragStartOffset_ + pos.y() - dragStartPointer_);
    Render();
    return;
  }
  if (thumbDrag_ == 2) {
    horizontal_.SetThumbOffset(dragStartOffset_ + pos.x() - dragStartPointer_);
    Render();
    return;
  }
  int row = -1;
  if (pos.x() >= 2 && pos.x() <= width() - 16 && pos.y() >= kTop && pos.y() <= height() - 16) row = RowAt(pos);
  if (row != hovered_) {
    hovered_ = row;
    Render();
  }
}

void TSKINTreeNode::leaveEvent(QEvent*) {
  if (hovered_ < 0) return;
  hovered_ = -1;
  Render();
}

void TSKINTreeNode::wheelEvent(QWheelEvent* e) {
  const int dy = e->angleDelta().y();
  if (dy != 0) ScrollByWheel(dy < 0 ? 1 : -1);
  e->accept();
}

void TSKINTreeNode::dragEnterEvent(QDragEnterEvent* e) {
  if (!AcceptedDragMime.empty() && e->mimeData()->hasFormat(QString::fromStdString(AcceptedDragMime)))
    e->acceptProposedAction();
}

void TSKINTreeNode::dragMoveEvent(QDragMoveEvent* e) {
  const QPoint pos = e->position().toPoint();
  if (pos.y() < 16) ScrollByWheel(-1);
  if (pos.y() > height() - 16) ScrollByWheel(1);
  const int row = RowAt(pos);
  hovered_ = row;
  const TBrowserLine* line = GetLine(row);
  const bool accept = line && (line->Kind == TBrowserLine::Database || line->Kind == TBrowserLine::PlayList);
  dropTarget_ = accept ? row : -1;
  if (accept)
    e->acceptProposedAction();
  else
    e->ignore();
  Render();
}

void TSKINTreeNode::dragLeaveEvent(QDragLeaveEvent*) {
  hovered_ = dropTarget_ = -1;
  Render();
}

void TSKINTreeNode::dropEvent(QDropEvent* e) {
  const int target = dropTarget_;
  hovered_ = dropTarget_ = -1;
  Render();
  if (target < 0) return;
  e->acceptProposedAction();
  if (OnDrop) OnDrop(GetNodeId(target));
}

// ---- menus ----

void TSKINTreeNode::SetMenuCaption(const std::string& command, const std::string& caption) {
  for (auto& [c, text] : captions_)
    if (c == command) {
      text = caption;
      return;
    }
  captions_.emplace_back(command, caption);
}

std::unique_ptr<QMenu> TSKINTreeNode::MenuFor(int kind) {
  auto menu = std::make_unique<QMenu>();
  auto add = [&](const char* command, const char* fallback) {
    std::string caption = fallback;
    for (const auto& [c, text] : captions_)
      if (c == command && !text.empty()) caption = text;
    QAction* a = menu->addAction(QString::fromStdString(caption));
    a->setData(QString(command));
    const std::string cmd = command;
    QObject::connect(a, &QAction::triggered, [this, cmd] {
      if (cmd == "refresh") {
        RebuildExplorer();
        return;
      }
      if (OnMenuCommand) OnMenuCommand(cmd);
    });
  };
  switch (kind) {
    case TBrowserLine::Root:
    case TBrowserLine::Explorer:
    case TBrowserLine::Lists:
      add("new", "Create a New List");
      add("refresh", "Refresh");
      break;
    case TBrowserLine::Drive:
    case TBrowserLine::OpticalDrive:
    case TBrowserLine::Folder:
    case TBrowserLine::FolderWithSubfolders:
      add("add_database", "Add to database");
      add("refresh", "Refresh");
      break;
    case TBrowserLine::Database:
      add("new", "Create a New List");
      add("export", "Export list");
      break;
    case TBrowserLine::PlayList:
      add("new", "Create a New List");
      add("rename", "Rename List");
      add("delete", "Delete List");
      add("export", "Export list");
      break;
    default: break;
  }
  return menu;
}

}  // namespace zonda
