// vsthost's editor window on X11: a top-level window, synthetic input for the plug-in's window
// inside it, and its pixels.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>

#include <chrono>
#include <string>

#include "tools/vsthost/os.h"

namespace vsthost::os {
namespace {

// The editor has one size at a time: the window manager is told not to offer others.
void FixSize(Display* display, Window window, int width, int height) {
  XSizeHints* hints = XAllocSizeHints();
  if (!hints) return;
  hints->flags = PMinSize | PMaxSize;
  hints->min_width = hints->max_width = width;
  hints->min_height = hints->max_height = height;
  XSetWMNormalHints(display, window, hints);
  XFree(hints);
}

class X11HostWindow : public HostWindow {
 public:
  X11HostWindow(Display* display, Window window, Atom delete_message, int width, int height)
      : display_(display),
        window_(window),
        delete_message_(delete_message),
        width_(width),
        height_(height),
        start_(std::chrono::steady_clock::now()) {}
  ~X11HostWindow() override {
    XDestroyWindow(display_, window_);
    XCloseDisplay(display_);
  }

  void* Handle() const override { return reinterpret_cast<void*>(static_cast<uintptr_t>(window_)); }

  void Pump(int milliseconds) override {
    XSync(display_, False);
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    for (;;) {
      while (XPending(display_) > 0) {
        XEvent event;
        XNextEvent(display_, &event);
        if (event.type == ClientMessage && event.xclient.window == window_ &&
            static_cast<Atom>(event.xclient.data.l[0]) == delete_message_) {
          close_requested_ = true;
        }
      }
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                            until - std::chrono::steady_clock::now())
                            .count();
      if (left <= 0) return;
      pollfd fd{ConnectionNumber(display_), POLLIN, 0};
      poll(&fd, 1, static_cast<int>(left));
    }
  }

  void SetTitle(const std::string& title) override {
    XStoreName(display_, window_, title.c_str());
    // Window managers show the UTF-8 name where there is one.
    XChangeProperty(display_, window_, XInternAtom(display_, "_NET_WM_NAME", False),
                    XInternAtom(display_, "UTF8_STRING", False), 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(title.data()),
                    static_cast<int>(title.size()));
    XFlush(display_);
  }

  bool CloseRequested() const override { return close_requested_; }

  bool Resize(int width, int height) override {
    FixSize(display_, window_, width, height);
    XResizeWindow(display_, window_, static_cast<unsigned>(width), static_cast<unsigned>(height));
    XSync(display_, False);
    width_ = width;
    height_ = height;
    return true;
  }

  void Deliver() override { XSync(display_, False); }

  void Repaint() override {
    ExposeAll(window_);
    XSync(display_, False);
  }

  bool Press(int x, int y, int button) override { return SendButton(ButtonPress, x, y, button); }
  bool Release(int x, int y, int button) override {
    return SendButton(ButtonRelease, x, y, button);
  }

  bool Move(int x, int y, int buttons_held) override {
    XEvent event{};
    Window target = Target(x, y, &event.xmotion.x, &event.xmotion.y);
    if (!target) return false;
    event.xmotion.type = MotionNotify;
    event.xmotion.window = target;
    Fill(event.xmotion, x, y);
    event.xmotion.state = HeldState(buttons_held);
    state_ = event.xmotion.state;
    return Send(target, event);
  }

  bool Key(const std::string& name, std::string& error) override {
    const KeySym symbol = XStringToKeysym(name.c_str());
    const KeyCode code = symbol == NoSymbol ? 0 : XKeysymToKeycode(display_, symbol);
    if (!code) {
      error = "no key named \"" + name + "\"";
      return false;
    }
    // Keys go to the plug-in's window, which takes the focus when it is clicked.
    Window root = 0, parent = 0, *children = nullptr;
    unsigned count = 0;
    Window target = window_;
    if (XQueryTree(display_, window_, &root, &parent, &children, &count) && count > 0)
      target = children[count - 1];
    if (children) XFree(children);
    KeySym lower = 0, upper = 0;
    XConvertCase(symbol, &lower, &upper);
    const unsigned shift = symbol != lower ? ShiftMask : 0;
    for (int type : {KeyPress, KeyRelease}) {
      XEvent event{};
      event.xkey.type = type;
      event.xkey.display = display_;
      event.xkey.window = target;
      event.xkey.root = DefaultRootWindow(display_);
      event.xkey.time = Now();
      event.xkey.x = last_x_;
      event.xkey.y = last_y_;
      event.xkey.state = state_ | shift;
      event.xkey.keycode = code;
      event.xkey.same_screen = True;
      if (!Send(target, event)) return false;
    }
    return true;
  }

