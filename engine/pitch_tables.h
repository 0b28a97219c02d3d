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
  float rate = 44100.0f;  // the sample rate of the tables, in single precision

  void Build(double sample_rate);

  // The increment of any step: above the top that of the top; below 0, where the lowest master
  // oscillators go when bent, modulated or tuned down, computed from the step's frequency.
  int32_t IncrementAt(int step) const;

  static int Clamp(int step) { return std::clamp(step, 0, kMaxPitchStep); }
};

}  // namespace vantor
