// PitchTables: per pitch step, the phase increment, angular frequency, sine and cosine.
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

#include "engine/pitch.h"

namespace vantor {

// Rate-dependent; rebuilt when the sample rate changes, read at control rate.
struct PitchTables {
  static constexpr int kSize = kMaxPitchStep + 1;

  std::vector<int32_t> increment;  // 28-bit phase per sample
  std::vector<double> angular;     // radians per sample
  std::vector<double> sine;
  std::vector<double> cosine;

  void Build(double sample_rate);

  static int Clamp(int step) { return std::clamp(step, 0, kMaxPitchStep); }
};

}  // namespace vantor
