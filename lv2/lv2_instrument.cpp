// Lv2Instrument: drives the instrument from LV2 ports, atom MIDI and the state extension.
#include "lv2/lv2_instrument.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>

#include <lv2/atom/util.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/midi/midi.h>
#include <lv2/options/options.h>

#include "core/plugin_editor.h"
#include "core/vantor_params.h"
#include "instrument/vantor.h"
#include "lv2/lv2_ports.h"

namespace vantor::lv2 {
namespace {

constexpr int kDefaultBlockSize = 1024;  // as a VST instance starts
constexpr int kMaxBlockSize = PluginVst::kMaxBlockSize;

const void* FindFeature(const LV2_Feature* const* features, const char* uri) {
  for (; features && *features; ++features) {
    if (strcmp((*features)->URI, uri) == 0) return (*features)->data;
  }
  return nullptr;
}

// The host's largest block, when its options say; else the VST default.
int BlockSizeFromOptions(const LV2_Options_Option* options, LV2_URID_Map* map) {
  if (!options) return kDefaultBlockSize;
  const LV2_URID max_length = map->map(map->handle, LV2_BUF_SIZE__maxBlockLength);
  const LV2_URID atom_int = map->map(map->handle, LV2_ATOM__Int);
  for (const LV2_Options_Option* o = options; o->key || o->value; ++o) {
    if (o->key == max_length && o->type == atom_int && o->size == sizeof(int32_t) && o->value) {
      const int32_t frames = *static_cast<const int32_t*>(o->value);
      if (frames > 0) return std::min<int>(frames, kMaxBlockSize);
    }
  }
  return kDefaultBlockSize;
}

}  // namespace

intptr_t VST_CALL BindingCallback(vst::AEffect* effect, int32_t opcode, int32_t index,
                                  intptr_t value, void* /*ptr*/, float /*opt*/) {
  // During construction the instrument may call before the notices are attached.
  UiNotices* notices = effect ? static_cast<UiNotices*>(effect->user) : nullptr;
  switch (opcode) {
    case vst::audioMasterVersion:
      return PluginVst::kVstVersion;
    case vst::audioMasterAutomate:
      if (notices && index >= 0 && index < kParamCount)
        notices->changed[static_cast<size_t>(index)].store(true, std::memory_order_relaxed);
      return 0;
    case vst::audioMasterUpdateDisplay:
      if (notices) notices->all_changed.store(true, std::memory_order_relaxed);
      return 0;
    case vst::audioMasterSizeWindow:
      // The editor's own thread asks, while a UI shows it.
      return notices && notices->resize && index > 0 && value > 0 &&
                     notices->resize(index, static_cast<int>(value))
                 ? 1
                 : 0;
    default:
      return 0;  // no time info, no MIDI output, no host name
  }
}

std::unique_ptr<Vantor> MakeInstrument(UiNotices* notices, double sample_rate, int block_size) {
  std::unique_ptr<Vantor> vantor;
  try {
    vantor = std::make_unique<Vantor>(BindingCallback);
  } catch (...) {
    return nullptr;  // nothing may be thrown into the host
  }
  // As the VST entry point and a VST host's start-up do.
  vantor->FillEmptyProgramSlots();
  vantor->effect()->user = notices;
  vantor->Dispatch(vst::effOpen, 0, 0, nullptr, 0.0f);
  vantor->Dispatch(vst::effSetSampleRate, 0, 0, nullptr, static_cast<float>(sample_rate));
  vantor->Dispatch(vst::effSetBlockSize, 0, block_size, nullptr, 0.0f);
  return vantor;
}

void ApplyControl(Vantor& vantor, int index, float value) {
  PluginParam* param = vantor.Param(index);
  if (!param || std::isnan(value)) return;
  double v = value;
  if (param->kind() != ParamKind::Continuous)
    v = std::floor(v / param->step() + 0.5) * param->step();
  v = param->Clamp(v);
  if (static_cast<float>(param->value()) == static_cast<float>(v)) return;
  if (PluginEditor* editor = vantor.editor()) editor->SetControlsFromParameter(index, v, false);
  param->set_value(v);
  vantor.ParamChanged(index);
}

// ---- Lv2Instrument ----

Lv2Instrument* Lv2Instrument::Create(double sample_rate, const LV2_Feature* const* features) {
  auto* map = static_cast<LV2_URID_Map*>(const_cast<void*>(FindFeature(features, LV2_URID__map)));
  if (!map || !(sample_rate > 0.0) || sample_rate > PluginVst::kMaxSampleRate) return nullptr;
  const auto* options =
      static_cast<const LV2_Options_Option*>(FindFeature(features, LV2_OPTIONS__options));
  std::unique_ptr<Lv2Instrument> self(new (std::nothrow) Lv2Instrument);
  if (!self) return nullptr;
  self->vantor_ = MakeInstrument(&self->notices_, sample_rate, BlockSizeFromOptions(options, map));
  if (!self->vantor_) return nullptr;
  auto urid = [map](const char* uri) { return map->map(map->handle, uri); };
  self->urids_ = {urid(LV2_ATOM__Chunk),     urid(LV2_ATOM__Int), urid(LV2_ATOM__Sequence),
                  urid(LV2_MIDI__MidiEvent), urid(kBankKey),      urid(kCurrentProgramKey),
                  urid(kProgramKey)};
  // Ports start at the defaults the plug-in's description gives the host.
  for (int i = 0; i < kParamCount; ++i)
    self->seen_[static_cast<size_t>(i)] = static_cast<float>(VantorParamSpec(i).default_value);
  for (UiWrites& writes : self->ui_writes_) {
    for (std::atomic<float>& v : writes.values)
      v.store(std::numeric_limits<float>::quiet_NaN());
  }
  return self.release();
}

Lv2Instrument::~Lv2Instrument() {
  magic_ = 0;
}

void Lv2Instrument::ConnectPort(uint32_t port, void* data) {
  if (port < static_cast<uint32_t>(kControlPorts)) {
    controls_[port] = static_cast<const float*>(data);
  } else if (port == static_cast<uint32_t>(kMidiInPort)) {
    midi_in_ = static_cast<const LV2_Atom_Sequence*>(data);
  } else if (port == static_cast<uint32_t>(kLeftOutPort) ||
             port == static_cast<uint32_t>(kRightOutPort)) {
    outputs_[port - kLeftOutPort] = static_cast<float*>(data);
  }
}

void Lv2Instrument::Activate() {
  vantor_->Dispatch(vst::effMainsChanged, 0, 1, nullptr, 0.0f);
}

void Lv2Instrument::Deactivate() {
  vantor_->Dispatch(vst::effMainsChanged, 0, 0, nullptr, 0.0f);
}

void Lv2Instrument::Run(uint32_t frames) {
  std::lock_guard lock(vantor_->mutex());
  ReadControls();
  ReadMidi(frames);
  const int32_t n = static_cast<int32_t>(std::min<uint32_t>(frames, INT32_MAX));
  vantor_->ProcessFloat(nullptr, outputs_.data(), n, false);
}

void Lv2Instrument::ReadControls() {
  const bool resync = resync_;
  resync_ = false;
  for (int i = 0; i < kParamCount; ++i) {
    const float* port = controls_[static_cast<size_t>(i)];
    if (!port) continue;
    const float v = *port;
    float& seen = seen_[static_cast<size_t>(i)];
    if (v == seen || std::isnan(v)) continue;
    seen = v;
    if (resync || EchoesUiWrite(i, v)) continue;
    ApplyControl(*vantor_, i, v);
  }
}

void Lv2Instrument::RememberUiWrite(int index, float value) {
  UiWrites& writes = ui_writes_[static_cast<size_t>(index)];
  const uint32_t count = writes.count.load(std::memory_order_relaxed);
  writes.values[count % kRememberedWrites].store(value, std::memory_order_relaxed);
  writes.count.store(count + 1, std::memory_order_release);
}

bool Lv2Instrument::EchoesUiWrite(int index, float value) {
  UiWrites& writes = ui_writes_[static_cast<size_t>(index)];
  uint32_t& consumed = ui_writes_consumed_[static_cast<size_t>(index)];
  const uint32_t count = writes.count.load(std::memory_order_acquire);
  // Newest first; a match also retires every older write, which the host has passed over.
  for (uint32_t k = count; k > consumed && count - k < kRememberedWrites; --k) {
    if (writes.values[(k - 1) % kRememberedWrites].load(std::memory_order_relaxed) == value) {
      consumed = k;
      return true;
    }
  }
  return false;
}

void Lv2Instrument::ReadMidi(uint32_t frames) {
  if (!midi_in_ || midi_in_->atom.type != urids_.atom_sequence) return;
  const int64_t last = frames > 0 ? static_cast<int64_t>(frames) - 1 : 0;
  LV2_ATOM_SEQUENCE_FOREACH(midi_in_, event) {
    if (event->body.type != urids_.midi_event || event->body.size == 0) continue;
    const auto* bytes = reinterpret_cast<const uint8_t*>(event + 1);
    const auto offset = static_cast<int32_t>(std::clamp<int64_t>(event->time.frames, 0, last));
    if (bytes[0] == 0xF0) {
      SysExMessage message;
      message.offset = offset;
      message.size = static_cast<int32_t>(event->body.size);
      message.data = bytes;
      vantor_->HandleSysEx(message);
      continue;
    }
    MidiMessage message;
    message.offset = offset;
    message.status = bytes[0];
    message.data1 = event->body.size > 1 ? bytes[1] : 0;
    message.data2 = event->body.size > 2 ? bytes[2] : 0;
    vantor_->HandleMidiMessage(message);
  }
}

// ---- state ----

LV2_State_Status Lv2Instrument::Save(LV2_State_Store_Function store, LV2_State_Handle handle) {
  std::lock_guard lock(vantor_->mutex());
  // The bank chunk a VST host gets (the current settings stored into the current slot first),
  // and the current program, which the bank chunk does not carry.
  void* data = nullptr;
  const intptr_t size = vantor_->Dispatch(vst::effGetChunk, 0, 0, &data, 0.0f);
  if (size <= 0 || !data) return LV2_STATE_ERR_UNKNOWN;
  const uint32_t flags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;
  LV2_State_Status status =
      store(handle, urids_.bank_key, data, static_cast<size_t>(size), urids_.atom_chunk, flags);
  if (status != LV2_STATE_SUCCESS) return status;
  const int32_t current = vantor_->current_program();
  return store(handle, urids_.current_program_key, &current, sizeof current, urids_.atom_int,
               flags);
}

LV2_State_Status Lv2Instrument::Restore(LV2_State_Retrieve_Function retrieve,
                                        LV2_State_Handle handle) {
  std::lock_guard lock(vantor_->mutex());
  size_t size = 0;
  uint32_t type = 0;
  uint32_t flags = 0;
  const void* bank = retrieve(handle, urids_.bank_key, &size, &type, &flags);
  intptr_t ok = 0;
  if (bank && type == urids_.atom_chunk) {
    // A session: every slot, then the program that was current.
    const ProgramsSnapshot before = vantor_->SnapshotPrograms();
    size_t current_size = 0;
    const void* current =
        retrieve(handle, urids_.current_program_key, &current_size, &type, &flags);
    if (current && type == urids_.atom_int && current_size == sizeof(int32_t)) {
      int32_t n = 0;
      memcpy(&n, current, sizeof n);
      if (n >= 0 && n < PluginBase::kNumPrograms) vantor_->set_current_program(n);
    }
    ok = vantor_->Dispatch(vst::effSetChunk, 0, static_cast<intptr_t>(size),
                           const_cast<void*>(bank), 0.0f);
    if (!ok) vantor_->RestorePrograms(before);
  } else {
    // A preset: one program, which replaces the current one as a program file does.
    const void* program = retrieve(handle, urids_.program_key, &size, &type, &flags);
    if (!program || type != urids_.atom_chunk) return LV2_STATE_SUCCESS;  // port values only
    ok = vantor_->Dispatch(vst::effSetChunk, 1, static_cast<intptr_t>(size),
                           const_cast<void*>(program), 0.0f);
  }
  if (!ok) return LV2_STATE_ERR_UNKNOWN;
  resync_ = true;
  notices_.all_changed.store(true, std::memory_order_relaxed);
  return LV2_STATE_SUCCESS;
}

}  // namespace vantor::lv2
