// Vantor: the instrument itself; its parameter set, state, sound engine and editor layout.
#pragma once

#include <memory>

#include "engine/engine.h"
#include "shell/synth.h"

namespace vantor {

class Vantor : public Synth, private ControllerListener {
 public:
  Vantor();
  ~Vantor() override;

  void ResetEngine() override;
  void ParamChanged(int index) override;
  void RenderBlock(double** inputs, double** outputs, int frames) override;
  void SilenceAllVoices() override;
  void DeclareParameters() override;

  Engine& engine() { return *engine_; }

 protected:
  void QueueMidiMessage(const MidiMessage& message) override;

 private:
  void QueuedControllerDue(int controller, int value) override;

  std::unique_ptr<Engine> engine_;
};

}  // namespace vantor
