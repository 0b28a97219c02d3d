// SawTables: 22 band-limited falling sawtooth tables, half an octave apart in bandwidth.
#pragma once

#include <array>

namespace vantor {

struct SawTables {
  static constexpr int kCount = 22;
  static constexpr int kLength = 4096;
  static constexpr int kIndexMask = kLength - 1;

  std::array<std::array<double, kLength>, kCount> table;
  // The same in single precision, for the fast render paths: half the cache.
  std::array<std::array<float, kLength>, kCount> single;

  // Harmonics held by table t: round(2048 / sqrt(2)^t).
  static int Harmonics(int t);

  // Half octaves by which a phase increment (scaled so that 1 is the highest pitch table 0 can
  // play without aliasing) lies above that limit: the table to read, capped at the last one.
  static int TableFor(double scaled_increment) {
    int count = 0;
    while (scaled_increment > 1.0 && count < kCount - 1) {
      scaled_increment *= 0.7071067811865476;
      ++count;
    }
    return count;
  }

  // The process-wide tables: constant, built on first use and shared by every instance.
  static const SawTables& Get();

 private:
  SawTables();
};

}  // namespace vantor
