// Vantor: the instrument itself; its parameter set, state, sound engine and editor layout.
#pragma once

#include <memory>

#include "engine/engine.h"
#include "shell/synth.h"

namespace vantor {

class Vantor : public Synth, private ControllerListener {
 public:
  explicit Vantor(vst::AudioMasterCallback host = nullptr);
  ~Vantor() override;

  void ResetEngine() override;
  void ParamChanged(int index) override;
  void RenderBlock(double** inputs, double** outputs, int frames) override;
  void SilenceAllVoices() override;
  void DeclareParameters() override;
  bool SaveState(StateChunk& chunk) override;
  int LoadState(const StateChunk& chunk, int position) override;

  // The built-in bank of 64 programs, as a bank file.
  void LoadFactoryBank();

  Engine& engine() { return *engine_; }

 protected:
  void QueueMidiMessage(const MidiMessage& message) override;

 private:
  void QueuedControllerDue(int controller, int value) override;
  // The configuration's startup bank when it loads, else the factory bank.
  void LoadStartupPrograms();

  std::unique_ptr<Engine> engine_;
};

}  // namespace vantor
