// Vantor: construction and the wiring of parameters and rendering to the engine.
#include "instrument/vantor.h"

#include "core/vantor_params.h"

namespace vantor {

Vantor::Vantor(vst::AudioMasterCallback host) : Synth(host), engine_(std::make_unique<Engine>()) {
  engine_->SetControllerListener(this);
  DeclareParameters();
  // The engine is ready to render at the default rate before a host configures it.
  ResetEngine();
  for (int i = 0; i < kNumParams; ++i)
    ParamChanged(i);
  LoadStartupPrograms();
}

Vantor::~Vantor() = default;

void Vantor::ResetEngine() {
  std::lock_guard lock(mutex_);
  Synth::ResetEngine();
  engine_->Reset(sample_rate_, block_size_);
}

void Vantor::ParamChanged(int index) {
  std::lock_guard lock(mutex_);
  Synth::ParamChanged(index);
  if (const PluginParam* param = Param(index)) engine_->ParamChanged(index, param->value());
}

void Vantor::RenderBlock(double** /*inputs*/, double** outputs, int frames) {
  engine_->RenderBlock(outputs, frames);
}

void Vantor::SilenceAllVoices() {
  engine_->SilenceAllVoices();
}

void Vantor::QueueMidiMessage(const MidiMessage& message) {
  engine_->QueueMidiMessage(message);
}

// Runs inside RenderBlock, under the plug-in mutex the render already holds.
void Vantor::QueuedControllerDue(int controller, int value) {
  ApplyQueuedController(controller, value);
}

void Vantor::DeclareParameters() {
  DeclareVantorParameters(*this);
}

}  // namespace vantor
