// Lfo: a control-rate oscillator with triangle, sawtooth, square and sample-and-hold shapes.
#pragma once

#include <cstdint>

namespace vantor {

struct Lfo {
  enum Waveform : int { kTriangle = 0, kSawtooth = 1, kSquare = 2, kSampleHold = 3 };

  double phase = -1.0;  // [-1, 1)
  double rate = 0.0;    // phase advance per control tick
  int waveform = kTriangle;
  double held = 0.0;
  double bipolar = 0.0;   // -1 .. 1
  double unipolar = 0.0;  // 0 .. 1

  void Tick() {
    double y;
    switch (waveform) {
      case kSawtooth:
        y = phase;
        break;
      case kSquare:
        y = phase < 0.0 ? 1.0 : -1.0;
        break;
      case kSampleHold:
        if (phase - rate < -1.0) held = NextRandom();  // wrapped at the previous tick
        y = held;
        break;
      default:
        y = 2.0 * (phase < 0.0 ? -phase : phase) - 1.0;
        break;
    }
    bipolar = y;
    unipolar = (y + 1.0) * 0.5;
    phase += rate;
    if (phase >= 1.0) phase -= 2.0;
  }

  // Phase advance per control tick for a speed parameter: about 30 x value Hz at 1 kHz ticks.
  static double RateFromSpeed(double value) { return 2.0 * value * 30.0 / 1000.0; }

  // The process-wide random sequence of the sample-and-hold shape, in [-1, 1).
  static double NextRandom();
  static void SeedRandom(int32_t seed);
};

}  // namespace vantor
