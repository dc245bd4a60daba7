// TListeQZ: painting, column layout, mouse, auto-repeat and row dragging.
#include "lists/ui/ListeQZ.h"

#include <QApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>
#include <QUrl>
#include <algorithm>
#include <climits>
#include <cmath>

#include "skin/ui/SkinPaint.h"

namespace zonda {
namespace {

QColor Q(int32_t c) { return ToQColor(static_cast<TColor>(c)); }

QFont MakeFont(const TListFont& f) {
  QFont font(QString::fromStdString(f.Name));
  font.setPointSize(std::clamp(f.Size, 1, 200));
  font.setBold(f.Bold);
  font.setItalic(f.Italic);
  font.setUnderline(f.Underline);
  font.setStrikeOut(f.StrikeOut);
  return font;
}

// Windows-style rectangle (right and bottom exclusive) to QRect.
QRect WinRect(int l, int t, int r, int b) { return QRect(l, t, std::max(r - l, 0), std::max(b - t, 0)); }

void SetEdges(TDreptunghi& a, int l, int t, int r, int b) {
  a.Left = l;
  a.Top = t;
  a.Right = r;
  a.Bottom = b;
}

QRect AreaRect(const TDreptunghi& a) { return WinRect(a.Left, a.Top, a.Right, a.Bottom); }

// A small filled triangle for the scroll buttons and sort arrows.
void Arrow(QPainter& p, QRect box, bool up, const QColor& c) {
  const int w = std::max(std::min(box.width(), box.height()) / 2, 3);
  const QPoint m = box.center();
  QPolygon tri;
  if (up)
    tri << QPoint(m.x() - w / 2, m.y() + w / 4) << QPoint(m.x() + w / 2, m.y() + w / 4) << QPoint(m.x(), m.y() - w / 4);
  else
    tri << QPoint(m.x() - w / 2, m.y() - w / 4) << QPoint(m.x() + w / 2, m.y() - w / 4) << QPoint(m.x(), m.y() + w / 4);
  p.setPen(Qt::NoPen);
  p.setBrush(c);
  p.drawPolygon(tri);
  p.setBrush(Qt::NoBrush);
}

}  // namespace

void TListSkinStyle::Apply(TLista& l) const {
  if (!Given) return;
  auto three = [](int32_t c) { return std::array<int32_t, 3>{c, c, c}; };
  l.Font.Name = FontName;
  if (FontSize > 0) l.Font.Size = FontSize;
  l.Font.Color = FontColor;
  for (int c = 1; c <= l.ColumnCount(); ++c) {
    TColoana& col = *l.GetColumn(c);
    col.Font.Name = l.Font.Name;
    col.Font.Size = l.Font.Size;
    col.Font.Color = FontColor;
    col.HeaderArea.FillColor = {HeaderColor, HeaderOverColor, HeaderOverColor};
    col.HeaderArea.FrameColor = three(HeaderBorderColor);
    col.HeaderArea.Fill = {true, true, true};
  }
  if (BetweenLines >= 0) l.SetLineSpacing(BetweenLines);
  if (BeforeHeader >= 0) l.HeaderTopPad = BeforeHeader;
  if (AfterHeader >= 0) l.HeaderBottomPad = AfterHeader;
  l.GridLineColor = l.RowLineColor = GridColor;
  TCursorX& focus = l.Cursor(0);
  focus.Color = CursorFontColor;
  focus.UseColor = true;
  focus.Fill = true;
  focus.Area.FillColor = three(CursorColor);
  focus.Area.Fill = {true, true, true};
  l.Cursor(1).Color = NextSongColor;
  l.Cursor(1).UseColor = true;
  for (int i = 3; i < l.CursorCount(); ++i) {
    l.Cursor(i).Color = InsertedColor;
    l.Cursor(i).UseColor = true;
  }
  for (int a : {1, 2, 3}) l.Areas[static_cast<size_t>(a)].FillColor[1] = GeneralOverColor;
  l.Areas[9].FillColor = three(SliderColor);
  l.Areas[9].Fill = {true, true, true};
}

TListeQZ::TListeQZ(QWidget* parent) : QWidget(parent) {
  setAcceptDrops(true);
  setMouseTracking(true);
  setFocusPolicy(Qt::NoFocus);
  resize(630, 240);
  const char* names[4] = {"Fundal", "Buton Coloane", "Sageata Sus", "Sageata Jos"};
  for (size_t i = 0; i < 4; ++i) Images[i].Name = names[i];
  AddList();
}

TListeQZ::~TListeQZ() = default;

void TListeQZ::WireList(TLista& l) {
  l.Width = width();
  l.Height = height();
  l.OnBeginUpdate = [this] { BeginUpdate(); };
  l.OnEndUpdate = [this] { --updateLock_; };
}

TLista& TListeQZ::AddList() {
  lists_.push_back(std::make_unique<TLista>());
  WireList(*lists_.back());
  return *lists_.back();
}

void TListeQZ::RemoveList(int index) {
  if (index < 1 || index > ListCount() || ListCount() == 1) return;
  lists_.erase(lists_.begin() + (index - 1));
  if (current_ > ListCount()) current_ = ListCount();
  Redraw();
}

TLista* TListeQZ::GetList(int index) {
  if (index >= 1 && index <= ListCount()) return lists_[static_cast<size_t>(index - 1)].get();
  return lists_[static_cast<size_t>(current_ - 1)].get();
}

void TListeQZ::SelectList(int index) {
  if (index < 1 || index > ListCount() || index == current_) return;
  current_ = index;
  Redraw();
}

void TListeQZ::EndUpdate() {
  if (updateLock_ > 0) --updateLock_;
}

void TListeQZ::CaptureImage(int image, const QImage& source, QRect rect, QRgb transparentColor, bool transparent) {
  if (image < 0 || image > 3) return;
  TImagine& im = Images[static_cast<size_t>(image)];
  im.Picture = source.copy(rect).convertToFormat(QImage::Format_ARGB32);
  im.TransparentColor = transparentColor;
  im.Transparent = transparent;
  if (transparent) {
    for (int y = 0; y < im.Picture.height(); ++y) {
      auto* line = reinterpret_cast<QRgb*>(im.Picture.scanLine(y));
      for (int x = 0; x < im.Picture.width(); ++x)
        if ((line[x] & 0xFFFFFF) == (transparentColor & 0xFFFFFF)) line[x] = 0;
    }
  }
  im.Enabled = !im.Picture.isNull();
  Redraw();
}

// ---- painting ----

void TListeQZ::Redraw() {
  if (updateLock_ > 0 || lists_.empty()) return;
  const QSize size(Shown().Width, Shown().Height);
  if (size.width() <= 0 || size.height() <= 0) return;
  ++updateLock_;
  if (back_.size() != size) back_ = QImage(size, QImage::Format_RGB32);
  Paint(back_);
  --updateLock_;
  front_ = back_;
  if (isVisible()) update();
}

void TListeQZ::paintEvent(QPaintEvent*) {
  QPainter p(this);
  if (!front_.isNull()) p.drawImage(0, 0, front_);
}

void TListeQZ::resizeEvent(QResizeEvent*) {
  // Narrower than the columns' minimum widths: keep the last frame.
  for (auto& l : lists_)
    if (!l->FitsWidth(width())) return;
  for (auto& l : lists_) {
    l->Width = width();
    l->Height = height();
  }
  Redraw();
}

void TListeQZ::DrawArea(QPainter& p, const TDreptunghi& a, int state) const {
  const size_t s = static_cast<size_t>(std::clamp(state, 1, 3) - 1);
  if (a.Fill[s]) p.fillRect(WinRect(a.Left, a.Top, a.Right - 1, a.Bottom - 1), Q(a.FillColor[s]));
  if (a.Frame[s]) {
    p.setPen(Q(a.FrameColor[s]));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRect(a.Left - 1, a.Top - 1, std::max(a.Right - a.Left, 0), std::max(a.Bottom - a.Top, 0)));
  }
}

