// PolyVoice: start and release, the control tick that drives the filter, and the render chain.
#include "engine/poly_voice.h"

#include <algorithm>

#include "engine/param_ids.h"

namespace vantor {

PolyVoice::PolyVoice() {
  // The gate is a fast fixed envelope that follows the key.
  gate.attack = 0.01;
  gate.decay = 0.0;
  gate.sustain = 1.0;
  gate.release = 0.01;
}

void PolyVoice::Initialise(double sample_rate) {
  Stop();
  note = 60;
  octave = 5;
  semitone = 0;
  velocity = age = 0;
  key_tracking = velocity_level = 0.0;
  filter.Clear();
  envelope.SetSampleRate(sample_rate);
  gate.SetSampleRate(sample_rate);
}

void PolyVoice::ParamChanged(int index, double v) {
  switch (index) {
    case kFilterMode:
      filter.SetMode(std::clamp(static_cast<int>(v), 0, 3));
      break;
    case kFilterCutoff:
      filter.cutoff_steps = v;
      break;
    case kFilterResonance:
      filter.resonance = v;
      break;
    case kFilterEnvelope:
      filter_follows_global = static_cast<int>(v) != 0;
      break;
    case kEnvToFilterFm:
      env_to_cutoff = v;
      break;
    case kKeyboardToFilterFm:
      keyboard_to_cutoff = v;
      break;
    case kVelocityToFilterFm:
      velocity_to_cutoff = v;
      break;
    case kAmpEnvelope:
      amp_mode = std::clamp(static_cast<int>(v), 0, 2);
      // Voice and Gate modes follow the key: an open gate left by Global mode closes now.
      if (amp_mode != kAmpGlobal && !gate.idle()) gate.Release();
      break;
    case kVelocityToAmpAm:
      velocity_to_amp = v;
      break;
    case kVoiceEnvAttack:
      envelope.SetAttack(v);
      break;
    case kVoiceEnvDecay:
      envelope.SetDecay(v);
      envelope.SetRelease(v);
      break;
    case kVoiceEnvSustain:
      envelope.SetSustain(v > 0.5 ? 1.0 : 0.0);
      break;
    default:
      break;
  }
}

void PolyVoice::Start(int n, int vel, int stamp) {
  note = n;
  octave = n / 12;
  semitone = n % 12;
  velocity = vel;
  age = stamp;
  active = true;
  key_held = true;
  release_countdown = 0;
  envelope.StartAttack();
  gate.StartAttack();
  sustained = pedal_down;
  key_tracking = (n - 36) / 60.0;
  velocity_level = vel * (1.0 / 127.0);
  velocity_amp = (2.0 * velocity_level - 1.0) * velocity_to_amp + 1.0;
}

void PolyVoice::Stop() {
  active = key_held = pedal_down = sustained = false;
  release_countdown = 0;
  envelope.Clear();
  gate.Clear();
}

void PolyVoice::Release(bool force) {
  key_held = false;
  if (sustained) return;
  envelope.Release();
  if (amp_mode != kAmpGlobal || force) {
    gate.Release();
    release_countdown = 0;
  } else {
    release_countdown = kGlobalReleaseTicks;
  }
}

void PolyVoice::ControlTick(const PitchTables& tables, double global_envelope, int held_keys) {
  if (!active) return;
  const double source = filter_follows_global ? global_envelope : envelope.output;
  filter.Update(source * env_to_cutoff + key_tracking * keyboard_to_cutoff +
                    velocity_level * velocity_to_cutoff,
                tables);
  active = !envelope.idle() || !gate.idle();
  if (release_countdown > 0 && --release_countdown == 0 && held_keys > 0) gate.Release();
}

void PolyVoice::RenderSources(int n, const OscillatorBank& bank1, const OscillatorBank& bank2,
                              const VoiceScratch& scratch) {
  double* signal = scratch.signal;
  if (const FootageSum* footages = scratch.footages) {
    scratch.cache->Sum(*footages, *scratch.kernels, signal, n);
  } else {
    std::fill(signal, signal + n, 0.0);
    bank1.Render(signal, scratch.phases, n, note);
    bank2.Render(signal, scratch.phases, n, note);
  }
  // Both envelopes run every sample whichever of them shapes the amplitude.
  double* voice_env = amp_mode == kAmpVoice ? scratch.amp : scratch.spare;
  double* gate_env = amp_mode == kAmpVoice ? scratch.spare : scratch.amp;
  if (scratch.footages) {
    envelope.RenderInRegisters(voice_env, n);
    gate.RenderInRegisters(gate_env, n);
  } else {
    envelope.Render(voice_env, n);
    gate.Render(gate_env, n);
  }
}

void PolyVoice::Render(double* poly, int n, const OscillatorBank& bank1,
                       const OscillatorBank& bank2, const VoiceScratch& scratch) {
  if (!active) return;
  RenderSources(n, bank1, bank2, scratch);
  double* signal = scratch.signal;
  filter.Process(signal, signal, n);
  const double* amp = scratch.amp;
  const double level = velocity_amp;
  for (int i = 0; i < n; ++i)
    poly[i] += amp[i] * level * signal[i];
}

}  // namespace vantor
