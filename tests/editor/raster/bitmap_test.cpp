// RasterMemBitmap and RasterSysBitmap: row spans, resizing and size limits; smooth resampling.
#include "editor/raster/raster_bitmap.h"

#include <gtest/gtest.h>

#include <vector>

#include "editor/raster/raster_scale.h"

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

// Bilinear between pixel centres: destination pixel i of n samples the source (i + 0.5) * m / n
// - 0.5, held to the source's edge pixels. A grey ramp across a black and a white pixel shows
// the weights; a strip's frames never mix; a transparent pixel lends no colour, only its alpha.
TEST(BitmapTest, ResamplingIsBilinearWithinEachFrameAndWeightsColourByAlpha) {
  const RasterPixel black = RasterMakePixel(255, 0, 0, 0);
  const RasterPixel white = RasterMakePixel(255, 255, 255, 255);
  RasterMemBitmap pair(2, 1);
  pair.Row(0)[0] = black;
  pair.Row(0)[1] = white;
  auto greys = [](const RasterBitmap& b) {
    std::vector<int> out;
    for (int x = 0; x < b.Width(); ++x) {
      EXPECT_EQ(RasterAlpha(b.At(x, 0)), 255);
      EXPECT_EQ(RasterRed(b.At(x, 0)), RasterBlue(b.At(x, 0)));
      out.push_back(RasterGreen(b.At(x, 0)));
    }
    return out;
  };
  // 2x: samples at -0.25 (held at 0), 0.25, 0.75, 1.25 (held at 1); 63.75 and 191.25 round.
  EXPECT_EQ(greys(*ResampleBitmap(pair, 4, 1)), (std::vector<int>{0, 64, 191, 255}));
  // 1.5x: samples at -1/6, 1/2 and 7/6.
  EXPECT_EQ(greys(*ResampleBitmap(pair, 3, 1)), (std::vector<int>{0, 128, 255}));

  // A strip of a red and a blue frame, one pixel each, at 2x: two rows of each, nothing between.
  RasterMemBitmap strip(1, 2);
  strip.Row(0)[0] = RasterMakePixel(255, 255, 0, 0);
  strip.Row(1)[0] = RasterMakePixel(255, 0, 0, 255);
  const auto frames = ResampleBitmap(strip, 1, 4, 2);
  ASSERT_TRUE(frames);
  for (int y = 0; y < 4; ++y)
    EXPECT_EQ(frames->At(0, y), strip.At(0, y / 2)) << y;
  // As one picture the middle rows blend.
  EXPECT_EQ(ResampleBitmap(strip, 1, 4, 1)->At(0, 1), RasterMakePixel(255, 191, 0, 64));

  // Opaque white beside transparent black: the alpha ramps, the colour stays white.
  pair.Row(0)[0] = RasterMakePixel(0, 0, 0, 0);
  const auto edge = ResampleBitmap(pair, 4, 1);
  EXPECT_EQ(edge->At(0, 0), 0u);
  EXPECT_EQ(edge->At(1, 0), RasterMakePixel(64, 255, 255, 255));
  EXPECT_EQ(edge->At(2, 0), RasterMakePixel(191, 255, 255, 255));

  EXPECT_EQ(ResampleBitmap(RasterMemBitmap(0, 0), 4, 4), nullptr);
}

}  // namespace
}  // namespace vantor
