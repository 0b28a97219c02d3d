// The editor in a real X11 window under Xvfb: windows of two instances, real mouse and key
// events (xdotool), the drawn menus and dialogs, the text entry, and what the window shows.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "core/vantor_params.h"
#include "editor/graphics_headless.h"
#include "editor/raster/raster_png.h"
#include "editor/vantor_layout.h"
#include "instrument/vantor.h"
#include "platform/posix/graphics_x11.h"
#include "support/test_home.h"

// Xlib last: its macros (None, Status, ...) would reach the headers above.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include "platform/posix/x11_ui.h"

namespace vantor {
namespace {

std::vector<int> g_automated;  // parameter indices the host was told of, in order

vst::intptr VST_CALL RecordingHost(vst::AEffect*, vst::int32 opcode, vst::int32 index, vst::intptr,
                                   void*, float) {
  if (opcode == vst::audioMasterVersion) return 2400;
  if (opcode == vst::audioMasterAutomate) g_automated.push_back(index);
  return 0;
}

// A plug-in object as a host holds it, talked to through its dispatcher.
struct Instance {
  Instance() : vantor(RecordingHost) { Dispatch(vst::effOpen); }
  ~Instance() { Dispatch(vst::effEditClose); }
  vst::intptr Dispatch(vst::int32 opcode, vst::intptr value = 0, void* ptr = nullptr) {
    vst::AEffect* e = vantor.effect();
    return e->dispatcher(e, opcode, 0, value, ptr, 0.0f);
  }
  GraphicsX11& window() { return static_cast<GraphicsX11&>(vantor.graphics()); }
  Vantor vantor;
};

class X11EditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::FreshConfigHome();
    g_automated.clear();
    display_ = XOpenDisplay(nullptr);
    ASSERT_NE(display_, nullptr) << "the test runs under Xvfb (with_xvfb.sh)";
  }
  void TearDown() override {
    if (display_) XCloseDisplay(display_);
  }

  // A host's top-level window at (x, y) of the screen, mapped, which hears its key events.
  Window HostWindow(int x = 0, int y = 0) {
    const int screen = DefaultScreen(display_);
    Window w =
        XCreateSimpleWindow(display_, RootWindow(display_, screen), x, y, Graphics::kDefaultWidth,
                            Graphics::kDefaultHeight, 0, 0, BlackPixel(display_, screen));
    XSelectInput(display_, w, StructureNotifyMask | KeyPressMask);
    XMapWindow(display_, w);
    XEvent event;
    do {
      XNextEvent(display_, &event);
    } while (event.type != MapNotify || event.xmap.window != w);
    return w;
  }

  void* Handle(Window w) { return reinterpret_cast<void*>(static_cast<uintptr_t>(w)); }

  // The host's user-interface loop: effEditIdle every few milliseconds.
  static void Idle(std::initializer_list<Instance*> instances, int milliseconds) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    do {
      for (Instance* i : instances)
        i->Dispatch(vst::effEditIdle);
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    } while (std::chrono::steady_clock::now() < until);
  }

  bool WindowExists(Window w) {
    x11::ErrorTrap trap(display_);
    XWindowAttributes attributes;
    const bool found = XGetWindowAttributes(display_, w, &attributes) != 0;
    return trap.Sync() && found;
  }

  static void Xdotool(const std::string& arguments) {
    ASSERT_EQ(std::system(("xdotool " + arguments).c_str()), 0) << arguments;
  }
  // For input to a menu or a dialog, which holds the host's thread until it is answered.
  static void XdotoolLater(const std::string& script) {
    ASSERT_EQ(std::system(("(" + script + ") >/dev/null 2>&1 &").c_str()), 0);
  }

  // The window's pixels as 0xRRGGBB.
  std::vector<uint32_t> Capture(Window w, int width, int height) {
    XSync(display_, False);
    XImage* image = XGetImage(display_, w, 0, 0, static_cast<unsigned>(width),
                              static_cast<unsigned>(height), AllPlanes, ZPixmap);
    std::vector<uint32_t> pixels;
    if (!image) return pixels;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x)
        pixels.push_back(static_cast<uint32_t>(XGetPixel(image, x, y) & 0xFFFFFF));
    }
    XDestroyImage(image);
    return pixels;
  }

  Display* display_ = nullptr;
};

