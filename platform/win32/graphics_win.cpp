// GraphicsWin: the editor's child window and the Windows dialogs, menus and shell calls it uses.
#include "platform/win32/graphics_win.h"

#include <commdlg.h>
#include <shellapi.h>
#include <shlobj.h>
#include <windowsx.h>
#include <wininet.h>
#undef ChooseColor
#undef DrawText

#include <cstdio>
#include <vector>

#include "core/plugin_param.h"
#include "platform/platform.h"
#include "platform/win32/this_module.h"
#include "platform/win32/wide_text.h"

namespace vantor {
namespace {

using platform::ThisModule;

constexpr wchar_t kWindowClass[] = L"VantorWndClass";

// Used only on the host's user-interface thread, as every window message is.
int g_open_windows = 0;

std::wstring Wide(const char* text) {
  return text ? platform::Utf8ToWide(text) : std::wstring();
}

// The folder of a file path, up to and including its last backslash; empty when there is none
// or the path ends in one.
std::string FolderOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  if (slash == std::wstring::npos || slash + 1 == path.size()) return {};
  return platform::WideToUtf8(path.substr(0, slash + 1));
}

// '&' marks a menu item's access key; the text is meant literally.
std::wstring MenuText(const std::string& text) {
  std::wstring wide = platform::Utf8ToWide(text);
  std::wstring out;
  for (wchar_t c : wide) {
    out += c;
    if (c == L'&') out += L'&';
  }
  return out;
}

MouseMods Mods(WPARAM wparam) {
  MouseMods mods;
  mods.left = (wparam & MK_LBUTTON) != 0;
  mods.right = (wparam & MK_RBUTTON) != 0;
  mods.shift = (wparam & MK_SHIFT) != 0;
  mods.control = (wparam & MK_CONTROL) != 0;
  mods.alt = GetKeyState(VK_MENU) < 0;
  return mods;
}

// Virtual-key code to the editor's keys; -1 for keys the host gets straight away.
int EditorKeyFor(WPARAM code) {
  if (code == VK_SPACE) return kKeySpace;
  if (code == VK_UP) return kKeyUp;
  if (code == VK_DOWN) return kKeyDown;
  if (code == VK_LEFT) return kKeyLeft;
  if (code == VK_RIGHT) return kKeyRight;
  if (code >= '0' && code <= '9') return kKeyDigit0 + static_cast<int>(code - '0');
  if (code >= VK_NUMPAD0 && code <= VK_NUMPAD9)
    return kKeyDigit0 + static_cast<int>(code - VK_NUMPAD0);
  if (code >= 'A' && code <= 'Z') return kKeyLetterA + static_cast<int>(code - 'A');
  return -1;
}

// Builds the Windows menu depth first: the items of one menu get consecutive identifiers, then
// its submenus' items. `targets[id - 1]` is the menu and position an identifier stands for.
HMENU BuildMenu(PopupMenu& menu, std::vector<std::pair<PopupMenu*, int>>& targets) {
  HMENU handle = CreatePopupMenu();
  if (!handle) return nullptr;
  const size_t first = targets.size();
  for (int i = 0; i < menu.NumItems(); ++i)
    targets.emplace_back(&menu, i);
  for (int i = 0; i < menu.NumItems(); ++i) {
    const PopupMenuItem* item = menu.Item(i);
    const UINT_PTR id = first + static_cast<size_t>(i) + 1;
    std::wstring text = MenuText(item->text);
    if (menu.prefix() >= 1 && menu.prefix() <= 3 && !(item->flags & kItemSeparator)) {
      static const wchar_t* const kFormats[] = {L"%1d: %ls", L"%02d: %ls", L"%03d: %ls"};
      std::vector<wchar_t> numbered(text.size() + 16);
      swprintf(numbered.data(), numbered.size(), kFormats[menu.prefix() - 1], i + 1, text.c_str());
      text = numbered.data();
    }
    if (item->flags & kItemSeparator) {
      AppendMenuW(handle, MF_SEPARATOR, 0, nullptr);
    } else if (item->submenu) {
      HMENU sub = BuildMenu(*item->submenu, targets);
      AppendMenuW(handle, MF_POPUP | MF_STRING, reinterpret_cast<UINT_PTR>(sub), text.c_str());
    } else {
      UINT flags = MF_STRING;
      if (item->flags & kItemDisabled) flags |= MF_GRAYED;
      if (item->flags & kItemTitle) flags |= MF_DISABLED;
      if (item->flags & kItemChecked) flags |= MF_CHECKED;
      AppendMenuW(handle, flags, id, text.c_str());
    }
  }
  return handle;
}

struct FindWindowOfClass {
  DWORD process;
  const std::wstring* class_name;
  HWND found;
};

BOOL CALLBACK MatchWindowOfClass(HWND window, LPARAM data) {
  auto* search = reinterpret_cast<FindWindowOfClass*>(data);
  DWORD process = 0;
  GetWindowThreadProcessId(window, &process);
  if (process != search->process) return TRUE;
  wchar_t name[256];
  if (GetClassNameW(window, name, 256) && *search->class_name == name) {
    search->found = window;
    return FALSE;
  }
  return TRUE;
}

// The colour dialog has no title of its own; the hook gives it the prompt.
UINT_PTR CALLBACK ColourDialogHook(HWND dialog, UINT message, WPARAM, LPARAM lparam) {
  if (message == WM_INITDIALOG) {
    const auto* choose = reinterpret_cast<const CHOOSECOLORW*>(lparam);
    if (choose->lCustData) SetWindowTextW(dialog, reinterpret_cast<LPCWSTR>(choose->lCustData));
  }
  return 0;
}

std::string ShellFolder(int csidl) {
  wchar_t path[MAX_PATH];
  if (FAILED(SHGetFolderPathW(nullptr, csidl | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT,
                              path))) {
    return {};
  }
  return platform::WideToUtf8(path);
}

}  // namespace

