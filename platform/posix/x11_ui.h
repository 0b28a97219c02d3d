// Xlib helpers of the X11 editor: error trapping, showing pixels, one-line text editing, and the
// popup menus and dialogs it draws itself.
#pragma once

#include <functional>
#include <string>
#include <vector>

// The editor's headers come before Xlib's, whose macros (None, Status, ...) would clash.
#include "editor/graphics.h"

#include <X11/Xlib.h>

namespace vantor::x11 {

// While alive, X errors of `display` are counted here instead of going to the process's
// handler (whose default ends the process, the host with it); errors of other connections still
// go to the handler that was set before. Traps nest.
class ErrorTrap {
 public:
  explicit ErrorTrap(Display* display);
  ~ErrorTrap();
  ErrorTrap(const ErrorTrap&) = delete;
  ErrorTrap& operator=(const ErrorTrap&) = delete;
  // Waits until the server has handled every request; true when none failed since the trap
  // was set.
  bool Sync();

 private:
  friend int OnXError(Display* display, XErrorEvent* error);
  Display* display_;
  int errors_ = 0;
};

// Copies the rectangle (x, y, w, h) of `bitmap` to the same place in `window`.
void PutPixels(Display* display, Window window, GC gc, int depth, const RasterBitmap& bitmap, int x,
               int y, int w, int h);

// The window's top-level ancestor (the child of the root that holds it); 0 when it has none.
Window TopLevelOf(Display* display, Window window);

// One line of editable text: caret, select-all on start, a length limit in characters and a
// filter for typed characters.
struct LineEdit {
  enum class Result { Nothing, Changed, Commit, Cancel };

  std::string text;  // UTF-8
  size_t caret = 0;  // byte position
  bool all_selected = true;
  size_t limit = 0;                  // characters; 0 for no limit
  std::function<bool(char)> accept;  // for ASCII characters; null accepts everything

  void Start(std::string initial, size_t max_chars);
  // A key press: its key symbol and the text it typed (Latin-1 from XLookupString).
  Result Key(KeySym key, const std::string& typed);
  // Draws the field into `target` over `area` (pixels, the style's size its pixel height):
  // background, text, selection and caret.
  void Paint(RasterBitmap& target, TextStyle style, const Rect& area, bool focused) const;
};

// Replaces `event`, a motion of `window`, by the last of the motions that directly follow it in
// the queue: a drag follows the latest position, and a press or release stays in its place.
void SkipToLastMotion(Display* display, Window window, XEvent& event);

// The text of a key press (Latin-1 turned into UTF-8) and its key symbol.
std::string TypedText(XKeyEvent& event, KeySym* key);

// Everything a modal loop does not handle itself goes to `other` (the editor window's events).
using OtherEvent = std::function<void(XEvent&)>;

// The names of a popup menu's windows: the top level's once it has the pointer and keyboard,
// a submenu's once it is shown.
inline constexpr char kMenuWindowName[] = "Vantor menu";
inline constexpr char kSubmenuWindowName[] = "Vantor submenu";

// Shows `menu` at (root_x, root_y) as override-redirect windows with submenus, and runs until
// an item is chosen or the menu is dismissed. Returns the (sub)menu of the chosen item with its
// chosen index set, or null. Menus and dialogs are as large as the editor's zoom
// (fonts.zoom()) makes them.
PopupMenu* RunPopupMenu(Display* display, Graphics& fonts, PopupMenu& menu, int root_x, int root_y,
                        const OtherEvent& other);

// A modal dialog window owned by `owner` (0: none): lines of text, optionally a one-line field
// (`field` non-null), and buttons. Returns the index of the button pressed; Enter presses the
// first, Escape and closing the window the last.
struct DialogSpec {
  std::string caption;
  std::string text;
  enum class Icon { Plain, Error, Information } icon = Icon::Plain;
  std::vector<std::string> buttons;
  std::string* field = nullptr;
};
int RunDialog(Display* display, Window owner, Graphics& fonts, const DialogSpec& desc,
              const OtherEvent& other);

// The X resource database's Xft.dpi (the screen's density desktops set), 0 when it has none.
double ResourceDpi(const char* resources);
// The zoom for a density, 96 dots per inch being 100%; 0 for no density.
int ZoomForDpi(double dpi);

}  // namespace vantor::x11
