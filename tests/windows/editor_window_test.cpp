// The editor in a real window under Wine (run with a display, e.g. Xvfb): painting, clicks, keys,
// text entry, the window class's lifetime, the clipboard, and the plug-in's editor opcodes.
#include <windows.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
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

// What the host was told of edits, in order: (opcode, parameter).
std::vector<std::pair<int32_t, int32_t>> g_heard;
// The window audioMasterSizeWindow resizes (its inside); without one the host refuses.
HWND g_resized_frame = nullptr;

intptr_t VST_CALL RecordingHost(vst::AEffect*, int32_t opcode, int32_t index, intptr_t value, void*,
                                float) {
  if (opcode == vst::audioMasterVersion) return 2400;
  if (opcode == vst::audioMasterSizeWindow && g_resized_frame) {
    RECT outer = {0, 0, index, static_cast<LONG>(value)};
    AdjustWindowRectEx(&outer, static_cast<DWORD>(GetWindowLongW(g_resized_frame, GWL_STYLE)),
                       FALSE, 0);
    return SetWindowPos(g_resized_frame, nullptr, 0, 0, outer.right - outer.left,
                        outer.bottom - outer.top, SWP_NOMOVE | SWP_NOZORDER) != 0;
  }
  if (opcode == vst::audioMasterAutomate || opcode == vst::audioMasterBeginEdit ||
      opcode == vst::audioMasterEndEdit)
    g_heard.emplace_back(opcode, index);
  return 0;
}

// Paints its rectangle in one colour and sets its parameter to the top on a click; records keys
// and wheel steps.
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
  void MouseWheel(int, int, const MouseMods&, int d) override { wheel.push_back(d); }
  std::vector<int> keys;
  std::vector<int> wheel;

 private:
  RasterPixel colour_;
};

// Delivers window messages until `done` holds (true), or a minute passes (false): long enough
// for the busiest machine, and each wait ends as soon as what it waits for is seen.
bool PumpUntil(const std::function<bool()>& done) {
  const ULONGLONG give_up = GetTickCount64() + 60000;
  for (;;) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&message);
      DispatchMessageW(&message);
    }
    if (done()) return true;
    if (GetTickCount64() > give_up) return false;
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
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
    PumpUntil([this] { return IsWindowVisible(window) != 0; });
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
    g_heard.clear();
    ui = std::make_unique<GraphicsWin>(&vantor);
    ui->PrepareDrawing();  // as the plug-in object does for its own editor
    // Control 0 is the background, which never takes input.
    ui->Add(std::make_unique<Patch>(&vantor, Rect{0, 0, ui->layout_width(), ui->layout_height()},
                                    RasterMakePixel(255, 60, 60, 70)));
    patch = ui->Add(std::make_unique<Patch>(&vantor, Rect{100, 50, 200, 120},
                                            RasterMakePixel(255, 200, 40, 30)));
    vantor.Param(kParam)->set_value(vantor.Param(kParam)->minimum());
  }
  void TearDown() override { ui->CloseEditorWindow(); }

  Vantor vantor{RecordingHost};
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
  // Painted on the window's first paint or redraw timer.
  EXPECT_TRUE(PumpUntil([&] { return PixelOnScreen(window, 150, 80) == RGB(200, 40, 30); }));
  EXPECT_EQ(std::string(ui->ApiName()), "Windows GDI");
  // The prefix's screen has Windows' own density, 96 dots per inch: 100%.
  EXPECT_EQ(ui->DisplayZoom(), 100);
  EXPECT_TRUE(SaveWindowPicture(window, platform::ModuleFolder() + "editor_window.png"));
}

TEST_F(EditorWindowTest, AClickOnAControlSetsItsParameterAndKeysReachIt) {
  ASSERT_TRUE(ui->OpenEditorWindow(host.window));
  HWND window = static_cast<HWND>(ui->NativeWindow());
  PostMessageW(window, WM_LBUTTONDOWN, MK_LBUTTON, Point(150, 80));
  PostMessageW(window, WM_LBUTTONUP, 0, Point(150, 80));
  EXPECT_TRUE(PumpUntil([&] { return g_heard.size() >= 3; }));  // begin, automate, end
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
  // The timer ends the entry.
  EXPECT_TRUE(PumpUntil([&] { return !GetDlgItem(window, GraphicsWin::kEditControlId); }));
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
      SendMessageW(window, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), Point(150, 80));
    }
    EXPECT_TRUE(PumpUntil([&] { return !GetDlgItem(window, GraphicsWin::kEditControlId); }));
    EXPECT_EQ(vantor.Param(kParam)->value(), before);
  }
}

