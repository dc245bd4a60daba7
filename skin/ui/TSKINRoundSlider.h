#pragma once
// TSKINRoundSlider: a rotary knob. Dragging up turns it clockwise, 2 degrees
// per pixel (1 with fine drag); a continuous knob turns endlessly, wrapping
// around its range, and has no right-button reset; otherwise a right press
// sets the value to 0 (the centre of symmetric ranges).
//
// Drawn either as a dot on a circle over the background picture (positions
// below 2) or as one frame of a strip of pre-rendered knob pictures; a strip
// longer than the sheet's row width (SkinWidth) continues once on the next
// row. Composed off-screen.
//
// Main thread only.
#include <QImage>
#include <QPoint>

#include "skin/ActionControl.h"
#include "skin/ui/SkinPaint.h"
#include "skin/ui/TSKINControl.h"

namespace zonda {

struct TSKINRoundSliderParams {
  int size = 0;                 // width and height
  QPoint up, over;              // background or first strip frame
  int positions = -1;           // frames in the strip; below 2: dot mode
  int radius = 0, cursorSize = 0;
  int startAngle = 135, rotation = 270;  // degrees, clockwise on screen
  TColor cursorColor = 0, focusedCursorColor = 0;
  bool continuous = false;
  int spaceBetweenPositions = 0;
  int aliasing = 1;
  int rowWidth = 800;           // SkinWidth: row width of the strip
};

class TSKINRoundSlider : public TSKINControl, public TSliderControl {
 public:
  TSKINRoundSlider(QWidget* parent, const QImage* skinImage, const TSKINRoundSliderParams& params);

  bool IsRound() const override { return true; }
  int Value() const override { return value_; }
  void SetValue(int value) override;
  int Minimum() const override { return minimum_; }
  void SetMinimum(int value) override;
  int Maximum() const override { return maximum_; }
  void SetMaximum(int value) override;
  void SetMarker(int) override {}
  int Tag() const override { return tag_; }
  void SetTag(int tag) override { tag_ = tag; }
  bool FineDrag() const override { return fine_; }
  void SetFineDrag(bool fine) override { fine_ = fine; }
  void SetHint(const std::string& hint) override { ApplyHint(hint); }
  void SetHandlers(const TSliderHandlers* handlers) override { handlers_ = handlers; }

  double Angle() const { return angle_; }
  // Strip frame shown for the current angle, and its sheet origin.
  int Frame() const;
  QPoint FrameOrigin() const;
  void Compose();
  const TSKINRoundSliderParams& Params() const { return params_; }
  const QImage& Picture() const { return picture_; }

 protected:
  void PointerEnter() override;
  void PointerLeave() override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void Refresh();

  TSKINRoundSliderParams params_;
  const TSliderHandlers* handlers_ = nullptr;
  int minimum_ = 0, maximum_ = 100, value_ = 0;
  double angle_ = 0.0, savedAngle_ = 0.0;
  int savedY_ = 0;
  bool leftDragging_ = false, hovered_ = false, fine_ = false;
  QImage picture_;
};

}  // namespace zonda
