#include "skin/ui/TSKINRoundSlider.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cmath>

namespace zonda {

namespace {
constexpr double kPi = 3.14159265358979323846;
}

TSKINRoundSlider::TSKINRoundSlider(QWidget* parent, const QImage* skinImage, const TSKINRoundSliderParams& params)
    : TSKINControl(parent, skinImage), params_(params) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  resize(params.size, params.size);
  ApplyHint("SLIDER");
}

void TSKINRoundSlider::SetValue(int value) {
  value_ = value;
  angle_ = maximum_ == minimum_ ? 0.0
                                : double(value - minimum_) * double(params_.rotation) / double(maximum_ - minimum_);
  Refresh();
  if (handlers_) handlers_->OnChange(tag_);
}

void TSKINRoundSlider::SetMinimum(int value) {
  minimum_ = value;
  SetValue(value);
}

void TSKINRoundSlider::SetMaximum(int value) {
  maximum_ = value;
  SetValue(minimum_);
}

void TSKINRoundSlider::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    leftDragging_ = true;
    savedY_ = event->position().toPoint().y();
    savedAngle_ = angle_;
    Refresh();
  } else if (event->button() == Qt::RightButton) {
    if (!leftDragging_ && !params_.continuous) SetValue(0);
  }
}

void TSKINRoundSlider::mouseMoveEvent(QMouseEvent* event) {
  const QPoint pos = event->position().toPoint();
  TrackPointer(pos);
  if (!leftDragging_) return;
  const double rotation = params_.rotation;
  const double d = savedY_ - pos.y();  // upward is positive
  if (params_.continuous) {
    angle_ = savedAngle_ + d;
    if (angle_ > rotation) angle_ -= rotation;
    if (angle_ < 0) angle_ += rotation;
    savedY_ = pos.y();
    savedAngle_ = angle_;
  } else {
    angle_ = std::clamp(savedAngle_ + (fine_ ? d : 2 * d), std::min(0.0, rotation), std::max(0.0, rotation));
  }
  value_ = rotation == 0 ? minimum_ : minimum_ + RoundHalfEven(double(maximum_ - minimum_) * angle_ / rotation);
  Refresh();
  if (handlers_) {
    handlers_->OnChange(tag_);
    handlers_->OnTrack(tag_);
  }
}

void TSKINRoundSlider::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !leftDragging_) return;
  leftDragging_ = false;
  Refresh();
  if (handlers_) handlers_->OnRelease(tag_);
}

void TSKINRoundSlider::PointerEnter() {
  hovered_ = true;
  Refresh();
}

void TSKINRoundSlider::PointerLeave() {
  hovered_ = false;
  Refresh();
}

int TSKINRoundSlider::Frame() const {
  const int positions = params_.positions;
  if (positions < 2) return 0;
  const double step = 360.0 / (double(positions) * double(params_.aliasing));
  const int k = (RoundHalfEven(angle_ / step) - 1) % positions;
  return k < 0 ? 0 : k;
}

QPoint TSKINRoundSlider::FrameOrigin() const {
  const bool lit = hovered_ || leftDragging_;
  const QPoint o = lit ? params_.over : params_.up;
  const int64_t stride = int64_t(params_.size) + params_.spaceBetweenPositions;
  int64_t x = o.x() + int64_t(Frame()) * stride, y = o.y();
  if (stride > 0 && x + params_.size > params_.rowWidth) {
    x -= (params_.rowWidth / stride) * stride;
    y += stride;
  }
  // Far outside any sheet: shows black, and stays within int.
  auto fit = [](int64_t v) { return int(std::clamp<int64_t>(v, -(int64_t(1) << 30), int64_t(1) << 30)); };
  return QPoint(fit(x), fit(y));
}

void TSKINRoundSlider::Refresh() {
  Compose();
  update();
}

void TSKINRoundSlider::Compose() {
  const int w = width(), h = height();
  if (w <= 0 || h <= 0) return;
  if (picture_.size() != size()) picture_ = QImage(w, h, QImage::Format_RGB32);
  if (picture_.isNull()) return;  // out of memory: nothing to show
  static const QImage kNoSheet;
  const QImage& sheet = skin_ ? *skin_ : kNoSheet;
  const bool lit = hovered_ || leftDragging_;
  if (params_.positions >= 2) {
    CopyRect(picture_, QPoint(0, 0), sheet, QRect(FrameOrigin(), size()));
    return;
  }
  CopyRect(picture_, QPoint(0, 0), sheet, QRect(lit ? params_.over : params_.up, size()));
  const double a = (params_.startAngle + angle_) * kPi / 180.0;
  const int x = RoundHalfEven(std::cos(a) * params_.radius) + w / 2;
  const int y = RoundHalfEven(std::sin(a) * params_.radius) + h / 2;
  const int half = params_.cursorSize / 2, odd = params_.cursorSize % 2;
  QPainter p(&picture_);
  p.setRenderHint(QPainter::Antialiasing);
  const QColor c = ToQColor(lit ? params_.focusedCursorColor : params_.cursorColor);
  p.setPen(Qt::NoPen);
  p.setBrush(c);
  p.drawEllipse(QRect(x - half, y - half, 2 * half + odd, 2 * half + odd));
}

void TSKINRoundSlider::paintEvent(QPaintEvent*) {
  if (picture_.size() != size()) Compose();
  QPainter p(this);
  p.drawImage(0, 0, picture_);
}

}  // namespace zonda