// Precision touchpads turn the wheel by fractions of a notch: they add up, and nothing reaches
// the control or the host until a whole notch is there.
TEST_F(EditorWindowTest, WheelFractionsAddUpToWholeNotches) {
  ASSERT_TRUE(ui->OpenEditorWindow(host.window));
  HWND window = static_cast<HWND>(ui->NativeWindow());
  POINT over = {150, 80};  // the wheel message carries screen coordinates
  ClientToScreen(window, &over);
  auto turn = [&](int delta) {
    SendMessageW(window, WM_MOUSEWHEEL, MAKEWPARAM(0, delta), MAKELPARAM(over.x, over.y));
  };
  g_heard.clear();
  turn(40);
  turn(40);
  EXPECT_TRUE(patch->wheel.empty());
  EXPECT_TRUE(g_heard.empty());
  turn(40);
  EXPECT_EQ(patch->wheel, (std::vector<int>{1}));
  EXPECT_EQ(g_heard.size(), 2u);  // begin and end of the step's edit
  turn(300);                      // two and a half notches
  turn(-60);                      // the other way: the half notch is dropped
  turn(-60);
  EXPECT_EQ(patch->wheel, (std::vector<int>{1, 2, -1}));
  turn(-WHEEL_DELTA * 2);
  EXPECT_EQ(patch->wheel, (std::vector<int>{1, 2, -1, -2}));
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

// Stops at the child of the editor's class and hands it out through `data`.
BOOL CALLBACK MatchEditorChild(HWND child, LPARAM data) {
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
  EnumChildWindows(parent, MatchEditorChild, reinterpret_cast<LPARAM>(&found));
  return found;
}

// The window of the popup menu while one is shown, else null.
HWND ShownMenu() {
  HWND menu = FindWindowW(L"#32768", nullptr);
  return menu && IsWindowVisible(menu) ? menu : nullptr;
}

// Keys for the popup menu about to open, typed once it shows: the timer runs inside the menu's
// own message loop, which holds the test's thread as it holds a host's.
std::vector<WPARAM> g_menu_keys;
void CALLBACK TypeIntoMenu(HWND, UINT, UINT_PTR timer, DWORD) {
  HWND menu = ShownMenu();
  if (!menu) return;
  KillTimer(nullptr, timer);
  for (WPARAM key : g_menu_keys)
    PostMessageW(menu, WM_KEYDOWN, key, 0);
}

// The split menu opens on the press that begins the host's edit gesture and swallows the
// release: the gesture ends when the menu closes, chosen or cancelled.
TEST(PluginEditorTest, TheSplitMenuEndsItsGestureWhenItCloses) {
  HostFrame host;
  Vantor vantor(RecordingHost);
  vst::AEffect* effect = vantor.effect();
  effect->dispatcher(effect, vst::effOpen, 0, 0, nullptr, 0.0f);
  effect->setParameter(effect, kKeySplitPoint, 1.0f);
  ASSERT_EQ(effect->dispatcher(effect, vst::effEditOpen, 0, 0, host.window, 0.0f), 1);
  HWND editor = static_cast<HWND>(vantor.graphics().NativeWindow());
  using Heard = std::vector<std::pair<int32_t, int32_t>>;
  auto ended = [] { return !g_heard.empty() && g_heard.back().first == vst::audioMasterEndEdit; };

  g_heard.clear();
  g_menu_keys = {VK_ESCAPE};
  SetTimer(nullptr, 0, 10, TypeIntoMenu);
  PostMessageW(editor, WM_LBUTTONDOWN, MK_LBUTTON, Point(430, 430));
  EXPECT_TRUE(PumpUntil(ended));
  EXPECT_EQ(g_heard, (Heard{{vst::audioMasterBeginEdit, kKeySplitPoint},
                            {vst::audioMasterEndEdit, kKeySplitPoint}}));

  // The first note of the first octave: the value changes inside the gesture.
  g_heard.clear();
  g_menu_keys = {VK_DOWN, VK_RIGHT, VK_RETURN};
  SetTimer(nullptr, 0, 10, TypeIntoMenu);
  PostMessageW(editor, WM_LBUTTONDOWN, MK_LBUTTON, Point(450, 430));
  EXPECT_TRUE(PumpUntil(ended));
  EXPECT_EQ(vantor.Param(kKeySplitPoint)->value(), 0.0);
  EXPECT_EQ(g_heard, (Heard{{vst::audioMasterBeginEdit, kKeySplitPoint},
                            {vst::audioMasterAutomate, kKeySplitPoint},
                            {vst::audioMasterEndEdit, kKeySplitPoint}}));
  effect->dispatcher(effect, vst::effEditClose, 0, 0, nullptr, 0.0f);
}

// "Zoom" is the options menu's last item and "200%" the last of its submenu: the keys go up to
// it, into the submenu and down to its third item. The host resizes its window when asked, and
// the editor follows: a click at the zoomed place of a button switches that button.
TEST(PluginEditorTest, ZoomFromTheOptionsMenuResizesThroughTheHost) {
  HostFrame host;
  g_resized_frame = host.window;
  Vantor vantor(RecordingHost);
  // The zoom chosen is remembered in the prefix's configuration file, which the other editor
  // tests share: it is put back as it was, however the test ends.
  struct KeepFile {
    std::string path;
    std::vector<uint8_t> bytes;
    ~KeepFile() { platform::WriteWholeFile(path, bytes.data(), bytes.size()); }
  } keep{vantor.config_path(), {}};
  ASSERT_TRUE(platform::ReadWholeFile(keep.path, &keep.bytes));
  vst::AEffect* effect = vantor.effect();
  effect->dispatcher(effect, vst::effOpen, 0, 0, nullptr, 0.0f);
  effect->setParameter(effect, kBank1Saw16, 1.0f);
  ASSERT_EQ(effect->dispatcher(effect, vst::effEditOpen, 0, 0, host.window, 0.0f), 1);
  HWND editor = static_cast<HWND>(vantor.graphics().NativeWindow());
  g_menu_keys = {VK_UP, VK_RIGHT, VK_DOWN, VK_DOWN, VK_RETURN};
  SetTimer(nullptr, 0, 10, TypeIntoMenu);
  PostMessageW(editor, WM_LBUTTONDOWN, MK_LBUTTON, Point(65, 430));
  PostMessageW(editor, WM_LBUTTONUP, 0, Point(65, 430));
  EXPECT_TRUE(PumpUntil([&] { return vantor.graphics().zoom() == 200; }));
  g_resized_frame = nullptr;
  RECT inside;
  GetClientRect(host.window, &inside);
  EXPECT_EQ(inside.right, 1848);
  EXPECT_EQ(inside.bottom, 912);
  GetClientRect(editor, &inside);
  EXPECT_EQ(inside.right, 1848);
  EXPECT_EQ(inside.bottom, 912);
  vst::ERect* rect = nullptr;
  ASSERT_EQ(effect->dispatcher(effect, vst::effEditGetRect, 0, 0, &rect, 0.0f), 1);
  EXPECT_EQ(rect->right - rect->left, 1848);
  // The screen shows the zoomed drawing: its panel below the button, in the lower right corner.
  const RasterBitmap& drawn = *vantor.graphics().drawing_bitmap();
  EXPECT_TRUE(PumpUntil([&] {
    const RasterPixel p = drawn.At(1800, 880);
    return PixelOnScreen(editor, 1800, 880) == RGB(RasterRed(p), RasterGreen(p), RasterBlue(p));
  }));
  PostMessageW(editor, WM_LBUTTONDOWN, MK_LBUTTON, Point(446, 512));
  PostMessageW(editor, WM_LBUTTONUP, 0, Point(446, 512));
  EXPECT_TRUE(PumpUntil([&] { return effect->getParameter(effect, kBank1Saw16) == 0.0f; }));
  effect->dispatcher(effect, vst::effEditClose, 0, 0, nullptr, 0.0f);
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
  HWND editor = nullptr;
  EXPECT_TRUE(PumpUntil([&] {
    editor = EditorChild(host.window);
    return editor && IsWindowVisible(editor);
  }));
  ASSERT_TRUE(editor);
  effect->dispatcher(effect, vst::effEditClose, 0, 0, nullptr, 0.0f);
  EXPECT_FALSE(EditorChild(host.window));
  effect->dispatcher(effect, vst::effClose, 0, 0, nullptr, 0.0f);
}

}  // namespace
}  // namespace vantor
