// PitchTables construction and the process-wide denormal offsets.
#include "engine/pitch_tables.h"

#include <cmath>

#include "engine/denormal_offset.h"

namespace vantor {
namespace {

static constexpr double kPhaseCycle = 268435456.0;  // 2^28

}  // namespace

void PitchTables::Build(double sample_rate) {
  // The rate is taken in single precision; a nonsensical rate is treated as 1 Hz so that no
  // entry becomes infinite.
  rate = static_cast<float>(sample_rate);
  if (!(rate >= 1.0f)) rate = 1.0f;
  increment.resize(kSize);
  angular.resize(kSize);
  sine.resize(kSize);
  cosine.resize(kSize);
  static constexpr double kTwoPi = 6.283185307179586;
  for (int i = 0; i < kSize; ++i) {
    const double ratio = PitchToFrequency(i) / rate;
    // A pitch at or above the sample rate does not fit the 28-bit phase; only tiny rates reach it.
    increment[i] = static_cast<int32_t>(std::min(ratio * kPhaseCycle, kPhaseCycle - 1.0));
    angular[i] = ratio * kTwoPi;
    sine[i] = std::sin(angular[i]);
    cosine[i] = std::cos(angular[i]);
  }
}

int32_t PitchTables::IncrementAt(int step) const {
  if (step >= 0) return increment[static_cast<size_t>(std::min(step, kMaxPitchStep))];
  return static_cast<int32_t>(PitchToFrequency(step) / rate * kPhaseCycle);
}

DenormalOffset& VoiceFilterDenormalOffset() {
  static DenormalOffset offset;
  return offset;
}
DenormalOffset& LadderFilterDenormalOffset() {
  static DenormalOffset offset;
  return offset;
}
DenormalOffset& PhaserDenormalOffset() {
  static DenormalOffset offset;
  return offset;
}

}  // namespace vantor
