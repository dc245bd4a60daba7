#pragma once
// TFlushDenormals: while it lives, the calling thread's SSE unit flushes
// denormal numbers to zero (FTZ and DAZ), then the caller's setting comes
// back. Recursive filters decaying into silence otherwise crawl through
// denormals at many times their normal cost, on the audio thread.
//
//   { TFlushDenormals flush; descriptor->run(instance, frames); }
//
// Any thread; no allocation. Without SSE it does nothing.
#if defined(__SSE__)
#include <xmmintrin.h>
#endif

namespace zonda {

class TFlushDenormals {
 public:
#if defined(__SSE__)
  static constexpr unsigned int kFlushBits = 0x8040;  // MXCSR: flush to zero (bit 15), denormals are zero (bit 6)
  TFlushDenormals() noexcept : saved_(_mm_getcsr()) { _mm_setcsr(saved_ | kFlushBits); }
  ~TFlushDenormals() { _mm_setcsr(saved_); }
#else
  TFlushDenormals() noexcept = default;
#endif
  TFlushDenormals(const TFlushDenormals&) = delete;
  TFlushDenormals& operator=(const TFlushDenormals&) = delete;

 private:
#if defined(__SSE__)
  unsigned int saved_;
#endif
};

}  // namespace zonda
