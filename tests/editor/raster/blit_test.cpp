// Blit and FillRect: the blend formulas at their edge values, source alpha, and clipping.
#include "editor/raster/raster_blit.h"

#include <gtest/gtest.h>

#include <limits>

namespace vantor {
namespace {

RasterMemBitmap Solid(int w, int h, RasterPixel p) {
  RasterMemBitmap b(w, h);
  b.Clear(p);
  return b;
}

RasterPixel BlitOne(RasterPixel dst, RasterPixel src, float weight, int mode) {
  RasterMemBitmap d = Solid(1, 1, dst);
  RasterMemBitmap s = Solid(1, 1, src);
  Blit(&d, &s, 0, 0, nullptr, weight, mode);
  return d.At(0, 0);
}

TEST(BlendTest, CopyStoresAtFullWeightAndMixesBelow) {
  const RasterPixel src = RasterMakePixel(17, 200, 100, 0);
  const RasterPixel dst = RasterMakePixel(255, 0, 50, 255);
  EXPECT_EQ(BlitOne(dst, src, 1.0f, kRasterCopy), src);  // alpha included
  // w = 128: (s * 128 + d * 128) / 256 per channel.
  EXPECT_EQ(BlitOne(dst, src, 0.5f, kRasterCopy), RasterMakePixel(136, 100, 75, 127));
  // w = 64: (s * 64 + d * 192) / 256.
  EXPECT_EQ(BlitOne(dst, src, 0.25f, kRasterCopy), RasterMakePixel(195, 50, 62, 191));
  EXPECT_EQ(BlitOne(dst, src, 0.0f, kRasterCopy), dst);
  EXPECT_EQ(BlitOne(dst, src, std::numeric_limits<float>::quiet_NaN(), kRasterCopy), dst);
  EXPECT_EQ(BlitOne(dst, src, 7.0f, kRasterCopy), src);  // weights above 1 count as 1
}

TEST(BlendTest, AddSaturatesAt255) {
  const RasterPixel dst = RasterMakePixel(255, 200, 10, 0);
  const RasterPixel src = RasterMakePixel(255, 100, 10, 255);
  EXPECT_EQ(BlitOne(dst, src, 1.0f, kRasterAdd), RasterMakePixel(255, 255, 20, 255));
  // Half weight adds s * 128 / 256.
  EXPECT_EQ(BlitOne(dst, src, 0.5f, kRasterAdd), RasterMakePixel(255, 250, 15, 127));
}

TEST(BlendTest, DodgeBrightensAndSaturates) {
  // d * 256 / (256 - s): 100 * 256 / 128 = 200; 200 * 256 / 128 saturates.
  EXPECT_EQ(BlitOne(RasterMakePixel(255, 100, 200, 0), RasterMakePixel(255, 128, 128, 128), 1.0f,
                    kRasterDodge),
            RasterMakePixel(255, 200, 255, 0));
  // Source 255 at full weight: every channel becomes 255 unless it is 0.
  EXPECT_EQ(BlitOne(RasterMakePixel(255, 1, 0, 254), RasterMakePixel(255, 255, 255, 255), 1.0f,
                    kRasterDodge),
            RasterMakePixel(255, 255, 0, 255));
  // 254 is still the formula: 1 * 256 / 2 = 128.
  EXPECT_EQ(
      BlitOne(RasterMakePixel(255, 1, 1, 1), RasterMakePixel(255, 254, 0, 0), 1.0f, kRasterDodge),
      RasterMakePixel(255, 128, 1, 1));
}

TEST(BlendTest, SourceAlphaScalesTheWeightPerPixelAndKeepsOpaqueDestinations) {
  const RasterPixel white = RasterMakePixel(255, 255, 255, 255);
  const int copy = kRasterCopy | kRasterUseSourceAlpha;
  // Opaque source at full weight: stored.
  EXPECT_EQ(BlitOne(white, RasterMakePixel(255, 10, 20, 30), 1.0f, copy),
            RasterMakePixel(255, 10, 20, 30));
  // Transparent source: the destination is untouched, in every mode.
  for (int mode : {kRasterCopy, kRasterAdd, kRasterDodge})
    EXPECT_EQ(BlitOne(white, RasterMakePixel(0, 0, 0, 0), 1.0f, mode | kRasterUseSourceAlpha),
              white);
  // Alpha 127: w = 256 * 128 / 256 = 128, so black over white gives 127; alpha stays 255.
  EXPECT_EQ(BlitOne(white, RasterMakePixel(127, 0, 0, 0), 1.0f, copy),
            RasterMakePixel(255, 127, 127, 127));
  // Grayed drawing at a quarter weight of an opaque pixel.
  EXPECT_EQ(BlitOne(white, RasterMakePixel(255, 0, 0, 0), 0.25f, copy),
            RasterMakePixel(255, 191, 191, 191));
  // On a transparent destination the alpha becomes the coverage.
  EXPECT_EQ(RasterAlpha(BlitOne(0, RasterMakePixel(127, 0, 0, 0), 1.0f, copy)), 127);
  EXPECT_EQ(BlitOne(RasterMakePixel(255, 100, 0, 0), RasterMakePixel(127, 255, 255, 255), 1.0f,
                    kRasterAdd | kRasterUseSourceAlpha),
            RasterMakePixel(255, 227, 127, 127));
}

TEST(BlitTest, ClipsAgainstBothBitmapsAndTheSourceRectangle) {
  RasterMemBitmap dst = Solid(4, 4, 0);
  RasterMemBitmap src(3, 3);
  for (int y = 0; y < 3; ++y)
    for (int x = 0; x < 3; ++x)
      src.Row(y)[x] = RasterMakePixel(255, x, y, 1);

  Blit(&dst, &src, -1, -1, nullptr, 1.0f, kRasterCopy);  // top-left corner cut off
  EXPECT_EQ(dst.At(0, 0), RasterMakePixel(255, 1, 1, 1));
  EXPECT_EQ(dst.At(1, 1), RasterMakePixel(255, 2, 2, 1));
  EXPECT_EQ(dst.At(2, 2), 0u);

  dst.Clear(0);
  Blit(&dst, &src, 3, 3, nullptr, 1.0f, kRasterCopy);  // only one pixel fits
  EXPECT_EQ(dst.At(3, 3), RasterMakePixel(255, 0, 0, 1));
  EXPECT_EQ(dst.At(2, 3), 0u);

  dst.Clear(0);
  const RasterRect part{-2, 1, 9, 2};  // a source rectangle reaching outside the source
  Blit(&dst, &src, 0, 0, &part, 1.0f, kRasterCopy);
  EXPECT_EQ(dst.At(2, 0), RasterMakePixel(255, 0, 1, 1));
  EXPECT_EQ(dst.At(4 - 1, 0), RasterMakePixel(255, 1, 1, 1));
  EXPECT_EQ(dst.At(0, 0), 0u);
  EXPECT_EQ(dst.At(2, 1), 0u);

  // Far-away and extreme positions do nothing, and nothing for null bitmaps.
  dst.Clear(0);
  Blit(&dst, &src, std::numeric_limits<int>::min(), std::numeric_limits<int>::max(), nullptr, 1.0f,
       kRasterCopy);
  Blit(&dst, nullptr, 0, 0, nullptr, 1.0f, kRasterCopy);
  Blit(nullptr, &src, 0, 0, nullptr, 1.0f, kRasterCopy);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x)
      EXPECT_EQ(dst.At(x, y), 0u);
}

TEST(BlitTest, OverlappingCopyWithinOneBitmap) {
  RasterMemBitmap b(1, 4);
  for (int y = 0; y < 4; ++y)
    b.Row(y)[0] = static_cast<RasterPixel>(y);
  const RasterRect top{0, 0, 1, 3};
  Blit(&b, &b, 0, 1, &top, 1.0f, kRasterCopy);
  EXPECT_EQ(b.At(0, 1), 0u);
  EXPECT_EQ(b.At(0, 2), 1u);
  EXPECT_EQ(b.At(0, 3), 2u);
}

TEST(FillRectTest, WeightsModesAndClipping) {
  const RasterPixel red = RasterMakePixel(255, 255, 0, 0);
  RasterMemBitmap b = Solid(4, 4, RasterMakePixel(255, 0, 0, 255));
  FillRect(&b, -2, -2, 4, 4, red, 1.0f, kRasterCopy);
  EXPECT_EQ(b.At(1, 1), red);
  EXPECT_EQ(b.At(2, 2), RasterMakePixel(255, 0, 0, 255));

  // Half weight is the average, as the copy formula would give.
  FillRect(&b, 2, 0, 1, 1, RasterMakePixel(255, 255, 255, 1), 0.5f, kRasterCopy);
  EXPECT_EQ(b.At(2, 0), RasterMakePixel(255, 127, 127, 128));

  // With source alpha the colour's alpha scales the weight: 128 / 255 of 256 is 128.
  b.Clear(RasterMakePixel(255, 0, 0, 0));
  FillRect(&b, 0, 0, 1, 1, RasterMakePixel(128, 255, 255, 255), 1.0f,
           kRasterCopy | kRasterUseSourceAlpha);
  EXPECT_EQ(b.At(0, 0), RasterMakePixel(255, 127, 127, 127));
  FillRect(&b, 1, 0, 1, 1, RasterMakePixel(0, 255, 255, 255), 1.0f,
           kRasterCopy | kRasterUseSourceAlpha);
  EXPECT_EQ(b.At(1, 0), RasterMakePixel(255, 0, 0, 0));

  FillRect(&b, 0, 1, 1, 1, RasterMakePixel(255, 200, 0, 0), 1.0f, kRasterAdd);
  FillRect(&b, 0, 1, 1, 1, RasterMakePixel(255, 200, 0, 0), 1.0f, kRasterAdd);
  EXPECT_EQ(RasterRed(b.At(0, 1)), 255);

  // Sizes that would overflow int arithmetic are clipped, not wrapped.
  b.Clear(0);
  FillRect(&b, 1, 1, std::numeric_limits<int>::max(), std::numeric_limits<int>::max(), red, 1.0f,
           kRasterCopy);
  EXPECT_EQ(b.At(3, 3), red);
  EXPECT_EQ(b.At(0, 0), 0u);
  FillRect(nullptr, 0, 0, 1, 1, red, 1.0f, kRasterCopy);
}

}  // namespace
}  // namespace vantor
