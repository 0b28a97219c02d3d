// A minimal VST 2.4 host for tests: loads the built Vantor.so and talks to it only through the
// entry point and the AEffect, recording what the plug-in asks of the host.
#pragma once

#include <string>
#include <vector>

#include "host/vst24.h"

namespace vantor::testing {

// What the host answers and what it saw; one is active at a time (see ScopedHost).
struct HostState {
  std::string product = "Test Host";
  std::string vendor = "Vantor Tests";
  intptr_t vendor_version = 10203;
  vst::VstTimeInfo time{};
  bool answer_time = false;
  intptr_t process_events_answer = 1;
  intptr_t process_level = vst::kVstProcessLevelRealtime;
  intptr_t size_window_answer = 0;  // audioMasterSizeWindow: 1 resizes, 0 refuses

  struct Call {
    int32_t opcode;
    int32_t index;
    intptr_t value;
    float opt;
  };
  std::vector<Call> calls;
  std::vector<vst::VstMidiEvent> midi_out;

  int Count(int32_t opcode) const;
  void Clear() { calls.clear(), midi_out.clear(); }
};

// The host callback handed to the plug-in; answers from the active HostState.
intptr_t HostCallback(vst::AEffect* effect, int32_t opcode, int32_t index, intptr_t value,
                      void* ptr, float opt);

// Makes `host` the one the callback answers from, for the scope's lifetime.
class ScopedHost {
 public:
  explicit ScopedHost(HostState* host);
  ~ScopedHost();
  ScopedHost(const ScopedHost&) = delete;
  ScopedHost& operator=(const ScopedHost&) = delete;

 private:
  HostState* previous_;
};

// A MIDI event as hosts send it.
vst::VstMidiEvent Midi(int delta, uint8_t status, uint8_t data1, uint8_t data2);

// A VstEvents list of any length over events the caller keeps alive.
struct EventList {
  explicit EventList(const std::vector<vst::VstEvent*>& events);
  vst::VstEvents* get() { return reinterpret_cast<vst::VstEvents*>(storage.data()); }
  std::vector<uint8_t> storage;
};

// Writes the instrument's configuration file into a fresh configuration folder.
void WriteConfig(const std::string& text);

// The plug-in library, opened once per test process.
void* PluginLibrary();
using EntryPoint = vst::PluginEntryProc;
EntryPoint PluginEntry(const char* name);

// One plug-in instance created through VSTPluginMain and closed through effClose.
class Instance {
 public:
  explicit Instance(HostState* host);
  ~Instance();
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;

  intptr_t Dispatch(int32_t opcode, int32_t index = 0, intptr_t value = 0, void* ptr = nullptr,
                    float opt = 0.0f);
  std::string ProgramName(int index);
  std::string ParamText(int opcode, int index);
  // The chunk the plug-in hands out for effGetChunk(index), copied.
  std::vector<uint8_t> GetChunk(int index);
  intptr_t SetChunk(int index, const std::vector<uint8_t>& bytes);
  // Opens the plug-in and starts audio the way hosts do.
  void Start(float sample_rate, int block_size);
  // Hands the events to effProcessEvents in one list; returns its answer.
  intptr_t SendMidi(std::vector<vst::VstMidiEvent> events);
  float Get(int index) { return effect->getParameter(effect, index); }
  void Set(int index, float value) { effect->setParameter(effect, index, value); }

  vst::AEffect* effect = nullptr;

 private:
  ScopedHost scope_;
};

}  // namespace vantor::testing
