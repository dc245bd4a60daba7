#include "skin/ui/SkinPaint.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>

namespace zonda {

int RoundHalfEven(double v) {
  if (!std::isfinite(v)) return 0;
  v = std::clamp(v, -2147483648.0, 2147483647.0);
  double r = std::round(v);
  if (std::fabs(v - std::trunc(v)) == 0.5) r = 2.0 * std::round(v / 2.0);
  return int(r);
}

int MulDiv(int a, int b, int c) {
  if (c == 0) return -1;
  int64_t p = int64_t(a) * int64_t(b);
  bool negative = (p < 0) != (c < 0);
  int64_t ap = std::llabs(p), ac = std::llabs(int64_t(c));
  int64_t q = (ap + ac / 2) / ac;
  return int(negative ? -q : q);
}

void CopyRect(QImage& to, QPoint at, const QImage& from, QRect src) {
  const int w = src.width(), h = src.height();
  for (int row = 0; row < h; ++row) {
    const int dy = at.y() + row;
    if (dy < 0 || dy >= to.height()) continue;
    auto* line = reinterpret_cast<QRgb*>(to.scanLine(dy));
    const int sy = src.y() + row;
    const bool rowInside = sy >= 0 && sy < from.height();
    const auto* sline = rowInside ? reinterpret_cast<const QRgb*>(from.constScanLine(sy)) : nullptr;
    // Visible destination columns.
    const int c0 = std::max(0, -at.x()), c1 = std::min(w, to.width() - at.x());
    for (int col = c0; col < c1;) {
      const int sx = src.x() + col;
      if (!sline || sx < 0 || sx >= from.width()) {
        line[at.x() + col] = qRgb(0, 0, 0);
        ++col;
        continue;
      }
      const int run = std::min(c1 - col, from.width() - sx);
      std::memcpy(line + at.x() + col, sline + sx, size_t(run) * sizeof(QRgb));
      col += run;
    }
  }
}

void VerticalSpan(QImage& to, int x, int y0, int y1, QRgb color) {
  if (x < 0 || x >= to.width()) return;
  if (y0 > y1) std::swap(y0, y1);
  y0 = std::max(y0, 0);
  y1 = std::min(y1, to.height() - 1);
  for (int y = y0; y <= y1; ++y) reinterpret_cast<QRgb*>(to.scanLine(y))[x] = color;
}

void FillRect(QImage& to, QRect r, QRgb color) {
  r = r.intersected(to.rect());
  if (r.isEmpty()) return;
  for (int y = r.top(); y <= r.bottom(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(to.scanLine(y));
    std::fill(line + r.left(), line + r.right() + 1, color);
  }
}

void FrameRect(QImage& to, QRect r, QRgb color) {
  if (r.isEmpty()) return;
  FillRect(to, QRect(r.left(), r.top(), r.width(), 1), color);
  FillRect(to, QRect(r.left(), r.bottom(), r.width(), 1), color);
  FillRect(to, QRect(r.left(), r.top(), 1, r.height()), color);
  FillRect(to, QRect(r.right(), r.top(), 1, r.height()), color);
}

}  // namespace zonda
