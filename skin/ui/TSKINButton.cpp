#include "skin/ui/TSKINButton.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <cmath>

namespace zonda {

TSKINButton::TSKINButton(QWidget* parent, const QImage* skinImage, const TSKINButtonParams& params)
    : TSKINControl(parent, skinImage), params_(params) {
  ApplyHint("BUTTON");
}

QPoint TSKINButton::PictureOrigin() const {
  const bool sel = params_.isSwitch && selected_;
  QPoint o = sel ? params_.sel : params_.up;
  if (hovered_ && !leftPressed_ && !rightPressed_) o = sel ? params_.overSel : params_.over;
  if (leftPressed_ || rightPressed_) o = sel ? params_.downSel : params_.down;
  return o;
}

void TSKINButton::SetSelected(bool selected) {
  selected_ = selected;
  update();
}

void TSKINButton::SetLit(bool lit) {
  lit_ = lit;
  hovered_ = lit;
  update();
}

void TSKINButton::PointerEnter() {
  if (hovered_) return;
  hovered_ = true;
  update();
}

void TSKINButton::PointerLeave() {
  if (!hovered_) return;
  if (!lit_) hovered_ = false;
  const bool wasLeft = leftPressed_, wasRight = rightPressed_;
  leftPressed_ = rightPressed_ = false;
  update();
  if (wasLeft && handlers_) handlers_->OnLeftUp(tag_);
  if (wasRight && handlers_) handlers_->OnRightUp(tag_);
}

void TSKINButton::LeftDown() {
  if (leftPressed_) return;
  leftPressed_ = true;
  selected_ = !selected_;
  update();
  if (handlers_) handlers_->OnLeftDown(tag_);
}

void TSKINButton::LeftUp() {
  if (!leftPressed_) return;
  leftPressed_ = false;
  update();
  if (handlers_) handlers_->OnLeftUp(tag_);
}

void TSKINButton::Press() {
  PointerEnter();
  LeftDown();
}

void TSKINButton::Release() {
  LeftUp();
  PointerLeave();
}

void TSKINButton::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    LeftDown();
  } else if (event->button() == Qt::RightButton) {
    if (rightPressed_) return;
    rightPressed_ = true;
    selected_ = !selected_;
    update();
    if (handlers_) handlers_->OnRightDown(tag_);
  }
}

void TSKINButton::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    LeftUp();
  } else if (event->button() == Qt::RightButton) {
    if (!rightPressed_) return;
    rightPressed_ = false;
    update();
    if (handlers_) handlers_->OnRightUp(tag_);
  }
}

void TSKINButton::mouseMoveEvent(QMouseEvent* event) { TrackPointer(event->position().toPoint()); }

void TSKINButton::paintEvent(QPaintEvent*) {
  QPainter p(this);
  if (skin_) p.drawImage(QPoint(0, 0), *skin_, QRect(PictureOrigin(), size()));
  if (params_.showLabel && !label_.empty()) {
    QFont f(QString::fromStdString(params_.fontName));
    f.setPixelSize(std::max(1, int(std::lround(params_.fontSize * 96.0 / 72.0))));
    p.setFont(f);
    p.setPen(ToQColor(params_.fontColor));
    const QString text = QString::fromStdString(label_);
    const QFontMetrics fm(f);
    const int shift = (leftPressed_ || rightPressed_) ? 1 : 0;
    const int x = (width() - fm.horizontalAdvance(text)) / 2 + shift;
    const int y = (height() - fm.height()) / 2 + shift;
    p.drawText(x, y + fm.ascent(), text);
  }
}

}  // namespace zonda