GraphicsWin::GraphicsWin(PluginBase* plugin) : Graphics(plugin) {}

GraphicsWin::~GraphicsWin() {
  CloseEditorWindow();
}

int GraphicsWin::OpenWindowCount() {
  return g_open_windows;
}

// ---- Window

bool GraphicsWin::OpenEditorWindow(void* parent) {
  parent_ = static_cast<HWND>(parent);
  int x = 0, y = 0, width = Width(), height = Height();
  if (window_) {
    // Reopening keeps the place and size the window had in its parent.
    RECT rect;
    GetWindowRect(window_, &rect);
    POINT origin = {rect.left, rect.top};
    if (HWND old_parent = GetParent(window_)) ScreenToClient(old_parent, &origin);
    x = origin.x;
    y = origin.y;
    width = rect.right - rect.left;
    height = rect.bottom - rect.top;
    CloseEditorWindow();
  }
  HINSTANCE module = ThisModule();
  if (g_open_windows == 0) {
    WNDCLASSW window_class = {};
    window_class.style = CS_DBLCLKS;
    window_class.lpfnWndProc = WindowProc;
    window_class.hInstance = module;
    window_class.hCursor = LoadCursor(nullptr, IDC_ARROW);
    window_class.lpszClassName = kWindowClass;
    RegisterClassW(&window_class);
  }
  HWND created = CreateWindowExW(0, kWindowClass, L"Vantor", WS_CHILD | WS_VISIBLE, x, y, width,
                                 height, parent_, nullptr, module, this);
  if (!created) {
    window_ = nullptr;
    if (g_open_windows == 0) UnregisterClassW(kWindowClass, module);
    return false;
  }
  window_ = created;
  ++g_open_windows;
  SetAllControlsDirty();
  return true;
}

void GraphicsWin::CloseEditorWindow() {
  if (!window_) return;
  if (edit_window_) FinishTextEntry(false);
  HWND window = window_;
  KillTimer(window, kTimerId);
  SetWindowLongPtrW(window, GWLP_USERDATA, 0);
  window_ = nullptr;
  DestroyWindow(window);
  if (--g_open_windows == 0) UnregisterClassW(kWindowClass, ThisModule());
}

LRESULT CALLBACK GraphicsWin::WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_CREATE) {
    auto* self =
        static_cast<GraphicsWin*>(reinterpret_cast<CREATESTRUCTW*>(lparam)->lpCreateParams);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->window_ = window;
    SetTimer(window, kTimerId, static_cast<UINT>(1000 / self->frames_per_second()), nullptr);
    SetFocus(window);
    return 0;
  }
  auto* self = reinterpret_cast<GraphicsWin*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self || window != self->window_) return DefWindowProcW(window, message, wparam, lparam);
  return self->HandleMessage(message, wparam, lparam);
}

