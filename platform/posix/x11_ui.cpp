// The X11 editor's own popup menus and dialogs, drawn with the editor's fonts, and the Xlib
// helpers they share with the window.
#include "platform/posix/x11_ui.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <memory>

#include "core/number_text.h"
#include "editor/raster/raster_blit.h"

namespace vantor::x11 {

// ---- Errors

namespace {

std::vector<ErrorTrap*> g_traps;  // innermost last; the user-interface thread only
XErrorHandler g_outer_handler = nullptr;

}  // namespace

int OnXError(Display* display, XErrorEvent* error) {
  for (auto it = g_traps.rbegin(); it != g_traps.rend(); ++it) {
    if ((*it)->display_ == display) {
      ++(*it)->errors_;
      return 0;
    }
  }
  return g_outer_handler ? g_outer_handler(display, error) : 0;
}

ErrorTrap::ErrorTrap(Display* display) : display_(display) {
  if (g_traps.empty()) g_outer_handler = XSetErrorHandler(OnXError);
  g_traps.push_back(this);
}

ErrorTrap::~ErrorTrap() {
  g_traps.erase(std::find(g_traps.begin(), g_traps.end(), this));
  if (g_traps.empty()) XSetErrorHandler(g_outer_handler);
}

bool ErrorTrap::Sync() {
  XSync(display_, False);
  return errors_ == 0;
}

// ---- Pixels and windows

void PutPixels(Display* display, Window window, GC gc, int depth, const RasterBitmap& bitmap, int x,
               int y, int w, int h) {
  x = std::max(x, 0);
  y = std::max(y, 0);
  w = std::min(w, bitmap.Width() - x);
  h = std::min(h, bitmap.Height() - y);
  if (w <= 0 || h <= 0 || !bitmap.Pixels()) return;
  // The pixels are 0xAARRGGBB words, which a 24- or 32-bit TrueColor visual takes as they are.
  XImage* image = XCreateImage(display, DefaultVisual(display, DefaultScreen(display)),
                               static_cast<unsigned>(depth), ZPixmap, 0,
                               const_cast<char*>(reinterpret_cast<const char*>(bitmap.Pixels())),
                               static_cast<unsigned>(bitmap.Width()),
                               static_cast<unsigned>(bitmap.Height()), 32, bitmap.RowSpan() * 4);
  if (!image) return;
  image->byte_order = std::endian::native == std::endian::little ? LSBFirst : MSBFirst;
  XPutImage(display, window, gc, image, x, y, x, y, static_cast<unsigned>(w),
            static_cast<unsigned>(h));
  image->data = nullptr;  // the bitmap's, not the image's to free
  XDestroyImage(image);
}

Window TopLevelOf(Display* display, Window window) {
  Window current = window;
  for (int depth = 0; current && depth < 64; ++depth) {
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    if (!XQueryTree(display, current, &root, &parent, &children, &count)) return 0;
    if (children) XFree(children);
    if (parent == root) return current;
    current = parent;
  }
  return 0;
}

void SkipToLastMotion(Display* display, Window window, XEvent& event) {
  XEvent next;
  while (XPending(display) > 0) {
    XPeekEvent(display, &next);
    if (next.type != MotionNotify || next.xany.window != window) return;
    XNextEvent(display, &event);
  }
}

std::string TypedText(XKeyEvent& event, KeySym* key) {
  char buffer[32];
  const int n = XLookupString(&event, buffer, sizeof buffer, key, nullptr);
  std::string text;
  for (int i = 0; i < n; ++i) {
    const auto c = static_cast<unsigned char>(buffer[i]);
    if (c < 0x80) {
      text += static_cast<char>(c);
    } else {
      text += static_cast<char>(0xC0 | (c >> 6));
      text += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return text;
}

// ---- One-line editing

namespace {

bool IsContinuation(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

size_t CharCount(const std::string& text) {
  return static_cast<size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return !IsContinuation(c); }));
}

size_t PreviousChar(const std::string& text, size_t pos) {
  if (pos == 0) return 0;
  --pos;
  while (pos > 0 && IsContinuation(text[pos]))
    --pos;
  return pos;
}

size_t NextChar(const std::string& text, size_t pos) {
  if (pos >= text.size()) return text.size();
  ++pos;
  while (pos < text.size() && IsContinuation(text[pos]))
    ++pos;
  return pos;
}

// In pixels, the style's size being its pixel height.
int TextWidth(TextStyle style, const std::string& text) {
  if (text.empty()) return 0;
  style.align = kAlignLeft;
  Rect r{0, 0, 0, 0};
  return Graphics::MeasureTextPixels(style, text.c_str(), r) ? r.Width() : 0;
}

// Lengths of the drawn menus and dialogs, given for 100% and grown with the editor's zoom.
struct Scale {
  int zoom = 100;
  int operator()(int length) const { return UnitsToPixels(length, zoom); }
};

RasterPixel Pixel(const Color& c) {
  return RasterMakePixel(255, c.r, c.g, c.b);
}

constexpr RasterPixel kPanel = RasterMakePixel(255, 236, 236, 236);
constexpr RasterPixel kBorder = RasterMakePixel(255, 120, 120, 120);
constexpr RasterPixel kHighlight = RasterMakePixel(255, 48, 96, 176);
constexpr Color kText{255, 20, 20, 20};
constexpr Color kGreyText{255, 150, 150, 150};
constexpr Color kLightText{255, 255, 255, 255};

void Fill(RasterBitmap& b, int x, int y, int w, int h, RasterPixel colour) {
  FillRect(&b, x, y, w, h, colour, 1.0f, kRasterCopy);
}

void Frame(RasterBitmap& b, int x, int y, int w, int h, RasterPixel colour) {
  Fill(b, x, y, w, 1, colour);
  Fill(b, x, y + h - 1, w, 1, colour);
  Fill(b, x, y, 1, h, colour);
  Fill(b, x + w - 1, y, 1, h, colour);
}

TextStyle UiStyle(const Scale& px, Color colour, int align = kAlignLeft) {
  return TextStyle("Verdana", px(12), colour, align, kStyleNormal);
}

}  // namespace

void LineEdit::Start(std::string initial, size_t max_chars) {
  text = std::move(initial);
  limit = max_chars;
  caret = text.size();
  all_selected = true;
}

LineEdit::Result LineEdit::Key(KeySym key, const std::string& typed) {
  switch (key) {
    case XK_Return:
    case XK_KP_Enter:
      return Result::Commit;
    case XK_Escape:
      return Result::Cancel;
    case XK_Left:
    case XK_KP_Left:
      caret = all_selected ? 0 : PreviousChar(text, caret);
      all_selected = false;
      return Result::Changed;
    case XK_Right:
    case XK_KP_Right:
      caret = all_selected ? text.size() : NextChar(text, caret);
      all_selected = false;
      return Result::Changed;
    case XK_Home:
    case XK_KP_Home:
      caret = 0;
      all_selected = false;
      return Result::Changed;
    case XK_End:
    case XK_KP_End:
      caret = text.size();
      all_selected = false;
      return Result::Changed;
    case XK_BackSpace:
    case XK_Delete:
    case XK_KP_Delete:
      if (all_selected) {
        text.clear();
        caret = 0;
        all_selected = false;
      } else if (key == XK_BackSpace && caret > 0) {
        const size_t from = PreviousChar(text, caret);
        text.erase(from, caret - from);
        caret = from;
      } else if (key != XK_BackSpace && caret < text.size()) {
        text.erase(caret, NextChar(text, caret) - caret);
      }
      return Result::Changed;
    default:
      break;
  }
  bool changed = false;
  for (size_t i = 0; i < typed.size();) {
    const size_t next = NextChar(typed, i);
    const std::string one = typed.substr(i, next - i);
    i = next;
    const auto first = static_cast<unsigned char>(one[0]);
    if (first < 0x20 || first == 0x7F) continue;  // control characters type nothing
    if (accept && (first >= 0x80 || !accept(static_cast<char>(first)))) continue;
    if (all_selected) {
      text.clear();
      caret = 0;
      all_selected = false;
    }
    if (limit && CharCount(text) >= limit) continue;
    text.insert(caret, one);
    caret += one.size();
    changed = true;
  }
  return changed ? Result::Changed : Result::Nothing;
}

void LineEdit::Paint(RasterBitmap& target, TextStyle style, const Rect& area, bool focused) const {
  Fill(target, area.left, area.top, area.Width(), area.Height(), Pixel(style.entry_background));
  const int width = TextWidth(style, text);
  int x = area.left + 2;
  if (style.align == kAlignCenter) x = area.left + (area.Width() - width) / 2;
  if (style.align == kAlignRight) x = area.right - 2 - width;
  const int text_height = std::min(style.size + 4, area.Height());
  const int y = area.top + (area.Height() - text_height) / 2;
  style.align = kAlignLeft;
  style.colour = style.entry_text;
  if (all_selected && !text.empty()) {
    Fill(target, x, y, width, text_height, kHighlight);
    style.colour = Color{255, 255, 255, 255};
  }
  Graphics::DrawTextOn(&target, style, text.c_str(), Rect{x, y, x + width + 1, y + text_height});
  if (focused && !all_selected) {
    const int caret_x = x + TextWidth(style, text.substr(0, caret));
    Fill(target, std::min(caret_x, area.right - 1), y, 1, text_height, Pixel(style.entry_text));
  }
}

// ---- Popup menus

namespace {

constexpr int kItemHeight = 20;
constexpr int kSeparatorHeight = 7;
constexpr int kTextLeft = 22;

struct MenuLevel {
  Scale px;
  PopupMenu* menu = nullptr;
  Window window = 0;
  GC gc = nullptr;
  int x = 0, y = 0, w = 0, h = 0;
  std::vector<int> tops;  // each item's top, plus the bottom
  std::vector<std::string> texts;
  int highlighted = -1;
  int opened = -1;  // the item whose submenu is open
  RasterMemBitmap pixels;
};

std::string ShownText(const PopupMenu& menu, int index) {
  const PopupMenuItem* item = menu.Item(index);
  if (menu.prefix() < 1 || menu.prefix() > 3 || (item->flags & kItemSeparator)) return item->text;
  static const char* const kFormats[] = {"%1d: %s", "%02d: %s", "%03d: %s"};
  std::vector<char> numbered(item->text.size() + 16);
  snprintf(numbered.data(), numbered.size(), kFormats[menu.prefix() - 1], index + 1,
           item->text.c_str());
  return numbered.data();
}

bool Enabled(const PopupMenuItem& item) {
  return !(item.flags & (kItemDisabled | kItemTitle | kItemSeparator));
}

void PaintLevel(Display* display, MenuLevel& level) {
  const Scale& px = level.px;
  RasterBitmap& b = level.pixels;
  Fill(b, 0, 0, level.w, level.h, kPanel);
  Frame(b, 0, 0, level.w, level.h, kBorder);
  for (int i = 0; i < level.menu->NumItems(); ++i) {
    const PopupMenuItem& item = *level.menu->Item(i);
    const int top = level.tops[static_cast<size_t>(i)];
    if (item.flags & kItemSeparator) {
      Fill(b, px(4), top + px(kSeparatorHeight) / 2, level.w - px(8), px(1), kBorder);
      continue;
    }
    const bool lit = i == level.highlighted && (Enabled(item) || item.submenu);
    if (lit) Fill(b, px(2), top, level.w - px(4), px(kItemHeight), kHighlight);
    Color colour = Enabled(item) || item.submenu ? kText : kGreyText;
    if (lit) colour = kLightText;
    const RasterPixel mark = Pixel(colour);
    if (item.flags & kItemChecked) {
      // A small tick: a short stroke down, a long one up.
      for (int k = 0; k < 3; ++k)
        Fill(b, px(6 + k), top + px(9 + k), px(2), px(2), mark);
      for (int k = 0; k < 6; ++k)
        Fill(b, px(9 + k), top + px(11 - k), px(2), px(2), mark);
    }
    if (item.submenu) {
      for (int k = 0; k < 5; ++k)
        Fill(b, level.w - px(14 - k), top + px(5 + k), px(1), px(10 - 2 * k), mark);
    }
    TextStyle style = UiStyle(px, colour);
    if (item.flags & kItemTitle) style.style = kStyleBold;
    Graphics::DrawTextOn(
        &b, style, level.texts[static_cast<size_t>(i)].c_str(),
        Rect{px(kTextLeft), top + px(3), level.w - px(18), top + px(kItemHeight - 2)});
  }
  PutPixels(display, level.window, level.gc, DefaultDepth(display, DefaultScreen(display)), b, 0, 0,
            level.w, level.h);
}

bool OpenLevel(Display* display, const Scale& px, PopupMenu& menu, int x, int y, MenuLevel& level) {
  level.px = px;
  level.menu = &menu;
  level.texts.clear();
  level.tops.clear();
  int width = px(120);
  int top = px(2);
  for (int i = 0; i < menu.NumItems(); ++i) {
    level.texts.push_back(ShownText(menu, i));
    level.tops.push_back(top);
    const PopupMenuItem& item = *menu.Item(i);
    top += px((item.flags & kItemSeparator) ? kSeparatorHeight : kItemHeight);
    TextStyle style = UiStyle(px, kText);
    if (item.flags & kItemTitle) style.style = kStyleBold;
    width = std::max(width, px(kTextLeft) + TextWidth(style, level.texts.back()) + px(30));
  }
  level.tops.push_back(top);
  level.w = width;
  level.h = top + px(2);
  // Kept on the screen: moved left or up when it would run off.
  const int screen = DefaultScreen(display);
  const int sw = DisplayWidth(display, screen);
  const int sh = DisplayHeight(display, screen);
  level.x = std::max(0, std::min(x, sw - level.w));
  level.y = std::max(0, std::min(y, sh - level.h));
  if (!level.pixels.Resize(level.w, level.h)) return false;
  XSetWindowAttributes attributes{};
  attributes.override_redirect = True;
  attributes.save_under = True;
  attributes.event_mask =
      ExposureMask | ButtonPressMask | ButtonReleaseMask | PointerMotionMask | KeyPressMask;
  level.window = XCreateWindow(display, RootWindow(display, screen), level.x, level.y,
                               static_cast<unsigned>(level.w), static_cast<unsigned>(level.h), 0,
                               CopyFromParent, InputOutput, CopyFromParent,
                               CWOverrideRedirect | CWSaveUnder | CWEventMask, &attributes);
  if (!level.window) return false;
  level.gc = XCreateGC(display, level.window, 0, nullptr);
  XMapRaised(display, level.window);
  return true;
}

void CloseLevel(Display* display, MenuLevel& level) {
  if (level.gc) XFreeGC(display, level.gc);
  if (level.window) XDestroyWindow(display, level.window);
  level.gc = nullptr;
  level.window = 0;
}

// The item of `level` at root coordinates (x, y); -1 outside its items, -2 outside the window.
int ItemAt(const MenuLevel& level, int x, int y) {
  if (x < level.x || x >= level.x + level.w || y < level.y || y >= level.y + level.h) return -2;
  const int local = y - level.y;
  for (int i = 0; i < level.menu->NumItems(); ++i) {
    if (local >= level.tops[static_cast<size_t>(i)] &&
        local < level.tops[static_cast<size_t>(i) + 1])
      return i;
  }
  return -1;
}

}  // namespace

PopupMenu* RunPopupMenu(Display* display, Graphics& fonts, PopupMenu& menu, int root_x, int root_y,
                        const OtherEvent& other) {
  if (menu.NumItems() == 0) return nullptr;
  const Scale px{fonts.zoom()};
  std::vector<std::unique_ptr<MenuLevel>> levels;
  auto open = [&](PopupMenu& m, int x, int y) {
    auto level = std::make_unique<MenuLevel>();
    if (!OpenLevel(display, px, m, x, y, *level)) {
      CloseLevel(display, *level);
      return false;
    }
    levels.push_back(std::move(level));
    return true;
  };
  auto close_from = [&](size_t depth) {
    while (levels.size() > depth) {
      CloseLevel(display, *levels.back());
      levels.pop_back();
    }
    if (!levels.empty()) levels.back()->opened = -1;
  };
  if (!open(menu, root_x, root_y)) return nullptr;
  const Window grab_window = levels[0]->window;
  XSync(display, False);
  const unsigned kPointerEvents = ButtonPressMask | ButtonReleaseMask | PointerMotionMask;
  XGrabPointer(display, grab_window, True, kPointerEvents, GrabModeAsync, GrabModeAsync, None, None,
               CurrentTime);
  XGrabKeyboard(display, grab_window, True, GrabModeAsync, GrabModeAsync, CurrentTime);
  // Named once it takes input, so that tools (and tests) that look for it find it ready.
  XStoreName(display, grab_window, kMenuWindowName);

  // Opens the submenu of item `index` of level `depth` beside it, closing deeper levels.
  auto open_submenu = [&](size_t depth, int index) {
    MenuLevel& level = *levels[depth];
    if (level.opened == index) return;
    close_from(depth + 1);
    const PopupMenuItem* item = level.menu->Item(index);
    if (!item || !item->submenu || (item->flags & kItemDisabled) || item->submenu->NumItems() == 0)
      return;
    if (open(*item->submenu, level.x + level.w - px(3),
             level.y + level.tops[static_cast<size_t>(index)])) {
      levels[depth]->opened = index;
      XStoreName(display, levels.back()->window, kSubmenuWindowName);
    }
  };
  auto find = [&](int x, int y, size_t* depth) {
    for (size_t d = levels.size(); d-- > 0;) {
      const int item = ItemAt(*levels[d], x, y);
      if (item != -2) {
        *depth = d;
        return item;
      }
    }
    return -2;
  };
  auto repaint = [&] {
    for (auto& level : levels)
      PaintLevel(display, *level);
  };
  // The release of the very press that opened the menu lands on it when the menu opens over
  // the pointer (pushed up at the bottom of the screen). A release chooses only once a press
  // began in the menu or the pointer has moved onto another item than the one it opened on.
  bool armed = false;
  size_t start_depth = 0;
  int start_item = -2;
  {
    Window root = 0, child = 0;
    int x = 0, y = 0, wx = 0, wy = 0;
    unsigned mask = 0;
    if (XQueryPointer(display, grab_window, &root, &child, &x, &y, &wx, &wy, &mask))
      start_item = find(x, y, &start_depth);
  }

  PopupMenu* chosen = nullptr;
  bool done = false;
  while (!done) {
    XEvent event;
    XNextEvent(display, &event);
    MenuLevel* target = nullptr;
    for (auto& level : levels) {
      if (level->window == event.xany.window) target = level.get();
    }
    switch (event.type) {
      case Expose:
        if (target) {
          if (event.xexpose.count == 0) PaintLevel(display, *target);
        } else {
          other(event);
        }
        break;
      case MotionNotify: {
        SkipToLastMotion(display, event.xany.window, event);
        size_t depth = 0;
        const int item = find(event.xmotion.x_root, event.xmotion.y_root, &depth);
        if (item == -2) break;
        if (item >= 0 && (item != start_item || depth != start_depth)) armed = true;
        levels[depth]->highlighted = item;
        if (item >= 0 && levels[depth]->menu->Item(item)->submenu) {
          open_submenu(depth, item);
        } else {
          close_from(depth + 1);
        }
        repaint();
        break;
      }
      case ButtonPress: {
        size_t depth = 0;
        if (find(event.xbutton.x_root, event.xbutton.y_root, &depth) == -2) {
          done = true;
        } else {
          armed = true;
        }
        break;
      }
      case ButtonRelease: {
        if (event.xbutton.button > 3 || !armed) break;
        size_t depth = 0;
        const int item = find(event.xbutton.x_root, event.xbutton.y_root, &depth);
        if (item < 0) break;
        PopupMenuItem* picked = levels[depth]->menu->Item(item);
        if (picked->IsChoosable()) {
          chosen = levels[depth]->menu;
          chosen->set_chosen(item);
          done = true;
        } else if (picked->submenu) {
          open_submenu(depth, item);
          repaint();
        }
        break;
      }
      case KeyPress: {
        KeySym key = 0;
        TypedText(event.xkey, &key);
        MenuLevel& level = *levels.back();
        const int n = level.menu->NumItems();
        if (key == XK_Escape) {
          done = true;
        } else if (key == XK_Up || key == XK_Down) {
          const int step = key == XK_Up ? -1 : 1;
          int i = level.highlighted;
          for (int tries = 0; tries < n; ++tries) {
            i = i < 0 ? (step > 0 ? 0 : n - 1) : (i + step + n) % n;
            if (!(level.menu->Item(i)->flags & kItemSeparator)) break;
          }
          level.highlighted = i;
          repaint();
        } else if (key == XK_Left && levels.size() > 1) {
          close_from(levels.size() - 1);
          repaint();
        } else if ((key == XK_Right || key == XK_Return || key == XK_KP_Enter) &&
                   level.highlighted >= 0) {
          PopupMenuItem* item = level.menu->Item(level.highlighted);
          if (item->submenu) {
            open_submenu(levels.size() - 1, level.highlighted);
            if (levels.size() > 1 && levels.back()->menu == item->submenu.get())
              levels.back()->highlighted = 0;
            repaint();
          } else if (key != XK_Right && item->IsChoosable()) {
            chosen = level.menu;
            chosen->set_chosen(level.highlighted);
            done = true;
          }
        }
        break;
      }
      default:
        if (!target) other(event);
        break;
    }
  }
  XUngrabKeyboard(display, CurrentTime);
  XUngrabPointer(display, CurrentTime);
  close_from(0);
  XSync(display, False);
  return chosen;
}

// ---- Dialogs

namespace {

constexpr int kPad = 16;
constexpr int kLineHeight = 18;
constexpr int kButtonWidth = 84;
constexpr int kButtonHeight = 26;
constexpr int kFieldHeight = 24;
constexpr int kIconSize = 32;

// Tabs expanded to stops every eight characters, as message boxes show them.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines(1);
  size_t column = 0;
  for (char c : text) {
    if (c == '\n') {
      lines.emplace_back();
      column = 0;
    } else if (c == '\t') {
      do {
        lines.back() += ' ';
        ++column;
      } while (column % 8 != 0);
    } else if (c != '\r') {
      lines.back() += c;
      if (!IsContinuation(c)) ++column;
    }
  }
  return lines;
}

// In pixels, from the lengths above at the editor's zoom.
struct DialogLayout {
  Scale px;
  int w = 0, h = 0;
  int text_left = 0;
  Rect field;
  std::vector<Rect> buttons;
};

void PaintDialog(Display* display, Window window, GC gc, const DialogSpec& desc,
                 const std::vector<std::string>& lines, const DialogLayout& layout,
                 const LineEdit& edit, int pressed, RasterMemBitmap& b) {
  const Scale& px = layout.px;
  Fill(b, 0, 0, layout.w, layout.h, kPanel);
  if (desc.icon != DialogSpec::Icon::Plain) {
    const bool error = desc.icon == DialogSpec::Icon::Error;
    Fill(b, px(kPad), px(kPad), px(kIconSize), px(kIconSize),
         error ? RasterMakePixel(255, 200, 40, 40) : RasterMakePixel(255, 40, 90, 200));
    TextStyle mark("Verdana", px(22), kLightText, kAlignCenter, kStyleBold);
    Graphics::DrawTextOn(&b, mark, error ? "!" : "i",
                         Rect{px(kPad), px(kPad + 3), px(kPad + kIconSize), px(kPad + kIconSize)});
  }
  for (size_t i = 0; i < lines.size(); ++i) {
    TextStyle style = UiStyle(px, kText);
    const int top = px(kPad + static_cast<int>(i) * kLineHeight);
    Graphics::DrawTextOn(&b, style, lines[i].c_str(),
                         Rect{layout.text_left, top, layout.w - px(kPad), top + px(kLineHeight)});
  }
  if (desc.field) {
    Frame(b, layout.field.left - 1, layout.field.top - 1, layout.field.Width() + 2,
          layout.field.Height() + 2, kBorder);
    edit.Paint(b, UiStyle(px, kText), layout.field, true);
  }
  for (size_t i = 0; i < layout.buttons.size(); ++i) {
    const Rect& r = layout.buttons[i];
    Fill(b, r.left, r.top, r.Width(), r.Height(),
         static_cast<int>(i) == pressed ? RasterMakePixel(255, 190, 190, 190)
                                        : RasterMakePixel(255, 250, 250, 250));
    Frame(b, r.left, r.top, r.Width(), r.Height(), i == 0 ? kHighlight : kBorder);
    TextStyle style = UiStyle(px, kText, kAlignCenter);
    Graphics::DrawTextOn(&b, style, desc.buttons[i].c_str(),
                         Rect{r.left, r.top + px(6), r.right, r.bottom});
  }
  PutPixels(display, window, gc, DefaultDepth(display, DefaultScreen(display)), b, 0, 0, layout.w,
            layout.h);
}

Atom AtomOf(Display* display, const char* name) {
  return XInternAtom(display, name, False);
}

}  // namespace

