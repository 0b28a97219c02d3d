// The sound rules as plain arithmetic, written from their formulas, for tests to hold the engine
// to sample by sample; only the pitch and sawtooth tables are the engine's own (tested apart).
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <utility>
#include <vector>

#include "core/vantor_params.h"
#include "engine/pitch.h"
#include "engine/pitch_tables.h"
#include "engine/saw_tables.h"

namespace vantor::reference {

using Settings = std::vector<std::pair<int, double>>;

// Parameter values: the declared defaults with `settings` applied.
struct Values {
  explicit Values(const Settings& settings) {
    for (int i = 0; i < kParamCount; ++i)
      v[i] = VantorParamSpec(i).default_value;
    for (auto [index, value] : settings)
      v[index] = value;
  }
  double operator[](int index) const { return v[index]; }
  int option(int index) const { return static_cast<int>(v[index]); }
  double v[kParamCount];
};

// One key, with a bend and a mod wheel position sent with it.
struct Performance {
  int note = 60, velocity = 100;
  int release_tick = -1;  // the control tick at which the key goes up; -1 holds it
  int ticks = 300;        // length in control periods
  int bend_lsb = 0, bend_msb = 64, mod_wheel = 0;
  int start_tick = 0;  // the control tick at which the key goes down (poly only)
  double bend() const { return ((bend_msb - 64) * 128 + bend_lsb) / 8192.0; }
  double wheel() const { return mod_wheel / 127.0; }
};

inline constexpr int kBendRanges[4] = {256, 384, 896, 1536};  // 2, 3, 7, 12 semitones
inline constexpr double kMaxCutoffOffset = 12289.0;
inline constexpr uint32_t kPhaseMask = (1u << 28) - 1;

inline double SoftClip(double x) {
  return x < -3.0 ? -1.0 : x > 3.0 ? 1.0 : x * (x * x + 27.0) / (9.0 * x * x + 27.0);
}

inline int Step(double steps) {
  return std::clamp(static_cast<int>(steps), 0, kMaxPitchStep);
}

// Times x is multiplied by 1/sqrt(2) until it is no longer above 1, at most 21.
inline int HalfOctaves(double x) {
  int n = 0;
  for (; x > 1.0 && n < 21; ++n)
    x *= 0.7071067811865476;
  return n;
}

struct Envelope {
  double attack, decay, sustain, release;
  bool retrigger;
  double rate;
  int stage = 0;  // idle, attack, decay, release
  double out = 0.0, target = 0.0, c = 0.0;

