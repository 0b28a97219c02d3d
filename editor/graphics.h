// Graphics: the editor object of one plug-in instance: its controls, drawing, input dispatch,
// parameter binding, and the platform slots a window implementation fills in.
//
// Controls live in layout units (the editor's size at 100%); the window, its input and the
// drawing bitmap are in pixels, zoom / 100 of them per unit. Input handlers and the redraw
// calls take pixels; everything a control calls takes units.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/plugin_editor.h"
#include "editor/control.h"
#include "editor/editor_types.h"
#include "editor/raster/raster_bitmap.h"
#include "editor/zoom.h"

namespace vantor {

class PluginBase;
class PluginParam;
class RasterCachedFont;

// Kinds of message box; the numbers are those of the Windows message box styles (an OK box
// with an error or an information icon besides the plain ones).
enum class MessageBoxType : int { Ok = 0, YesNo = 4, ErrorOk = 0x10, InformationOk = 0x40 };

// The button that closed a message box; the numbers are the Windows button identifiers.
enum class MessageBoxButton : int { None = 0, Ok = 1, Cancel = 2, Yes = 6, No = 7 };

enum class FileAction : int { Open = 0, Save = 1 };

class Graphics : public PluginEditor {
 public:
  static constexpr int kDefaultWidth = 924;
  static constexpr int kDefaultHeight = 456;
  static constexpr int kFramesPerSecond = 25;
  // Quiet timer ticks after which the plug-in object gets an IdleTick.
  static constexpr int kIdleTicks = 20;
  // Bytes an in-place text entry delivers at most (cut between UTF-8 characters).
  static constexpr size_t kMaxEnteredText = 31;

  // `plugin` is the plug-in object whose parameters the editor shows; not owned, may be null.
  explicit Graphics(PluginBase* plugin);
  ~Graphics() override;
  Graphics(const Graphics&) = delete;
  Graphics& operator=(const Graphics&) = delete;

  // PluginEditor. SetControlsFromParameter may run on any thread and never allocates.
  void SetControlsFromParameter(int index, double value, bool normalised) override;
  void PrepareDrawing() override;
  // The window's size in pixels.
  int Width() const override { return UnitsToPixels(width_, zoom_); }
  int Height() const override { return UnitsToPixels(height_, zoom_); }
  // The layout's size in units.
  int layout_width() const { return width_; }
  int layout_height() const { return height_; }

  // Virtual operations in slot order; the platform slots are pure.
  virtual void PresentArea(const Rect& area) = 0;
  // Sets `rect` to the text's size, placed as the style's alignment says; false without a font.
  virtual bool MeasureText(TextStyle& style, const char* text, Rect& rect);
  virtual void EndTextEntry() = 0;
  // Stores the size (units), releases the mouse, deletes every control, makes a new drawing
  // bitmap and tells the plug-in object.
  virtual void Resize(int width, int height);
  virtual bool IsWindowOpen() const = 0;
  virtual const char* ApiName() const { return ""; }
  // Shows `text` under `caption` and waits for the user; returns the button pressed.
  virtual MessageBoxButton ShowMessageBox(const char* text, const char* caption,
                                          MessageBoxType type) = 0;
  // Returns the (sub)menu whose item was chosen, with its chosen index set, or null. Resets
  // the mouse capture first.
  virtual PopupMenu* ShowPopupMenu(PopupMenu& menu, const Rect& rect) = 0;
  // Opens an in-place text entry for `control` over `rect`; `param` null for free text. Does
  // nothing for a null control or while an entry is open. Ends through CommitTextEntry.
  virtual void BeginTextEntry(Control* control, const TextStyle& style, const Rect& rect,
                              const char* text, PluginParam* param) = 0;
  virtual void HostFolder(std::string& out) = 0;
  virtual void PluginFolder(std::string& out) = 0;
  virtual void DesktopFolder(std::string& out) = 0;
  virtual void AppDataFolder(std::string& out, bool all_users) = 0;
  virtual void UserAppDataFolder(std::string& out) = 0;
  // File prompt. `file` brings the proposed name and returns the chosen full path (empty on
  // cancel); `folder` brings the start folder and returns the chosen file's folder;
  // `extensions` is a blank-separated list ("fxp", "fxb") whose first word is the default.
  virtual void ChooseFile(std::string& file, FileAction action, std::string& folder,
                          const char* extensions) = 0;
  // Replaces red, green and blue on OK (alpha untouched); false on cancel.
  virtual bool ChooseColor(Color& colour, const char* prompt) = 0;
  // Asks first when `confirmation` is given (Yes/No; anything but Yes declines), then opens the
  // address; on failure shows `error` when given. Returns whether it was opened.
  virtual bool OpenUrl(const char* url, const char* caption, const char* confirmation,
                       const char* error);
  // Opens the window inside `parent` (false on failure; NativeWindow() is then the window) and
  // marks every control dirty.
  bool OpenEditorWindow(void* parent) override = 0;
  void CloseEditorWindow() override = 0;
  virtual void* NativeWindow() const = 0;
  // UTF-8 text of the clipboard, true; or empty and false.
  virtual bool ClipboardText(std::string& out) = 0;
  virtual void HideCursor();
  virtual void ShowCursor();
  // The image with a resource identifier, decoded; null when there is none.
  virtual std::unique_ptr<RasterBitmap> LoadPlatformBitmap(int id, const char* name) = 0;

