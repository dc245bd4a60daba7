#pragma once
// TFFT<T>: an in-place radix-2 complex FFT plan for a power-of-two size up to
// 1024 (the equaliser uses 512). The plan (bit-reversal table and twiddle
// factors) is made once at construction; Forward and Inverse then never allocate.
//
// Scaling: Forward computes X[k] = sum x[n] e^(-2 pi i n k / N), unscaled;
// Inverse computes x[n] = (1/N) sum X[k] e^(+2 pi i n k / N).
//
// Threads: a plan is read-only after construction, so several threads may use
// one plan on their own data.
#include <cmath>
#include <cstdint>
#include <vector>

namespace zonda {

template <typename T>
struct TComplex {
  T re = 0;
  T im = 0;
};

template <typename T>
class TFFT {
 public:
  static constexpr int32_t kMaxSize = 1024;

  // size is rounded down to a power of two and limited to 2..kMaxSize.
  explicit TFFT(int32_t size) {
    int32_t n = 2;
    while (n * 2 <= size && n * 2 <= kMaxSize) n *= 2;
    size_ = n;
    int32_t bits = 0;
    while ((1 << bits) < n) ++bits;
    reversed_.resize(static_cast<size_t>(n));
    for (int32_t i = 0; i < n; ++i) {
      int32_t r = 0;
      for (int32_t b = 0; b < bits; ++b) r |= ((i >> b) & 1) << (bits - 1 - b);
      reversed_[static_cast<size_t>(i)] = r;
    }
    // Twiddles e^(-2 pi i k / len) for every stage len = 4..N, k < len/2, stored
    // stage after stage so each butterfly loop reads them in order. Computed in
    // double for every T.
    const double pi = 3.14159265358979323846;
    twiddles_.clear();
    for (int32_t len = 4; len <= n; len *= 2) {
      for (int32_t k = 0; k < len / 2; ++k) {
        const double a = -2.0 * pi * k / len;
        twiddles_.push_back({static_cast<T>(std::cos(a)), static_cast<T>(std::sin(a))});
      }
    }
  }

  int32_t Size() const noexcept { return size_; }

  void Forward(TComplex<T>* data) const noexcept {
    BitReverse(data);
    Butterflies(data, false);
  }

  void Inverse(TComplex<T>* data) const noexcept {
    BitReverse(data);
    Butterflies(data, true);
    Scale(data);
  }

  // The same transforms without the reordering pass, for convolution: the
  // forward one leaves its result in bit-reversed order, the inverse one takes
  // bit-reversed input, so a point-by-point product in between (with the other
  // factor bit-reversed too, see BitReverse) never needs the natural order.
  // upperHalfZero: the forward input's upper half is known to be zero.
  void ForwardToBitReversed(TComplex<T>* d, bool upperHalfZero = false) const noexcept {
    const int32_t n = size_;
    int32_t len = n;
    if (upperHalfZero) {
      if (n >= 8) {
        // First stage with b = 0: a stays, the lower output is a times the twiddle.
        const int32_t half = n / 2;
        const TComplex<T>* tw = twiddles_.data() + (half - 2);
        for (int32_t k = 0; k < half; ++k) {
          const TComplex<T> x = d[k];
          d[k + half] = {x.re * tw[k].re - x.im * tw[k].im, x.re * tw[k].im + x.im * tw[k].re};
        }
        len = half;
      } else {
        for (int32_t k = n / 2; k < n; ++k) d[k] = {T(0), T(0)};
      }
    }
    for (; len >= 8; len /= 2) {
      const int32_t half = len / 2;
      const TComplex<T>* tw = twiddles_.data() + (half - 2);
      for (int32_t start = 0; start < n; start += len) {
        TComplex<T>* a = d + start;
        TComplex<T>* b = d + start + half;
        for (int32_t k = 0; k < half; ++k) {
          const T dr = a[k].re - b[k].re, di = a[k].im - b[k].im;
          a[k].re += b[k].re;
          a[k].im += b[k].im;
          b[k].re = dr * tw[k].re - di * tw[k].im;
          b[k].im = dr * tw[k].im + di * tw[k].re;
        }
      }
    }
    if (n == 2) {
      const TComplex<T> x = d[0], y = d[1];
      d[0] = {x.re + y.re, x.im + y.im};
      d[1] = {x.re - y.re, x.im - y.im};
      return;
    }
    // Stages of length 4 and 2 together: their twiddles are 1 and -i.
    for (int32_t i = 0; i < n; i += 4) {
      const TComplex<T> s0{d[i].re + d[i + 2].re, d[i].im + d[i + 2].im};
      const TComplex<T> s2{d[i].re - d[i + 2].re, d[i].im - d[i + 2].im};
      const TComplex<T> s1{d[i + 1].re + d[i + 3].re, d[i + 1].im + d[i + 3].im};
      const TComplex<T> u{d[i + 1].re - d[i + 3].re, d[i + 1].im - d[i + 3].im};
      const TComplex<T> s3{u.im, -u.re};
      d[i] = {s0.re + s1.re, s0.im + s1.im};
      d[i + 1] = {s0.re - s1.re, s0.im - s1.im};
      d[i + 2] = {s2.re + s3.re, s2.im + s3.im};
      d[i + 3] = {s2.re - s3.re, s2.im - s3.im};
    }
  }

