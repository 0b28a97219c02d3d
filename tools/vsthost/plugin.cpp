// The host side of the VST 2.4 interface: loading, the host callback, buffers and events.
#include "tools/vsthost/plugin.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "tools/vsthost/os.h"

namespace vsthost {
namespace {

// Plug-ins call back before the entry point has returned their AEffect, so the instance being
// created is known by thread; afterwards by its AEffect, in a table read without a lock: plug-ins
// call back from their audio thread, where a host must never wait.
thread_local Plugin* g_constructing = nullptr;
constexpr int kMaxInstances = 64;
struct Registration {
  std::atomic<vst::AEffect*> effect{nullptr};
  std::atomic<Plugin*> plugin{nullptr};
};
Registration g_instances[kMaxInstances];

bool Register(vst::AEffect* effect, Plugin* plugin) {
  for (Registration& r : g_instances) {
    vst::AEffect* free_slot = nullptr;
    if (r.effect.compare_exchange_strong(free_slot, effect)) {
      r.plugin.store(plugin, std::memory_order_release);
      return true;
    }
  }
  return false;
}

void Unregister(vst::AEffect* effect) {
  for (Registration& r : g_instances) {
    if (r.effect.load(std::memory_order_acquire) == effect) {
      r.plugin.store(nullptr);
      r.effect.store(nullptr);
      return;
    }
  }
}

Plugin* Find(vst::AEffect* effect) {
  if (effect) {
    for (Registration& r : g_instances) {
      if (r.effect.load(std::memory_order_acquire) != effect) continue;
      if (Plugin* plugin = r.plugin.load(std::memory_order_acquire)) return plugin;
    }
  }
  return g_constructing;
}

void CopyString(void* ptr, const char* text, size_t capacity) {
  if (!ptr) return;
  char* out = static_cast<char*>(ptr);
  const size_t n = std::min(strlen(text), capacity - 1);
  memcpy(out, text, n);
  out[n] = '\0';
}

constexpr const char* kHostCanDo[] = {
    "sendVstEvents",       "sendVstMidiEvent", "sendVstTimeInfo", "receiveVstEvents",
    "receiveVstMidiEvent", "startStopProcess", "supplyIdle",      "sizeWindow",
};

// Plug-ins have been seen to write far past the documented string sizes; be generous.
constexpr size_t kStringBuffer = 1024;

}  // namespace

// ---------------------------------------------------------------------------------------------
// PluginLibrary

std::shared_ptr<PluginLibrary> PluginLibrary::Open(const std::string& path, std::string& error) {
  void* handle = os::OpenLibrary(path, error);
  if (!handle) return nullptr;
  std::shared_ptr<PluginLibrary> library(new PluginLibrary);
  library->handle_ = handle;
  library->path_ = path;
  library->directory_ = os::FolderOf(path);
  // Many Linux plug-ins still export only the legacy name.
  for (const char* name : {"VSTPluginMain", "main"}) {
    if (void* symbol = os::LibrarySymbol(handle, name)) {
      library->entry_ = reinterpret_cast<Entry>(symbol);
      library->entry_name_ = name;
      return library;
    }
  }
  error = path + " exports neither VSTPluginMain nor main: it is not a VST 2.4 plug-in";
  return nullptr;
}

std::shared_ptr<PluginLibrary> PluginLibrary::Linked(Entry entry, const std::string& name,
                                                     const std::string& directory) {
  std::shared_ptr<PluginLibrary> library(new PluginLibrary);
  library->entry_ = entry;
  library->entry_name_ = "VSTPluginMain";
  library->path_ = name;
  library->directory_ = directory;
  return library;
}

PluginLibrary::~PluginLibrary() {
  os::CloseLibrary(handle_);
}

// ---------------------------------------------------------------------------------------------
// EventBlock

void EventBlock::Clear() {
  count_ = 0;
}

void EventBlock::Add(int delta_frames, const MidiEvent& event) {
  if (event.size > 0) {
    AddMidi(delta_frames, event.data[0], event.data[1], event.data[2]);
    return;
  }
  if (events_.size() <= static_cast<size_t>(count_)) events_.emplace_back();
  Stored& s = events_[count_++];
  s.is_sysex = true;
  s.sysex_bytes = event.sysex;
  s.sysex = vst::VstMidiSysexEvent{};
  s.sysex.type = vst::kVstSysExType;
  s.sysex.byteSize = sizeof(vst::VstMidiSysexEvent);
  s.sysex.deltaFrames = delta_frames;
  s.sysex.dumpBytes = static_cast<vst::int32>(s.sysex_bytes.size());
}

void EventBlock::AddMidi(int delta_frames, uint8_t status, uint8_t data1, uint8_t data2) {
  if (events_.size() <= static_cast<size_t>(count_)) events_.emplace_back();
  Stored& s = events_[count_++];
  s.is_sysex = false;
  s.midi = vst::VstMidiEvent{};
  s.midi.type = vst::kVstMidiType;
  s.midi.byteSize = sizeof(vst::VstMidiEvent);
  s.midi.deltaFrames = delta_frames;
  s.midi.midiData[0] = static_cast<char>(status);
  s.midi.midiData[1] = static_cast<char>(data1);
  s.midi.midiData[2] = static_cast<char>(data2);
}

vst::VstEvents* EventBlock::List() {
  // The header, then one pointer per event; never fewer than the two the record declares.
  const size_t header = offsetof(vst::VstEvents, events) / sizeof(intptr_t);
  list_storage_.assign(header + std::max(count_, 2), 0);
  auto* list = reinterpret_cast<vst::VstEvents*>(list_storage_.data());
  list->numEvents = count_;
  for (int i = 0; i < count_; ++i) {
    Stored& s = events_[i];
    if (s.is_sysex) {
      s.sysex.sysexDump = reinterpret_cast<char*>(s.sysex_bytes.data());
      list->events[i] = reinterpret_cast<vst::VstEvent*>(&s.sysex);
    } else {
      list->events[i] = reinterpret_cast<vst::VstEvent*>(&s.midi);
    }
  }
  return list;
}

// ---------------------------------------------------------------------------------------------
// Plugin

std::unique_ptr<Plugin> Plugin::Create(std::shared_ptr<PluginLibrary> library, std::string& error) {
  std::unique_ptr<Plugin> plugin(new Plugin(library));
  g_constructing = plugin.get();
  vst::AEffect* effect = library->entry()(&Plugin::HostCallback);
  g_constructing = nullptr;
  if (!effect) {
    error = library->path() + ": the entry point " + library->entry_name() +
            " returned no plug-in instance";
    return nullptr;
  }
  if (effect->magic != vst::kEffectMagic) {
    error = library->path() + ": the entry point returned a record without the 'VstP' magic";
    return nullptr;  // not ours to close: we do not know what it is
  }
  if (!effect->dispatcher || !effect->setParameter || !effect->getParameter ||
      (!effect->processReplacing && !effect->process) || effect->numParams < 0 ||
      effect->numPrograms < 0 || effect->numInputs < 0 || effect->numOutputs < 0) {
    error = library->path() +
            ": the plug-in record is incomplete (missing callbacks or "
            "negative counts)";
    return nullptr;
  }
  plugin->effect_ = effect;
  if (!Register(effect, plugin.get())) {
    error = "more than " + std::to_string(kMaxInstances) + " plug-in instances at once";
    return nullptr;  // closed by the destructor
  }
  plugin->Dispatch(vst::effOpen);
  plugin->Configure(plugin->host_.sample_rate, plugin->host_.block_size);
  return plugin;
}

Plugin::~Plugin() {
  if (!effect_) return;
  if (running_) Suspend();
  Dispatch(vst::effClose);
  Unregister(effect_);
}

vst::intptr Plugin::Dispatch(vst::int32 opcode, vst::int32 index, vst::intptr value, void* ptr,
                             float opt) {
  return effect_->dispatcher(effect_, opcode, index, value, ptr, opt);
}

std::string Plugin::GetString(vst::int32 opcode, vst::int32 index) {
  char buffer[kStringBuffer] = {};
  Dispatch(opcode, index, 0, buffer);
  buffer[kStringBuffer - 1] = '\0';
  return buffer;
}

std::string Plugin::EffectName() {
  std::string name = GetString(vst::effGetEffectName);
  if (name.empty()) name = GetString(vst::effGetProductString);
  return name;
}

std::string Plugin::ProgramName(int index) {
  char buffer[kStringBuffer] = {};
  if (Dispatch(vst::effGetProgramNameIndexed, index, -1, buffer)) {
    buffer[kStringBuffer - 1] = '\0';
    return buffer;
  }
  const int current = GetProgram();
  if (index == current) return CurrentProgramName();
  SetProgram(index);
  std::string name = CurrentProgramName();
  SetProgram(current);
  return name;
}

bool Plugin::CanDo(const char* what) {
  return Dispatch(vst::effCanDo, 0, 0, const_cast<char*>(what)) > 0;
}

bool Plugin::String2Parameter(int index, const std::string& text) {
  std::vector<char> copy(text.begin(), text.end());
  copy.push_back('\0');
  return Dispatch(vst::effString2Parameter, index, 0, copy.data()) != 0;
}

void Plugin::SetProgram(int index) {
  Dispatch(vst::effBeginSetProgram);
  Dispatch(vst::effSetProgram, 0, index);
  Dispatch(vst::effEndSetProgram);
}

void Plugin::SetProgramName(const std::string& name) {
  std::vector<char> copy(name.begin(), name.end());
  copy.push_back('\0');
  Dispatch(vst::effSetProgramName, 0, 0, copy.data());
}

void Plugin::Configure(double sample_rate, int block_size) {
  host_.sample_rate = sample_rate;
  host_.block_size = block_size;
  host_.time.sampleRate = sample_rate;
  Dispatch(vst::effSetSampleRate, 0, 0, nullptr, static_cast<float>(sample_rate));
  Dispatch(vst::effSetBlockSize, 0, block_size);
  SizeBuffers();
}

void Plugin::SizeBuffers() {
  const size_t frames = static_cast<size_t>(host_.block_size);
  inputs_.assign(std::max(effect_->numInputs, 1), std::vector<float>(frames, 0.0f));
  // At least two so that Left() and Right() always point somewhere.
  outputs_.assign(std::max(effect_->numOutputs, 2), std::vector<float>(frames, 0.0f));
  input_pointers_.clear();
  output_pointers_.clear();
  for (auto& b : inputs_)
    input_pointers_.push_back(b.data());
  for (auto& b : outputs_)
    output_pointers_.push_back(b.data());
  double_inputs_.assign(inputs_.size(), std::vector<double>(frames, 0.0));
  double_outputs_.assign(outputs_.size(), std::vector<double>(frames, 0.0));
  double_input_pointers_.clear();
  double_output_pointers_.clear();
  for (auto& b : double_inputs_)
    double_input_pointers_.push_back(b.data());
  for (auto& b : double_outputs_)
    double_output_pointers_.push_back(b.data());
}

void Plugin::Resume() {
  if (running_) return;
  Dispatch(vst::effMainsChanged, 0, 1);
  Dispatch(vst::effStartProcess);
  running_ = true;
}

void Plugin::Suspend() {
  if (!running_) return;
  Dispatch(vst::effStopProcess);
  Dispatch(vst::effMainsChanged, 0, 0);
  running_ = false;
}

void Plugin::Process(EventBlock* events, int frames) {
  frames = std::clamp(frames, 0, host_.block_size);
  if (events && !events->Empty()) Dispatch(vst::effProcessEvents, 0, 0, events->List());
  for (auto& b : inputs_)
    std::fill(b.begin(), b.begin() + frames, 0.0f);
  if (effect_->processReplacing && HasFlag(vst::effFlagsCanReplacing)) {
    effect_->processReplacing(effect_, input_pointers_.data(), output_pointers_.data(), frames);
  } else {
    // Only the accumulating callback: it adds to what the buffers hold, so start from silence.
    for (auto& b : outputs_)
      std::fill(b.begin(), b.begin() + frames, 0.0f);
    auto process = effect_->process ? effect_->process : effect_->processReplacing;
    process(effect_, input_pointers_.data(), output_pointers_.data(), frames);
  }
}

void Plugin::ProcessDouble(EventBlock* events, int frames) {
  frames = std::clamp(frames, 0, host_.block_size);
  if (!effect_->processDoubleReplacing) return;
  if (events && !events->Empty()) Dispatch(vst::effProcessEvents, 0, 0, events->List());
  for (auto& b : double_inputs_)
    std::fill(b.begin(), b.begin() + frames, 0.0);
  effect_->processDoubleReplacing(effect_, double_input_pointers_.data(),
                                  double_output_pointers_.data(), frames);
  for (size_t ch = 0; ch < outputs_.size(); ++ch) {
    for (int i = 0; i < frames; ++i)
      outputs_[ch][i] = static_cast<float>(double_outputs_[ch][i]);
  }
}

void Plugin::SetTransport(double sample_position, double bpm, double quarters, int numerator,
                          int denominator, bool playing) {
  vst::VstTimeInfo& t = host_.time;
  t.samplePos = sample_position;
  t.sampleRate = host_.sample_rate;
  t.tempo = bpm;
  t.ppqPos = quarters;
  const double bar_length = numerator * 4.0 / denominator;
  t.barStartPos = bar_length > 0 ? std::floor(quarters / bar_length) * bar_length : 0.0;
  t.timeSigNumerator = numerator;
  t.timeSigDenominator = denominator;
  t.flags = vst::kVstTempoValid | vst::kVstPpqPosValid | vst::kVstBarsValid |
            vst::kVstTimeSigValid | (playing ? vst::kVstTransportPlaying : 0);
}

bool Plugin::GetChunk(bool bank, std::vector<uint8_t>& out) {
  void* data = nullptr;
  const vst::intptr size = Dispatch(vst::effGetChunk, bank ? 0 : 1, 0, &data);
  if (size <= 0 || !data) return false;
  const auto* bytes = static_cast<const uint8_t*>(data);
  out.assign(bytes, bytes + size);
  return true;
}

bool Plugin::SetChunk(bool bank, const std::vector<uint8_t>& data, int elements) {
  vst::VstPatchChunkInfo info{};
  info.version = 1;
  info.pluginUniqueID = effect_->uniqueID;
  info.pluginVersion = effect_->version;
  info.numElements = elements;
  if (Dispatch(bank ? vst::effBeginLoadBank : vst::effBeginLoadProgram, 0, 0, &info) == -1) {
    return false;
  }
  // The plug-in may keep the pointer until it returns, never after; a copy keeps ours const.
  std::vector<uint8_t> copy = data;
  return Dispatch(vst::effSetChunk, bank ? 0 : 1, static_cast<vst::intptr>(copy.size()),
                  copy.data()) != 0;
}

vst::intptr VST_CALL Plugin::HostCallback(vst::AEffect* effect, vst::int32 opcode, vst::int32 index,
                                          vst::intptr value, void* ptr, float opt) {
  if (opcode == vst::audioMasterVersion) return 2400;
  Plugin* self = Find(effect);
  if (!self) return 0;
  return self->Answer(opcode, index, value, ptr, opt);
}

vst::intptr Plugin::Answer(vst::int32 opcode, vst::int32 index, vst::intptr value, void* ptr,
                           float /*opt*/) {
  switch (opcode) {
    case vst::audioMasterSizeWindow:
      return host_.size_window && index > 0 && value > 0 &&
                     host_.size_window(index, static_cast<int>(value))
                 ? 1
                 : 0;
    case vst::audioMasterAutomate:
      ++host_.automations;
      return 0;
    case vst::audioMasterCurrentId:
      return effect_ ? effect_->uniqueID : 0;
    case vst::audioMasterWantMidi:
      return 1;
    case vst::audioMasterGetTime:
      return reinterpret_cast<vst::intptr>(&host_.time);
    case vst::audioMasterProcessEvents:
      if (ptr) host_.midi_out_events += static_cast<vst::VstEvents*>(ptr)->numEvents;
      return 1;
    case vst::audioMasterGetSampleRate:
      return static_cast<vst::intptr>(host_.sample_rate);
    case vst::audioMasterGetBlockSize:
      return host_.block_size;
    case vst::audioMasterGetCurrentProcessLevel:
      return host_.process_level.load();
    case vst::audioMasterGetAutomationState:
      return 1;  // automation off: nothing is being recorded
    case vst::audioMasterGetVendorString:
      CopyString(ptr, "Vantor", vst::kNameBufferSize);
      return 1;
    case vst::audioMasterGetProductString:
      CopyString(ptr, host_.product.c_str(), vst::kNameBufferSize);
      return 1;
    case vst::audioMasterGetVendorVersion:
      return 1000;
    case vst::audioMasterCanDo:
      if (!ptr) return 0;
      for (const char* what : kHostCanDo) {
        if (strcmp(static_cast<const char*>(ptr), what) == 0) return 1;
      }
      return 0;
    case vst::audioMasterGetLanguage:
      return vst::kVstLangEnglish;
    case vst::audioMasterGetDirectory:
      return reinterpret_cast<vst::intptr>(library_->directory().c_str());
    case vst::audioMasterUpdateDisplay:
      ++host_.display_updates;
      return 1;
    case vst::audioMasterBeginEdit:
    case vst::audioMasterEndEdit:
      return 1;
    default:
      return 0;
  }
}

}  // namespace vsthost
