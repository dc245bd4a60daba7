#pragma once
// TSKINButton: a skin button drawn from six pictures of the sheet (up, over,
// down, and the same three for the selected state of a switch).
//
// Every press (left or right) flips `selected`; `isswitch` only decides
// whether the selected pictures are shown. A lit button shows its over
// picture until unlit. Sliding off a held button releases it: the up handler
// runs on leaving, not on the later release.
//
// Handlers come from the bound action (TButtonAction) and receive the tag.
// Press()/Release() are the keyboard and MIDI path: enter + left-down, and
// left-up + leave.
//
// Main thread only.
#include <QFont>
#include <QPoint>
#include <string>

#include "skin/ActionControl.h"
#include "skin/ui/SkinPaint.h"
#include "skin/ui/TSKINControl.h"

namespace zonda {

struct TSKINButtonParams {
  QPoint up, over, down;           // sheet origins, normal state
  QPoint sel, overSel, downSel;    // sheet origins, selected state
  bool isSwitch = false;
  bool showLabel = false;
  TColor fontColor = 0;
  std::string fontName = "Small Fonts";
  int fontSize = 5;
};

class TSKINButton : public TSKINControl, public TButtonControl {
 public:
  TSKINButton(QWidget* parent, const QImage* skinImage, const TSKINButtonParams& params);

  bool Selected() const override { return selected_; }
  void SetSelected(bool selected) override;
  bool Lit() const override { return lit_; }
  void SetLit(bool lit) override;
  int Tag() const override { return tag_; }
  void SetTag(int tag) override { tag_ = tag; }
  void SetHint(const std::string& hint) override { ApplyHint(hint); }
  void SetHandlers(const TButtonHandlers* handlers) override { handlers_ = handlers; }
  void Press() override;
  void Release() override;

  bool Hovered() const { return hovered_; }
  bool LeftPressed() const { return leftPressed_; }
  bool RightPressed() const { return rightPressed_; }
  // Sheet origin of the picture shown now.
  QPoint PictureOrigin() const;
  const TSKINButtonParams& Params() const { return params_; }

 protected:
  void PointerEnter() override;
  void PointerLeave() override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  void LeftDown();
  void LeftUp();

  TSKINButtonParams params_;
  const TButtonHandlers* handlers_ = nullptr;
  std::string label_;  // empty in this system; drawn centred with showlabel
  bool selected_ = false, lit_ = false, hovered_ = false;
  bool leftPressed_ = false, rightPressed_ = false;
};

}  // namespace zonda
