// GraphicsWin: the editor in a Windows child window: messages, timer, menus, text entry, dialogs.
#pragma once

#include <windows.h>

#include <string>

#include "editor/graphics.h"

// Windows names these as macros for its A and W functions; here they are the editor's own.
#undef ChooseColor
#undef DrawText

namespace vantor {

class GraphicsWin : public Graphics {
 public:
  // The redraw timer's identifier and the in-place text entry's control identifier.
  static constexpr UINT_PTR kTimerId = 2;
  static constexpr int kEditControlId = 99;

  explicit GraphicsWin(PluginBase* plugin);
  ~GraphicsWin() override;

  void PresentArea(const Rect& area) override;
  void EndTextEntry() override { edit_state_ = EditState::Cancel; }
  void Resize(int width, int height) override;
  bool IsWindowOpen() const override { return window_ != nullptr; }
  const char* ApiName() const override { return "Windows GDI"; }
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
  void* NativeWindow() const override { return window_; }
  bool ClipboardText(std::string& out) override;
  void HideCursor() override;
  void ShowCursor() override;
  std::unique_ptr<RasterBitmap> LoadPlatformBitmap(int id, const char* name) override;
  void SetZoom(int percent) override;
  int DisplayZoom() override;

  // The number of editor windows open in this process; the window class exists while it is not
  // zero.
  static int OpenWindowCount();

 protected:
  bool LaunchUrl(const char* url) override;

 private:
  enum class EditState { None, Editing, Update, Cancel, Commit };

  static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  static LRESULT CALLBACK EditProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT HandleMessage(UINT message, WPARAM wparam, LPARAM lparam);
  LRESULT HandleEditMessage(UINT message, WPARAM wparam, LPARAM lparam);
  void OnTimer();
  void FinishTextEntry(bool commit);
  HWND HostMainWindow();

  HWND window_ = nullptr;
  HWND edit_window_ = nullptr;
  Control* edit_control_ = nullptr;
  PluginParam* edit_param_ = nullptr;
  WNDPROC previous_edit_proc_ = nullptr;
  EditState edit_state_ = EditState::None;
  HFONT edit_font_ = nullptr;
  COLORREF edit_background_ = RGB(255, 255, 255);
  COLORREF edit_text_ = RGB(0, 0, 0);
  COLORREF custom_colours_[16] = {};
  HWND parent_ = nullptr;
  HWND host_main_window_ = nullptr;
  std::wstring host_main_window_class_;
  POINT hidden_cursor_ = {0, 0};
  int wheel_delta_ = 0;  // wheel turn not yet a whole notch, in WHEEL_DELTA units of 1/120
};

}  // namespace vantor
