#include "skin/ui/TSKINTextArea.h"

#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <cmath>

namespace zonda {

QFont SkinFont(const std::string& name, int points, bool bold, bool italic) {
  QFont f(QString::fromStdString(name));
  f.setPixelSize(std::max(1, int(std::lround(std::max(points, 1) * 96.0 / 72.0))));
  f.setBold(bold);
  f.setItalic(italic);
  return f;
}

TSKINTextArea::TSKINTextArea(QWidget* parent, const QImage* skinImage, const TSKINTextAreaParams& params)
    : TSKINControl(parent, skinImage), params_(params),
      font_(SkinFont(params.fontName, params.fontSize, params.bold, params.italic)) {
  resize(params.size);
  ApplyHint("TEXT AREA");
}

void TSKINTextArea::SetText(const std::string& text) {
  if (text == text_) return;
  text_ = text;
  shown_ = text;
  const QFontMetrics fm(font_);
  const int room = width() - 1;
  QString s = QString::fromStdString(text);
  if (ellipsis_ && fm.horizontalAdvance(s) > room) {
    // Cut whole characters (code points), never half of a UTF-16 pair.
    std::u32string chars = s.toStdU32String();
    const QString tail = QStringLiteral(" ...");
    QString cut;
    do {
      chars.resize(chars.size() >= 2 ? chars.size() - 2 : 0);
      cut = QString::fromStdU32String(chars);
    } while (!chars.empty() && fm.horizontalAdvance(cut + tail) > room);
    s = cut + tail;
    shown_ = s.toStdString();
  }
  const int tw = fm.horizontalAdvance(s), th = fm.height();
  switch (params_.align) {
    case TSkinAlign::Center: origin_ = QPoint((width() - tw) / 2, (height() - th) / 2); break;
    case TSkinAlign::Right: origin_.setX(width() - tw); break;
    case TSkinAlign::Left: break;
  }
  update();
}

// A label without handlers lets the press through, so the window can be
// dragged by it like by the rest of the background.
void TSKINTextArea::mousePressEvent(QMouseEvent* event) {
  const TActionSlot* slot = nullptr;
  if (handlers_ && event->button() == Qt::LeftButton) slot = &handlers_->OnLeftDown;
  if (handlers_ && event->button() == Qt::RightButton) slot = &handlers_->OnRightDown;
  const bool leftUp = handlers_ && event->button() == Qt::LeftButton && !handlers_->OnLeftUp.IsEmpty();
  const bool rightUp = handlers_ && event->button() == Qt::RightButton && !handlers_->OnRightUp.IsEmpty();
  if ((!slot || slot->IsEmpty()) && !leftUp && !rightUp) {
    event->ignore();
    return;
  }
  if (slot) (*slot)(tag_);
}

void TSKINTextArea::mouseReleaseEvent(QMouseEvent* event) {
  if (!handlers_) return;
  if (event->button() == Qt::LeftButton) handlers_->OnLeftUp(tag_);
  if (event->button() == Qt::RightButton) handlers_->OnRightUp(tag_);
}

void TSKINTextArea::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QRect all = rect();
  if (params_.transparent) {
    if (skin_) p.drawImage(QPoint(0, 0), *skin_, geometry());
    if (params_.borderVisible) {
      p.setPen(QColor(255, 0, 0));
      p.setBrush(Qt::NoBrush);
      p.drawRect(all.adjusted(0, 0, -1, -1));
    }
  } else {
    const TColor back = params_.backColor;
    p.fillRect(all, ToQColor(back));
    p.setPen(ToQColor(params_.borderVisible ? (~back & 0xFFFFFFu) : back));
    p.setBrush(Qt::NoBrush);
    p.drawRect(all.adjusted(0, 0, -1, -1));
  }
  p.setFont(font_);
  p.setPen(ToQColor(params_.fontColor));
  p.drawText(origin_.x(), origin_.y() + QFontMetrics(font_).ascent(), QString::fromStdString(shown_));
}

}  // namespace zonda
