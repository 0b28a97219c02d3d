// The editor's value types: rectangles, colours, text styles, bitmap references, mouse state,
// blend modes, popup menus and key codes.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "editor/raster/raster_bitmap.h"

namespace vantor {

class RasterBitmap;
class RasterCachedFont;

// Right and bottom are exclusive. All four values 0 is the empty rectangle: it contains no point,
// intersects nothing, and vanishes in a union.
struct Rect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;

  int32_t Width() const { return right - left; }
  int32_t Height() const { return bottom - top; }
  bool IsEmpty() const { return left == 0 && top == 0 && right == 0 && bottom == 0; }
  bool Contains(int x, int y) const {
    return !IsEmpty() && left <= x && x < right && top <= y && y < bottom;
  }
  bool Intersects(const Rect& r) const {
    return !IsEmpty() && !r.IsEmpty() && std::max(left, r.left) < std::min(right, r.right) &&
           std::max(top, r.top) < std::min(bottom, r.bottom);
  }
  Rect Union(const Rect& r) const {
    if (IsEmpty()) return r;
    if (r.IsEmpty()) return *this;
    return {std::min(left, r.left), std::min(top, r.top), std::max(right, r.right),
            std::max(bottom, r.bottom)};
  }
  // The overlap, or the empty rectangle.
  Rect Intersect(const Rect& r) const {
    if (!Intersects(r)) return {};
    return {std::max(left, r.left), std::max(top, r.top), std::min(right, r.right),
            std::min(bottom, r.bottom)};
  }
  bool operator==(const Rect&) const = default;
};

struct Color {
  int32_t a = 255;
  int32_t r = 0;
  int32_t g = 0;
  int32_t b = 0;

  // As one raster pixel: alpha in the top byte, then red, green, blue.
  RasterPixel Pixel() const { return RasterMakePixel(a, r, g, b); }
  bool operator==(const Color&) const = default;
};

enum TextAlign : int32_t { kAlignLeft = 0, kAlignCenter = 1, kAlignRight = 2 };
enum TextStyleKind : int32_t { kStyleNormal = 0, kStyleBold = 1, kStyleItalic = 2 };
enum TextQuality : int32_t {
  kQualityDefault = 0,
  kQualityNonAntialiased = 1,
  kQualityAntialiased = 2,
  kQualityClearType = 3,
};

struct TextStyle {
  char face[32] = "Verdana";
  int32_t size = 12;  // pixel height
  Color colour{255, 0, 0, 0};
  Color entry_background{255, 255, 255, 255};
  Color entry_text{255, 0, 0, 0};
  int32_t style = kStyleNormal;
  int32_t align = kAlignCenter;
  int32_t orientation = 0;  // degrees counter-clockwise
  int32_t quality = kQualityDefault;
  RasterCachedFont* cached_font = nullptr;  // from the FontCache, found on first use

  TextStyle() = default;
  TextStyle(const char* face_name, int32_t pixel_size, Color text_colour,
            int32_t alignment = kAlignCenter, int32_t kind = kStyleNormal);
};

// A bitmap of the BitmapStore with its frame layout. The bitmap may be null (failed to load);
// drawing it then does nothing.
struct BitmapRef {
  RasterBitmap* bitmap = nullptr;
  int32_t width = 0;
  int32_t height = 0;
  int32_t frames = 1;
  bool side_by_side = false;  // false: frames stacked top to bottom

  int32_t FrameWidth() const { return side_by_side && frames > 0 ? width / frames : width; }
  int32_t FrameHeight() const { return !side_by_side && frames > 0 ? height / frames : height; }
};

struct MouseMods {
  bool left = false;
  bool right = false;
  bool shift = false;
  bool control = false;
  bool alt = false;

  bool Fine() const { return shift || control; }  // fine adjustment is either modifier
};

enum BlendMethod : int32_t {
  kBlendNone = 0,  // alpha blend by the bitmap's own alpha
  kBlendCopy = 1,
  kBlendAdd = 2,
  kBlendDodge = 3,
};

struct BlendMode {
  int32_t method = kBlendNone;
  float weight = 1.0f;
};

class PopupMenu;

enum PopupItemFlags : int32_t {
  kItemDisabled = 1,
  kItemTitle = 2,
  kItemChecked = 4,
  kItemSeparator = 8,
};

struct PopupMenuItem {
  std::string text;
  std::unique_ptr<PopupMenu> submenu;
  int32_t flags = 0;

  // An item the user can pick: not a separator, title, disabled item or submenu.
  bool IsChoosable() const;
};

class PopupMenu {
 public:
  explicit PopupMenu(int32_t prefix = 0) : prefix_(prefix) {}

  // Inserts at `position`; negative counts as 0 except -1, which appends, as does a position
  // beyond the end. Returns the new item.
  PopupMenuItem* InsertItem(std::string text, int32_t flags = 0, int32_t position = -1);
  PopupMenuItem* AddItem(std::string text, int32_t flags = 0) {
    return InsertItem(std::move(text), flags);
  }
  PopupMenuItem* AddSubmenu(std::string text, std::unique_ptr<PopupMenu> submenu);
  PopupMenuItem* AddSeparator() { return InsertItem("", kItemSeparator); }

  int32_t NumItems() const { return static_cast<int32_t>(items_.size()); }
  // Null outside 0 .. NumItems() - 1.
  PopupMenuItem* Item(int32_t index);
  const PopupMenuItem* Item(int32_t index) const;
  // 0 none; 1, 2 or 3 digits of numbering in front of each item.
  int32_t prefix() const { return prefix_; }
  void set_prefix(int32_t prefix) { prefix_ = prefix; }
  int32_t chosen() const { return chosen_; }
  void set_chosen(int32_t index) { chosen_ = index; }

 private:
  int32_t prefix_ = 0;
  int32_t chosen_ = -1;
  std::vector<std::unique_ptr<PopupMenuItem>> items_;
};

// Keys as the window hands them to the editor.
enum EditorKey : int32_t {
  kKeySpace = 0,
  kKeyUp = 1,
  kKeyDown = 2,
  kKeyLeft = 3,
  kKeyRight = 4,
  kKeyDigit0 = 5,    // .. kKeyDigit0 + 9
  kKeyLetterA = 15,  // .. kKeyLetterA + 25
};

}  // namespace vantor
