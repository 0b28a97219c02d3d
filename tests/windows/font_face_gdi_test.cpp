// The editor's text on Windows: glyphs rasterised by GDI (metrics, coverage, blanks), and GDI's
// own text drawing where it may be used, which is never under Wine.
#include <gtest/gtest.h>

#include <algorithm>

#include "editor/raster/raster_font.h"
#include "editor/raster/raster_font_face.h"
#include "platform/platform.h"

namespace vantor {
namespace {

// The face most tests draw with: Tahoma at a 16-pixel cell.
std::unique_ptr<RasterFontFace> Tahoma16() {
  RasterFontSpec desc;
  desc.face = "Tahoma";
  desc.size = 16;
  std::string error;
  std::unique_ptr<RasterFontFace> face = RasterFontFace::Create(desc, &error);
  EXPECT_TRUE(face) << error;
  return face;
}

TEST(GdiFontFaceTest, LettersHaveInkWithinTheCellAndBlanksOnlyAdvance) {
  std::unique_ptr<RasterFontFace> face = Tahoma16();
  ASSERT_TRUE(face);
  EXPECT_GT(face->ascent(), 8);
  EXPECT_LE(face->ascent(), face->line_height());
  EXPECT_NEAR(face->line_height(), 16, 2);

  RasterGlyphImage glyph;
  ASSERT_TRUE(face->RenderGlyph(U'H', &glyph));
  EXPECT_GT(glyph.width, 3);
  EXPECT_GT(glyph.height, 6);
  EXPECT_LE(glyph.top, face->ascent() + 1);
  EXPECT_GT(glyph.advance_x, glyph.width * 64 / 2);
  ASSERT_EQ(glyph.coverage.size(), static_cast<size_t>(glyph.width * glyph.height));
  EXPECT_EQ(*std::max_element(glyph.coverage.begin(), glyph.coverage.end()), 255);

  RasterGlyphImage blank;
  ASSERT_TRUE(face->RenderGlyph(U' ', &blank));
  EXPECT_EQ(blank.coverage.size(), static_cast<size_t>(blank.width * blank.height));
  EXPECT_GT(blank.advance_x, 0);

  EXPECT_FALSE(face->RenderGlyph(U'\U0001F600', &glyph));  // beyond one UTF-16 unit
}

TEST(GdiFontFaceTest, WithoutAntialiasingEveryPixelIsInkOrPaper) {
  RasterFontSpec desc;
  desc.size = 14;
  desc.bold = true;
  desc.antialiased = false;
  std::unique_ptr<RasterFontFace> face = RasterFontFace::Create(desc, nullptr);
  ASSERT_TRUE(face);
  RasterGlyphImage glyph;
  ASSERT_TRUE(face->RenderGlyph(U'g', &glyph));
  ASSERT_FALSE(glyph.coverage.empty());
  EXPECT_TRUE(std::all_of(glyph.coverage.begin(), glyph.coverage.end(),
                          [](uint8_t c) { return c == 0 || c == 255; }));
  EXPECT_TRUE(std::count(glyph.coverage.begin(), glyph.coverage.end(), 255) > 5);
}

TEST(GdiFontFaceTest, SizesOutOfRangeAreRefusedWithAReason) {
  RasterFontSpec desc;
  desc.size = 0;
  std::string error;
  EXPECT_FALSE(RasterFontFace::Create(desc, &error));
  EXPECT_FALSE(error.empty());
}

const RasterPixel kPaper = RasterMakePixel(255, 240, 240, 240);
const RasterPixel kInk = RasterMakePixel(255, 20, 40, 160);

// The span of pixels that differ from the paper, or an empty rectangle.
RasterRect InkBox(const RasterBitmap& b) {
  RasterRect box{b.Width(), b.Height(), 0, 0};
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x)
      if (b.At(x, y) != kPaper) {
        box.left = std::min(box.left, x);
        box.top = std::min(box.top, y);
        box.right = std::max(box.right, x + 1);
        box.bottom = std::max(box.bottom, y + 1);
      }
  return box.right == 0 ? RasterRect{} : box;
}

// Draws "Vantor 1.3" through a font with or without the native flag, optionally with a shadow.
RasterMemBitmap Drawn(int flags, bool shadow) {
  RasterCachedFont font(Tahoma16().release(), kRasterFontOwnsHandle | flags);
  RasterMemBitmap bitmap(160, 40);
  FillRect(&bitmap, 0, 0, 160, 40, kPaper, 1.0f, kRasterCopy);
  font.SetTextColor(kInk);
  if (shadow) font.SetEffectColor(RasterMakePixel(255, 0, 0, 0));
  RasterRect rect{10, 8, 150, 30};
  font.DrawText(&bitmap, "Vantor 1.3", -1, &rect, kRasterTextLeft);
  return bitmap;
}

class NativeTextTest : public ::testing::Test {
 protected:
  void TearDown() override { platform::OverrideRunningUnderWine(-1); }
};

TEST_F(NativeTextTest, WineIsDetectedAndThenOnlyTheGlyphCacheDraws) {
  EXPECT_TRUE(platform::RunningUnderWine());  // these tests always run under Wine
  std::unique_ptr<RasterFontFace> face = Tahoma16();
  ASSERT_TRUE(face);
  RasterMemBitmap bitmap(100, 30);
  EXPECT_FALSE(face->DrawNative(&bitmap, U"Vantor", 2, 2, {0, 0, 100, 30}, kInk));
  // A native font draws exactly what the cache draws.
  const RasterMemBitmap native = Drawn(kRasterFontNative, false);
  const RasterMemBitmap cached = Drawn(0, false);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 160; ++x)
      ASSERT_EQ(native.At(x, y), cached.At(x, y)) << x << "," << y;
}

