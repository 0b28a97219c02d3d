// PluginVst: the AEffect record, the dispatcher opcodes, process callbacks and host requests.
#include "host/plugin_vst.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/number_text.h"
#include "core/plugin_editor.h"
#include "host/host_id.h"

namespace vantor {
namespace {

using namespace vst;

constexpr int32_t kChunkBankVersion = 0x10000;

intptr_t VST_CALL DispatcherCallback(AEffect* effect, int32 opcode, int32 index, intptr value,
                                     void* ptr, float opt) {
  PluginVst* plugin = PluginVst::FromEffect(effect);
  if (!plugin) return 0;
  if (opcode == effClose) {
    // Nobody else may be inside the object when it goes; the lock itself goes with it.
    { std::lock_guard lock(plugin->mutex()); }
    delete plugin;
    return 0;
  }
  return plugin->Dispatch(opcode, index, value, ptr, opt);
}

void VST_CALL ProcessCallback(AEffect* effect, float** inputs, float** outputs, int32 frames) {
  if (PluginVst* plugin = PluginVst::FromEffect(effect))
    plugin->ProcessFloat(inputs, outputs, frames, true);
}

void VST_CALL ProcessReplacingCallback(AEffect* effect, float** inputs, float** outputs,
                                       int32 frames) {
  if (PluginVst* plugin = PluginVst::FromEffect(effect))
    plugin->ProcessFloat(inputs, outputs, frames, false);
}

void VST_CALL ProcessDoubleCallback(AEffect* effect, double** inputs, double** outputs,
                                    int32 frames) {
  if (PluginVst* plugin = PluginVst::FromEffect(effect))
    plugin->ProcessDouble(inputs, outputs, frames);
}

void VST_CALL SetParameterCallback(AEffect* effect, int32 index, float value) {
  if (PluginVst* plugin = PluginVst::FromEffect(effect)) plugin->SetParameter(index, value);
}

float VST_CALL GetParameterCallback(AEffect* effect, int32 index) {
  PluginVst* plugin = PluginVst::FromEffect(effect);
  return plugin ? plugin->GetParameter(index) : 0.0f;
}

// The vendor version 0xMMmmpp told as decimal digits: 0x10301 -> 10301.
int32_t DecimalVersion(int32_t v) {
  return (v >> 16) * 10000 + ((v >> 8) & 0xFF) * 100 + (v & 0xFF);
}

int32_t ArrangementType(int channels) {
  switch (channels) {
    case 0:
      return kSpeakerArrEmpty;
    case 1:
      return kSpeakerArrMono;
    case 2:
      return kSpeakerArrStereo;
    default:
      return kSpeakerArrUserDefined;
  }
}

// Host string buffers: names, labels and display texts get 64 bytes, vendor and product 256.
void CopyToHost(void* ptr, const char* text, int size = kNameBufferSize) {
  CopyString(static_cast<char*>(ptr), text, size);
}

// A program number from the host's pointer-sized value; anything outside int range is invalid.
int ProgramIndex(intptr_t value) {
  return value >= 0 && value < PluginBase::kNumPrograms ? static_cast<int>(value) : -1;
}

}  // namespace

PluginVst::PluginVst(AudioMasterCallback host) : host_(host) {
  const int inputs = static_cast<int>(input_pins_.size());
  const int outputs = static_cast<int>(output_pins_.size());
  effect_.magic = kEffectMagic;
  effect_.dispatcher = DispatcherCallback;
  effect_.process = ProcessCallback;
  effect_.setParameter = SetParameterCallback;
  effect_.getParameter = GetParameterCallback;
  effect_.numPrograms = kNumPrograms;
  effect_.numParams = kNumParams;
  effect_.numInputs = inputs;
  effect_.numOutputs = outputs;
  effect_.flags =
      effFlagsCanReplacing | effFlagsProgramChunks | effFlagsCanDoubleReplacing | effFlagsIsSynth;
  if (LegalIO()) effect_.flags |= effFlagsIsMono;
  effect_.initialDelay = latency_;
  effect_.ioRatio = 1.0f;
  effect_.object = this;
  effect_.uniqueID = unique_id_;
  effect_.version = DecimalVersion(vendor_version_);
  effect_.processReplacing = ProcessReplacingCallback;
  effect_.processDoubleReplacing = ProcessDoubleCallback;

  input_arrangement_.numChannels = inputs;
  input_arrangement_.type = ArrangementType(inputs);
  output_arrangement_.numChannels = outputs;
  output_arrangement_.type = ArrangementType(outputs);

  engine_inputs_.assign(input_pins_.size(), nullptr);
  engine_outputs_.assign(output_pins_.size(), nullptr);
  for (Pin& pin : input_pins_)
    pin.connected = true;
  for (Pin& pin : output_pins_)
    pin.connected = true;
  ChangeBlockSize(1024);
}

PluginVst::~PluginVst() = default;

PluginVst* PluginVst::FromEffect(AEffect* effect) {
  return effect ? static_cast<PluginVst*>(effect->object) : nullptr;
}

intptr_t PluginVst::CallHost(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
  return host_ ? host_(&effect_, opcode, index, value, ptr, opt) : 0;
}

// ---- dispatcher ----

intptr_t PluginVst::Dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
  // The editor's window events run without the plug-in mutex, as window messages do where the
  // host delivers them itself: a menu or a message box waits for the user, and the audio thread
  // must not wait with it.
  if ((opcode == effEditIdle || opcode == effIdle) && editor_) editor_->Idle();
  std::lock_guard lock(mutex_);
  PluginParam* param = Param(index);
  switch (opcode) {
    case effOpen:
      HostSpecificInit();
      for (int i = 0; i < kNumParams; ++i)
        ParamChanged(i);
      return 0;
    case effSetProgram:
      ModifyCurrentPreset(nullptr);
      RecallProgram(ProgramIndex(value));
      return 0;
    case effGetProgram:
      return current_program_;
    case effSetProgramName:
      if (ptr) {
        ModifyCurrentPreset(static_cast<const char*>(ptr));
        ProgramsChangedByHost();
      }
      return 0;
    case effGetProgramName:
      if (ptr) CopyToHost(ptr, GetProgramName(current_program_));
      return 0;
    case effGetParamLabel:
      if (param && ptr) CopyToHost(ptr, param->GetUnitLabel());
      return 0;
    case effGetParamDisplay:
      if (param && ptr)
        param->GetDisplayText(param->value(), false, static_cast<char*>(ptr), kNameBufferSize);
      return 0;
    case effGetParamName:
      if (param && ptr) CopyToHost(ptr, param->name());
      return 0;
    case effSetSampleRate:
      // A rate that is not a positive finite number within reason is not taken.
      if (std::isfinite(opt) && opt > 0.0f && opt <= kMaxSampleRate) ChangeSampleRate(opt);
      ResetEngine();
      return 0;
    case effSetBlockSize:
      if (value > 0) ChangeBlockSize(static_cast<int>(std::min<intptr_t>(value, kMaxBlockSize)));
      ResetEngine();
      return 0;
    case effMainsChanged:
      ActivationChanged(value != 0);
      if (value == 0) ResetEngine();
      return 0;
    case effEditGetRect:
      if (ptr && editor_) {
        PrepareEditorSize();
        *static_cast<ERect**>(ptr) = &editor_rect_;
        return 1;
      }
      return 0;
    case effEditOpen:
      if (editor_) PrepareEditorSize();
      if (editor_ && editor_->OpenEditorWindow(ptr)) {
        EditorOpened();
        return 1;
      }
      return 0;
    case effEditClose:
      if (!editor_) return 0;
      EditorClosed();
      editor_->CloseEditorWindow();
      return 1;
    case effEditIdle:
    case effIdle:
      IdleTick();
      return 0;
    case effIdentify:
      return kIdentifyMagic;
    case effGetChunk:
      return GetChunk(index, static_cast<void**>(ptr));
    case effSetChunk:
      return SetChunk(index, value, ptr);
    case effProcessEvents:
      if (!ptr) return 0;
      ProcessEvents(static_cast<const VstEvents*>(ptr));
      return 1;
    case effCanBeAutomated:
      return 1;
    case effString2Parameter:
      return StringToParameter(index, static_cast<const char*>(ptr));
    case effGetProgramNameIndexed:
      if (!ptr) return 0;
      CopyToHost(ptr, GetProgramName(index));
      return GetProgramName(index)[0] ? 1 : 0;
    case effGetInputProperties:
    case effGetOutputProperties:
      return GetPinProperties(opcode == effGetOutputProperties, index,
                              static_cast<VstPinProperties*>(ptr));
    case effGetPlugCategory:
      return (effect_.flags & effFlagsIsSynth) ? kPlugCategSynth : kPlugCategEffect;
    case effProcessVarIo:
      return 0;
    case effSetSpeakerArrangement:
      SetSpeakerArrangement(false, reinterpret_cast<const VstSpeakerArrangement*>(value));
      SetSpeakerArrangement(true, static_cast<const VstSpeakerArrangement*>(ptr));
      return 1;
    case effGetEffectName:
      if (!ptr) return 0;
      CopyToHost(ptr, effect_name_);
      return 1;
    case effGetVendorString:
      if (!ptr) return 0;
      CopyToHost(ptr, maker_name_, kVendorBufferSize);
      return 1;
    case effGetProductString:
      if (!ptr) return 0;
      CopyToHost(ptr, product_name_, kVendorBufferSize);
      return 1;
    case effGetVendorVersion:
      return DecimalVersion(vendor_version_);
    case effVendorSpecific:
      return VendorSpecific(index, value, ptr, opt);
    case effCanDo:
      return CanDo(static_cast<const char*>(ptr));
    case effGetTailSize:
      return 0;
    case effGetVstVersion:
      return kVstVersion;
    case effGetMidiKeyName: {
      auto* key = static_cast<MidiKeyName*>(ptr);
      if (!key) return 0;
      key->keyName[0] = '\0';
      return GetMidiNoteName(key->thisKeyNumber, key->keyName) ? 1 : 0;
    }
    case effGetSpeakerArrangement:
      if (value) *reinterpret_cast<VstSpeakerArrangement**>(value) = &input_arrangement_;
      if (ptr) *static_cast<VstSpeakerArrangement**>(ptr) = &output_arrangement_;
      return 1;
    default:
      return 0;
  }
}

