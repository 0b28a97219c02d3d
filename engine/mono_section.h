// MonoSection: the monophonic synthesizer: note stack, VCO, noise, VCF, VCA, envelopes and LFO.
#pragma once

#include <array>
#include <cstdint>

#include "engine/envelope_generator.h"
#include "engine/ladder_filter.h"
#include "engine/lfo.h"
#include "engine/mono_vco.h"
#include "engine/pitch_tables.h"

namespace vantor {

struct MonoSection {
  enum VcaSource : int { kVcaAdsr = 0, kVcaGate = 1, kVcaOn = 2 };
  static constexpr int kStackSize = 128;
  static constexpr int kEmpty = 256;  // marks a free stack entry

  // The engine's "mono active" flag: the section has sound to render.
  bool active = false;

  // Held keys, ascending; the last entry is the highest.
  std::array<int, kStackSize> stack;
  int held = 0;

  // The note now playing.
  int note = 60;
  int velocity = 0;
  double key_tracking = 0.0;  // 1 at note 60
  double velocity_level = 0.0;
  double vca_velocity = 1.0;

  MonoVco vco;
  EnvelopeGenerator envelope;
  EnvelopeGenerator gate;  // fixed and fast, follows the keys
  Lfo lfo;
  LadderFilter vcf;

  // Settings from the parameters.
  int bend_range = 256;  // pitch steps at full bend
  double mod_wheel_to_fm = 0.0;
  double mod_wheel_to_cutoff = 0.0;  // pitch steps at full wheel
  double pulse_width = 0.0;
  double pwm_depth = 0.0;
  double fm_depth = 0.0;  // pitch steps
  double noise_level = 0.0;
  double poly_input = 0.0;
  double env_to_cutoff = 0.0;  // the four cutoff modulations, pitch steps
  double key_to_cutoff = 0.0;
  double velocity_to_cutoff = 0.0;
  double lfo_to_cutoff = 0.0;
  double vca_level = 0.5;
  double velocity_to_vca = 0.0;
  int vca_selector = kVcaAdsr;  // decides activity
  int vca_source = kVcaAdsr;    // shapes the amplitude

  MonoSection();

  // Back to the state after a sample-rate change; settings other than the VCO's stay.
  void Initialise(double sample_rate);
  // Applies a parameter of the mono block (including the mono pitch-bend and mod-wheel rows);
  // returns false for any other index.
  bool ParamChanged(int index, double value);

  // Last-note priority while keys are held, the highest held key on release.
  void NoteOn(int note, int velocity);
  void NoteOff(int note, bool pedal_down);
  // Sustain pedal up: with no mono key held, both envelopes release.
  void PedalUp();
  // Empties the note stack (reset, all notes off); all notes off follows it with PedalUp.
  void ClearNotes();

  // Pitch, pulse width, cutoff and activity; the engine ticks the LFO first.
  void ControlTick(const PitchTables& tables, double pitch_bend, double mod_wheel);
  // Writes n samples of the section into `out`; `poly` is the poly signal to feed the VCF, or
  // null while the poly section is silent.
  void Render(double* out, const double* poly, int n);
  // While inactive: only the oscillator phases run; `out` is cleared.
  void RenderIdle(double* out, int n);

  // The white-noise sequence is shared by every instance in the process.
  static void SeedNoise(int32_t seed);

 private:
  void Trigger(int note, int velocity, bool restart);
  double VcaSourceLevel() const;
};

}  // namespace vantor
