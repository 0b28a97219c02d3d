// MonoVco: glide and table choice at control rate, the oscillator loop per sample.
#include "engine/mono_vco.h"

#include <algorithm>

#include "engine/saw_tables.h"

namespace vantor {
namespace {

static constexpr int kTopTable = SawTables::kCount - 1;  // a single harmonic: the sine

// The waveform and which outputs sound are fixed per sub-block, so they are template arguments.
template <bool kMain, bool kPulse, bool kSub>
void RenderLoop(MonoVco& vco, double* out, int n) {
  const double* main_table = vco.main_table;
  const double* sub_table = vco.sub_table;
  const double vco_level = vco.vco_level, sub_level = vco.sub_level;
  const uint32_t step = vco.increment;
  uint32_t phase = vco.phase, pulse = vco.pulse_phase;
  bool flip = vco.sub_flip;
  for (int i = 0; i < n; ++i) {
    double s = 0.0;
    if constexpr (kMain) {
      double v = main_table[phase >> 16];
      if constexpr (kPulse) {
        v -= main_table[pulse >> 16];
        pulse = (pulse + step) & MonoVco::kPhaseMask;
      }
      s = v * vco_level;
    }
    if constexpr (kSub) {
      // A square at half the frequency: two sawtooths half a sub cycle apart.
      const uint32_t u = (phase >> 1) + (flip ? MonoVco::kHalfCycle : 0u);
      s += (sub_table[u >> 16] - sub_table[((u - MonoVco::kHalfCycle) >> 16) & 0xFFF]) * sub_level;
    }
    phase += step;
    if (phase > MonoVco::kPhaseMask) {
      phase &= MonoVco::kPhaseMask;
      flip = !flip;
    }
    out[i] = s;
  }
  vco.phase = phase;
  vco.pulse_phase = pulse;
  vco.sub_flip = flip;
}

}  // namespace

MonoVco::MonoVco() {
  main_table = sub_table = SawTables::Get().table[0].data();
}

void MonoVco::Initialise() {
  phase = pulse_phase = increment = 0;
  sub_flip = false;
  target_note = 60;
  current_pitch = 60.0 * 128;
  octave_offset = transpose = tune = pitch_offset = 0;
}

void MonoVco::SetOctave(int option) {
  static constexpr int kOffsets[4] = {-24, -12, 0, 12};  // 32', 16', 8', 4'
  octave_offset = kOffsets[std::clamp(option, 0, 3)];
  UpdatePitchOffset();
}

void MonoVco::SetTranspose(int semitones) {
  transpose = semitones;
  UpdatePitchOffset();
}

void MonoVco::SetTune(int steps) {
  tune = steps;
  UpdatePitchOffset();
}

void MonoVco::GlideTo(int note) {
  target_note = note;
  const double ticks = portamento * 1000.0;  // one control tick is about a millisecond
  glide_ticks = portamento > 0.0 ? static_cast<int>(ticks) : 0;
  if (glide_ticks > 0) {
    glide_increment = (note * 128.0 - current_pitch) / ticks;
  } else {
    glide_increment = 0.0;
    current_pitch = note * 128.0;
  }
}

void MonoVco::ControlTick(const PitchTables& tables, double modulation, double pulse_width) {
  if (glide_ticks > 0) {
    current_pitch += glide_increment;
    // The glide lands exactly on the note whatever the rounding on the way.
    if (--glide_ticks == 0) current_pitch = target_note * 128.0;
  }
  const int index = PitchTables::Clamp(static_cast<int>(pitch_offset + current_pitch + modulation));
  increment = static_cast<uint32_t>(tables.increment[static_cast<size_t>(index)]);
  const SawTables& saw = SawTables::Get();
  // The sub sounds an octave lower, so it may carry one octave (two tables) more harmonics.
  sub_table = saw.table[static_cast<size_t>(SawTables::TableFor(increment >> 17))].data();
  if (waveform == kSine) {
    main_table = saw.table[kTopTable].data();
    return;
  }
  main_table = saw.table[static_cast<size_t>(SawTables::TableFor(increment >> 16))].data();
  if (waveform == kPulse) {
    // Width 0 is a square; width 1, or a width outside 0..1, leaves no pulse at all.
    pulse_phase =
        (pulse_width < 0.0 || pulse_width > 1.0)
            ? phase
            : static_cast<uint32_t>(phase + (1.0 - pulse_width) * kHalfCycle) & kPhaseMask;
  }
}

void MonoVco::Render(double* out, int n) {
  const bool main = vco_level > 0.0, sub = sub_level > 0.0;
  const bool pulse = main && waveform == kPulse;
  if (pulse)
    sub ? RenderLoop<true, true, true>(*this, out, n)
        : RenderLoop<true, true, false>(*this, out, n);
  else if (main)
    sub ? RenderLoop<true, false, true>(*this, out, n)
        : RenderLoop<true, false, false>(*this, out, n);
  else
    sub ? RenderLoop<false, false, true>(*this, out, n)
        : RenderLoop<false, false, false>(*this, out, n);
}

void MonoVco::Advance(int n) {
  const uint32_t distance = static_cast<uint32_t>(n) * increment;  // wraps like the phase does
  phase = (phase + distance) & kPhaseMask;
  if (waveform == kPulse) pulse_phase = (pulse_phase + distance) & kPhaseMask;
}

}  // namespace vantor
