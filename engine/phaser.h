// Phaser: four first-order all-pass stages with feedback, swept by a triangle LFO, mixed with dry.
#pragma once

#include "engine/lfo.h"
#include "engine/pitch_tables.h"

namespace vantor {

struct Phaser {
  Lfo lfo;  // always a triangle
  bool on = false;
  double spread = 1.0;         // ratio between successive stage frequencies
  double feedback_sign = 1.0;  // Type 1 feeds back inverted
  double manual = 0.0;         // pitch steps
  double feedback = 0.0;
  double mod_amount = 0.0;  // pitch steps
  double mix = 0.5;

  // Coefficients shared by both channels.
  double g = 0.0;  // product of the four stage coefficients
  double a1 = 0.0, a2 = 0.0, a3 = 0.0, a4 = 0.0;
  double k = 0.0;  // feedback gain
  double norm = 0.0;
  double state[2][4] = {};  // left, right

  // Clears coefficients and states, as after a sample-rate change.
  void Initialise();
  // Applies a phaser parameter; returns false for any other index.
  bool ParamChanged(int index, double value);

  // Ticks the LFO, then places the four stages around the swept frequency.
  void ControlTick(const PitchTables& tables);
  // Filters the two channels in place.
  void Process(double* left, double* right, int n);
  // The same to the bit with both channels in one loop, so that the processor overlaps their
  // per-sample chains: for the fast render paths.
  void ProcessSideBySide(double* left, double* right, int n);
};

}  // namespace vantor