QString TListeQZ::FitText(const QFontMetrics& fm, const QString& text, int width, bool ellipsis) {
  if (fm.horizontalAdvance(text) <= width) return text;
  // The longest head that fits (ending in "…" when ellipsis is on).
  int lo = 0, hi = static_cast<int>(text.size()) - 1;
  while (lo < hi) {
    const int mid = (lo + hi + 1) / 2;
    const QString t = ellipsis ? text.left(mid - 1) + QChar(0x2026) : text.left(mid);
    if (fm.horizontalAdvance(t) <= width)
      lo = mid;
    else
      hi = mid - 1;
  }
  if (lo <= 1) {
    const QString one = text.left(1);
    return fm.horizontalAdvance(one) <= width ? one : QString();
  }
  return ellipsis ? text.left(lo - 1) + QChar(0x2026) : text.left(lo);
}

void TListeQZ::LayoutColumns(TLista& l) {
  std::vector<TColoana*> vis;
  for (int c = 1; c <= l.ColumnCount(); ++c)
    if (l.GetColumn(c)->Visible) vis.push_back(l.GetColumn(c));
  const int n = static_cast<int>(vis.size());
  if (n == 0) return;
  const int avail = l.Width - l.ScrollBarWidth - n - 2;
  int sumMin = 0;
  for (auto* c : vis) sumMin += c->MinWidth;
  // Effective maxima: no column wider than what is left with the others at their minimum.
  std::vector<int> maxW(static_cast<size_t>(n));
  int64_t sumMax = 0;
  for (int i = 0; i < n; ++i) {
    const int cap = vis[static_cast<size_t>(i)]->MinWidth + std::max(avail - sumMin, 0);
    const int m = vis[static_cast<size_t>(i)]->MaxWidth;
    maxW[static_cast<size_t>(i)] = (m <= 0 || m > cap) ? cap : m;
    sumMax += maxW[static_cast<size_t>(i)];
  }
  if (sumMax < avail)
    for (int i = 0; i < n; ++i)
      if (!vis[static_cast<size_t>(i)]->Held) maxW[static_cast<size_t>(i)] = INT_MAX / 4;
  // Share the difference in proportion to the widths, with error carry; columns
  // that reach a bound drop out and the rest share again.
  std::vector<bool> open(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) open[static_cast<size_t>(i)] = !vis[static_cast<size_t>(i)]->Held;
  for (int round = 0; round <= n; ++round) {
    int sum = 0, openWidth = 0;
    for (int i = 0; i < n; ++i) {
      sum += vis[static_cast<size_t>(i)]->Width;
      if (open[static_cast<size_t>(i)]) openWidth += std::max(vis[static_cast<size_t>(i)]->Width, 1);
    }
    const int diff = avail - sum;
    if (diff == 0 || openWidth == 0) break;
    double carry = 0;
    bool saturated = false;
    int given = 0, largestMin = -1;
    for (int i = 0; i < n; ++i) {
      if (!open[static_cast<size_t>(i)]) continue;
      TColoana& c = *vis[static_cast<size_t>(i)];
      const double exact = static_cast<double>(diff) * std::max(c.Width, 1) / openWidth + carry;
      const int share = static_cast<int>(std::lround(exact));
      carry = exact - share;
      const int want = c.Width + share;
      const int clamped = std::clamp(want, c.MinWidth, std::max(maxW[static_cast<size_t>(i)], c.MinWidth));
      if (clamped != want) {
        saturated = true;
        open[static_cast<size_t>(i)] = false;
      }
      given += clamped - c.Width;
      c.Width = clamped;
      if (largestMin < 0 || c.MinWidth >= vis[static_cast<size_t>(largestMin)]->MinWidth) largestMin = i;
    }
    if (!saturated) {
      if (given != diff && largestMin >= 0) {
        TColoana& c = *vis[static_cast<size_t>(largestMin)];
        c.Width = std::clamp(c.Width + diff - given, c.MinWidth, std::max(maxW[static_cast<size_t>(largestMin)], c.MinWidth));
      }
      break;
    }
  }
  int x = 1;
  for (auto* c : vis) {
    c->Left = x;
    c->Right = x + c->Width;
    x = c->Right + 1;
  }
}

