#pragma once
// Cubic Hermite (Catmull-Rom) interpolation of one channel between y1 and y2.
//
// y0..y3 are four consecutive samples; t in [0, 1) is the fraction past y1.
// The tangents are the central differences m1 = (y2 - y0) / 2 and
// m2 = (y3 - y1) / 2, so t = 0 gives y1 exactly, t = 1 gives y2, straight lines
// are reproduced exactly and the curve's slope is continuous from one segment
// to the next (no kinks at frame boundaries when the read position is fractional).
//
// Any thread (the renderer calls it on the audio thread); no allocation.

namespace zonda {

inline double CubicHermite(double y0, double y1, double y2, double y3, double t) noexcept {
  const double m1 = (y2 - y0) * 0.5;
  const double m2 = (y3 - y1) * 0.5;
  const double t2 = t * t;
  const double t3 = t2 * t;
  return (2.0 * t3 - 3.0 * t2 + 1.0) * y1 + (t3 - 2.0 * t2 + t) * m1 + (t3 - t2) * m2 + (-2.0 * t3 + 3.0 * t2) * y2;
}

}  // namespace zonda
