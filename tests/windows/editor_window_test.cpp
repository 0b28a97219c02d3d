// The editor in a real window under Wine (run with a display, e.g. Xvfb): painting, clicks, keys,
// text entry, the window class's lifetime, the clipboard, and the plug-in's editor opcodes.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "editor/raster/raster_blit.h"
#include "editor/raster/raster_png.h"
#include "engine/param_ids.h"
#include "host/vst24.h"
#include "instrument/vantor.h"
#include "platform/platform.h"
#include "platform/win32/graphics_win.h"

namespace vantor {
namespace {

constexpr int kParam = kFilterCutoff;  // a continuous parameter from 0 to 1

// Paints its rectangle in one colour and sets its parameter to the top on a click; records keys.
class Patch : public Control {
 public:
  Patch(PluginBase* plugin, Rect rect, RasterPixel colour)
      : Control(plugin, rect, kParam), colour_(colour) {}
  bool Draw(Graphics& graphics) override {
    const Rect& r = rect();
    FillRect(graphics.drawing_bitmap(), r.left, r.top, r.Width(), r.Height(), colour_, 1.0f, 0);
    return true;
  }
  void MouseDown(int, int, const MouseMods&) override { SetValueFromUser(1.0); }
  bool KeyDown(int, int, int key) override {
    keys.push_back(key);
    return true;
  }
  std::vector<int> keys;

 private:
  RasterPixel colour_;
};

// Delivers the window messages waiting and those that come within `milliseconds`.
void Pump(int milliseconds) {
  const DWORD end = GetTickCount() + static_cast<DWORD>(milliseconds);
  do {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    Sleep(5);
  } while (static_cast<LONG>(end - GetTickCount()) > 0);
}

// A top-level window standing in for the host's window that holds the editor.
class HostFrame {
 public:
  HostFrame() {
    WNDCLASSW frame_class = {};
    frame_class.lpfnWndProc = DefWindowProcW;
    frame_class.hInstance = GetModuleHandleW(nullptr);
    frame_class.lpszClassName = L"VantorTestHostFrame";
    RegisterClassW(&frame_class);
    window = CreateWindowExW(0, L"VantorTestHostFrame", L"Test host", WS_OVERLAPPEDWINDOW, 0, 0,
                             1000, 560, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ShowWindow(window, SW_SHOWNORMAL);
    Pump(50);
  }
  ~HostFrame() { DestroyWindow(window); }
  HWND window = nullptr;
};

// The colour of a window pixel as the screen shows it.
COLORREF PixelOnScreen(HWND window, int x, int y) {
  HDC dc = GetDC(window);
  const COLORREF colour = GetPixel(dc, x, y);
  ReleaseDC(window, dc);
  return colour;
}

// What the window shows, as a PNG in the test's folder, for people to look at.
bool SaveWindowPicture(HWND window, const std::string& path) {
  RECT client;
  GetClientRect(window, &client);
  const int width = client.right, height = client.bottom;
  HDC window_dc = GetDC(window);
  HDC memory = CreateCompatibleDC(window_dc);
  BITMAPINFO info = {};
  info.bmiHeader = {sizeof info.bmiHeader, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  void* bits = nullptr;
  HBITMAP bitmap = CreateDIBSection(window_dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ previous = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, window_dc, 0, 0, SRCCOPY);
  GdiFlush();
  RasterMemBitmap picture(width, height);
  const auto* pixels = static_cast<const uint32_t*>(bits);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x)
      picture.Pixels()[y * picture.RowSpan() + x] = pixels[y * width + x] | 0xFF000000u;
  }
  SelectObject(memory, previous);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(window, window_dc);
  return SavePngFile(picture, path.c_str());
}

bool ClassRegistered() {
  WNDCLASSW info;
  return GetClassInfoW(GetModuleHandleW(nullptr), L"VantorWndClass", &info) != 0;
}

LPARAM Point(int x, int y) {
  return MAKELPARAM(x, y);
}

class EditorWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ui = std::make_unique<GraphicsWin>(&vantor);
    ui->PrepareDrawing();  // as the plug-in object does for its own editor
    // Control 0 is the background, which never takes input.
    ui->Add(std::make_unique<Patch>(&vantor, Rect{0, 0, ui->Width(), ui->Height()},
                                    RasterMakePixel(255, 60, 60, 70)));
    patch = ui->Add(std::make_unique<Patch>(&vantor, Rect{100, 50, 200, 120},
                                            RasterMakePixel(255, 200, 40, 30)));
    vantor.Param(kParam)->set_value(vantor.Param(kParam)->minimum());
  }
  void TearDown() override { ui->CloseEditorWindow(); }

