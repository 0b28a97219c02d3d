// PluginBase: construction, parameter flow, program slots and their serialization.
#include "core/plugin_base.h"

#include <cstdio>
#include <cstring>

#include "core/plugin_editor.h"

namespace vantor {
namespace {

constexpr const char* kChannelConfiguration = "0-1 0-2";
constexpr const char* kTagPrefixForUserPresets = "user preset";

}  // namespace

PluginBase::PluginBase() : params_(kNumParams), programs_(kNumPrograms) {
  CopyString(effect_name_, "Vantor", kNameSize);
  CopyString(product_name_, "", kNameSize);
  CopyString(maker_name_, "Brenwick", kNameSize);

  // "in-out in-out ...": every pair is kept; the largest counts size the pin lists.
  int max_inputs = 0;
  int max_outputs = 0;
  const char* p = kChannelConfiguration;
  while (p) {
    ChannelIOPair pair;
    if (sscanf(p, "%d-%d", &pair.inputs, &pair.outputs) != 2) break;
    channel_config_.push_back(pair);
    max_inputs = std::max(max_inputs, pair.inputs);
    max_outputs = std::max(max_outputs, pair.outputs);
    p = strchr(p, ' ');
    if (p) ++p;
  }
  input_pins_.resize(static_cast<size_t>(max_inputs));
  output_pins_.resize(static_cast<size_t>(max_outputs));
}

PluginBase::~PluginBase() = default;

void PluginBase::ResetEngine() {
  std::lock_guard lock(mutex_);
}

void PluginBase::ParamChanged(int /*index*/) {
  std::lock_guard lock(mutex_);
}

void PluginBase::ActivationChanged(bool /*active*/) {
  std::lock_guard lock(mutex_);
}

void PluginBase::RenderBlock(double** inputs, double** outputs, int frames) {
  const size_t n = static_cast<size_t>(std::max(frames, 0));
  for (size_t out = 0; out < output_pins_.size(); ++out) {
    if (out < input_pins_.size()) {
      memmove(outputs[out], inputs[out], n * sizeof(double));
    } else {
      memset(outputs[out], 0, n * sizeof(double));
    }
  }
}

void PluginBase::HandleMidiMessage(const MidiMessage& message) {
  SendMidiMessage(message);
}

bool PluginBase::GetMidiNoteName(int /*note*/, char* out) {
  if (out) out[0] = '\0';
  return false;
}

bool PluginBase::SaveState(StateChunk& chunk) {
  return SerializeParams(chunk);
}

int PluginBase::LoadState(const StateChunk& chunk, int position) {
  return UnserializeParams(chunk, position);
}

bool PluginBase::StateMatches(const double* values, int start) const {
  for (int i = 0; i < kNumParams; ++i) {
    const double difference = params_[static_cast<size_t>(i)].value() - values[start + i];
    if (!(difference < 1e-05 && difference > -1e-05)) return false;
  }
  return true;
}

void PluginBase::SetParamFromEditor(int index, double normalised) {
  std::lock_guard lock(mutex_);
  PluginParam* param = Param(index);
  if (!param) return;
  param->SetFromNormalized(normalised);
  AutomateParam(index, normalised);
  ParamChanged(index);
}

void PluginBase::AttachEditor(PluginEditor* editor) {
  if (!editor) return;
  std::lock_guard lock(mutex_);
  for (int i = 0; i < kNumParams; ++i) {
    editor->SetControlsFromParameter(i, params_[static_cast<size_t>(i)].ToNormalized(), true);
  }
  editor->PrepareDrawing();
  editor_ = editor;
}

void PluginBase::RefreshEditorControls() {
  if (!editor_) return;
  for (int i = 0; i < kNumParams; ++i) {
    editor_->SetControlsFromParameter(i, params_[static_cast<size_t>(i)].value(), false);
  }
}

void PluginBase::ChangeBlockSize(int frames) {
  if (frames == block_size_) return;
  const size_t n = static_cast<size_t>(std::max(frames, 0));
  for (Pin& pin : input_pins_)
    pin.buffer.assign(n, 0.0);
  for (Pin& pin : output_pins_)
    pin.buffer.assign(n, 0.0);
  block_size_ = frames;
}

PluginParam* PluginBase::Param(int index) {
  return index >= 0 && index < kNumParams ? &params_[static_cast<size_t>(index)] : nullptr;
}

const PluginParam* PluginBase::Param(int index) const {
  return index >= 0 && index < kNumParams ? &params_[static_cast<size_t>(index)] : nullptr;
}

void PluginBase::PushAllParamsToHost() {
  std::lock_guard lock(mutex_);
  for (int i = 0; i < kNumParams; ++i) {
    AutomateParam(i, params_[static_cast<size_t>(i)].ToNormalized());
  }
}

bool PluginBase::LegalIO() const {
  for (const ChannelIOPair& pair : channel_config_) {
    if (pair.inputs == 1) return true;
  }
  return false;
}

// ---- serialization ----

void PluginBase::WriteChunkHeader(StateChunk& chunk) {
  chunk.Clear();
  chunk.PutInt32(kChunkMagic);
  chunk.PutInt32(kChunkVersion);
}

int32_t PluginBase::ReadChunkHeader(const StateChunk& chunk, int* position) {
  int32_t magic = 0;
  if (chunk.GetInt32(&magic, *position) < 0 || magic != kChunkMagic) return 0;
  int32_t version = 0;
  *position = chunk.GetInt32(&version, *position + 4);
  return *position < 0 ? 0 : version;
}

bool PluginBase::SerializeParams(StateChunk& chunk) {
  std::lock_guard lock(mutex_);
  for (const PluginParam& param : params_)
    chunk.PutDouble(param.value());
  return !chunk.Empty();
}

int PluginBase::ReadParamValues(const StateChunk& chunk, int p) {
  for (int i = 0; i < kNumParams && p >= 0; ++i) {
    double v = 0.0;
    p = chunk.GetDouble(&v, p);
    if (p < 0) v = 0.0;
    PluginParam& param = params_[static_cast<size_t>(i)];
    param.set_value(param.Clamp(v));
  }
  for (int i = 0; i < kNumParams; ++i)
    ParamChanged(i);
  return p;
}

int PluginBase::UnserializeParams(const StateChunk& chunk, int position) {
  std::lock_guard lock(mutex_);
  return ReadParamValues(chunk, position);
}

bool PluginBase::SerializePresets(StateChunk& chunk) {
  std::lock_guard lock(mutex_);
  for (const PresetSlot& slot : programs_) {
    chunk.PutString(slot.name);
    const uint8_t flag = slot.initialized ? 1 : 0;
    chunk.PutBytes(&flag, 1);
    if (slot.initialized) chunk.PutBytes(slot.state.Data(), static_cast<size_t>(slot.state.Size()));
  }
  return !chunk.Empty();
}

int PluginBase::UnserializePresets(const StateChunk& chunk, int p) {
  std::lock_guard lock(mutex_);
  // A bank that cannot be read to its end changes nothing: the user's programs stay.
  const ProgramsSnapshot before = SnapshotPrograms();
  p = ReadPresets(chunk, p);
  if (p < 0) RestorePrograms(before);
  return p;
}

int PluginBase::ReadPresets(const StateChunk& chunk, int p) {
  for (int i = 0; i < kNumPrograms && p >= 0; ++i) {
    PresetSlot& slot = programs_[static_cast<size_t>(i)];
    std::string name;
    int32_t length = 0;
    if (chunk.GetInt32(&length, p) >= 0 && length <= 0) {
      p += 4;  // an empty or negative length names the slot empty
    } else {
      p = chunk.GetString(&name, p);
    }
    CopyString(slot.name, name.c_str(), PresetSlot::kNameSize);
    uint8_t flag = 0;
    p = chunk.GetBytes(&flag, 1, p);
    if (p < 0) break;
    slot.initialized = flag != 0;
    if (slot.initialized) {
      p = LoadState(chunk, p);
      if (p > 0) {
        slot.state.Clear();
        SaveState(slot.state);
      }
    }
  }
  RecallProgram(current_program_);
  return p;
}

ProgramsSnapshot PluginBase::SnapshotPrograms() const {
  ProgramsSnapshot snapshot;
  SnapshotPrograms(&snapshot);
  return snapshot;
}

void PluginBase::SnapshotPrograms(ProgramsSnapshot* snapshot) const {
  std::lock_guard lock(mutex_);
  snapshot->programs = programs_;
  snapshot->values.resize(params_.size());
  for (size_t i = 0; i < params_.size(); ++i)
    snapshot->values[i] = params_[i].value();
  snapshot->current_program = current_program_;
}

void PluginBase::RestorePrograms(const ProgramsSnapshot& snapshot) {
  std::lock_guard lock(mutex_);
  programs_ = snapshot.programs;
  current_program_ = snapshot.current_program;
  for (size_t i = 0; i < params_.size() && i < snapshot.values.size(); ++i)
    params_[i].set_value(snapshot.values[i]);
  for (int i = 0; i < kNumParams; ++i)
    ParamChanged(i);
  RefreshEditorControls();
}

void PluginBase::FillEmptyProgramSlots() {
  std::lock_guard lock(mutex_);
  for (PresetSlot& slot : programs_) {
    if (slot.initialized) continue;
    slot.initialized = true;
    CopyString(slot.name, "Empty", PresetSlot::kNameSize);
    slot.state.Clear();
    SaveState(slot.state);
  }
}

void PluginBase::ModifyCurrentPreset(const char* name) {
  std::lock_guard lock(mutex_);
  if (current_program_ < 0 || current_program_ >= kNumPrograms) return;
  PresetSlot& slot = programs_[static_cast<size_t>(current_program_)];
  slot.state.Clear();
  SaveState(slot.state);
  if (name && name[0]) {
    CopyString(slot.name, name, PresetSlot::kNameSize);
    // A rename from anywhere (the host, a file, the menu) shows in the open editor.
    RefreshEditorControls();
  }
}

bool PluginBase::RecallProgram(int n) {
  std::lock_guard lock(mutex_);
  if (n < 0 || n >= kNumPrograms) return false;
  PresetSlot& slot = programs_[static_cast<size_t>(n)];
  bool result;
  if (slot.initialized) {
    result = LoadState(slot.state, 0) > 0;
  } else {
    slot.initialized = true;
    int count = 0;
    for (const PresetSlot& other : programs_) {
      if (strstr(other.name, kTagPrefixForUserPresets)) ++count;
    }
    snprintf(slot.name, PresetSlot::kNameSize, "%s %d", kTagPrefixForUserPresets, count + 1);
    slot.state.Clear();
    result = SaveState(slot.state);
  }
  if (result) {
    current_program_ = n;
    ProgramsChangedByHost();
    RefreshEditorControls();
  }
  return result;
}

const char* PluginBase::GetProgramName(int n) const {
  if (n < 0 || n >= kNumPrograms) return "";
  return programs_[static_cast<size_t>(n)].name;
}

}  // namespace vantor
