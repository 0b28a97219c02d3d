// The stock controls' drawing and mouse handling.
#include "editor/stock_controls.h"

#include <cmath>

#include "editor/graphics.h"

namespace vantor {
namespace {

Rect FrameRect(int x, int y, const BitmapRef& bitmap) {
  return {x, y, x + bitmap.FrameWidth(), y + bitmap.FrameHeight()};
}

// The frame (1 .. frames) nearest to a value; NaN and values outside 0 .. 1 end at the ends.
int FrameForValue(double value, int frames) {
  if (frames < 2) return 1;
  const double f = std::trunc((frames - 1) * value + 0.5) + 1.0;
  if (!(f >= 1.0)) return 1;
  if (f > frames) return frames;
  return static_cast<int>(f);
}

// Shift or control moves in finer steps.
double WheelStep(const MouseMods& mods) {
  return mods.Fine() ? 0.001 : 0.01;
}

}  // namespace

BitmapControl::BitmapControl(PluginBase* plugin, int x, int y, int32_t param_index,
                             const BitmapRef& bitmap)
    : BitmapControl(plugin, FrameRect(x, y, bitmap), param_index, bitmap) {}

BitmapControl::BitmapControl(PluginBase* plugin, const Rect& rect, int32_t param_index,
                             const BitmapRef& bitmap)
    : Control(plugin, rect, param_index), bitmap_(bitmap) {}

int BitmapControl::Frame() const {
  return FrameForValue(value(), bitmap_.frames);
}

bool BitmapControl::Draw(Graphics& graphics) {
  graphics.DrawBitmapFrame(bitmap_, rect_, Frame(), &blend());
  return true;
}

SwitchControl::SwitchControl(PluginBase* plugin, int x, int y, int32_t param_index,
                             const BitmapRef& bitmap)
    : BitmapControl(plugin, x, y, param_index, bitmap) {
  set_double_click_as_press(true);
}

SwitchControl::SwitchControl(PluginBase* plugin, const Rect& rect, int32_t param_index,
                             const BitmapRef& bitmap)
    : BitmapControl(plugin, rect, param_index, bitmap) {
  set_double_click_as_press(true);
}

void SwitchControl::MouseDown(int /*x*/, int /*y*/, const MouseMods& /*mods*/) {
  const int frames = bitmap_.frames;
  double v = value() + (frames < 2 ? 1.0 : 1.0 / (frames - 1));
  if (v > 1.001) v = 0.0;  // past the last position: back to the first
  set_value(v);
  MarkDirty(true);
}

void ContactControl::MouseUp(int /*x*/, int /*y*/, const MouseMods& /*mods*/) {
  set_value(0.0);
  MarkDirty(true);
}

void SwitchFramesControl::MouseDown(int /*x*/, int y, const MouseMods& /*mods*/) {
  const int frames = std::max(bitmap_.frames, 1);
  const double h = static_cast<double>(rect_.bottom - rect_.top) / frames;
  for (int i = 0; i < frames; ++i) {
    const int top = rect_.top + static_cast<int>(std::trunc(i * h));
    const int bottom = static_cast<int>(std::trunc(top + h));
    if (y >= top && y < bottom) {
      // A single position has nowhere to go (and must not divide by zero).
      set_value(frames < 2 ? 0.0 : static_cast<double>(i) / (frames - 1));
      break;
    }
  }
  MarkDirty(true);
}

KnobMultiControl::KnobMultiControl(PluginBase* plugin, int x, int y, int32_t param_index,
                                   const BitmapRef& bitmap, Direction direction, double gearing)
    : KnobMultiControl(plugin, FrameRect(x, y, bitmap), param_index, bitmap, direction, gearing) {}

KnobMultiControl::KnobMultiControl(PluginBase* plugin, const Rect& rect, int32_t param_index,
                                   const BitmapRef& bitmap, Direction direction, double gearing)
    : KnobControl(plugin, rect, param_index),
      bitmap_(bitmap),
      direction_(direction),
      gearing_(gearing > 0.0 ? gearing : 1.0) {}

int KnobMultiControl::Frame() const {
  return FrameForValue(value(), bitmap_.frames);
}

bool KnobMultiControl::Draw(Graphics& graphics) {
  graphics.DrawBitmapFrame(bitmap_, rect_, Frame(), &blend());
  return true;
}

void KnobMultiControl::MouseDrag(int /*x*/, int /*y*/, int dx, int dy, const MouseMods& mods) {
  const double g = mods.Fine() ? gearing_ * 10.0 : gearing_;
  // Moving up raises the value; the control's size moves it by 1 / g.
  const int span =
      direction_ == Direction::Vertical ? rect_.top - rect_.bottom : rect_.right - rect_.left;
  if (span == 0) return;
  const int delta = direction_ == Direction::Vertical ? dy : dx;
  set_value(value() + static_cast<double>(delta) / span / g);
  MarkDirty(true);
}

void KnobMultiControl::MouseWheel(int /*x*/, int /*y*/, const MouseMods& mods, int d) {
  set_value(value() + d * WheelStep(mods));
  MarkDirty(true);
}

FaderControl::FaderControl(PluginBase* plugin, int x, int y, int32_t param_index,
                           const BitmapRef& handle, Direction direction)
    : Control(plugin,
              direction == Direction::Vertical ? Rect{x, y, x + handle.width, y + kTravel}
                                               : Rect{x, y, x + kTravel, y + handle.height},
              param_index),
      handle_(handle),
      direction_(direction) {}

Rect FaderControl::HandleRect() const {
  const double v = std::clamp(value(), 0.0, 1.0);
  if (direction_ == Direction::Vertical) {
    const int top = rect_.top + static_cast<int>(std::trunc((kTravel - handle_.height) * (1 - v)));
    return {rect_.left, top, rect_.left + handle_.width, top + handle_.height};
  }
  const int left = rect_.left + static_cast<int>(std::trunc((kTravel - handle_.width) * v));
  return {left, rect_.top, left + handle_.width, rect_.top + handle_.height};
}

bool FaderControl::Draw(Graphics& graphics) {
  graphics.DrawBitmap(handle_, HandleRect(), 0, 0, &blend());
  return true;
}

bool FaderControl::HitTest(int x, int y) const {
  return target_rect_.Contains(x, y) && HandleRect().Contains(x, y);
}

void FaderControl::MoveHandleTo(int x, int y) {
  if (direction_ == Direction::Vertical) {
    const int travel = kTravel - handle_.height;
    if (travel <= 0) return;
    set_value(1.0 - static_cast<double>(y - handle_.height / 2 - rect_.top) / travel);
  } else {
    const int travel = kTravel - handle_.width;
    if (travel <= 0) return;
    set_value(static_cast<double>(x - handle_.width / 2 - rect_.left) / travel);
  }
  MarkDirty(true);
}

void FaderControl::MouseDown(int x, int y, const MouseMods& mods) {
  if (mods.right) {
    PromptForValue();
    return;
  }
  MoveHandleTo(x, y);
}

void FaderControl::MouseDrag(int x, int y, int /*dx*/, int /*dy*/, const MouseMods& mods) {
  if (mods.right && !mods.left) return;
  MoveHandleTo(x, y);
}

void FaderControl::MouseWheel(int /*x*/, int /*y*/, const MouseMods& mods, int d) {
  set_value(value() + d * WheelStep(mods));
  MarkDirty(true);
}

TextControl::TextControl(PluginBase* plugin, const Rect& rect, const TextStyle& style,
                         std::string text)
    : Control(plugin, rect, -1), text_(std::move(text)) {
  set_text_style(style);
}

bool TextControl::Draw(Graphics& graphics) {
  if (text_.empty()) return true;
  TextStyle& style = text_style();
  // A text wider than the control is drawn smaller, at the largest size that fits (down to
  // kSmallestFit), centred on the same middle line; what still does not fit is cut at the
  // control's edges.
  const int width = rect_.Width();
  Rect measured = rect_;
  if (style.size <= kSmallestFit || !graphics.MeasureText(style, text_.c_str(), measured) ||
      measured.Width() <= width)
    return graphics.DrawText(style, text_.c_str(), rect_);
  TextStyle smaller = style;
  for (smaller.size = style.size - 1; smaller.size > kSmallestFit; --smaller.size) {
    smaller.cached_font = nullptr;
    measured = rect_;
    if (graphics.MeasureText(smaller, text_.c_str(), measured) && measured.Width() <= width) break;
  }
  smaller.cached_font = nullptr;
  Rect lowered = rect_;
  lowered.top += (style.size - smaller.size) / 2;
  return graphics.DrawText(smaller, text_.c_str(), lowered);
}

void TextControl::SetText(const std::string& text) {
  if (text == text_) return;
  MarkDirty(false);
  text_ = text;
}

}  // namespace vantor