LRESULT GraphicsWin::HandleMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  const int x = GET_X_LPARAM(lparam);
  const int y = GET_Y_LPARAM(lparam);
  if (message == WM_PAINT) {
    RECT update;
    if (GetUpdateRect(window_, &update, FALSE)) {
      RedrawArea({update.left, update.top, update.right, update.bottom});
    } else {
      ValidateRect(window_, nullptr);
    }
    return 0;
  }
  if (edit_window_ && edit_state_ == EditState::Editing) {
    // While text is being typed only a click elsewhere, which takes the text, and the wheel,
    // which drops it, matter.
    if (message == WM_LBUTTONDOWN || message == WM_RBUTTONDOWN) {
      edit_state_ = EditState::Commit;
      return 0;
    }
    if (message == WM_MOUSEWHEEL) {
      edit_state_ = EditState::Cancel;
      return 0;
    }
    return DefWindowProcW(window_, message, wparam, lparam);
  }
  switch (message) {
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
      return 0;
    case WM_CLOSE:
      CloseEditorWindow();
      return 0;
    case WM_KEYDOWN: {
      const int key = EditorKeyFor(wparam);
      POINT cursor;
      GetCursorPos(&cursor);
      ScreenToClient(window_, &cursor);
      if (key >= 0 && HandleKeyDown(cursor.x, cursor.y, key)) return 0;
      HWND root = GetAncestor(window_, GA_ROOT);
      return root && root != window_ ? SendMessageW(root, message, wparam, lparam) : 0;
    }
    case WM_KEYUP: {
      HWND root = GetAncestor(window_, GA_ROOT);
      return root && root != window_ ? SendMessageW(root, message, wparam, lparam) : 0;
    }
    case WM_TIMER:
      if (wparam == kTimerId) OnTimer();
      return 0;
    case WM_CTLCOLOREDIT: {
      HDC dc = reinterpret_cast<HDC>(wparam);
      SetBkColor(dc, edit_background_);
      SetTextColor(dc, edit_text_);
      SetBkMode(dc, OPAQUE);
      SetDCBrushColor(dc, edit_background_);
      return reinterpret_cast<LRESULT>(GetStockObject(DC_BRUSH));
    }
    case WM_MOUSEMOVE:
      if (wparam & (MK_LBUTTON | MK_RBUTTON)) {
        if (GetCapture() == window_ && !edit_window_) HandleMouseDrag(x, y, Mods(wparam));
      } else if (HandleMouseOver(x, y, Mods(wparam))) {
        TRACKMOUSEEVENT track = {sizeof track, TME_LEAVE, window_, HOVER_DEFAULT};
        TrackMouseEvent(&track);
      }
      return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      if (edit_window_) {
        edit_state_ = EditState::Commit;
        return 0;
      }
      SetFocus(window_);
      SetCapture(window_);
      HandleMouseDown(x, y, Mods(wparam));
      return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
      ReleaseCapture();
      HandleMouseUp(x, y, Mods(wparam));
      return 0;
    case WM_LBUTTONDBLCLK:
      if (HandleDoubleClick(x, y, Mods(wparam))) SetCapture(window_);
      return 0;
    case WM_MOUSEWHEEL: {
      if (edit_window_) {
        edit_state_ = EditState::Cancel;
        return 0;
      }
      // Precision touchpads send fractions of a notch: they add up to whole notches, and a
      // turn the other way starts afresh.
      const int delta = GET_WHEEL_DELTA_WPARAM(wparam);
      if ((delta < 0) != (wheel_delta_ < 0)) wheel_delta_ = 0;
      wheel_delta_ += delta;
      const int notches = wheel_delta_ / WHEEL_DELTA;
      wheel_delta_ -= notches * WHEEL_DELTA;
      if (notches == 0) return 0;
      // The wheel reports screen coordinates.
      RECT rect;
      GetWindowRect(window_, &rect);
      HandleMouseWheel(x - rect.left, y - rect.top, Mods(GET_KEYSTATE_WPARAM(wparam)), notches);
      return 0;
    }
    case WM_MOUSELEAVE:
      HandleMouseOut();
      return 0;
    default:
      return DefWindowProcW(window_, message, wparam, lparam);
  }
}