QRect TListeQZ::RowRect(int line) const {
  const TLista& l = *const_cast<TListeQZ*>(this)->GetList(0);
  if (line < 1 || line > l.RowsShown) return {};
  const int y = headerBottom_ + (line - 1) * rowHeight_;
  return WinRect(1, y + 1, l.Width - l.ScrollBarWidth - 2, y + rowHeight_);
}

QRect TListeQZ::HeaderRect(int column) const {
  for (const auto& [col, r] : headers_)
    if (col == column) return r;
  return {};
}

void TListeQZ::Paint(QImage& img) {
  TLista& L = Shown();
  const int W = L.Width, Hc = L.Height, S = L.ScrollBarWidth;
  QPainter p(&img);
  const QFont font = MakeFont(L.Font);
  const QFontMetrics fm(font);
  const int H = L.HeaderHeight + L.HeaderTopPad + L.HeaderBottomPad + 1;
  const int s = std::max(fm.height() + L.LineSpacing(), 1);
  headerBottom_ = H;
  rowHeight_ = s;
  // 1. background
  if (Images[0].Enabled) {
    p.drawImage(0, 0, Images[0].Picture);
  } else {
    img.fill(Q(L.Areas[0].FillColor[0]));
    SetEdges(L.Areas[0], 1, 1, W, Hc);
    DrawArea(p, L.Areas[0], 1);
  }
  // 2. rows that fit
  L.PageRows = std::max((Hc - H - 2) / s, 0);
  L.RowsShown = std::min(L.PageRows, L.RowCount());
  // 3-4. scroll buttons
  SetEdges(L.Areas[1], W - S - 1, H + 1, W - 1, H + 1 + L.UpButtonHeight);
  SetEdges(L.Areas[2], W - S - 1, Hc - L.DownButtonHeight - 1, W - 1, Hc - 1);
  // 5. track
  SetEdges(L.Areas[4], W - S - 1, L.UpButtonHeight + H + 1, W - 1, Hc - L.DownButtonHeight - 2);
  DrawArea(p, L.Areas[4], 1);
  const int T = Hc - H - L.UpButtonHeight - L.DownButtonHeight - 5;
  // 6. thumb
  int a = T;
  pixelsPerRow_ = 0;
  if (L.PageRows < L.RowCount()) {
    a = std::max(T > 0 ? static_cast<int>(int64_t{L.PageRows} * T / L.RowCount()) : 0, L.MinThumbHeight);
    pixelsPerRow_ = static_cast<double>(T - a) / (L.RowCount() - L.PageRows);
  }
  // TopRow in range before the thumb is placed.
  if (L.TopRow < 1 || L.RowCount() <= L.PageRows) L.TopRow = 1;
  if (L.TopRow > L.RowCount() - L.PageRows + 1) L.TopRow = std::max(L.RowCount() - L.PageRows + 1, 1);
  const int offset = static_cast<int>((L.TopRow - 1) * pixelsPerRow_);
  const int thumbLeft = W - S + (S - L.ThumbWidth) / 2;
  const int thumbTop = L.UpButtonHeight + H + 2 + offset;
  SetEdges(L.Areas[9], thumbLeft, thumbTop, thumbLeft + L.ThumbWidth, thumbTop + std::max(a, 0));
  // 7. track parts above and below the thumb
  SetEdges(L.Areas[5], W - S - 1, H + 1 + L.UpButtonHeight, W - 1, thumbTop);
  SetEdges(L.Areas[6], W - S - 1, thumbTop + a, W - 1, Hc - L.DownButtonHeight - 1);
  if (overScrollBar_ && partState_[TrackAbove]) DrawArea(p, L.Areas[5], 1);
  if (overScrollBar_ && partState_[TrackBelow]) DrawArea(p, L.Areas[6], 1);
  DrawArea(p, L.Areas[9], partState_[Thumb] + 1);
  DrawArea(p, L.Areas[1], partState_[UpButton] + 1);
  DrawArea(p, L.Areas[2], partState_[DownButton] + 1);
  const QColor ink = Q(L.Font.Color);
  if (Images[2].Enabled)
    p.drawImage(AreaRect(L.Areas[1]).center() - Images[2].Picture.rect().center(), Images[2].Picture);
  else if (L.UpButtonHeight > 2)
    Arrow(p, AreaRect(L.Areas[1]), true, ink);
  if (Images[3].Enabled)
    p.drawImage(AreaRect(L.Areas[2]).center() - Images[3].Picture.rect().center(), Images[3].Picture);
  else if (L.DownButtonHeight > 2)
    Arrow(p, AreaRect(L.Areas[2]), false, ink);
  // 8. column button
  SetEdges(L.Areas[3], W - S - 1, 2, W - 1, H);
  parts_ = {AreaRect(L.Areas[3]), AreaRect(L.Areas[1]), AreaRect(L.Areas[2]),
            AreaRect(L.Areas[9]), AreaRect(L.Areas[5]), AreaRect(L.Areas[6])};
  // 9. layout; 10. header
  LayoutColumns(L);
  headers_.clear();
  for (int c = 1; c <= L.ColumnCount(); ++c) {
    TColoana& col = *L.GetColumn(c);
    if (!col.Available || !col.Visible) continue;
    const size_t hi = headers_.size();
    if (headerState_.size() <= hi) headerState_.resize(hi + 1, 0);
    SetEdges(col.HeaderArea, col.Left + 1, 2, col.Right, H);
    DrawArea(p, col.HeaderArea, overHeader_ ? headerState_[hi] + 1 : 1);
    headers_.emplace_back(c, AreaRect(col.HeaderArea));
    if (L.HeaderLines && col.Right < W - S - 1) {
      p.setPen(Q(L.GridLineColor));
      p.drawLine(col.Right, 1, col.Right, H - 1);
    }
    const QFont hf = MakeFont(col.Font);
    const QFontMetrics hfm(hf);
    const int room = col.Sorted ? col.ArrowGap + col.ArrowIndent + 12 : 0;
    const QString caption = FitText(hfm, QString::fromStdString(col.Caption), col.Width - room - 2, L.Ellipsis);
    int x = col.Left + 1;
    const int tw = hfm.horizontalAdvance(caption);
    if (col.Alignment == 2) x += (col.Width - (room + tw + 2)) / 2;
    if (col.Alignment == 1) x += col.Width - room - tw - 2;
    const int unshifted = x;
    if (col.Sorted && (col.ArrowMode == 0 || col.ArrowMode == 3)) x += room;
    p.setFont(hf);
    p.setPen(Q(col.Font.Color));
    p.drawText(QRect(x, L.HeaderTopPad + 1, std::max(col.Right - x, 0), H - L.HeaderTopPad - 1),
               Qt::AlignLeft | Qt::AlignTop, caption);
    if (col.Sorted && col.Width > 17) {
      int ax = col.Left + col.ArrowGap + 1;
      if (col.ArrowMode == 1) ax = col.Right - col.ArrowIndent - 15;
      if (col.ArrowMode == 2) ax = x + tw + col.ArrowGap;
      if (col.ArrowMode == 3) ax = unshifted + col.ArrowIndent;
      const QRect box(ax, col.ArrowTop + 1, 12, std::max(H - col.ArrowTop - 2, 6));
      const TImagine& im = Images[col.Ascending ? 3 : 2];
      if (im.Enabled)
        p.drawImage(ax, col.ArrowTop + 1, im.Picture);
      else
        Arrow(p, box, !col.Ascending, Q(col.Font.Color));
    }
  }
  // 11. column button
  DrawArea(p, L.Areas[3], columnMenuRequested_ ? 3 : partState_[ColumnButton] + 1);
  if (Images[1].Enabled)
    p.drawImage(AreaRect(L.Areas[3]).center() - Images[1].Picture.rect().center(), Images[1].Picture);
  // 12. rows
  p.setFont(font);
  const int rowRight = W - S - 2;
  for (int k = 0; k < L.RowsShown; ++k) {
    const int row = L.TopRow + k;
    const int y = H + k * s;
    QColor text = ink;
    for (int kind = 0; kind < 4; ++kind) {
      if (!L.RowHasCursor(row, kind)) continue;
      const TCursorX* cur = nullptr;
      if (kind < 3) {
        cur = &L.Cursor(kind);
      } else {
        cur = &L.Cursor(3);  // marks share cursor 3's style
      }
      if (cur->Fill) {
        TDreptunghi area = cur->Area;
        SetEdges(area, 2, y + 2, rowRight, y + s);
        DrawArea(p, area, 1);
      }
      if (cur->UseColor) text = Q(cur->Color);
    }
    for (int c = 1; c <= L.ColumnCount(); ++c) {
      const TColoana& col = *L.GetColumn(c);
      if (!col.Visible) continue;
      p.setPen(text);
      const int ty = y + L.LineSpacing() / 2;
      if (col.Numbered) {
        const QString number = QString::number(row) + ' ';
        p.drawText(QRect(col.Left + 1, ty, std::max(col.Width - 3, 0), s), Qt::AlignRight | Qt::AlignTop,
                   FitText(fm, number, col.Width - 2, false));
      } else {
        const std::string_view cell = L.GetCell(row, c);
        const QString t = FitText(fm, QString::fromUtf8(cell.data(), static_cast<qsizetype>(cell.size())),
                              col.Width - 2, L.Ellipsis);
        p.drawText(QRect(col.Left + 1, ty, std::max(col.Width - 1, 0), s), Qt::AlignLeft | Qt::AlignTop, t);
      }
      if (L.GridLines && col.Right < W - S - 1) {
        p.setPen(Q(L.GridLineColor));
        p.drawLine(col.Right, y, col.Right, y + s);
      }
    }
    if (L.RowLines) {
      p.setPen(Q(L.RowLineColor));
      p.drawLine(1, y + s, rowRight, y + s);
    }
  }
  // 13. drop boundary while rows are dragged over the view
  if (draggingRows_ && dropLine_ >= 0) {
    const int y = H + dropLine_ * s;
    p.setPen(ink);
    p.drawLine(1, y, 20, y);
    p.drawLine(13, y + 1, 18, y + 1);
    p.drawLine(13, y + 2, 16, y + 2);
    p.drawLine(13, y - 1, 18, y - 1);
    p.drawLine(13, y - 2, 16, y - 2);
  }
}