  Vantor vantor;
  std::unique_ptr<GraphicsWin> ui;
  Patch* patch = nullptr;
  HostFrame host;
};

TEST_F(EditorWindowTest, OpensAsAChildOfTheHostWindowAndPaintsWhatTheControlsDraw) {
  ASSERT_TRUE(ui->OpenEditorWindow(host.window));
  HWND window = static_cast<HWND>(ui->NativeWindow());
  ASSERT_TRUE(window);
  EXPECT_EQ(GetParent(window), host.window);
  RECT rect;
  GetClientRect(window, &rect);
  EXPECT_EQ(rect.right, Graphics::kDefaultWidth);
  EXPECT_EQ(rect.bottom, Graphics::kDefaultHeight);
  Pump(300);  // the redraw timer runs every 40 ms
  EXPECT_EQ(PixelOnScreen(window, 150, 80), RGB(200, 40, 30));
  EXPECT_EQ(std::string(ui->ApiName()), "Windows GDI");
  EXPECT_TRUE(SaveWindowPicture(window, platform::ModuleFolder() + "editor_window.png"));
}

TEST_F(EditorWindowTest, AClickOnAControlSetsItsParameterAndKeysReachIt) {
  ASSERT_TRUE(ui->OpenEditorWindow(host.window));
  HWND window = static_cast<HWND>(ui->NativeWindow());
  Pump(100);
  PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, Point(150, 80));
  PostMessageW(window, WM_LBUTTONUP, 0, Point(150, 80));
  Pump(100);
  EXPECT_EQ(vantor.Param(kParam)->value(), vantor.Param(kParam)->maximum());

  SetCursorPos(0, 0);
  POINT origin = {150, 80};
  ClientToScreen(window, &origin);
  SetCursorPos(origin.x, origin.y);
  SendMessageW(window, WM_KEYDOWN, 'Q', 0);
  SendMessageW(window, WM_KEYDOWN, VK_NUMPAD7, 0);
  EXPECT_EQ(patch->keys, (std::vector<int>{kKeyLetterA + 16, kKeyDigit0 + 7}));
}

TEST_F(EditorWindowTest, TextEntryTakesDigitsForAParameterAndCommitsOnEnter) {
  ASSERT_TRUE(ui->OpenEditorWindow(host.window));
  PluginParam* param = vantor.Param(kParam);
  ui->BeginTextEntry(patch, TextStyle(), Rect{100, 130, 200, 150}, "", param);
  HWND window = static_cast<HWND>(ui->NativeWindow());
  HWND edit = GetDlgItem(window, GraphicsWin::kEditControlId);
  ASSERT_TRUE(edit);
  for (wchar_t c : std::wstring(L"0x.5z"))
    SendMessageW(edit, WM_CHAR, c, 0);
  wchar_t typed[32] = {};
  GetWindowTextW(edit, typed, 32);
  EXPECT_EQ(std::wstring(typed), L"0.5");  // letters are swallowed for a parameter
  SendMessageW(edit, WM_KEYDOWN, VK_RETURN, 0);
  Pump(150);  // the timer ends the entry
  EXPECT_FALSE(GetDlgItem(window, GraphicsWin::kEditControlId));
  EXPECT_NEAR(param->value(), std::clamp(0.5, param->minimum(), param->maximum()), 1e-9);
}

TEST_F(EditorWindowTest, EscapeAndTheWheelCancelAnEntry) {
  ASSERT_TRUE(ui->OpenEditorWindow(host.window));
  const double before = vantor.Param(kParam)->value();
  HWND window = static_cast<HWND>(ui->NativeWindow());
  for (int way = 0; way < 2; ++way) {
    ui->BeginTextEntry(patch, TextStyle(), Rect{100, 130, 200, 150}, "", vantor.Param(kParam));
    HWND edit = GetDlgItem(window, GraphicsWin::kEditControlId);
    ASSERT_TRUE(edit);
    SendMessageW(edit, WM_CHAR, L'1', 0);
    if (way == 0) {
      SendMessageW(edit, WM_KEYDOWN, VK_ESCAPE, 0);
    } else {
      Pump(120);
      SendMessageW(window, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), Point(150, 80));
    }
    Pump(150);
    EXPECT_FALSE(GetDlgItem(window, GraphicsWin::kEditControlId));
    EXPECT_EQ(vantor.Param(kParam)->value(), before);
  }
}

