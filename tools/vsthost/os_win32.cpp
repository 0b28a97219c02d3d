// vsthost's operating-system needs on Windows: LoadLibrary, wide-character files, clocks, and
// the editor command's window with input posted to what it holds.
#include <windows.h>

#include <io.h>

#include <algorithm>
#include <atomic>
#include <cstdio>

#include "tools/vsthost/os.h"

namespace vsthost::os {
namespace {

// Command-line arguments arrive in the ANSI code page, but paths of our own making are UTF-8;
// valid UTF-8 is taken as such, anything else as ANSI.
std::wstring Wide(const std::string& text) {
  if (text.empty()) return {};
  UINT code_page = CP_UTF8;
  int n = MultiByteToWideChar(code_page, MB_ERR_INVALID_CHARS, text.data(),
                              static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) {
    code_page = CP_ACP;
    n = MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  }
  std::wstring wide(static_cast<size_t>(std::max(n, 0)), L'\0');
  MultiByteToWideChar(code_page, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
  return wide;
}

std::string LastError() {
  const DWORD code = GetLastError();
  char text[512] = {};
  if (!FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
                      text, sizeof text, nullptr)) {
    snprintf(text, sizeof text, "error %lu", code);
  }
  std::string message = text;
  while (!message.empty() && (message.back() == '\n' || message.back() == '\r' ||
                              message.back() == ' ' || message.back() == '.')) {
    message.pop_back();
  }
  return message;
}

double Seconds(const FILETIME& time) {
  ULARGE_INTEGER value;
  value.LowPart = time.dwLowDateTime;
  value.HighPart = time.dwHighDateTime;
  return value.QuadPart * 1e-7;  // 100-nanosecond units
}

}  // namespace

void* OpenLibrary(const std::string& path, std::string& error) {
  // A bare name would be searched for along the DLL path; a plug-in file is meant literally.
  std::string literal = path;
  if (literal.find_first_of("\\/:") == std::string::npos) literal = ".\\" + literal;
  // Dependencies of the plug-in are looked for beside it, as hosts do.
  HMODULE module = LoadLibraryExW(Wide(literal).c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (!module) error = "cannot load " + path + ": " + LastError();
  return module;
}

void* LibrarySymbol(void* library, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

// Like the POSIX side, a plug-in stays loaded until the process ends: its threads and
// thread-local data may outlive its last instance.
void CloseLibrary(void*) {}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.find_last_of("\\/");
  return slash == std::string::npos ? "." : path.substr(0, slash);
}

FILE* OpenFile(const std::string& path, const char* mode) {
  FILE* file = _wfopen(Wide(path).c_str(), Wide(mode).c_str());
  return file ? file : fopen(path.c_str(), mode);
}

bool CreateFileBeside(const std::string& path, std::string& temp_path, std::string& error) {
  static std::atomic<unsigned> counter{0};
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[64];
    snprintf(suffix, sizeof suffix, ".partial-%lx-%x", GetCurrentProcessId(), counter++);
    const std::string name = path + suffix;
    HANDLE file = CreateFileW(Wide(name).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      CloseHandle(file);
      temp_path = name;
      return true;
    }
    if (GetLastError() != ERROR_FILE_EXISTS) break;
  }
  error = "cannot write " + path + ": " + LastError();
  return false;
}

bool MoveIntoPlace(const std::string& from, const std::string& to, std::string& error) {
  if (!MoveFileExW(Wide(from).c_str(), Wide(to).c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    error = "cannot write " + to + ": " + LastError();
    return false;
  }
  return true;
}

void RemoveFile(const std::string& path) {
  DeleteFileW(Wide(path).c_str());
}

bool ErrorOutputIsTerminal() {
  return _isatty(_fileno(stderr)) != 0;
}

double ThreadCpuSeconds() {
  FILETIME created, exited, kernel, user;
  if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user)) return 0.0;
  return Seconds(kernel) + Seconds(user);
}

void SetEnvironment(const char* name, const char* value) {
  // Both the C runtime's copy, which a plug-in's getenv reads, and the process's own.
  _putenv_s(name, value);
  SetEnvironmentVariableA(name, value);
}

double WallSeconds() {
  LARGE_INTEGER now, frequency;
  QueryPerformanceCounter(&now);
  QueryPerformanceFrequency(&frequency);
  return static_cast<double>(now.QuadPart) / static_cast<double>(frequency.QuadPart);
}

