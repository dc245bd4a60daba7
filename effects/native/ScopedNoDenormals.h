#pragma once
// Flush-to-zero and denormals-are-zero for the span of one "process" call.
//
// Feedback paths (delay lines, reverb, filters, envelopes) decaying towards
// silence reach subnormal floats, which cost the x86 and ARM cores tens of
// times more per operation. The host's own mode is put back on exit.
//
// Audio thread; a register read and write, nothing else.
#include <cstdint>

#if defined(__SSE__) || defined(__x86_64__)
#include <xmmintrin.h>
#endif

namespace zonda::fx {

class TScopedNoDenormals {
 public:
  TScopedNoDenormals() noexcept {
#if defined(__SSE__) || defined(__x86_64__)
    saved_ = _mm_getcsr();
    _mm_setcsr(saved_ | kFlushToZero | kDenormalsAreZero);
#elif defined(__aarch64__)
    uint64_t fpcr;
    asm volatile("mrs %0, fpcr" : "=r"(fpcr));
    saved_ = fpcr;
    asm volatile("msr fpcr, %0" : : "r"(fpcr | kFlushToZero));
#endif
  }
  ~TScopedNoDenormals() {
#if defined(__SSE__) || defined(__x86_64__)
    _mm_setcsr(static_cast<unsigned>(saved_));
#elif defined(__aarch64__)
    asm volatile("msr fpcr, %0" : : "r"(saved_));
#endif
  }
  TScopedNoDenormals(const TScopedNoDenormals&) = delete;
  TScopedNoDenormals& operator=(const TScopedNoDenormals&) = delete;

 private:
#if defined(__SSE__) || defined(__x86_64__)
  static constexpr uint64_t kFlushToZero = 0x8000;       // MXCSR.FTZ
  static constexpr uint64_t kDenormalsAreZero = 0x0040;  // MXCSR.DAZ
#elif defined(__aarch64__)
  static constexpr uint64_t kFlushToZero = 1u << 24;  // FPCR.FZ
#endif
  uint64_t saved_ = 0;
};

}  // namespace zonda::fx