// ---- column menu ----

void TListeQZ::ShowColumnMenu(QPoint global) {
  TLista& L = Shown();
  columnMenu_ = std::make_unique<QMenu>();
  columnMenu_->setObjectName("Context");
  for (int c = 1; c <= L.ColumnCount(); ++c) {
    TColoana& col = *L.GetColumn(c);
    if (!col.Available) continue;
    QAction* a = columnMenu_->addAction(QString::fromStdString(col.Caption));
    a->setCheckable(true);
    a->setChecked(col.Visible);
    a->setEnabled(!col.Fixed);
    QObject::connect(a, &QAction::triggered, this, [this, c] {
      TColoana* target = Shown().GetColumn(c);
      if (target && target->Available && !target->Fixed) target->Visible = !target->Visible;
      Redraw();
    });
  }
  columnMenu_->addSeparator();
  QAction* sortLock = columnMenu_->addAction(QString::fromStdString(SortLockCaption));
  sortLock->setCheckable(true);
  sortLock->setChecked(L.SortLocked);
  QObject::connect(sortLock, &QAction::triggered, this, [this] {
    Shown().SortLocked = !Shown().SortLocked;
    Redraw();
  });
  QAction* sizeLock = columnMenu_->addAction(QString::fromStdString(SizeLockCaption));
  sizeLock->setCheckable(true);
  sizeLock->setChecked(L.SizeLocked);
  QObject::connect(sizeLock, &QAction::triggered, this, [this] {
    Shown().SizeLocked = !Shown().SizeLocked;
    Redraw();
  });
  columnMenu_->popup(global);
}