void GraphicsWin::OnTimer() {
  if (edit_window_ && edit_state_ != EditState::None) {
    if (edit_state_ == EditState::Commit || edit_state_ == EditState::Cancel) {
      FinishTextEntry(edit_state_ == EditState::Commit);
    } else {
      edit_state_ = EditState::None;
    }
    return;
  }
  Rect area;
  if (CollectDirtyArea(area)) {
    const RECT dirty = {area.left, area.top, area.right, area.bottom};
    InvalidateRect(window_, &dirty, FALSE);
  }
  if (edit_window_) {
    // The entry stays on top of what is redrawn beneath it.
    RECT entry;
    GetWindowRect(edit_window_, &entry);
    MapWindowPoints(nullptr, window_, reinterpret_cast<POINT*>(&entry), 2);
    ValidateRect(window_, &entry);
    UpdateWindow(window_);
    edit_state_ = EditState::Update;
  } else {
    UpdateWindow(window_);
  }
}

void GraphicsWin::PresentArea(const Rect& area) {
  if (!window_) return;
  // Painting always validates the window, or Windows would ask again and again.
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window_, &paint);
  RasterBitmap* bitmap = drawing_bitmap();
  if (!dc || !bitmap || !bitmap->Pixels()) {
    EndPaint(window_, &paint);
    return;
  }
  // The pixels are top-down 32-bit BGRA rows of RowSpan pixels, as a DIB wants them.
  BITMAPINFO info = {};
  info.bmiHeader.biSize = sizeof info.bmiHeader;
  info.bmiHeader.biWidth = bitmap->RowSpan();
  info.bmiHeader.biHeight = -bitmap->Height();
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  IntersectClipRect(dc, area.left, area.top, area.right, area.bottom);
  SetDIBitsToDevice(dc, 0, 0, static_cast<DWORD>(bitmap->Width()),
                    static_cast<DWORD>(bitmap->Height()), 0, 0, 0,
                    static_cast<UINT>(bitmap->Height()), bitmap->Pixels(), &info, DIB_RGB_COLORS);
  EndPaint(window_, &paint);
}