TEST_F(EditorWindowTest, TheWindowClassLivesUntilTheLastEditorWindowCloses) {
  Vantor other_plugin;
  GraphicsWin other(&other_plugin);
  EXPECT_FALSE(ClassRegistered());
  ASSERT_TRUE(ui->OpenEditorWindow(host.window));
  ASSERT_TRUE(other.OpenEditorWindow(host.window));
  EXPECT_EQ(GraphicsWin::OpenWindowCount(), 2);
  ui->CloseEditorWindow();
  EXPECT_TRUE(ClassRegistered());
  EXPECT_TRUE(ui->OpenEditorWindow(host.window));  // and again
  other.CloseEditorWindow();
  ui->CloseEditorWindow();
  EXPECT_EQ(GraphicsWin::OpenWindowCount(), 0);
  EXPECT_FALSE(ClassRegistered());
}

TEST_F(EditorWindowTest, ClipboardTextArrivesAsUtf8) {
  ASSERT_TRUE(ui->OpenEditorWindow(host.window));
  const std::wstring text = L"Pad: Fat Strings \u00e4\u20ac";
  ASSERT_TRUE(OpenClipboard(host.window));
  EmptyClipboard();
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
  memcpy(GlobalLock(block), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
  GlobalUnlock(block);
  SetClipboardData(CF_UNICODETEXT, block);
  CloseClipboard();
  std::string out;
  EXPECT_TRUE(ui->ClipboardText(out));
  EXPECT_EQ(out, "Pad: Fat Strings \xC3\xA4\xE2\x82\xAC");
}

// Window enumeration calls back with the system's calling convention (stdcall on x86), which a
// lambda does not have.
BOOL CALLBACK TakeEditorChild(HWND child, LPARAM data) {
  wchar_t name[64];
  if (GetClassNameW(child, name, 64) && std::wstring(name) == L"VantorWndClass") {
    *reinterpret_cast<HWND*>(data) = child;
    return FALSE;
  }
  return TRUE;
}

// The child window of the editor's class, found by name as a host's tools would.
HWND EditorChild(HWND parent) {
  HWND found = nullptr;
  EnumChildWindows(parent, TakeEditorChild, reinterpret_cast<LPARAM>(&found));
  return found;
}

intptr_t VST_CALL NoHost(vst::AEffect*, int32_t, int32_t, intptr_t, void*, float) {
  return 0;
}

TEST(PluginEditorTest, TheHostOpensAndClosesTheEditorInsideItsWindow) {
  HostFrame host;
  const std::string path = platform::ModuleFolder() + "..\\..\\host\\" VANTOR_PLUGIN_FILE;
  HMODULE plugin = LoadLibraryA(path.c_str());
  ASSERT_TRUE(plugin);
  auto entry = reinterpret_cast<vst::AEffect*(VST_CALL*)(vst::AudioMasterCallback)>(
      reinterpret_cast<void*>(GetProcAddress(plugin, "VSTPluginMain")));
  vst::AEffect* effect = entry(NoHost);
  ASSERT_TRUE(effect);
  if (!(effect->flags & vst::effFlagsHasEditor)) {
    effect->dispatcher(effect, vst::effClose, 0, 0, nullptr, 0.0f);
    GTEST_SKIP() << "the instrument attaches no editor layout yet";
  }
  effect->dispatcher(effect, vst::effOpen, 0, 0, nullptr, 0.0f);
  EXPECT_EQ(effect->dispatcher(effect, vst::effEditOpen, 0, 0, host.window, 0.0f), 1);
  Pump(200);
  HWND editor = EditorChild(host.window);
  ASSERT_TRUE(editor);
  EXPECT_TRUE(IsWindowVisible(editor));
  effect->dispatcher(effect, vst::effEditClose, 0, 0, nullptr, 0.0f);
  EXPECT_FALSE(EditorChild(host.window));
  effect->dispatcher(effect, vst::effClose, 0, 0, nullptr, 0.0f);
}

}  // namespace
}  // namespace vantor
