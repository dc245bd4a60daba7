#pragma once
// Small drawing helpers shared by the skin controls.
//
// Skin colours travel as TColor, the platform colour of the skin format:
// 0x00BBGGRR, red in the low byte (ReadSkinColor turns "#RRGGBB" into it).
// Pictures are composed in QImage::Format_RGB32 off-screen images by copying
// rectangles out of the skin picture sheet and by plain pixel spans, so the
// result is exact to the pixel and cheap enough for the 35 ms update tick.
//
// Main thread only (as every skin control).
#include <QColor>
#include <QImage>
#include <QPoint>
#include <QRect>
#include <cstdint>

namespace zonda {

using TColor = uint32_t;

inline int ColorRed(TColor c) { return int(c & 0xFF); }
inline int ColorGreen(TColor c) { return int((c >> 8) & 0xFF); }
inline int ColorBlue(TColor c) { return int((c >> 16) & 0xFF); }
inline TColor MakeColor(int r, int g, int b) {
  return TColor(r & 0xFF) | (TColor(g & 0xFF) << 8) | (TColor(b & 0xFF) << 16);
}
inline QColor ToQColor(TColor c) { return QColor(ColorRed(c), ColorGreen(c), ColorBlue(c)); }
inline QRgb ToRgb(TColor c) { return qRgb(ColorRed(c), ColorGreen(c), ColorBlue(c)); }
inline TColor FromQColor(const QColor& c) { return MakeColor(c.red(), c.green(), c.blue()); }

// Nearest integer, ties to the even neighbour (the rounding the skin format uses).
int RoundHalfEven(double v);

// a * b / c rounded to nearest, halves away from zero; -1 when c is 0.
int MulDiv(int a, int b, int c);

// Copies `src` rectangle of `from` to `at` in `to`; parts outside `from` come out black.
// Both images must be Format_RGB32 (or ARGB32).
void CopyRect(QImage& to, QPoint at, const QImage& from, QRect src);

// Fills the pixels of column x from row y0 to row y1 inclusive (either order), clipped.
void VerticalSpan(QImage& to, int x, int y0, int y1, QRgb color);

// Fills a rectangle, clipped.
void FillRect(QImage& to, QRect r, QRgb color);

// Outline of a rectangle (one pixel), clipped.
void FrameRect(QImage& to, QRect r, QRgb color);

}  // namespace zonda
