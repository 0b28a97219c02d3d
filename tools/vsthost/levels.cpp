// The level meter every render reports: peak, RMS and samples no audio should hold.
#include <algorithm>
#include <cmath>
#include <cstdio>

#include "tools/vsthost/audio_file.h"

namespace vsthost {

void Levels::Add(const float* left, const float* right, int frames) {
  for (const float* channel : {left, right}) {
    for (int i = 0; i < frames; ++i) {
      const float v = channel[i];
      switch (std::fpclassify(v)) {
        case FP_NAN:
        case FP_INFINITE:
          ++non_finite;
          continue;
        case FP_SUBNORMAL:
          ++subnormal;
          break;
        default:
          break;
      }
      const double a = std::fabs(static_cast<double>(v));
      peak = std::max(peak, a);
      sum_squares += a * a;
    }
  }
  samples += 2L * frames;
}

void Levels::Merge(const Levels& other) {
  peak = std::max(peak, other.peak);
  sum_squares += other.sum_squares;
  samples += other.samples;
  non_finite += other.non_finite;
  subnormal += other.subnormal;
}

double Levels::Rms() const {
  return samples > 0 ? std::sqrt(sum_squares / samples) : 0.0;
}

double Levels::Db(double linear) {
  return linear > 0.0 ? 20.0 * std::log10(linear) : -INFINITY;
}

std::string FormatDb(double linear) {
  if (!(linear > 0.0)) return "silence";
  char text[32];
  snprintf(text, sizeof text, "%.1f dBFS", Levels::Db(linear));
  return text;
}

}  // namespace vsthost