ChildResult RunApart(const std::function<std::string()>& body, int /*timeout_seconds*/) {
  fflush(stdout);
  fflush(stderr);
  std::string answer = body();
  if (answer.empty()) return {ChildResult::Ending::kNoAnswer, "", "the check gave no verdict"};
  return {ChildResult::Ending::kFinished, std::move(answer), ""};
}

namespace {

constexpr wchar_t kFrameClass[] = L"VsthostEditorFrame";
constexpr wchar_t kCloseRequested[] = L"VsthostCloseRequested";

// The frame only holds the plug-in's window; closing it by hand is only noted, for its owner to
// act on, as the host must close the editor (effEditClose) before its parent goes.
LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_CLOSE) {
    SetPropW(window, kCloseRequested, reinterpret_cast<HANDLE>(1));
    return 0;
  }
  if (message == WM_DESTROY) RemovePropW(window, kCloseRequested);
  return DefWindowProcW(window, message, wparam, lparam);
}

// Virtual-key codes of the key names the editor command takes (those of X, as on Linux).
UINT VirtualKey(const std::string& name) {
  static const std::pair<const char*, UINT> kNamed[] = {
      {"space", VK_SPACE},   {"Return", VK_RETURN},   {"Escape", VK_ESCAPE},
      {"Tab", VK_TAB},       {"BackSpace", VK_BACK},  {"Delete", VK_DELETE},
      {"Up", VK_UP},         {"Down", VK_DOWN},       {"Left", VK_LEFT},
      {"Right", VK_RIGHT},   {"Home", VK_HOME},       {"End", VK_END},
      {"plus", VK_OEM_PLUS}, {"minus", VK_OEM_MINUS}, {"period", VK_OEM_PERIOD}};
  for (const auto& [text, code] : kNamed) {
    if (name == text) return code;
  }
  if (name.size() == 1) {
    const char c = name[0];
    if (c >= 'a' && c <= 'z') return static_cast<UINT>(c - 'a' + 'A');
    if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return static_cast<UINT>(c);
  }
  return 0;
}

class Win32HostWindow : public HostWindow {
 public:
  explicit Win32HostWindow(HWND window) : window_(window) {}
  ~Win32HostWindow() override { DestroyWindow(window_); }

  void* Handle() const override { return window_; }

  void SetTitle(const std::string& title) override { SetWindowTextW(window_, Wide(title).c_str()); }

