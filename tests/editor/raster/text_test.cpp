// Text: UTF-8 decoding, font lookup, the glyph cache, measuring and drawing.
#include <gtest/gtest.h>

#include <string>

#include "editor/raster/raster_font.h"
#include "editor/raster/raster_utf8.h"

namespace vantor {
namespace {

TEST(Utf8Test, DecodesTwoAndThreeByteSequencesAndLetsOtherBytesStandForThemselves) {
  EXPECT_EQ(DecodeText("a\xC3\xA9\xE2\x82\xAC", -1), U"a\u00E9\u20AC");
  EXPECT_EQ(DecodeText("\xF0\x9F\x8E\xB9x", -1), U" x");     // four bytes: a blank
  EXPECT_EQ(DecodeText("\xE9t\xE9", -1), U"\u00E9t\u00E9");  // Latin-1 text
  EXPECT_EQ(DecodeText("\x80\xBF", -1), U"\u0080\u00BF");    // stray continuation bytes
  EXPECT_EQ(DecodeText("\xF8\xFF", -1), U"\u00F8\u00FF");
  EXPECT_EQ(DecodeText("\xE2\x82", -1), U"\u00E2\u0082");  // cut short at the end
  EXPECT_EQ(DecodeText("\xC3x", -1), U"\u00C3x");          // broken by an ASCII byte
  // The length bounds the sequence, so nothing past it is read.
  EXPECT_EQ(DecodeText("abc", 2), U"ab");
  EXPECT_EQ(DecodeText("\xC3\xA9", 1), U"\u00C3");
  EXPECT_EQ(DecodeText("\xF0\x9F\x8E\xB9", 3), U"\u00F0\u009F\u008E");
  EXPECT_EQ(DecodeText(nullptr, -1), U"");
}

std::unique_ptr<RasterCachedFont> MakeFont(RasterFontSpec desc = {}) {
  std::string error;
  std::unique_ptr<RasterFontFace> face = RasterFontFace::Create(desc, &error);
  EXPECT_TRUE(face) << error;
  if (!face) return nullptr;
  return std::make_unique<RasterCachedFont>(face.release(), kRasterFontOwnsHandle);
}

const RasterPixel kWhite = RasterMakePixel(255, 255, 255, 255);
const RasterPixel kBlack = RasterMakePixel(255, 0, 0, 0);

// The span of columns and rows that differ from white, or an empty rectangle.
RasterRect InkBox(const RasterBitmap& b) {
  RasterRect box{b.Width(), b.Height(), 0, 0};
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x)
      if (b.At(x, y) != kWhite) {
        box.left = std::min(box.left, x);
        box.top = std::min(box.top, y);
        box.right = std::max(box.right, x + 1);
        box.bottom = std::max(box.bottom, y + 1);
      }
  return box.right == 0 ? RasterRect{} : box;
}

bool SamePixels(const RasterBitmap& a, const RasterBitmap& b) {
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x)
      if (a.At(x, y) != b.At(x, y)) return false;
  return true;
}

struct Canvas {
  RasterMemBitmap bitmap{120, 40};
  Canvas() { bitmap.Clear(kWhite); }
};

TEST(FontTest, FaceHasTheRequestedCellHeightAndMissingFontsFailClearly) {
  auto font = MakeFont();
  ASSERT_TRUE(font);
  EXPECT_NEAR(font->line_height(), 12, 1);
  EXPECT_GT(font->GetFontHandle()->ascent(), 6);
  EXPECT_LT(font->GetFontHandle()->ascent(), font->line_height());

  const std::vector<std::string> folders = RasterFontFolders();
  SetRasterFontFolders({"/nonexistent/fonts"});
  std::string error;
  EXPECT_FALSE(RasterFontFace::Create({}, &error));
  SetRasterFontFolders(folders);
  EXPECT_NE(error.find("fonts-dejavu-core"), std::string::npos) << error;

  RasterFontSpec silly;
  silly.size = 0;
  EXPECT_FALSE(RasterFontFace::Create(silly, &error));
}