// ---- chunks ----

bool PluginVst::ChunkVendorCheck() {
  if (vendor_check_done_) return vendor_check_result_;
  char vendor[kVendorBufferSize] = {};
  CallHost(audioMasterGetVendorString, 0, 0, vendor);
  vendor[kVendorBufferSize - 1] = '\0';
  vendor_check_result_ = IsProgramChunkOnlyVendor(vendor);
  vendor_check_done_ = true;
  return vendor_check_result_;
}

intptr_t PluginVst::GetChunk(int32_t index, void** data) {
  if (!data) return 0;
  const bool is_bank = index == 0 && !ChunkVendorCheck();
  StateChunk& chunk = is_bank ? bank_chunk_ : state_chunk_;
  WriteChunkHeader(chunk);
  bool ok;
  if (is_bank) {
    ModifyCurrentPreset(nullptr);
    ok = SerializePresets(chunk);
  } else {
    ok = SaveState(chunk);
    chunk.PutString(GetProgramName(current_program_));
  }
  if (!ok || chunk.Empty()) return 0;
  *data = chunk.Data();
  return chunk.Size();
}

intptr_t PluginVst::SetChunk(int32_t index, intptr_t size, const void* data) {
  if (!data || size < 0 || size > kMaxChunkSize) return 0;
  const bool vendor_quirk = ChunkVendorCheck();
  const bool is_bank = index == 0 && !vendor_quirk;
  StateChunk& chunk = is_bank ? bank_chunk_ : state_chunk_;
  // Hosts may hand back the very bytes effGetChunk gave them, which live in `chunk` itself.
  StateChunk incoming;
  incoming.Assign(data, static_cast<size_t>(size));
  chunk = std::move(incoming);

  // Whatever cannot be read must not cost the user a program: read, and put everything back
  // when the chunk turns out to be unusable.
  SnapshotPrograms(&before_chunk_);
  int p = ReadChunk(is_bank, size);
  if (vendor_quirk && p != size) {
    // Not used up as a program chunk: these hosts hand banks in the same way. Data that is no
    // bank either keeps the program reading's verdict.
    bank_chunk_ = chunk;
    int q = 0;
    if (ReadChunkHeader(bank_chunk_, &q) >= kChunkBankVersion) p = ReadPresets(bank_chunk_, q);
  }
  if (p < 0) {
    RestorePrograms(before_chunk_);
    return 0;
  }
  RefreshEditorControls();
  return 1;
}