TEST_F(NativeTextTest, OnWindowsGdiDrawsPlainTextWhereTheCacheWouldAndStaysInItsClip) {
  platform::OverrideRunningUnderWine(0);
  const RasterMemBitmap native = Drawn(kRasterFontNative, false);
  const RasterMemBitmap cached = Drawn(0, false);
  const RasterRect a = InkBox(native);
  const RasterRect b = InkBox(cached);
  ASSERT_GT(a.Width(), 40);
  EXPECT_NEAR(a.left, b.left, 2);
  EXPECT_NEAR(a.right, b.right, 3);
  EXPECT_NEAR(a.top, b.top, 2);
  EXPECT_NEAR(a.bottom, b.bottom, 2);
  bool inked = false;
  for (int y = a.top; y < a.bottom; ++y)
    for (int x = a.left; x < a.right; ++x) {
      EXPECT_EQ(RasterAlpha(native.At(x, y)), 255);
      inked = inked || native.At(x, y) == kInk;
    }
  EXPECT_TRUE(inked);

  // A shadow is the cache's work, whatever the flag says.
  const RasterMemBitmap shadowed = Drawn(kRasterFontNative, true);
  const RasterMemBitmap shadowed_cached = Drawn(0, true);
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 160; ++x)
      ASSERT_EQ(shadowed.At(x, y), shadowed_cached.At(x, y)) << x << "," << y;

  // Nothing lands outside the clip, nor above the line's cell.
  std::unique_ptr<RasterFontFace> face = Tahoma16();
  ASSERT_TRUE(face);
  RasterMemBitmap clipped(100, 40);
  FillRect(&clipped, 0, 0, 100, 40, kPaper, 1.0f, kRasterCopy);
  EXPECT_TRUE(face->DrawNative(&clipped, U"WWWWWWWW", 0, 10, {20, 0, 50, 40}, kInk));
  const RasterRect box = InkBox(clipped);
  EXPECT_GE(box.left, 20);
  EXPECT_LE(box.right, 50);
  EXPECT_GE(box.top, 10);
  EXPECT_LE(box.bottom, 10 + face->line_height());
  EXPECT_TRUE(
      face->DrawNative(&clipped, U"W", -500, -500, {0, 0, 100, 40}, kInk));  // off the bitmap
}

}  // namespace
}  // namespace vantor
