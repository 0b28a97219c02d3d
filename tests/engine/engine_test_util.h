// Helpers for engine tests: a configured engine, rendering, playing a key, spectrum measurements.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <memory>
#include <vector>

#include "core/vantor_params.h"
#include "engine/engine.h"
#include "engine/render_path.h"
#include "sound_reference.h"

namespace vantor::testing {

// An engine at `rate` with every parameter at its default, as a host would leave it.
inline std::unique_ptr<Engine> DefaultEngine(double rate, int max_block = 512) {
  auto engine = std::make_unique<Engine>();
  engine->Reset(rate, max_block);
  for (int i = 0; i < kParamCount; ++i)
    engine->ParamChanged(i, VantorParamSpec(i).default_value);
  return engine;
}

// Only bank 1's `footage` sounds, untuned and without modulation.
inline void SingleFootage(Engine& engine, int footage) {
  for (int f = 0; f < OscillatorBank::kFootageCount; ++f) {
    engine.ParamChanged(kBank1Saw16 + f, f == footage ? 1.0 : 0.0);
    engine.ParamChanged(kBank2Saw16 + f, 0.0);
  }
  engine.ParamChanged(kBank1Tune, 0);
  engine.ParamChanged(kBank1Fm, 0);
  engine.ParamChanged(kBank2Volume, 0);
}

// Renders `frames` samples in host blocks of `block`; returns the left channel and appends the
// right one to `right_out` when given.
inline std::vector<double> Render(Engine& engine, int frames, int block = 512,
                                  std::vector<double>* right_out = nullptr) {
  std::vector<double> out(static_cast<size_t>(frames));
  std::vector<double> right(static_cast<size_t>(block));
  for (int done = 0; done < frames; done += block) {
    const int n = std::min(block, frames - done);
    double* outputs[2] = {out.data() + done, right.data()};
    engine.RenderBlock(outputs, n);
    if (right_out) right_out->insert(right_out->end(), right.begin(), right.begin() + n);
  }
  return out;
}

// Plays the key of `p` as MIDI on an engine at `rate` with the defaults and `settings`; the
// output, to hold against the reference arithmetic (both sides, which must be alike).
inline std::vector<double> PlayKey(const reference::Settings& settings,
                                   const reference::Performance& p, double rate) {
  auto engine = DefaultEngine(rate);
  for (auto [index, value] : settings)
    engine->ParamChanged(index, value);
  const int period = engine->control_period();
  std::vector<double> right, out = Render(*engine, p.start_tick * period, 512, &right);
  const auto play = [&](int ticks, std::vector<MidiMessage> midi) {
    for (const MidiMessage& m : midi)
      engine->QueueMidiMessage(m);
    const std::vector<double> more = Render(*engine, ticks * period, 512, &right);
    out.insert(out.end(), more.begin(), more.end());
  };
  const auto byte = [](int x) { return static_cast<uint8_t>(x); };
  const int held = p.release_tick < 0 ? p.ticks : p.release_tick;
  play(held - p.start_tick, {{0, 0xE0, byte(p.bend_lsb), byte(p.bend_msb)},
                             {0, 0xB0, 1, byte(p.mod_wheel)},
                             {0, 0x90, byte(p.note), byte(p.velocity)}});
  play(p.ticks - held, {{0, 0x80, byte(p.note), 0}});
  EXPECT_EQ(right, out) << "the right side differs from the left";
  return out;
}

inline double MaxDifference(const std::vector<double>& a, const std::vector<double>& b) {
  double worst = a.size() == b.size() ? 0.0 : HUGE_VAL;
  for (size_t i = 0; i < std::min(a.size(), b.size()); ++i)
    worst = std::max(worst, std::fabs(a[i] - b[i]));
  return worst;
}

// How near a poly render comes to the formulas: to rounding on the reference path; the fast
// paths read the saw tables in single precision, about 1e-7 of full scale (-140 dBFS).
inline double PolyTolerance() {
  return ActiveRenderPath() == RenderPath::kReference ? 1e-9 : 1e-6;
}

inline bool AllFiniteAndNormal(const std::vector<double>& samples) {
  for (double x : samples) {
    if (!std::isfinite(x) || (x != 0.0 && std::fpclassify(x) == FP_SUBNORMAL)) return false;
  }
  return true;
}

inline double Rms(const double* x, int n) {
  double sum = 0.0;
  for (int i = 0; i < n; ++i)
    sum += x[i] * x[i];
  return n > 0 ? std::sqrt(sum / n) : 0.0;
}

// In-place radix-2 FFT; the size must be a power of two.
inline void Fft(std::vector<std::complex<double>>& a) {
  const size_t n = a.size();
  for (size_t i = 1, j = 0; i < n; ++i) {
    size_t bit = n >> 1;
    for (; j & bit; bit >>= 1)
      j ^= bit;
    j ^= bit;
    if (i < j) std::swap(a[i], a[j]);
  }
  for (size_t len = 2; len <= n; len <<= 1) {
    const double angle = -2.0 * M_PI / static_cast<double>(len);
    const std::complex<double> root(std::cos(angle), std::sin(angle));
    for (size_t i = 0; i < n; i += len) {
      std::complex<double> w(1.0);
      for (size_t k = 0; k < len / 2; ++k) {
        const std::complex<double> u = a[i + k], v = a[i + k + len / 2] * w;
        a[i + k] = u + v;
        a[i + k + len / 2] = u - v;
        w *= root;
      }
    }
  }
}

// Power spectrum (bins 0 .. n/2) of the first n samples under a 4-term Blackman-Harris window,
// whose sidelobes (-92 dB) stay below what is measured.
inline std::vector<double> PowerSpectrum(const std::vector<double>& x, size_t n) {
  std::vector<std::complex<double>> a(n);
  for (size_t i = 0; i < n; ++i) {
    const double t = 2.0 * M_PI * static_cast<double>(i) / static_cast<double>(n);
    const double w =
        0.35875 - 0.48829 * std::cos(t) + 0.14128 * std::cos(2 * t) - 0.01168 * std::cos(3 * t);
    a[i] = x[i] * w;
  }
  Fft(a);
  std::vector<double> power(n / 2 + 1);
  for (size_t i = 0; i < power.size(); ++i)
    power[i] = std::norm(a[i]);
  return power;
}

// Magnitude of the spectrum of (already windowed) x at frequency f (Hz).
inline double SpectrumAt(const std::vector<double>& x, double f, double rate) {
  const double w = 2.0 * M_PI * f / rate;
  const std::complex<double> step(std::cos(w), -std::sin(w));
  std::complex<double> z(1.0), sum(0.0);
  for (double sample : x) {
    sum += sample * z;
    z *= step;
  }
  return std::abs(sum);
}

// The frequency of the strongest spectral peak within `cents` of `guess` in a Hann window: a
// scan in quarters of the window's resolution, then a golden-section refinement.
inline double PeakFrequency(const std::vector<double>& signal, double guess, double rate,
                            double cents = 20.0) {
  std::vector<double> x(signal);
  const double n = static_cast<double>(x.size());
  for (size_t i = 0; i < x.size(); ++i)
    x[i] *= 0.5 - 0.5 * std::cos(2.0 * M_PI * static_cast<double>(i) / n);
  const double lo = guess * std::pow(2.0, -cents / 1200.0);
  const double hi = guess * std::pow(2.0, cents / 1200.0);
  const double step = rate / n / 4.0;
  double best = lo, best_level = -1.0;
  for (double f = lo; f <= hi; f += step) {
    const double level = SpectrumAt(x, f, rate);
    if (level > best_level) {
      best_level = level;
      best = f;
    }
  }
  double a = best - step, b = best + step;
  const double ratio = 0.6180339887498949;
  for (int i = 0; i < 30; ++i) {
    const double c = b - ratio * (b - a), d = a + ratio * (b - a);
    if (SpectrumAt(x, c, rate) > SpectrumAt(x, d, rate))
      b = d;
    else
      a = c;
  }
  return 0.5 * (a + b);
}

inline double EqualTempered(int note) {
  return 440.0 * std::pow(2.0, (note - 69) / 12.0);
}

}  // namespace vantor::testing