  bool Resize(int width, int height) override {
    RECT outer = {0, 0, width, height};
    AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongW(window_, GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongW(window_, GWL_EXSTYLE)));
    return SetWindowPos(window_, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                        SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE) != 0;
  }
  bool CloseRequested() const override { return GetPropW(window_, kCloseRequested) != nullptr; }

  void Pump(int milliseconds) override {
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(std::max(milliseconds, 0));
    for (;;) {
      MSG message;
      while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
      }
      const ULONGLONG now = GetTickCount64();
      if (now >= end) break;
      MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
    }
  }

  void Repaint() override {
    RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  }

  bool Press(int x, int y, int button) override {
    if (button == 4 || button == 5) {
      // The wheel message carries screen coordinates and goes to the window under the pointer.
      HWND target = WindowAt(x, y, nullptr);
      if (!target) return false;
      POINT screen = {x, y};
      ClientToScreen(window_, &screen);
      return PostMessageW(target, WM_MOUSEWHEEL,
                          MAKEWPARAM(0, button == 4 ? WHEEL_DELTA : -WHEEL_DELTA),
                          MAKELPARAM(screen.x, screen.y)) != 0;
    }
    const UINT message = button == 1   ? WM_LBUTTONDOWN
                         : button == 3 ? WM_RBUTTONDOWN
                                       : WM_MBUTTONDOWN;
    held_ |= ButtonFlag(button);
    return Send(x, y, message, held_);
  }

  bool Release(int x, int y, int button) override {
    if (button == 4 || button == 5) return true;  // a wheel step is whole on the press
    const UINT message = button == 1 ? WM_LBUTTONUP : button == 3 ? WM_RBUTTONUP : WM_MBUTTONUP;
    held_ &= ~ButtonFlag(button);
    return Send(x, y, message, held_);
  }

  bool Move(int x, int y, int buttons_held) override {
    const WPARAM flags =
        ((buttons_held & 1) ? MK_LBUTTON : 0) | ((buttons_held & 4) ? MK_RBUTTON : 0);
    return Send(x, y, WM_MOUSEMOVE, flags);
  }

  bool Key(const std::string& name, std::string& error) override {
    const UINT code = VirtualKey(name);
    if (code == 0) {
      error = "no key is called \"" + name + "\"";
      return false;
    }
    // Keys go where the keyboard focus is, as typing would send them.
    HWND target = GetFocus();
    if (!target || (target != window_ && !IsChild(window_, target)))
      target = WindowAt(0, 0, nullptr);
    if (!target) target = window_;
    const UINT scan = MapVirtualKeyW(code, MAPVK_VK_TO_VSC);
    PostMessageW(target, WM_KEYDOWN, code, 1 | (scan << 16));
    PostMessageW(target, WM_KEYUP, code, 1 | (scan << 16) | (3u << 30));
    return true;
  }

  bool Capture(std::vector<uint8_t>& rgb, int& width, int& height, std::string& error) override {
    RECT client;
    GetClientRect(window_, &client);
    width = client.right;
    height = client.bottom;
    if (width <= 0 || height <= 0) {
      error = "the window has no inside to capture";
      return false;
    }
    // From the screen, children included, as a user would see the window.
    HDC screen = GetDC(window_);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof info.bmiHeader, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    bool ok = bitmap != nullptr;
    if (ok) {
      const HGDIOBJ previous = SelectObject(memory, bitmap);
      ok = BitBlt(memory, 0, 0, width, height, screen, 0, 0, SRCCOPY) != 0;
      GdiFlush();
      const auto* pixels = static_cast<const uint8_t*>(bits);  // blue, green, red, unused
      rgb.resize(static_cast<size_t>(width) * height * 3);
      for (size_t i = 0; i < static_cast<size_t>(width) * height; ++i) {
        rgb[3 * i] = pixels[4 * i + 2];
        rgb[3 * i + 1] = pixels[4 * i + 1];
        rgb[3 * i + 2] = pixels[4 * i];
      }
      SelectObject(memory, previous);
      DeleteObject(bitmap);
    }
    DeleteDC(memory);
    ReleaseDC(window_, screen);
    if (!ok) error = "the window could not be captured: " + LastError();
    return ok;
  }

 private:
  static WPARAM ButtonFlag(int button) {
    return button == 1 ? MK_LBUTTON : button == 3 ? MK_RBUTTON : MK_MBUTTON;
  }

  // The deepest visible child under (x, y) of the frame, and the point in its coordinates.
  HWND WindowAt(int x, int y, POINT* inside) const {
    POINT point = {x, y};
    HWND target = window_;
    for (;;) {
      HWND child = ChildWindowFromPointEx(target, point, CWP_SKIPINVISIBLE | CWP_SKIPDISABLED);
      if (!child || child == target) break;
      MapWindowPoints(target, child, &point, 1);
      target = child;
    }
    if (inside) *inside = point;
    return target == window_ ? nullptr : target;
  }

  // A mouse message in the coordinates of the window that takes it: the one holding the mouse
  // capture (as after a press), else the one under the point.
  bool Send(int x, int y, UINT message, WPARAM flags) {
    POINT point = {x, y};
    HWND target = GetCapture();
    if (target && (target == window_ || IsChild(window_, target))) {
      MapWindowPoints(window_, target, &point, 1);
    } else {
      target = WindowAt(x, y, &point);
      if (!target) return false;
    }
    return PostMessageW(target, message, flags, MAKELPARAM(point.x, point.y)) != 0;
  }

  HWND window_;
  WPARAM held_ = 0;
};

}  // namespace

std::unique_ptr<HostWindow> OpenHostWindow(int width, int height, const std::string& title,
                                           std::string& error) {
  static const bool registered = [] {
    WNDCLASSW frame_class = {};
    frame_class.lpfnWndProc = FrameProc;
    frame_class.hInstance = GetModuleHandleW(nullptr);
    frame_class.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // the arrow
    frame_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    frame_class.lpszClassName = kFrameClass;
    return RegisterClassW(&frame_class) != 0;
  }();
  if (!registered) {
    error = "cannot register the window class: " + LastError();
    return nullptr;
  }
  constexpr DWORD kStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
  RECT outer = {0, 0, width, height};
  AdjustWindowRectEx(&outer, kStyle, FALSE, 0);
  HWND window = CreateWindowExW(0, kFrameClass, Wide(title).c_str(), kStyle | WS_CLIPCHILDREN, 0, 0,
                                outer.right - outer.left, outer.bottom - outer.top, nullptr,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!window) {
    error = "cannot open a window: " + LastError();
    return nullptr;
  }
  ShowWindow(window, SW_SHOWNORMAL);
  UpdateWindow(window);
  return std::make_unique<Win32HostWindow>(window);
}

}  // namespace vsthost::os