// ---- scrolling ----

void TListeQZ::ScrollRows(int delta) {
  TLista& L = Shown();
  if (L.RowCount() <= L.PageRows) return;
  L.TopRow = std::clamp(L.TopRow + delta, 1, std::max(L.RowCount() - L.PageRows + 1, 1));
  Redraw();
}

void TListeQZ::ScrollStep(int part) {
  TLista& L = Shown();
  switch (part) {
    case UpButton: ScrollRows(-1); break;
    case DownButton: ScrollRows(1); break;
    case TrackAbove: ScrollRows(std::max(L.TopRow - L.RowsShown, 1) - L.TopRow); break;
    case TrackBelow:
      if (L.TopRow + 2 * L.RowsShown < L.RowCount())
        ScrollRows(L.RowsShown);
      else
        ScrollRows(L.RowCount());
      break;
    default: break;
  }
}

void TListeQZ::PressPart(int part, bool hold) {
  partState_.fill(0);
  partState_[static_cast<size_t>(part)] = 2;
  if (part == ColumnButton) {
    columnMenuRequested_ = !columnMenuRequested_;
    return;
  }
  if (part == Thumb) {
    if (hold) {
      draggingThumb_ = true;
      grabOffset_ = lastPos_.y() - parts_[Thumb].top();
    }
    return;
  }
  ScrollStep(part);
  if (hold) {
    hold_ = part;
    repeatCounter_ = 0;
    repeatPeriod_ = std::max(MultiplicatorTact, 1);
  }
}

