// Fuzz target: the chunk readers behind effSetChunk and the state readers under them. A refused
// chunk leaves every program slot and parameter exactly as it was; an accepted one comes back
// out and is accepted again; no chunk makes a parameter value that is not a number.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "instrument/vantor.h"

namespace {

using namespace vantor;

// The first input byte chooses: bit 0 a host whose vendor gets program chunks only, bit 1 the
// bank index, bit 2 the state readers called directly.
constexpr uint8_t kQuirkHost = 1;
constexpr uint8_t kBankIndex = 2;
constexpr uint8_t kDirect = 4;

intptr_t PlainHost(vst::AEffect*, int32_t, int32_t, intptr_t, void*, float) {
  return 0;
}

intptr_t QuirkHost(vst::AEffect*, int32_t opcode, int32_t, intptr_t, void* ptr, float) {
  if (opcode == vst::audioMasterGetVendorString) strcpy(static_cast<char*>(ptr), "JUCE VST Host");
  return 0;
}

bool Same(const ProgramsSnapshot& a, const ProgramsSnapshot& b) {
  if (a.current_program != b.current_program || a.values.size() != b.values.size()) return false;
  // Compared as bytes, so that a NaN equals itself.
  if (memcmp(a.values.data(), b.values.data(), a.values.size() * sizeof(double)) != 0) return false;
  for (size_t i = 0; i < a.programs.size(); ++i) {
    const PresetSlot& x = a.programs[i];
    const PresetSlot& y = b.programs[i];
    if (x.initialized != y.initialized || strcmp(x.name, y.name) != 0 || !(x.state == y.state))
      return false;
  }
  return true;
}

void Check(bool condition, const char* what) {
  if (!condition) {
    fprintf(stderr, "chunk_reader: %s\n", what);
    abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Vantor* plain = new Vantor(PlainHost);
  static Vantor* quirk = new Vantor(QuirkHost);
  if (size == 0) return 0;
  const uint8_t mode = data[0];
  ++data;
  --size;
  Vantor& plugin = (mode & kQuirkHost) ? *quirk : *plain;
  const int32_t index = (mode & kBankIndex) ? 0 : 1;

  if (mode & kDirect) {
    StateChunk chunk;
    chunk.Assign(data, size);
    int p = 0;
    PluginBase::ReadChunkHeader(chunk, &p);
    plugin.UnserializePresets(chunk, p);
    plugin.LoadState(chunk, 0);
    plugin.UnserializeParams(chunk, 0);
    for (int i = 0; i < PluginBase::kNumParams; ++i)
      Check(std::isfinite(plugin.Param(i)->value()), "a parameter is not a finite number");
    return 0;
  }

  for (int i = 0; i < PluginBase::kNumParams; ++i) {
    Check(std::isfinite(plugin.Param(i)->value()), "a parameter is not a finite number");
  }

  uint8_t empty = 0;
  void* bytes = size ? const_cast<uint8_t*>(data) : &empty;
  const ProgramsSnapshot before = plugin.SnapshotPrograms();
  if (plugin.Dispatch(vst::effSetChunk, index, static_cast<intptr_t>(size), bytes, 0.0f) == 0) {
    Check(Same(before, plugin.SnapshotPrograms()), "a refused chunk changed the programs");
    return 0;
  }
  void* out = nullptr;
  const intptr_t saved = plugin.Dispatch(vst::effGetChunk, index, 0, &out, 0.0f);
  Check(saved > 0 && out, "an accepted chunk could not be saved");
  StateChunk copy;
  copy.Assign(out, static_cast<size_t>(saved));
  Check(plugin.Dispatch(vst::effSetChunk, index, saved, copy.Data(), 0.0f) == 1,
        "a saved chunk was refused");
  return 0;
}
