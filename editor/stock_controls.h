// The stock controls: bitmaps with frames, switches, knobs, faders and text.
#pragma once

#include <string>

#include "editor/control.h"

namespace vantor {

// Shows one frame of a bitmap chosen by the value.
class BitmapControl : public Control {
 public:
  // The rectangle is one frame of the bitmap at (x, y).
  BitmapControl(PluginBase* plugin, int x, int y, int32_t param_index, const BitmapRef& bitmap);
  // An explicit rectangle, for bitmaps that may be missing.
  BitmapControl(PluginBase* plugin, const Rect& rect, int32_t param_index, const BitmapRef& bitmap);
  bool Draw(Graphics& graphics) override;

  const BitmapRef& bitmap() const { return bitmap_; }
  void set_bitmap(const BitmapRef& bitmap) { bitmap_ = bitmap; }
  // 1 for fewer than two frames, else the nearest of 1 .. N for the value.
  int Frame() const;

 protected:
  BitmapRef bitmap_;
};

// Steps through its frames on each press, wrapping after the last.
class SwitchControl : public BitmapControl {
 public:
  SwitchControl(PluginBase* plugin, int x, int y, int32_t param_index, const BitmapRef& bitmap);
  SwitchControl(PluginBase* plugin, const Rect& rect, int32_t param_index, const BitmapRef& bitmap);
  void MouseDown(int x, int y, const MouseMods& mods) override;
};

// A push button: pressed while held, back to 0 on release.
class ContactControl : public SwitchControl {
 public:
  using SwitchControl::SwitchControl;
  void MouseUp(int x, int y, const MouseMods& mods) override;
};

// One stacked position per frame; a press picks the position under the mouse.
class SwitchFramesControl : public SwitchControl {
 public:
  using SwitchControl::SwitchControl;
  void MouseDown(int x, int y, const MouseMods& mods) override;
};

class KnobControl : public Control {
 public:
  using Control::Control;
};

enum class Direction { Vertical, Horizontal };

// A knob drawn from a film strip; dragging over its size moves the value by 1 / gearing.
class KnobMultiControl : public KnobControl {
 public:
  KnobMultiControl(PluginBase* plugin, int x, int y, int32_t param_index, const BitmapRef& bitmap,
                   Direction direction = Direction::Vertical, double gearing = 4.0);
  KnobMultiControl(PluginBase* plugin, const Rect& rect, int32_t param_index,
                   const BitmapRef& bitmap, Direction direction = Direction::Vertical,
                   double gearing = 4.0);
  bool Draw(Graphics& graphics) override;
  void MouseDrag(int x, int y, int dx, int dy, const MouseMods& mods) override;
  void MouseWheel(int x, int y, const MouseMods& mods, int d) override;

  int Frame() const;
  double gearing() const { return gearing_; }

 protected:
  BitmapRef bitmap_;
  Direction direction_;
  double gearing_;
};

// A handle moving along a travel of 56 pixels; only the handle is hit.
class FaderControl : public Control {
 public:
  static constexpr int kTravel = 56;

  FaderControl(PluginBase* plugin, int x, int y, int32_t param_index, const BitmapRef& handle,
               Direction direction = Direction::Vertical);
  bool Draw(Graphics& graphics) override;
  bool HitTest(int x, int y) const override;
  void MouseDown(int x, int y, const MouseMods& mods) override;
  void MouseDrag(int x, int y, int dx, int dy, const MouseMods& mods) override;
  void MouseWheel(int x, int y, const MouseMods& mods, int d) override;

  // Where the handle is drawn for the current value.
  Rect HandleRect() const;

 protected:
  void MoveHandleTo(int x, int y);

  BitmapRef handle_;
  Direction direction_;
};

// A line of text in its style, made smaller where it would not fit; bound to no parameter.
class TextControl : public Control {
 public:
  // The smallest size a text is made to fit its control.
  static constexpr int kSmallestFit = 9;

  TextControl(PluginBase* plugin, const Rect& rect, const TextStyle& style,
              std::string text = std::string());
  bool Draw(Graphics& graphics) override;

  const std::string& text() const { return text_; }
  // A different text marks the control dirty.
  void SetText(const std::string& text);

 private:
  std::string text_;
};

}  // namespace vantor
