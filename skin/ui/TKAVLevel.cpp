#include "skin/ui/TKAVLevel.h"

#include <QPainter>

namespace zonda {

namespace {

// Segment thresholds against ValueDB (level + 11).
constexpr std::array<double, TKAVLevel::kSegments> kThreshold = {
    -48, -40, -35, -30, -25, -20, -15, -10, -8.5, -7, -5.5, -4, -3, -2, -1, 0, 1, 2, 3, 4, 5.5, 7, 8.5, 10};

void BuildTable(std::array<TColor, TKAVLevel::kSegments>& table, TColor c1, TColor c2, TColor c3, TColor c4) {
  for (int s = 0; s <= 5; ++s) table[s] = c1;
  for (int s = 5; s <= 16; ++s) table[s] = TKAVLevel::BlendColor(c1, c2, 12, s - 5);
  const TColor from = (c4 == 0) ? c2 : c4;
  for (int s = 16; s <= 22; ++s) table[s] = TKAVLevel::BlendColor(from, c3, 7, s - 16);
  table[22] = c3;
  table[23] = c3;
}

}  // namespace

TKAVLevel::TKAVLevel(QWidget* parent) : QWidget(parent) {
  // The window's defaults until a skin colours the meter.
  colors_ = {MakeColor(0, 255, 0),   MakeColor(255, 255, 0), MakeColor(255, 0, 0), 0,
             MakeColor(0, 128, 0),   MakeColor(128, 128, 0), MakeColor(128, 0, 0), 0};
  setAttribute(Qt::WA_OpaquePaintEvent);
  RebuildTables();
}

TColor TKAVLevel::BlendColor(TColor a, TColor b, int n, int k) {
  const int t = n == 0 ? 0 : RoundHalfEven(double(k) * 255.0 / double(n));
  const int r = ColorRed(a) + MulDiv(t, ColorRed(b) - ColorRed(a), 254);
  const int g = ColorGreen(a) + MulDiv(t, ColorGreen(b) - ColorGreen(a), 254);
  const int bl = ColorBlue(a) + MulDiv(t, ColorBlue(b) - ColorBlue(a), 254);
  return MakeColor(r, g, bl);
}

void TKAVLevel::SetColor(ColorIndex which, TColor color) {
  colors_[which] = color;
  RebuildTables();
  Compose();
  update();
}

void TKAVLevel::RebuildTables() {
  BuildTable(lit_, colors_[Color1], colors_[Color2], colors_[Color3], colors_[Color4]);
  BuildTable(unlit_, colors_[Color1D], colors_[Color2D], colors_[Color3D], colors_[Color4D]);
}

void TKAVLevel::SetValueDB(double levelDb) {
  valueDb_ = levelDb + 11.0;
  int b = -1;
  if (valueDb_ >= kThreshold[kSegments - 1]) {
    b = kSegments - 1;
  } else {
    for (int k = 0; k < kSegments; ++k)
      if (valueDb_ >= kThreshold[k]) b = k;
  }
  if (b >= peak_ || peakAge_ > 50) {
    peak_ = b;
    peakAge_ = 0;
  }
  ++peakAge_;
  if (b < shown_) b = shown_ - 1;
  shown_ = b;
  Compose();
  update();
}

void TKAVLevel::Compose() {
  const int w = width(), h = height();
  if (w <= 0 || h <= 0) return;
  if (picture_.size() != size()) picture_ = QImage(w, h, QImage::Format_RGB32);
  if (picture_.isNull()) return;  // out of memory: nothing to show
  picture_.fill(qRgb(0, 0, 0));
  const int seg = (h - 23) / 24;
  auto drawSegment = [&](int i, TColor c) {
    const int top = h - seg * (i + 1) - i;
    FillRect(picture_, QRect(0, top, w, seg), ToRgb(c));
  };
  for (int i = 0; i < kSegments; ++i) drawSegment(i, i <= shown_ ? lit_[i] : unlit_[i]);
  if (peak_ >= 0) drawSegment(peak_, lit_[peak_]);
}

void TKAVLevel::resizeEvent(QResizeEvent*) { Compose(); }

void TKAVLevel::paintEvent(QPaintEvent*) {
  if (picture_.size() != size()) Compose();
  QPainter p(this);
  p.drawImage(0, 0, picture_);
}

}  // namespace zonda
