// RasterMemBitmap and RasterSysBitmap: allocation and resizing.
#include "editor/raster/raster_bitmap.h"

#include <algorithm>
#include <new>

namespace vantor {
namespace {

int RoundUpTo4(int n) {
  return (n + 3) & ~3;
}

std::unique_ptr<RasterPixel[]> AllocateZeroed(size_t pixels) {
  return std::unique_ptr<RasterPixel[]>(new (std::nothrow) RasterPixel[pixels]());
}

}  // namespace

bool RasterSizeAllowed(int width, int height) {
  return width > 0 && height > 0 && width <= kRasterMaxDimension && height <= kRasterMaxDimension &&
         int64_t{RoundUpTo4(width)} * height <= kRasterMaxPixels;
}

void RasterBitmap::Clear(RasterPixel value) {
  for (int y = 0; y < Height(); ++y)
    std::fill_n(Row(y), Width(), value);
}

bool RasterMemBitmap::Resize(int width, int height) {
  if (width == width_ && height == height_) return false;
  if (!RasterSizeAllowed(width, height)) {
    pixels_.reset();
    capacity_ = 0;
    width_ = height_ = span_ = 0;
    return true;
  }
  const int span = RoundUpTo4(width);
  const size_t needed = static_cast<size_t>(span) * static_cast<size_t>(height);
  if (needed > capacity_) {
    // 5/4 of the need plus 63 bytes, so that a bitmap that keeps growing is not reallocated
    // every time.
    const size_t capacity = needed + needed / 4 + 63 / sizeof(RasterPixel);
    pixels_ = AllocateZeroed(capacity);
    if (!pixels_) {
      capacity_ = 0;
      width_ = height_ = span_ = 0;
      return true;
    }
    capacity_ = capacity;
  }
  width_ = width;
  height_ = height;
  span_ = span;
  return true;
}

bool RasterSysBitmap::Resize(int width, int height) {
  if (width == width_ && height == height_) return false;
  if (width > alloc_width_ || height > alloc_height_) {
    const int alloc_width = std::max(RoundUpTo4(width), alloc_width_);
    const int alloc_height = std::max(height, alloc_height_);
    pixels_.reset();
    if (RasterSizeAllowed(width, height) && RasterSizeAllowed(alloc_width, alloc_height))
      pixels_ =
          AllocateZeroed(static_cast<size_t>(alloc_width) * static_cast<size_t>(alloc_height));
    alloc_width_ = pixels_ ? alloc_width : 0;
    alloc_height_ = pixels_ ? alloc_height : 0;
  }
  if (!pixels_ || !RasterSizeAllowed(width, height)) {
    pixels_.reset();
    alloc_width_ = alloc_height_ = width_ = height_ = 0;
    return true;
  }
  width_ = width;
  height_ = height;
  return true;
}

}  // namespace vantor
