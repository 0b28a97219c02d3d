// Vantor: construction and the wiring of parameters and rendering to the engine.
#include "instrument/vantor.h"

#include "core/vantor_params.h"
#include "editor/editor_caches.h"
#include "editor/graphics.h"

namespace vantor {

Vantor::Vantor(vst::AudioMasterCallback host) : Synth(host), engine_(std::make_unique<Engine>()) {
  engine_->SetControllerListener(this);
  DeclareParameters();
  // The engine is ready to render at the default rate before a host configures it.
  ResetEngine();
  for (int i = 0; i < kNumParams; ++i)
    ParamChanged(i);
  BuildEditorLayout();
  AttachEditor(&graphics());
  LoadStartupPrograms();
}

Vantor::~Vantor() {
  // The editor and its controls go with the shell layer; the bitmaps loaded from files for them
  // are this instance's to free.
  graphics().RemoveAllControls();
  for (RasterBitmap* bitmap : file_bitmaps_)
    BitmapStore::Instance().Remove(bitmap);
}

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

// Runs on the editor's thread without the plug-in mutex: the request may take seconds, and
// audio must go on meanwhile.
void Vantor::CheckForUpdate() {
  last_update_result_ = CheckOnlineForUpdate(graphics(), update_server_, kVendorVersion);
}

void Vantor::DeclareParameters() {
  DeclareVantorParameters(*this);
}

}  // namespace vantor