TEST_F(X11EditorTest, TwoInstancesOpenAndCloseTheirWindowsTwice) {
  Instance a, b;
  const Window host_a = HostWindow(0, 0);
  const Window host_b = HostWindow(0, 470);
  for (int round = 0; round < 2; ++round) {
    ASSERT_EQ(a.Dispatch(vst::effEditOpen, 0, Handle(host_a)), 1);
    ASSERT_EQ(b.Dispatch(vst::effEditOpen, 0, Handle(host_b)), 1);
    EXPECT_EQ(GraphicsX11::OpenWindowCount(), 2);
    const auto window_a =
        static_cast<Window>(reinterpret_cast<uintptr_t>(a.window().NativeWindow()));
    const auto window_b =
        static_cast<Window>(reinterpret_cast<uintptr_t>(b.window().NativeWindow()));
    EXPECT_NE(window_a, window_b);
    EXPECT_TRUE(WindowExists(window_a));
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    XQueryTree(display_, window_b, &root, &parent, &children, &count);
    if (children) XFree(children);
    EXPECT_EQ(parent, host_b);
    XWindowAttributes attributes;
    XGetWindowAttributes(display_, window_a, &attributes);
    EXPECT_EQ(attributes.width, 924);
    EXPECT_EQ(attributes.height, 456);
    Idle({&a, &b}, 100);

    a.Dispatch(vst::effEditClose);
    EXPECT_EQ(GraphicsX11::OpenWindowCount(), 1);
    EXPECT_FALSE(WindowExists(window_a));
    Idle({&a, &b}, 50);  // idle calls for a closed editor do nothing
    b.Dispatch(vst::effEditClose);
    EXPECT_EQ(GraphicsX11::OpenWindowCount(), 0);
    EXPECT_FALSE(WindowExists(window_b));
  }
  // A parent that is not a window: the editor does not open, and the process lives on.
  EXPECT_EQ(a.Dispatch(vst::effEditOpen, 0, Handle(0x7FFFFF0)), 0);
  EXPECT_EQ(GraphicsX11::OpenWindowCount(), 0);
}

TEST_F(X11EditorTest, HostDestroyingItsWindowFirstLeavesACleanClose) {
  Instance a;
  const Window host = HostWindow();
  ASSERT_EQ(a.Dispatch(vst::effEditOpen, 0, Handle(host)), 1);
  Idle({&a}, 60);
  XDestroyWindow(display_, host);
  XSync(display_, False);
  Idle({&a}, 60);  // the editor learns that its window went with the host's
  EXPECT_FALSE(a.window().IsWindowOpen());
  EXPECT_EQ(a.Dispatch(vst::effEditClose), 1);
  EXPECT_EQ(GraphicsX11::OpenWindowCount(), 0);

  // Closing straight after the host's window went, before any idle call, is clean as well.
  const Window again = HostWindow();
  ASSERT_EQ(a.Dispatch(vst::effEditOpen, 0, Handle(again)), 1);
  XDestroyWindow(display_, again);
  XSync(display_, False);
  EXPECT_EQ(a.Dispatch(vst::effEditClose), 1);
  EXPECT_EQ(GraphicsX11::OpenWindowCount(), 0);
}

TEST_F(X11EditorTest, WindowShowsWhatTheHeadlessEditorDraws) {
  Instance a;
  const Window host = HostWindow();
  ASSERT_EQ(a.Dispatch(vst::effEditOpen, 0, Handle(host)), 1);
  Idle({&a}, 150);
  const std::vector<uint32_t> shown = Capture(host, 924, 456);

  // The same instrument in the same state, drawn without a window.
  Instance reference;
  auto headless = std::make_unique<GraphicsHeadless>(&reference.vantor);
  GraphicsHeadless* ui = headless.get();
  reference.vantor.ReplaceGraphics(std::move(headless));
  ui->OpenEditorWindow(nullptr);
  reference.Dispatch(vst::effEditIdle);
  ui->RedrawAll();
  const RasterBitmap& drawn = *ui->drawing_bitmap();
  ASSERT_EQ(shown.size(), static_cast<size_t>(drawn.Width()) * static_cast<size_t>(drawn.Height()));
  size_t differing = 0;
  for (int y = 0; y < drawn.Height(); ++y) {
    for (int x = 0; x < drawn.Width(); ++x) {
      if (shown[static_cast<size_t>(y) * 924 + static_cast<size_t>(x)] !=
          (drawn.At(x, y) & 0xFFFFFF))
        ++differing;
    }
  }
  EXPECT_EQ(differing, 0u);
}

