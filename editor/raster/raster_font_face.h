// A scalable font at one size and style, rasterising glyphs with FreeType from the system fonts.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "editor/raster/raster_bitmap.h"

namespace vantor {

struct RasterFontSpec {
  std::string face = "Verdana";  // requested family; mapped to an installed one
  int size = 12;                 // cell height in pixels (ascent + descent)
  bool bold = false;
  bool italic = false;
  int orientation = 0;      // degrees counter-clockwise
  bool antialiased = true;  // false: every coverage value is 0 or 255
};

// One glyph as an 8-bit coverage mask placed relative to the pen on the baseline.
struct RasterGlyphImage {
  int width = 0;
  int height = 0;
  int left = 0;       // from the pen to the mask's left edge
  int top = 0;        // from the baseline up to the mask's top edge
  int advance_x = 0;  // pen movement in 1/64 pixel (rotated with the text)
  int advance_y = 0;  // in 1/64 pixel, downwards positive
  std::vector<uint8_t> coverage;
};

class RasterFontFace {
 public:
  // Null when no font file can be found or opened; `error` then says why in a sentence for the
  // user.
  static std::unique_ptr<RasterFontFace> Create(const RasterFontSpec& desc, std::string* error);
  ~RasterFontFace();
  RasterFontFace(const RasterFontFace&) = delete;
  RasterFontFace& operator=(const RasterFontFace&) = delete;

  bool RenderGlyph(char32_t code, RasterGlyphImage* out);
  // Draws one line with the system's own text routine, its top-left cell corner at (x, top),
  // within `clip` and the bitmap, in the opaque `colour`. False when the system has none or may
  // not be used for it (under Wine, whose text differs from Windows'); the caller then draws the
  // cached glyphs.
  bool DrawNative(RasterBitmap* bitmap, const std::u32string& line, int x, int top, RasterRect clip,
                  RasterPixel colour);
  int line_height() const { return line_height_; }
  int ascent() const { return ascent_; }
  const RasterFontSpec& desc() const { return spec_; }
  const std::string& file_path() const { return file_path_; }

 private:
  struct Impl;
  RasterFontFace() = default;

  std::unique_ptr<Impl> impl_;
  RasterFontSpec spec_;
  std::string file_path_;
  int line_height_ = 0;
  int ascent_ = 0;
};

// The folders searched for font files, in order. Replacing them is for tests and for systems
// that keep fonts elsewhere; the default lists where distributions install the DejaVu fonts.
void SetRasterFontFolders(std::vector<std::string> folders);
std::vector<std::string> RasterFontFolders();

}  // namespace vantor