void TListeQZ::Tick() {
  ++ticksSinceMove_;
  if (hold_ >= 0 && parts_[static_cast<size_t>(hold_)].contains(lastPos_)) {
    if (++repeatCounter_ % repeatPeriod_ == 0) {
      repeatCounter_ = 0;
      ScrollStep(hold_);
      repeatPeriod_ = std::max(repeatPeriod_ - 1, 1);
      Redraw();
    }
  }
  if (draggingRows_ && dragScroll_ != 0) {
    if (++dragRepeat_ % dragPeriod_ == 0) {
      dragRepeat_ = 0;
      ScrollRows(dragScroll_);
      dragPeriod_ = std::max(dragPeriod_ - 1, 1);
    }
  }
}

// ---- mouse ----

void TListeQZ::mousePressEvent(QMouseEvent* e) {
  TLista& L = Shown();
  const QPoint pos = e->position().toPoint();
  lastPos_ = pos;
  const bool left = e->button() == Qt::LeftButton;
  const bool right = e->button() == Qt::RightButton;
  if (!left && !right) return;
  BeginUpdate();
  bool hit = false;
  for (int part = TrackBelow; part >= ColumnButton; --part) {
    if (!parts_[static_cast<size_t>(part)].contains(pos)) continue;
    hit = true;
    if (right && part == Thumb) break;
    PressPart(part, left);
    break;
  }
  if (!hit && !(L.SortLocked && L.SizeLocked && left)) {
    for (size_t i = 0; i < headers_.size(); ++i) {
      const auto& [col, r] = headers_[i];
      if (!r.contains(pos)) continue;
      hit = true;
      if (right) {
        columnMenuRequested_ = !columnMenuRequested_;
        break;
      }
      if (headerState_.size() > i) headerState_[i] = 2;
      const bool lastShown = i + 1 == headers_.size();
      if (!L.SizeLocked && !lastShown && std::abs(pos.x() - r.right()) <= 4) {
        resizingColumn_ = true;
        resizeColumn_ = col;
        grabOffset_ = pos.x() - L.GetColumn(col)->Right;
      } else if (L.RowCount() > 0 && !L.SortLocked) {
        L.SortByColumn(col);
      }
      break;
    }
  }
  if (!hit) {
    for (int line = 1; line <= L.RowsShown; ++line) {
      if (!RowRect(line).contains(pos)) continue;
      hit = true;
      const int row = L.TopRow + line - 1;
      if (right) {
        L.SetCursor(0, row);
        popupX_ = pos.x();
        popupY_ = pos.y();
        columnMenuRequested_ = false;
        const int lock = updateLock_;
        updateLock_ = 0;
        Redraw();
        updateLock_ = lock;
        if (OnPopupClickDreaptaOn) OnPopupClickDreaptaOn(row, row - L.TopRow + 1, popupX_, popupY_);
        break;
      }
      const int focus = L.CursorRow(0);
      if ((e->modifiers() & Qt::ShiftModifier) && focus > 0 && focus != row) {
        for (int r = std::min(focus, row); r <= std::max(focus, row); ++r) {
          if (L.IsRowMarked(r))
            L.ClearCursor(3, r);
          else
            L.SetCursor(3, r);
        }
      } else if (e->modifiers() & Qt::ControlModifier) {
        if (L.IsRowMarked(row))
          L.ClearCursor(3, row);
        else
          L.SetCursor(3, row);
      }
      L.SetCursor(0, row);
      rowDragArmed_ = true;
      pressPos_ = pos;
      break;
    }
  }
  EndUpdate();
  if (hit) Redraw();
  if (hit && columnMenuRequested_) {
    columnMenuRequested_ = false;
    ShowColumnMenu(mapToGlobal(pos));
  }
  if (left || hit) {
    if (OnLeftClick) OnLeftClick();
  }
  if (right && OnRightClick) OnRightClick();
}