void GraphicsWin::Resize(int width, int height) {
  if (width == width_ && height == height_) return;
  const int old_width = Width();
  const int old_height = Height();
  Graphics::Resize(width, height);
  const int dw = Width() - old_width;
  const int dh = Height() - old_height;
  if (!window_) return;
  auto grow = [dw, dh](HWND window) {
    RECT rect;
    GetWindowRect(window, &rect);
    SetWindowPos(window, nullptr, 0, 0, rect.right - rect.left + dw, rect.bottom - rect.top + dh,
                 SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
  };
  grow(window_);
  // A child window's parent, and its parent when that is a child too, make room as well.
  auto is_child = [](HWND window) {
    return (GetWindowLongW(window, GWL_STYLE) & WS_CHILD) &&
           !(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_MDICHILD);
  };
  if (is_child(window_)) {
    if (HWND parent = GetParent(window_)) {
      grow(parent);
      if (is_child(parent)) {
        if (HWND grandparent = GetParent(parent)) grow(grandparent);
      }
    }
  }
  InvalidateRect(window_, nullptr, FALSE);
}

void GraphicsWin::SetZoom(int percent) {
  if (!IsZoomPercent(percent) || percent == zoom()) return;
  // An entry placed for the old zoom would stand in the wrong place.
  if (edit_window_) FinishTextEntry(false);
  Graphics::SetZoom(percent);
  if (!window_) return;
  // Only our window: the host was asked to resize its own (or asked for the zoom itself).
  SetWindowPos(window_, nullptr, 0, 0, Width(), Height(),
               SWP_NOMOVE | SWP_NOACTIVATE | SWP_NOZORDER);
  InvalidateRect(window_, nullptr, FALSE);
}

int GraphicsWin::DisplayZoom() {
  // The density of the monitor the host's window is on when the host tells Windows it draws for
  // each monitor; else the system's, which Windows reports as 96 to a host that scales nothing
  // (Windows then enlarges the whole window, the editor with it).
  UINT dpi = 0;
  if (parent_) {
    using DpiForWindow = UINT(WINAPI*)(HWND);
    if (auto query = reinterpret_cast<DpiForWindow>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow"))))
      dpi = query(parent_);
  }
  if (dpi == 0) {
    HDC screen = GetDC(nullptr);
    if (screen) {
      dpi = static_cast<UINT>(GetDeviceCaps(screen, LOGPIXELSY));
      ReleaseDC(nullptr, screen);
    }
  }
  return dpi > 0 ? NearestZoomPercent(dpi / 96.0) : 0;
}

// ---- Menus and text entry

PopupMenu* GraphicsWin::ShowPopupMenu(PopupMenu& menu, const Rect& rect) {
  ResetMouseCapture();
  if (!window_) return nullptr;
  std::vector<std::pair<PopupMenu*, int>> targets;
  HMENU handle = BuildMenu(menu, targets);
  if (!handle) return nullptr;
  const Rect area = UnitsToPixels(rect, zoom());
  POINT corner = {area.left, area.bottom};
  ClientToScreen(window_, &corner);
  const UINT id = static_cast<UINT>(
      TrackPopupMenu(handle, TPM_LEFTALIGN | TPM_LEFTBUTTON | TPM_RETURNCMD | TPM_NONOTIFY,
                     corner.x, corner.y, 0, window_, nullptr));
  DestroyMenu(handle);
  InvalidateRect(window_, nullptr, FALSE);
  if (id == 0 || id > targets.size()) return nullptr;
  auto [chosen_menu, position] = targets[id - 1];
  chosen_menu->set_chosen(position);
  return chosen_menu;
}

void GraphicsWin::BeginTextEntry(Control* control, const TextStyle& style, const Rect& units,
                                 const char* text, PluginParam* param) {
  if (!control || edit_window_ || !window_) return;
  const Rect rect = UnitsToPixels(units, zoom());
  DWORD align = ES_LEFT;
  if (style.align == kAlignCenter) align = ES_CENTER;
  if (style.align == kAlignRight) align = ES_RIGHT;
  edit_window_ = CreateWindowExW(
      0, L"EDIT", Wide(text).c_str(), WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL | ES_MULTILINE | align,
      rect.left, rect.top, rect.Width(), rect.Height(), window_,
      reinterpret_cast<HMENU>(static_cast<INT_PTR>(kEditControlId)), ThisModule(), nullptr);
  if (!edit_window_) return;
  edit_font_ = CreateFontW(
      ZoomedTextSize(style.size), 0, 0, 0, style.style == kStyleBold ? FW_BOLD : FW_NORMAL,
      style.style == kStyleItalic, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
      CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, Wide(style.face).c_str());
  if (edit_font_) SendMessageW(edit_window_, WM_SETFONT, reinterpret_cast<WPARAM>(edit_font_), 0);
  edit_background_ =
      RGB(style.entry_background.r, style.entry_background.g, style.entry_background.b);
  edit_text_ = RGB(style.entry_text.r, style.entry_text.g, style.entry_text.b);
  SendMessageW(edit_window_, EM_LIMITTEXT, static_cast<WPARAM>(control->text_entry_length()), 0);
  SendMessageW(edit_window_, EM_SETSEL, 0, -1);
  edit_control_ = control;
  edit_param_ = param;
  SetWindowLongPtrW(edit_window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  previous_edit_proc_ = reinterpret_cast<WNDPROC>(
      SetWindowLongPtrW(edit_window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(EditProc)));
  SetFocus(edit_window_);
}

LRESULT CALLBACK GraphicsWin::EditProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* self = reinterpret_cast<GraphicsWin*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (!self || window != self->edit_window_) return DefWindowProcW(window, message, wparam, lparam);
  return self->HandleEditMessage(message, wparam, lparam);
}

LRESULT GraphicsWin::HandleEditMessage(UINT message, WPARAM wparam, LPARAM lparam) {
  switch (message) {
    case WM_SETFOCUS:
      edit_state_ = EditState::Editing;
      break;
    case WM_KILLFOCUS:
      edit_state_ = EditState::Commit;
      break;
    case WM_KEYDOWN:
      if (wparam == VK_RETURN) {
        edit_state_ = EditState::Commit;
        return 0;
      }
      if (wparam == VK_ESCAPE) {
        edit_state_ = EditState::Cancel;
        return 0;
      }
      break;
    case WM_GETDLGCODE: {
      LRESULT code = CallWindowProcW(previous_edit_proc_, edit_window_, message, wparam, lparam);
      if (!edit_param_) code |= DLGC_WANTALLKEYS;  // Enter ends free text too
      return code;
    }
    case WM_CHAR: {
      // Enter and Escape were taken as key presses; as characters they would only beep.
      if (wparam == L'\r' || wparam == L'\n' || wparam == 27) return 0;
      if (edit_param_ && wparam != L'\b') {
        const bool digit = wparam >= L'0' && wparam <= L'9';
        const bool sign = wparam == L'+' || wparam == L'-';
        const bool point = wparam == L'.' && edit_param_->kind() == ParamKind::Continuous;
        if (!digit && !sign && !point) return 0;
      }
      break;
    }
    case WM_COMMAND:
      if (HIWORD(wparam) == 1) {
        edit_state_ = EditState::Commit;
        return 0;
      }
      break;
    default:
      break;
  }
  return CallWindowProcW(previous_edit_proc_, edit_window_, message, wparam, lparam);
}

void GraphicsWin::FinishTextEntry(bool commit) {
  if (!edit_window_) return;
  HWND edit = edit_window_;
  Control* control = edit_control_;
  PluginParam* param = edit_param_;
  std::string text;
  if (commit) {
    // All of it: the cut to kMaxEnteredText bytes falls between UTF-8 characters, where a cut
    // in UTF-16 units could split a surrogate pair.
    std::vector<wchar_t> buffer(static_cast<size_t>(GetWindowTextLengthW(edit)) + 1, L'\0');
    GetWindowTextW(edit, buffer.data(), static_cast<int>(buffer.size()));
    text = platform::WideToUtf8(buffer.data());
  }
  // The entry is gone before its value acts, so nothing the value changes reaches it.
  SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(previous_edit_proc_));
  SetWindowLongPtrW(edit, GWLP_USERDATA, 0);
  edit_window_ = nullptr;
  edit_control_ = nullptr;
  edit_param_ = nullptr;
  previous_edit_proc_ = nullptr;
  edit_state_ = EditState::None;
  DestroyWindow(edit);
  if (edit_font_) {
    DeleteObject(edit_font_);
    edit_font_ = nullptr;
  }
  if (window_) SetFocus(window_);
  if (commit) CommitTextEntry(control, param, text);
}

// ---- Dialogs

HWND GraphicsWin::HostMainWindow() {
  if (host_main_window_) return host_main_window_;
  if (parent_) {
    host_main_window_ = GetAncestor(parent_, GA_ROOT);
    wchar_t name[256];
    if (host_main_window_ && GetClassNameW(host_main_window_, name, 256)) {
      host_main_window_class_ = name;
    }
  } else if (!host_main_window_class_.empty()) {
    FindWindowOfClass search = {GetCurrentProcessId(), &host_main_window_class_, nullptr};
    EnumWindows(MatchWindowOfClass, reinterpret_cast<LPARAM>(&search));
    host_main_window_ = search.found;
  }
  return host_main_window_;
}

MessageBoxButton GraphicsWin::ShowMessageBox(const char* text, const char* caption,
                                             MessageBoxType type) {
  const int answer = MessageBoxW(HostMainWindow(), Wide(text).c_str(), Wide(caption).c_str(),
                                 static_cast<UINT>(type));
  return static_cast<MessageBoxButton>(answer);
}

void GraphicsWin::ChooseFile(std::string& file, FileAction action, std::string& folder,
                             const char* extensions) {
  if (!window_) {
    file.clear();
    return;
  }
  if (folder.empty()) DesktopFolder(folder);
  // "fxp fxb" becomes the filter "*.fxp;*.fxb", shown and matched alike; the first is the
  // default extension.
  std::wstring patterns, default_extension;
  const std::wstring list = Wide(extensions);
  size_t start = 0;
  while (start < list.size()) {
    size_t end = list.find(L' ', start);
    if (end == std::wstring::npos) end = list.size();
    if (end > start) {
      const std::wstring word = list.substr(start, end - start);
      if (default_extension.empty()) default_extension = word.substr(0, 15);
      if (!patterns.empty()) patterns += L';';
      patterns += L"*." + word;
    }
    start = end + 1;
  }
  if (patterns.size() > 127) patterns.resize(127);
  std::wstring filter = patterns + L'\0' + patterns + L'\0' + L'\0';

  std::vector<wchar_t> path(32768, L'\0');
  const std::wstring proposed = Wide(file.c_str());
  proposed.copy(path.data(), std::min(proposed.size(), path.size() - 1));
  const std::wstring initial_folder = Wide(folder.c_str());
  OPENFILENAMEW dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = window_;
  dialog.lpstrFilter = patterns.empty() ? nullptr : filter.c_str();
  dialog.lpstrFile = path.data();
  dialog.nMaxFile = static_cast<DWORD>(path.size());
  dialog.lpstrInitialDir = initial_folder.empty() ? nullptr : initial_folder.c_str();
  dialog.lpstrDefExt = default_extension.empty() ? nullptr : default_extension.c_str();
  // The host's current folder is not ours to change.
  dialog.Flags = OFN_NOCHANGEDIR | OFN_EXPLORER;
  const bool chosen =
      action == FileAction::Save
          ? (dialog.Flags |= OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST, GetSaveFileNameW(&dialog))
          : (dialog.Flags |= OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST, GetOpenFileNameW(&dialog));
  if (!chosen) {
    file.clear();
    return;
  }
  const std::wstring result = path.data();
  file = platform::WideToUtf8(result);
  folder = FolderOf(result);
}

bool GraphicsWin::ChooseColor(Color& colour, const char* prompt) {
  const std::wstring title = Wide(prompt);
  CHOOSECOLORW dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = window_ ? window_ : HostMainWindow();
  dialog.rgbResult = RGB(colour.r, colour.g, colour.b);
  dialog.lpCustColors = custom_colours_;
  dialog.Flags = CC_RGBINIT | CC_FULLOPEN | CC_ENABLEHOOK;
  dialog.lpfnHook = ColourDialogHook;
  dialog.lCustData = title.empty() ? 0 : reinterpret_cast<LPARAM>(title.c_str());
  if (!ChooseColorW(&dialog)) return false;
  colour.r = GetRValue(dialog.rgbResult);
  colour.g = GetGValue(dialog.rgbResult);
  colour.b = GetBValue(dialog.rgbResult);
  return true;
}

bool GraphicsWin::LaunchUrl(const char* url) {
  DWORD state = 0;
  if (!InternetGetConnectedState(&state, 0)) return false;
  const HINSTANCE result =
      ShellExecuteW(nullptr, L"open", Wide(url).c_str(), nullptr, nullptr, SW_SHOWNORMAL);
  return reinterpret_cast<INT_PTR>(result) > 32;
}

// ---- Folders, clipboard, cursor, bitmaps

void GraphicsWin::HostFolder(std::string& out) {
  wchar_t path[32768];
  const DWORD n = GetModuleFileNameW(nullptr, path, static_cast<DWORD>(std::size(path)));
  out = n > 0 && n < std::size(path) ? FolderOf(std::wstring(path, n)) : std::string();
}

void GraphicsWin::PluginFolder(std::string& out) {
  out = platform::ModuleFolder();
}

void GraphicsWin::DesktopFolder(std::string& out) {
  out = platform::DesktopFolder();
}

void GraphicsWin::AppDataFolder(std::string& out, bool all_users) {
  out = ShellFolder(all_users ? CSIDL_COMMON_APPDATA : CSIDL_APPDATA);
}

bool GraphicsWin::ClipboardText(std::string& out) {
  out.clear();
  if (!IsClipboardFormatAvailable(CF_UNICODETEXT) || !OpenClipboard(window_)) return false;
  bool found = false;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    if (const auto* text = static_cast<const wchar_t*>(GlobalLock(data))) {
      // Bounded by the block's size, in case the text lacks its terminator.
      const size_t limit = GlobalSize(data) / sizeof(wchar_t);
      out = platform::WideToUtf8(std::wstring(text, wcsnlen(text, limit)));
      found = true;
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return found;
}

void GraphicsWin::HideCursor() {
  if (cursor_hidden()) return;
  Graphics::HideCursor();
  GetCursorPos(&hidden_cursor_);
  ::ShowCursor(FALSE);
}

void GraphicsWin::ShowCursor() {
  if (!cursor_hidden()) return;
  Graphics::ShowCursor();
  SetCursorPos(hidden_cursor_.x, hidden_cursor_.y);
  ::ShowCursor(TRUE);
}

std::unique_ptr<RasterBitmap> GraphicsWin::LoadPlatformBitmap(int id, const char* name) {
  const std::span<const uint8_t> bytes = platform::ModuleResource("PNG", id);
  if (bytes.size() < 8) return nullptr;
  return DecodePngResource(name, bytes.data(), bytes.size());
}

std::unique_ptr<Graphics> CreatePlatformGraphics(PluginBase* plugin) {
  return std::make_unique<GraphicsWin>(plugin);
}

}  // namespace vantor
