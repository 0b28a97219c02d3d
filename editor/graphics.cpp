// Graphics: control list, drawing, input dispatch and parameter binding.
#include "editor/graphics.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <utility>

#include "core/number_text.h"
#include "core/plugin_base.h"
#include "editor/editor_caches.h"
#include "editor/raster/raster_blit.h"
#include "editor/raster/raster_font.h"
#include "editor/raster/raster_png.h"
#include "editor/raster/raster_scale.h"

namespace vantor {
namespace {

int RasterModeFor(const BlendMode& blend) {
  switch (blend.method) {
    case kBlendCopy:
      return kRasterCopy;
    case kBlendAdd:
      return kRasterAdd | kRasterUseSourceAlpha;
    case kBlendDodge:
      return kRasterDodge | kRasterUseSourceAlpha;
    default:
      return kRasterCopy | kRasterUseSourceAlpha;
  }
}

RasterRect ToRaster(const Rect& r) {
  return {r.left, r.top, r.right, r.bottom};
}

// Said once per process: a missing font would otherwise be reported on every frame.
void ReportFontFailure(const std::string& error) {
  static std::once_flag once;
  std::call_once(once, [&] { fprintf(stderr, "Vantor: %s\n", error.c_str()); });
}

}  // namespace

TextStyle::TextStyle(const char* face_name, int32_t pixel_size, Color text_colour,
                     int32_t alignment, int32_t kind)
    : size(pixel_size), colour(text_colour), style(kind), align(alignment) {
  CopyString(face, face_name, sizeof face);
}

bool PopupMenuItem::IsChoosable() const {
  return !submenu && !(flags & (kItemDisabled | kItemTitle | kItemSeparator));
}

PopupMenuItem* PopupMenu::InsertItem(std::string text, int32_t flags, int32_t position) {
  auto item = std::make_unique<PopupMenuItem>();
  item->text = std::move(text);
  item->flags = flags;
  if (position == -1 || position > NumItems()) position = NumItems();
  if (position < 0) position = 0;
  return items_.insert(items_.begin() + position, std::move(item))->get();
}

PopupMenuItem* PopupMenu::AddSubmenu(std::string text, std::unique_ptr<PopupMenu> submenu) {
  PopupMenuItem* item = InsertItem(std::move(text));
  item->submenu = std::move(submenu);
  return item;
}

PopupMenuItem* PopupMenu::Item(int32_t index) {
  return index >= 0 && index < NumItems() ? items_[static_cast<size_t>(index)].get() : nullptr;
}

const PopupMenuItem* PopupMenu::Item(int32_t index) const {
  return index >= 0 && index < NumItems() ? items_[static_cast<size_t>(index)].get() : nullptr;
}

Graphics::Graphics(PluginBase* plugin) : plugin_(plugin) {}

Graphics::~Graphics() = default;

// ---- Controls

int Graphics::AddControl(std::unique_ptr<Control> control) {
  if (!control) return -1;
  control->set_graphics(this);
  // The parameter path walks the list under the plug-in object's lock.
  std::unique_lock<std::recursive_mutex> lock;
  if (plugin_) lock = std::unique_lock(plugin_->mutex());
  Bind(control.get(), control->param_index(), -1);
  for (int aux = 0; aux < control->NumAuxParams(); ++aux) {
    // A parameter bound twice among the aux slots reaches only the first.
    const int32_t index = control->AuxParamIndex(aux);
    bool earlier = false;
    for (int before = 0; before < aux; ++before)
      earlier = earlier || control->AuxParamIndex(before) == index;
    if (!earlier) Bind(control.get(), index, aux);
  }
  controls_.push_back(std::move(control));
  return NumControls() - 1;
}

void Graphics::Bind(Control* control, int32_t index, int aux) {
  if (index < 0) return;
  if (bindings_.size() <= static_cast<size_t>(index))
    bindings_.resize(static_cast<size_t>(index) + 1);
  bindings_[static_cast<size_t>(index)].push_back({control, aux});
}

void Graphics::RemoveAllControls() {
  EndGesture();
  mouse_capture_ = mouse_over_ = -1;
  last_x_ = last_y_ = -1;
  key_catcher_ = nullptr;
  std::vector<std::unique_ptr<Control>> old;  // deleted after the lock is released
  std::unique_lock<std::recursive_mutex> lock;
  if (plugin_) lock = std::unique_lock(plugin_->mutex());
  old.swap(controls_);
  bindings_.clear();
}

Control* Graphics::GetControl(int index) const {
  return index >= 0 && index < NumControls() ? controls_[static_cast<size_t>(index)].get()
                                             : nullptr;
}

void Graphics::SetAllControlsDirty() {
  for (auto& control : controls_)
    control->MarkDirty(false);
}

// ---- Parameter binding

void Graphics::SetControlsFromParameter(int index, double value, bool normalised) {
  if (index < 0) return;
  std::unique_lock<std::recursive_mutex> lock;
  if (plugin_) lock = std::unique_lock(plugin_->mutex());
  if (!normalised) {
    const PluginParam* param = plugin_ ? plugin_->Param(index) : nullptr;
    if (!param) return;
    value = param->ToNormalized(value);
  }
  if (static_cast<size_t>(index) >= bindings_.size()) return;
  for (const Binding& binding : bindings_[static_cast<size_t>(index)]) {
    if (binding.aux < 0) {
      binding.control->SetValueFromPlugin(value);
    } else {
      binding.control->SetAuxValueFromPlugin(binding.aux, value);
    }
  }
}

void Graphics::PrepareDrawing() {
  if (!drawing_bitmap_) drawing_bitmap_ = std::make_unique<RasterSysBitmap>();
  drawing_bitmap_->Resize(Width(), Height());
}

void Graphics::Resize(int width, int height) {
  width_ = width;
  height_ = height;
  RemoveAllControls();
  drawing_bitmap_ = std::make_unique<RasterSysBitmap>(Width(), Height());
  if (plugin_) plugin_->EditorResized(Width(), Height());
}

void Graphics::SetZoom(int percent) {
  if (!IsZoomPercent(percent) || percent == zoom_) return;
  zoom_ = percent;
  // A new bitmap rather than a resized one: the old pixels would be of the old zoom.
  drawing_bitmap_ = std::make_unique<RasterSysBitmap>(Width(), Height());
  ResetMouseCapture();
  SetAllControlsDirty();
  if (plugin_) plugin_->EditorResized(Width(), Height());
}

// ---- Bitmaps

BitmapRef Graphics::LoadBitmapResource(int id, const char* name, int frames) {
  BitmapStore& store = BitmapStore::Instance();
  RasterBitmap* bitmap = store.Find(id);
  if (!bitmap) bitmap = store.Add(id, LoadPlatformBitmap(id, name));
  BitmapRef ref;
  ref.bitmap = bitmap;
  // Drawn for this zoom: its units are its pixels at the zoom, rounded.
  auto units = [this](int pixels) { return (pixels * 100 + zoom_ / 2) / zoom_; };
  ref.width = bitmap ? units(bitmap->Width()) : 0;
  ref.height = bitmap ? units(bitmap->Height()) : 0;
  ref.frames = std::max(frames, 1);
  return ref;
}

BitmapRef Graphics::LoadBitmapFile(const char* path, int frames) {
  BitmapRef ref;
  ref.frames = std::max(frames, 1);
  std::unique_ptr<RasterMemBitmap> image = LoadPngFile(path);
  if (!image || image->IsEmpty()) return ref;
  ref.width = image->Width();
  ref.height = image->Height();
  if (zoom_ != 100) {
    // A frame of h units is UnitsToPixels(h) pixels, so frames stay whole and aligned.
    const int frame_height = ref.height % ref.frames == 0 ? ref.height / ref.frames : ref.height;
    const int pixel_height = ref.height % ref.frames == 0
                                 ? UnitsToPixels(frame_height, zoom_) * ref.frames
                                 : UnitsToPixels(ref.height, zoom_);
    image = ResampleBitmap(*image, UnitsToPixels(ref.width, zoom_), pixel_height, ref.frames);
    if (!image) return BitmapRef{nullptr, 0, 0, ref.frames, false};
  }
  ref.bitmap = BitmapStore::Instance().Add(BitmapStore::kFileBitmapId, std::move(image));
  return ref;
}

std::unique_ptr<RasterBitmap> Graphics::DecodePngResource(const char* name, const uint8_t* bytes,
                                                          size_t length) {
  const char* dot = name ? strrchr(name, '.') : nullptr;
  if (!dot || strlen(dot) != 4) return nullptr;
  for (int i = 0; i < 3; ++i)
    if (std::tolower(static_cast<unsigned char>(dot[1 + i])) != "png"[i]) return nullptr;
  return LoadPngMemory(bytes, length);
}

// ---- Drawing

void Graphics::DrawBitmap(const BitmapRef& bitmap, const Rect& dest, int src_x, int src_y,
                          const BlendMode* blend) {
  DrawPixels(bitmap, UnitsToPixels(dest, zoom_), UnitsToPixels(src_x, zoom_),
             UnitsToPixels(src_y, zoom_), blend);
}

void Graphics::DrawPixels(const BitmapRef& bitmap, const Rect& dest, int src_x, int src_y,
                          const BlendMode* blend) {
  if (!bitmap.bitmap || !drawing_bitmap_) return;
  const Rect clipped = dest.Intersect(draw_area_);
  if (clipped.IsEmpty()) return;
  const BlendMode mode = blend ? *blend : BlendMode{};
  // The source origin moves by as much as the destination was cut.
  const RasterRect source{src_x + clipped.left - dest.left, src_y + clipped.top - dest.top,
                          src_x + clipped.right - dest.left, src_y + clipped.bottom - dest.top};
  Blit(drawing_bitmap_.get(), bitmap.bitmap, clipped.left, clipped.top, &source, mode.weight,
       RasterModeFor(mode));
}

void Graphics::DrawBitmapFrame(const BitmapRef& bitmap, const Rect& dest, int frame,
                               const BlendMode* blend) {
  if (!bitmap.bitmap) return;
  // The offset is taken from the image's own pixels, where its frames lie at any zoom.
  int x = 0;
  int y = 0;
  const int n = bitmap.frames;
  if (n >= 2 && frame >= 2) {
    if (bitmap.side_by_side) {
      x = static_cast<int>(
          std::trunc(static_cast<double>(bitmap.bitmap->Width()) * (frame - 1) / n + 0.5));
    } else {
      y = static_cast<int>(
          std::trunc(static_cast<double>(bitmap.bitmap->Height()) * (frame - 1) / n + 0.5));
    }
  }
  DrawPixels(bitmap, UnitsToPixels(dest, zoom_), x, y, blend);
}

namespace {

// The style's font at a pixel size: its cached one when it is of that size, one of the
// process-wide cache, or a new one; null when no font can be made.
RasterCachedFont* FontFor(TextStyle& style, int size) {
  if (style.cached_font && style.cached_font->GetFontHandle() &&
      style.cached_font->GetFontHandle()->desc().size == size)
    return style.cached_font;
  FontCache& cache = FontCache::Instance();
  RasterCachedFont* font = cache.Find(size, style.orientation, style.style, style.face);
  if (!font) {
    RasterFontSpec desc;
    desc.face = style.face;
    desc.size = size;
    desc.bold = style.style == kStyleBold;
    desc.italic = style.style == kStyleItalic;
    desc.orientation = style.orientation;
    desc.antialiased = style.quality != kQualityNonAntialiased;
    std::string error;
    std::unique_ptr<RasterFontFace> face = RasterFontFace::Create(desc, &error);
    if (!face) {
      ReportFontFailure(error);
      return nullptr;
    }
    font = cache.Add(size, style.orientation, style.style, style.face,
                     std::make_unique<RasterCachedFont>(face.release(),
                                                        kRasterFontOwnsHandle | kRasterFontNative));
  }
  style.cached_font = font;
  return font;
}

// Moves `rect` to a measured width and height as the alignment places the text.
void PlaceMeasured(int align, int w, int h, Rect& rect) {
  if (align == kAlignCenter) {
    rect.left = (rect.left + rect.right) / 2 - w / 2;
    rect.right = rect.left + w;
  } else if (align == kAlignRight) {
    rect.left = rect.right - w;
  } else {
    rect.right = rect.left + w;
  }
  rect.bottom = rect.top + h;
}

int TextFlags(int align) {
  if (align == kAlignCenter) return kRasterTextCenter;
  if (align == kAlignRight) return kRasterTextRight;
  return kRasterTextLeft;
}

}  // namespace

bool Graphics::DrawText(TextStyle& style, const char* text, const Rect& rect) {
  if (!text || !text[0] || !drawing_bitmap_) return false;
  RasterCachedFont* font = FontFor(style, ZoomedTextSize(style.size));
  if (!font) return false;
  const Color& c = style.colour;
  const std::unique_lock lock = font->Lock();  // the font may be shared with other editors
  font->SetTextColor(c.Pixel());
  font->SetCombineMode(c.a == 255 ? kRasterCopy : kRasterCopy | kRasterUseSourceAlpha, 1.0f);
  // Unclipped by its rectangle, but kept within the area being redrawn (within the control
  // being drawn), so that nothing is left in the drawing bitmap that a later redraw of that
  // area would not repaint.
  RasterRect area = ToRaster(draw_area_);
  font->set_clip(&area);
  RasterRect r = ToRaster(UnitsToPixels(rect, zoom_));
  font->DrawText(drawing_bitmap_.get(), text, -1, &r, TextFlags(style.align) | kRasterTextNoClip);
  font->set_clip(nullptr);
  return true;
}

bool Graphics::DrawTextOn(RasterBitmap* target, TextStyle& style, const char* text,
                          const Rect& rect) {
  if (!target || !text || !text[0]) return false;
  RasterCachedFont* font = FontFor(style, style.size);
  if (!font) return false;
  const std::unique_lock lock = font->Lock();
  font->SetTextColor(style.colour.Pixel());
  font->SetCombineMode(kRasterCopy, 1.0f);
  RasterRect area{0, 0, target->Width(), target->Height()};
  font->set_clip(&area);
  RasterRect r = ToRaster(rect);
  font->DrawText(target, text, -1, &r, TextFlags(style.align) | kRasterTextNoClip);
  font->set_clip(nullptr);
  return true;
}

namespace {

// The size in pixels a text takes in a font; false without a font or a text.
bool TextPixels(RasterCachedFont* font, const char* text, int* width, int* height) {
  if (!font || !text) return false;
  RasterRect r{0, 0, 0, 0};
  const std::unique_lock lock = font->Lock();
  font->DrawText(nullptr, text, -1, &r, kRasterTextCalcRect);
  *width = r.right;
  *height = r.bottom;
  return true;
}

}  // namespace

bool Graphics::MeasureTextPixels(TextStyle& style, const char* text, Rect& rect) {
  int w = 0, h = 0;
  if (!TextPixels(FontFor(style, style.size), text, &w, &h)) return false;
  PlaceMeasured(style.align, w, h, rect);
  return true;
}

bool Graphics::MeasureText(TextStyle& style, const char* text, Rect& rect) {
  int w = 0, h = 0;
  if (!TextPixels(FontFor(style, ZoomedTextSize(style.size)), text, &w, &h)) return false;
  // The units the zoomed text covers, rounded up.
  auto units = [this](int pixels) { return pixels > 0 ? ToUnits(pixels - 1) + 1 : 0; };
  PlaceMeasured(style.align, units(w), units(h), rect);
  return true;
}

// ---- Input

int Graphics::HitControl(int x, int y, bool mouse_over) const {
  for (int i = NumControls() - 1; i >= 0; --i) {
    const Control& c = *controls_[static_cast<size_t>(i)];
    if (c.hidden()) continue;
    if (c.grayed() && !(mouse_over && c.mouse_over_when_grayed())) continue;
    if (c.HitTest(x, y)) return i;
  }
  return -1;
}

int Graphics::Target(int x, int y) const {
  return mouse_capture_ >= 0 ? mouse_capture_ : HitControl(x, y, false);
}

void Graphics::BeginGesture(Control* control) {
  EndGesture();
  if (!control->IsBound()) return;
  gesture_param_ = control->param_index();
  plugin_->BeginParamEdit(gesture_param_);
}

void Graphics::EndGesture() {
  if (gesture_param_ < 0) return;
  const int index = std::exchange(gesture_param_, -1);
  if (plugin_) plugin_->EndParamEdit(index);
}

void Graphics::ResetMouseCapture() {
  mouse_capture_ = -1;
  last_x_ = last_y_ = -1;
}

void Graphics::HandleMouseDown(int px, int py, const MouseMods& mods) {
  const int x = ToUnits(px);
  const int y = ToUnits(py);
  ResetMouseCapture();
  // A gesture whose release never arrived (a menu took it) ends before the next begins.
  EndGesture();
  const int hit = HitControl(x, y, false);
  if (hit < 0) return;
  mouse_capture_ = hit;
  last_x_ = x;
  last_y_ = y;
  Control* control = GetControl(hit);
  BeginGesture(control);
  control->MouseDown(x, y, mods);
  EndGestureIfMouseTaken(hit);
  RunDeferred();
}

void Graphics::EndGestureIfMouseTaken(int pressed) {
  // A menu opened by the press took the mouse and swallows the release, so the gesture ends
  // with the menu, chosen or not.
  if (mouse_capture_ != pressed) EndGesture();
}

void Graphics::RunDeferred() {
  while (!deferred_.empty()) {
    std::vector<std::function<void()>> work;
    work.swap(deferred_);
    for (auto& w : work)
      w();
  }
}

void Graphics::HandleMouseDrag(int px, int py, const MouseMods& mods) {
  // A move within one unit is no move: controls see whole units.
  const int x = ToUnits(px);
  const int y = ToUnits(py);
  Control* control = GetControl(mouse_capture_);
  if (!control || (x == last_x_ && y == last_y_)) return;
  const int dx = x - last_x_;
  const int dy = y - last_y_;
  last_x_ = x;
  last_y_ = y;
  control->MouseDrag(x, y, dx, dy, mods);
}

void Graphics::HandleMouseUp(int px, int py, const MouseMods& mods) {
  const int x = ToUnits(px);
  const int y = ToUnits(py);
  const int target = Target(x, y);
  mouse_capture_ = -1;
  last_x_ = -1;
  if (Control* control = GetControl(target)) control->MouseUp(x, y, mods);
  // Only a gesture that began is ended, so a release without a press tells the host nothing.
  EndGesture();
  RunDeferred();
}

bool Graphics::HandleDoubleClick(int px, int py, const MouseMods& mods) {
  const int x = ToUnits(px);
  const int y = ToUnits(py);
  ResetMouseCapture();
  EndGesture();
  const int hit = HitControl(x, y, false);
  Control* control = GetControl(hit);
  if (!control) return false;
  if (!control->double_click_as_press()) {
    // A change of its own, bracketed for the host like any other.
    BeginGesture(control);
    control->MouseDoubleClick(x, y, mods);
    EndGesture();
    RunDeferred();
    return false;
  }
  mouse_capture_ = hit;
  last_x_ = x;
  last_y_ = y;
  BeginGesture(control);
  control->MouseDown(x, y, mods);
  EndGestureIfMouseTaken(hit);
  RunDeferred();
  return mouse_capture_ == hit;
}

void Graphics::HandleMouseWheel(int px, int py, const MouseMods& mods, int d) {
  const int x = ToUnits(px);
  const int y = ToUnits(py);
  Control* control = GetControl(Target(x, y));
  // A step of nothing changes nothing, so the host is not told of an edit either.
  if (!control || d == 0) return;
  // Each wheel step is a gesture of its own unless a drag is already one.
  const bool own_gesture = gesture_param_ < 0;
  if (own_gesture) BeginGesture(control);
  control->MouseWheel(x, y, mods, d);
  if (own_gesture) EndGesture();
}

bool Graphics::HandleMouseOver(int px, int py, const MouseMods& mods) {
  if (!handle_mouse_over_) return false;
  const int x = ToUnits(px);
  const int y = ToUnits(py);
  const int target = mouse_capture_ >= 0 ? mouse_capture_ : HitControl(x, y, true);
  Control* control = GetControl(target);
  if (!control) return true;
  last_x_ = x;
  last_y_ = y;
  control->MouseOver(x, y, mods);
  if (mouse_over_ >= 0 && mouse_over_ != target) {
    if (Control* previous = GetControl(mouse_over_)) previous->MouseOut();
  }
  mouse_over_ = target;
  return true;
}

void Graphics::HandleMouseOut() {
  for (auto& control : controls_)
    control->MouseOut();
  mouse_over_ = -1;
}

bool Graphics::HandleKeyDown(int px, int py, int key) {
  const int x = ToUnits(px);
  const int y = ToUnits(py);
  const int target = Target(x, y);
  if (target <= 0) return key_catcher_ ? key_catcher_->KeyDown(x, y, key) : false;
  return GetControl(target)->KeyDown(x, y, key);
}

// ---- Timer and redraw

bool Graphics::CollectDirtyArea(Rect& area) {
  RunDeferred();
  area = {};
  bool any = false;
  for (auto& control : controls_) {
    control->ApplyPluginChange();
    if (control->IsDirty()) {
      area = area.Union(control->rect());
      any = true;
    }
  }
  if (any) {
    area = UnitsToPixels(area, zoom_);
    idle_count_ = 0;
    return true;
  }
  if (++idle_count_ > kIdleTicks) {
    idle_count_ = 0;
    if (plugin_) plugin_->IdleTick();
  }
  return false;
}

void Graphics::RedrawArea(const Rect& area) {
  if (!drawing_bitmap_) return;
  const Rect redrawn = area.Intersect({0, 0, drawing_bitmap_->Width(), drawing_bitmap_->Height()});
  for (auto& control : controls_) {
    if (control->hidden()) continue;
    // Each control draws within its own rectangle only (a text wider than its control is cut
    // there): what it leaves is repainted whenever it is redrawn, so no traces remain.
    draw_area_ = redrawn.Intersect(UnitsToPixels(control->rect(), zoom_));
    if (draw_area_.IsEmpty()) continue;
    control->Draw(*this);
  }
  for (auto& control : controls_)
    control->MarkClean();
  draw_area_ = {};
  PresentArea(area);
}

// ---- Text entry

std::string Graphics::FormatForEntry(const PluginParam& param) {
  char text[64];
  param.GetDisplayText(param.value(), false, text, sizeof text, false);
  return text;
}

void Graphics::CommitTextEntry(Control* control, PluginParam* param, const std::string& entered) {
  if (!control) return;
  const std::string text = Utf8Prefix(entered, kMaxEnteredText);
  if (!param) {
    control->TakeEnteredText(text);
    return;
  }
  double v = 0.0;
  if (param->kind() == ParamKind::Enumerated) {
    for (const ParamDisplayText& entry : param->display_texts()) {
      if (text == entry.text) {
        v = entry.value;
        break;
      }
    }
  } else {
    v = LeadingNumber(text.c_str());  // 0 when there is no number
    if (!std::isfinite(v)) v = 0.0;
    if (param->negate_display()) v = -v;
  }
  BeginGesture(control);
  control->SetValueFromUser(param->ToNormalized(v));
  EndGesture();
}

// ---- Platform slots with shared behaviour

bool Graphics::OpenUrl(const char* url, const char* caption, const char* confirmation,
                       const char* error) {
  if (!url || !url[0]) return false;
  if (confirmation && confirmation[0] &&
      ShowMessageBox(confirmation, caption, MessageBoxType::YesNo) != MessageBoxButton::Yes)
    return false;
  if (LaunchUrl(url)) return true;
  if (error && error[0]) ShowMessageBox(error, caption, MessageBoxType::Ok);
  return false;
}

void Graphics::HideCursor() {
  if (cursor_hidden_) return;
  cursor_hidden_ = true;
  cursor_x_ = last_x_;
  cursor_y_ = last_y_;
}

void Graphics::ShowCursor() {
  cursor_hidden_ = false;
}

}  // namespace vantor
