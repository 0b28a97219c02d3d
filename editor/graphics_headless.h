// GraphicsHeadless: an editor without a window. It draws into memory, presents nothing, answers
// menus, text entries, dialogs and platform queries from a script, and records every question.
#pragma once

#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "editor/graphics.h"

namespace vantor {

class GraphicsHeadless : public Graphics {
 public:
  struct AskedMessage {
    std::string text;
    std::string caption;
    MessageBoxType type;
  };
  struct AskedFile {
    std::string proposed;  // the file name offered to the user
    FileAction action;
    std::string folder;  // the start folder
    std::string extensions;
  };
  // A menu as it was shown: each item with its flags and its submenu.
  struct MenuItemShown {
    std::string text;
    int32_t flags = 0;
    std::vector<MenuItemShown> submenu;
  };
  struct AskedMenu {
    std::vector<MenuItemShown> items;
    int32_t prefix = 0;
    Rect rect;
  };
  struct AskedEntry {
    Control* control;
    std::string text;  // the initial text
    Rect rect;
    PluginParam* param;
    int32_t length;  // the control's text-entry length
  };
  enum class Folder { Host, Plugin, Desktop, AppData, AllUsersAppData };

  explicit GraphicsHeadless(PluginBase* plugin) : Graphics(plugin) {}

  // Platform slots.
  void PresentArea(const Rect& area) override;
  void EndTextEntry() override;
  bool IsWindowOpen() const override { return window_open_; }
  const char* ApiName() const override { return "Headless"; }
  MessageBoxButton ShowMessageBox(const char* text, const char* caption,
                                  MessageBoxType type) override;
  PopupMenu* ShowPopupMenu(PopupMenu& menu, const Rect& rect) override;
  void BeginTextEntry(Control* control, const TextStyle& style, const Rect& rect, const char* text,
                      PluginParam* param) override;
  void HostFolder(std::string& out) override { out = folders_[Folder::Host]; }
  void PluginFolder(std::string& out) override { out = folders_[Folder::Plugin]; }
  void DesktopFolder(std::string& out) override { out = folders_[Folder::Desktop]; }
  void AppDataFolder(std::string& out, bool all_users) override {
    out = folders_[all_users ? Folder::AllUsersAppData : Folder::AppData];
  }
  void UserAppDataFolder(std::string& out) override { out = folders_[Folder::AppData]; }
  void ChooseFile(std::string& file, FileAction action, std::string& folder,
                  const char* extensions) override;
  bool ChooseColor(Color& colour, const char* prompt) override;
  bool OpenEditorWindow(void* parent) override;
  void CloseEditorWindow() override { window_open_ = false; }
  void* NativeWindow() const override {
    return window_open_ ? const_cast<GraphicsHeadless*>(this) : nullptr;
  }
  bool ClipboardText(std::string& out) override;
  std::unique_ptr<RasterBitmap> LoadPlatformBitmap(int id, const char* name) override;
  int DisplayZoom() override { return display_zoom_; }

  // One tick of the redraw timer: a text entry with a scripted answer ends (and that is all the
  // tick does, as on a window); otherwise the dirty area is collected and redrawn. Returns
  // whether anything was drawn.
  bool Tick();
  // Redraws the whole editor.
  void RedrawAll() { RedrawArea({0, 0, Width(), Height()}); }
  // Writes what the editor shows as a PNG file.
  bool SaveScreenshot(const char* path) const;

  // Script: answers are used in order. Without a scripted answer an OK box is answered Ok, a
  // question No (the cautious answer), a file prompt and a colour dialog are cancelled, and a
  // menu is closed without a choice.
  void AnswerNextMessage(MessageBoxButton button) { message_answers_.push_back(button); }
  void ChooseNextFile(const std::string& path) { file_answers_.push_back(path); }
  void CancelNextFile() { file_answers_.push_back(std::nullopt); }
  // Item positions from the top menu down through submenus, e.g. {2, 5}; an item that cannot
  // be chosen (disabled, a title, a separator, a submenu) closes the menu without a choice.
  void ChooseNextMenuItem(std::vector<int> path) { menu_answers_.push_back(std::move(path)); }
  void CloseNextMenu() { menu_answers_.push_back({}); }
  // Committed (or cancelled) on the next Tick.
  void EnterNextText(const std::string& text) { entry_answers_.push_back(text); }
  void CancelNextTextEntry() { entry_answers_.push_back(std::nullopt); }
  void ChooseNextColor(const Color& colour) { colour_answers_.push_back(colour); }
  void CancelNextColor() { colour_answers_.push_back(std::nullopt); }
  void set_folder(Folder folder, const std::string& path) { folders_[folder] = path; }
  void set_clipboard(std::optional<std::string> text) { clipboard_ = std::move(text); }
  void set_urls_open(bool open) { urls_open_ = open; }
  // PNG bytes served by LoadPlatformBitmap for a resource identifier, instead of the built-in
  // image of that identifier.
  void ProvideBitmap(int id, std::vector<uint8_t> png) { bitmaps_[id] = std::move(png); }
  void set_window_open(bool open) { window_open_ = open; }
  // What DisplayZoom answers (0: the display cannot tell).
  void set_display_zoom(int percent) { display_zoom_ = percent; }
  // Whether OpenEditorWindow succeeds (on by default). The plug-in's own editor of a build
  // without a window refuses, so that a host is not told a window opened.
  void set_opens_windows(bool opens) { opens_windows_ = opens; }

  // Records.
  const std::vector<AskedMessage>& messages() const { return messages_; }
  const std::vector<AskedFile>& files() const { return files_; }
  const std::vector<AskedMenu>& menus() const { return menus_; }
  const std::vector<AskedEntry>& entries() const { return entries_; }
  const std::vector<std::string>& opened_urls() const { return opened_urls_; }
  bool text_entry_open() const { return entry_.has_value(); }
  int presented() const { return presented_; }
  const Rect& last_presented() const { return last_presented_; }
  void ClearRecords() {
    messages_.clear();
    files_.clear();
    menus_.clear();
    entries_.clear();
    opened_urls_.clear();
  }
  bool ScriptUsedUp() const {
    return message_answers_.empty() && file_answers_.empty() && menu_answers_.empty() &&
           entry_answers_.empty() && colour_answers_.empty();
  }

 protected:
  bool LaunchUrl(const char* url) override;

 private:
  bool window_open_ = false;
  bool opens_windows_ = true;
  int display_zoom_ = 0;
  std::deque<MessageBoxButton> message_answers_;
  std::deque<std::optional<std::string>> file_answers_;
  std::deque<std::vector<int>> menu_answers_;
  std::deque<std::optional<std::string>> entry_answers_;
  std::deque<std::optional<Color>> colour_answers_;
  std::map<Folder, std::string> folders_;
  std::optional<std::string> clipboard_;
  bool urls_open_ = true;
  std::map<int, std::vector<uint8_t>> bitmaps_;
  std::optional<AskedEntry> entry_;  // the open text entry

  std::vector<AskedMessage> messages_;
  std::vector<AskedFile> files_;
  std::vector<AskedMenu> menus_;
  std::vector<AskedEntry> entries_;
  std::vector<std::string> opened_urls_;
  int presented_ = 0;
  Rect last_presented_;
};

}  // namespace vantor
