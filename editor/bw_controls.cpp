// The instrument's own controls: info line, finer switch handling, program, options, split
// point and MIDI learn.
#include "editor/bw_controls.h"

#include <cstdio>
#include <mutex>

#include "core/plugin_base.h"
#include "editor/graphics.h"
#include "editor/vantor_layout.h"

namespace vantor {
namespace {

// Shift or control moves ten times finer.
double Fineness(const MouseMods& mods) {
  return mods.Fine() ? 10.0 : 1.0;
}

// The options menu: top-level position p carries command p; the two submenus' items carry the
// commands listed with them.
constexpr int kMidiSettingsPosition = 14;
constexpr int kOnlinePosition = 19;
constexpr int kZoomPosition = 20;
constexpr int kMidiThruCommand = 20;
constexpr int kCheckForUpdateCommand = 22;
constexpr const char* kSeparator = nullptr;
constexpr const char* kOptionItems[] = {
    "Copy Program",
    "Paste Program",
    "Init Program",
    kSeparator,
    "Load Program",
    "Save Program",
    "Load Bank",
    "Save Bank",
    kSeparator,
    "Select Startup Bank",
    "Load Startup Bank",
    "Unselect Startup Bank",
    kSeparator,
    "Default Path for Program Files",
    "Global MIDI Settings...",
    "Reload Configuration",
    "Save Configuration",
    kSeparator,
    "Switch View",
    "Go Online...",
    "Zoom",
};
constexpr int kPastePosition = 1;
constexpr int kLoadStartupPosition = 10;
constexpr int kUnselectStartupPosition = 11;

// The program display and menu show names up to this many bytes.
constexpr size_t kShownNameBytes = 32;

int Checked(bool on) {
  return on ? kItemChecked : 0;
}
int Disabled(bool off) {
  return off ? kItemDisabled : 0;
}

}  // namespace

// ---- Controls that show the info line

BwKnobMultiControl::BwKnobMultiControl(PluginBase* plugin, BwInstrument* instrument,
                                       const Rect& rect, int32_t param_index,
                                       const BitmapRef& bitmap, double gearing)
    : KnobMultiControl(plugin, rect, param_index, bitmap, Direction::Vertical, gearing),
      instrument_(instrument) {}

void BwKnobMultiControl::MouseDrag(int x, int y, int dx, int dy, const MouseMods& mods) {
  KnobMultiControl::MouseDrag(x, y, dx, dy, mods);
  instrument_->ShowInfoLine(param_index());
}

void BwKnobMultiControl::MouseWheel(int x, int y, const MouseMods& mods, int d) {
  KnobMultiControl::MouseWheel(x, y, mods, d);
  instrument_->ShowInfoLine(param_index());
}

void BwKnobMultiControl::MouseOver(int /*x*/, int /*y*/, const MouseMods& /*mods*/) {
  instrument_->ShowInfoLine(param_index());
}

BwFaderControl::BwFaderControl(PluginBase* plugin, BwInstrument* instrument, const Rect& rect,
                               int32_t param_index, const BitmapRef& handle)
    : FaderControl(plugin, rect.left, rect.top, param_index, handle), instrument_(instrument) {}

void BwFaderControl::MouseDrag(int x, int y, int dx, int dy, const MouseMods& mods) {
  FaderControl::MouseDrag(x, y, dx, dy, mods);
  instrument_->ShowInfoLine(param_index());
}

void BwFaderControl::MouseWheel(int x, int y, const MouseMods& mods, int d) {
  FaderControl::MouseWheel(x, y, mods, d);
  instrument_->ShowInfoLine(param_index());
}

void BwFaderControl::MouseOver(int /*x*/, int /*y*/, const MouseMods& /*mods*/) {
  instrument_->ShowInfoLine(param_index());
}

BwSwitchControl::BwSwitchControl(PluginBase* plugin, BwInstrument* instrument, const Rect& rect,
                                 int32_t param_index, const BitmapRef& bitmap)
    : SwitchControl(plugin, rect, param_index, bitmap), instrument_(instrument) {}

void BwSwitchControl::MouseOver(int /*x*/, int /*y*/, const MouseMods& /*mods*/) {
  instrument_->ShowInfoLine(param_index());
}

BwSwitchFramesControl::BwSwitchFramesControl(PluginBase* plugin, BwInstrument* instrument,
                                             const Rect& rect, int32_t param_index,
                                             const BitmapRef& bitmap)
    : SwitchFramesControl(plugin, rect, param_index, bitmap), instrument_(instrument) {}

// The value is not snapped to a position: the frame shown is the nearest and the parameter
// rounds. The info line follows the change, so it names the position just reached.
void BwSwitchFramesControl::MouseDrag(int /*x*/, int /*y*/, int /*dx*/, int dy,
                                      const MouseMods& mods) {
  const int span = rect_.top - rect_.bottom;
  if (span == 0) return;
  set_value(value() - static_cast<double>(dy) / span / Fineness(mods));
  MarkDirty(true);
  instrument_->ShowInfoLine(param_index());
}

// Turning the wheel away from the user moves towards the first position.
void BwSwitchFramesControl::MouseWheel(int /*x*/, int /*y*/, const MouseMods& mods, int d) {
  set_value(value() - d * 0.1 / Fineness(mods));
  MarkDirty(true);
  instrument_->ShowInfoLine(param_index());
}

void BwSwitchFramesControl::MouseOver(int /*x*/, int /*y*/, const MouseMods& /*mods*/) {
  instrument_->ShowInfoLine(param_index());
}

// ---- MIDI learn

BwSwitchMidiLearn::BwSwitchMidiLearn(PluginBase* plugin, BwInstrument* instrument, const Rect& rect,
                                     const BitmapRef& learn, const BitmapRef& unlearn)
    : SwitchControl(plugin, rect, layout::kMidiLearnId, learn),
      instrument_(instrument),
      learn_(learn),
      unlearn_(unlearn) {
  // No parameter pushes a first value, and the instrument's "off" must still redraw it.
  set_default_value(0.0);
}

void BwSwitchMidiLearn::MouseDown(int x, int y, const MouseMods& mods) {
  if (mods.right) {
    if (value() > 0.0) return;  // the face stays while learning
    learn_mode_ = !learn_mode_;
    bitmap_ = learn_mode_ ? learn_ : unlearn_;
    MarkDirty(true);
    return;
  }
  SwitchControl::MouseDown(x, y, mods);
  instrument_->SetMidiLearn(value() > 0.0, !learn_mode_);
}

// ---- Programs

BwUtilityKick::BwUtilityKick(PluginBase* plugin, BwInstrument* instrument, const Rect& rect,
                             int32_t id, const BitmapRef& bitmap)
    : ContactControl(plugin, rect, id, bitmap), instrument_(instrument) {}

void BwUtilityKick::MouseUp(int x, int y, const MouseMods& mods) {
  ContactControl::MouseUp(x, y, mods);
  constexpr int last = PluginBase::kNumPrograms - 1;
  const int current = plugin_->current_program();
  if (param_index() == layout::kPreviousProgramId) {
    instrument_->GoToProgram(current <= 0 ? last : current - 1);
  } else if (param_index() == layout::kNextProgramId) {
    instrument_->GoToProgram(current >= last ? 0 : current + 1);
  }
}

BwPresetMenu::BwPresetMenu(PluginBase* plugin, BwInstrument* instrument, const Rect& number_field,
                           const Rect& name_field, const TextStyle& style)
    : Control(plugin, number_field.Union(name_field), -1),
      instrument_(instrument),
      number_field_(number_field),
      name_field_(name_field) {
  set_text_style(style);
  set_text_entry_length(253);
}

bool BwPresetMenu::Draw(Graphics& graphics) {
  {
    // Names change under the plug-in's lock (host renames, loads, MIDI program changes).
    std::lock_guard lock(plugin_->mutex());
    const int current = plugin_->current_program();
    char number[16];
    snprintf(number, sizeof number, "%02d", current);
    number_text_ = number;
    name_text_ = Utf8Prefix(plugin_->GetProgramName(current), kShownNameBytes);
  }
  graphics.DrawText(text_style(), number_text_.c_str(), number_field_);
  graphics.DrawText(text_style(), name_text_.c_str(), name_field_);
  return true;
}

void BwPresetMenu::MouseDown(int x, int y, const MouseMods& /*mods*/) {
  Graphics* g = graphics();
  if (!g) return;
  if (name_field_.Contains(x, y)) {
    std::string name;
    {
      std::lock_guard lock(plugin_->mutex());
      name = plugin_->GetProgramName(plugin_->current_program());
    }
    g->BeginTextEntry(this, text_style(), name_field_, name.c_str(), nullptr);
  } else {
    ShowProgramMenu();
  }
  g->SetAllControlsDirty();
}

void BwPresetMenu::ShowProgramMenu() {
  constexpr int kSubmenus = PluginBase::kNumPrograms / kProgramsPerSubmenu;
  PopupMenu menu;
  PopupMenu* submenus[kSubmenus];
  {
    std::lock_guard lock(plugin_->mutex());
    const int current = plugin_->current_program();
    for (int k = 0; k < kSubmenus; ++k) {
      const int first = k * kProgramsPerSubmenu;
      auto submenu = std::make_unique<PopupMenu>();
      for (int n = first; n < first + kProgramsPerSubmenu; ++n) {
        char number[8];
        snprintf(number, sizeof number, "%02u: ", static_cast<unsigned>(n));
        submenu->AddItem(number + Utf8Prefix(plugin_->GetProgramName(n), kShownNameBytes),
                         Checked(n == current));
      }
      submenus[k] = submenu.get();
      char title[16];
      snprintf(title, sizeof title, "%02d - %02d", first, first + kProgramsPerSubmenu - 1);
      menu.AddSubmenu(title, std::move(submenu));
    }
  }
  PopupMenu* chosen = graphics()->ShowPopupMenu(menu, rect_);
  for (int k = 0; k < kSubmenus; ++k) {
    if (chosen == submenus[k] && chosen->chosen() >= 0) {
      instrument_->GoToProgram(k * kProgramsPerSubmenu + chosen->chosen());
      return;
    }
  }
}

void BwPresetMenu::TakeEnteredText(const std::string& name) {
  plugin_->ModifyCurrentPreset(name.c_str());
  plugin_->NotifyProgramChange();
  plugin_->PushAllParamsToHost();
  MarkDirty(false);
}

// ---- Options

BwOptionMenu::BwOptionMenu(PluginBase* plugin, BwInstrument* instrument, const Rect& rect,
                           std::string web_host)
    : Control(plugin, rect, layout::kOptionMenuId),
      instrument_(instrument),
      web_host_(std::move(web_host)) {}

bool BwOptionMenu::Draw(Graphics& /*graphics*/) {
  return true;
}

void BwOptionMenu::MouseDown(int /*x*/, int /*y*/, const MouseMods& /*mods*/) {
  Graphics* g = graphics();
  if (!g) return;
  const OptionMenuState state = instrument_->OptionState();
  PopupMenu menu;
  PopupMenu* midi = nullptr;
  PopupMenu* online = nullptr;
  PopupMenu* zoom = nullptr;
  for (int p = 0; p < static_cast<int>(std::size(kOptionItems)); ++p) {
    const char* text = kOptionItems[p];
    if (!text) {
      menu.AddSeparator();
    } else if (p == kMidiSettingsPosition) {
      auto submenu = std::make_unique<PopupMenu>();
      submenu->AddItem("MIDI Thru", Checked(state.midi_thru));
      submenu->AddItem("Ignore Program Change", Checked(state.ignore_program_change));
      midi = submenu.get();
      menu.AddSubmenu(text, std::move(submenu));
    } else if (p == kOnlinePosition) {
      auto submenu = std::make_unique<PopupMenu>();
      submenu->AddItem("Check Online for Update");
      submenu->AddItem("Visit " + web_host_);
      online = submenu.get();
      menu.AddSubmenu(text, std::move(submenu));
    } else if (p == kZoomPosition) {
      auto submenu = std::make_unique<PopupMenu>();
      for (int percent : kZoomPercents)
        submenu->AddItem(std::to_string(percent) + "%", Checked(state.zoom == percent));
      zoom = submenu.get();
      menu.AddSubmenu(text, std::move(submenu));
    } else {
      int flags = 0;
      if (p == kPastePosition) flags = Disabled(!state.can_paste);
      if (p == kLoadStartupPosition || p == kUnselectStartupPosition)
        flags = Disabled(!state.has_startup_bank);
      if (p == kOptionSwitchView) flags = Checked(state.alternative_view);
      menu.AddItem(text, flags);
    }
  }
  PopupMenu* chosen = g->ShowPopupMenu(menu, rect_);
  if (chosen && chosen->chosen() >= 0) {
    int command = chosen->chosen();
    if (chosen == midi) command += kMidiThruCommand;
    if (chosen == online) command += kCheckForUpdateCommand;
    if (chosen == zoom) command += kOptionZoom;
    instrument_->RunOptionCommand(command);
  }
  MarkDirty(false);
}

// ---- Key split

BwSplitPointControl::BwSplitPointControl(PluginBase* plugin, const Rect& rect, int32_t param_index,
                                         const TextStyle& style)
    : Control(plugin, rect, param_index),
      text_rect_{rect.left, rect.top + 4, rect.right, rect.bottom} {
  set_text_style(style);
  set_double_click_as_press(true);
}

std::string BwSplitPointControl::Text() const {
  const PluginParam* param = BoundParam();
  if (!param) return {};
  std::lock_guard lock(plugin_->mutex());
  return param->DisplayText();
}

bool BwSplitPointControl::Draw(Graphics& graphics) {
  const std::string text = Text();
  if (!text.empty()) graphics.DrawText(text_style(), text.c_str(), text_rect_);
  return true;
}

void BwSplitPointControl::MouseDown(int /*x*/, int /*y*/, const MouseMods& /*mods*/) {
  PluginParam* param = BoundParam();
  Graphics* g = graphics();
  if (!param || !g) return;
  constexpr int kNotes = 12;
  PopupMenu menu;
  PopupMenu* octaves[kOctaves];
  {
    std::lock_guard lock(plugin_->mutex());
    const int current = static_cast<int>(param->value());
    for (int k = 0; k < kOctaves; ++k) {
      auto submenu = std::make_unique<PopupMenu>();
      for (int v = k * kNotes; v < (k + 1) * kNotes; ++v) {
        const char* text = param->FindDisplayText(v);
        submenu->AddItem(text ? text : "", Checked(v == current));
      }
      octaves[k] = submenu.get();
      char title[32];
      snprintf(title, sizeof title, "C#%d - C%d", k + 1, k + 2);
      menu.AddSubmenu(title, std::move(submenu));
    }
  }
  PopupMenu* chosen = g->ShowPopupMenu(menu, rect_);
  for (int k = 0; k < kOctaves; ++k) {
    if (chosen == octaves[k] && chosen->chosen() >= 0) {
      const double v = param->Clamp(k * kNotes + chosen->chosen());
      SetValueFromUser(param->ToNormalized(v));
      break;
    }
  }
  g->SetAllControlsDirty();
}

// ---- Logo

BwRaiseMouseOverRegion::BwRaiseMouseOverRegion(PluginBase* plugin, BwInstrument* instrument,
                                               const Rect& rect)
    : Control(plugin, rect, -1), instrument_(instrument) {}

bool BwRaiseMouseOverRegion::Draw(Graphics& /*graphics*/) {
  return true;
}

void BwRaiseMouseOverRegion::MouseOver(int /*x*/, int /*y*/, const MouseMods& /*mods*/) {
  instrument_->ShowInfoLine(-1);
}

}  // namespace vantor
