#include "skin/ui/TSKINBeatDisplay.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>

namespace zonda {

TSKINBeatDisplay::TSKINBeatDisplay(QWidget* parent, const QImage* skinImage, const TSKINBeatDisplayParams& params)
    : TSKINControl(parent, skinImage), params_(params) {
  setAttribute(Qt::WA_OpaquePaintEvent);
  setAcceptDrops(true);
  ApplyHint("BEAT/WAVE DISPLAY");
}

void TSKINBeatDisplay::SetHandlers(const TBeatDisplayHandlers* h) {
  if (!h) {
    OnLeftDown = OnLeftUp = OnRightDown = OnRightUp = nullptr;
    OnDrag = OnDrop = nullptr;
    return;
  }
  OnLeftDown = [h] { h->OnLeftDown(0); };
  OnLeftUp = [h] { h->OnLeftUp(0); };
  OnRightDown = [h] { h->OnRightDown(0); };
  OnRightUp = [h] { h->OnRightUp(0); };
  OnDrag = [h](int x, int y) { h->OnDrag(x, y); };
  OnDrop = [h](int x, int y) { h->OnDrop(x, y); };
}

int16_t TSKINBeatDisplay::Beat(size_t i) const { return i < beats_.size() ? beats_[i] : 0; }
int16_t TSKINBeatDisplay::Wave(size_t i) const { return i < wave_.size() ? wave_[i] : 0; }

void TSKINBeatDisplay::SetDisplayData(const int16_t* beats, size_t count) {
  if (beats)
    beats_.assign(beats, beats + count);
  else
    beats_.clear();
  if (!standardWave_) Refresh();
}

void TSKINBeatDisplay::SetOverviewData(const int16_t* wave, size_t count) {
  if (wave)
    wave_.assign(wave, wave + count);
  else
    wave_.clear();
  if (standardWave_) Refresh();
}

void TSKINBeatDisplay::Refresh() {
  Compose();
  update();
}

void TSKINBeatDisplay::Compose() {
  const int w = width(), h = height();
  if (w <= 0 || h <= 0) return;
  if (picture_.size() != size()) picture_ = QImage(w, h, QImage::Format_RGB32);
  if (picture_.isNull()) return;  // out of memory: nothing to show
  static const QImage kNoSheet;
  const QImage& sheet = skin_ ? *skin_ : kNoSheet;
  CopyRect(picture_, QPoint(0, 0), sheet,
           QRect((hovered_ || leftPressed_) ? params_.over : params_.up, QSize(w, h)));

  const QRgb data = ToRgb(params_.dataColor);
  const QRgb loop = ToRgb(params_.loopColor);
  const QRgb cue = ToRgb(params_.cueColor);
  const int m = h / 2;
  // Beat marks sit 16 to 17 points after the beats they mark; points past
  // the ones the deck fills (two per column) carry no beat.
  const size_t filled = size_t(DisplayPoints());
  auto beatAhead = [&](size_t i) { return i < filled ? Beat(i) : int16_t(0); };
  for (int i = 1; i <= w - 2; ++i) {
    const size_t e = size_t(2 * i);
    const int b0 = Beat(e), b1 = Beat(e + 1);
    if (b0 < 0 || b1 < 0) {
      if (b0 == kLoopMark || b1 == kLoopMark)
        for (int x = i - 1; x <= i; ++x) VerticalSpan(picture_, x, 1, h - 2, loop);
      if (b0 == kCueMark || b1 == kCueMark)
        for (int x = i - 1; x <= i + 1; ++x) VerticalSpan(picture_, x, 1, h - 2, cue);
      continue;
    }
    if (!standardWave_) {
      const int v = RoundHalfEven(double(b0 + b1) / 112.0 * double(h - 2));
      if (v > 0) VerticalSpan(picture_, i, h - 1 - v, h - 2, data);
    } else {
      const int w0 = Wave(e), w1 = Wave(e + 1);
      int amp = RoundHalfEven(double(w0 + w1) / 65536.0 * double(m - 2));
      amp = std::clamp(amp, 1, std::max(1, m));
      VerticalSpan(picture_, i, m - amp, m + amp - 1, data);
      if (beatAhead(e + 16) == kBeatMark || beatAhead(e + 17) == kBeatMark)
        VerticalSpan(picture_, i, 1, h - 2, data);
    }
  }

  const QRgb cursor = ToRgb(params_.cursorColor);
  if (params_.beatDiffVisible) {
    const int d = std::clamp(beatDiff_, -50, 50);
    const int g = d / 5;  // truncates toward zero
    const QPoint o = params_.beatDiff;
    FillRect(picture_, QRect(o.x(), o.y(), 40, 5), qRgb(0, 0, 0));
    FrameRect(picture_, QRect(o.x(), o.y(), 40, 5), qRgb(128, 128, 128));
    if (g < 0) FillRect(picture_, QRect(o.x() + 20 + 2 * g, o.y() + 1, -2 * g, 3), cursor);
    if (g > 0) FillRect(picture_, QRect(o.x() + 20, o.y() + 1, 2 * g, 3), cursor);
  }
  // The play position: two columns in the middle (the deck centres its arrays on it).
  FillRect(picture_, QRect(w / 2 - 1, 1, 2, h - 2), cursor);
}

void TSKINBeatDisplay::PointerEnter() {
  hovered_ = true;
  Refresh();
}

void TSKINBeatDisplay::PointerLeave() {
  hovered_ = false;
  if (rightPressed_) {
    rightPressed_ = false;
    if (OnRightUp) OnRightUp();
  }
  Refresh();
}

void TSKINBeatDisplay::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    leftPressed_ = true;
    if (OnLeftDown) OnLeftDown();
  } else if (event->button() == Qt::RightButton) {
    rightPressed_ = true;
    if (OnRightDown) OnRightDown();
  }
}

void TSKINBeatDisplay::mouseReleaseEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    leftPressed_ = false;
    Refresh();
    if (OnLeftUp) OnLeftUp();
  } else if (event->button() == Qt::RightButton) {
    // A right press already ended by leaving the display has been reported.
    if (!rightPressed_) return;
    rightPressed_ = false;
    if (OnRightUp) OnRightUp();
  }
}

void TSKINBeatDisplay::mouseMoveEvent(QMouseEvent* event) {
  const QPoint p = event->position().toPoint();
  TrackPointer(p);
  if (leftPressed_ && OnDrag) OnDrag(p.x(), p.y());
}

void TSKINBeatDisplay::dragEnterEvent(QDragEnterEvent* event) { event->acceptProposedAction(); }
void TSKINBeatDisplay::dragMoveEvent(QDragMoveEvent* event) { event->acceptProposedAction(); }

void TSKINBeatDisplay::dropEvent(QDropEvent* event) {
  event->acceptProposedAction();
  const QPoint p = event->position().toPoint();
  if (OnDrop) OnDrop(p.x(), p.y());
}

void TSKINBeatDisplay::resizeEvent(QResizeEvent*) { Compose(); }

void TSKINBeatDisplay::paintEvent(QPaintEvent*) {
  if (picture_.size() != size()) Compose();
  QPainter p(this);
  p.drawImage(0, 0, picture_);
}

}  // namespace zonda
