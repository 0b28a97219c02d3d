// Engine: the sound engine as a plain object; block loop, control ticks, routing and output.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "engine/ensemble.h"
#include "engine/envelope_generator.h"
#include "engine/lfo.h"
#include "engine/midi_message.h"
#include "engine/midi_queue.h"
#include "engine/mono_section.h"
#include "engine/oscillator_bank.h"
#include "engine/param_ids.h"
#include "engine/phaser.h"
#include "engine/pitch_tables.h"
#include "engine/poly_voice.h"
#include "engine/resonator_bank.h"

namespace vantor {

// Receives queued control changes (other than the mod wheel and the sustain pedal) when they
// reach their time; the instrument maps them to parameters.
class ControllerListener {
 public:
  virtual void QueuedControllerDue(int controller, int value) = 0;

 protected:
  ~ControllerListener() = default;
};

class Engine {
 public:
  static constexpr int kMaxVoices = 61;

  Engine();

  // The reset of the instrument: the control period always; the rate-dependent state only when
  // the sample rate differs from the last initialisation (the first call always initialises).
  void Reset(double sample_rate, int max_block_size);

  // Turns a parameter's plain value into engine quantities.
  void ParamChanged(int index, double value);

  // Renders `frames` samples into outputs[0] (left) and outputs[1] (right); both are written in
  // full. Allocates nothing.
  void RenderBlock(double* const* outputs, int frames);

  // Takes a note, pitch bend, pressure or control change from MIDI intake; it applies at the
  // control tick nearest its sample offset. Allocates nothing; when the queue is full, superseded
  // controller data gives way (see MidiQueue).
  void QueueMidiMessage(const MidiMessage& message);
  void SetControllerListener(ControllerListener* listener) { listener_ = listener; }

  // All notes off: releases every voice at once (quickly, through the gates).
  void SilenceAllVoices();

  double sample_rate() const { return sample_rate_; }
  int control_period() const { return control_period_; }
  bool poly_active() const { return poly_active_; }
  bool mono_active() const { return mono_.active; }
  int number_of_voices() const { return number_of_voices_; }
  // Control ticks since construction; the block loop's timing is observable through it.
  uint64_t control_ticks() const { return control_ticks_; }
  const PolyVoice& voice(int slot) const { return voices_[static_cast<size_t>(slot)]; }
  int held_poly_keys() const { return held_poly_keys_; }
  bool sustain_pedal() const { return sustain_pedal_; }
  double pitch_bend() const { return pitch_bend_; }
  double mod_wheel() const { return mod_wheel_; }
  int split_note() const { return split_note_; }
  const EnvelopeGenerator& global_envelope() const { return global_envelope_; }
  const MidiQueue& midi_queue() const { return midi_queue_; }
  const MonoSection& mono() const { return mono_; }
  const ResonatorBank& resonators() const { return resonators_; }
  const Ensemble& ensemble() const { return ensemble_; }
  const Phaser& phaser() const { return phaser_; }

  // Note handling as the MIDI queue applies it; public so that tests can play without MIDI.
  void NoteOn(int note, int velocity);
  void NoteOff(int note);
  void SustainPedal(bool down);

 private:
  void ApplyMidiMessage(const MidiMessage& message);
  bool InPolyZone(int note) const;
  bool InMonoZone(int note) const;
  void ControlTick();
  void RenderSubBlock(double* left, double* right, int n);
  void RenderPoly(int n);
  void RenderVoicesInLanes(double* poly, int n, const FootageKernels* footages,
                           VoiceLanesKernel kernel);
  void AdvanceMasterOscillators(int n);
  void RenderMono(int n);
  void RouteToMix(int n);
  void WriteOutput(double* left, double* right, int n) const;

  // Shared tables and the voices' scratch.
  PitchTables pitch_tables_;
  std::vector<double> voice_signal_;
  std::vector<double> voice_amp_;
  std::vector<double> voice_spare_;
  std::vector<uint32_t> voice_phases_;
  FootageCache footage_cache_;
  std::array<FootageSum, kMaxVoices> footage_sums_;  // by voice slot, for one block
  FootageLayout footage_layout_;                     // of the plans in the cache
  std::vector<double> lane_sums_;                    // four per sample

  // Block loop.
  double sample_rate_ = 44100.0;
  double initialised_rate_ = -1.0;
  int control_period_ = 0;
  int countdown_ = 0;
  uint64_t control_ticks_ = 0;

  // Scratch buffers, one control period long each.
  std::vector<double> poly_buffer_;
  std::vector<double> mono_buffer_;
  std::vector<double> left_mix_;
  std::vector<double> right_mix_;
  std::vector<double> scratch_a_;
  std::vector<double> scratch_b_;

  // Activity.
  bool poly_active_ = false;
  int number_of_voices_ = 61;

  // Routing and output switches.
  bool poly_to_ensemble_ = false;
  bool mono_to_ensemble_ = false;
  bool soft_clip_on_ = false;
  bool global_amp_envelope_ = false;
  double main_volume_ = 0.25;
  double poly_volume_ = 0.5;

  // Performance controllers, written by note handling.
  double pitch_bend_ = 0.0;
  double mod_wheel_ = 0.0;
  bool sustain_pedal_ = false;
  double mod_wheel_to_poly_fm_ = 1.0;
  double poly_fm_value_ = 0.0;

  // Notes.
  MidiQueue midi_queue_;
  ControllerListener* listener_ = nullptr;
  int split_note_ = 60;
  bool poly_lower_ = true;
  bool mono_lower_ = false;
  bool poly_upper_ = true;
  bool mono_upper_ = false;
  int held_poly_keys_ = 0;
  int voice_age_ = 0;

  // Poly section.
  std::array<PolyVoice, kMaxVoices> voices_;
  OscillatorBank banks_[2];
  Lfo fm_lfo_;
  Lfo pwm_lfo_;
  EnvelopeGenerator global_envelope_;

  ResonatorBank resonators_;

  MonoSection mono_;

  // Effects.
  Ensemble ensemble_;
  Phaser phaser_;
};

}  // namespace vantor
