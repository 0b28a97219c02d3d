// Vantor: the instrument itself; its parameter set, state, sound engine and editor layout.
#pragma once

#include <array>
#include <memory>

#include "editor/bw_controls.h"
#include "editor/vantor_layout.h"
#include "engine/engine.h"
#include "shell/synth.h"
#include "update/update_check.h"

namespace vantor {

class Vantor : public Synth, public BwInstrument, private ControllerListener {
 public:
  // The controls of the editor the layout keeps track of (owned by the editor).
  struct EditorParts {
    BitmapControl* background = nullptr;
    BitmapControl* alternative_background = nullptr;
    BitmapControl* mono_lamp = nullptr;
    BitmapControl* poly_lamp = nullptr;
    TextControl* info = nullptr;
    BwPresetMenu* programs = nullptr;
    BwSwitchMidiLearn* learn = nullptr;
  };

  explicit Vantor(vst::AudioMasterCallback host = nullptr);
  ~Vantor() override;

  void ResetEngine() override;
  void ParamChanged(int index) override;
  void RenderBlock(double** inputs, double** outputs, int frames) override;
  void SilenceAllVoices() override;
  void DeclareParameters() override;
  bool SaveState(StateChunk& chunk) override;
  int LoadState(const StateChunk& chunk, int position) override;
  void IdleTick() override;
  void RefreshEditorControls() override;

  // BwInstrument: what the editor's controls ask of the instrument.
  void ShowInfoLine(int index) override;
  void GoToProgram(int n) override;
  OptionMenuState OptionState() const override;
  void RunOptionCommand(int command) override;
  void SetMidiLearn(bool armed, bool unlearn) override;

  // Builds the editor's controls from the layout, replacing those of an earlier build, with the
  // configuration's replacement bitmaps where they load, at the editor's zoom.
  void BuildEditorLayout();

  // The zoom the editor should open at: the one chosen in the options menu (remembered in the
  // configuration), else the host's scale factor, else the display's density, else 100%.
  int WantedEditorZoom();
  // Makes the editor that large now, its layout built again; the host is not asked (for a host
  // or tool that sets the zoom itself).
  void ApplyEditorZoom(int percent);
  // The zoom chosen in the options menu: with the window open the host is asked to resize it
  // first, and a host that refuses keeps the old zoom (the choice then takes effect when the
  // editor opens next, and the user is told). The choice is remembered in the configuration.
  void ChooseEditorZoom(int percent);
  const EditorParts& editor_parts() const { return parts_; }
  const BitmapRef& editor_bitmap(int slot) const { return bitmaps_[static_cast<size_t>(slot)]; }

  // The built-in bank of 64 programs, as a bank file.
  void LoadFactoryBank();

  Engine& engine() { return *engine_; }

  // Where the version check of the options menu asks (the maker's host unless a test says
  // otherwise), and what the last check returned.
  void set_update_server(const UpdateServer& server) { update_server_ = server; }
  int last_update_result() const { return last_update_result_; }

 protected:
  void PrepareEditorSize() override;
  bool HostScaleFactor(float factor) override;
  void QueueMidiMessage(const MidiMessage& message) override;
  void MidiLearnEnded() override;
  void ShowView() override;
  void GraphicsReplaced() override;
  void CheckForUpdate() override;

 private:
  void QueuedControllerDue(int controller, int value) override;
  // The configuration's startup bank when it loads, else the factory bank.
  void LoadStartupPrograms();

  std::unique_ptr<Engine> engine_;
  std::array<BitmapRef, layout::kNumSlots> bitmaps_;
  EditorParts parts_;
  // What the activity lamps show, so that IdleTick touches them only on a change.
  bool mono_lamp_on_ = false;
  bool poly_lamp_on_ = false;
  // Replacement bitmaps this instance loaded from files; freed when the layout is rebuilt.
  std::vector<RasterBitmap*> file_bitmaps_;
  int host_zoom_ = 0;     // the host's scale factor as a zoom, 0 until it tells one
  int display_zoom_ = 0;  // asked of the display once, when first needed
  // While the host is being asked to resize for a new zoom: the editor already has that size
  // and must not be put back by the host's questions meanwhile.
  bool zoom_request_pending_ = false;
  UpdateServer update_server_ = MakerUpdateServer(kMakerWebHost);
  int last_update_result_ = kUpdateUnderstood;
};

}  // namespace vantor
