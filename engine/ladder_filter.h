// LadderFilter: four one-pole stages with global feedback, in lowpass, highpass or bandpass.
#pragma once

#include <algorithm>

#include "engine/denormal_offset.h"
#include "engine/pitch_tables.h"

namespace vantor {

struct LadderFilter {
  enum Mode : int { kOff = 0, kLowpass = 1, kHighpass = 2, kBandpass = 3 };

  bool clear_state = false;  // else a mode change leaves the states charged (s1 = +1, s3 = -1)
  int mode = kOff;
  double cutoff_steps = 17280.0;
  double resonance = 0.0;
  double g4 = 0.0, g = 0.0, gh = 0.0, a = 0.0, k = 0.0;
  double s1 = 0.0, s2 = 0.0, s3 = 0.0, s4 = 0.0;

  // Coefficients are cleared until the next update.
  void SetMode(int m) {
    mode = m;
    g4 = g = gh = a = k = 0.0;
    ResetState();
  }
  void ResetState() {
    s2 = s4 = 0.0;
    s1 = clear_state ? 0.0 : 1.0;
    s3 = clear_state ? 0.0 : -1.0;
  }

  void Update(double offset, const PitchTables& tables) {
    if (mode == kOff) return;
    const int index = PitchTables::Clamp(static_cast<int>(offset + cutoff_steps));
    const double w = tables.angular[static_cast<size_t>(index)];
    a = (w - 2.0) / (w + 2.0);
    const double feedback = 4.0 * resonance;
    const double low = w / (w + 2.0);  // bilinear one-pole gains, no prewarping
    const double high = 2.0 / (w + 2.0);
    switch (mode) {
      case kLowpass:
      case kHighpass:
        g = mode == kLowpass ? low : high;
        g4 = g * g * g * g;
        k = feedback / (1.0 + feedback * g4);
        break;
      default:  // bandpass: (Gh Gl)^2 <= 1/16, so the denominator stays positive up to k = 4
        g = low;
        gh = high;
        g4 = (gh * g) * (gh * g);
        k = feedback / (1.0 - feedback * g4);
        break;
    }
  }

  // Filters n samples; `in` and `out` may be the same buffer.
  void Process(const double* in, double* out, int n) {
    if (mode == kOff) {
      if (in != out)
        for (int i = 0; i < n; ++i)
          out[i] = in[i];
      return;
    }
    DenormalOffset& family = LadderFilterDenormalOffset();
    double d = family.Load();
    switch (mode) {
      case kLowpass:
        d = Run<kLowpass>(in, out, n, d);
        break;
      case kHighpass:
        d = Run<kHighpass>(in, out, n, d);
        break;
      default:
        d = Run<kBandpass>(in, out, n, d);
        break;
    }
    family.Store(d);
  }

 private:
  static double Clamp5(double s) { return std::clamp(s, -5.0, 5.0); }

  template <int kMode>
  double Run(const double* in, double* out, int n, double d) {
    // Stage gains: four equal stages, or lowpass/highpass alternating for the bandpass.
    const double ga = g, gb = kMode == kBandpass ? gh : g;
    const double c4 = g4, fb = k, pole = a;
    double t1 = s1, t2 = s2, t3 = s3, t4 = s4;
    for (int i = 0; i < n; ++i) {
      t1 += d;
      t2 += d;
      t3 += d;
      t4 += d;
      const double x = in[i] + d;
      // The stages in series, solved ahead from the present states: equals y4 (1 + k G4).
      const double e = c4 * x + gb * (ga * (gb * t1 + t2) + t3) + t4;
      const double u = kMode == kBandpass ? x + fb * e : x - fb * e;
      double v;
      // Lowpass stage: s' = G in - a y. Highpass stage: s' = -(G in) - a y.
      if constexpr (kMode == kLowpass) {
        const double y1 = ga * u + t1;
        t1 = Clamp5(ga * u - pole * y1);
        const double y2 = ga * y1 + t2;
        t2 = Clamp5(ga * y1 - pole * y2);
        const double y3 = ga * y2 + t3;
        t3 = Clamp5(ga * y2 - pole * y3);
        v = ga * y3 + t4;
        t4 = Clamp5(ga * y3 - pole * v);
      } else if constexpr (kMode == kHighpass) {
        const double y1 = ga * u + t1;
        t1 = Clamp5(-(ga * u) - pole * y1);
        const double y2 = ga * y1 + t2;
        t2 = Clamp5(-(ga * y1) - pole * y2);
        const double y3 = ga * y2 + t3;
        t3 = Clamp5(-(ga * y2) - pole * y3);
        v = ga * y3 + t4;
        t4 = Clamp5(-(ga * y3) - pole * v);
      } else {
        const double y1 = ga * u + t1;
        t1 = Clamp5(ga * u - pole * y1);
        const double y2 = gb * y1 + t2;
        t2 = Clamp5(-(gb * y1) - pole * y2);
        const double y3 = ga * y2 + t3;
        t3 = Clamp5(ga * y2 - pole * y3);
        v = gb * y3 + t4;
        t4 = Clamp5(-(gb * y3) - pole * v);
      }
      out[i] = e;
      d = -d;
    }
    s1 = t1;
    s2 = t2;
    s3 = t3;
    s4 = t4;
    return d;
  }
};

}  // namespace vantor
