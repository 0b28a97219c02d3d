// Synth: output pin labels, activation, MIDI intake, controller mapping and MIDI learn.
#include "shell/synth.h"

#include "core/plugin_editor.h"
#include "editor/graphics.h"

namespace vantor {

Synth::Synth(vst::AudioMasterCallback host) : PluginVst(host) {
  for (size_t i = 0; i < output_pins_.size() && i < 2; ++i)
    output_pins_[i].label = "Vantor ";
  controller_map_.fill(-1);
  graphics_ = CreatePlatformGraphics(this);
  FindConfigFile();
}

Synth::~Synth() = default;

void Synth::ReplaceGraphics(std::unique_ptr<Graphics> graphics) {
  if (!graphics) return;
  const bool attached = editor_ == graphics_.get();
  graphics_ = std::move(graphics);
  if (attached) editor_ = graphics_.get();
  GraphicsReplaced();
}

void Synth::ResetEngine() {
  std::lock_guard lock(mutex_);
  learn_.active = false;
}

void Synth::ParamChanged(int index) {
  std::lock_guard lock(mutex_);
  if (learn_.active) {
    learn_.parameter = index;
    ResolveMidiLearn();
  }
}

void Synth::ActivationChanged(bool active) {
  std::lock_guard lock(mutex_);
  if (!active) return;
  for (int i = 0; i < kNumParams; ++i)
    ParamChanged(i);
}

void Synth::HandleMidiMessage(const MidiMessage& message) {
  if (midi_thru_) SendMidiMessage(message);
  if (message.status < 0x80 || message.status >= 0xF0) return;
  switch (message.status & 0xF0) {
    case 0x80:
    case 0x90:
    case 0xD0:
    case 0xE0:
      QueueMidiMessage(message);
      break;
    case 0xB0:
      if (message.data1 <= 119) {
        if (learn_.active) {
          learn_.controller = message.data1;
          ResolveMidiLearn();
        } else {
          QueueMidiMessage(message);
        }
      } else if (message.data1 == 120 || message.data1 == 123) {
        SilenceAllVoices();  // all sound off, all notes off
      }
      break;
    case 0xC0:
      // The host is not told: the change came from its own MIDI stream.
      if (!ignore_program_change_) RecallProgram(message.data1);
      break;
    default:
      break;  // polyphonic key pressure
  }
}

void Synth::ApplyQueuedController(int controller, int value) {
  if (controller < 0 || controller > 119 || controller == 1 || controller == 64) return;
  const int p = controller_map_[static_cast<size_t>(controller)];
  PluginParam* param = Param(p);
  if (!param) return;
  const double x = value / 127.0;
  if (x == param->ToNormalized()) return;
  SetParamFromEditor(p, x);
  if (editor_) editor_->SetControlsFromParameter(p, x, true);
}

void Synth::StartMidiLearn(bool unlearn) {
  learn_.controller = -1;
  learn_.parameter = -1;
  learn_.unlearn = unlearn;
  learn_.active = true;
}

void Synth::StopMidiLearn() {
  learn_.controller = -1;
  learn_.parameter = -1;
  learn_.active = false;
}

void Synth::ResolveMidiLearn() {
  if (learn_.active) {
    if (!learn_.unlearn) {
      if (learn_.controller != -1 && learn_.parameter != -1) {
        for (int32_t& entry : controller_map_) {
          if (entry == learn_.parameter) entry = -1;
        }
        controller_map_[static_cast<size_t>(learn_.controller)] = learn_.parameter;
        learn_.active = false;
      }
    } else if (learn_.controller != -1) {
      controller_map_[static_cast<size_t>(learn_.controller)] = -1;
      learn_.active = false;
      learn_.unlearn = false;
    } else if (learn_.parameter != -1) {
      for (int32_t& entry : controller_map_) {
        if (entry == learn_.parameter) entry = -1;
      }
      learn_.active = false;
      learn_.unlearn = false;
    }
  }
  if (!learn_.active) MidiLearnEnded();
}

void Synth::DefineEnumerated(int index, const char* name, int default_value, int count,
                             const char* const* texts) {
  if (PluginParam* param = Param(index)) param->DefineEnumerated(name, default_value, count, texts);
}

}  // namespace vantor