void TListeQZ::mouseMoveEvent(QMouseEvent* e) {
  TLista& L = Shown();
  const QPoint pos = e->position().toPoint();
  lastPos_ = pos;
  if (rowDragArmed_ && (e->buttons() & Qt::LeftButton) && (pos - pressPos_).manhattanLength() >= 4) {
    rowDragArmed_ = false;
    StartRowDrag();
    return;
  }
  if (ticksSinceMove_ < (draggingThumb_ ? 1 : 3)) return;
  ticksSinceMove_ = 0;
  if (draggingThumb_) {
    const int trackTop = parts_[UpButton].bottom() + 1;
    const int trackBottom = parts_[DownButton].top();
    const int lastPage = std::max(L.RowCount() - L.PageRows + 1, 1);
    const int e2 = pos.y() - grabOffset_ - trackTop - 1;
    int top = 1;
    if (pos.y() <= trackTop + 2)
      top = 1;
    else if (pos.y() >= trackBottom - 2)
      top = lastPage;
    else if (e2 > 0 && pixelsPerRow_ > 0)
      top = std::min(static_cast<int>(std::lround(e2 / pixelsPerRow_)) + 1, lastPage);
    if (top != L.TopRow) {
      L.TopRow = top;
      Redraw();
    }
    return;
  }
  if (resizingColumn_) {
    TColoana* col = L.GetColumn(resizeColumn_);
    if (!col) return;
    for (int c = 1; c < resizeColumn_; ++c) L.GetColumn(c)->Held = true;
    int room = 0, take = 0;
    for (int c = resizeColumn_ + 1; c <= L.ColumnCount(); ++c) {
      const TColoana& r = *L.GetColumn(c);
      if (!r.Visible) continue;
      room += r.Width - r.MinWidth;
      take += r.MaxWidth > 0 ? r.MaxWidth - r.Width : 100000;
    }
    int delta = pos.x() - grabOffset_ - col->Right;
    delta = std::clamp(delta, -take, room);
    int width = col->Width + delta;
    width = std::max(width, col->MinWidth);
    if (col->MaxWidth > 0) width = std::min(width, col->MaxWidth);
    col->Width = width;
    col->Held = true;
    LayoutColumns(L);
    for (int c = 1; c <= L.ColumnCount(); ++c) L.GetColumn(c)->Held = false;
    Redraw();
    return;
  }
  bool changed = false;
  const bool overBar = pos.x() >= parts_[ColumnButton].left();
  if (overBar != overScrollBar_) changed = true;
  overScrollBar_ = overBar;
  for (int part = 0; part < 6; ++part) {
    const int want = overBar && parts_[static_cast<size_t>(part)].contains(pos) ? 1 : 0;
    if (partState_[static_cast<size_t>(part)] != 2 && partState_[static_cast<size_t>(part)] != want) {
      partState_[static_cast<size_t>(part)] = want;
      changed = true;
    }
  }
  const bool overHeader = !overBar && pos.y() <= parts_[ColumnButton].bottom();
  if (overHeader != overHeader_) changed = true;
  overHeader_ = overHeader;
  bool grip = false;
  for (size_t i = 0; i < headers_.size(); ++i) {
    const int want = overHeader && headers_[i].second.contains(pos) ? 1 : 0;
    if (headerState_.size() > i && headerState_[i] != want) {
      headerState_[i] = want;
      changed = true;
    }
    if (overHeader && !L.SizeLocked && i + 1 < headers_.size() && std::abs(pos.x() - headers_[i].second.right()) <= 4)
      grip = true;
  }
  if (grip)
    setCursor(Qt::SplitHCursor);
  else
    unsetCursor();
  if (changed) Redraw();
}

void TListeQZ::mouseReleaseEvent(QMouseEvent*) {
  hold_ = -1;
  draggingThumb_ = false;
  resizingColumn_ = false;
  rowDragArmed_ = false;
  partState_.fill(0);
  unsetCursor();
  Redraw();
}