int PluginVst::ReadChunk(bool is_bank, intptr_t size) {
  const StateChunk& chunk = is_bank ? bank_chunk_ : state_chunk_;
  int p = 0;
  const int32_t version = ReadChunkHeader(chunk, &p);
  // SetChunk keeps the programs to put back, so the bank is read without another copy of them.
  if (is_bank && version >= kChunkBankVersion) return ReadPresets(chunk, p);
  p = LoadState(chunk, p);
  if (p >= size) {
    ModifyCurrentPreset(nullptr);
    return p;
  }
  // The rest names the program; a length that runs past the data names nothing.
  std::string name;
  int32_t length = 0;
  int after = chunk.GetInt32(&length, p);
  if (after >= 0) {
    const int after_name = chunk.GetString(&name, p);
    if (after_name >= 0) after = after_name;
  }
  ModifyCurrentPreset(name.empty() ? nullptr : name.c_str());
  return after;
}

// ---- parameters ----

intptr_t PluginVst::StringToParameter(int32_t index, const char* text) {
  PluginParam* param = Param(index);
  if (!param) return 0;
  if (!text) return 1;
  double value;
  if (param->display_texts().empty()) {
    value = LeadingNumber(text);
    if (param->negate_display()) value = -value;
    if (std::isnan(value)) return 0;
  } else {
    const ParamDisplayText* match = nullptr;
    for (const ParamDisplayText& entry : param->display_texts()) {
      if (strcmp(entry.text, text) == 0) {
        match = &entry;
        break;
      }
    }
    if (!match) return 0;
    value = match->value;
  }
  if (editor_) editor_->SetControlsFromParameter(index, value, false);
  param->set_value(param->Clamp(value));
  ParamChanged(index);
  return 1;
}

