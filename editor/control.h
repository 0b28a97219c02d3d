// Control: the base of every editor control, its value, dirty state and parameter binding.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "editor/editor_types.h"

namespace vantor {

class Graphics;
class PluginBase;
class PluginParam;
class TextControl;

// Threads: SetValueFromPlugin and SetAuxValueFromPlugin may run on any thread (the host's
// parameter path, MIDI intake), one at a time under the plug-in object's lock. They only store
// the value and raise a pending flag; the editor's timer turns the flag into a dirty control on
// the user-interface thread (ApplyPluginChange), so the latest value is drawn on the next tick.
// Everything else belongs to the user-interface thread.
class Control {
 public:
  // `param_index` -1 binds no parameter; the instrument uses numbers below -1 as identifiers.
  Control(PluginBase* plugin, Rect rect, int32_t param_index = -1);
  virtual ~Control();
  Control(const Control&) = delete;
  Control& operator=(const Control&) = delete;

  // Virtual operations in slot order.
  virtual void MouseDown(int x, int y, const MouseMods& mods);
  virtual void MouseUp(int x, int y, const MouseMods& mods);
  virtual void MouseDrag(int x, int y, int dx, int dy, const MouseMods& mods);
  virtual void MouseDoubleClick(int x, int y, const MouseMods& mods);
  virtual void MouseWheel(int x, int y, const MouseMods& mods, int d);  // notches, + away
  virtual bool KeyDown(int x, int y, int key);
  virtual void MouseOver(int x, int y, const MouseMods& mods);
  virtual void MouseOut();
  virtual bool Draw(Graphics& graphics) = 0;
  virtual void SetValueFromPlugin(double value);  // any thread
  virtual void SetValueFromUser(double value);
  virtual void TakeEnteredText(const std::string& text);
  virtual void SetHidden(bool hidden);
  virtual void SetGrayed(bool grayed);
  virtual bool HitTest(int x, int y) const;
  virtual void MarkDirty(bool push_to_plugin);
  virtual void MarkClean();
  virtual bool IsDirty() const;
  virtual void EditorIdle();
  virtual void SetAuxValueFromPlugin(int aux_index, double value);  // any thread

  // Opens a value prompt (menu of display texts or text entry) when prompting is enabled and a
  // parameter is bound.
  void PromptForValue();
  // Applies what the plug-in side stored since the last call: marks the control dirty (one extra
  // cycle) and refreshes the display controls. Called by the Graphics on its timer.
  void ApplyPluginChange();
  // Asks for a redraw on the next timer tick; any thread (content that is not the value
  // changed, such as a program's name).
  void RequestRedraw() { pending_.store(true, std::memory_order_release); }

  // The bound parameter, or null.
  PluginParam* BoundParam() const;
  bool IsBound() const { return BoundParam() != nullptr; }

  double value() const { return value_.load(std::memory_order_relaxed); }
  void set_value(double v) { value_.store(v, std::memory_order_relaxed); }
  double default_value() const { return default_value_.load(std::memory_order_relaxed); }
  void set_default_value(double v) { default_value_.store(v, std::memory_order_relaxed); }
  void set_clamp(double low, double high) {
    clamp_low_ = low;
    clamp_high_ = high;
  }
  PluginBase* plugin() const { return plugin_; }
  Graphics* graphics() const { return graphics_; }
  void set_graphics(Graphics* graphics) { graphics_ = graphics; }
  const Rect& rect() const { return rect_; }
  void set_rect(const Rect& rect) { rect_ = rect; }
  const Rect& target_rect() const { return target_rect_; }
  void set_target_rect(const Rect& rect) { target_rect_ = rect; }
  int32_t param_index() const { return param_index_; }
  bool hidden() const { return hidden_; }
  bool grayed() const { return grayed_; }
  bool prompt_disabled() const { return prompt_disabled_; }
  void set_prompt_disabled(bool disabled) { prompt_disabled_ = disabled; }
  bool double_click_as_press() const { return double_click_as_press_; }
  void set_double_click_as_press(bool on) { double_click_as_press_ = on; }
  bool mouse_over_when_grayed() const { return mouse_over_when_grayed_; }
  void set_mouse_over_when_grayed(bool on) { mouse_over_when_grayed_ = on; }
  const BlendMode& blend() const { return blend_; }
  void set_blend(const BlendMode& blend) { blend_ = blend; }
  TextStyle& text_style() { return text_style_; }
  const TextStyle& text_style() const { return text_style_; }
  void set_text_style(const TextStyle& style) { text_style_ = style; }
  int32_t text_entry_length() const { return text_entry_length_; }
  void set_text_entry_length(int32_t length) { text_entry_length_ = length; }
  void set_value_display(TextControl* control) { value_display_ = control; }
  void set_name_display(TextControl* control) { name_display_ = control; }
  const std::string& tooltip() const { return tooltip_; }
  void set_tooltip(std::string text) { tooltip_ = std::move(text); }

  // Further bound parameters; set up before the control is added to the editor.
  int AddAuxParam(int32_t param_index);
  int NumAuxParams() const { return static_cast<int>(aux_.size()); }
  int32_t AuxParamIndex(int aux_index) const;
  double AuxValue(int aux_index) const;

 protected:
  // Stores a value from the plug-in side; shared by SetValueFromPlugin and subclasses.
  void StorePluginValue(double value);
  double Clamped(double v) const;

  int32_t text_entry_length_ = 7;
  TextStyle text_style_;
  PluginBase* plugin_;
  Rect rect_;
  Rect target_rect_;
  int32_t param_index_;

 private:
  struct AuxParam {
    std::atomic<double> value{0.0};
    int32_t param_index = -1;
  };

  std::vector<std::unique_ptr<AuxParam>> aux_;
  std::atomic<double> value_{0.0};
  std::atomic<double> default_value_{-1.0};
  double clamp_low_ = 0.0;
  double clamp_high_ = 1.0;
  bool dirty_ = true;
  std::atomic<bool> pending_{false};  // a plug-in value arrived; see the class comment
  bool hidden_ = false;
  bool grayed_ = false;
  bool redraw_ = false;
  bool prompt_disabled_ = true;
  bool double_click_as_press_ = false;
  bool mouse_over_when_grayed_ = false;
  BlendMode blend_;
  TextControl* value_display_ = nullptr;
  TextControl* name_display_ = nullptr;
  std::string tooltip_;
  Graphics* graphics_ = nullptr;  // the editor that owns the control; set by AddControl
};

}  // namespace vantor