void TListeQZ::leaveEvent(QEvent*) {
  bool changed = overScrollBar_ || overHeader_;
  overScrollBar_ = overHeader_ = false;
  for (int& s : partState_) {
    changed = changed || s != 0;
    s = 0;
  }
  for (int& s : headerState_) s = 0;
  hold_ = -1;
  if (changed) Redraw();
}

void TListeQZ::wheelEvent(QWheelEvent* e) {
  const int notches = e->angleDelta().y() / 120;
  if (notches != 0) ScrollRows(-4 * notches);
  e->accept();
}

void TListeQZ::PopupAtFocus() {
  columnMenuRequested_ = false;
  TLista& L = Shown();
  if (L.RowCount() == 0 || !OnPopupClickDreaptaOn) return;
  if (L.CursorRow(0) <= 0) L.SetCursor(0, L.TopRow);
  L.ScrollIntoView(L.CursorRow(0));
  Redraw();
  const int row = L.CursorRow(0);
  const QRect r = RowRect(row - L.TopRow + 1);
  popupY_ = r.center().y();
  popupX_ = headers_.empty() ? 10 : headers_.front().second.right() - 2;
  OnPopupClickDreaptaOn(row, row - L.TopRow + 1, popupX_, popupY_);
}

// ---- dragging rows ----

void TListeQZ::StartRowDrag() {
  auto* mime = new QMimeData;
  mime->setData(kListRowsMime, QByteArray::number(current_));
  auto* drag = new QDrag(this);
  drag->setMimeData(mime);
  drag->exec(Qt::MoveAction | Qt::CopyAction, Qt::MoveAction);
  draggingRows_ = false;
  dragScroll_ = 0;
  Redraw();
}

void TListeQZ::dragEnterEvent(QDragEnterEvent* e) {
  if (e->mimeData()->hasFormat(kListRowsMime) || e->mimeData()->hasUrls()) e->acceptProposedAction();
}

void TListeQZ::dragMoveEvent(QDragMoveEvent* e) {
  if (!e->mimeData()->hasFormat(kListRowsMime)) {
    if (e->mimeData()->hasUrls()) e->acceptProposedAction();
    return;
  }
  e->acceptProposedAction();
  TLista& L = Shown();
  const int y = e->position().toPoint().y();
  draggingRows_ = true;
  dropLine_ = std::clamp((y - headerBottom_ + rowHeight_ / 2) / std::max(rowHeight_, 1), 0, L.RowsShown);
  const int want = dropLine_ == 0 && L.TopRow > 1 ? -1 : (dropLine_ == L.RowsShown && L.RowsShown < L.RowCount() ? 1 : 0);
  if (want != dragScroll_) {
    dragScroll_ = want;
    dragRepeat_ = 0;
    dragPeriod_ = std::max(2 * MultiplicatorTact, 1);
  }
  Redraw();
}

void TListeQZ::dragLeaveEvent(QDragLeaveEvent*) {
  draggingRows_ = false;
  dragScroll_ = 0;
  dropLine_ = -1;
  Redraw();
}

void TListeQZ::dropEvent(QDropEvent* e) {
  const QMimeData* mime = e->mimeData();
  if (mime->hasFormat(kListRowsMime)) {
    e->acceptProposedAction();
    if (mime->data(kListRowsMime).toInt() == current_ && dropLine_ >= 0) DropRows(Shown().TopRow + dropLine_);
    draggingRows_ = false;
    dragScroll_ = 0;
    dropLine_ = -1;
    Redraw();
    return;
  }
  if (mime->hasUrls()) {
    QStringList files;
    for (const QUrl& u : mime->urls())
      if (u.isLocalFile()) files << u.toLocalFile();
    e->acceptProposedAction();
    if (!files.isEmpty() && OnFilesDropped) OnFilesDropped(files, e->position().toPoint());
  }
}

void TListeQZ::DropRows(int p) {
  TLista& L = Shown();
  const int f = L.CursorRow(0);
  BeginUpdate();
  if (L.MarkCount() == 0 || f < 1 || !L.IsRowMarked(f)) {
    if (f >= 1 && p != f) L.MoveRow(f, f < p ? p - 1 : p);
  } else {
    // Gather the marked rows at the boundary in their order.
    std::vector<int32_t> marked = L.MarkedRows();
    int boundary = p;
    std::vector<int32_t> ids;
    for (int32_t r : marked) ids.push_back(L.RowIdAt(r));
    for (int32_t id : ids) {
      const int r = L.PositionOfId(id);
      if (r < boundary) {
        L.MoveRow(r, boundary - 1);
      }
    }
    // Marked rows at or below the boundary follow, one after the other.
    int at = boundary;
    for (int32_t id : ids) {
      const int r = L.PositionOfId(id);
      if (r >= at) {
        L.MoveRow(r, at);
        ++at;
      }
    }
  }
  EndUpdate();
  if (OnRowsMoved) OnRowsMoved();
}

}  // namespace zonda
