#pragma once
// TSKINTextArea: a read-out or label. Transparent areas show the skin picture
// behind their text; opaque ones fill with their back colour. With the
// ellipsis flag (set by the bound text action) a text too wide for the area
// is cut by characters, two at a time, and shown with " ..." appended.
//
// Font sizes are points at 96 pixels per inch, the resolution the skins are
// drawn for, so a skin looks the same on every screen.
//
// Main thread only.
#include <QFont>
#include <QPoint>
#include <QSize>
#include <string>

#include "skin/ActionControl.h"
#include "skin/ui/SkinPaint.h"
#include "skin/ui/TSKINControl.h"

namespace zonda {

enum class TSkinAlign { Left, Center, Right };

struct TSKINTextAreaParams {
  QSize size;
  TColor backColor = 0, fontColor = 0;
  std::string fontName = "Arial";
  int fontSize = 8;  // points
  bool bold = false, italic = false;
  TSkinAlign align = TSkinAlign::Left;
  bool borderVisible = false;
  bool transparent = false;
};

class TSKINTextArea : public TSKINControl, public TTextControl {
 public:
  TSKINTextArea(QWidget* parent, const QImage* skinImage, const TSKINTextAreaParams& params);

  const std::string& Text() const override { return text_; }
  void SetText(const std::string& text) override;
  void SetEllipsis(bool ellipsis) override { ellipsis_ = ellipsis; }
  int Tag() const override { return tag_; }
  void SetTag(int tag) override { tag_ = tag; }
  void SetHint(const std::string& hint) override { ApplyHint(hint); }
  void SetHandlers(const TTextHandlers* handlers) override { handlers_ = handlers; }

  const std::string& ShownText() const { return shown_; }
  QPoint TextOrigin() const { return origin_; }
  const QFont& Font() const { return font_; }
  const TSKINTextAreaParams& Params() const { return params_; }

 protected:
  void PointerEnter() override {}
  void PointerLeave() override {}
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  TSKINTextAreaParams params_;
  const TTextHandlers* handlers_ = nullptr;
  QFont font_;
  bool ellipsis_ = false;
  std::string text_, shown_;
  QPoint origin_;
};

// The font a skin names, at `points` points on a 96-dpi grid.
QFont SkinFont(const std::string& name, int points, bool bold, bool italic);

}  // namespace zonda
