// GraphicsX11: the editor's child window on X11, its events and timer (driven by the host's idle
// calls), the in-place text entry, and the dialogs, links, folders and clipboard of the desktop.
#include "platform/posix/graphics_x11.h"

// The editor's headers come before Xlib's, whose macros (None, Status, ...) would clash.
#include "core/plugin_param.h"
#include "platform/platform.h"
#include "resources/editor_images.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "platform/posix/x11_ui.h"

extern char** environ;

namespace vantor {
namespace {

using Clock = std::chrono::steady_clock;

// Used only on the host's user-interface thread, as every editor event is.
int g_open_windows = 0;

// Two presses of the left button this close in time and place make a double click.
constexpr unsigned long kDoubleClickMs = 400;
constexpr int kDoubleClickDistance = 4;

Display* Dpy(_XDisplay* display) {
  return display;
}

MouseMods Mods(unsigned state) {
  MouseMods mods;
  mods.left = (state & Button1Mask) != 0;
  mods.right = (state & Button3Mask) != 0;
  mods.shift = (state & ShiftMask) != 0;
  mods.control = (state & ControlMask) != 0;
  mods.alt = (state & Mod1Mask) != 0;
  return mods;
}

unsigned ButtonMask(unsigned button) {
  switch (button) {
    case 1:
      return Button1Mask;
    case 2:
      return Button2Mask;
    case 3:
      return Button3Mask;
    default:
      return 0;
  }
}

// Key symbol to the editor's keys; -1 for keys the host gets straight away.
int EditorKeyFor(KeySym key) {
  switch (key) {
    case XK_space:
      return kKeySpace;
    case XK_Up:
    case XK_KP_Up:
      return kKeyUp;
    case XK_Down:
    case XK_KP_Down:
      return kKeyDown;
    case XK_Left:
    case XK_KP_Left:
      return kKeyLeft;
    case XK_Right:
    case XK_KP_Right:
      return kKeyRight;
    default:
      break;
  }
  if (key >= XK_0 && key <= XK_9) return kKeyDigit0 + static_cast<int>(key - XK_0);
  if (key >= XK_KP_0 && key <= XK_KP_9) return kKeyDigit0 + static_cast<int>(key - XK_KP_0);
  if (key >= XK_A && key <= XK_Z) return kKeyLetterA + static_cast<int>(key - XK_A);
  if (key >= XK_a && key <= XK_z) return kKeyLetterA + static_cast<int>(key - XK_a);
  return -1;
}

// A program of that name on the PATH.
bool OnPath(const std::string& name) {
  const char* path = getenv("PATH");
  if (!path) return false;
  std::string list = path;
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(':', start);
    if (end == std::string::npos) end = list.size();
    const std::string candidate = list.substr(start, end - start) + "/" + name;
    if (end > start && access(candidate.c_str(), X_OK) == 0) return true;
    start = end + 1;
  }
  return false;
}

// Runs a program detached from this process (a grandchild nobody needs to wait for).
bool Launch(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const std::string& a : argv)
    args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  const pid_t child = fork();
  if (child < 0) return false;
  if (child == 0) {
    // Only async-signal-safe calls between fork and exec: the host may have threads.
    setsid();
    pid_t grandchild = 0;
    const int rc = posix_spawnp(&grandchild, args[0], nullptr, nullptr, args.data(), environ);
    _exit(rc == 0 ? 0 : 1);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace

GraphicsX11::GraphicsX11(PluginBase* plugin) : Graphics(plugin) {}

GraphicsX11::~GraphicsX11() {
  CloseEditorWindow();
}

int GraphicsX11::OpenWindowCount() {
  return g_open_windows;
}

void* GraphicsX11::NativeWindow() const {
  return window_ ? reinterpret_cast<void*>(static_cast<uintptr_t>(window_)) : nullptr;
}

// ---- Window

bool GraphicsX11::OpenEditorWindow(void* parent) {
  const auto parent_window = static_cast<Window>(reinterpret_cast<uintptr_t>(parent));
  int x = 0, y = 0;
  if (window_) {
    // Reopening keeps the place the window had in its parent.
    x11::ErrorTrap trap(Dpy(display_));
    XWindowAttributes attributes;
    if (!window_gone_ && XGetWindowAttributes(Dpy(display_), window_, &attributes)) {
      x = attributes.x;
      y = attributes.y;
    }
    CloseEditorWindow();
  }
  if (!parent_window) return false;
  // A connection of our own: the host's is not ours to read events from.
  Display* display = XOpenDisplay(nullptr);
  if (!display) return false;
  const int screen = DefaultScreen(display);
  const int depth = DefaultDepth(display, screen);
  if (depth != 24 && depth != 32) {
    XCloseDisplay(display);
    return false;
  }
  Window window = 0;
  {
    x11::ErrorTrap trap(display);
    XSetWindowAttributes attributes{};
    attributes.colormap = DefaultColormap(display, screen);
    attributes.border_pixel = 0;
    attributes.background_pixmap = None;
    attributes.event_mask = ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask |
                            LeaveWindowMask | KeyPressMask | KeyReleaseMask | StructureNotifyMask |
                            FocusChangeMask;
    window = XCreateWindow(display, parent_window, x, y, static_cast<unsigned>(Width()),
                           static_cast<unsigned>(Height()), 0, depth, InputOutput,
                           DefaultVisual(display, screen),
                           CWColormap | CWBorderPixel | CWBackPixmap | CWEventMask, &attributes);
    XStoreName(display, window, "Vantor");
    XMapWindow(display, window);
    // A parent that does not exist (or went away) fails here, not later in the host.
    if (!trap.Sync()) window = 0;
  }
  if (!window) {
    x11::ErrorTrap trap(display);
    XCloseDisplay(display);
    return false;
  }
  display_ = display;
  window_ = window;
  parent_ = parent_window;
  host_top_ = 0;
  window_gone_ = false;
  captured_ = false;
  exposed_ = Rect{};
  gc_ = XCreateGC(display, window, 0, nullptr);
  depth_ = depth;
  next_tick_ = Clock::now();
  ++g_open_windows;
  SetAllControlsDirty();
  return true;
}

void GraphicsX11::CloseEditorWindow() {
  if (!display_) return;
  if (entry_) FinishTextEntry(false);
  Display* display = Dpy(display_);
  {
    x11::ErrorTrap trap(display);
    if (cursor_hidden()) ShowCursor();
    if (blank_cursor_) XFreeCursor(display, blank_cursor_);
    if (gc_) XFreeGC(display, static_cast<GC>(gc_));
    // When the host destroyed its window first, ours went with it; the error that destroying it
    // again would bring is caught by the trap.
    if (!window_gone_) XDestroyWindow(display, window_);
    trap.Sync();
    XCloseDisplay(display);
  }
  display_ = nullptr;
  window_ = 0;
  gc_ = nullptr;
  blank_cursor_ = 0;
  host_top_ = 0;
  --g_open_windows;
}

void GraphicsX11::Idle() {
  if (!display_ || in_idle_) return;
  in_idle_ = true;
  {
    x11::ErrorTrap trap(Dpy(display_));
    while (display_ && XPending(Dpy(display_)) > 0) {
      XEvent event;
      XNextEvent(Dpy(display_), &event);
      Dispatch(event);
    }
    const Clock::time_point now = Clock::now();
    if (display_ && now >= next_tick_) {
      const auto period = std::chrono::milliseconds(1000 / std::max(frames_per_second(), 1));
      next_tick_ += period;
      if (next_tick_ <= now) next_tick_ = now + period;  // a late host is not caught up with
      OnTimer();
    }
    // What was drawn is on the screen when the host's idle call returns, so that a host that
    // shows or reads its window next finds it there.
    if (display_ && std::exchange(presented_, false)) {
      XSync(Dpy(display_), False);
    } else if (display_) {
      XFlush(Dpy(display_));
    }
  }
  in_idle_ = false;
  // The host destroyed its window under ours: nothing is left to draw on.
  if (display_ && window_gone_) CloseEditorWindow();
}

void GraphicsX11::Dispatch(XEvent& event) {
  if (entry_ && event.xany.window == entry_->window) {
    if (event.type == Expose && event.xexpose.count == 0) DrawEntry();
    if (event.type == KeyPress) DispatchEntryKey(event);
    if (event.type == ButtonPress && event.xbutton.button <= 3) edit_state_ = EditState::Editing;
    return;
  }
  if (event.xany.window != window_) return;
  if (event.type == DestroyNotify) {
    window_gone_ = true;
    return;
  }
  if (event.type == Expose) {
    const Rect r{event.xexpose.x, event.xexpose.y, event.xexpose.x + event.xexpose.width,
                 event.xexpose.y + event.xexpose.height};
    if (exposed_.IsEmpty()) {
      exposed_ = r;
    } else {
      exposed_ = Rect{std::min(exposed_.left, r.left), std::min(exposed_.top, r.top),
                      std::max(exposed_.right, r.right), std::max(exposed_.bottom, r.bottom)};
    }
    if (event.xexpose.count == 0) {
      const Rect area = exposed_;
      exposed_ = Rect{};
      RedrawArea(area);
    }
    return;
  }
  if (entry_) {
    // While text is being typed only a click elsewhere, which takes the text, the wheel, which
    // drops it, and the keys, which go to the entry, matter.
    if (event.type == ButtonPress) {
      const unsigned button = event.xbutton.button;
      if (button == 1 || button == 3) edit_state_ = EditState::Commit;
      if (button == 4 || button == 5) edit_state_ = EditState::Cancel;
    } else if (event.type == KeyPress) {
      DispatchEntryKey(event);
    } else if (event.type == FocusOut && event.xfocus.mode == NotifyNormal &&
               event.xfocus.detail != NotifyInferior && event.xfocus.detail != NotifyPointer) {
      edit_state_ = EditState::Commit;  // the user went elsewhere
    }
    return;
  }
  switch (event.type) {
    case KeyPress: {
      KeySym key = 0;
      x11::TypedText(event.xkey, &key);
      const int editor_key = EditorKeyFor(key);
      if (editor_key >= 0 && HandleKeyDown(event.xkey.x, event.xkey.y, editor_key)) return;
      ForwardKey(event);
      return;
    }
    case KeyRelease:
      ForwardKey(event);
      return;
    case MotionNotify: {
      x11::SkipToLastMotion(Dpy(display_), window_, event);
      const XMotionEvent& m = event.xmotion;
      if (m.state & (Button1Mask | Button3Mask)) {
        if (captured_) HandleMouseDrag(m.x, m.y, Mods(m.state));
      } else {
        HandleMouseOver(m.x, m.y, Mods(m.state));
      }
      return;
    }
    case LeaveNotify:
      if (event.xcrossing.mode == NotifyNormal && !captured_) HandleMouseOut();
      return;
    case ButtonPress: {
      const XButtonEvent& b = event.xbutton;
      if (b.button == 4 || b.button == 5) {
        HandleMouseWheel(b.x, b.y, Mods(b.state), b.button == 4 ? 1 : -1);
        return;
      }
      if (b.button > 3) return;
      // The state is that before the press; the pressed button counts as held.
      MouseMods mods = Mods(b.state | ButtonMask(b.button));
      XSetInputFocus(Dpy(display_), window_, RevertToParent, CurrentTime);
      const bool double_click = b.button == 1 && last_press_time_ != 0 &&
                                b.time - last_press_time_ <= kDoubleClickMs &&
                                std::abs(b.x - last_press_x_) <= kDoubleClickDistance &&
                                std::abs(b.y - last_press_y_) <= kDoubleClickDistance;
      if (b.button == 1) {
        // A third press starts a new pair.
        last_press_time_ = double_click ? 0 : b.time;
        last_press_x_ = b.x;
        last_press_y_ = b.y;
      }
      if (double_click) {
        captured_ = HandleDoubleClick(b.x, b.y, mods);
      } else {
        captured_ = true;  // X grabs the pointer for the window while a button is down
        HandleMouseDown(b.x, b.y, mods);
      }
      return;
    }
    case ButtonRelease: {
      const XButtonEvent& b = event.xbutton;
      if (b.button != 1 && b.button != 3) return;
      const unsigned state = b.state & ~ButtonMask(b.button);
      if (!(state & (Button1Mask | Button3Mask))) captured_ = false;
      HandleMouseUp(b.x, b.y, Mods(state));
      return;
    }
    default:
      return;
  }
}

void GraphicsX11::ForwardKey(XEvent& event) {
  const Window top = HostTopLevel();
  if (!top || top == window_) return;
  XEvent copy = event;
  copy.xkey.window = top;
  copy.xkey.subwindow = 0;
  XSendEvent(Dpy(display_), top, True, event.type == KeyPress ? KeyPressMask : KeyReleaseMask,
             &copy);
}

unsigned long GraphicsX11::HostTopLevel() {
  if (!host_top_ && display_ && parent_) host_top_ = x11::TopLevelOf(Dpy(display_), parent_);
  return host_top_;
}

void GraphicsX11::OnTimer() {
  if (entry_ && edit_state_ != EditState::Idle) {
    if (edit_state_ == EditState::Commit || edit_state_ == EditState::Cancel) {
      FinishTextEntry(edit_state_ == EditState::Commit);
    } else {
      edit_state_ = EditState::Idle;
    }
    return;
  }
  Rect area;
  if (CollectDirtyArea(area)) RedrawArea(area);
  if (entry_) edit_state_ = EditState::Update;
}

void GraphicsX11::PresentArea(const Rect& area) {
  if (!display_ || window_gone_ || !drawing_bitmap()) return;
  x11::PutPixels(Dpy(display_), window_, static_cast<GC>(gc_), depth_, *drawing_bitmap(), area.left,
                 area.top, area.Width(), area.Height());
  presented_ = true;
}

void GraphicsX11::Resize(int width, int height) {
  if (width == width_ && height == height_) return;
  const int old_width = Width();
  const int old_height = Height();
  Graphics::Resize(width, height);
  const int dw = Width() - old_width;
  const int dh = Height() - old_height;
  if (!display_ || window_gone_) return;
  x11::ErrorTrap trap(Dpy(display_));
  XResizeWindow(Dpy(display_), window_, static_cast<unsigned>(Width()),
                static_cast<unsigned>(Height()));
  // The host's window makes room as well.
  XWindowAttributes attributes;
  if (parent_ && XGetWindowAttributes(Dpy(display_), parent_, &attributes)) {
    XResizeWindow(Dpy(display_), parent_, static_cast<unsigned>(std::max(1, attributes.width + dw)),
                  static_cast<unsigned>(std::max(1, attributes.height + dh)));
  }
  RedrawArea({0, 0, Width(), Height()});
}

void GraphicsX11::SetZoom(int percent) {
  if (!IsZoomPercent(percent) || percent == zoom()) return;
  // An entry placed for the old zoom would stand in the wrong place.
  if (entry_) FinishTextEntry(false);
  Graphics::SetZoom(percent);
  if (!display_ || window_gone_) return;
  // Only our window: the host was asked to resize its own (or asked for the zoom itself). The
  // new size brings an exposure, which draws the editor anew.
  x11::ErrorTrap trap(Dpy(display_));
  XResizeWindow(Dpy(display_), window_, static_cast<unsigned>(Width()),
                static_cast<unsigned>(Height()));
}

int GraphicsX11::DisplayZoom() {
  Display* display = XOpenDisplay(nullptr);
  if (!display) return 0;
  int percent = 0;
  {
    x11::ErrorTrap trap(display);
    percent = x11::ZoomForDpi(x11::ResourceDpi(XResourceManagerString(display)));
  }
  XCloseDisplay(display);
  return percent;
}

// ---- Text entry

void GraphicsX11::BeginTextEntry(Control* control, const TextStyle& style, const Rect& rect,
                                 const char* text, PluginParam* param) {
  if (!control || entry_ || !display_ || window_gone_) return;
  auto entry = std::make_unique<Entry>();
  entry->control = control;
  entry->param = param;
  entry->style = style;
  // The entry is a window of its own, placed and lettered in pixels.
  entry->style.size = ZoomedTextSize(style.size);
  entry->style.cached_font = nullptr;
  entry->rect = UnitsToPixels(rect, zoom());
  entry->text = text ? text : "";
  entry->caret = entry->text.size();
  entry->limit = static_cast<size_t>(std::max(control->text_entry_length(), 0));
  x11::ErrorTrap trap(Dpy(display_));
  XSetWindowAttributes attributes{};
  attributes.event_mask = ExposureMask | ButtonPressMask | KeyPressMask;
  attributes.background_pixmap = None;
  // One pixel more each way, as the area's right and bottom are part of the entry.
  const Rect& area = entry->rect;
  entry->window =
      XCreateWindow(Dpy(display_), window_, area.left, area.top,
                    static_cast<unsigned>(std::max(area.Width() + 1, 1)),
                    static_cast<unsigned>(std::max(area.Height() + 1, 1)), 0, CopyFromParent,
                    InputOutput, CopyFromParent, CWEventMask | CWBackPixmap, &attributes);
  if (!entry->window) return;
  XMapRaised(Dpy(display_), entry->window);
  XSetInputFocus(Dpy(display_), window_, RevertToParent, CurrentTime);
  entry_ = std::move(entry);
  edit_state_ = EditState::Editing;
}

void GraphicsX11::EndTextEntry() {
  if (entry_) edit_state_ = EditState::Cancel;
}

void GraphicsX11::DispatchEntryKey(XEvent& event) {
  KeySym key = 0;
  const std::string typed = x11::TypedText(event.xkey, &key);
  x11::LineEdit edit;
  edit.text = entry_->text;
  edit.caret = entry_->caret;
  edit.all_selected = entry_->all_selected;
  edit.limit = entry_->limit;
  if (PluginParam* param = entry_->param) {
    // A value takes a sign and digits, and a decimal point only when it is continuous.
    const bool continuous = param->kind() == ParamKind::Continuous;
    edit.accept = [continuous](char c) {
      return (c >= '0' && c <= '9') || c == '+' || c == '-' || (continuous && c == '.');
    };
  }
  switch (edit.Key(key, typed)) {
    case x11::LineEdit::Result::Commit:
      edit_state_ = EditState::Commit;
      return;
    case x11::LineEdit::Result::Cancel:
      edit_state_ = EditState::Cancel;
      return;
    case x11::LineEdit::Result::Changed:
      entry_->text = edit.text;
      entry_->caret = edit.caret;
      entry_->all_selected = edit.all_selected;
      DrawEntry();
      return;
    case x11::LineEdit::Result::Nothing:
      return;
  }
}

void GraphicsX11::DrawEntry() {
  if (!entry_ || !display_) return;
  const int w = entry_->rect.Width() + 1;
  const int h = entry_->rect.Height() + 1;
  RasterMemBitmap pixels(w, h);
  if (pixels.IsEmpty()) return;
  x11::LineEdit edit;
  edit.text = entry_->text;
  edit.caret = entry_->caret;
  edit.all_selected = entry_->all_selected;
  edit.Paint(pixels, entry_->style, Rect{0, 0, w, h}, true);
  x11::PutPixels(Dpy(display_), entry_->window, static_cast<GC>(gc_), depth_, pixels, 0, 0, w, h);
}

void GraphicsX11::FinishTextEntry(bool commit) {
  if (!entry_) return;
  const std::unique_ptr<Entry> entry = std::move(entry_);
  edit_state_ = EditState::Idle;
  if (display_) {
    x11::ErrorTrap trap(Dpy(display_));
    if (!window_gone_) XDestroyWindow(Dpy(display_), entry->window);
  }
  // The entry is gone before its value acts, so nothing the value changes reaches it.
  if (commit) CommitTextEntry(entry->control, entry->param, entry->text);
  if (display_ && !window_gone_) RedrawArea(entry->rect);
}

// ---- Menus and dialogs

void GraphicsX11::ServeWhileModal(XEvent& event) {
  if (event.xany.window != window_) return;
  if (event.type == DestroyNotify) window_gone_ = true;
  if (event.type == Expose && event.xexpose.count == 0 && !window_gone_)
    RedrawArea({0, 0, Width(), Height()});
}

PopupMenu* GraphicsX11::ShowPopupMenu(PopupMenu& menu, const Rect& rect) {
  ResetMouseCapture();
  captured_ = false;
  if (!display_ || window_gone_) return nullptr;
  x11::ErrorTrap trap(Dpy(display_));
  int root_x = 0, root_y = 0;
  Window child = 0;
  const Rect area = UnitsToPixels(rect, zoom());
  XTranslateCoordinates(Dpy(display_), window_, DefaultRootWindow(Dpy(display_)), area.left,
                        area.bottom, &root_x, &root_y, &child);
  PopupMenu* chosen = x11::RunPopupMenu(Dpy(display_), *this, menu, root_x, root_y,
                                        [this](XEvent& event) { ServeWhileModal(event); });
  if (!window_gone_) RedrawArea({0, 0, Width(), Height()});
  return chosen;
}

// A dialog may be asked for while no editor window is open (a menu command of the host): it then
// has a connection of its own for the moment. Returns the button pressed, -1 without a display.
int GraphicsX11::RunModal(const x11::DialogSpec& desc) {
  Display* display = display_ ? Dpy(display_) : XOpenDisplay(nullptr);
  if (!display) return -1;
  int pressed = -1;
  {
    x11::ErrorTrap trap(display);
    pressed = x11::RunDialog(display, display_ ? HostTopLevel() : 0, *this, desc,
                             [this](XEvent& event) { ServeWhileModal(event); });
  }
  if (display != Dpy(display_)) {
    x11::ErrorTrap trap(display);
    XCloseDisplay(display);
  }
  return pressed;
}

MessageBoxButton GraphicsX11::ShowMessageBox(const char* text, const char* caption,
                                             MessageBoxType type) {
  x11::DialogSpec desc;
  desc.caption = caption ? caption : "";
  desc.text = text ? text : "";
  if (type == MessageBoxType::ErrorOk) desc.icon = x11::DialogSpec::Icon::Error;
  if (type == MessageBoxType::InformationOk) desc.icon = x11::DialogSpec::Icon::Information;
  const bool question = type == MessageBoxType::YesNo;
  desc.buttons = question ? std::vector<std::string>{"Yes", "No"} : std::vector<std::string>{"OK"};
  const int pressed = RunModal(desc);
  if (!question) return MessageBoxButton::Ok;
  return pressed == 0 ? MessageBoxButton::Yes : MessageBoxButton::No;
}

bool GraphicsX11::AskForText(const char* caption, const char* label, std::string* text) {
  x11::DialogSpec desc;
  desc.caption = caption;
  desc.text = label;
  desc.buttons = {"OK", "Cancel"};
  desc.field = text;
  return RunModal(desc) == 0;
}

std::string GraphicsX11::FindPromptProgram() const {
  for (const std::string& program : prompt_programs_) {
    if (OnPath(program)) return program;
  }
  return {};
}

bool GraphicsX11::RunPrompt(const std::vector<std::string>& argv, std::string* output) {
  int pipe_fds[2];
  if (pipe(pipe_fds) != 0) return false;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
  posix_spawn_file_actions_addclose(&actions, pipe_fds[0]);
  std::vector<char*> args;
  for (const std::string& a : argv)
    args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t child = 0;
  const int rc = posix_spawnp(&child, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipe_fds[1]);
  if (rc != 0) {
    close(pipe_fds[0]);
    return false;
  }
  char buffer[4096];
  for (;;) {
    const ssize_t n = read(pipe_fds[0], buffer, sizeof buffer);
    if (n > 0) {
      if (output->size() < 65536) output->append(buffer, static_cast<size_t>(n));
    } else if (n == 0 || errno != EINTR) {
      break;
    }
  }
  close(pipe_fds[0]);
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  while (!output->empty() && (output->back() == '\n' || output->back() == '\r'))
    output->pop_back();
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void GraphicsX11::ChooseFile(std::string& file, FileAction action, std::string& folder,
                             const char* extensions) {
  if (!display_) {
    file.clear();
    return;
  }
  if (folder.empty()) DesktopFolder(folder);
  std::vector<std::string> words;
  {
    const std::string list = extensions ? extensions : "";
    size_t start = 0;
    while (start < list.size()) {
      size_t end = list.find(' ', start);
      if (end == std::string::npos) end = list.size();
      if (end > start) words.push_back(list.substr(start, end - start));
      start = end + 1;
    }
  }
  std::string patterns;
  for (const std::string& w : words)
    patterns += (patterns.empty() ? "*." : " *.") + w;
  std::string start_path = folder;
  if (!start_path.empty() && start_path.back() != '/') start_path += '/';
  start_path += file;
  const bool save = action == FileAction::Save;

  std::string chosen;
  bool ok = false;
  const std::string program = FindPromptProgram();
  if (program == "zenity") {
    std::vector<std::string> argv = {"zenity", "--file-selection", "--filename=" + start_path};
    if (save) {
      argv.push_back("--save");
      argv.push_back("--confirm-overwrite");
    }
    if (!patterns.empty()) argv.push_back("--file-filter=" + patterns);
    ok = RunPrompt(argv, &chosen);
  } else if (program == "kdialog") {
    ok = RunPrompt(
        {"kdialog", save ? "--getsavefilename" : "--getopenfilename", start_path, patterns},
        &chosen);
  } else {
    chosen = start_path;
    const std::string label =
        std::string(save ? "Save as (" : "Open (") + (patterns.empty() ? "*" : patterns) + "):";
    ok = AskForText(save ? "Save File" : "Open File", label.c_str(), &chosen);
    if (ok && !save && !platform::FileExists(chosen)) ok = false;
  }
  if (!ok || chosen.empty()) {
    file.clear();
    return;
  }
  // A name typed without its extension gets the first one, as the Windows prompt does.
  const size_t slash = chosen.find_last_of('/');
  const std::string name = slash == std::string::npos ? chosen : chosen.substr(slash + 1);
  if (save && !words.empty() && name.find('.') == std::string::npos) chosen += "." + words[0];
  file = chosen;
  folder = slash == std::string::npos ? std::string() : chosen.substr(0, slash + 1);
}

bool GraphicsX11::ChooseColor(Color& colour, const char* prompt) {
  const std::string program = FindPromptProgram();
  char start[32];
  snprintf(start, sizeof start, "rgb(%d,%d,%d)", colour.r, colour.g, colour.b);
  std::string answer;
  if (program == "zenity") {
    if (!RunPrompt({"zenity", "--color-selection", std::string("--title=") + (prompt ? prompt : ""),
                    std::string("--color=") + start},
                   &answer))
      return false;
  } else if (program == "kdialog") {
    char hex[16];
    snprintf(hex, sizeof hex, "#%02x%02x%02x", colour.r, colour.g, colour.b);
    if (!RunPrompt({"kdialog", "--getcolor", "--default", hex}, &answer)) return false;
  } else {
    snprintf(start, sizeof start, "#%02x%02x%02x", colour.r, colour.g, colour.b);
    answer = start;
    if (!AskForText("Colour", prompt && prompt[0] ? prompt : "Colour (#rrggbb):", &answer))
      return false;
  }
  int r = -1, g = -1, b = -1;
  if (sscanf(answer.c_str(), "rgb(%d,%d,%d)", &r, &g, &b) != 3) {
    unsigned value = 0;
    if (answer.size() != 7 || answer[0] != '#' || sscanf(answer.c_str() + 1, "%x", &value) != 1)
      return false;
    r = static_cast<int>(value >> 16);
    g = static_cast<int>((value >> 8) & 0xFF);
    b = static_cast<int>(value & 0xFF);
  }
  if (r < 0 || r > 255 || g < 0 || g > 255 || b < 0 || b > 255) return false;
  colour.r = static_cast<uint8_t>(r);
  colour.g = static_cast<uint8_t>(g);
  colour.b = static_cast<uint8_t>(b);
  return true;
}

bool GraphicsX11::LaunchUrl(const char* url) {
  if (!url || !url[0] || !OnPath("xdg-open")) return false;
  return Launch({"xdg-open", url});
}

// ---- Folders, clipboard, cursor, bitmaps

void GraphicsX11::HostFolder(std::string& out) {
  char path[PATH_MAX];
  const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
  out.clear();
  if (n <= 0) return;
  const std::string exe(path, static_cast<size_t>(n));
  const size_t slash = exe.find_last_of('/');
  if (slash != std::string::npos && slash + 1 < exe.size()) out = exe.substr(0, slash + 1);
}

void GraphicsX11::PluginFolder(std::string& out) {
  out = platform::ModuleFolder();
}

void GraphicsX11::DesktopFolder(std::string& out) {
  out = platform::DesktopFolder();
}

void GraphicsX11::AppDataFolder(std::string& out, bool all_users) {
  out = all_users ? std::string("/etc/xdg") : platform::UserConfigFolder();
}

bool GraphicsX11::ClipboardText(std::string& out) {
  out.clear();
  if (!display_ || window_gone_) return false;
  Display* display = Dpy(display_);
  x11::ErrorTrap trap(display);
  const Atom clipboard = XInternAtom(display, "CLIPBOARD", False);
  const Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
  const Atom target = XInternAtom(display, "VANTOR_CLIPBOARD", False);
  if (XGetSelectionOwner(display, clipboard) == None) return false;
  XConvertSelection(display, clipboard, utf8, target, window_, CurrentTime);
  XFlush(display);
  // The owner answers through the server; a clipboard owner that hangs is given half a second.
  const Clock::time_point give_up = Clock::now() + std::chrono::milliseconds(500);
  XEvent event;
  for (;;) {
    if (XCheckTypedWindowEvent(display, window_, SelectionNotify, &event)) break;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(give_up - Clock::now()).count();
    if (left <= 0) return false;
    pollfd fd{ConnectionNumber(display), POLLIN, 0};
    poll(&fd, 1, static_cast<int>(left));
    XPending(display);
  }
  if (event.xselection.property == None) return false;
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, remaining = 0;
  unsigned char* data = nullptr;
  const bool read = XGetWindowProperty(display, window_, target, 0, 1 << 20, True, AnyPropertyType,
                                       &type, &format, &count, &remaining, &data) == Success;
  if (read && data && format == 8) out.assign(reinterpret_cast<char*>(data), count);
  if (data) XFree(data);
  return read && format == 8;
}

void GraphicsX11::HideCursor() {
  if (cursor_hidden() || !display_ || window_gone_) return;
  Graphics::HideCursor();
  Display* display = Dpy(display_);
  x11::ErrorTrap trap(display);
  Window root = 0, child = 0;
  int wx = 0, wy = 0;
  unsigned mask = 0;
  XQueryPointer(display, window_, &root, &child, &hidden_cursor_x_, &hidden_cursor_y_, &wx, &wy,
                &mask);
  if (!blank_cursor_) {
    static const char kNoBits[1] = {0};
    const Pixmap empty = XCreateBitmapFromData(display, window_, kNoBits, 1, 1);
    XColor black{};
    blank_cursor_ = XCreatePixmapCursor(display, empty, empty, &black, &black, 0, 0);
    XFreePixmap(display, empty);
  }
  XDefineCursor(display, window_, blank_cursor_);
}

void GraphicsX11::ShowCursor() {
  if (!cursor_hidden()) return;
  Graphics::ShowCursor();
  if (!display_ || window_gone_) return;
  Display* display = Dpy(display_);
  x11::ErrorTrap trap(display);
  XWarpPointer(display, None, DefaultRootWindow(display), 0, 0, 0, 0, hidden_cursor_x_,
               hidden_cursor_y_);
  XUndefineCursor(display, window_);
}

std::unique_ptr<RasterBitmap> GraphicsX11::LoadPlatformBitmap(int id, const char* name) {
  const std::span<const uint8_t> bytes = EditorImageBytes(id);
  if (bytes.size() < 8) return nullptr;
  return DecodePngResource(name, bytes.data(), bytes.size());
}

std::unique_ptr<Graphics> CreatePlatformGraphics(PluginBase* plugin) {
  return std::make_unique<GraphicsX11>(plugin);
}

}  // namespace vantor