void PluginVst::SetParameter(int32_t index, float value) {
  std::lock_guard lock(mutex_);
  PluginParam* param = Param(index);
  // Hosts speak 0 .. 1; a value outside is held to it and one that is no number is ignored.
  if (!param || std::isnan(value)) return;
  const double x = std::clamp(static_cast<double>(value), 0.0, 1.0);
  if (editor_) editor_->SetControlsFromParameter(index, x, true);
  param->SetFromNormalized(x);
  ParamChanged(index);
}

float PluginVst::GetParameter(int32_t index) {
  std::lock_guard lock(mutex_);
  const PluginParam* param = Param(index);
  return param ? static_cast<float>(param->ToNormalized()) : 0.0f;
}

bool PluginVst::RequestEditorSize(int width, int height) {
  return CallHost(audioMasterSizeWindow, width, height) != 0;
}

intptr_t PluginVst::VendorSpecific(int32_t index, intptr_t value, void* ptr, float opt) {
  if (index == kScaleFactorIndex && value == kScaleFactorValue) return HostScaleFactor(opt) ? 1 : 0;
  const PluginParam* param =
      value >= 0 && value < kNumParams ? Param(static_cast<int>(value)) : nullptr;
  if (index == 7) {
    if (!ptr) return 0;
    if (param) param->GetDisplayText(opt, true, static_cast<char*>(ptr), kNameBufferSize);
    return kVendorSpecificAnswer;
  }
  if (index == 8 && param && param->kind() != ParamKind::Continuous) return kVendorSpecificAnswer;
  return 0;
}

