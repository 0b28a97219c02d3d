// The test host: library loading, the host callback and instance helpers.
#include "plugin_host.h"

#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>

#include "support/test_home.h"

namespace vantor::testing {
namespace {

HostState* g_host = nullptr;

void CopyOut(void* ptr, const std::string& text) {
  // Hosts hand 256-byte buffers for these strings.
  snprintf(static_cast<char*>(ptr), 256, "%s", text.c_str());
}

}  // namespace

int HostState::Count(int32_t opcode) const {
  int n = 0;
  for (const Call& call : calls)
    n += call.opcode == opcode;
  return n;
}

intptr_t HostCallback(vst::AEffect* /*effect*/, int32_t opcode, int32_t index, intptr_t value,
                      void* ptr, float opt) {
  HostState* host = g_host;
  if (!host) return 0;
  host->calls.push_back({opcode, index, value, opt});
  switch (opcode) {
    case vst::audioMasterVersion:
      return 2400;
    case vst::audioMasterGetProductString:
      CopyOut(ptr, host->product);
      return 1;
    case vst::audioMasterGetVendorString:
      CopyOut(ptr, host->vendor);
      return 1;
    case vst::audioMasterGetVendorVersion:
      return host->vendor_version;
    case vst::audioMasterGetTime:
      return host->answer_time ? reinterpret_cast<intptr_t>(&host->time) : 0;
    case vst::audioMasterGetCurrentProcessLevel:
      return host->process_level;
    case vst::audioMasterSizeWindow:
      return host->size_window_answer;
    case vst::audioMasterProcessEvents: {
      const auto* events = static_cast<const vst::VstEvents*>(ptr);
      for (int i = 0; i < events->numEvents; ++i) {
        if (events->events[i]->type == vst::kVstMidiType)
          host->midi_out.push_back(*reinterpret_cast<vst::VstMidiEvent*>(events->events[i]));
      }
      return host->process_events_answer;
    }
    default:
      return 0;
  }
}

vst::VstMidiEvent Midi(int delta, uint8_t status, uint8_t data1, uint8_t data2) {
  vst::VstMidiEvent e{};
  e.type = vst::kVstMidiType;
  e.byteSize = sizeof e;
  e.deltaFrames = delta;
  e.midiData[0] = static_cast<char>(status);
  e.midiData[1] = static_cast<char>(data1);
  e.midiData[2] = static_cast<char>(data2);
  return e;
}

EventList::EventList(const std::vector<vst::VstEvent*>& events)
    : storage(sizeof(vst::VstEvents) + events.size() * sizeof(vst::VstEvent*)) {
  vst::VstEvents* list = get();
  list->numEvents = static_cast<int32_t>(events.size());
  for (size_t i = 0; i < events.size(); ++i)
    list->events[i] = events[i];
}

void WriteConfig(const std::string& text) {
  const std::filesystem::path folder = FreshConfigHome() / "Brenwick";
  std::filesystem::create_directories(folder);
  std::ofstream(folder / "vantor.ini") << text;
}

void* PluginLibrary() {
  static void* handle = [] {
    void* h = dlopen(VANTOR_PLUGIN_PATH, RTLD_NOW | RTLD_LOCAL);
    if (!h) {
      fprintf(stderr, "cannot load %s: %s\n", VANTOR_PLUGIN_PATH, dlerror());
      abort();
    }
    return h;
  }();
  return handle;
}

EntryPoint PluginEntry(const char* name) {
  return reinterpret_cast<EntryPoint>(dlsym(PluginLibrary(), name));
}

ScopedHost::ScopedHost(HostState* host) : previous_(g_host) {
  g_host = host;
}

ScopedHost::~ScopedHost() {
  g_host = previous_;
}

Instance::Instance(HostState* host) : scope_(host) {
  effect = PluginEntry("VSTPluginMain")(HostCallback);
}

Instance::~Instance() {
  if (effect) Dispatch(vst::effClose);
}

intptr_t Instance::Dispatch(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
  return effect->dispatcher(effect, opcode, index, value, ptr, opt);
}

std::string Instance::ProgramName(int index) {
  char name[256] = {};
  Dispatch(vst::effGetProgramNameIndexed, index, 0, name);
  return name;
}

std::string Instance::ParamText(int opcode, int index) {
  char text[256] = {};
  Dispatch(opcode, index, 0, text);
  return text;
}

std::vector<uint8_t> Instance::GetChunk(int index) {
  void* data = nullptr;
  const intptr_t size = Dispatch(vst::effGetChunk, index, 0, &data);
  if (size <= 0 || !data) return {};
  const auto* bytes = static_cast<const uint8_t*>(data);
  return std::vector<uint8_t>(bytes, bytes + size);
}

intptr_t Instance::SetChunk(int index, const std::vector<uint8_t>& bytes) {
  // A copy the plug-in cannot read past without the sanitizer noticing.
  std::vector<uint8_t> copy(bytes);
  return Dispatch(vst::effSetChunk, index, static_cast<intptr_t>(copy.size()),
                  copy.empty() ? static_cast<void*>(&copy) : copy.data());
}

void Instance::Start(float sample_rate, int block_size) {
  Dispatch(vst::effOpen);
  Dispatch(vst::effSetSampleRate, 0, 0, nullptr, sample_rate);
  Dispatch(vst::effSetBlockSize, 0, block_size);
  Dispatch(vst::effMainsChanged, 0, 1);
}

intptr_t Instance::SendMidi(std::vector<vst::VstMidiEvent> events) {
  std::vector<vst::VstEvent*> pointers;
  for (vst::VstMidiEvent& e : events)
    pointers.push_back(reinterpret_cast<vst::VstEvent*>(&e));
  EventList list(pointers);
  return Dispatch(vst::effProcessEvents, 0, 0, list.get());
}

}  // namespace vantor::testing
