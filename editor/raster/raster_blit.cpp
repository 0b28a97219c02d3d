// Blit and FillRect: clipping and the per-row blend loops.
#include "editor/raster/raster_blit.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace vantor {
namespace {

// The mode is fixed per call, so it is a template argument rather than a test per pixel.
template <int kMode, bool kSourceAlpha>
void BlendRow(RasterPixel* d, const RasterPixel* s, int n, int w) {
  for (int i = 0; i < n; ++i) {
    int ew = w;
    if constexpr (kSourceAlpha) {
      ew = RasterScaleByAlpha(w, RasterAlpha(s[i]));
      if (ew == 0) continue;
    }
    d[i] = RasterBlendPixel(d[i], s[i], ew, kMode, kSourceAlpha);
  }
}

template <int kMode>
void FillRow(RasterPixel* d, RasterPixel colour, int n, int w, bool alpha_over) {
  for (int i = 0; i < n; ++i)
    d[i] = RasterBlendPixel(d[i], colour, w, kMode, alpha_over);
}

using RowFunction = void (*)(RasterPixel*, const RasterPixel*, int, int);

RowFunction PickRow(int mode, bool source_alpha) {
  switch (mode) {
    case kRasterAdd:
      return source_alpha ? BlendRow<kRasterAdd, true> : BlendRow<kRasterAdd, false>;
    case kRasterDodge:
      return source_alpha ? BlendRow<kRasterDodge, true> : BlendRow<kRasterDodge, false>;
    default:
      return source_alpha ? BlendRow<kRasterCopy, true> : BlendRow<kRasterCopy, false>;
  }
}

}  // namespace

int RasterWeight(float weight) {
  if (!(weight > 0.0f)) return 0;
  if (weight >= 1.0f) return 256;
  return static_cast<int>(weight * 256.0f);
}

void Blit(RasterBitmap* dst, const RasterBitmap* src, int x, int y, const RasterRect* src_rect,
          float weight, int mode) {
  if (!dst || !src || dst->IsEmpty() || src->IsEmpty()) return;
  const int w = RasterWeight(weight);
  if (w == 0) return;

  // Clipping in 64 bits, so that no coordinate can overflow.
  int64_t sl = src_rect ? src_rect->left : 0;
  int64_t st = src_rect ? src_rect->top : 0;
  int64_t sr = src_rect ? src_rect->right : src->Width();
  int64_t sb = src_rect ? src_rect->bottom : src->Height();
  int64_t dx = x;
  int64_t dy = y;
  // First to the source bitmap, moving the destination point along, then to the destination.
  if (sl < 0) {
    dx -= sl;
    sl = 0;
  }
  if (st < 0) {
    dy -= st;
    st = 0;
  }
  sr = std::min<int64_t>(sr, src->Width());
  sb = std::min<int64_t>(sb, src->Height());
  if (dx < 0) {
    sl -= dx;
    dx = 0;
  }
  if (dy < 0) {
    st -= dy;
    dy = 0;
  }
  sr = std::min(sr, sl + dst->Width() - dx);
  sb = std::min(sb, st + dst->Height() - dy);
  if (sr <= sl || sb <= st) return;
  const int cols = static_cast<int>(sr - sl);
  const int rows = static_cast<int>(sb - st);
  const int src_x = static_cast<int>(sl);
  const int src_y = static_cast<int>(st);
  x = static_cast<int>(dx);
  y = static_cast<int>(dy);
  // Within one bitmap, rows moving down are walked from the bottom so none is read after it
  // was overwritten.
  const bool upwards = dst == src && y > src_y;

  const bool source_alpha = (mode & kRasterUseSourceAlpha) != 0;
  const int blend = mode & kRasterModeMask;
  if (blend == kRasterCopy && w == 256 && !source_alpha) {
    for (int i = 0; i < rows; ++i) {
      const int r = upwards ? rows - 1 - i : i;
      memmove(dst->Row(y + r) + x, src->Row(src_y + r) + src_x,
              static_cast<size_t>(cols) * sizeof(RasterPixel));
    }
    return;
  }
  const RowFunction row = PickRow(blend, source_alpha);
  for (int i = 0; i < rows; ++i) {
    const int r = upwards ? rows - 1 - i : i;
    row(dst->Row(y + r) + x, src->Row(src_y + r) + src_x, cols, w);
  }
}

void FillRect(RasterBitmap* bitmap, int x, int y, int w, int h, RasterPixel colour, float weight,
              int mode) {
  if (!bitmap || bitmap->IsEmpty()) return;
  const bool source_alpha = (mode & kRasterUseSourceAlpha) != 0;
  if (source_alpha) weight *= static_cast<float>(RasterAlpha(colour)) / 255.0f;
  const int iw = RasterWeight(weight);
  if (iw == 0) return;

  const int left = std::max(x, 0);
  const int top = std::max(y, 0);
  // 64-bit so that a huge width or height cannot overflow.
  const int right = static_cast<int>(std::min<int64_t>(int64_t{x} + w, bitmap->Width()));
  const int bottom = static_cast<int>(std::min<int64_t>(int64_t{y} + h, bitmap->Height()));
  const int cols = right - left;
  if (cols <= 0 || bottom <= top) return;

  const int blend = mode & kRasterModeMask;
  for (int row = top; row < bottom; ++row) {
    RasterPixel* d = bitmap->Row(row) + left;
    switch (blend) {
      case kRasterAdd:
        FillRow<kRasterAdd>(d, colour, cols, iw, source_alpha);
        break;
      case kRasterDodge:
        FillRow<kRasterDodge>(d, colour, cols, iw, source_alpha);
        break;
      default:
        if (iw == 256) {
          std::fill_n(d, cols, colour);
        } else if (iw == 128 && !source_alpha) {
          // Half weight is a plain average of the two pixels, byte by byte.
          for (int i = 0; i < cols; ++i)
            d[i] = ((d[i] >> 1) & 0x7f7f7f7f) + ((colour >> 1) & 0x7f7f7f7f) +
                   (d[i] & colour & 0x01010101);
        } else {
          FillRow<kRasterCopy>(d, colour, cols, iw, source_alpha);
        }
        break;
    }
  }
}

}  // namespace vantor
