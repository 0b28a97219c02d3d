// VoiceFilter: the per-voice resonant biquad (lowpass, highpass, constant-skirt bandpass).
#pragma once

#include "engine/denormal_offset.h"
#include "engine/pitch_tables.h"

namespace vantor {

struct VoiceFilter {
  enum Mode : int { kBypass = 0, kLowpass = 1, kHighpass = 2, kBandpass = 3 };

  int mode = kBypass;
  double cutoff_steps = 17280.0;
  double resonance = 0.0;
  double b0 = 0.0, b1 = 0.0, a1 = 0.0, a2 = 0.0;
  double x1 = 0.0, x2 = 0.0, y1 = 0.0, y2 = 0.0;

  void Clear() {
    b0 = b1 = a1 = a2 = 0.0;
    x1 = x2 = y1 = y2 = 0.0;
  }
  void SetMode(int m) {
    mode = m;
    Clear();
  }

  // Coefficients for the cutoff moved by `offset` pitch steps; once per control tick.
  void Update(double offset, const PitchTables& tables) {
    if (mode == kBypass) return;
    const int index = PitchTables::Clamp(static_cast<int>(offset + cutoff_steps));
    const double s = tables.sine[static_cast<size_t>(index)];
    const double cs = tables.cosine[static_cast<size_t>(index)];
    const double q = resonance * 20.5 + 0.5;  // Q from 0.5 to 21
    const double alpha = s / (2.0 * q);
    const double g = 1.0 / (1.0 + alpha);
    a1 = 2.0 * cs * g;
    a2 = (alpha - 1.0) * g;
    switch (mode) {
      case kLowpass:
        b1 = (1.0 - cs) * g;
        b0 = b1 * 0.5;
        break;
      case kHighpass:
        b1 = -(1.0 + cs) * g;
        b0 = b1 * -0.5;
        break;
      default:  // bandpass: peak gain Q
        b1 = 0.0;
        b0 = q * alpha * g;
        break;
    }
  }

  // Filters n samples; `in` and `out` may be the same buffer.
  void Process(const double* in, double* out, int n) {
    if (mode == kBypass) {
      if (in != out)
        for (int i = 0; i < n; ++i)
          out[i] = in[i];
      return;
    }
    DenormalOffset& family = VoiceFilterDenormalOffset();
    double d = family.Load();
    if (mode == kBandpass)
      d = Run<true>(in, out, n, d);
    else
      d = Run<false>(in, out, n, d);
    family.Store(d);
  }

 private:
  template <bool kBand>
  double Run(const double* in, double* out, int n, double d) {
    double sx1 = x1, sx2 = x2, sy1 = y1, sy2 = y2;
    const double c0 = b0, c1 = b1, c2 = a1, c3 = a2;
    for (int i = 0; i < n; ++i) {
      sx1 += d;
      sx2 += d;
      sy1 += d;
      sy2 += d;
      const double x = in[i] + d;
      const double y = kBand ? (x - sx2) * c0 + c2 * sy1 + c3 * sy2
                             : (x + sx2) * c0 + c1 * sx1 + c2 * sy1 + c3 * sy2;
      sx2 = sx1;
      sx1 = x;
      sy2 = sy1;
      sy1 = y;
      out[i] = y;
      d = -d;
    }
    x1 = sx1;
    x2 = sx2;
    y1 = sy1;
    y2 = sy2;
    return d;
  }
};

}  // namespace vantor
