// Synth: the instrument shell layer between the host binding and the instrument.
#pragma once

#include <array>
#include <cstdint>

#include "core/plugin_base.h"

namespace vantor {

// The assignment of MIDI controllers 0 .. 119 to parameter indices (-1: none).
using ControllerMap = std::array<int32_t, 120>;

struct MidiLearnState {
  bool active = false;
  bool unlearn = false;
  int32_t controller = -1;
  int32_t parameter = -1;
};

class Synth : public PluginBase {
 public:
  Synth();

  void ResetEngine() override;
  void ParamChanged(int index) override;
  void ActivationChanged(bool active) override;
  void HandleMidiMessage(const MidiMessage& message) override;

  // Slots appended by this layer.
  virtual void SilenceAllVoices() {}   // 43
  virtual void DeclareParameters() {}  // 44
  virtual void ToggleView() {}         // 45

  // Declares parameter `index` as enumerated over `count` display texts.
  void DefineEnumerated(int index, const char* name, int default_value, int count,
                        const char* const* texts);

  // A queued control change (not the mod wheel or sustain pedal) reaching its time.
  void ApplyQueuedController(int controller, int value);

  // MIDI learn: the learn switch of the editor starts and ends it.
  void StartMidiLearn(bool unlearn);
  void StopMidiLearn();
  void ResolveMidiLearn();

  bool midi_thru() const { return midi_thru_; }
  void set_midi_thru(bool on) { midi_thru_ = on; }
  bool ignore_program_change() const { return ignore_program_change_; }
  void set_ignore_program_change(bool on) { ignore_program_change_ = on; }
  ControllerMap& controller_map() { return controller_map_; }
  const MidiLearnState& midi_learn() const { return learn_; }

 protected:
  // Hands a note, pitch bend, pressure or control change to the engine's time-ordered queue.
  virtual void QueueMidiMessage(const MidiMessage& /*message*/) {}
  // The learn switch went off after a learn or unlearn finished; the editor redraws it.
  virtual void MidiLearnEnded() {}

  ControllerMap controller_map_;
  MidiLearnState learn_;
  bool midi_thru_ = false;
  bool ignore_program_change_ = false;
};

}  // namespace vantor