  // Slots added for the zoom.
  // Makes the editor `percent` (kZoomPercents) large: a drawing bitmap of the new size, every
  // control dirty, the plug-in object told of the new size, and the window (when open) resized;
  // the host's window is the host's to resize. Bitmaps drawn for the old zoom stay with the
  // controls until the layout is built again. Ignores a zoom that is not offered.
  virtual void SetZoom(int percent);
  // The zoom the display asks for (its pixel density), 0 when it cannot tell.
  virtual int DisplayZoom() { return 0; }
  int zoom() const { return zoom_; }

  // Controls. AddControl takes ownership and returns the index; index 0 is the background.
  int AddControl(std::unique_ptr<Control> control);
  template <typename T>
  T* Add(std::unique_ptr<T> control) {
    T* raw = control.get();
    AddControl(std::move(control));
    return raw;
  }
  void RemoveAllControls();
  Control* GetControl(int index) const;
  int NumControls() const { return static_cast<int>(controls_.size()); }
  void SetAllControlsDirty();

  // Bitmaps through the process-wide BitmapStore. A resource is an image drawn for the current
  // zoom: its size in units is its pixel size at that zoom.
  BitmapRef LoadBitmapResource(int id, const char* name, int frames);
  // A PNG file of non-zero size, kept in the store under -1; a null bitmap when unusable. The
  // file is an image for 100%: at another zoom it is resampled smoothly (frame by frame), and
  // its size in units is its size in pixels.
  BitmapRef LoadBitmapFile(const char* path, int frames);

  // Drawing into the drawing bitmap, clipped to the area being redrawn; in units, text at the
  // zoomed size.
  void DrawBitmap(const BitmapRef& bitmap, const Rect& dest, int src_x, int src_y,
                  const BlendMode* blend);
  void DrawBitmapFrame(const BitmapRef& bitmap, const Rect& dest, int frame,
                       const BlendMode* blend);
  bool DrawText(TextStyle& style, const char* text, const Rect& rect);
  // The pixel height of a text style's size at the current zoom.
  int ZoomedTextSize(int size) const { return UnitsToPixels(size, zoom_); }

  // Input from the window, in client coordinates (pixels).
  void HandleMouseDown(int x, int y, const MouseMods& mods);
  void HandleMouseUp(int x, int y, const MouseMods& mods);
  void HandleMouseDrag(int x, int y, const MouseMods& mods);
  // Returns whether mouse-over handling is on (the window then asks for leave events).
  bool HandleMouseOver(int x, int y, const MouseMods& mods);
  void HandleMouseOut();
  // Returns whether the window should capture the mouse.
  bool HandleDoubleClick(int x, int y, const MouseMods& mods);
  void HandleMouseWheel(int x, int y, const MouseMods& mods, int d);
  bool HandleKeyDown(int x, int y, int key);
  // Once per timer tick: applies values from the plug-in side and collects the dirty area, in
  // pixels.
  bool CollectDirtyArea(Rect& area);
  // Redraws the controls under an area of the window (pixels) and presents it.
  void RedrawArea(const Rect& area);
  // Forgets the mouse capture and the last mouse position (before a menu takes the mouse).
  void ResetMouseCapture();
  // Runs `work` once the event being handled has been dispatched, or on the next timer tick:
  // for work that replaces controls, such as rebuilding the layout from a menu choice, which
  // must not delete the control whose handler asked for it.
  void RunAfterEvent(std::function<void()> work) { deferred_.push_back(std::move(work)); }

