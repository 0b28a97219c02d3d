// SoftClip: a cubic-rational saturator, odd, slope 1 at 0 and flat (+-1) beyond +-3.
#pragma once

namespace vantor {

inline double SoftClip(double x) {
  if (x < -3.0) return -1.0;
  if (x > 3.0) return 1.0;
  const double x2 = x * x;
  return x * (x2 + 27.0) / (9.0 * x2 + 27.0);
}

}  // namespace vantor
