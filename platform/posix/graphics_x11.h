// GraphicsX11: the editor in an X11 child window: events, timer, menus, text entry, dialogs.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "editor/graphics.h"

// Xlib's types, named without its header, whose macros would reach every includer.
struct _XDisplay;
union _XEvent;

namespace vantor {
namespace x11 {
struct DialogSpec;
}

class GraphicsX11 : public Graphics {
 public:
  explicit GraphicsX11(PluginBase* plugin);
  ~GraphicsX11() override;

  void PresentArea(const Rect& area) override;
  void EndTextEntry() override;
  void Resize(int width, int height) override;
  bool IsWindowOpen() const override { return window_ != 0; }
  const char* ApiName() const override { return "X11"; }
  MessageBoxButton ShowMessageBox(const char* text, const char* caption,
                                  MessageBoxType type) override;
  PopupMenu* ShowPopupMenu(PopupMenu& menu, const Rect& rect) override;
  void BeginTextEntry(Control* control, const TextStyle& style, const Rect& rect, const char* text,
                      PluginParam* param) override;
  void HostFolder(std::string& out) override;
  void PluginFolder(std::string& out) override;
  void DesktopFolder(std::string& out) override;
  void AppDataFolder(std::string& out, bool all_users) override;
  void UserAppDataFolder(std::string& out) override { AppDataFolder(out, false); }
  void ChooseFile(std::string& file, FileAction action, std::string& folder,
                  const char* extensions) override;
  bool ChooseColor(Color& colour, const char* prompt) override;
  bool OpenEditorWindow(void* parent) override;
  void CloseEditorWindow() override;
  void* NativeWindow() const override;
  bool ClipboardText(std::string& out) override;
  void HideCursor() override;
  void ShowCursor() override;
  std::unique_ptr<RasterBitmap> LoadPlatformBitmap(int id, const char* name) override;
  void SetZoom(int percent) override;
  // From the X resource Xft.dpi, which desktops set to the screen's density: 96 is 100%.
  int DisplayZoom() override;
  // Handles the window's pending events and, every 1000 / frames-per-second ms, the redraw
  // timer. The host calls it through effEditIdle and effIdle.
  void Idle() override;

  // The number of editor windows open in this process.
  static int OpenWindowCount();
  // The text entry's window while one is open, else 0.
  unsigned long text_entry_window() const { return entry_ ? entry_->window : 0; }
  // The helper programs the file and colour prompts use, in order of preference; tests empty
  // the list to get the prompt drawn here.
  void set_prompt_programs(std::vector<std::string> programs) {
    prompt_programs_ = std::move(programs);
  }

 protected:
  bool LaunchUrl(const char* url) override;

 private:
  enum class EditState { Idle, Editing, Update, Cancel, Commit };
  struct Entry {
    unsigned long window = 0;
    Control* control = nullptr;
    PluginParam* param = nullptr;
    TextStyle style;
    Rect rect;
    std::string text;  // UTF-8
    size_t caret = 0;  // byte position
    bool all_selected = true;
    size_t limit = 0;  // characters
  };

  void Dispatch(_XEvent& event);
  void DispatchEntryKey(_XEvent& event);
  void OnTimer();
  void FinishTextEntry(bool commit);
  void DrawEntry();
  // Sends a key event the editor did not use to the host's top-level window.
  void ForwardKey(_XEvent& event);
  unsigned long HostTopLevel();
  // Handles an event of the editor window while a menu or a dialog has the user's attention
  // (expose only).
  void ServeWhileModal(_XEvent& event);
  // Runs `argv` and returns what it printed; false when it could not run or failed.
  static bool RunPrompt(const std::vector<std::string>& argv, std::string* output);
  std::string FindPromptProgram() const;
  int RunModal(const x11::DialogSpec& desc);
  // The prompt drawn here when no helper program is installed: one line of text.
  bool AskForText(const char* caption, const char* label, std::string* text);

  _XDisplay* display_ = nullptr;
  unsigned long window_ = 0;
  unsigned long parent_ = 0;
  unsigned long host_top_ = 0;
  void* gc_ = nullptr;
  int depth_ = 24;
  bool window_gone_ = false;  // destroyed with the host's window before we closed it
  bool captured_ = false;
  Rect exposed_;
  std::chrono::steady_clock::time_point next_tick_;
  // Press of button 1 that may begin a double click.
  unsigned long last_press_time_ = 0;
  int last_press_x_ = -10000;
  int last_press_y_ = -10000;
  bool in_idle_ = false;
  bool presented_ = false;  // drawn since the last idle call
  std::unique_ptr<Entry> entry_;
  EditState edit_state_ = EditState::Idle;
  unsigned long blank_cursor_ = 0;
  int hidden_cursor_x_ = 0;
  int hidden_cursor_y_ = 0;
  std::vector<std::string> prompt_programs_{"zenity", "kdialog"};
};

}  // namespace vantor