  double Coefficient(double x) const {
    return std::pow(10.0, 2.3 - 4.5 * x) * (std::log(10.0) / rate);
  }
  bool idle() const { return stage == 0; }
  void Attack() { stage = 1, target = 10.0 / 9.0, c = Coefficient(attack); }
  void Trigger() {
    if (retrigger || (stage != 1 && stage != 2)) Attack();
  }
  void Release() { stage = 3, target = -1.0 / 9.0, c = Coefficient(release); }
  double Tick() {
    if (stage == 0) return out;
    out = (target - out) * c + out;
    if (stage == 1 && out >= 1.0)
      out = 1.0, stage = 2, target = sustain, c = Coefficient(decay);
    else if (stage != 1 && out <= 0.0)
      out = 0.0, stage = 0;
    return out;
  }
};

inline Envelope GateEnvelope(double rate) {
  return {0.01, 0.0, 1.0, 0.01, true, rate};
}

struct Lfo {
  double rate;  // from a speed parameter v: 2 v 30 / 1000 per tick
  int waveform = 0;
  int32_t seed = 1;  // the sample-and-hold sequence
  double phase = -1.0, held = 0.0, bipolar = 0.0, unipolar = 0.0;
  void Tick() {
    if (waveform == 3 && phase - rate < -1.0) {
      seed = static_cast<int32_t>(static_cast<uint32_t>(seed) * 16807u);
      held = seed * 4.6566129e-10;
    }
    const double shapes[4] = {2.0 * std::fabs(phase) - 1.0, phase, phase < 0.0 ? 1.0 : -1.0, held};
    bipolar = shapes[waveform];
    unipolar = (bipolar + 1.0) * 0.5;
    phase += rate;
    if (phase >= 1.0) phase -= 2.0;
  }
};

inline double LfoRate(double speed) {
  return 2.0 * speed * 30.0 / 1000.0;
}

// The voice's resonant biquad: 1 lowpass, 2 highpass, 3 constant-skirt bandpass, 0 bypass.
struct Biquad {
  int mode;
  double b0 = 0, b1 = 0, a1 = 0, a2 = 0, x1 = 0, x2 = 0, y1 = 0, y2 = 0;
  void Update(const PitchTables& tables, double steps, double resonance) {
    if (mode == 0) return;
    const double s = tables.sine[Step(steps)], cs = tables.cosine[Step(steps)];
    const double q = resonance * 20.5 + 0.5, alpha = s / (2.0 * q), g = 1.0 / (1.0 + alpha);
    a1 = 2.0 * cs * g;
    a2 = (alpha - 1.0) * g;
    b1 = mode == 1 ? (1.0 - cs) * g : mode == 2 ? -(1.0 + cs) * g : 0.0;
    b0 = mode == 3 ? q * alpha * g : b1 * (mode == 1 ? 0.5 : -0.5);
  }
  double Process(double x) {
    if (mode == 0) return x;
    const double y =
        mode == 3 ? (x - x2) * b0 + a1 * y1 + a2 * y2 : (x + x2) * b0 + b1 * x1 + a1 * y1 + a2 * y2;
    x2 = x1, x1 = x, y2 = y1, y1 = y;
    return y;
  }
};

// Four one-pole stages with feedback: 1 lowpass, 2 highpass, 3 bandpass; starts at rest.
struct Ladder {
  int mode;
  double steps, resonance;
  double g4 = 0, gl = 0, gh = 0, a = 0, k = 0, s[4] = {};
  void Update(const PitchTables& tables, double offset) {
    const double w = tables.angular[Step(offset + steps)], r = 4.0 * resonance;
    a = (w - 2.0) / (w + 2.0);
    gl = w / (w + 2.0), gh = 2.0 / (w + 2.0);
    if (mode != 3) gl = gh = mode == 1 ? gl : gh;
    g4 = mode == 3 ? (gh * gl) * (gh * gl) : gl * gl * gl * gl;
    k = mode == 3 ? r / (1.0 - r * g4) : r / (1.0 + r * g4);
  }
  double Process(double x) {
    // Stage gains and whether each stage is a highpass.
    const double gain[4] = {gl, gh, gl, gh};
    const bool high[4] = {mode == 2, mode != 1, mode == 2, mode != 1};
    const double e = g4 * x + gain[1] * (gain[0] * (gain[1] * s[0] + s[1]) + s[2]) + s[3];
    double in = mode == 3 ? x + k * e : x - k * e;
    for (int i = 0; i < 4; ++i) {
      const double y = gain[i] * in + s[i];
      s[i] = std::clamp((high[i] ? -(gain[i] * in) : gain[i] * in) - a * y, -5.0, 5.0);
      in = y;
    }
    return e;
  }
};

// The phaser's four all-pass stages with feedback on one channel; the coefficients follow the
// sweep at each control tick.
struct Phaser {
  double spread, sign;  // Type 1: 0.65 and -1; Type 2: 1 and +1
  double a[4] = {}, g = 0, k = 0, norm = 0, s[4] = {};
  void Tick(const PitchTables& tables, double steps, double feedback) {
    const double w = tables.angular[Step(steps)], f = w * spread * spread;
    const double at[4] = {w, w * spread, f, f * spread};
    for (int i = 0; i < 4; ++i)
      a[i] = 1.0 / (at[i] + 2.0) * (at[i] - 2.0);
    g = a[0] * a[1] * a[2] * a[3];
    k = sign * 0.999 * feedback;
    norm = 1.0 / (k * g + 1.0);
  }
  double Process(double x, double mix) {
    const double y = (g * x + ((s[0] * a[1] + s[1]) * a[2] + s[2]) * a[3] + s[3]) * norm;
    double in = x - k * y;
    for (int i = 0; i < 4; ++i) {
      const double out = a[i] * in + s[i];
      s[i] = in - a[i] * out;
      in = out;
    }
    return x + (y - x) * mix;
  }
};

// One key on the poly section: both banks into the voice's filter and envelopes, the global
// envelope, the poly volume and the output stage. The left output.
inline std::vector<double> PolyKey(const Settings& settings, const Performance& p, double rate) {
  const Values v(settings);
  PitchTables tables;
  tables.Build(rate);
  const auto& saw = SawTables::Get().table;
  const int period = static_cast<int>(rate) / 1000, octave = p.note / 12, semitone = p.note % 12;
  const double key = (p.note - 36) / 60.0, velocity = p.velocity * (1.0 / 127.0);
  const double velocity_amp = (2.0 * velocity - 1.0) * v[kVelocityToAmpAm] + 1.0;
  const int amp_mode = v.option(kAmpEnvelope);
  Envelope voice{v[kVoiceEnvAttack],
                 v[kVoiceEnvDecay],
                 v[kVoiceEnvSustain] > 0.5 ? 1.0 : 0.0,
                 v[kVoiceEnvDecay],
                 true,
                 rate};
  Envelope gate = GateEnvelope(rate);
  Envelope global{v[kGlobalEnvAttack],  v[kGlobalEnvDecay],          v[kGlobalEnvSustain],
                  v[kGlobalEnvRelease], v[kGlobalEnvTrigger] >= 0.5, rate};
  Biquad filter{v.option(kFilterMode)};
  Lfo fm{LfoRate(v[kPolyFmSpeed])}, pwm{LfoRate(v[kPolyPwmSpeed])};
  bool poly = false, sounding = true;
  uint32_t phase[2] = {}, pulse_offset[2] = {};
  int32_t increment[2] = {};
  int level[2] = {};
  std::vector<double> out(static_cast<size_t>(p.ticks * period), 0.0);
  for (int tick = 0; tick < p.ticks; ++tick) {
    if (tick == p.start_tick) voice.Attack(), gate.Attack(), global.Trigger(), poly = true;
    if (tick == p.release_tick) {
      voice.Release();
      if (amp_mode != 1) gate.Release();  // Global mode holds the gate; no other key is down
      global.Release();
    }
    fm.Tick(), pwm.Tick();
    if (!poly) continue;
    const double fm_value = ((p.wheel() - 1.0) * v[kModWheelToPolyFm] + 1.0) * fm.bipolar;
    for (int b = 0; b < 2; ++b) {
      const int bank = b * (kBank2Volume - kBank1Volume);
      const double w = (pwm.unipolar * v[kBank1Pwm + bank] + v[kBank1Pw + bank]) * 0.95;
      pulse_offset[b] = w < 0.0 || w > 1.0 ? 0u : static_cast<uint32_t>((1.0 - w) * 134217728.0);
      const int o = static_cast<int>(fm_value * v[kBank1Fm + bank] +
                                     kBendRanges[v.option(kPolyPitchbendRange)] * p.bend() +
                                     static_cast<int>(v[kBank1Tune + bank]));
      const int step = o + 128 * semitone;  // below note 0 from the frequency, not the table
      increment[b] = step < 0
                         ? static_cast<int32_t>(PitchToFrequency(step) / tables.rate * 268435456.0)
                         : tables.increment[Step(step)];
      level[b] = HalfOctaves(increment[b] >> 7);
    }
    if (sounding) {
      const double source = v.option(kFilterEnvelope) != 0 ? global.out : voice.out;
      const double offset = source * v[kEnvToFilterFm] + key * v[kKeyboardToFilterFm] +
                            velocity * v[kVelocityToFilterFm];
      filter.Update(tables, offset + v[kFilterCutoff] * kMaxPitchStep, v[kFilterResonance]);
      sounding = !voice.idle() || !gate.idle();
    }
    poly = amp_mode == 1 ? !global.idle() : sounding;
    if (!poly) continue;
    for (int i = 0; i < period; ++i) {
      double x = 0.0, y = 0.0;
      if (sounding) {
        for (int b = 0; b < 2; ++b) {
          const int bank = b * (kBank2Volume - kBank1Volume);
          const double volume = v[kBank1Volume + bank];
          const uint32_t at = phase[b] + static_cast<uint32_t>(i + 1) * increment[b];
          const int t16 = std::clamp(level[b] + 2 * octave - 20, 0, 21);
          const int t8 = t16 >= 20 ? 21 : t16 + 2, tables_of[3] = {t16, t8, std::min(t8 + 2, 21)};
          for (int f = 0; f < 6 && volume != 0.0; ++f) {
            const int shift = octave - 1 + f % 3;  // saw 16', 8', 4', then pulse 16', 8', 4'
            if (v[kBank1Saw16 + bank + f] < 0.5 || shift < 0) continue;
            const auto& table = saw[static_cast<size_t>(tables_of[f % 3])];
            const uint32_t shifted = at << shift;
            x += table[(shifted >> 16) & 4095] * volume;
            if (f >= 3) x -= table[((shifted + pulse_offset[b]) >> 16) & 4095] * volume;
          }
        }
        const double filtered = filter.Process(x);
        const double e = voice.Tick(), g = gate.Tick();
        y = (amp_mode == 0 ? e : g) * velocity_amp * filtered;
      }
      const double g = global.Tick();
      if (amp_mode == 1) y *= g;
      y *= 2.0 * v[kPolyVolume];
      if (v[kSoftClipping] >= 0.5) y = SoftClip(y);
      out[static_cast<size_t>(tick * period + i)] = y * v[kMainVolume];
    }
    for (int b = 0; b < 2; ++b)
      phase[b] = (phase[b] + static_cast<uint32_t>(period) * increment[b]) & kPhaseMask;
  }
  return out;
}

// One key on the mono section alone (no portamento, no noise): VCO and sub oscillator, the VCF,
// the VCA and the mono LFO, whose sample-and-hold sequence starts after `seed`. The left output.
inline std::vector<double> MonoKey(const Settings& settings, const Performance& p, double rate,
                                   int32_t seed = 1) {
  const Values v(settings);
  PitchTables tables;
  tables.Build(rate);
  const auto& saw = SawTables::Get().table;
  const int period = static_cast<int>(rate) / 1000;
  static constexpr int kOctaves[4] = {-24, -12, 0, 12};
  const int pitch_offset =
      (static_cast<int>(v[kVcoTranspose]) + kOctaves[v.option(kVcoOctave)]) * 128 +
      static_cast<int>(v[kVcoTune]);
  const double key = p.note / 60.0, velocity = p.velocity * (1.0 / 127.0);
  const double gain = ((2.0 * velocity - 1.0) * v[kVelocityToVcaAm] + 1.0) * 2.0 * v[kMonoVolume];
  const int waveform = v.option(kVcoWaveform), selector = v.option(kVcaEnvelope);
  Envelope envelope{v[kMonoEnvAttack],  v[kMonoEnvDecay],          v[kMonoEnvSustain],
                    v[kMonoEnvRelease], v[kMonoEnvTrigger] >= 0.5, rate};
  Envelope gate = GateEnvelope(rate);
  Ladder vcf{1, v[kVcfCutoff] * kMaxPitchStep, v[kVcfResonance]};
  Lfo lfo{LfoRate(v[kLfoSpeed]), v.option(kLfoWaveform), seed};
  envelope.Attack(), gate.Attack();
  bool active = true, flip = false;
  uint32_t phase = 0, pulse = 0, increment = 0;
  const double *main = nullptr, *sub = nullptr;
  std::vector<double> out(static_cast<size_t>(p.ticks * period), 0.0);
  for (int tick = 0; tick < p.ticks; ++tick) {
    if (tick == p.release_tick) envelope.Release(), gate.Release();
    lfo.Tick();
    if (active) {
      double h = kBendRanges[v.option(kMonoPitchbendRange)] * p.bend();
      if (v[kVcoFm] != 0.0)
        h += ((p.wheel() - 1.0) * v[kModWheelToMonoFm] + 1.0) * v[kVcoFm] * lfo.bipolar;
      const double pw = v[kVcoPwm] * lfo.unipolar + v[kVcoPw];
      increment = static_cast<uint32_t>(tables.increment[Step(pitch_offset + p.note * 128.0 + h)]);
      sub = saw[static_cast<size_t>(HalfOctaves(increment >> 17))].data();
      main = saw[static_cast<size_t>(waveform == 2 ? 21 : HalfOctaves(increment >> 16))].data();
      if (waveform == 1)
        pulse = pw < 0.0 || pw > 1.0
                    ? phase
                    : static_cast<uint32_t>(phase + (1.0 - pw) * 134217728.0) & kPhaseMask;
      vcf.Update(tables, key * v[kKeyToVcfFm] + v[kEnvToVcfFm] * envelope.out +
                             velocity * v[kVelocityToVcfFm] + v[kLfoToVcfFm] * lfo.bipolar +
                             p.wheel() * (v[kModWheelToMonoVcf] * kMaxCutoffOffset));
      if (selector < 2) active = !(selector == 0 ? envelope : gate).idle();
    }
    if (!active) {
      phase = (phase + static_cast<uint32_t>(period) * increment) & kPhaseMask;
      if (waveform == 1) pulse = (pulse + static_cast<uint32_t>(period) * increment) & kPhaseMask;
      continue;
    }
    for (int i = 0; i < period; ++i) {
      double s = 0.0;
      if (v[kVcoToVcf] > 0.0) {
        double x = main[phase >> 16];
        if (waveform == 1) x -= main[pulse >> 16], pulse = (pulse + increment) & kPhaseMask;
        s = x * v[kVcoToVcf];
      }
      if (v[kSubOscToVcf] > 0.0) {
        const uint32_t u = (phase >> 1) + (flip ? 134217728u : 0u);
        s += (sub[u >> 16] - sub[((u - 134217728u) >> 16) & 0xFFF]) * v[kSubOscToVcf];
      }
      phase += increment;
      if (phase > kPhaseMask) phase &= kPhaseMask, flip = !flip;
      const double e = envelope.Tick(), g = gate.Tick();
      const double source = selector == 0 ? e : selector == 1 ? g : 1.0;
      out[static_cast<size_t>(tick * period + i)] = gain * source * vcf.Process(s) * v[kMainVolume];
    }
  }
  return out;
}

}  // namespace vantor::reference