  // Ends an in-place text entry with the text typed (cut to kMaxEnteredText bytes): with a
  // parameter the text becomes its value, otherwise the control takes the text.
  void CommitTextEntry(Control* control, PluginParam* param, const std::string& text);
  // Draws `text` into any bitmap (a platform window's menus and prompts draw with the editor's
  // fonts); false without a font. In pixels: the style's size is its pixel height.
  static bool DrawTextOn(RasterBitmap* target, TextStyle& style, const char* text,
                         const Rect& rect);
  // MeasureText in pixels, as DrawTextOn draws.
  static bool MeasureTextPixels(TextStyle& style, const char* text, Rect& rect);
  // The value prompt's text for a parameter's current value.
  static std::string FormatForEntry(const PluginParam& param);

  PluginBase* plugin() const { return plugin_; }
  RasterBitmap* drawing_bitmap() const { return drawing_bitmap_.get(); }
  int frames_per_second() const { return frames_per_second_; }
  int mouse_capture() const { return mouse_capture_; }
  int mouse_over() const { return mouse_over_; }
  bool handle_mouse_over() const { return handle_mouse_over_; }
  void set_handle_mouse_over(bool on) { handle_mouse_over_ = on; }
  bool tooltips() const { return tooltips_; }
  void set_tooltips(bool on) { tooltips_ = on; }
  void set_key_catcher(Control* control) { key_catcher_ = control; }
  bool cursor_hidden() const { return cursor_hidden_; }

 protected:
  // Decodes PNG bytes of a resource whose name ends in ".png" (any case), as platform bitmap
  // loaders do; null otherwise.
  static std::unique_ptr<RasterBitmap> DecodePngResource(const char* name, const uint8_t* bytes,
                                                         size_t length);
  // Opens a web address; the platform part of OpenUrl.
  virtual bool LaunchUrl(const char* url) = 0;

  std::vector<std::unique_ptr<Control>> controls_;
  PluginBase* plugin_;
  bool cursor_hidden_ = false;
  int cursor_x_ = -1;
  int cursor_y_ = -1;
  std::unique_ptr<RasterSysBitmap> drawing_bitmap_;
  int width_ = kDefaultWidth;  // units
  int height_ = kDefaultHeight;
  int zoom_ = 100;
  int frames_per_second_ = kFramesPerSecond;
  int mouse_capture_ = -1;
  int mouse_over_ = -1;
  int last_x_ = -1;
  int last_y_ = -1;
  bool handle_mouse_over_ = false;
  bool tooltips_ = false;
  Control* key_catcher_ = nullptr;

 private:
  // The control under a point: topmost first, skipping hidden and grayed ones (grayed ones
  // pass the mouse-over search when they ask to); -1 for none.
  int HitControl(int x, int y, bool mouse_over) const;
  int Target(int x, int y) const;
  void BeginGesture(Control* control);
  void EndGesture();
  // After the press on control `pressed`: ends the gesture when something took the mouse.
  void EndGestureIfMouseTaken(int pressed);
  void RunDeferred();
  // Adds `control` to the controls reached by parameter `index` (nothing for -1); `aux` is its
  // aux slot for that parameter, -1 for its own value.
  void Bind(Control* control, int32_t index, int aux);

  // Per parameter index, the controls bound to it in the order they were added, so that the
  // parameter path (any thread, under the plug-in's lock) touches only those.
  struct Binding {
    Control* control;
    int aux;
  };
  std::vector<std::vector<Binding>> bindings_;

  // Draws the source rectangle at (src_x, src_y) of the bitmap's pixels into `dest` (pixels).
  void DrawPixels(const BitmapRef& bitmap, const Rect& dest, int src_x, int src_y,
                  const BlendMode* blend);
  int ToUnits(int pixels) const { return PixelsToUnits(pixels, zoom_); }

  std::vector<std::function<void()>> deferred_;
  int idle_count_ = 0;
  int gesture_param_ = -1;  // parameter whose edit gesture the host was told of, -1 none
  Rect draw_area_;          // pixels being redrawn, within the control being drawn
};

// The editor object of this platform, created by the instrument shell for each plug-in object.
std::unique_ptr<Graphics> CreatePlatformGraphics(PluginBase* plugin);

}  // namespace vantor
