// Synth: the instrument shell layer between the host binding and the instrument.
#pragma once

#include "core/plugin_base.h"

namespace vantor {

class Synth : public PluginBase {
 public:
  Synth();

  void ActivationChanged(bool active) override;

  // Slots appended by this layer.
  virtual void SilenceAllVoices() {}   // 43
  virtual void DeclareParameters() {}  // 44
  virtual void ToggleView() {}         // 45

  // Declares parameter `index` as enumerated over `count` display texts.
  void DefineEnumerated(int index, const char* name, int default_value, int count,
                        const char* const* texts);
};

}  // namespace vantor
