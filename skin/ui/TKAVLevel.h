#pragma once
// TKAVLevel: one level meter, a vertical stack of 24 segments lit from the
// bottom, with a bar that rises at once and falls one segment per update and a
// peak segment held for about 50 updates (1.8 s at the 35 ms tick).
//
// The main window owns four of them (deck A, deck B, master left and right),
// hidden until a skin's "vumeter" element places and colours one. The periodic
// update calls SetValueDB every tick; each call advances the bar and the peak
// once and composes the picture off-screen, so repainting (exposes included)
// never moves the meter on its own.
//
//   TKAVLevel meter(&window);
//   meter.setGeometry(10, 10, 12, 71);
//   meter.SetValueDB(-6.0);
//
// Main thread only.
#include <QImage>
#include <QWidget>
#include <array>

#include "skin/ui/SkinPaint.h"

namespace zonda {

class TKAVLevel : public QWidget {
 public:
  static constexpr int kSegments = 24;
  // Lit colours Color1..Color4 of the four zones, then the unlit Color1D..Color4D.
  enum ColorIndex { Color1, Color2, Color3, Color4, Color1D, Color2D, Color3D, Color4D };

  explicit TKAVLevel(QWidget* parent = nullptr);

  // Level in dB (the meter stores level + 11); advances bar and peak, repaints.
  void SetValueDB(double levelDb);
  double ValueDB() const { return valueDb_; }

  void SetColor(ColorIndex which, TColor color);
  TColor Color(ColorIndex which) const { return colors_[which]; }

  // blend(a, b, n, k) of the colour tables: t = round(k*255/n), each channel
  // a + MulDiv(t, b - a, 254).
  static TColor BlendColor(TColor a, TColor b, int n, int k);

  // State, for the skin viewer and tests.
  int ShownSegment() const { return shown_; }
  int PeakSegment() const { return peak_; }
  TColor LitColor(int segment) const { return lit_[segment]; }
  TColor UnlitColor(int segment) const { return unlit_[segment]; }
  const QImage& Picture() const { return picture_; }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void RebuildTables();
  void Compose();

  std::array<TColor, 8> colors_{};
  std::array<TColor, kSegments> lit_{};
  std::array<TColor, kSegments> unlit_{};
  double valueDb_ = -96.0 + 11.0;
  int shown_ = 23;
  int peak_ = -1;
  int peakAge_ = 0;
  QImage picture_;
};

}  // namespace zonda