TEST_F(X11EditorTest, DragOnAKnobSetsItsParameterAndTellsTheHost) {
  Instance a;
  const Window host = HostWindow();
  ASSERT_EQ(a.Dispatch(vst::effEditOpen, 0, Handle(host)), 1);
  Idle({&a}, 60);
  const double before = a.vantor.Param(kMainVolume)->value();
  // The main volume knob; the host window lies at the screen's origin.
  Xdotool("mousemove 890 58 mousedown 1 mousemove 890 45 mousemove 890 30 mouseup 1");
  Idle({&a}, 120);
  EXPECT_GT(a.vantor.Param(kMainVolume)->value(), before);
  ASSERT_FALSE(g_automated.empty());
  for (int index : g_automated)
    EXPECT_EQ(index, kMainVolume);

  // The wheel steps it back down.
  const double dragged = a.vantor.Param(kMainVolume)->value();
  Xdotool("mousemove 890 58 click 5");
  Idle({&a}, 60);
  EXPECT_LT(a.vantor.Param(kMainVolume)->value(), dragged);
}

TEST_F(X11EditorTest, KeysNoControlTakesGoOnToTheHost) {
  Instance a;
  const Window host = HostWindow();
  ASSERT_EQ(a.Dispatch(vst::effEditOpen, 0, Handle(host)), 1);
  Idle({&a}, 60);
  Xdotool("mousemove 15 300 click 1");  // the click gives the editor the focus
  Idle({&a}, 60);
  Xdotool("key Tab key space");
  Idle({&a}, 80);
  XSync(display_, False);
  std::vector<KeySym> heard;
  XEvent event;
  while (XCheckTypedWindowEvent(display_, host, KeyPress, &event))
    heard.push_back(XLookupKeysym(&event.xkey, 0));
  EXPECT_EQ(heard, (std::vector<KeySym>{XK_Tab, XK_space}));
}

TEST_F(X11EditorTest, ProgramMenuOpensASubmenuAndItsItemIsChosen) {
  Instance a;
  const Window host = HostWindow();
  ASSERT_EQ(a.Dispatch(vst::effEditOpen, 0, Handle(host)), 1);
  Idle({&a}, 60);
  // The menu opens below the program number (left 102, bottom 438): its second item,
  // "16 - 31", opens a submenu beside it, whose fourth item is program 19.
  XdotoolLater(
      "sleep 0.3; xdotool mousemove 150 470; sleep 0.15; xdotool mousemove 250 470; "
      "sleep 0.1; xdotool mousemove 260 532; sleep 0.15; xdotool click 1");
  Xdotool("mousemove 110 430 click 1");
  Idle({&a}, 100);  // returns once the menu has closed
  EXPECT_EQ(a.vantor.current_program(), 19);

  // A click beside the menu closes it without a choice.
  XdotoolLater("sleep 0.3; xdotool mousemove 700 150 click 1");
  Xdotool("mousemove 110 430 click 1");
  Idle({&a}, 100);
  EXPECT_EQ(a.vantor.current_program(), 19);
}

TEST_F(X11EditorTest, ProgramNameEntryIsCommittedWithEnterAndCancelledWithEscape) {
  Instance a;
  const Window host = HostWindow();
  ASSERT_EQ(a.Dispatch(vst::effEditOpen, 0, Handle(host)), 1);
  Idle({&a}, 60);
  const std::string original = a.vantor.GetProgramName(a.vantor.current_program());
  // Each click on the name lands elsewhere on it, so that no two make a double click.

  Xdotool("mousemove 200 430 click 1");
  Idle({&a}, 60);
  ASSERT_NE(a.window().text_entry_window(), 0u);
  Xdotool("type 'Lush Pad'");
  Xdotool("key Return");
  Idle({&a}, 120);
  EXPECT_EQ(a.window().text_entry_window(), 0u);
  EXPECT_EQ(std::string(a.vantor.GetProgramName(a.vantor.current_program())), "Lush Pad");

  Xdotool("mousemove 240 430 click 1");
  Idle({&a}, 60);
  Xdotool("type Gone");
  Xdotool("key Escape");
  Idle({&a}, 120);
  EXPECT_EQ(a.window().text_entry_window(), 0u);
  EXPECT_EQ(std::string(a.vantor.GetProgramName(a.vantor.current_program())), "Lush Pad");

  // A click elsewhere in the editor takes the text; the wheel drops it.
  Xdotool("mousemove 280 430 click 1");
  Idle({&a}, 60);
  Xdotool("key BackSpace");
  Xdotool("type Kept");
  Xdotool("mousemove 15 300 click 1");
  Idle({&a}, 120);
  EXPECT_EQ(std::string(a.vantor.GetProgramName(a.vantor.current_program())), "Kept");
  Xdotool("mousemove 220 430 click 1");
  Idle({&a}, 60);
  Xdotool("type Dropped");
  Xdotool("mousemove 15 300 click 4");
  Idle({&a}, 120);
  EXPECT_EQ(std::string(a.vantor.GetProgramName(a.vantor.current_program())), "Kept");
  EXPECT_NE(original, "Kept");
}