intptr_t PluginVst::CanDo(const char* query) const {
  if (!query) return 0;
  static constexpr const char* kMidiCanDos[] = {"sendVstEvents", "sendVstMidiEvent",
                                                "receiveVstEvents", "receiveVstMidiEvent"};
  if (strcmp(query, "receiveVstTimeInfo") == 0) return 1;
  for (const char* can_do : kMidiCanDos) {
    if (strcmp(query, can_do) == 0) return 1;
  }
  return 0;
}

// ---- pins ----

intptr_t PluginVst::GetPinProperties(bool output, int32_t index, VstPinProperties* properties) {
  const std::vector<Pin>& pins = output ? output_pins_ : input_pins_;
  if (!properties || index < 0 || index >= static_cast<int32_t>(pins.size())) return 0;
  const int count = static_cast<int>(pins.size());
  properties->flags = kVstPinIsActive;
  if (index % 2 == 0 && index < count - 1) properties->flags |= kVstPinIsStereo;
  const std::string& label = pins[static_cast<size_t>(index)].label;
  if (!label.empty()) {
    CopyString(properties->label, label.c_str(), sizeof properties->label);
  } else {
    snprintf(properties->label, sizeof properties->label, "%s %d", output ? "Output" : "Input",
             index + 1);
  }
  return 1;
}

void PluginVst::SetSpeakerArrangement(bool output, const VstSpeakerArrangement* arrangement) {
  if (!arrangement) return;
  std::vector<Pin>& pins = output ? output_pins_ : input_pins_;
  const size_t n = static_cast<size_t>(std::max(arrangement->numChannels, 0));
  for (size_t i = 0; i < pins.size(); ++i)
    pins[i].connected = i < n;
}

void PluginVst::UpdateChannelCounts() {
  effect_.numInputs = static_cast<int32_t>(input_pins_.size());
  effect_.numOutputs = static_cast<int32_t>(output_pins_.size());
  input_arrangement_.numChannels = effect_.numInputs;
  output_arrangement_.numChannels = effect_.numOutputs;
}

// ---- audio ----

// A host block longer than the announced size is rendered in pieces of that size, so the
// scratch buffers are never overrun and nothing is allocated here. For each piece of n frames
// from `done` on, `connect` fills the engine's pointer arrays and `deliver` hands the result on.
template <typename Connect, typename Deliver>
void PluginVst::RenderInPieces(int32_t frames, Connect&& connect, Deliver&& deliver) {
  CallHost(audioMasterWantMidi);
  const int piece = std::max(block_size_, 1);
  for (int done = 0; done < frames; done += piece) {
    const int n = std::min(piece, frames - done);
    connect(done, n);
    RenderBlock(engine_inputs_.empty() ? nullptr : engine_inputs_.data(), engine_outputs_.data(),
                n);
    deliver(done, n);
  }
}

void PluginVst::ProcessFloat(float** inputs, float** outputs, int32_t frames, bool accumulate) {
  std::lock_guard lock(mutex_);
  auto connect = [&](int done, int n) {
    size_t next = 0;
    for (size_t i = 0; i < input_pins_.size(); ++i) {
      Pin& pin = input_pins_[i];
      engine_inputs_[i] = pin.buffer.data();
      if (!pin.connected) continue;
      const float* source = inputs ? inputs[next++] : nullptr;
      if (!source) continue;
      for (int s = 0; s < n; ++s)
        pin.buffer[static_cast<size_t>(s)] = source[done + s];
    }
    for (size_t i = 0; i < output_pins_.size(); ++i)
      engine_outputs_[i] = output_pins_[i].buffer.data();
  };
  auto deliver = [&](int done, int n) {
    size_t next = 0;
    for (Pin& pin : output_pins_) {
      if (!pin.connected) continue;
      float* target = outputs ? outputs[next++] : nullptr;
      if (!target) continue;
      target += done;
      const double* source = pin.buffer.data();
      if (accumulate) {
        for (int s = 0; s < n; ++s)
          target[s] += static_cast<float>(source[s]);
      } else {
        for (int s = 0; s < n; ++s)
          target[s] = static_cast<float>(source[s]);
      }
    }
  };
  RenderInPieces(frames, connect, deliver);
}