TEST(FontTest, EachCharacterIsRasterisedOnceAndThenReused) {
  auto font = MakeFont();
  ASSERT_TRUE(font);
  Canvas canvas;
  RasterRect rect{0, 0, 120, 40};
  font->DrawText(&canvas.bitmap, "aaa", -1, &rect, 0);
  EXPECT_EQ(font->glyphs_rasterised(), 1);
  const RasterRect first = InkBox(canvas.bitmap);
  font->DrawText(&canvas.bitmap, "aab", -1, &rect, 0);
  EXPECT_EQ(font->glyphs_rasterised(), 2);
  // Characters beyond the first 256 live in the sorted list.
  font->DrawText(&canvas.bitmap, "\xE2\x82\xAC \xCE\xA9 \xE2\x82\xAC", -1, &rect, 0);
  EXPECT_EQ(font->glyphs_rasterised(), 5);
  font->DrawText(&canvas.bitmap, "\xCE\xA9\xE2\x82\xAC ba", -1, &rect, 0);
  EXPECT_EQ(font->glyphs_rasterised(), 5);

  // Replacing the face empties the cache.
  std::string error;
  font->SetFontHandle(RasterFontFace::Create({}, &error).release(), kRasterFontOwnsHandle);
  Canvas again;
  font->DrawText(&again.bitmap, "aaa", -1, &rect, 0);
  EXPECT_EQ(font->glyphs_rasterised(), 6);
  EXPECT_EQ(InkBox(again.bitmap).right, first.right);
}

TEST(FontTest, MeasuringSetsRightAndBottomWithoutDrawing) {
  auto font = MakeFont();
  ASSERT_TRUE(font);
  Canvas canvas;
  RasterRect narrow{10, 20, 10, 20};
  RasterRect wide = narrow;
  EXPECT_EQ(font->DrawText(&canvas.bitmap, "ii", -1, &narrow, kRasterTextCalcRect),
            font->line_height());
  font->DrawText(&canvas.bitmap, "WW", -1, &wide, kRasterTextCalcRect | kRasterTextCenter);
  EXPECT_EQ(narrow.left, 10);
  EXPECT_EQ(narrow.bottom, 20 + font->line_height());
  EXPECT_GT(narrow.right, 10);
  EXPECT_GT(wide.right, narrow.right);
  EXPECT_EQ(InkBox(canvas.bitmap).right, 0);  // nothing drawn

  RasterRect two_lines{0, 0, 0, 0};
  font->DrawText(nullptr, "WW\nii", -1, &two_lines, kRasterTextCalcRect);
  EXPECT_EQ(two_lines.bottom, 2 * font->line_height());
  EXPECT_EQ(two_lines.right, wide.right - 10);
}

TEST(FontTest, TextIsAlignedAndClippedToItsRectangleUnlessToldOtherwise) {
  auto font = MakeFont();
  ASSERT_TRUE(font);
  font->SetTextColor(kBlack);
  const char* text = "Hello";
  RasterRect size{0, 0, 0, 0};
  font->DrawText(nullptr, text, -1, &size, kRasterTextCalcRect);

  Canvas left, centre, right;
  RasterRect rect{20, 5, 100, 30};
  font->DrawText(&left.bitmap, text, -1, &rect, kRasterTextLeft);
  font->DrawText(&centre.bitmap, text, -1, &rect, kRasterTextCenter);
  font->DrawText(&right.bitmap, text, -1, &rect, kRasterTextRight);
  const RasterRect l = InkBox(left.bitmap);
  const RasterRect c = InkBox(centre.bitmap);
  const RasterRect r = InkBox(right.bitmap);
  EXPECT_NEAR(l.left, 20, 2);
  EXPECT_NEAR(r.right, 100, 2);
  EXPECT_NEAR(c.left - 20, 100 - c.right, 3);
  EXPECT_EQ(r.left - l.left, 80 - size.right);
  EXPECT_GE(l.top, 5);
  EXPECT_LE(l.bottom, 5 + font->line_height());

  Canvas clipped, free;
  RasterRect small{20, 5, 30, 30};
  font->DrawText(&clipped.bitmap, "Wide text", -1, &small, 0);
  EXPECT_LE(InkBox(clipped.bitmap).right, 30);
  font->DrawText(&free.bitmap, "Wide text", -1, &small, kRasterTextNoClip);
  EXPECT_GT(InkBox(free.bitmap).right, 40);
  // Text running off the bitmap is cut at its edge.
  RasterRect off{100, 30, 400, 80};
  font->DrawText(&free.bitmap, "Wide text", -1, &off, kRasterTextNoClip);
}

