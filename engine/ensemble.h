// Ensemble: three modulated delay lines mixed with the dry signal into a left and a right channel.
#pragma once

#include <array>
#include <vector>

namespace vantor {

// Three triangle waves a third of a cycle apart, at control rate.
struct EnsembleLfoSet {
  double phase_a = -1.0;
  double phase_b = -1.0 / 3.0;
  double phase_c = 1.0 / 3.0;
  double rate = 0.0;                // phase advance per control tick
  std::array<double, 3> outputs{};  // 0 .. 1

  void Tick();
};

struct Ensemble {
  static constexpr double kMinDelay = 0.001;    // seconds, at modulation 0
  static constexpr double kDelayRange = 0.016;  // seconds added at full modulation

  EnsembleLfoSet lfo1, lfo2;
  double sample_rate = 0.0;
  double slew_factor = 0.0;
  int length = 0;  // samples per delay line
  std::array<std::vector<double>, 3> lines;
  int write_position = 0;         // the three lines are written together
  std::array<double, 3> delay{};  // samples
  std::array<double, 3> slew{};   // delay change per sample
  bool stereo = true;
  std::array<double, 3> mod_amount{};

  Ensemble() { SetSampleRate(44100.0); }

  // Sizes and clears the delay lines; never called while rendering. The modulation depths
  // return to 0 until their parameters are applied again.
  void SetSampleRate(double rate);
  // Applies an ensemble parameter; returns false for any other index.
  bool ParamChanged(int index, double value);

  // New delay targets from the LFOs; each delay slides to its target over one control period.
  void ControlTick();
  // Writes n samples of left and right from the mono input `in`.
  void Process(const double* in, double* left, double* right, int n);
};

}  // namespace vantor
