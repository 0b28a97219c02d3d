// Flush-to-zero for the duration of a render, restoring the caller's floating-point mode.
#pragma once

#if defined(__SSE__) || defined(_M_X64)
#include <xmmintrin.h>
#endif

namespace vantor {

// Envelopes decaying toward zero would otherwise sink into subnormal numbers, which are slow
// on x86 and leak into the output.
class ScopedFlushDenormals {
 public:
#if defined(__SSE__) || defined(_M_X64)
  ScopedFlushDenormals() : saved_(_mm_getcsr()) {
    _mm_setcsr(saved_ | kFtzDaz);
  }
  ~ScopedFlushDenormals() {
    _mm_setcsr(saved_);
  }

 private:
  static constexpr unsigned kFtzDaz = 0x8040;  // FTZ (bit 15) | DAZ (bit 6)
  unsigned saved_;
#else
  ScopedFlushDenormals() = default;
#endif
  ScopedFlushDenormals(const ScopedFlushDenormals&) = delete;
  ScopedFlushDenormals& operator=(const ScopedFlushDenormals&) = delete;
};

}  // namespace vantor
