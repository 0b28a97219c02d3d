// PluginBase: the framework layer of the plug-in object (parameters, program slots, lock, state).
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/fx_format.h"
#include "core/plugin_param.h"
#include "core/preset_slot.h"
#include "core/state_chunk.h"
#include "engine/midi_message.h"

namespace vantor {

class PluginEditor;

struct ChannelIOPair {
  int32_t inputs = 0;
  int32_t outputs = 0;
};

// One input or output pin of the host binding, with its scratch buffer of one host block.
struct Pin {
  std::string label;
  bool connected = true;
  std::vector<double> buffer;
};

struct TransportInfo {
  double tempo = 0.0;
  double sample_position = 0.0;
  double ppq_position = 0.0;
  double last_bar_ppq = 0.0;
  double cycle_start_ppq = 0.0;
  double cycle_end_ppq = 0.0;
  int numerator = 0;
  int denominator = 0;
  bool playing = false;
  bool cycle_active = false;
};

// Everything a failed load must give back: the program slots, the current program and the
// parameter values.
struct ProgramsSnapshot {
  std::vector<PresetSlot> programs;
  std::vector<double> values;
  int current_program = 0;
};

class PluginBase {
 public:
  static constexpr int kNumParams = 110;
  static constexpr int kNumPrograms = 64;
  static constexpr int kNameSize = 128;
  static constexpr int32_t kUniqueId = FxMagic("VNQ8");
  static constexpr int32_t kVendorVersion = 0x10301;
  static constexpr int32_t kChunkMagic = 0x70666674;  // "tffp" when stored little-endian
  static constexpr int32_t kChunkVersion = 0x00010000;

  PluginBase();
  PluginBase(const PluginBase&) = delete;
  PluginBase& operator=(const PluginBase&) = delete;

  // Virtual operations, in slot order.
  virtual ~PluginBase();                                                            // 0
  virtual void ResetEngine();                                                       // 1
  virtual void ParamChanged(int index);                                             // 2
  virtual void RenderBlock(double** inputs, double** outputs, int frames);          // 3
  virtual void EditorOpened() {}                                                    // 4
  virtual void EditorClosed() {}                                                    // 5
  virtual void IdleTick() {}                                                        // 6
  virtual void ActivationChanged(bool active);                                      // 7
  virtual void HandleMidiMessage(const MidiMessage& message);                       // 8
  virtual void HandleSysEx(const SysExMessage& /*message*/) {}                      // 9
  virtual bool GetMidiNoteName(int note, char* out);                                // 10
  virtual bool SaveState(StateChunk& chunk);                                        // 11
  virtual int LoadState(const StateChunk& chunk, int position);                     // 12
  virtual bool StateMatches(const double* values, int start) const;                 // 13
  virtual void Hook14() {}                                                          // 14
  virtual bool Query15() { return false; }                                          // 15
  virtual void HostIdentified() {}                                                  // 16
  virtual void Hook17() {}                                                          // 17
  virtual void SetParamFromEditor(int index, double normalised);                    // 18
  virtual void BeginParamEdit(int index) = 0;                                       // 19
  virtual void AutomateParam(int index, double normalised) = 0;                     // 20
  virtual void EndParamEdit(int index) = 0;                                         // 21
  virtual void NotifyProgramChange() = 0;                                           // 22
  virtual bool IsOfflineRendering() { return false; }                               // 23
  virtual double GetSamplePosition() = 0;                                           // 24
  virtual double GetHostTempo() = 0;                                                // 25
  virtual void GetTimeSignature(int* numerator, int* denominator) = 0;              // 26
  virtual void GetTransportInfo(TransportInfo* info) = 0;                           // 27
  virtual int IdentifyHost() { return host_id_; }                                   // 28
  virtual int GetApiKind() { return api_kind_; }                                    // 29
  virtual void EditorResized(int width, int height) = 0;                            // 30
  virtual void HostSpecificInit() {}                                                // 31
  virtual void AttachEditor(PluginEditor* editor);                                  // 32
  virtual void ChangeLatency(int samples) { latency_ = samples; }                   // 33
  virtual bool SendMidiMessage(const MidiMessage& message) = 0;                     // 34
  virtual bool SendSysExMessage(const SysExMessage& /*message*/) { return false; }  // 35
  virtual void RefreshEditorControls();                                             // 36
  virtual int UnserializePresets(const StateChunk& chunk, int position);            // 37
  virtual void ModifyCurrentPreset(const char* name);                               // 38
  virtual void Hook39() {}                                                          // 39
  virtual void ProgramsChangedByHost() {}                                           // 40
  virtual void ChangeSampleRate(double rate) { sample_rate_ = rate; }               // 41
  virtual void ChangeBlockSize(int frames);                                         // 42