  void InverseFromBitReversed(TComplex<T>* d) const noexcept {
    Butterflies(d, true);
    Scale(d);
  }

  // Reorders data between natural and bit-reversed order (its own inverse).
  void BitReverse(TComplex<T>* d) const noexcept {
    for (int32_t i = 0; i < size_; ++i) {
      const int32_t r = reversed_[static_cast<size_t>(i)];
      if (r > i) {
        const TComplex<T> t = d[i];
        d[i] = d[r];
        d[r] = t;
      }
    }
  }

 private:
  void Scale(TComplex<T>* data) const noexcept {
    const T scale = T(1) / static_cast<T>(size_);
    for (int32_t i = 0; i < size_; ++i) {
      data[i].re *= scale;
      data[i].im *= scale;
    }
  }

  // Decimation-in-time butterflies on bit-reversed input, natural-order output.
  void Butterflies(TComplex<T>* d, bool inverse) const noexcept {
    const int32_t n = size_;
    // Stages of length 2 and 4 together: their twiddles are 1 and -i (+i inverse).
    if (n == 2) {
      const TComplex<T> a = d[0], b = d[1];
      d[0] = {a.re + b.re, a.im + b.im};
      d[1] = {a.re - b.re, a.im - b.im};
      return;
    }
    for (int32_t i = 0; i < n; i += 4) {
      const TComplex<T> s0{d[i].re + d[i + 1].re, d[i].im + d[i + 1].im};
      const TComplex<T> s1{d[i].re - d[i + 1].re, d[i].im - d[i + 1].im};
      const TComplex<T> s2{d[i + 2].re + d[i + 3].re, d[i + 2].im + d[i + 3].im};
      const TComplex<T> s3{d[i + 2].re - d[i + 3].re, d[i + 2].im - d[i + 3].im};
      const TComplex<T> t = inverse ? TComplex<T>{-s3.im, s3.re} : TComplex<T>{s3.im, -s3.re};
      d[i] = {s0.re + s2.re, s0.im + s2.im};
      d[i + 2] = {s0.re - s2.re, s0.im - s2.im};
      d[i + 1] = {s1.re + t.re, s1.im + t.im};
      d[i + 3] = {s1.re - t.re, s1.im - t.im};
    }
    // Longer stages; the inverse uses the conjugate twiddles.
    const TComplex<T>* tw = twiddles_.data() + 2;
    const T sign = inverse ? T(-1) : T(1);
    for (int32_t len = 8; len <= n; len *= 2) {
      const int32_t half = len / 2;
      for (int32_t start = 0; start < n; start += len) {
        TComplex<T>* a = d + start;
        TComplex<T>* b = d + start + half;
        for (int32_t k = 0; k < half; ++k) {
          const T wr = tw[k].re;
          const T wi = sign * tw[k].im;
          const T tr = b[k].re * wr - b[k].im * wi;
          const T ti = b[k].re * wi + b[k].im * wr;
          b[k].re = a[k].re - tr;
          b[k].im = a[k].im - ti;
          a[k].re += tr;
          a[k].im += ti;
        }
      }
      tw += half;
    }
  }

  int32_t size_ = 0;
  std::vector<int32_t> reversed_;
  std::vector<TComplex<T>> twiddles_;
};

}  // namespace zonda
