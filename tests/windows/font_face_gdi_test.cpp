// Glyphs of the editor's text rasterised by GDI: metrics, coverage and blanks.
#include <gtest/gtest.h>

#include <algorithm>

#include "editor/raster/raster_font_face.h"

namespace vantor {
namespace {

TEST(GdiFontFaceTest, LettersHaveInkWithinTheCellAndBlanksOnlyAdvance) {
  RasterFontSpec spec;
  spec.face = "Tahoma";
  spec.size = 16;
  std::string error;
  std::unique_ptr<RasterFontFace> face = RasterFontFace::Create(spec, &error);
  ASSERT_TRUE(face) << error;
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
  RasterFontSpec spec;
  spec.size = 14;
  spec.bold = true;
  spec.antialiased = false;
  std::unique_ptr<RasterFontFace> face = RasterFontFace::Create(spec, nullptr);
  ASSERT_TRUE(face);
  RasterGlyphImage glyph;
  ASSERT_TRUE(face->RenderGlyph(U'g', &glyph));
  ASSERT_FALSE(glyph.coverage.empty());
  EXPECT_TRUE(std::all_of(glyph.coverage.begin(), glyph.coverage.end(),
                          [](uint8_t c) { return c == 0 || c == 255; }));
  EXPECT_TRUE(std::count(glyph.coverage.begin(), glyph.coverage.end(), 255) > 5);
}

TEST(GdiFontFaceTest, SizesOutOfRangeAreRefusedWithAReason) {
  RasterFontSpec spec;
  spec.size = 0;
  std::string error;
  EXPECT_FALSE(RasterFontFace::Create(spec, &error));
  EXPECT_FALSE(error.empty());
}

}  // namespace
}  // namespace vantor