  // Parameters: null for an index outside 0 .. 109.
  PluginParam* Param(int index);
  const PluginParam* Param(int index) const;
  void PushAllParamsToHost();
  bool LegalIO() const;

  // Serialization of parameters and program slots.
  bool SerializeParams(StateChunk& chunk);
  int UnserializeParams(const StateChunk& chunk, int position);
  bool SerializePresets(StateChunk& chunk);
  bool RecallProgram(int n);
  const char* GetProgramName(int n) const;
  // Every slot still uninitialized becomes "Empty" with the current settings as its state.
  void FillEmptyProgramSlots();
  // A copy of the slots and parameters, and its restoration (which tells the engine and the
  // editor), so that a reader can put back what it changed when the data proves unusable.
  ProgramsSnapshot SnapshotPrograms() const;
  // The same into `snapshot`, reusing its storage: no allocation once it has held one.
  void SnapshotPrograms(ProgramsSnapshot* snapshot) const;
  void RestorePrograms(const ProgramsSnapshot& snapshot);
  static void WriteChunkHeader(StateChunk& chunk);
  // Returns the framework version and advances the position past the header, or 0.
  static int32_t ReadChunkHeader(const StateChunk& chunk, int* position);

  std::recursive_mutex& mutex() { return mutex_; }
  PresetSlot& Program(int n) { return programs_[static_cast<size_t>(n)]; }
  const PresetSlot& Program(int n) const { return programs_[static_cast<size_t>(n)]; }
  int current_program() const { return current_program_; }
  void set_current_program(int n) { current_program_ = n; }
  double sample_rate() const { return sample_rate_; }
  int block_size() const { return block_size_; }
  int latency() const { return latency_; }
  bool has_chunks() const { return has_chunks_; }
  int host_version() const { return host_version_; }
  const char* effect_name() const { return effect_name_; }
  const char* product_name() const { return product_name_; }
  const char* maker_name() const { return maker_name_; }
  PluginEditor* editor() const { return editor_; }
  const std::vector<ChannelIOPair>& channel_config() const { return channel_config_; }
  std::vector<Pin>& input_pins() { return input_pins_; }
  std::vector<Pin>& output_pins() { return output_pins_; }

 protected:
  // Reads 110 doubles at p into the parameters, clamped but not quantised, then ParamChanged for
  // all; a short chunk leaves its last parameter at its clamped zero and the rest untouched.
  int ReadParamValues(const StateChunk& chunk, int p);
  // The slot loop of UnserializePresets, without the protection of the user's programs.
  int ReadPresets(const StateChunk& chunk, int p);

  mutable std::recursive_mutex mutex_;
  std::vector<ChannelIOPair> channel_config_;
  int32_t unique_id_ = kUniqueId;
  int32_t vendor_version_ = kVendorVersion;
  int32_t host_id_ = -1;
  int32_t host_version_ = 0;
  int32_t api_kind_ = 0;
  bool has_chunks_ = true;
  int current_program_ = 0;
  double sample_rate_ = 44100.0;
  int block_size_ = 0;
  int latency_ = 0;
  std::vector<PluginParam> params_;
  std::vector<PresetSlot> programs_;
  char effect_name_[kNameSize] = {};
  char product_name_[kNameSize] = {};
  char maker_name_[kNameSize] = {};
  std::vector<Pin> input_pins_;
  std::vector<Pin> output_pins_;
  PluginEditor* editor_ = nullptr;
};

}  // namespace vantor