void PluginVst::ProcessDouble(double** inputs, double** outputs, int32_t frames) {
  std::lock_guard lock(mutex_);
  // The engine works in the host's buffers; only disconnected channels (and missing host
  // pointers) use scratch buffers, so nothing is copied.
  auto connect = [&](int done, int /*n*/) {
    size_t next = 0;
    for (size_t i = 0; i < input_pins_.size(); ++i) {
      double* host = input_pins_[i].connected && inputs ? inputs[next++] : nullptr;
      engine_inputs_[i] = host ? host + done : input_pins_[i].buffer.data();
    }
    next = 0;
    for (size_t i = 0; i < output_pins_.size(); ++i) {
      double* host = output_pins_[i].connected && outputs ? outputs[next++] : nullptr;
      engine_outputs_[i] = host ? host + done : output_pins_[i].buffer.data();
    }
  };
  RenderInPieces(frames, connect, [](int, int) {});
}

// ---- MIDI ----

void PluginVst::ProcessEvents(const VstEvents* events) {
  for (int32_t i = 0; i < events->numEvents; ++i) {
    const VstEvent* event = events->events[i];
    if (!event) continue;
    if (event->type == kVstMidiType) {
      const auto* midi = reinterpret_cast<const VstMidiEvent*>(event);
      MidiMessage message;
      message.offset = midi->deltaFrames;
      message.status = static_cast<uint8_t>(midi->midiData[0]);
      message.data1 = static_cast<uint8_t>(midi->midiData[1]);
      message.data2 = static_cast<uint8_t>(midi->midiData[2]);
      HandleMidiMessage(message);
    } else if (event->type == kVstSysExType) {
      const auto* sysex = reinterpret_cast<const VstMidiSysexEvent*>(event);
      SysExMessage message;
      message.offset = sysex->deltaFrames;
      message.size = sysex->dumpBytes;
      message.data = reinterpret_cast<const uint8_t*>(sysex->sysexDump);
      HandleSysEx(message);
    }
  }
}

bool PluginVst::SendMidiMessage(const MidiMessage& message) {
  VstMidiEvent event{};
  event.type = kVstMidiType;
  event.byteSize = sizeof(VstMidiEvent);
  event.deltaFrames = message.offset;
  event.midiData[0] = static_cast<char>(message.status);
  event.midiData[1] = static_cast<char>(message.data1);
  event.midiData[2] = static_cast<char>(message.data2);
  VstEvents list{};
  list.numEvents = 1;
  list.events[0] = reinterpret_cast<VstEvent*>(&event);
  return CallHost(audioMasterProcessEvents, 0, 0, &list) == 1;
}

bool PluginVst::SendSysExMessage(const SysExMessage& message) {
  VstMidiSysexEvent event{};
  event.type = kVstSysExType;
  event.byteSize = sizeof(VstMidiSysexEvent);
  event.deltaFrames = message.offset;
  event.dumpBytes = message.size;
  event.sysexDump = const_cast<char*>(reinterpret_cast<const char*>(message.data));
  VstEvents list{};
  list.numEvents = 1;
  list.events[0] = reinterpret_cast<VstEvent*>(&event);
  return CallHost(audioMasterProcessEvents, 0, 0, &list) == 1;
}

// ---- requests to the host ----

void PluginVst::BeginParamEdit(int index) {
  CallHost(audioMasterBeginEdit, index);
}

void PluginVst::AutomateParam(int index, double normalised) {
  CallHost(audioMasterAutomate, index, 0, nullptr, static_cast<float>(normalised));
}

void PluginVst::EndParamEdit(int index) {
  CallHost(audioMasterEndEdit, index);
}

void PluginVst::NotifyProgramChange() {
  CallHost(audioMasterUpdateDisplay);
}

bool PluginVst::IsOfflineRendering() {
  return CallHost(audioMasterGetCurrentProcessLevel) == kVstProcessLevelOffline;
}

const VstTimeInfo* PluginVst::GetTimeInfo(int32_t filter) {
  return reinterpret_cast<const VstTimeInfo*>(CallHost(audioMasterGetTime, 0, filter));
}

double PluginVst::GetSamplePosition() {
  const VstTimeInfo* info = GetTimeInfo(0);
  if (!info || !(info->samplePos >= 0.0)) return 0.0;
  return std::trunc(info->samplePos + 0.5);
}

