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

  void Forward(TComplex<T>* data) const noexcept { Transform(data, false); }

  void Inverse(TComplex<T>* data) const noexcept {
    Transform(data, true);
    const T scale = T(1) / static_cast<T>(size_);
    for (int32_t i = 0; i < size_; ++i) {
      data[i].re *= scale;
      data[i].im *= scale;
    }
  }

 private:
  void Transform(TComplex<T>* d, bool inverse) const noexcept {
    const int32_t n = size_;
    for (int32_t i = 0; i < n; ++i) {
      const int32_t r = reversed_[static_cast<size_t>(i)];
      if (r > i) {
        const TComplex<T> t = d[i];
        d[i] = d[r];
        d[r] = t;
      }
    }
    // Stage of length 2: twiddle 1.
    for (int32_t i = 0; i < n; i += 2) {
      const TComplex<T> a = d[i], b = d[i + 1];
      d[i] = {a.re + b.re, a.im + b.im};
      d[i + 1] = {a.re - b.re, a.im - b.im};
    }
    // Longer stages; the inverse uses the conjugate twiddles.
    const TComplex<T>* tw = twiddles_.data();
    const T sign = inverse ? T(-1) : T(1);
    for (int32_t len = 4; len <= n; len *= 2) {
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
