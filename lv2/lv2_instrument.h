// Lv2Instrument: one LV2 instance of the instrument: its ports, MIDI intake, state and UI link.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include <lv2/atom/atom.h>
#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include "engine/param_ids.h"
#include "host/vst24.h"

namespace vantor {

class Vantor;

namespace lv2 {

// What an instrument tells the UI showing it, from any thread: parameters its editor or a MIDI
// controller changed (the host must hear of them through the control ports), and program
// changes, after which every port is due.
struct UiNotices {
  std::array<std::atomic<bool>, kParamCount> changed{};
  std::atomic<bool> all_changed{false};
  // Set while a UI whose host can resize it shows the editor: asks the host for a new size of
  // the UI (the editor's zoom); true when the host took it. Used on the UI thread only.
  std::function<bool(int, int)> resize;
};

// The host callback the binding gives the instrument: automation and program changes become
// UiNotices (found through the AEffect's user field), a resize request goes to the UI's host;
// every other request is answered with 0.
intptr_t VST_CALL BindingCallback(vst::AEffect* effect, int32_t opcode, int32_t index,
                                  intptr_t value, void* ptr, float opt);

// Builds an instrument whose requests reach `notices`, opened and set up as a VST host does
// (effOpen, sample rate, block size); null when it cannot be built.
std::unique_ptr<Vantor> MakeInstrument(UiNotices* notices, double sample_rate, int block_size);

// Applies a control port value as the VST binding applies host automation, in the parameter's
// own units: enumerated values are rounded to their step, everything is clamped to the range,
// and a value the parameter already holds (as a float) changes nothing, so a port that only
// echoes the instrument never costs it precision. Call under the plug-in mutex.
void ApplyControl(Vantor& vantor, int index, float value);

class Lv2Instrument {
 public:
  // Null when the host offers no urid:map or the instrument cannot be built.
  static Lv2Instrument* Create(double sample_rate, const LV2_Feature* const* features);
  ~Lv2Instrument();
  Lv2Instrument(const Lv2Instrument&) = delete;
  Lv2Instrument& operator=(const Lv2Instrument&) = delete;

  // The handle a UI gets through instance access is checked against this before use.
  bool IsInstrument() const { return magic_ == kMagic; }

  void ConnectPort(uint32_t port, void* data);
  void Activate();
  void Deactivate();
  void Run(uint32_t frames);

  LV2_State_Status Save(LV2_State_Store_Function store, LV2_State_Handle handle);
  LV2_State_Status Restore(LV2_State_Retrieve_Function retrieve, LV2_State_Handle handle);

  Vantor& vantor() { return *vantor_; }
  UiNotices& notices() { return notices_; }

  // One UI at a time shows the instrument's own editor; false when one already does.
  bool AttachUi() { return !ui_attached_.exchange(true); }
  void DetachUi() { ui_attached_.store(false); }
  // Remembers a value the UI is writing to control port `index`: the editor has already set
  // it, so when the port brings it (or an older one of the editor's) back, nothing is applied.
  void RememberUiWrite(int index, float value);

 private:
  static constexpr uint32_t kMagic = 0x564E5138;  // "VNQ8"
  static constexpr int kRememberedWrites = 4;

  struct Urids {
    LV2_URID atom_chunk = 0;
    LV2_URID atom_int = 0;
    LV2_URID atom_sequence = 0;
    LV2_URID midi_event = 0;
    LV2_URID bank_key = 0;
    LV2_URID current_program_key = 0;
    LV2_URID program_key = 0;
  };
  struct UiWrites {
    std::array<std::atomic<float>, kRememberedWrites> values{};
    std::atomic<uint32_t> count{0};
  };

  Lv2Instrument() = default;
  void ReadControls();
  void ReadMidi(uint32_t frames);
  bool EchoesUiWrite(int index, float value);

  uint32_t magic_ = kMagic;
  std::unique_ptr<Vantor> vantor_;
  UiNotices notices_;
  Urids urids_;
  std::array<const float*, kParamCount> controls_{};
  // The value each control port had when last read, so only changes are applied.
  std::array<float, kParamCount> seen_{};
  // Set by Restore: the next block takes the ports' values as seen without applying them, so a
  // restored state is not undone by port values the host saved alongside it.
  bool resync_ = false;
  const LV2_Atom_Sequence* midi_in_ = nullptr;
  std::array<float*, 2> outputs_{};
  std::array<UiWrites, kParamCount> ui_writes_;
  std::array<uint32_t, kParamCount> ui_writes_consumed_{};
  std::atomic<bool> ui_attached_{false};
};

}  // namespace lv2
}  // namespace vantor
