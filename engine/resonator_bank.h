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

  // The same to the bit, the three filters in one loop so that the processor overlaps their
  // long per-sample chains: for the fast render paths.
  void ProcessSideBySide(double* poly, double* dry, double* wet, int n, const PitchTables& tables) {
    for (const LadderFilter& f : filters) {
      if (f.mode == LadderFilter::kOff) return Process(poly, dry, wet, n, tables);
    }
    struct Lane {
      double c4, fb, pole, d;
      double gain[4], sign[4];  // per stage
      double e2, e3, e4;        // the gains that solve the stages ahead
      double input_sign;        // bandpass feeds back positively
      double t[4];
    } lanes[3];
    DenormalOffset& family = LadderFilterDenormalOffset();
    double d = family.Load();
    for (int r = 0; r < 3; ++r) {
      LadderFilter& f = filters[r];
      f.Update(0.0, tables);
      Lane& l = lanes[r];
      const bool band = f.mode == LadderFilter::kBandpass;
      const double ga = f.g, gb = band ? f.gh : f.g;
      const double high = f.mode == LadderFilter::kHighpass ? -1.0 : 1.0;
      // The bandpass alternates lowpass and highpass stages.
      const double odd = band ? 1.0 : high, even = band ? -1.0 : high;
      l = {f.g4,
           f.k,
           f.a,
           d,
           {ga, gb, ga, gb},
           {odd, even, odd, even},
           gb,
           ga,
           gb,
           band ? 1.0 : -1.0,
           {f.s1, f.s2, f.s3, f.s4}};
      // Each filter starts with the offset it would have had run one after another.
      if (n % 2 != 0) d = -d;
    }
    for (int i = 0; i < n; ++i) {
      const double in = poly[i];
      double sum = 0.0;
      for (int r = 0; r < 3; ++r) {
        Lane& l = lanes[r];
        double* t = l.t;
        for (int j = 0; j < 4; ++j)
          t[j] += l.d;
        const double x = in + l.d;
        const double e = l.c4 * x + l.e4 * (l.e3 * (l.e2 * t[0] + t[1]) + t[2]) + t[3];
        double u = x + l.input_sign * (l.fb * e);
        for (int j = 0; j < 4; ++j) {
          const double y = l.gain[j] * u + t[j];
          t[j] = std::clamp(l.sign[j] * (l.gain[j] * u) - l.pole * y, -5.0, 5.0);
          u = y;
        }
        sum += e * gain[r];
        l.d = -l.d;
      }
      poly[i] = sum;
    }
    for (int r = 0; r < 3; ++r) {
      LadderFilter& f = filters[r];
      f.s1 = lanes[r].t[0], f.s2 = lanes[r].t[1], f.s3 = lanes[r].t[2], f.s4 = lanes[r].t[3];
    }
    family.Store(d);
  }
};

}  // namespace vantor
