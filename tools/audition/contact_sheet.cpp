// The contact sheet: box-filtered thumbnails on a grid, labelled with the system's sans font.
#include "tools/audition/contact_sheet.h"

#include <algorithm>
#include <memory>

#include "editor/raster/raster_font.h"
#include "editor/raster/raster_png.h"

namespace vantor::audition {
namespace {

constexpr int kThumbWidth = 300, kThumbHeight = 150, kLabelHeight = 18, kGap = 6;

// Averages each thumbnail pixel's source rectangle.
void Shrink(const RasterBitmap& src, RasterBitmap* dst, int x0, int y0) {
  for (int y = 0; y < kThumbHeight; ++y) {
    const int sy0 = y * src.Height() / kThumbHeight;
    const int sy1 = std::max(sy0 + 1, (y + 1) * src.Height() / kThumbHeight);
    for (int x = 0; x < kThumbWidth; ++x) {
      const int sx0 = x * src.Width() / kThumbWidth;
      const int sx1 = std::max(sx0 + 1, (x + 1) * src.Width() / kThumbWidth);
      int r = 0, g = 0, b = 0, n = 0;
      for (int sy = sy0; sy < sy1; ++sy) {
        for (int sx = sx0; sx < sx1; ++sx, ++n) {
          const RasterPixel p = src.At(sx, sy);
          r += RasterRed(p), g += RasterGreen(p), b += RasterBlue(p);
        }
      }
      dst->Row(y0 + y)[x0 + x] = RasterMakePixel(255, r / n, g / n, b / n);
    }
  }
}

}  // namespace

bool WriteContactSheet(const std::vector<SheetEntry>& entries, int columns, const std::string& path,
                       std::string* error) {
  const int rows = (static_cast<int>(entries.size()) + columns - 1) / columns;
  const int cell_w = kThumbWidth + kGap, cell_h = kThumbHeight + kLabelHeight + kGap;
  RasterMemBitmap sheet(columns * cell_w + kGap, rows * cell_h + kGap);
  sheet.Clear(RasterMakePixel(255, 24, 24, 28));

  RasterFontSpec desc;
  desc.face = "DejaVu Sans";
  desc.size = 14;
  std::string font_error;
  std::unique_ptr<RasterFontFace> face = RasterFontFace::Create(desc, &font_error);
  RasterCachedFont font;
  if (face) {
    font.SetFontHandle(face.get(), 0);
    font.SetTextColor(RasterMakePixel(255, 230, 230, 230));
  }

  int shown = 0;
  for (size_t i = 0; i < entries.size(); ++i) {
    const int x = kGap + static_cast<int>(i) % columns * cell_w;
    const int y = kGap + static_cast<int>(i) / columns * cell_h;
    if (face) {
      RasterRect label{x, y, x + kThumbWidth, y + kLabelHeight};
      font.DrawText(&sheet, entries[i].label.c_str(), -1, &label, kRasterTextLeft);
    }
    std::unique_ptr<RasterMemBitmap> picture = LoadPngFile(entries[i].picture.c_str());
    if (!picture) continue;
    Shrink(*picture, &sheet, x, y + kLabelHeight);
    ++shown;
  }
  if (shown == 0) {
    *error = "none of the pictures could be read";
    return false;
  }
  if (!SavePngFile(sheet, path.c_str())) {
    *error = "cannot write " + path;
    return false;
  }
  return true;
}

}  // namespace vantor::audition
