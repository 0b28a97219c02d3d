// PolyVoice: one voice of the polyphonic section: footages, filter, envelopes, note state.
#pragma once

#include <cstdint>

#include "engine/envelope_generator.h"
#include "engine/footage_cache.h"
#include "engine/oscillator_bank.h"
#include "engine/pitch_tables.h"
#include "engine/voice_filter.h"

namespace vantor {

// Buffers one control period long that voices borrow in turn while rendering.
struct VoiceScratch {
  double* signal = nullptr;
  double* amp = nullptr;
  double* spare = nullptr;
  uint32_t* phases = nullptr;
  // The fast path's: the voice's reads for the block in `cache`, summed by `kernels`; null
  // renders the footages the reference way.
  const FootageCache* cache = nullptr;
  const FootageSum* footages = nullptr;
  const FootageKernels* kernels = nullptr;
};

struct PolyVoice {
  enum AmpMode : int { kAmpVoice = 0, kAmpGlobal = 1, kAmpGate = 2 };
  // With the global amp envelope the gate stays open this many ticks after a key goes up.
  static constexpr int kGlobalReleaseTicks = 24;

  // Note state.
  int note = 60;
  int octave = 5;
  int semitone = 0;
  int velocity = 0;
  int age = 0;
  bool active = false;
  bool key_held = false;
  bool pedal_down = false;
  bool sustained = false;
  int release_countdown = 0;
  double key_tracking = 0.0;
  double velocity_level = 0.0;
  double velocity_amp = 1.0;

  // Settings from the voice-level parameters.
  bool filter_follows_global = true;
  double env_to_cutoff = 0.0;       // pitch steps
  double keyboard_to_cutoff = 0.0;  // pitch steps
  double velocity_to_cutoff = 0.0;  // pitch steps
  int amp_mode = kAmpVoice;
  double velocity_to_amp = 0.0;

  VoiceFilter filter;
  EnvelopeGenerator envelope;
  EnvelopeGenerator gate;

  PolyVoice();

  // Back to the state after engine initialisation; parameter-derived settings stay.
  void Initialise(double sample_rate);
  // Applies a voice-level parameter; "Filter Cutoff" arrives in pitch steps.
  void ParamChanged(int index, double value);

  void Start(int note, int velocity, int stamp);
  // Silent at once, as at initialisation: for slots the polyphony no longer renders.
  void Stop();
  void Release(bool force);

  void ControlTick(const PitchTables& tables, double global_envelope, int held_keys);
  // Adds the voice into `poly` over n samples; does nothing when inactive.
  void Render(double* poly, int n, const OscillatorBank& bank1, const OscillatorBank& bank2,
              const VoiceScratch& scratch);
  // The first half of Render, for the fast path's voice lanes: the footages into scratch.signal
  // (unfiltered) and the amplitude envelope into scratch.amp.
  void RenderSources(int n, const OscillatorBank& bank1, const OscillatorBank& bank2,
                     const VoiceScratch& scratch);
};

}  // namespace vantor
