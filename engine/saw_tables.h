// SawTables: 22 band-limited falling sawtooth tables, half an octave apart in bandwidth.
#pragma once

#include <array>

namespace vantor {

struct SawTables {
  static constexpr int kCount = 22;
  static constexpr int kLength = 4096;
  static constexpr int kIndexMask = kLength - 1;

  std::array<std::array<double, kLength>, kCount> table;

  // Harmonics held by table t: round(2048 / sqrt(2)^t).
  static int Harmonics(int t);

  // The process-wide tables: constant, built on first use and shared by every instance.
  static const SawTables& Get();

 private:
  SawTables();
};

}  // namespace vantor
