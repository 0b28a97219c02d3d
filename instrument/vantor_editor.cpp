// Vantor: the editor layout, its two views, the info line, the activity lamps and what the
// instrument's controls ask of the instrument.
#include <cmath>
#include <mutex>

#include "core/vantor_params.h"
#include "editor/editor_caches.h"
#include "editor/graphics.h"
#include "instrument/vantor.h"

namespace vantor {
namespace {

// White at alpha 224 on the dark bottom bar of both views.
constexpr Color kDisplayColour{224, 255, 255, 255};
constexpr const char* kDefaultBitmapValue = "default";

TextStyle DisplayStyle(const char* face, int size) {
  return TextStyle(face, size, kDisplayColour, kAlignCenter, kStyleNormal);
}

}  // namespace

void Vantor::BuildEditorLayout() {
  using namespace layout;
  Graphics& g = graphics();
  {
    // The MIDI path reaches the learn button through parts_ under the lock.
    std::lock_guard lock(mutex_);
    parts_ = {};
    StopMidiLearn();
    learn_.unlearn = false;
  }
  g.RemoveAllControls();
  if (g.layout_width() != kWidth || g.layout_height() != kHeight) g.Resize(kWidth, kHeight);
  mono_lamp_on_ = poly_lamp_on_ = false;

  for (RasterBitmap* bitmap : file_bitmaps_)
    BitmapStore::Instance().Remove(bitmap);
  file_bitmaps_.clear();
  for (int slot = 0; slot < kNumSlots; ++slot) {
    const BitmapSpec& desc = kBitmaps[slot];
    const std::string& path = bitmap_path(slot);
    BitmapRef ref;
    if (!path.empty() && path != kDefaultBitmapValue)
      ref = g.LoadBitmapFile(path.c_str(), desc.frames);
    if (ref.bitmap) {
      file_bitmaps_.push_back(ref.bitmap);
    } else {
      // The image drawn for the editor's zoom.
      ref = g.LoadBitmapResource(ZoomedResource(desc.resource, g.zoom()),
                                 ZoomedFile(desc.file, g.zoom()).c_str(), desc.frames);
    }
    bitmaps_[static_cast<size_t>(slot)] = ref;
  }
  auto bitmap = [this](int slot) { return bitmaps_[static_cast<size_t>(slot)]; };

  g.set_handle_mouse_over(true);
  EditorParts parts;
  const Rect whole{0, 0, kWidth, kHeight};
  parts.background = g.Add(std::make_unique<BitmapControl>(this, whole, -1, bitmap(kSlotBack)));
  parts.alternative_background =
      g.Add(std::make_unique<BitmapControl>(this, whole, -1, bitmap(kSlotAltBack)));
  if (!alternative_view_) parts.alternative_background->SetHidden(true);
  parts.programs = g.Add(std::make_unique<BwPresetMenu>(
      this, this, kProgramNumberField, kProgramNameField, DisplayStyle("Arial", 14)));
  g.Add(std::make_unique<BwUtilityKick>(this, this, kPreviousProgram, kPreviousProgramId,
                                        bitmap(kSlotPrevious)));
  g.Add(
      std::make_unique<BwUtilityKick>(this, this, kNextProgram, kNextProgramId, bitmap(kSlotNext)));
  g.Add(std::make_unique<BwOptionMenu>(this, this, kOptionMenu, kMakerWebHost));
  parts.learn = g.Add(std::make_unique<BwSwitchMidiLearn>(
      this, this, kMidiLearn, bitmap(kSlotLearn), bitmap(kSlotUnlearn)));
  parts.mono_lamp = g.Add(std::make_unique<BitmapControl>(this, kMonoLamp, -1, bitmap(kSlotLedOn)));
  parts.mono_lamp->SetHidden(true);
  parts.poly_lamp = g.Add(std::make_unique<BitmapControl>(this, kPolyLamp, -1, bitmap(kSlotLedOn)));
  parts.poly_lamp->SetHidden(true);
  g.Add(std::make_unique<BwSwitchFramesControl>(this, this, kPolyphonySwitch, kPolyphony,
                                                bitmap(kPolyphonySwitchSlot)));
  g.Add(std::make_unique<BwSplitPointControl>(this, kSplitPoint, kKeySplitPoint,
                                              DisplayStyle("Tahoma", 11)));
  g.Add(std::make_unique<BwSwitchControl>(this, this, kEnsembleModeSwitch, kEnsembleMode,
                                          bitmap(kEnsembleModeSwitchSlot)));

  for (const ParamControl& c : kParamControls) {
    switch (c.kind) {
      case Kind::Fader:
        g.Add(std::make_unique<BwFaderControl>(this, this, c.rect, c.param, bitmap(c.slot)));
        break;
      case Kind::Knob:
        g.Add(std::make_unique<BwKnobMultiControl>(this, this, c.rect, c.param, bitmap(c.slot),
                                                   c.gearing));
        break;
      case Kind::Switch:
        g.Add(std::make_unique<BwSwitchControl>(this, this, c.rect, c.param, bitmap(c.slot)));
        break;
      case Kind::SwitchFrames:
        g.Add(std::make_unique<BwSwitchFramesControl>(this, this, c.rect, c.param, bitmap(c.slot)));
        break;
    }
  }

  parts.info = g.Add(std::make_unique<TextControl>(this, kInfoLine, DisplayStyle("Arial", 14),
                                                   InfoLine(*this, kNumParams)));
  g.Add(std::make_unique<BwRaiseMouseOverRegion>(this, this, kLogoRegion));
  {
    std::lock_guard lock(mutex_);
    parts_ = parts;
  }
  if (editor_ == &g) RefreshEditorControls();
}

int Vantor::WantedEditorZoom() {
  if (editor_zoom_) return editor_zoom_;
  if (host_zoom_) return host_zoom_;
  if (!display_zoom_) {
    const int asked = graphics().DisplayZoom();
    display_zoom_ = IsZoomPercent(asked) ? asked : 100;
  }
  return display_zoom_;
}

void Vantor::ApplyEditorZoom(int percent) {
  if (!IsZoomPercent(percent) || percent == graphics().zoom()) return;
  graphics().SetZoom(percent);
  BuildEditorLayout();
}

void Vantor::PrepareEditorSize() {
  // An open editor changes its size only when the host agrees (ChooseEditorZoom) or asks
  // (HostScaleFactor), never behind the host's back.
  if (zoom_request_pending_ || graphics().IsWindowOpen()) return;
  ApplyEditorZoom(WantedEditorZoom());
}

bool Vantor::HostScaleFactor(float factor) {
  if (!(factor > 0.0f) || !std::isfinite(factor)) return false;
  host_zoom_ = NearestZoomPercent(factor);
  // The host resizes its window by the size it asks for next; a zoom the user chose stays.
  if (!zoom_request_pending_) ApplyEditorZoom(WantedEditorZoom());
  return true;
}

void Vantor::ChooseEditorZoom(int percent) {
  if (!IsZoomPercent(percent)) return;
  Graphics& g = graphics();
  const int old = g.zoom();
  if (percent != old && g.IsWindowOpen()) {
    // The editor takes the new size first, so that a host that asks for it while resizing
    // hears the new one.
    zoom_request_pending_ = true;
    g.SetZoom(percent);
    const bool resized = RequestEditorSize(g.Width(), g.Height());
    zoom_request_pending_ = false;
    if (!resized) {
      g.SetZoom(old);
      editor_zoom_ = percent;
      WriteConfig(kConfigEditorZoom);
      g.ShowMessageBox(
          "The host did not resize the editor's window. The new zoom takes effect when the "
          "editor is opened again.",
          "Zoom", MessageBoxType::InformationOk);
      return;
    }
  }
  editor_zoom_ = percent;
  WriteConfig(kConfigEditorZoom);
  if (percent == old) return;
  if (!g.IsWindowOpen()) g.SetZoom(percent);
  // The bitmaps drawn for the new zoom come with a new layout, built once the menu's own
  // control has finished handling the click.
  g.RunAfterEvent([this] { BuildEditorLayout(); });
}

void Vantor::ShowView() {
  if (!parts_.background) return;
  parts_.background->SetHidden(alternative_view_);
  parts_.alternative_background->SetHidden(!alternative_view_);
}

void Vantor::GraphicsReplaced() {
  BuildEditorLayout();
  if (editor_ == &graphics()) AttachEditor(&graphics());
}

void Vantor::RefreshEditorControls() {
  Synth::RefreshEditorControls();
  // Program loads and renames change the program display without changing a parameter.
  if (parts_.programs) parts_.programs->RequestRedraw();
}

void Vantor::ShowInfoLine(int index) {
  if (!parts_.info || !graphics().IsWindowOpen()) return;
  std::string text;
  {
    std::lock_guard lock(mutex_);
    text = InfoLine(*this, index < 0 ? kNumParams : index);
  }
  parts_.info->SetText(text);
  parts_.info->MarkDirty(false);
}

void Vantor::IdleTick() {
  if (!parts_.mono_lamp || !graphics().IsWindowOpen()) return;
  bool mono;
  bool poly;
  {
    std::lock_guard lock(mutex_);
    mono = engine_->mono_active();
    poly = engine_->poly_active();
  }
  if (mono != mono_lamp_on_) {
    mono_lamp_on_ = mono;
    parts_.mono_lamp->SetHidden(!mono);
  }
  if (poly != poly_lamp_on_) {
    poly_lamp_on_ = poly;
    parts_.poly_lamp->SetHidden(!poly);
  }
}

void Vantor::GoToProgram(int n) {
  SelectProgram(n);
}

OptionMenuState Vantor::OptionState() const {
  std::lock_guard lock(mutex_);
  OptionMenuState state;
  state.can_paste = !copy_buffer_.Empty();
  state.has_startup_bank = !startup_bank_.empty();
  state.midi_thru = midi_thru_;
  state.ignore_program_change = ignore_program_change_;
  state.alternative_view = alternative_view_;
  state.zoom = graphics_->zoom();
  return state;
}

void Vantor::RunOptionCommand(int command) {
  switch (command) {
    case kOptionSwitchView:
      ToggleView();
      break;
    case kOptionVisitWebSite:
      graphics().OpenUrl(kMakerHomePage, nullptr, nullptr, nullptr);
      break;
    case kOptionZoom:
    case kOptionZoom + 1:
    case kOptionZoom + 2:
      ChooseEditorZoom(kZoomPercents[command - kOptionZoom]);
      break;
    case kOptionReloadConfig:
      ExecuteMenuCommand(command);
      // New bitmap settings take effect in a new layout, built once the menu's own control
      // has finished handling the click.
      graphics().RunAfterEvent([this] { BuildEditorLayout(); });
      break;
    default:
      ExecuteMenuCommand(command);
      break;
  }
}

void Vantor::SetMidiLearn(bool armed, bool unlearn) {
  std::lock_guard lock(mutex_);
  if (armed) {
    StartMidiLearn(unlearn);
  } else {
    StopMidiLearn();
    learn_.unlearn = unlearn;
  }
}

void Vantor::MidiLearnEnded() {
  // May run on the audio thread: only the thread-safe value path.
  std::lock_guard lock(mutex_);
  if (parts_.learn) parts_.learn->SetValueFromPlugin(0.0);
}

}  // namespace vantor
