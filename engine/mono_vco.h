// MonoVco: the mono section's oscillator: sawtooth, pulse or sine, a square sub one octave down,
// and portamento.
#pragma once

#include <cstdint>

#include "engine/pitch_tables.h"

namespace vantor {

struct MonoVco {
  enum Waveform : int { kSawtooth = 0, kPulse = 1, kSine = 2 };
  static constexpr uint32_t kPhaseMask = (1u << 28) - 1;  // 28-bit phase
  static constexpr uint32_t kHalfCycle = 1u << 27;

  // Settings.
  double portamento = 0.0;  // seconds
  int octave_offset = 0;    // semitones
  int transpose = 0;        // semitones
  int tune = 0;             // pitch steps
  int waveform = kSawtooth;
  double vco_level = 0.0;
  double sub_level = 0.0;

  // Pitch and glide.
  int target_note = 60;
  double current_pitch = 60.0 * 128;  // pitch steps
  double glide_increment = 0.0;       // pitch steps per control tick
  int glide_ticks = 0;
  int pitch_offset = 0;  // pitch steps, from octave, transpose and tune

  // Oscillator.
  const double* main_table;
  const double* sub_table;
  uint32_t phase = 0;
  uint32_t pulse_phase = 0;
  uint32_t increment = 0;
  bool sub_flip = false;  // the sub oscillator's top phase bit

  MonoVco();

  // Back to the state after a sample-rate change; the glide is left as it is.
  void Initialise();

  void SetOctave(int option);
  void SetTranspose(int semitones);
  void SetTune(int steps);

  // Heads for `note`, gliding over the portamento time, or at once without one.
  void GlideTo(int note);

  // Pitch, tables and pulse offset from the pitch modulation (pitch steps) and the pulse width.
  void ControlTick(const PitchTables& tables, double modulation, double pulse_width);

  // Writes n samples into `out`.
  void Render(double* out, int n);

  // Keeps the phases running while the section is silent; the sub flip stands still.
  void Advance(int n);

 private:
  void UpdatePitchOffset() { pitch_offset = (transpose + octave_offset) * 128 + tune; }
};

}  // namespace vantor
