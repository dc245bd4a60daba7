#include "skin/ui/TSKINSlider.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace zonda {

namespace {
// std::clamp with a possibly empty range: the lower bound wins.
int Clamp(int v, int lo, int hi) { return std::max(lo, std::min(v, hi)); }
}  // namespace

TSKINSlider::TSKINSlider(QWidget* parent, const QImage* skinImage, const TSKINSliderParams& params)
    : TSKINControl(parent, skinImage), params_(params) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  resize(params.size);
  vertical_ = !(params.size.height() < params.size.width());
  ApplyHint("SLIDER");
}

int TSKINSlider::Length() const { return vertical_ ? height() : width(); }
int TSKINSlider::CursorLength() const { return vertical_ ? params_.cursor.height() : params_.cursor.width(); }

int TSKINSlider::Value() const { return vertical_ ? minimum_ + maximum_ - value_ : value_; }

void TSKINSlider::SetValue(int value) {
  if (leftDragging_ || rightDragging_) return;
  if (vertical_) value = minimum_ + maximum_ - value;
  value_ = Clamp(value, minimum_, maximum_);
  const int travel = Travel();
  offset_ = maximum_ == minimum_ ? 0
                                 : RoundHalfEven(double(travel) * double(value_ - minimum_) / double(maximum_ - minimum_));
  offset_ = Clamp(offset_, 0, travel);
  Refresh();
  Changed();
}

void TSKINSlider::SetMinimum(int value) {
  const int current = Value();
  minimum_ = value;
  SetValue(Clamp(current, minimum_, maximum_));
}

void TSKINSlider::SetMaximum(int value) {
  const int current = Value();
  maximum_ = value;
  SetValue(Clamp(current, minimum_, maximum_));
}

void TSKINSlider::SetMarker(int value) {
  if (value == -1) {
    markerOffset_ = -1;
  } else {
    if (vertical_) value = minimum_ + maximum_ - value;
    value = Clamp(value, minimum_, maximum_);
    const int travel = Travel();
    markerOffset_ = maximum_ == minimum_
                        ? 0
                        : RoundHalfEven(double(value - minimum_) * double(travel) / double(maximum_ - minimum_));
    markerOffset_ = Clamp(markerOffset_, 0, travel);
  }
  Refresh();
}

int TSKINSlider::ValueAtOffset() const {
  const int travel = Travel();
  if (travel == 0) return minimum_;
  return minimum_ + RoundHalfEven(double(maximum_ - minimum_) * double(offset_) / double(travel));
}

void TSKINSlider::Changed() {
  if (handlers_) handlers_->OnChange(tag_);
}

void TSKINSlider::Grab(int p) {
  const int c = CursorLength();
  p = Clamp(p, 0, Length() - 1);
  if (p >= offset_ && p <= offset_ + c - 1) {
    grab_ = p - offset_;
  } else {
    grab_ = c / 2;
    offset_ = Clamp(p - c / 2, 0, Travel());
  }
  value_ = ValueAtOffset();
  Refresh();
  Changed();
  if (handlers_) handlers_->OnTrack(tag_);
}

void TSKINSlider::mousePressEvent(QMouseEvent* event) {
  if (leftDragging_ || rightDragging_) return;
  const int p = AxisPos(event->position().toPoint());
  if (event->button() == Qt::LeftButton) {
    leftDragging_ = true;
    Grab(p);
  } else if (event->button() == Qt::RightButton) {
    saved_ = Value();
    rightDragging_ = true;
    Grab(p);
  }
}

void TSKINSlider::mouseMoveEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  TrackPointer(pos);
  if (!leftDragging_ && !rightDragging_) return;
  const int p = std::max(0, AxisPos(pos));
  offset_ = Clamp(std::min(p, Length() - 1) - grab_, 0, Travel());
  value_ = ValueAtOffset();
  Refresh();
  Changed();
  if (handlers_) handlers_->OnTrack(tag_);
}

void TSKINSlider::SpringBack() {
  rightDragging_ = false;
  SetValue(saved_);
}

void TSKINSlider::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton && leftDragging_) {
    leftDragging_ = false;
    Refresh();
    if (handlers_) handlers_->OnRelease(tag_);
  } else if (event->button() == Qt::RightButton && rightDragging_) {
    SpringBack();
  }
}

void TSKINSlider::PointerEnter() {
  hovered_ = true;
  Refresh();
}

void TSKINSlider::PointerLeave() {
  hovered_ = false;
  if (rightDragging_)
    SpringBack();
  else
    Refresh();
}

void TSKINSlider::Refresh() {
  Compose();
  update();
}

void TSKINSlider::resizeEvent(QResizeEvent*) {
  vertical_ = !(height() < width());
  Compose();
}

void TSKINSlider::Compose() {
  const int w = width(), h = height();
  if (w <= 0 || h <= 0) return;
  if (picture_.size() != size()) picture_ = QImage(w, h, QImage::Format_RGB32);
  if (picture_.isNull()) return;  // out of memory: nothing to show
  static const QImage kNoSheet;
  const QImage& sheet = skin_ ? *skin_ : kNoSheet;
  const bool lit = hovered_ || leftDragging_;
  CopyRect(picture_, QPoint(0, 0), sheet, QRect(lit ? params_.over : params_.up, size()));
  const int c = CursorLength();
  if (markerOffset_ >= 0) {
    const QRgb mc = ToRgb(params_.markerColor);
    if (vertical_)
      FrameRect(picture_, QRect(0, markerOffset_ + 1, 2, std::max(0, c - 2)), mc);
    else
      FrameRect(picture_, QRect(markerOffset_ + 1, 0, std::max(0, c - 2), 2), mc);
  }
  const QPoint at = vertical_ ? QPoint(0, offset_) : QPoint(offset_, 0);
  const QRect src(lit ? params_.cursorOver : params_.cursorUp, params_.cursor);
  if (!params_.hasMask) {
    CopyRect(picture_, at, sheet, src);
    return;
  }
  // Mask blend: (background AND mask) OR (cursor AND NOT mask); black mask
  // pixels show the cursor, white ones the background.
  QImage cursor(params_.cursor, QImage::Format_RGB32), mask(params_.cursor, QImage::Format_RGB32);
  CopyRect(cursor, QPoint(0, 0), sheet, src);
  CopyRect(mask, QPoint(0, 0), sheet, QRect(params_.mask, params_.cursor));
  if (cursor.isNull() || mask.isNull()) return;
  for (int y = 0; y < params_.cursor.height(); ++y) {
    const int dy = at.y() + y;
    if (dy < 0 || dy >= h) continue;
    auto* line = reinterpret_cast<QRgb*>(picture_.scanLine(dy));
    const auto* cl = reinterpret_cast<const QRgb*>(cursor.constScanLine(y));
    const auto* ml = reinterpret_cast<const QRgb*>(mask.constScanLine(y));
    for (int x = 0; x < params_.cursor.width(); ++x) {
      const int dx = at.x() + x;
      if (dx < 0 || dx >= w) continue;
      line[dx] = 0xFF000000u | (((line[dx] & ml[x]) | (cl[x] & ~ml[x])) & 0x00FFFFFFu);
    }
  }
}

void TSKINSlider::paintEvent(QPaintEvent*) {
  if (picture_.size() != size()) Compose();
  QPainter p(this);
  p.drawImage(0, 0, picture_);
}

}  // namespace zonda
