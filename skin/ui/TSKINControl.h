#pragma once
// TSKINControl: the common base of the skin's lightweight child controls.
//
// A control draws itself from rectangles of the shared skin picture sheet
// (SkinImage, never modified) and tracks whether the pointer is over it.
// Qt grabs the mouse for the widget under a press and holds back the leave
// event until the release; a skin control must see the pointer leave while a
// button is held (a held button releases when the pointer slides off it), so
// the base also derives enter and leave from the pointer moves it receives
// while captured. Each enter or leave reaches the control once.
//
// Main thread only.
#include <QImage>
#include <QString>
#include <QWidget>
#include <string>

namespace zonda {

class TSKINControl : public QWidget {
 public:
  TSKINControl(QWidget* parent, const QImage* skinImage);

  // Hint text as skin files write it ("\r\n" line breaks); shown as tool tip.
  void ApplyHint(const std::string& hint);
  const std::string& HintText() const { return hint_; }

  const QImage* SkinImage() const { return skin_; }
  bool PointerInside() const { return inside_; }

 protected:
  virtual void PointerEnter() = 0;
  virtual void PointerLeave() = 0;

  // Call from mouseMoveEvent: turns crossing the control's edge into enter/leave.
  void TrackPointer(QPoint pos);

  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

  const QImage* skin_;
  int tag_ = 0;

 private:
  std::string hint_;
  bool inside_ = false;
};

// "\r\n" (and lone "\r") to "\n" for Qt's tool tips.
QString HintToToolTip(const std::string& hint);

}  // namespace zonda
