// GraphicsHeadless: scripted answers to the platform slots, and a timer driven by the caller.
#include "editor/graphics_headless.h"

#include "editor/raster/raster_png.h"
#include "resources/editor_images.h"

namespace vantor {
namespace {

std::vector<GraphicsHeadless::MenuItemShown> Snapshot(const PopupMenu& menu) {
  std::vector<GraphicsHeadless::MenuItemShown> items;
  for (int i = 0; i < menu.NumItems(); ++i) {
    const PopupMenuItem* item = menu.Item(i);
    GraphicsHeadless::MenuItemShown shown{item->text, item->flags, {}};
    if (item->submenu) shown.submenu = Snapshot(*item->submenu);
    items.push_back(std::move(shown));
  }
  return items;
}

}  // namespace

void GraphicsHeadless::PresentArea(const Rect& area) {
  ++presented_;
  last_presented_ = area;
}

MessageBoxButton GraphicsHeadless::ShowMessageBox(const char* text, const char* caption,
                                                  MessageBoxType type) {
  messages_.push_back({text ? text : "", caption ? caption : "", type});
  if (!message_answers_.empty()) {
    const MessageBoxButton answer = message_answers_.front();
    message_answers_.pop_front();
    return answer;
  }
  return type == MessageBoxType::YesNo ? MessageBoxButton::No : MessageBoxButton::Ok;
}

void GraphicsHeadless::ChooseFile(std::string& file, FileAction action, std::string& folder,
                                  const char* extensions) {
  files_.push_back({file, action, folder, extensions ? extensions : ""});
  std::optional<std::string> answer;
  if (!file_answers_.empty()) {
    answer = file_answers_.front();
    file_answers_.pop_front();
  }
  if (!answer || answer->empty()) {
    file.clear();  // cancelled: the folder stays as it was
    return;
  }
  file = *answer;
  const size_t slash = file.find_last_of("/\\");
  folder = slash == std::string::npos ? std::string() : file.substr(0, slash + 1);
}

PopupMenu* GraphicsHeadless::ShowPopupMenu(PopupMenu& menu, const Rect& rect) {
  ResetMouseCapture();
  menus_.push_back({Snapshot(menu), menu.prefix(), rect});
  if (menu_answers_.empty()) return nullptr;
  const std::vector<int> path = std::move(menu_answers_.front());
  menu_answers_.pop_front();
  PopupMenu* current = &menu;
  for (size_t i = 0; i < path.size(); ++i) {
    PopupMenuItem* item = current->Item(path[i]);
    if (!item) return nullptr;
    if (i + 1 < path.size()) {
      if (!item->submenu) return nullptr;
      current = item->submenu.get();
    } else if (item->IsChoosable()) {
      current->set_chosen(path[i]);
      return current;
    }
  }
  return nullptr;
}

void GraphicsHeadless::BeginTextEntry(Control* control, const TextStyle& /*style*/,
                                      const Rect& rect, const char* text, PluginParam* param) {
  if (!control || entry_) return;
  entry_ = AskedEntry{control, text ? text : "", rect, param, control->text_entry_length()};
  entries_.push_back(*entry_);
}

void GraphicsHeadless::EndTextEntry() {
  entry_.reset();
}

bool GraphicsHeadless::ChooseColor(Color& colour, const char* /*prompt*/) {
  if (colour_answers_.empty()) return false;
  const std::optional<Color> answer = colour_answers_.front();
  colour_answers_.pop_front();
  if (!answer) return false;
  colour.r = answer->r;
  colour.g = answer->g;
  colour.b = answer->b;
  return true;
}

bool GraphicsHeadless::OpenEditorWindow(void* /*parent*/) {
  if (!opens_windows_) return false;
  window_open_ = true;
  SetAllControlsDirty();
  return true;
}

bool GraphicsHeadless::ClipboardText(std::string& out) {
  out = clipboard_.value_or(std::string());
  return clipboard_.has_value();
}

std::unique_ptr<RasterBitmap> GraphicsHeadless::LoadPlatformBitmap(int id, const char* name) {
  auto it = bitmaps_.find(id);
  if (it != bitmaps_.end()) return DecodePngResource(name, it->second.data(), it->second.size());
  const std::span<const uint8_t> built_in = EditorImageBytes(id);
  return DecodePngResource(name, built_in.data(), built_in.size());
}

bool GraphicsHeadless::LaunchUrl(const char* url) {
  if (!urls_open_) return false;
  opened_urls_.push_back(url);
  return true;
}

bool GraphicsHeadless::Tick() {
  if (entry_ && !entry_answers_.empty()) {
    const std::optional<std::string> answer = entry_answers_.front();
    entry_answers_.pop_front();
    const AskedEntry entry = *entry_;
    entry_.reset();
    if (answer) CommitTextEntry(entry.control, entry.param, *answer);
    return false;
  }
  Rect area;
  if (!CollectDirtyArea(area)) return false;
  RedrawArea(area);
  return true;
}

bool GraphicsHeadless::SaveScreenshot(const char* path) const {
  return drawing_bitmap() && SavePngFile(*drawing_bitmap(), path);
}

}  // namespace vantor