TEST(FontTest, TheFontsOwnClipBoundsUnclippedTextToo) {
  auto font = MakeFont();
  ASSERT_TRUE(font);
  font->SetTextColor(kBlack);
  // The editor limits text to the area being redrawn; nothing may land outside it.
  const RasterRect area{30, 0, 60, 40};
  font->set_clip(&area);
  Canvas canvas;
  RasterRect rect{5, 5, 115, 30};
  font->DrawText(&canvas.bitmap, "Wide wide text", -1, &rect, kRasterTextNoClip);
  const RasterRect ink = InkBox(canvas.bitmap);
  EXPECT_GE(ink.left, 30);
  EXPECT_LE(ink.right, 60);
  EXPECT_GT(ink.Width(), 20);
  font->set_clip(nullptr);
}

TEST(FontTest, InvalidUtf8DrawsAsTheBytesThemselvesAndFourByteSequencesAsBlanks) {
  auto font = MakeFont();
  ASSERT_TRUE(font);
  RasterRect rect{0, 0, 120, 40};
  Canvas latin1, utf8;
  font->DrawText(&latin1.bitmap, "caf\xE9", -1, &rect, 0);
  font->DrawText(&utf8.bitmap, "caf\xC3\xA9", -1, &rect, 0);
  EXPECT_TRUE(SamePixels(latin1.bitmap, utf8.bitmap));

  Canvas emoji, blank;
  font->DrawText(&emoji.bitmap, "a\xF0\x9F\x8E\xB9z", -1, &rect, 0);
  font->DrawText(&blank.bitmap, "a z", -1, &rect, 0);
  EXPECT_TRUE(SamePixels(emoji.bitmap, blank.bitmap));
}

TEST(FontTest, ColourQualityAlphaAndBackground) {
  RasterFontSpec mono;
  mono.antialiased = false;
  mono.size = 16;
  auto font = MakeFont(mono);
  ASSERT_TRUE(font);
  const RasterPixel red = RasterMakePixel(255, 255, 0, 0);
  font->SetTextColor(red);
  Canvas canvas;
  RasterRect rect{0, 0, 120, 40};
  font->DrawText(&canvas.bitmap, "Mono", -1, &rect, 0);
  int inked = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 120; ++x) {
      const RasterPixel p = canvas.bitmap.At(x, y);
      ASSERT_TRUE(p == kWhite || p == red) << std::hex << p;
      inked += p == red;
    }
  EXPECT_GT(inked, 20);

  // The colour's alpha acts through the combine mode: alpha 0 draws nothing.
  Canvas invisible;
  font->SetTextColor(RasterMakePixel(0, 255, 0, 0));
  font->SetCombineMode(kRasterCopy | kRasterUseSourceAlpha, 1.0f);
  font->DrawText(&invisible.bitmap, "Mono", -1, &rect, 0);
  EXPECT_EQ(InkBox(invisible.bitmap).right, 0);

  // An opaque background fills the text's line box; the effect colour adds a shadow.
  font->SetCombineMode(kRasterCopy, 1.0f);
  EXPECT_EQ(font->SetTextColor(kBlack), RasterMakePixel(0, 255, 0, 0));
  font->SetBackgroundColor(RasterMakePixel(255, 0, 0, 255));
  EXPECT_EQ(font->SetBackgroundMode(kRasterOpaque), kRasterTransparent);
  Canvas boxed;
  RasterRect at{10, 10, 120, 40};
  font->DrawText(&boxed.bitmap, "ab", -1, &at, 0);
  EXPECT_EQ(boxed.bitmap.At(10, 10), RasterMakePixel(255, 0, 0, 255));
  EXPECT_EQ(boxed.bitmap.At(9, 10), kWhite);
  font->SetBackgroundMode(kRasterTransparent);
  Canvas plain, shadowed;
  font->DrawText(&plain.bitmap, "ab", -1, &at, 0);
  font->SetEffectColor(RasterMakePixel(255, 128, 128, 128));
  font->DrawText(&shadowed.bitmap, "ab", -1, &at, 0);
  EXPECT_EQ(InkBox(shadowed.bitmap).right, InkBox(plain.bitmap).right + 1);
}

}  // namespace
}  // namespace vantor
