#pragma once
// TSKINSlider: a linear fader, horizontal when its height is less than its
// width, else vertical (a vertical slider reports its top as the maximum).
//
// The cursor travels over (length - cursor length) pixels. A left press off
// the cursor centres it on the pointer; a press on it takes hold where it was
// grabbed. A right drag is temporary: on release (or leaving) the slider
// springs back to its value before the press, reporting it through OnChange,
// and OnRelease does not fire. SetValue from the program is ignored while
// either button drags.
//
// The picture (background, marker, cursor - blended through its mask when the
// skin gives one) is composed off-screen and copied in one piece.
//
// Main thread only.
#include <QImage>
#include <QPoint>
#include <QSize>

#include "skin/ActionControl.h"
#include "skin/ui/SkinPaint.h"
#include "skin/ui/TSKINControl.h"

namespace zonda {

struct TSKINSliderParams {
  QSize size;                       // control size; decides the orientation
  QPoint up, over;                  // background origins
  QSize cursor;                     // cursor size
  QPoint cursorUp, cursorOver;      // cursor picture origins
  bool hasMask = false;
  QPoint mask;                      // cursor-sized mask origin
  TColor markerColor = 0;
};

class TSKINSlider : public TSKINControl, public TSliderControl {
 public:
  TSKINSlider(QWidget* parent, const QImage* skinImage, const TSKINSliderParams& params);

  bool IsRound() const override { return false; }
  int Value() const override;
  void SetValue(int value) override;
  int Minimum() const override { return minimum_; }
  void SetMinimum(int value) override;
  int Maximum() const override { return maximum_; }
  void SetMaximum(int value) override;
  void SetMarker(int value) override;
  int Tag() const override { return tag_; }
  void SetTag(int tag) override { tag_ = tag; }
  bool FineDrag() const override { return fine_; }
  void SetFineDrag(bool fine) override { fine_ = fine; }
  void SetHint(const std::string& hint) override { ApplyHint(hint); }
  void SetHandlers(const TSliderHandlers* handlers) override { handlers_ = handlers; }

  bool Vertical() const { return vertical_; }
  int CursorOffset() const { return offset_; }
  int MarkerOffset() const { return markerOffset_; }
  bool Dragging() const { return leftDragging_ || rightDragging_; }
  void Compose();
  const TSKINSliderParams& Params() const { return params_; }
  const QImage& Picture() const { return picture_; }

 protected:
  void PointerEnter() override;
  void PointerLeave() override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  int Length() const;
  int CursorLength() const;
  int Travel() const { return std::max(0, Length() - CursorLength()); }
  int AxisPos(QPoint p) const { return vertical_ ? p.y() : p.x(); }
  int ValueAtOffset() const;
  void Grab(int p);
  void Refresh();
  void Changed();
  void SpringBack();

  TSKINSliderParams params_;
  const TSliderHandlers* handlers_ = nullptr;
  bool vertical_ = false;
  int minimum_ = -28, maximum_ = 145;
  int value_ = 0;  // internal: minimum at offset 0 (left or top)
  int offset_ = 0, grab_ = 0, markerOffset_ = -1, saved_ = 0;
  bool leftDragging_ = false, rightDragging_ = false, hovered_ = false, fine_ = false;
  QImage picture_;
};

}  // namespace zonda
