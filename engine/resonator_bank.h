// ResonatorBank: three ladder filters in parallel that replace the poly signal with fixed peaks.
#pragma once

#include <algorithm>

#include "engine/ladder_filter.h"
#include "engine/param_ids.h"
#include "engine/pitch_tables.h"

namespace vantor {

struct ResonatorBank {
  // Keeps the feedback k = 4 x resonance at or below 3.8, short of self-oscillation.
  static constexpr double kResonanceScale = 0.95;

  bool on = false;
  LadderFilter filters[3];
  double gain[3] = {1.0, 1.0, 1.0};

  ResonatorBank() {
    for (LadderFilter& f : filters) {
      f.clear_state = true;  // a mode change restarts a resonator from rest
      f.SetMode(LadderFilter::kBandpass);
    }
  }

  // After a sample-rate change: off, at rest; coefficients follow at the next sub-block.
  void Initialise() {
    on = false;
    for (LadderFilter& f : filters)
      f.ResetState();
  }

  // Applies a resonator parameter; returns false for any other index.
  bool ParamChanged(int index, double v) {
    if (index == kResonators) {
      on = v >= 0.5;
      return true;
    }
    if (index < kResonator1Mode || index > kResonator3Resonance) return false;
    const int r = (index - kResonator1Mode) / 4;
    LadderFilter& f = filters[r];
    switch ((index - kResonator1Mode) % 4) {
      case 0:  // mode: Lowpass, Highpass, Bandpass
        f.SetMode(std::clamp(static_cast<int>(v), 0, 2) + 1);
        break;
      case 1:
        gain[r] = 2.0 * v;  // 0.5 is unity
        break;
      case 2:
        f.cutoff_steps = v * kMaxPitchStep;
        break;
      default:
        f.resonance = v * kResonanceScale;
        break;
    }
    return true;
  }

  // Replaces n samples of `poly` with the sum of the three resonators; `dry` and `wet` are
  // scratch of n samples.
  void Process(double* poly, double* dry, double* wet, int n, const PitchTables& tables) {
    std::copy(poly, poly + n, dry);
    std::fill(poly, poly + n, 0.0);
    for (int r = 0; r < 3; ++r) {
      filters[r].Update(0.0, tables);  // no modulation: the peaks stay put
      filters[r].Process(dry, wet, n);
      const double g = gain[r];
      for (int i = 0; i < n; ++i)
        poly[i] += wet[i] * g;
    }
  }
};

}  // namespace vantor
