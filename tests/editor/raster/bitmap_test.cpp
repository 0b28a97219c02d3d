// RasterMemBitmap and RasterSysBitmap: row spans, resizing and size limits.
#include "editor/raster/raster_bitmap.h"

#include <gtest/gtest.h>

namespace vantor {
namespace {

TEST(BitmapTest, MemBitmapRowsArePaddedAndResizingReportsChanges) {
  RasterMemBitmap b(5, 3);
  EXPECT_EQ(b.Width(), 5);
  EXPECT_EQ(b.Height(), 3);
  EXPECT_EQ(b.RowSpan(), 8);
  EXPECT_FALSE(b.IsFlipped());
  EXPECT_EQ(b.DeviceContext(), nullptr);
  EXPECT_EQ(b.At(4, 2), 0u);  // new pixels start transparent black
  b.Row(2)[4] = 7;

  EXPECT_FALSE(b.Resize(5, 3));
  EXPECT_EQ(b.At(4, 2), 7u);
  const RasterPixel* before = b.Pixels();
  EXPECT_TRUE(b.Resize(4, 2));  // shrinking keeps the buffer
  EXPECT_EQ(b.Pixels(), before);
  EXPECT_EQ(b.RowSpan(), 4);
  EXPECT_TRUE(b.Resize(5, 3));  // and growing back within its slack does too
  EXPECT_EQ(b.Pixels(), before);

  EXPECT_TRUE(b.Resize(0, 3));
  EXPECT_TRUE(b.IsEmpty());
  EXPECT_EQ(b.Pixels(), nullptr);
  EXPECT_TRUE(b.Resize(2, 2));
  EXPECT_FALSE(b.IsEmpty());
}

TEST(BitmapTest, SizesBeyondTheLimitsLeaveAnEmptyBitmap) {
  RasterMemBitmap b(2, 2);
  EXPECT_TRUE(b.Resize(kRasterMaxDimension + 1, 1));
  EXPECT_TRUE(b.IsEmpty());
  EXPECT_FALSE(RasterSizeAllowed(kRasterMaxDimension, kRasterMaxDimension));  // too many pixels
  EXPECT_FALSE(RasterSizeAllowed(-4, 4));
  EXPECT_TRUE(RasterSizeAllowed(924, 456));
  RasterSysBitmap s(10, 10);
  s.Resize(1, -1);
  EXPECT_TRUE(s.IsEmpty());
}

TEST(BitmapTest, SysBitmapResizesWithinItsAllocationByChangingOnlyTheLogicalSize) {
  RasterSysBitmap b(10, 6);
  EXPECT_EQ(b.RowSpan(), 12);
  const RasterPixel* before = b.Pixels();
  EXPECT_TRUE(b.Resize(3, 2));
  EXPECT_EQ(b.Width(), 3);
  EXPECT_EQ(b.RowSpan(), 12);
  EXPECT_EQ(b.Pixels(), before);
  EXPECT_TRUE(b.Resize(13, 2));  // wider than allocated: a new buffer
  EXPECT_EQ(b.RowSpan(), 16);
  EXPECT_EQ(b.Height(), 2);
  b.Clear(5);
  EXPECT_EQ(b.At(12, 1), 5u);
}

}  // namespace
}  // namespace vantor
