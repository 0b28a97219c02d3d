// Synth: output pin labels, activation and enumerated declarations.
#include "shell/synth.h"

namespace vantor {

Synth::Synth() {
  for (size_t i = 0; i < output_pins_.size() && i < 2; ++i)
    output_pins_[i].label = "Vantor ";
}

void Synth::ActivationChanged(bool active) {
  std::lock_guard lock(mutex_);
  if (!active) return;
  for (int i = 0; i < kNumParams; ++i)
    ParamChanged(i);
}

void Synth::DefineEnumerated(int index, const char* name, int default_value, int count,
                             const char* const* texts) {
  if (PluginParam* param = Param(index)) param->DefineEnumerated(name, default_value, count, texts);
}

}  // namespace vantor