int RunDialog(Display* display, Window owner, Graphics& fonts, const DialogSpec& desc,
              const OtherEvent& other) {
  const int last = static_cast<int>(desc.buttons.size()) - 1;
  if (last < 0) return -1;
  const std::vector<std::string> lines = Lines(desc.text);
  DialogLayout layout;
  const Scale& px = layout.px = Scale{fonts.zoom()};
  const bool icon = desc.icon != DialogSpec::Icon::Plain;
  layout.text_left = px(icon ? kPad + kIconSize + kPad : kPad);
  int text_width = 0;
  for (const std::string& line : lines)
    text_width = std::max(text_width, TextWidth(UiStyle(px, kText), line));
  const int buttons_width = (last + 1) * px(kButtonWidth + 8);
  layout.w = std::max({layout.text_left + text_width + px(kPad), buttons_width + 2 * px(kPad),
                       px(desc.field ? 460 : 260)});
  int y =
      px(kPad + std::max(static_cast<int>(lines.size()) * kLineHeight, icon ? kIconSize : 0) + 12);
  if (desc.field) {
    layout.field = Rect{px(kPad), y, layout.w - px(kPad), y + px(kFieldHeight)};
    y += px(kFieldHeight + 14);
  }
  int x = layout.w - px(kPad) - buttons_width + px(8);
  for (int i = 0; i <= last; ++i) {
    layout.buttons.push_back(Rect{x, y, x + px(kButtonWidth), y + px(kButtonHeight)});
    x += px(kButtonWidth + 8);
  }
  layout.h = y + px(kButtonHeight + kPad);
  RasterMemBitmap pixels(layout.w, layout.h);
  if (pixels.IsEmpty()) return last;

  // Centred over the owner, else on the screen.
  const int screen = DefaultScreen(display);
  int cx = DisplayWidth(display, screen) / 2, cy = DisplayHeight(display, screen) / 2;
  XWindowAttributes owner_attributes;
  if (owner && XGetWindowAttributes(display, owner, &owner_attributes)) {
    cx = owner_attributes.x + owner_attributes.width / 2;
    cy = owner_attributes.y + owner_attributes.height / 2;
  }
  XSetWindowAttributes attributes{};
  attributes.event_mask =
      ExposureMask | ButtonPressMask | ButtonReleaseMask | KeyPressMask | StructureNotifyMask;
  const Window window =
      XCreateWindow(display, RootWindow(display, screen), std::max(0, cx - layout.w / 2),
                    std::max(0, cy - layout.h / 2), static_cast<unsigned>(layout.w),
                    static_cast<unsigned>(layout.h), 0, CopyFromParent, InputOutput, CopyFromParent,
                    CWEventMask, &attributes);
  if (!window) return last;
  GC gc = XCreateGC(display, window, 0, nullptr);
  XStoreName(display, window, desc.caption.c_str());
  XChangeProperty(display, window, AtomOf(display, "_NET_WM_NAME"), AtomOf(display, "UTF8_STRING"),
                  8, PropModeReplace, reinterpret_cast<const unsigned char*>(desc.caption.data()),
                  static_cast<int>(desc.caption.size()));
  if (owner) XSetTransientForHint(display, window, owner);
  Atom type = AtomOf(display, "_NET_WM_WINDOW_TYPE_DIALOG");
  XChangeProperty(display, window, AtomOf(display, "_NET_WM_WINDOW_TYPE"), XA_ATOM, 32,
                  PropModeReplace, reinterpret_cast<unsigned char*>(&type), 1);
  Atom modal = AtomOf(display, "_NET_WM_STATE_MODAL");
  XChangeProperty(display, window, AtomOf(display, "_NET_WM_STATE"), XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(&modal), 1);
  XSizeHints* hints = XAllocSizeHints();
  if (hints) {
    hints->flags = PMinSize | PMaxSize;
    hints->min_width = hints->max_width = layout.w;
    hints->min_height = hints->max_height = layout.h;
    XSetWMNormalHints(display, window, hints);
    XFree(hints);
  }
  Atom delete_window = AtomOf(display, "WM_DELETE_WINDOW");
  XSetWMProtocols(display, window, &delete_window, 1);
  XMapRaised(display, window);

  LineEdit edit;
  if (desc.field) edit.Start(*desc.field, 0);
  int result = -1;
  int pressed = -1;
  auto button_at = [&](int px, int py) {
    for (size_t i = 0; i < layout.buttons.size(); ++i) {
      if (layout.buttons[i].Contains(px, py)) return static_cast<int>(i);
    }
    return -1;
  };
  auto paint = [&] {
    PaintDialog(display, window, gc, desc, lines, layout, edit, pressed, pixels);
  };
  while (result < 0) {
    XEvent event;
    XNextEvent(display, &event);
    if (event.xany.window != window) {
      other(event);
      continue;
    }
    switch (event.type) {
      case MapNotify:
        XSetInputFocus(display, window, RevertToParent, CurrentTime);
        break;
      case Expose:
        if (event.xexpose.count == 0) paint();
        break;
      case ButtonPress:
        if (event.xbutton.button == 1) {
          pressed = button_at(event.xbutton.x, event.xbutton.y);
          paint();
        }
        break;
      case ButtonRelease:
        if (event.xbutton.button == 1) {
          if (pressed >= 0 && button_at(event.xbutton.x, event.xbutton.y) == pressed)
            result = pressed;
          pressed = -1;
          paint();
        }
        break;
      case KeyPress: {
        KeySym key = 0;
        const std::string typed = TypedText(event.xkey, &key);
        if (key == XK_Return || key == XK_KP_Enter) {
          result = 0;
        } else if (key == XK_Escape) {
          result = last;
        } else if (desc.field) {
          if (edit.Key(key, typed) == LineEdit::Result::Changed) paint();
        }
        break;
      }
      case ClientMessage:
        if (static_cast<Atom>(event.xclient.data.l[0]) == delete_window) result = last;
        break;
      default:
        break;
    }
  }
  if (desc.field) *desc.field = edit.text;
  XFreeGC(display, gc);
  XDestroyWindow(display, window);
  XSync(display, False);
  return result;
}

// ---- Screen density

double ResourceDpi(const char* resources) {
  if (!resources) return 0.0;
  // Lines "name:\tvalue"; the last setting of a name is the one that holds.
  double dpi = 0.0;
  const std::string text = resources;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(start, end - start);
    start = end + 1;
    const size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    std::string name = line.substr(0, colon);
    while (!name.empty() && (name.back() == ' ' || name.back() == '\t'))
      name.pop_back();
    if (name != "Xft.dpi") continue;
    double value = 0.0;
    if (ReadLeadingNumber(std::string_view(line).substr(colon + 1), &value) > 0) dpi = value;
  }
  return dpi;
}

int ZoomForDpi(double dpi) {
  if (!(dpi > 0.0) || !std::isfinite(dpi)) return 0;
  return NearestZoomPercent(dpi / 96.0);
}

}  // namespace vantor::x11