  bool Capture(std::vector<uint8_t>& rgb, int& width, int& height, std::string& error) override {
    XSync(display_, False);
    // The server keeps no pixels of a window beyond the screen's edges, and reading them is an
    // error that ends the program: a 200% editor needs a screen of at least 1848 x 912.
    XWindowAttributes screen{};
    Window child = 0;
    int x = 0, y = 0;
    const Window root = DefaultRootWindow(display_);
    if (!XGetWindowAttributes(display_, root, &screen) ||
        !XTranslateCoordinates(display_, window_, root, 0, 0, &x, &y, &child) || x < 0 || y < 0 ||
        x + width_ > screen.width || y + height_ > screen.height) {
      error = "the window (" + std::to_string(width_) + " x " + std::to_string(height_) + " at " +
              std::to_string(x) + "," + std::to_string(y) +
              ") does not lie wholly on the screen (" + std::to_string(screen.width) + " x " +
              std::to_string(screen.height) +
              "), so its pixels cannot be read; give the X server a larger screen, e.g. "
              "xvfb-run -a -s \"-screen 0 1920x1080x24\"";
      return false;
    }
    XImage* image = XGetImage(display_, window_, 0, 0, static_cast<unsigned>(width_),
                              static_cast<unsigned>(height_), AllPlanes, ZPixmap);
    if (!image) {
      error = "the window's pixels could not be read";
      return false;
    }
    width = width_;
    height = height_;
    rgb.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 3);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        const unsigned long pixel = XGetPixel(image, x, y);
        uint8_t* out =
            &rgb[(static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(x)) *
                 3];
        out[0] = static_cast<uint8_t>((pixel & image->red_mask) >> Shift(image->red_mask));
        out[1] = static_cast<uint8_t>((pixel & image->green_mask) >> Shift(image->green_mask));
        out[2] = static_cast<uint8_t>((pixel & image->blue_mask) >> Shift(image->blue_mask));
      }
    }
    XDestroyImage(image);
    return true;
  }

 private:
  static int Shift(unsigned long mask) {
    int shift = 0;
    while (mask && !(mask & 1)) {
      mask >>= 1;
      ++shift;
    }
    return shift;
  }

  // Server times are milliseconds; double clicks are told apart by them.
  Time Now() const {
    return static_cast<Time>(1000 + std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now() - start_)
                                        .count());
  }

  static unsigned HeldState(int buttons_held) {
    unsigned state = 0;
    if (buttons_held & 1) state |= Button1Mask;
    if (buttons_held & 2) state |= Button2Mask;
    if (buttons_held & 4) state |= Button3Mask;
    return state;
  }

  // Exposes every window inside `parent` (their owners redraw them), deepest last.
  void ExposeAll(Window parent) {
    Window root = 0, up = 0, *children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display_, parent, &root, &up, &children, &count)) return;
    for (unsigned i = 0; i < count; ++i) {
      XClearArea(display_, children[i], 0, 0, 0, 0, True);
      ExposeAll(children[i]);
    }
    if (children) XFree(children);
  }

  // The deepest window under (x, y), with the point in its coordinates.
  Window Target(int x, int y, int* local_x, int* local_y) {
    last_x_ = x;
    last_y_ = y;
    Window current = window_;
    int cx = x, cy = y;
    for (int depth = 0; depth < 16; ++depth) {
      Window child = 0;
      int nx = 0, ny = 0;
      if (!XTranslateCoordinates(display_, current, current, cx, cy, &nx, &ny, &child) || !child)
        break;
      int tx = 0, ty = 0;
      Window unused = 0;
      XTranslateCoordinates(display_, current, child, cx, cy, &tx, &ty, &unused);
      current = child;
      cx = tx;
      cy = ty;
    }
    *local_x = cx;
    *local_y = cy;
    return current;
  }

  template <typename Event>
  void Fill(Event& e, int x, int y) {
    e.display = display_;
    e.root = DefaultRootWindow(display_);
    e.time = Now();
    e.same_screen = True;
    int root_x = 0, root_y = 0;
    Window unused = 0;
    XTranslateCoordinates(display_, window_, e.root, x, y, &root_x, &root_y, &unused);
    e.x_root = root_x;
    e.y_root = root_y;
  }

  bool SendButton(int type, int x, int y, int button) {
    XEvent event{};
    Window target = Target(x, y, &event.xbutton.x, &event.xbutton.y);
    if (!target) return false;
    event.xbutton.type = type;
    event.xbutton.window = target;
    Fill(event.xbutton, x, y);
    event.xbutton.button = static_cast<unsigned>(button);
    event.xbutton.state = state_;
    const unsigned mask = button == 1   ? Button1Mask
                          : button == 2 ? Button2Mask
                          : button == 3 ? Button3Mask
                                        : 0;
    if (type == ButtonPress) {
      state_ |= mask;
    } else {
      state_ &= ~mask;
    }
    return Send(target, event);
  }

  // An empty event mask sends to the client that created the window: the plug-in.
  bool Send(Window target, XEvent& event) {
    const bool sent = XSendEvent(display_, target, False, 0, &event) != 0;
    XFlush(display_);
    return sent;
  }

  Display* display_;
  Window window_;
  Atom delete_message_;
  bool close_requested_ = false;
  int width_;
  int height_;
  std::chrono::steady_clock::time_point start_;
  unsigned state_ = 0;
  int last_x_ = 0;
  int last_y_ = 0;
};

}  // namespace

std::unique_ptr<HostWindow> OpenHostWindow(int width, int height, const std::string& title,
                                           std::string& error) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) {
    error = "no X display to open a window on (is DISPLAY set?)";
    return nullptr;
  }
  const int screen = DefaultScreen(display);
  const Window window =
      XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, static_cast<unsigned>(width),
                          static_cast<unsigned>(height), 0, 0, BlackPixel(display, screen));
  // The window manager asks before closing the window, instead of ending the connection.
  Atom delete_message = XInternAtom(display, "WM_DELETE_WINDOW", False);
  XSetWMProtocols(display, window, &delete_message, 1);
  FixSize(display, window, width, height);
  XSelectInput(display, window, StructureNotifyMask);
  XMapWindow(display, window);
  // Mapped before the plug-in puts its window inside.
  XEvent event;
  do {
    XNextEvent(display, &event);
  } while (event.type != MapNotify || event.xmap.window != window);
  auto host_window =
      std::make_unique<X11HostWindow>(display, window, delete_message, width, height);
  host_window->SetTitle(title);
  return host_window;
}

}  // namespace vsthost::os
