// Blitting and rectangle fills with the copy, add and dodge blend modes.
#pragma once

#include "editor/raster/raster_bitmap.h"

namespace vantor {

enum RasterBlendMode : int {
  kRasterCopy = 0,
  kRasterAdd = 1,
  kRasterDodge = 2,
  kRasterModeMask = 0xffff,
  // Scales the weight by each source pixel's alpha (for fills: by the colour's alpha).
  kRasterUseSourceAlpha = 0x10000,
};

// Weight 0..1 as the integer w of the blend formulas (0..256); NaN counts as 0.
int RasterWeight(float weight);

// Scales a weight by a source alpha as (alpha + 1) / 256; a fully transparent source weighs
// nothing, where the plain formula would still blend it at 1/256.
inline int RasterScaleByAlpha(int w, int alpha) {
  return alpha == 0 ? 0 : (w * (alpha + 1)) >> 8;
}

// One destination pixel blended with a source pixel at effective weight w (1..256). The colour
// channels follow the mode. With alpha_over (the source-alpha modes) the destination alpha
// composites "over", so an opaque destination stays opaque; otherwise alpha is a channel like
// the others.
inline RasterPixel RasterBlendPixel(RasterPixel dst, RasterPixel src, int w, int mode,
                                    bool alpha_over) {
  if (mode == kRasterCopy && w >= 256) return src;
  RasterPixel out = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    const int d = static_cast<int>((dst >> shift) & 0xff);
    int s = static_cast<int>((src >> shift) & 0xff);
    int v;
    if (shift == 24 && alpha_over) {
      s = 255;
      v = (s * w + d * (256 - w)) >> 8;
    } else if (mode == kRasterAdd) {
      v = d + ((s * w) >> 8);
      if (v > 255) v = 255;
    } else if (mode == kRasterDodge) {
      const int x = (s * w) >> 8;
      if (x > 254) {
        v = d == 0 ? 0 : 255;
      } else {
        v = d * 256 / (256 - x);
        if (v > 255) v = 255;
      }
    } else {
      v = (s * w + d * (256 - w)) >> 8;
    }
    out |= static_cast<RasterPixel>(v) << shift;
  }
  return out;
}

// Copies src_rect of src (the whole source when null) to (x, y) of dst, clipped to both
// bitmaps. Nothing happens for a null bitmap or weight 0. `mode` is a RasterBlendMode, optionally
// with kRasterUseSourceAlpha. With source alpha a fully transparent pixel leaves the destination
// untouched.
void Blit(RasterBitmap* dst, const RasterBitmap* src, int x, int y, const RasterRect* src_rect,
          float weight, int mode);

// Fills (x, y, w, h) of the bitmap, clipped, with colour blended in `mode`.
void FillRect(RasterBitmap* bitmap, int x, int y, int w, int h, RasterPixel colour, float weight,
              int mode);

}  // namespace vantor