TEST_F(X11EditorTest, MessageBoxIsAnsweredByKeyAndByItsButtons) {
  Instance a;
  const Window host = HostWindow();
  ASSERT_EQ(a.Dispatch(vst::effEditOpen, 0, Handle(host)), 1);
  Idle({&a}, 60);
  Graphics& g = a.vantor.graphics();

  XdotoolLater("xdotool search --sync --name '^Question$' key --window %1 Return");
  EXPECT_EQ(g.ShowMessageBox("Overwrite?", "Question", MessageBoxType::YesNo),
            MessageBoxButton::Yes);
  XdotoolLater("xdotool search --sync --name '^Question$' key --window %1 Escape");
  EXPECT_EQ(g.ShowMessageBox("Overwrite?", "Question", MessageBoxType::YesNo),
            MessageBoxButton::No);
  // The buttons sit at the bottom right: Yes, then No at (160 .. 244, 46 .. 72).
  XdotoolLater(
      "sleep 0.2; xdotool search --sync --name '^Question$' mousemove --window %1 "
      "200 59 click 1");
  EXPECT_EQ(g.ShowMessageBox("Overwrite?", "Question", MessageBoxType::YesNo),
            MessageBoxButton::No);
  // With an icon the text, and so the button, sit lower: OK at (160 .. 244, 60 .. 86).
  XdotoolLater(
      "sleep 0.2; xdotool search --sync --name '^Notice$' mousemove --window %1 "
      "200 73 click 1");
  EXPECT_EQ(g.ShowMessageBox("Done.", "Notice", MessageBoxType::InformationOk),
            MessageBoxButton::Ok);
}

TEST_F(X11EditorTest, FilePromptDrawnHereTakesATypedPath) {
  Instance a;
  const Window host = HostWindow();
  ASSERT_EQ(a.Dispatch(vst::effEditOpen, 0, Handle(host)), 1);
  Idle({&a}, 60);
  a.window().set_prompt_programs({});  // no helper program: the prompt drawn here
  std::string file = "bank.fxb";
  std::string folder = "/tmp/presets";
  // The prompt is 460 wide; OK sits at (268 .. 352, 84 .. 110), Cancel beside it at 360.
  XdotoolLater(
      "xdotool search --sync --name '^Save File$' key --window %1 End BackSpace "
      "BackSpace BackSpace BackSpace; sleep 0.2; "
      "xdotool search --name '^Save File$' mousemove --window %1 310 97 click 1");
  a.window().ChooseFile(file, FileAction::Save, folder, "fxb fxp");
  EXPECT_EQ(file, "/tmp/presets/bank.fxb");  // the extension came back with the default
  EXPECT_EQ(folder, "/tmp/presets/");

  file = "gone.fxp";
  XdotoolLater(
      "sleep 0.2; xdotool search --sync --name '^Open File$' mousemove --window %1 "
      "400 97 click 1");
  a.window().ChooseFile(file, FileAction::Open, folder, "fxp");
  EXPECT_EQ(file, "");
  EXPECT_EQ(folder, "/tmp/presets/");
}

