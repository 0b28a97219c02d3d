// 32-bit ARGB bitmaps in memory: the pixel format, the bitmap interface and its two classes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace vantor {

// Alpha in the top byte, then red, green, blue; alpha is not premultiplied.
using RasterPixel = uint32_t;

constexpr RasterPixel RasterMakePixel(int a, int r, int g, int b) {
  return (static_cast<RasterPixel>(a & 0xff) << 24) | (static_cast<RasterPixel>(r & 0xff) << 16) |
         (static_cast<RasterPixel>(g & 0xff) << 8) | static_cast<RasterPixel>(b & 0xff);
}
constexpr int RasterAlpha(RasterPixel p) {
  return static_cast<int>(p >> 24);
}
constexpr int RasterRed(RasterPixel p) {
  return static_cast<int>((p >> 16) & 0xff);
}
constexpr int RasterGreen(RasterPixel p) {
  return static_cast<int>((p >> 8) & 0xff);
}
constexpr int RasterBlue(RasterPixel p) {
  return static_cast<int>(p & 0xff);
}

// left, top, right, bottom; right and bottom exclusive.
struct RasterRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
};

// Larger bitmaps are refused: no image of the editor comes near, and a hostile file must not be
// able to ask for gigabytes.
static constexpr int kRasterMaxDimension = 16384;
static constexpr int64_t kRasterMaxPixels = int64_t{1} << 26;

class RasterBitmap {
 public:
  virtual ~RasterBitmap() = default;
  virtual RasterPixel* Pixels() = 0;
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual int RowSpan() const = 0;  // in pixels
  virtual bool IsFlipped() const { return false; }
  // Returns whether anything changed. A size that is not positive, or beyond the limits above,
  // leaves an empty bitmap. Pixel contents are unspecified afterwards.
  virtual bool Resize(int width, int height) = 0;
  virtual void* DeviceContext() const { return nullptr; }
  virtual intptr_t ExtendedQuery(int /*what*/) { return 0; }

  const RasterPixel* Pixels() const { return const_cast<RasterBitmap*>(this)->Pixels(); }
  RasterPixel* Row(int y) { return Pixels() + static_cast<ptrdiff_t>(y) * RowSpan(); }
  const RasterPixel* Row(int y) const { return Pixels() + static_cast<ptrdiff_t>(y) * RowSpan(); }
  RasterPixel At(int x, int y) const { return Row(y)[x]; }
  bool IsEmpty() const { return Width() <= 0 || Height() <= 0; }
  void Clear(RasterPixel value);
};

// Pixels on the heap; the buffer grows with slack and is kept when the bitmap shrinks.
class RasterMemBitmap : public RasterBitmap {
 public:
  RasterMemBitmap() = default;
  RasterMemBitmap(int width, int height) { Resize(width, height); }

  RasterPixel* Pixels() override { return pixels_.get(); }
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  int RowSpan() const override { return span_; }
  bool Resize(int width, int height) override;

 private:
  std::unique_ptr<RasterPixel[]> pixels_;
  size_t capacity_ = 0;  // in pixels
  int width_ = 0;
  int height_ = 0;
  int span_ = 0;
};

// The editor's drawing surface. Its rows are padded to a multiple of 4 pixels and resizing within
// the allocated size only changes the logical size, so a window can blit from it cheaply. This
// build has no native device context; a platform window copies from Pixels().
class RasterSysBitmap : public RasterBitmap {
 public:
  RasterSysBitmap() = default;
  RasterSysBitmap(int width, int height) { Resize(width, height); }

  RasterPixel* Pixels() override { return pixels_.get(); }
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  int RowSpan() const override { return alloc_width_; }
  bool Resize(int width, int height) override;

 private:
  std::unique_ptr<RasterPixel[]> pixels_;
  int alloc_width_ = 0;
  int alloc_height_ = 0;
  int width_ = 0;
  int height_ = 0;
};

// Whether a bitmap of this size may be created.
bool RasterSizeAllowed(int width, int height);

}  // namespace vantor
