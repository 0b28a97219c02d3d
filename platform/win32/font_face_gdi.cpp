// RasterFontFace on Windows: the system's fonts by name, glyphs rasterised by GDI.
#include <windows.h>

#include <algorithm>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "editor/raster/raster_font_face.h"
#include "platform/platform.h"
#include "platform/win32/wide_text.h"

namespace vantor {
namespace {

std::mutex& FoldersLock() {
  static std::mutex lock;
  return lock;
}

std::vector<std::string>& Folders() {
  static std::vector<std::string> folders;
  return folders;
}

// GDI's coverage levels for GGO_GRAY8_BITMAP run from 0 to 64.
constexpr int kGdiGrayLevels = 64;

}  // namespace

struct RasterFontFace::Impl {
  HDC dc = nullptr;
  HFONT font = nullptr;
  HGDIOBJ previous = nullptr;
  std::mutex lock;  // one glyph at a time per device context
  ~Impl() {
    if (dc && previous) SelectObject(dc, previous);
    if (font) DeleteObject(font);
    if (dc) DeleteDC(dc);
  }
};

// GDI finds installed fonts by name, so the folders are only kept for those who ask.
void SetRasterFontFolders(std::vector<std::string> folders) {
  std::lock_guard lock(FoldersLock());
  Folders() = std::move(folders);
}

std::vector<std::string> RasterFontFolders() {
  std::lock_guard lock(FoldersLock());
  return Folders();
}

std::unique_ptr<RasterFontFace> RasterFontFace::Create(const RasterFontSpec& desc,
                                                       std::string* error) {
  auto fail = [error](std::string message) -> std::unique_ptr<RasterFontFace> {
    if (error) *error = std::move(message);
    return nullptr;
  };
  if (desc.size <= 0 || desc.size > 1000) return fail("The font size is out of range.");
  std::unique_ptr<RasterFontFace> face(new RasterFontFace());
  face->impl_ = std::make_unique<Impl>();
  Impl& impl = *face->impl_;
  impl.dc = CreateCompatibleDC(nullptr);
  if (!impl.dc) return fail("No drawing context for the editor's text could be created.");
  // A positive height asks for the cell height, ascent plus descent, as the editor's sizes mean.
  std::wstring name = platform::Utf8ToWide(desc.face);
  if (name.size() >= LF_FACESIZE) name.resize(LF_FACESIZE - 1);
  impl.font = CreateFontW(desc.size, 0, desc.orientation * 10, desc.orientation * 10,
                          desc.bold ? FW_BOLD : FW_NORMAL, desc.italic, FALSE, FALSE,
                          DEFAULT_CHARSET, OUT_TT_PRECIS, CLIP_DEFAULT_PRECIS,
                          desc.antialiased ? ANTIALIASED_QUALITY : NONANTIALIASED_QUALITY,
                          DEFAULT_PITCH | FF_SWISS, name.c_str());
  if (!impl.font) return fail("The font " + desc.face + " could not be created.");
  impl.previous = SelectObject(impl.dc, impl.font);
  TEXTMETRICW metrics;
  if (!GetTextMetricsW(impl.dc, &metrics))
    return fail("The font " + desc.face + " has no metrics.");
  face->spec_ = desc;
  face->file_path_ = desc.face;
  face->ascent_ = metrics.tmAscent;
  face->line_height_ = metrics.tmHeight;
  return face;
}

RasterFontFace::~RasterFontFace() = default;

bool RasterFontFace::RenderGlyph(char32_t code, RasterGlyphImage* out) {
  if (code > 0xFFFF) return false;  // the glyph functions take one UTF-16 unit
  std::lock_guard guard(impl_->lock);
  const UINT format = spec_.antialiased ? GGO_GRAY8_BITMAP : GGO_BITMAP;
  const MAT2 identity = {{0, 1}, {0, 0}, {0, 0}, {0, 1}};
  GLYPHMETRICS metrics;
  const DWORD size =
      GetGlyphOutlineW(impl_->dc, static_cast<UINT>(code), format, &metrics, 0, nullptr, &identity);
  if (size == GDI_ERROR) return false;
  out->left = metrics.gmptGlyphOrigin.x;
  out->top = metrics.gmptGlyphOrigin.y;
  out->advance_x = metrics.gmCellIncX * 64;
  out->advance_y = -metrics.gmCellIncY * 64;  // GDI counts upwards
  out->coverage.clear();
  if (size == 0) {  // a blank: advance only
    out->width = out->height = 0;
    return true;
  }
  std::vector<uint8_t> buffer(size);
  if (GetGlyphOutlineW(impl_->dc, static_cast<UINT>(code), format, &metrics, size, buffer.data(),
                       &identity) == GDI_ERROR) {
    return false;
  }
  out->width = static_cast<int>(metrics.gmBlackBoxX);
  out->height = static_cast<int>(metrics.gmBlackBoxY);
  // Rows are padded to whole 32-bit words in both formats.
  const size_t pitch = spec_.antialiased ? (static_cast<size_t>(out->width) + 3) & ~size_t{3}
                                         : ((static_cast<size_t>(out->width) + 31) / 32) * 4;
  if (pitch * static_cast<size_t>(out->height) > buffer.size()) return false;
  out->coverage.assign(static_cast<size_t>(out->width) * static_cast<size_t>(out->height), 0);
  for (int y = 0; y < out->height; ++y) {
    const uint8_t* row = buffer.data() + pitch * static_cast<size_t>(y);
    uint8_t* dst = out->coverage.data() + static_cast<size_t>(y) * static_cast<size_t>(out->width);
    for (int x = 0; x < out->width; ++x) {
      if (spec_.antialiased) {
        dst[x] = static_cast<uint8_t>(std::min<int>(row[x], kGdiGrayLevels) * 255 / kGdiGrayLevels);
      } else {
        dst[x] = (row[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
      }
    }
  }
  return true;
}

bool RasterFontFace::DrawNative(RasterBitmap* bitmap, const std::u32string& line, int x, int top,
                                RasterRect clip, RasterPixel colour) {
  // Wine draws text with its own rasteriser, unlike Windows; the glyph cache looks the same
  // everywhere. Rotated text keeps to the cache too, whose layout places it.
  if (!bitmap || bitmap->IsEmpty() || spec_.orientation != 0 || platform::RunningUnderWine())
    return false;
  // The line's cell row, within the clip and the bitmap.
  clip.left = std::max(clip.left, 0);
  clip.top = std::max({clip.top, top, 0});
  clip.right = std::min(clip.right, bitmap->Width());
  clip.bottom = std::min({clip.bottom, top + line_height_, bitmap->Height()});
  if (clip.right <= clip.left || clip.bottom <= clip.top || line.empty()) return true;
  std::wstring wide;
  for (char32_t c : line)
    wide.push_back(c > 0xFFFF ? L' ' : static_cast<wchar_t>(c));

  // GDI draws into a DIB section holding a copy of the area, which then goes back.
  const int width = clip.Width();
  const int height = clip.Height();
  BITMAPINFO info = {};
  info.bmiHeader = {sizeof info.bmiHeader, width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  std::lock_guard guard(impl_->lock);
  void* bits = nullptr;
  HBITMAP section = CreateDIBSection(impl_->dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!section) return false;
  const HGDIOBJ previous = SelectObject(impl_->dc, section);
  auto* area = static_cast<RasterPixel*>(bits);
  for (int y = 0; y < height; ++y)
    std::copy_n(bitmap->Row(clip.top + y) + clip.left, width, area + y * width);
  const std::vector<RasterPixel> before(area, area + static_cast<size_t>(width) * height);
  SetTextColor(impl_->dc, RGB(RasterRed(colour), RasterGreen(colour), RasterBlue(colour)));
  SetBkMode(impl_->dc, TRANSPARENT);
  SetTextAlign(impl_->dc, TA_LEFT | TA_TOP | TA_NOUPDATECP);
  RECT box = {0, 0, width, height};
  ExtTextOutW(impl_->dc, x - clip.left, top - clip.top, ETO_CLIPPED, &box, wide.c_str(),
              static_cast<UINT>(wide.size()), nullptr);
  GdiFlush();
  // GDI leaves the alpha byte of what it touched undefined; text is opaque colour.
  constexpr RasterPixel kColour = 0x00FFFFFF;
  for (int y = 0; y < height; ++y) {
    RasterPixel* row = bitmap->Row(clip.top + y) + clip.left;
    for (int i = 0; i < width; ++i) {
      const size_t at = static_cast<size_t>(y) * width + i;
      if ((area[at] & kColour) != (before[at] & kColour))
        row[i] = (area[at] & kColour) | 0xFF000000u;
    }
  }
  SelectObject(impl_->dc, previous);
  DeleteObject(section);
  return true;
}
}  // namespace vantor
