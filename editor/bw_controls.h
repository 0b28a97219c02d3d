// The instrument's own controls: stock controls that feed the info line, multi-position
// switches with finer mouse handling, and the program, options, split-point and MIDI learn
// controls.
#pragma once

#include <string>

#include "editor/stock_controls.h"

namespace vantor {

// The options menu's switches and greyed items, read from the instrument each time it opens.
struct OptionMenuState {
  bool can_paste = false;
  bool has_startup_bank = false;
  bool midi_thru = false;
  bool ignore_program_change = false;
  bool alternative_view = false;
  int zoom = 100;  // the editor's zoom in percent, checked in the zoom submenu
};

// What the instrument's controls ask of the instrument beyond its parameters and programs.
class BwInstrument {
 public:
  // Shows the info line of a parameter; -1 or an index past the last shows the version.
  virtual void ShowInfoLine(int index) = 0;
  // Stores the current program's edits, selects program n and tells the host.
  virtual void GoToProgram(int n) = 0;
  virtual OptionMenuState OptionState() const = 0;
  // Carries out an options menu command (the command numbers of the menu table).
  virtual void RunOptionCommand(int command) = 0;
  // Starts (armed) or stops MIDI learn; `unlearn` removes assignments instead of making them.
  virtual void SetMidiLearn(bool armed, bool unlearn) = 0;

 protected:
  ~BwInstrument() = default;
};

// Options menu commands carried out by the menu's owner rather than the shell.
inline constexpr int kOptionSwitchView = 18;
inline constexpr int kOptionVisitWebSite = 23;
inline constexpr int kOptionReloadConfig = 15;
// The zoom submenu, after the other items: kOptionZoom + i chooses kZoomPercents[i].
inline constexpr int kOptionZoom = 24;

class BwKnobMultiControl : public KnobMultiControl {
 public:
  BwKnobMultiControl(PluginBase* plugin, BwInstrument* instrument, const Rect& rect,
                     int32_t param_index, const BitmapRef& bitmap, double gearing);
  void MouseDrag(int x, int y, int dx, int dy, const MouseMods& mods) override;
  void MouseWheel(int x, int y, const MouseMods& mods, int d) override;
  void MouseOver(int x, int y, const MouseMods& mods) override;

 private:
  BwInstrument* instrument_;
};

class BwFaderControl : public FaderControl {
 public:
  BwFaderControl(PluginBase* plugin, BwInstrument* instrument, const Rect& rect,
                 int32_t param_index, const BitmapRef& handle);
  void MouseDrag(int x, int y, int dx, int dy, const MouseMods& mods) override;
  void MouseWheel(int x, int y, const MouseMods& mods, int d) override;
  void MouseOver(int x, int y, const MouseMods& mods) override;

 private:
  BwInstrument* instrument_;
};

class BwSwitchControl : public SwitchControl {
 public:
  BwSwitchControl(PluginBase* plugin, BwInstrument* instrument, const Rect& rect,
                  int32_t param_index, const BitmapRef& bitmap);
  void MouseOver(int x, int y, const MouseMods& mods) override;

 private:
  BwInstrument* instrument_;
};

// Besides a press on a position, a vertical drag or the wheel moves through the positions.
class BwSwitchFramesControl : public SwitchFramesControl {
 public:
  BwSwitchFramesControl(PluginBase* plugin, BwInstrument* instrument, const Rect& rect,
                        int32_t param_index, const BitmapRef& bitmap);
  void MouseDrag(int x, int y, int dx, int dy, const MouseMods& mods) override;
  void MouseWheel(int x, int y, const MouseMods& mods, int d) override;
  void MouseOver(int x, int y, const MouseMods& mods) override;

 private:
  BwInstrument* instrument_;
};

// Off/on switch that arms MIDI learn; a right press while off swaps its learn and unlearn faces.
class BwSwitchMidiLearn : public SwitchControl {
 public:
  BwSwitchMidiLearn(PluginBase* plugin, BwInstrument* instrument, const Rect& rect,
                    const BitmapRef& learn, const BitmapRef& unlearn);
  void MouseDown(int x, int y, const MouseMods& mods) override;

  bool learn_mode() const { return learn_mode_; }

 private:
  BwInstrument* instrument_;
  BitmapRef learn_;
  BitmapRef unlearn_;
  bool learn_mode_ = true;
};

// The previous- or next-program button (by its identifier), acting on release.
class BwUtilityKick : public ContactControl {
 public:
  BwUtilityKick(PluginBase* plugin, BwInstrument* instrument, const Rect& rect, int32_t id,
                const BitmapRef& bitmap);
  void MouseUp(int x, int y, const MouseMods& mods) override;

 private:
  BwInstrument* instrument_;
};

// The current program's number and name; the name can be edited in place, the number opens
// the program menu.
class BwPresetMenu : public Control {
 public:
  static constexpr int kProgramsPerSubmenu = 16;

  BwPresetMenu(PluginBase* plugin, BwInstrument* instrument, const Rect& number_field,
               const Rect& name_field, const TextStyle& style);
  void MouseDown(int x, int y, const MouseMods& mods) override;
  bool Draw(Graphics& graphics) override;
  void TakeEnteredText(const std::string& name) override;

  const std::string& number_text() const { return number_text_; }
  const std::string& name_text() const { return name_text_; }

 private:
  void ShowProgramMenu();

  BwInstrument* instrument_;
  std::string number_text_;
  std::string name_text_;
  Rect number_field_;
  Rect name_field_;
};

// Opens the options menu; draws nothing, the background shows its symbol.
class BwOptionMenu : public Control {
 public:
  // `web_host` is shown in the "Visit" item.
  BwOptionMenu(PluginBase* plugin, BwInstrument* instrument, const Rect& rect,
               std::string web_host);
  void MouseDown(int x, int y, const MouseMods& mods) override;
  bool Draw(Graphics& graphics) override;

 private:
  BwInstrument* instrument_;
  std::string web_host_;
};

// Shows the key split note and picks it from a menu of five octaves.
class BwSplitPointControl : public Control {
 public:
  static constexpr int kOctaves = 5;

  BwSplitPointControl(PluginBase* plugin, const Rect& rect, int32_t param_index,
                      const TextStyle& style);
  void MouseDown(int x, int y, const MouseMods& mods) override;
  bool Draw(Graphics& graphics) override;

  // What the display shows: the parameter's text for the control's value.
  std::string Text() const;

 private:
  Rect text_rect_;
};

// Invisible area over the logo: hovering puts the version back into the info line.
class BwRaiseMouseOverRegion : public Control {
 public:
  BwRaiseMouseOverRegion(PluginBase* plugin, BwInstrument* instrument, const Rect& rect);
  bool Draw(Graphics& graphics) override;
  void MouseOver(int x, int y, const MouseMods& mods) override;

 private:
  BwInstrument* instrument_;
};

}  // namespace vantor
