// Loading a VST 2.4 plug-in library and driving one instance of it, as a host does.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/vst24.h"
#include "tools/vsthost/midi_file.h"

namespace vsthost {

// The opened shared library and its entry point; instances keep it alive.
class PluginLibrary {
 public:
  using Entry = vst::PluginEntryProc;

  static std::shared_ptr<PluginLibrary> Open(const std::string& path, std::string& error);
  // A plug-in linked into this program: its entry point, a name for messages, and the folder it
  // is told is its own.
  static std::shared_ptr<PluginLibrary> Linked(Entry entry, const std::string& name,
                                               const std::string& directory);
  ~PluginLibrary();
  PluginLibrary(const PluginLibrary&) = delete;
  PluginLibrary& operator=(const PluginLibrary&) = delete;

  const std::string& path() const { return path_; }
  const std::string& directory() const { return directory_; }
  const char* entry_name() const { return entry_name_; }
  Entry entry() const { return entry_; }

 private:
  PluginLibrary() = default;
  void* handle_ = nullptr;
  Entry entry_ = nullptr;
  const char* entry_name_ = "";
  std::string path_;
  std::string directory_;
};

// Events for one block, laid out as the VstEvents list the plug-in receives.
class EventBlock {
 public:
  void Clear();
  void Add(int delta_frames, const MidiEvent& event);
  void AddMidi(int delta_frames, uint8_t status, uint8_t data1, uint8_t data2);
  bool Empty() const { return count_ == 0; }
  int size() const { return count_; }
  // Valid until the next Add or Clear.
  vst::VstEvents* List();

 private:
  struct Stored {
    vst::VstMidiEvent midi;
    vst::VstMidiSysexEvent sysex;
    std::vector<uint8_t> sysex_bytes;
    bool is_sysex;
  };
  std::vector<Stored> events_;
  int count_ = 0;
  std::vector<intptr_t> list_storage_;
};

// What the host tells a plug-in about itself and the transport, and what it heard back.
struct HostState {
  double sample_rate = 44100.0;
  int block_size = 512;
  std::atomic<int> process_level{vst::kVstProcessLevelUser};
  vst::VstTimeInfo time{};
  std::atomic<long> automations{0};
  std::atomic<long> midi_out_events{0};
  std::atomic<long> display_updates{0};
  std::string product = "vsthost";  // what audioMasterGetProductString answers
  // audioMasterSizeWindow (width, height): resizes the window the editor lies in; true when it
  // did. Unset, the request is refused.
  std::function<bool(int, int)> size_window;
};

// One instance. Every call goes straight to the plug-in; the wrapper only keeps the host side.
class Plugin {
 public:
  static std::unique_ptr<Plugin> Create(std::shared_ptr<PluginLibrary> library, std::string& error);
  ~Plugin();  // suspends when running, then effClose
  Plugin(const Plugin&) = delete;
  Plugin& operator=(const Plugin&) = delete;

  vst::AEffect* effect() const { return effect_; }
  const PluginLibrary& library() const { return *library_; }
  HostState& host() { return host_; }

  vst::intptr Dispatch(vst::int32 opcode, vst::int32 index = 0, vst::intptr value = 0,
                       void* ptr = nullptr, float opt = 0.0f);
  // A string opcode with a generous buffer; plug-ins often write past the documented sizes.
  std::string GetString(vst::int32 opcode, vst::int32 index = 0);

  int NumParams() const { return effect_->numParams; }
  int NumPrograms() const { return effect_->numPrograms; }
  int NumInputs() const { return effect_->numInputs; }
  int NumOutputs() const { return effect_->numOutputs; }
  int Flags() const { return effect_->flags; }
  bool HasFlag(int flag) const { return (effect_->flags & flag) != 0; }
  bool IsSynth() const { return HasFlag(vst::effFlagsIsSynth); }

  std::string EffectName();
  std::string ParamName(int index) { return GetString(vst::effGetParamName, index); }
  std::string ParamLabel(int index) { return GetString(vst::effGetParamLabel, index); }
  std::string ParamDisplay(int index) { return GetString(vst::effGetParamDisplay, index); }
  // By index where the plug-in answers that, otherwise by switching programs and back.
  std::string ProgramName(int index);
  std::string CurrentProgramName() { return GetString(vst::effGetProgramName); }
  bool CanDo(const char* what);

  float GetParameter(int index) { return effect_->getParameter(effect_, index); }
  void SetParameter(int index, float value) { effect_->setParameter(effect_, index, value); }
  bool String2Parameter(int index, const std::string& text);
  int GetProgram() { return static_cast<int>(Dispatch(vst::effGetProgram)); }
  void SetProgram(int index);
  void SetProgramName(const std::string& name);

  // Only while suspended, as the interface requires.
  void Configure(double sample_rate, int block_size);
  void Resume();
  void Suspend();
  bool running() const { return running_; }

  // Hands the events to the plug-in and renders `frames` (<= block size) into the output
  // buffers; outputs() then holds one pointer per plug-in output.
  void Process(EventBlock* events, int frames);
  // The same through processDoubleReplacing; outputs() then holds the results rounded to float.
  void ProcessDouble(EventBlock* events, int frames);
  float* const* outputs() { return output_pointers_.data(); }
  // The first two outputs, a mono plug-in's one output twice.
  const float* Left() const { return output_pointers_[0]; }
  const float* Right() const { return output_pointers_[NumOutputsUsed() > 1 ? 1 : 0]; }

  // Keeps the host's transport in step with the rendered position.
  void SetTransport(double sample_position, double bpm, double quarters, int numerator,
                    int denominator, bool playing);

  // effGetChunk / effSetChunk with effBeginLoad* announcements. False when refused.
  bool GetChunk(bool bank, std::vector<uint8_t>& out);
  bool SetChunk(bool bank, const std::vector<uint8_t>& data, int elements);

 private:
  explicit Plugin(std::shared_ptr<PluginLibrary> library) : library_(std::move(library)) {}
  int NumOutputsUsed() const { return effect_->numOutputs; }
  void SizeBuffers();

  static vst::intptr VST_CALL HostCallback(vst::AEffect* effect, vst::int32 opcode,
                                           vst::int32 index, vst::intptr value, void* ptr,
                                           float opt);
  vst::intptr Answer(vst::int32 opcode, vst::int32 index, vst::intptr value, void* ptr, float opt);

  std::shared_ptr<PluginLibrary> library_;
  vst::AEffect* effect_ = nullptr;
  HostState host_;
  bool running_ = false;
  bool processing_started_ = false;
  std::vector<std::vector<float>> inputs_, outputs_;
  std::vector<float*> input_pointers_, output_pointers_;
  std::vector<std::vector<double>> double_inputs_, double_outputs_;
  std::vector<double*> double_input_pointers_, double_output_pointers_;
};

}  // namespace vsthost
