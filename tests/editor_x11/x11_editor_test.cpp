// The editor in a real X11 window under Xvfb: windows of two instances, real mouse and key
// events (xdotool), the drawn menus and dialogs, the text entry, and what the window shows.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
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
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include "platform/posix/x11_ui.h"

namespace vantor {
namespace {

// What the host was told, in order: begin, automate and end of edits.
struct Heard {
  vst::int32 opcode;
  vst::int32 index;
  bool operator==(const Heard&) const = default;
};
std::vector<Heard> g_heard;  // the editor runs on the test's thread
// How the host answers audioMasterSizeWindow(width, height); unset, it refuses.
std::function<bool(int, int)> g_size_window;

vst::intptr VST_CALL RecordingHost(vst::AEffect*, vst::int32 opcode, vst::int32 index,
                                   vst::intptr value, void*, float) {
  if (opcode == vst::audioMasterVersion) return 2400;
  if (opcode == vst::audioMasterSizeWindow)
    return g_size_window && g_size_window(index, static_cast<int>(value)) ? 1 : 0;
  if (opcode == vst::audioMasterAutomate || opcode == vst::audioMasterBeginEdit ||
      opcode == vst::audioMasterEndEdit)
    g_heard.push_back({opcode, index});
  return 0;
}

void PrintTo(const Heard& heard, std::ostream* out) {
  const char* what = heard.opcode == vst::audioMasterBeginEdit ? "begin"
                     : heard.opcode == vst::audioMasterEndEdit ? "end"
                                                               : "automate";
  *out << what << " " << heard.index;
}

size_t CountHeard(vst::int32 opcode, vst::int32 index) {
  return static_cast<size_t>(std::count(g_heard.begin(), g_heard.end(), Heard{opcode, index}));
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

// Long enough for the busiest machine; every wait ends as soon as what it waits for is seen.
constexpr auto kPatience = std::chrono::seconds(60);

void Xdotool(const std::string& arguments) {
  ASSERT_EQ(std::system(("xdotool " + arguments).c_str()), 0) << arguments;
}

// What a command printed.
std::string Output(const std::string& command) {
  std::string out;
  if (FILE* pipe = popen(command.c_str(), "r")) {
    char buffer[256];
    while (fgets(buffer, sizeof buffer, pipe))
      out += buffer;
    pclose(pipe);
  }
  return out;
}

// The identifier of a shown window of exactly that name (the editor's menus and dialogs are
// named), or empty.
std::string ShownWindow(const std::string& name) {
  std::string found = Output("xdotool search --onlyvisible --name '^" + name + "$' 2>/dev/null");
  while (!found.empty() && found.back() == '\n')
    found.pop_back();
  const size_t last_line = found.find_last_of('\n');
  return last_line == std::string::npos ? found : found.substr(last_line + 1);
}

// The person at the mouse and keyboard while a menu or a dialog holds the host's thread: a
// script on a thread of its own, each step waiting until the screen shows what it acts on.
class User {
 public:
  explicit User(std::function<void(User&)> script)
      : thread_([this, script = std::move(script)] {
          try {
            script(*this);
          } catch (const Stop&) {
            // Whatever is still open must not hold the editor's thread for ever.
            std::system("xdotool mouseup 1 key Escape >/dev/null 2>&1");
          }
          done_ = true;
        }) {}
  ~User() { thread_.join(); }
  bool done() const { return done_; }

  // Waits until a window of that name is shown; returns its identifier.
  std::string Await(const std::string& name) {
    const auto give_up = std::chrono::steady_clock::now() + kPatience;
    for (;;) {
      const std::string window = ShownWindow(name);
      if (!window.empty()) return window;
      if (std::chrono::steady_clock::now() > give_up) {
        ADD_FAILURE() << "no window \"" << name << "\" was shown";
        throw Stop{};
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  void AwaitGone(const std::string& name) {
    const auto give_up = std::chrono::steady_clock::now() + kPatience;
    while (!ShownWindow(name).empty()) {
      if (std::chrono::steady_clock::now() > give_up) {
        ADD_FAILURE() << "the window \"" << name << "\" stayed";
        throw Stop{};
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  // One xdotool run: its commands reach the server in order.
  void Do(const std::string& arguments) {
    if (std::system(("xdotool " + arguments).c_str()) != 0) {
      ADD_FAILURE() << "xdotool " << arguments;
      throw Stop{};
    }
  }
  // The same for input that closes the window it is sent to: the key's release, sent after the
  // press, may find the window gone, which xdotool reports as a failure.
  void Answer(const std::string& arguments) {
    std::system(("xdotool " + arguments + " 2>/dev/null").c_str());
  }

 private:
  struct Stop {};
  std::atomic<bool> done_{false};
  std::thread thread_;  // last: it starts when everything above exists
};

// Releases the press that opened a menu, moves onto the menu's item at `item_y` (20 pixels
// each, from 2), which opens its submenu, and clicks the submenu's item at `sub_y`.
std::function<void(User&)> ChooseFromSubmenu(int item_y, int sub_y) {
  return [item_y, sub_y](User& u) {
    const std::string menu = u.Await(x11::kMenuWindowName);
    u.Do("mouseup 1 mousemove --window " + menu + " 40 " + std::to_string(item_y));
    const std::string submenu = u.Await(x11::kSubmenuWindowName);
    u.Do("mousemove --window " + submenu + " 40 " + std::to_string(sub_y) + " click 1");
    u.AwaitGone(x11::kMenuWindowName);
  };
}

class X11EditorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    testing::FreshConfigHome();
    g_heard.clear();
    display_ = XOpenDisplay(nullptr);
    ASSERT_NE(display_, nullptr) << "the test runs under Xvfb (with_xvfb.sh)";
    // xdotool presses and releases a key in separate requests; on a busy machine the server's
    // key repeat could fire between them and type the key again, into whatever window comes
    // next. The server is the test's own (with_xvfb.sh), so repeat is simply off.
    XAutoRepeatOff(display_);
    XSync(display_, False);
  }
  void TearDown() override {
    g_size_window = nullptr;
    if (display_) {
      SetResources(nullptr);
      XCloseDisplay(display_);
    }
  }

  // The X resources of the server (what xrdb would load), or none.
  void SetResources(const char* resources) {
    const Window root = DefaultRootWindow(display_);
    if (resources) {
      XChangeProperty(display_, root, XA_RESOURCE_MANAGER, XA_STRING, 8, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(resources),
                      static_cast<int>(strlen(resources)));
    } else {
      XDeleteProperty(display_, root, XA_RESOURCE_MANAGER);
    }
    XSync(display_, False);
  }

  // A host's top-level window at (x, y) of the screen, mapped, which hears its key events.
  Window HostWindow(int x = 0, int y = 0, int width = Graphics::kDefaultWidth,
                    int height = Graphics::kDefaultHeight) {
    const int screen = DefaultScreen(display_);
    Window w = XCreateSimpleWindow(display_, RootWindow(display_, screen), x, y,
                                   static_cast<unsigned>(width), static_cast<unsigned>(height), 0,
                                   0, BlackPixel(display_, screen));
    XSelectInput(display_, w, StructureNotifyMask | KeyPressMask);
    XMapWindow(display_, w);
    XEvent event;
    do {
      XNextEvent(display_, &event);
    } while (event.type != MapNotify || event.xmap.window != w);
    return w;
  }

  void* Handle(Window w) { return reinterpret_cast<void*>(static_cast<uintptr_t>(w)); }

  // The host's user-interface loop: effEditIdle again and again until `done` holds (true) or
  // the patience runs out (false).
  static bool IdleUntil(std::initializer_list<Instance*> instances,
                        const std::function<bool()>& done) {
    const auto give_up = std::chrono::steady_clock::now() + kPatience;
    for (;;) {
      for (Instance* i : instances)
        i->Dispatch(vst::effEditIdle);
      if (done()) return true;
      if (std::chrono::steady_clock::now() > give_up) return false;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }

  bool WindowExists(Window w) {
    x11::ErrorTrap trap(display_);
    XWindowAttributes attributes;
    const bool found = XGetWindowAttributes(display_, w, &attributes) != 0;
    return trap.Sync() && found;
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

  // Pixels of `shown` that differ from `drawn`; all of them when the sizes differ.
  static size_t Differing(const std::vector<uint32_t>& shown, const RasterBitmap& drawn) {
    const size_t all = static_cast<size_t>(drawn.Width()) * static_cast<size_t>(drawn.Height());
    if (shown.size() != all) return all;
    size_t differing = 0;
    for (int y = 0; y < drawn.Height(); ++y) {
      for (int x = 0; x < drawn.Width(); ++x) {
        if (shown[static_cast<size_t>(y) * static_cast<size_t>(drawn.Width()) +
                  static_cast<size_t>(x)] != (drawn.At(x, y) & 0xFFFFFF))
          ++differing;
      }
    }
    return differing;
  }

  // Idles until the host window shows what the instance's editor drew, the panel included.
  bool AwaitShown(Instance& a, Window host) {
    return IdleUntil({&a}, [&] {
      const RasterBitmap* drawn = a.window().drawing_bitmap();
      const int zoom = a.window().zoom();
      return drawn && (drawn->At(UnitsToPixels(462, zoom), UnitsToPixels(4, zoom)) & 0xFFFFFF) &&
             Differing(Capture(host, drawn->Width(), drawn->Height()), *drawn) == 0;
    });
  }

  std::pair<int, int> Size(Window w) {
    XWindowAttributes attributes{};
    XGetWindowAttributes(display_, w, &attributes);
    return {attributes.width, attributes.height};
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
    EXPECT_TRUE(AwaitShown(a, host_a));
    EXPECT_TRUE(AwaitShown(b, host_b));

    a.Dispatch(vst::effEditClose);
    EXPECT_EQ(GraphicsX11::OpenWindowCount(), 1);
    EXPECT_FALSE(WindowExists(window_a));
    for (int i = 0; i < 3; ++i)  // idle calls for a closed editor do nothing
      a.Dispatch(vst::effEditIdle);
    EXPECT_TRUE(AwaitShown(b, host_b));
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
  ASSERT_TRUE(AwaitShown(a, host));
  XDestroyWindow(display_, host);
  XSync(display_, False);
  // The editor learns that its window went with the host's.
  EXPECT_TRUE(IdleUntil({&a}, [&] { return !a.window().IsWindowOpen(); }));
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

  // The same instrument in the same state, drawn without a window.
  Instance reference;
  auto headless = std::make_unique<GraphicsHeadless>(&reference.vantor);
  GraphicsHeadless* ui = headless.get();
  reference.vantor.ReplaceGraphics(std::move(headless));
  ui->OpenEditorWindow(nullptr);
  reference.Dispatch(vst::effEditIdle);
  ui->RedrawAll();
  size_t differing = 0;
  EXPECT_TRUE(IdleUntil({&a},
                        [&] {
                          differing = Differing(Capture(host, 924, 456), *ui->drawing_bitmap());
                          return differing == 0;
                        }))
      << differing << " pixels differ";
}

// The centre of a drawn menu's item (from 0), `separators` of the items above it separators, at
// a zoom: items are 20 pixels high at 100%, separators 7, below a margin of 2.
int MenuItemCentre(int zoom, int index, int separators) {
  auto px = [zoom](int length) { return UnitsToPixels(length, zoom); };
  return px(2) + (index - separators) * px(20) + separators * px(7) + px(20) / 2;
}

// The zoom follows the density the desktop gives in the X resources (Xft.dpi, 96 for 100%,
// nearest), the window takes its size, and a drag over the same place of the panel moves the
// knob's parameter by the same amount at every zoom, as one gesture the host hears. At 150%
// the options menu's Zoom then asks the host for 200%, and both windows follow.
TEST_F(X11EditorTest, XftDpiSetsTheZoomTheWindowTakesItAndADragActsAlike) {
  struct Case {
    const char* resources;
    int zoom;
  };
  const Case cases[] = {{nullptr, 100},
                        {"Xft.dpi:\t192\n", 200},
                        {"Xft.dpi:\t110\n", 100},
                        {"Xft.antialias:\t1\nXft.dpi:\t144.0\nXft.rgba:\trgb\n", 150}};
  double moved = -1.0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.resources ? c.resources : "no resources");
    SetResources(c.resources);
    auto px = [&c](int units) { return UnitsToPixels(units, c.zoom); };
    g_heard.clear();
    Instance a;
    vst::ERect* rect = nullptr;
    ASSERT_EQ(a.Dispatch(vst::effEditGetRect, 0, &rect), 1);
    ASSERT_EQ(rect->right - rect->left, px(924));
    ASSERT_EQ(rect->bottom - rect->top, px(456));
    const Window host = HostWindow(0, 0, px(924), px(456));
    ASSERT_EQ(a.Dispatch(vst::effEditOpen, 0, Handle(host)), 1);
    const auto editor = static_cast<Window>(reinterpret_cast<uintptr_t>(a.window().NativeWindow()));
    EXPECT_EQ(Size(editor), std::make_pair(px(924), px(456)));
    ASSERT_TRUE(AwaitShown(a, host));
    const double before = a.vantor.Param(kMainVolume)->value();
    // The main volume knob; the host window lies at the screen's origin.
    auto at = [&](int x, int y) { return std::to_string(px(x)) + " " + std::to_string(px(y)); };
    Xdotool("mousemove " + at(890, 58) + " mousedown 1 mousemove " + at(890, 45) + " mousemove " +
            at(890, 30) + " mouseup 1");
    ASSERT_TRUE(IdleUntil({&a}, [] { return CountHeard(vst::audioMasterEndEdit, kMainVolume); }));
    const double change = a.vantor.Param(kMainVolume)->value() - before;
    EXPECT_GT(change, 0.0);
    if (moved < 0.0) moved = change;
    EXPECT_NEAR(change, moved, 1e-9);
    // One gesture: begin first, end last, automation of the knob's parameter between.
    ASSERT_GE(g_heard.size(), 3u);
    EXPECT_EQ(g_heard.front(), (Heard{vst::audioMasterBeginEdit, kMainVolume}));
    EXPECT_EQ(g_heard.back(), (Heard{vst::audioMasterEndEdit, kMainVolume}));
    for (size_t i = 1; i + 1 < g_heard.size(); ++i)
      EXPECT_EQ(g_heard[i], (Heard{vst::audioMasterAutomate, kMainVolume}));

    // The wheel steps it back down.
    const double dragged = a.vantor.Param(kMainVolume)->value();
    Xdotool("mousemove " + at(890, 58) + " click 5");
    EXPECT_TRUE(IdleUntil({&a}, [&] { return a.vantor.Param(kMainVolume)->value() < dragged; }));

    if (c.zoom != 150) continue;
    // "Zoom" is item 20 of the options menu, below four separators; "200%" the third of its
    // submenu. The host resizes its window when asked.
    g_size_window = [&](int width, int height) {
      XResizeWindow(display_, host, static_cast<unsigned>(width), static_cast<unsigned>(height));
      XSync(display_, False);
      return true;
    };
    {
      User user(ChooseFromSubmenu(MenuItemCentre(150, 20, 4), MenuItemCentre(150, 2, 0)));
      Xdotool("mousemove " + at(65, 430) + " mousedown 1");
      ASSERT_TRUE(IdleUntil({&a}, [&] { return user.done(); }));
    }
    g_size_window = nullptr;
    EXPECT_EQ(a.vantor.editor_zoom(), 200);
    EXPECT_EQ(Size(host), std::make_pair(1848, 912));
    EXPECT_EQ(Size(editor), std::make_pair(1848, 912));
    EXPECT_TRUE(AwaitShown(a, host));
    Xdotool("mousemove 15 300");
  }
  // The zoom chosen is remembered: the next editor opens at it whatever the density.
  SetResources("Xft.dpi:\t96\n");
  Instance b;
  vst::ERect* rect = nullptr;
  ASSERT_EQ(b.Dispatch(vst::effEditGetRect, 0, &rect), 1);
  EXPECT_EQ(rect->right - rect->left, 1848);
}

TEST_F(X11EditorTest, KeysNoControlTakesGoOnToTheHost) {
  Instance a;
  const Window host = HostWindow();
  ASSERT_EQ(a.Dispatch(vst::effEditOpen, 0, Handle(host)), 1);
  ASSERT_TRUE(AwaitShown(a, host));
  // The click gives the editor the focus, and the keys follow once it has it.
  Xdotool("mousemove 15 300 click 1");
  const auto editor = static_cast<Window>(reinterpret_cast<uintptr_t>(a.window().NativeWindow()));
  ASSERT_TRUE(IdleUntil({&a}, [&] {
    Window focus = 0;
    int revert = 0;
    XGetInputFocus(display_, &focus, &revert);
    return focus == editor;
  }));
  Xdotool("key Tab key space");
  std::vector<KeySym> heard;
  EXPECT_TRUE(IdleUntil({&a}, [&] {
    XEvent event;
    while (XCheckTypedWindowEvent(display_, host, KeyPress, &event))
      heard.push_back(XLookupKeysym(&event.xkey, 0));
    return heard.size() >= 2;
  }));
  EXPECT_EQ(heard, (std::vector<KeySym>{XK_Tab, XK_space}));
}

// Where the host window stands: at the top of the screen a menu opens below the click; near
// the bottom it is pushed up over the pointer.
constexpr int kHostTops[] = {0, 560};

TEST_F(X11EditorTest, AMenuChoosesOnlyWhatThePointerWasMovedToOrClicked) {
  for (const int top : kHostTops) {
    SCOPED_TRACE("host window at y " + std::to_string(top));
    Instance a;
    const Window host = HostWindow(0, top);
    ASSERT_EQ(a.Dispatch(vst::effEditOpen, 0, Handle(host)), 1);
    ASSERT_TRUE(AwaitShown(a, host));
    // Presses more than a few pixels apart, so that no two make a double click.
    auto options = [top](int x) {
      return "mousemove " + std::to_string(x) + " " + std::to_string(top + 430);
    };

    // The release of the press that opened the options menu chooses nothing, wherever it
    // lands ("Switch View" lies under it when the menu is pushed up); Escape closes the menu.
    {
      User user([](User& u) {
        u.Await(x11::kMenuWindowName);
        u.Do("mouseup 1 key Escape");
        u.AwaitGone(x11::kMenuWindowName);
      });
      Xdotool(options(58) + " mousedown 1");
      ASSERT_TRUE(IdleUntil({&a}, [&] { return user.done(); }));
    }
    EXPECT_FALSE(a.vantor.alternative_view());
    EXPECT_TRUE(a.vantor.copy_buffer().Empty());

    // Moved onto "Copy Program" with the button held, the release there chooses it.
    {
      User user([](User& u) {
        const std::string menu = u.Await(x11::kMenuWindowName);
        u.Do("mousemove --window " + menu + " 40 12 mouseup 1");
        u.AwaitGone(x11::kMenuWindowName);
      });
      Xdotool(options(70) + " mousedown 1");
      ASSERT_TRUE(IdleUntil({&a}, [&] { return user.done(); }));
    }
    EXPECT_FALSE(a.vantor.copy_buffer().Empty());
    EXPECT_FALSE(a.vantor.alternative_view());
    Xdotool("mousemove 15 300");  // away from the next host window's controls
  }
}

TEST_F(X11EditorTest, ProgramMenuOpensASubmenuAndItsItemIsChosen) {
  Instance a;
  const Window host = HostWindow();
  ASSERT_EQ(a.Dispatch(vst::effEditOpen, 0, Handle(host)), 1);
  ASSERT_TRUE(AwaitShown(a, host));
  // The menu opens below the program number: its second item, "16 - 31", opens a submenu
  // beside it, whose fourth item is program 19.
  {
    User user(ChooseFromSubmenu(32, 72));
    Xdotool("mousemove 110 430 mousedown 1");
    ASSERT_TRUE(IdleUntil({&a}, [&] { return user.done(); }));
  }
  EXPECT_EQ(a.vantor.current_program(), 19);

  // A click beside the menu closes it without a choice.
  {
    User user([](User& u) {
      u.Await(x11::kMenuWindowName);
      u.Do("mouseup 1 mousemove 700 150 click 1");
      u.AwaitGone(x11::kMenuWindowName);
    });
    Xdotool("mousemove 120 430 mousedown 1");
    ASSERT_TRUE(IdleUntil({&a}, [&] { return user.done(); }));
  }
  EXPECT_EQ(a.vantor.current_program(), 19);
}

// The split menu opens on the press that begins the host's edit gesture and swallows the
// release: the gesture ends when the menu closes.
TEST_F(X11EditorTest, TheSplitMenuEndsItsGestureWhenItCloses) {
  for (const int top : kHostTops) {
    SCOPED_TRACE("host window at y " + std::to_string(top));
    Instance a;
    a.vantor.effect()->setParameter(a.vantor.effect(), kKeySplitPoint, 1.0f);
    const Window host = HostWindow(0, top);
    ASSERT_EQ(a.Dispatch(vst::effEditOpen, 0, Handle(host)), 1);
    ASSERT_TRUE(AwaitShown(a, host));
    auto split = [top](int x) {
      return "mousemove " + std::to_string(x) + " " + std::to_string(top + 430) + " mousedown 1";
    };

    g_heard.clear();
    {
      User user([](User& u) {
        u.Await(x11::kMenuWindowName);
        u.Do("mouseup 1 key Escape");
        u.AwaitGone(x11::kMenuWindowName);
      });
      Xdotool(split(430));
      ASSERT_TRUE(IdleUntil({&a}, [&] { return user.done(); }));
    }
    EXPECT_EQ(g_heard, (std::vector<Heard>{{vst::audioMasterBeginEdit, kKeySplitPoint},
                                           {vst::audioMasterEndEdit, kKeySplitPoint}}));

    // The first note of the first octave: the value changes inside the gesture.
    g_heard.clear();
    {
      User user(ChooseFromSubmenu(12, 12));
      Xdotool(split(450));
      ASSERT_TRUE(IdleUntil({&a}, [&] { return user.done(); }));
    }
    EXPECT_EQ(a.vantor.Param(kKeySplitPoint)->value(), 0.0);
    ASSERT_EQ(g_heard.size(), 3u);
    EXPECT_EQ(g_heard[0], (Heard{vst::audioMasterBeginEdit, kKeySplitPoint}));
    EXPECT_EQ(g_heard[1], (Heard{vst::audioMasterAutomate, kKeySplitPoint}));
    EXPECT_EQ(g_heard[2], (Heard{vst::audioMasterEndEdit, kKeySplitPoint}));
    Xdotool("mousemove 15 300");
  }
}

TEST_F(X11EditorTest, ProgramNameEntryIsCommittedWithEnterAndCancelledWithEscape) {
  Instance a;
  const Window host = HostWindow();
  ASSERT_EQ(a.Dispatch(vst::effEditOpen, 0, Handle(host)), 1);
  ASSERT_TRUE(AwaitShown(a, host));
  const std::string original = a.vantor.GetProgramName(a.vantor.current_program());
  auto name = [&] { return std::string(a.vantor.GetProgramName(a.vantor.current_program())); };
  auto entry_open = [&] { return a.window().text_entry_window() != 0; };
  auto entry_closed = [&] { return a.window().text_entry_window() == 0; };
  // Each click on the name lands elsewhere on it, so that no two make a double click.

  Xdotool("mousemove 200 430 click 1");
  ASSERT_TRUE(IdleUntil({&a}, entry_open));
  Xdotool("type 'Lush Pad'");
  Xdotool("key Return");
  ASSERT_TRUE(IdleUntil({&a}, entry_closed));
  EXPECT_EQ(name(), "Lush Pad");

  Xdotool("mousemove 240 430 click 1");
  ASSERT_TRUE(IdleUntil({&a}, entry_open));
  Xdotool("type Gone");
  Xdotool("key Escape");
  ASSERT_TRUE(IdleUntil({&a}, entry_closed));
  EXPECT_EQ(name(), "Lush Pad");

  // A click elsewhere in the editor takes the text; the wheel drops it.
  Xdotool("mousemove 280 430 click 1");
  ASSERT_TRUE(IdleUntil({&a}, entry_open));
  Xdotool("key BackSpace");
  Xdotool("type Kept");
  Xdotool("mousemove 15 300 click 1");
  ASSERT_TRUE(IdleUntil({&a}, entry_closed));
  EXPECT_EQ(name(), "Kept");
  Xdotool("mousemove 220 430 click 1");
  ASSERT_TRUE(IdleUntil({&a}, entry_open));
  Xdotool("type Dropped");
  Xdotool("mousemove 15 300 click 4");
  ASSERT_TRUE(IdleUntil({&a}, entry_closed));
  EXPECT_EQ(name(), "Kept");
  EXPECT_NE(original, "Kept");
}

TEST_F(X11EditorTest, MessageBoxIsAnsweredByKeyAndByItsButtons) {
  Instance a;
  const Window host = HostWindow();
  ASSERT_EQ(a.Dispatch(vst::effEditOpen, 0, Handle(host)), 1);
  ASSERT_TRUE(AwaitShown(a, host));
  Graphics& g = a.vantor.graphics();
  // Each box answered by `verb` aimed at its window, then `rest`. The buttons sit at the bottom
  // right: Yes, then No at (160 .. 244, 46 .. 72); with an icon the text, and so the button, sit
  // lower: OK at (160 .. 244, 60 .. 86).
  struct Answer {
    const char* caption;
    MessageBoxType type;
    const char* verb;
    const char* rest;
    MessageBoxButton expected;
  };
  const Answer answers[] = {
      {"Question", MessageBoxType::YesNo, "key", "Return", MessageBoxButton::Yes},
      {"Question", MessageBoxType::YesNo, "key", "Escape", MessageBoxButton::No},
      {"Question", MessageBoxType::YesNo, "mousemove", "200 59 click 1", MessageBoxButton::No},
      {"Notice", MessageBoxType::InformationOk, "mousemove", "200 73 click 1",
       MessageBoxButton::Ok},
  };
  for (const Answer& answer : answers) {
    User user([&answer](User& u) {
      u.Answer(std::string(answer.verb) + " --window " + u.Await(answer.caption) + " " +
               answer.rest);
      u.AwaitGone(answer.caption);
    });
    EXPECT_EQ(g.ShowMessageBox("Overwrite?", answer.caption, answer.type), answer.expected)
        << answer.verb << " " << answer.rest;
  }
}

TEST_F(X11EditorTest, FilePromptDrawnHereTakesATypedPath) {
  Instance a;
  const Window host = HostWindow();
  ASSERT_EQ(a.Dispatch(vst::effEditOpen, 0, Handle(host)), 1);
  ASSERT_TRUE(AwaitShown(a, host));
  a.window().set_prompt_programs({});  // no helper program: the prompt drawn here
  const std::string presets = (testing::TestRoot() / "presets").string();
  std::string file = "bank.fxb";
  std::string folder = presets;
  // The prompt is 460 wide; OK sits at (268 .. 352, 84 .. 110), Cancel beside it at 360. The
  // keys and the click go in one run of xdotool, so they arrive in that order.
  {
    User user([](User& u) {
      const std::string prompt = u.Await("Save File");
      u.Do("key --window " + prompt + " End BackSpace BackSpace BackSpace BackSpace " +
           "mousemove --window " + prompt + " 310 97 click 1");
    });
    a.window().ChooseFile(file, FileAction::Save, folder, "fxb fxp");
  }
  EXPECT_EQ(file, presets + "/bank.fxb");  // the extension came back with the default
  EXPECT_EQ(folder, presets + "/");

  file = "gone.fxp";
  {
    User user([](User& u) {
      const std::string prompt = u.Await("Open File");
      u.Do("mousemove --window " + prompt + " 400 97 click 1");
    });
    a.window().ChooseFile(file, FileAction::Open, folder, "fxp");
  }
  EXPECT_EQ(file, "");
  EXPECT_EQ(folder, presets + "/");
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

// vsthost's editor command: a window of its own, a scripted drag, the window saved; with
// --zoom the host's scale factor sets the editor's size, the window's and the script's pixels.
// At 100% a click on the options key then chooses Zoom, 200%: vsthost's window takes the size
// the editor asks for, and the picture is of the 200% editor either way.
TEST_F(X11EditorTest, VsthostEditorCommandDragsAKnobAndSavesTheWindow) {
  std::string changed_at_100;  // the report's line of the changed parameter
  for (const int zoom : {100, 200}) {
    SCOPED_TRACE(std::to_string(zoom) + "%");
    auto px = [zoom](int units) { return std::to_string(UnitsToPixels(units, zoom)); };
    const std::filesystem::path shot = testing::TestRoot() / "editor.png";
    const std::filesystem::path report = testing::TestRoot() / "report.txt";
    const std::string command =
        std::string("\"") + VSTHOST_BINARY + "\" editor \"" + VANTOR_PLUGIN + "\" --drag " +
        px(890) + "," + px(58) + "," + px(890) + "," + px(20) +
        (zoom == 100 ? " --click 65,430" : " --zoom 2") + " --idle 0 -o \"" + shot.string() +
        "\" > \"" + report.string() + "\"";
    {
      // Were the resize refused, the editor would say so in a box that waits for its answer.
      std::atomic<bool> finished{false};
      std::unique_ptr<User> user;
      if (zoom == 100) {
        user = std::make_unique<User>([&finished](User& u) {
          ChooseFromSubmenu(MenuItemCentre(100, 20, 4), MenuItemCentre(100, 2, 0))(u);
          while (!finished) {
            if (const std::string box = ShownWindow("Zoom"); !box.empty()) {
              ADD_FAILURE() << "vsthost refused the editor's new size";
              // A key sent before the box is ready to hear it is lost: sent until it closes.
              const auto give_up = std::chrono::steady_clock::now() + kPatience;
              while (!ShownWindow("Zoom").empty() && std::chrono::steady_clock::now() < give_up)
                u.Answer("key --window " + box + " Return");
              return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
          }
        });
      }
      EXPECT_EQ(std::system(command.c_str()), 0);
      finished = true;
    }
    const std::unique_ptr<RasterMemBitmap> picture = LoadPngFile(shot.c_str());
    ASSERT_NE(picture, nullptr);
    EXPECT_EQ(picture->Width(), 1848);
    EXPECT_EQ(picture->Height(), 912);
    std::ifstream in(report);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(
        text.find("Editor: 1848 x 912, " + std::string(zoom == 100 ? "2" : "1") + " actions,"),
        std::string::npos)
        << text;
    EXPECT_EQ(text.find(" 0 parameter changes"), std::string::npos) << text;
    // The same drag over the panel changes the main volume alike at both zooms.
    const std::string changed = text.substr(0, text.find('\n'));
    EXPECT_EQ(changed.rfind("Parameter 0 ", 0), 0u) << text;
    if (changed_at_100.empty()) changed_at_100 = changed;
    EXPECT_EQ(changed, changed_at_100);
  }
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
