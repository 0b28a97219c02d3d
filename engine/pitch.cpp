// PitchToFrequency: equal-tempered semitones rounded to three decimals, linear in between.
#include "engine/pitch.h"

#include <array>
#include <cmath>
#include <cstdlib>

namespace vantor {
namespace {

struct SemitoneTables {
  std::array<double, 137> up{};    // note n, rounded to three decimals
  std::array<double, 137> down{};  // n semitones below note 0
  SemitoneTables() {
    for (int n = 0; n < 137; ++n) {
      up[n] = std::round(440.0 * std::pow(2.0, (n - 69) / 12.0) * 1000.0) / 1000.0;
      down[n] = 8.176 * std::pow(2.0, -n / 12.0);
    }
  }
};

const SemitoneTables& Tables() {
  static const SemitoneTables tables;
  return tables;
}

}  // namespace

double PitchToFrequency(int p) {
  if (p == 0) return 8.176;
  if (p >= kMaxPitchStep) return 19912.127;
  if (p <= -kMaxPitchStep) return 0.0033570162;
  const SemitoneTables& t = Tables();
  const auto& f = p > 0 ? t.up : t.down;
  const int a = std::abs(p);
  const int s = a / kPitchStepsPerSemitone;
  const int r = a % kPitchStepsPerSemitone;
  return f[s] + (f[s + 1] - f[s]) * r * 0.0078125;
}

}  // namespace vantor
