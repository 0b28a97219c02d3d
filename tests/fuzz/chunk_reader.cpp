// Fuzz target: the chunk readers behind effSetChunk and the state readers under them. A refused
// chunk leaves every program slot and parameter exactly as it was; an accepted one comes back
// out and is accepted again; no chunk makes a parameter value that is not a number. One plug-in
// per host kind serves every input and is put back to its state at start after each, which is
// checked, so each input meets the same plug-in.
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "editor/control.h"
#include "editor/graphics.h"
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

void Check(bool condition, const char* what) {
  if (!condition) {
    fprintf(stderr, "chunk_reader: %s\n", what);
    abort();
  }
}

// Everything a chunk can change, as it stood when the plug-in was new: the slots, the current
// program, the parameter values and the values the editor's controls hold.
struct Subject {
  explicit Subject(vst::AudioMasterCallback host) : plugin(host) {
    plugin.FillEmptyProgramSlots();
    baseline = plugin.SnapshotPrograms();
    Graphics& editor = plugin.graphics();
    for (int i = 0; i < editor.NumControls(); ++i) {
      const Control& control = *editor.GetControl(i);
      control_values.push_back(control.value());
      for (int aux = 0; aux < control.NumAuxParams(); ++aux)
        control_values.push_back(control.AuxValue(aux));
    }
  }

  static bool SameBytes(double a, double b) { return memcmp(&a, &b, sizeof a) == 0; }

  // Compared in place and as bytes (so that a NaN equals itself), without copying anything:
  // this runs after every input.
  bool AtBaseline() {
    if (plugin.current_program() != baseline.current_program) return false;
    for (int i = 0; i < PluginBase::kNumParams; ++i) {
      if (!SameBytes(plugin.Param(i)->value(), baseline.values[static_cast<size_t>(i)]))
        return false;
    }
    for (int i = 0; i < PluginBase::kNumPrograms; ++i) {
      const PresetSlot& now = plugin.Program(i);
      const PresetSlot& then = baseline.programs[static_cast<size_t>(i)];
      if (now.initialized != then.initialized || strcmp(now.name, then.name) != 0 ||
          !(now.state == then.state))
        return false;
    }
    Graphics& editor = plugin.graphics();
    size_t next = 0;
    for (int i = 0; i < editor.NumControls(); ++i) {
      const Control& control = *editor.GetControl(i);
      if (next >= control_values.size() || !SameBytes(control.value(), control_values[next++]))
        return false;
      for (int aux = 0; aux < control.NumAuxParams(); ++aux) {
        if (next >= control_values.size() ||
            !SameBytes(control.AuxValue(aux), control_values[next++]))
          return false;
      }
    }
    return next == control_values.size();
  }

  // Puts the plug-in back where it started and proves that nothing was left behind.
  void Reset() {
    if (AtBaseline()) return;
    plugin.RestorePrograms(baseline);
    Check(AtBaseline(), "the plug-in could not be put back to its state at start");
  }

  Vantor plugin;
  ProgramsSnapshot baseline;
  std::vector<double> control_values;  // each control's value, then its aux values
};

void CheckFiniteParameters(Vantor& plugin) {
  for (int i = 0; i < PluginBase::kNumParams; ++i)
    Check(std::isfinite(plugin.Param(i)->value()), "a parameter is not a finite number");
}

void RunInput(Subject& subject, uint8_t mode, const uint8_t* data, size_t size) {
  Vantor& plugin = subject.plugin;
  if (mode & kDirect) {
    StateChunk chunk;
    chunk.Assign(data, size);
    int p = 0;
    PluginBase::ReadChunkHeader(chunk, &p);
    plugin.UnserializePresets(chunk, p);
    plugin.LoadState(chunk, 0);
    plugin.UnserializeParams(chunk, 0);
    CheckFiniteParameters(plugin);
    return;
  }

  const int32_t index = (mode & kBankIndex) ? 0 : 1;
  uint8_t empty = 0;
  void* bytes = size ? const_cast<uint8_t*>(data) : &empty;
  if (plugin.Dispatch(vst::effSetChunk, index, static_cast<intptr_t>(size), bytes, 0.0f) == 0) {
    // Every input starts from the state at start, so that is what a refusal must leave.
    Check(subject.AtBaseline(), "a refused chunk changed the programs");
    return;
  }
  CheckFiniteParameters(plugin);
  void* out = nullptr;
  const intptr_t saved = plugin.Dispatch(vst::effGetChunk, index, 0, &out, 0.0f);
  Check(saved > 0 && out, "an accepted chunk could not be saved");
  StateChunk copy;
  copy.Assign(out, static_cast<size_t>(saved));
  Check(plugin.Dispatch(vst::effSetChunk, index, saved, copy.Data(), 0.0f) == 1,
        "a saved chunk was refused");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Subject* plain = new Subject(PlainHost);
  static Subject* quirk = new Subject(QuirkHost);
  if (size == 0) return 0;
  const uint8_t mode = data[0];
  Subject& subject = (mode & kQuirkHost) ? *quirk : *plain;
  RunInput(subject, mode, data + 1, size - 1);
  subject.Reset();
  return 0;
}
