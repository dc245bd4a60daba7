#pragma once
// An in-place radix-2 FFT (n a power of two) for spectrum measures in tests
// and benchmarks: plain, exact enough, and independent of the code measured.
#include <cmath>
#include <numbers>
#include <utility>
#include <vector>

namespace zonda::test {

inline void Fft(std::vector<double>& re, std::vector<double>& im) {
  const size_t n = re.size();
  for (size_t i = 1, j = 0; i < n; ++i) {
    size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) {
      std::swap(re[i], re[j]);
      std::swap(im[i], im[j]);
    }
  }
  for (size_t len = 2; len <= n; len <<= 1) {
    const double a = -2 * std::numbers::pi / static_cast<double>(len);
    const double wr0 = std::cos(a), wi0 = std::sin(a);
    for (size_t i = 0; i < n; i += len) {
      double wr = 1.0, wi = 0.0;
      for (size_t k = 0; k < len / 2; ++k) {
        const size_t p = i + k, q = i + k + len / 2;
        const double xr = re[q] * wr - im[q] * wi, xi = re[q] * wi + im[q] * wr;
        re[q] = re[p] - xr;
        im[q] = im[p] - xi;
        re[p] += xr;
        im[p] += xi;
        const double t = wr * wr0 - wi * wi0;
        wi = wr * wi0 + wi * wr0;
        wr = t;
      }
    }
  }
}

}  // namespace zonda::test
