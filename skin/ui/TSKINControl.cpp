#include "skin/ui/TSKINControl.h"

namespace zonda {

TSKINControl::TSKINControl(QWidget* parent, const QImage* skinImage) : QWidget(parent), skin_(skinImage) {
  setMouseTracking(true);
}

void TSKINControl::ApplyHint(const std::string& hint) {
  hint_ = hint;
  setToolTip(HintToToolTip(hint));
}

void TSKINControl::TrackPointer(QPoint pos) {
  const bool in = rect().contains(pos);
  if (in == inside_) return;
  inside_ = in;
  if (in)
    PointerEnter();
  else
    PointerLeave();
}

void TSKINControl::enterEvent(QEnterEvent*) {
  if (inside_) return;
  inside_ = true;
  PointerEnter();
}

void TSKINControl::leaveEvent(QEvent*) {
  if (!inside_) return;
  inside_ = false;
  PointerLeave();
}

QString HintToToolTip(const std::string& hint) {
  QString s = QString::fromStdString(hint);
  s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  s.replace(QChar('\r'), QChar('\n'));
  return s;
}

}  // namespace zonda
