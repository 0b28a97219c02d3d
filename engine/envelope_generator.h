// EnvelopeGenerator: exponential attack, decay to a held sustain level, and release.
#pragma once

#include <algorithm>
#include <cmath>

namespace vantor {

struct EnvelopeGenerator {
  enum Stage : int { kIdle = 0, kAttack = 1, kDecay = 2, kRelease = 3 };

  // Overshooting targets make each stage end in finite time: an attack from 0 to 1 and a release
  // from 1 to 0 both take 10^(4.5 x - 2.3) seconds.
  static constexpr double kAttackTarget = 10.0 / 9.0;
  static constexpr double kReleaseTarget = -1.0 / 9.0;
  static constexpr double kLn10 = 2.302585092994046;

  double output = 0.0;
  bool retrigger = true;
  double attack = 0.0;
  double decay = 0.0;
  double sustain = 1.0;
  double release = 0.0;
  int stage = kIdle;
  double rate_base = kLn10 / 44100.0;
  double target = 0.0;
  double coefficient = 0.0;

  void SetSampleRate(double sample_rate) { rate_base = kLn10 / std::max(sample_rate, 1.0); }
  // Back to silence, as at engine initialisation.
  void Clear() {
    stage = kIdle;
    output = 0.0;
  }

  // Per-sample coefficient of a stage with time setting x (0..1); never above 1, where the
  // one-pole step would overshoot its target (only at absurdly low sample rates).
  double Coefficient(double x) const {
    return std::min(std::pow(10.0, 2.3 - 4.5 * x) * rate_base, 1.0);
  }

  bool idle() const { return stage == kIdle; }
  bool running() const { return stage == kAttack || stage == kDecay; }

  // The attack continues from the present level.
  void StartAttack() {
    stage = kAttack;
    target = kAttackTarget;
    coefficient = Coefficient(attack);
  }
  void StartIfDue() {
    if (retrigger || !running()) StartAttack();
  }
  void Release() {
    stage = kRelease;
    target = kReleaseTarget;
    coefficient = Coefficient(release);
  }

  // Setters act on the running stage at once.
  void SetAttack(double x) {
    attack = x;
    if (stage == kAttack) coefficient = Coefficient(x);
  }
  void SetDecay(double x) {
    decay = x;
    if (stage == kDecay) coefficient = Coefficient(x);
  }
  void SetRelease(double x) {
    release = x;
    if (stage == kRelease) coefficient = Coefficient(x);
  }
  void SetSustain(double level) {
    sustain = level;
    if (stage == kDecay) target = level;
  }

  double Tick() {
    if (stage == kIdle) return output;
    output += (target - output) * coefficient;
    if (stage == kAttack) {
      if (output >= 1.0) {
        output = 1.0;
        stage = kDecay;
        target = sustain;
        coefficient = Coefficient(decay);
      }
    } else if (output <= 0.0) {
      output = 0.0;
      stage = kIdle;
    }
    return output;
  }

  // Idle, or holding a sustain level it has reached exactly: ticks would not change anything.
  bool steady() const {
    return stage == kIdle || (stage == kDecay && output == target && output > 0.0);
  }

  // Ticks n times, writing each output.
  void Render(double* out, int n) {
    if (steady()) {
      std::fill(out, out + n, output);
      return;
    }
    for (int i = 0; i < n; ++i)
      out[i] = Tick();
  }
  // The same as Render, to the bit, with the state held in registers rather than written back
  // every sample (the compiler must assume `out` may alias it): for the fast render paths.
  void RenderInRegisters(double* out, int n) {
    if (steady()) {
      std::fill(out, out + n, output);
      return;
    }
    double level = output, goal = target, step = coefficient;
    int now = stage;
    for (int i = 0; i < n; ++i) {
      if (now != kIdle) {
        level += (goal - level) * step;
        if (now == kAttack) {
          if (level >= 1.0) {
            level = 1.0;
            now = kDecay;
            goal = sustain;
            step = Coefficient(decay);
          }
        } else if (level <= 0.0) {
          level = 0.0;
          now = kIdle;
        }
      }
      out[i] = level;
    }
    output = level;
    target = goal;
    coefficient = step;
    stage = now;
  }
  void Skip(int n) {
    for (int i = 0; i < n && !steady(); ++i)
      Tick();
  }
};

}  // namespace vantor
