// Fuzz target: text drawing. Any bytes, taken as UTF-8 or not, are measured and drawn into a
// small bitmap at positions partly outside it, without touching memory beyond the bitmap.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "editor/raster/raster_font.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace vantor;
  static RasterCachedFont* font = [] {
    std::string error;
    RasterFontSpec desc;
    desc.size = 11;
    RasterFontFace* face = RasterFontFace::Create(desc, &error).release();
    if (!face) abort();  // the fonts are a build dependency
    return new RasterCachedFont(face, kRasterFontOwnsHandle);
  }();
  static RasterMemBitmap bitmap(64, 16);
  const char* text = reinterpret_cast<const char*>(data);
  const int length = static_cast<int>(size);
  // The first byte, when there is one, picks the alignment and the offset.
  const int pick = size > 0 ? data[0] : 0;
  RasterRect measured{0, 0, 0, 0};
  font->DrawText(&bitmap, text, length, &measured, kRasterTextCalcRect);
  if (measured.right < 0 || measured.bottom < 0) abort();
  RasterRect rect{(pick & 0x1f) - 16, (pick >> 5) - 4, 48, 12};
  font->DrawText(&bitmap, text, length, &rect, (pick & 3) | (pick & 4 ? kRasterTextNoClip : 0));
  return 0;
}
