#pragma once
// TListeQZ: the self-drawn song list view. It holds any number of TLista
// (numbered 1..ListCount, at least one) and shows one: header with sort
// arrows, rows with the focus cursor, the next-to-load marker and selection
// marks, its own scroll bar with buttons and a column button opening the
// column menu. Everything is painted into a back buffer that reaches the
// screen in one copy; BeginUpdate/EndUpdate batch changes into one repaint.
//
//   TListeQZ view(parent);
//   LoadAllListsFrom(folder, view);          // a TListHolder
//   view.OnPopupClickDreaptaOn = [&](int row, int line, int x, int y) { ... };
//   view.Tick();                             // from the periodic update: auto-repeat
//
// Mouse: scroll-bar buttons and track repeat while held (accelerating, driven
// by Tick), the thumb drags, a header click sorts, a header border drags the
// column width, Shift/Ctrl-click marks rows, dragging rows reorders them (or
// carries them to the lists browser or a deck). Files dropped on the view go
// to OnFilesDropped. Main thread only.
#include <QImage>
#include <QPoint>
#include <QRect>
#include <QStringList>
#include <QWidget>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "lists/ListSet.h"
#include "lists/Lista.h"

class QMenu;

namespace zonda {

// One of the view's four pictures (background, column button, arrows).
struct TImagine {
  QImage Picture;
  bool Transparent = false;
  QRgb TransparentColor = qRgb(255, 255, 255);
  bool Enabled = false;
  std::string Name;
};

// The skin's "list" style, applied to every list (Apply) and to lists made later.
struct TListSkinStyle {
  bool Given = false;
  std::string FontName = "Arial";
  int FontSize = -1;
  int32_t FontColor = 0, CursorFontColor = 0, InsertedColor = 0, NextSongColor = 0;
  int BetweenLines = -1, BeforeHeader = -1, AfterHeader = -1;
  int32_t GridColor = 0, CursorColor = 0, GeneralOverColor = 0, SliderColor = 0;
  int32_t HeaderColor = 0, HeaderBorderColor = 0, HeaderOverColor = 0;
  void Apply(TLista& list) const;
};

// Mime type of rows dragged out of the view: the text is the list number.
inline constexpr const char* kListRowsMime = "application/x-zonda-list-rows";

class TListeQZ : public QWidget, public TListHolder {
 public:
  explicit TListeQZ(QWidget* parent = nullptr);
  ~TListeQZ() override;

  // ---- lists ----
  int ListCount() const override { return static_cast<int>(lists_.size()); }
  TLista& ListAt(int index) override { return *GetList(index); }
  void AppendList() override { AddList(); }
  TLista& AddList();
  void RemoveList(int index);
  TLista* GetList(int index);  // 1..ListCount, anything else: the shown list
  int CurrentIndex() const { return current_; }
  void SelectList(int index);
  TLista& Shown() { return *GetList(0); }

  // ---- painting ----
  void BeginUpdate() { ++updateLock_; }
  void EndUpdate();
  void Redraw();
  const QImage& Frame() const { return front_; }
  int MultiplicatorTact = 5;
  TListSkinStyle SkinStyle;
  std::array<TImagine, 4> Images;  // 0 "Fundal", 1 "Buton Coloane", 2 "Sageata Sus", 3 "Sageata Jos"
  void CaptureImage(int image, const QImage& source, QRect rect, QRgb transparentColor, bool transparent);
  std::string SortLockCaption = "Lock column sorting", SizeLockCaption = "Lock column size";

  // ---- events ----
  std::function<void()> OnLeftClick, OnRightClick;
  std::function<void(int row, int line, int x, int y)> OnPopupClickDreaptaOn;
  std::function<void(const QStringList& files, QPoint at)> OnFilesDropped;
  std::function<void()> OnRowsMoved;

  // ---- periodic and keyboard ----
  void Tick();
  void PopupAtFocus();
  void ScrollRows(int delta);  // positive: down
  // Rows dropped at the boundary above display position p: the focus row moves
  // there, or, when it is marked, all marked rows gather there in their order.
  void DropRows(int p);

  // Geometry of the last paint, for hit tests and tests.
  enum Part { ColumnButton, UpButton, DownButton, Thumb, TrackAbove, TrackBelow };
  QRect PartRect(Part p) const { return parts_[p]; }
  QRect RowRect(int line) const;            // 1 = top visible row; empty when not drawn
  QRect HeaderRect(int column) const;       // column position; empty when not shown
  int RowHeight() const { return rowHeight_; }
  int HeaderBottom() const { return headerBottom_; }
  QMenu* ColumnMenu() const { return columnMenu_.get(); }

  // A text cut to fit width: characters dropped from the end, the last one
  // replaced by "…" when ellipsis is on; empty when not even one character fits.
  static QString FitText(const class QFontMetrics& fm, const QString& text, int width, bool ellipsis);

 protected:
  void paintEvent(QPaintEvent*) override;
  void resizeEvent(QResizeEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  void mouseMoveEvent(QMouseEvent*) override;
  void mouseReleaseEvent(QMouseEvent*) override;
  void leaveEvent(QEvent*) override;
  void wheelEvent(QWheelEvent*) override;
  void dragEnterEvent(QDragEnterEvent*) override;
  void dragMoveEvent(QDragMoveEvent*) override;
  void dragLeaveEvent(QDragLeaveEvent*) override;
  void dropEvent(QDropEvent*) override;

 private:
  void Paint(QImage& into);
  void LayoutColumns(TLista& l);
  void DrawArea(class QPainter& p, const TDreptunghi& a, int state) const;
  void ShowColumnMenu(QPoint global);
  void PressPart(int part, bool hold);
  void ScrollStep(int part);
  void StartRowDrag();
  void WireList(TLista& l);

  std::vector<std::unique_ptr<TLista>> lists_;
  int current_ = 1;
  int updateLock_ = 0;
  QImage back_, front_;
  bool columnMenuRequested_ = false;
  std::unique_ptr<QMenu> columnMenu_;
  int popupX_ = 0, popupY_ = 0;
  std::array<QRect, 6> parts_{};
  std::array<int, 6> partState_{};
  std::vector<std::pair<int, QRect>> headers_;  // column position, cell
  std::vector<int> headerState_;
  int rowHeight_ = 16, headerBottom_ = 20;
  double pixelsPerRow_ = 0;
  bool overScrollBar_ = false, overHeader_ = false;
  // holds and drags
  int hold_ = -1;  // part held, -1 none
  int repeatCounter_ = 0, repeatPeriod_ = 5;
  QPoint lastPos_;
  bool draggingThumb_ = false, resizingColumn_ = false;
  int grabOffset_ = 0, resizeColumn_ = 0;
  int ticksSinceMove_ = 3;
  bool rowDragArmed_ = false;
  QPoint pressPos_;
  bool draggingRows_ = false;
  int dropLine_ = -1;
  int dragScroll_ = 0, dragRepeat_ = 0, dragPeriod_ = 10;
};

}  // namespace zonda