// Another program owns the clipboard; the editor asks it for the text as UTF-8.
TEST_F(X11EditorTest, ClipboardTextComesFromItsOwner) {
  Instance a;
  const Window host = HostWindow();
  ASSERT_EQ(a.Dispatch(vst::effEditOpen, 0, Handle(host)), 1);
  std::string text;
  EXPECT_FALSE(a.window().ClipboardText(text));  // nobody owns it yet
  EXPECT_EQ(text, "");

  // The owner runs on a thread with a connection of its own, as another program would.
  Display* owner_display = XOpenDisplay(nullptr);
  ASSERT_NE(owner_display, nullptr);
  const Window owner =
      XCreateSimpleWindow(owner_display, DefaultRootWindow(owner_display), 0, 0, 1, 1, 0, 0, 0);
  const Atom clipboard = XInternAtom(owner_display, "CLIPBOARD", False);
  const Atom utf8 = XInternAtom(owner_display, "UTF8_STRING", False);
  XSetSelectionOwner(owner_display, clipboard, owner, CurrentTime);
  XSync(owner_display, False);
  std::thread serve([&] {
    XEvent event;
    do {
      XNextEvent(owner_display, &event);
    } while (event.type != SelectionRequest);
    const XSelectionRequestEvent& request = event.xselectionrequest;
    const std::string offered = "Pad \xc3\xa9t\xc3\xa9";
    XEvent reply{};
    reply.xselection.type = SelectionNotify;
    reply.xselection.requestor = request.requestor;
    reply.xselection.selection = request.selection;
    reply.xselection.target = request.target;
    reply.xselection.time = request.time;
    reply.xselection.property = None;
    if (request.target == utf8) {
      XChangeProperty(owner_display, request.requestor, request.property, utf8, 8, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(offered.data()),
                      static_cast<int>(offered.size()));
      reply.xselection.property = request.property;
    }
    XSendEvent(owner_display, request.requestor, False, 0, &reply);
    XSync(owner_display, False);
  });
  const bool found = a.window().ClipboardText(text);
  serve.join();
  XCloseDisplay(owner_display);
  EXPECT_TRUE(found);
  EXPECT_EQ(text, "Pad \xc3\xa9t\xc3\xa9");
}

// vsthost's editor command: a window of its own, a scripted drag, the window saved.
TEST_F(X11EditorTest, VsthostEditorCommandDragsAKnobAndSavesTheWindow) {
  const std::filesystem::path shot = testing::TestRoot() / "editor.png";
  const std::filesystem::path report = testing::TestRoot() / "report.txt";
  const std::string command = std::string("\"") + VSTHOST_BINARY + "\" editor \"" + VANTOR_PLUGIN +
                              "\" --drag 890,58,890,20 --idle 100 -o \"" + shot.string() +
                              "\" > \"" + report.string() + "\"";
  ASSERT_EQ(std::system(command.c_str()), 0);
  const std::unique_ptr<RasterMemBitmap> picture = LoadPngFile(shot.c_str());
  ASSERT_NE(picture, nullptr);
  EXPECT_EQ(picture->Width(), 924);
  EXPECT_EQ(picture->Height(), 456);
  std::ifstream in(report);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("Editor: 924 x 456, 1 actions,"), std::string::npos) << text;
  EXPECT_EQ(text.find(" 0 parameter changes"), std::string::npos) << text;
}

// The one-line editor behind the text entry and the prompts.
TEST(LineEdit, TypingReplacesTheSelectionAndTheFilterAndLimitHold) {
  x11::LineEdit edit;
  edit.Start("0.50", 6);
  EXPECT_EQ(edit.Key(XK_minus, "-"), x11::LineEdit::Result::Changed);
  EXPECT_EQ(edit.text, "-");
  edit.accept = [](char c) { return (c >= '0' && c <= '9') || c == '-' || c == '+'; };
  EXPECT_EQ(edit.Key(XK_a, "a"), x11::LineEdit::Result::Nothing);
  EXPECT_EQ(edit.Key(XK_period, "."), x11::LineEdit::Result::Nothing);  // an integer value
  edit.Key(0, "123456789");
  EXPECT_EQ(edit.text, "-12345");  // six characters at most
  edit.Key(XK_Left, "");
  edit.Key(XK_BackSpace, "");
  EXPECT_EQ(edit.text, "-1235");
  edit.Key(XK_Home, "");
  edit.Key(XK_Delete, "");
  EXPECT_EQ(edit.text, "1235");
  EXPECT_EQ(edit.Key(XK_Return, ""), x11::LineEdit::Result::Commit);
  EXPECT_EQ(edit.Key(XK_Escape, ""), x11::LineEdit::Result::Cancel);

  edit.accept = nullptr;
  edit.Start("Ab", 0);
  edit.Key(XK_End, "");
  edit.Key(0, "\xc3\xa9\t");  // é typed; a tab types nothing
  EXPECT_EQ(edit.text, "Ab\xc3\xa9");
  edit.Key(XK_BackSpace, "");  // one character, both its bytes
  EXPECT_EQ(edit.text, "Ab");
}

}  // namespace
}  // namespace vantor