double PluginVst::GetHostTempo() {
  const VstTimeInfo* info = GetTimeInfo(kVstTempoValid);
  if (!info || !(info->flags & kVstTempoValid) || !(info->tempo >= 0.0)) return 0.0;
  return info->tempo;
}

void PluginVst::GetTimeSignature(int* numerator, int* denominator) {
  *numerator = 0;
  *denominator = 0;
  const VstTimeInfo* info = GetTimeInfo(kVstTimeSigValid);
  if (!info || !(info->flags & kVstTimeSigValid)) return;
  if (info->timeSigNumerator >= 0 && info->timeSigDenominator >= 0) {
    *numerator = info->timeSigNumerator;
    *denominator = info->timeSigDenominator;
  }
}

void PluginVst::GetTransportInfo(TransportInfo* out) {
  constexpr int32_t kWanted =
      kVstPpqPosValid | kVstTempoValid | kVstBarsValid | kVstCyclePosValid | kVstTimeSigValid;
  const VstTimeInfo* info = GetTimeInfo(kWanted);
  if (!info || !(info->flags & kWanted)) return;
  out->sample_position = info->samplePos;
  if ((info->flags & kVstPpqPosValid) && info->ppqPos >= 0.0) out->ppq_position = info->ppqPos;
  if ((info->flags & kVstTempoValid) && info->tempo > 0.0) out->tempo = info->tempo;
  if ((info->flags & kVstBarsValid) && info->barStartPos >= 0.0)
    out->last_bar_ppq = info->barStartPos;
  if ((info->flags & kVstCyclePosValid) && info->cycleStartPos >= 0.0 && info->cycleEndPos >= 0.0) {
    out->cycle_start_ppq = info->cycleStartPos;
    out->cycle_end_ppq = info->cycleEndPos;
  }
  if ((info->flags & kVstTimeSigValid) && info->timeSigNumerator > 0 &&
      info->timeSigDenominator > 0) {
    out->numerator = info->timeSigNumerator;
    out->denominator = info->timeSigDenominator;
  }
  out->playing = (info->flags & kVstTransportPlaying) != 0;
  out->cycle_active = (info->flags & kVstTransportCycleActive) != 0;
}

// ---- host identification and set-up ----

int PluginVst::IdentifyHost() {
  if (host_id_ != -1) return host_id_;
  char product[kVendorBufferSize] = {};
  CallHost(audioMasterGetProductString, 0, 0, product);
  product[kVendorBufferSize - 1] = '\0';
  int32_t version = 0;
  if (product[0]) {
    version = HostVersionFromDecimal(static_cast<int32_t>(CallHost(audioMasterGetVendorVersion)));
  }
  host_id_ = HostIdFromProduct(product);
  host_version_ = version;
  return host_id_;
}

void PluginVst::HostSpecificInit() {
  if (host_init_done_) return;
  host_init_done_ = true;
  if (HostDisconnectsExtraInputs(IdentifyHost())) {
    for (size_t i = 2; i < input_pins_.size(); ++i)
      input_pins_[i].connected = false;
    for (size_t i = 2; i < output_pins_.size() && output_pins_.size() >= 3; ++i)
      output_pins_[i].connected = true;
  }
  UpdateChannelCounts();
  HostIdentified();
}

void PluginVst::AttachEditor(PluginEditor* editor) {
  if (!editor) return;
  std::lock_guard lock(mutex_);
  PluginBase::AttachEditor(editor);
  effect_.flags |= effFlagsHasEditor;
  EditorResized(editor->Width(), editor->Height());
}

void PluginVst::EditorResized(int /*width*/, int /*height*/) {
  if (!editor_) return;
  editor_rect_.top = 0;
  editor_rect_.left = 0;
  editor_rect_.bottom = static_cast<int16_t>(editor_->Height());
  editor_rect_.right = static_cast<int16_t>(editor_->Width());
}

void PluginVst::ChangeLatency(int samples) {
  PluginBase::ChangeLatency(samples);
  effect_.initialDelay = samples;
}

}  // namespace vantor
