// SawTables construction: additive synthesis with a raised-cosine taper of the upper harmonics.
#include "engine/saw_tables.h"

#include <cmath>
#include <vector>

namespace vantor {

int SawTables::Harmonics(int t) {
  return static_cast<int>(std::lround(2048.0 / std::pow(std::sqrt(2.0), t)));
}

SawTables::SawTables() {
  static constexpr double kPi = 3.141592653589793;
  // sin(j 2 pi k / 4096) only takes 4096 distinct values: index a sine table by (j k) mod 4096
  // instead of calling sin() millions of times.
  std::vector<double> sine(kLength);
  for (int k = 0; k < kLength; ++k)
    sine[static_cast<size_t>(k)] = std::sin(2.0 * kPi * k / kLength);
  for (int t = 0; t < kCount; ++t) {
    const int harmonics = Harmonics(t);
    std::vector<double> amplitude(static_cast<size_t>(harmonics) + 1, 0.0);
    amplitude[1] = 0.5;
    for (int j = 2; j <= harmonics; ++j) {
      // Taper from 1 down to 0.54 of the 1/j amplitude over the table's harmonics.
      const double taper = 0.54 + 0.46 * std::cos((j - 1) * (kPi / 2) / (harmonics - 1));
      amplitude[static_cast<size_t>(j)] = taper * 0.5 / j;
    }
    std::array<double, kLength>& out = table[static_cast<size_t>(t)];
    for (int k = 0; k < kLength; ++k) {
      double sum = 0.0;
      unsigned phase = 0;
      for (int j = 1; j <= harmonics; ++j) {
        phase = (phase + static_cast<unsigned>(k)) & kIndexMask;
        sum += amplitude[static_cast<size_t>(j)] * sine[phase];
      }
      out[static_cast<size_t>(k)] = sum;
      single[static_cast<size_t>(t)][static_cast<size_t>(k)] = static_cast<float>(sum);
    }
  }
}

const SawTables& SawTables::Get() {
  static const SawTables tables;
  return tables;
}

}  // namespace vantor
