// Drawing: dirty regions, redraw of an area, idle ticks, bitmap frames, blending, text and the
// bitmap store.
#include <gtest/gtest.h>

#include <filesystem>

#include "editor/editor_caches.h"
#include "editor/raster/raster_png.h"
#include "editor_test_support.h"

namespace vantor {
namespace {

using testing::FrameColour;
using testing::Probe;
using testing::StripPng;

struct Editor {
  GraphicsHeadless g{nullptr};
  Editor() {
    g.PrepareDrawing();
    g.drawing_bitmap()->Clear(0);
  }
  RasterPixel At(int x, int y) const { return g.drawing_bitmap()->At(x, y); }
};

TEST(DirtyTest, TheDirtyAreaIsTheUnionOfDirtyControlsAndRedrawCleansThem) {
  Editor e;
  Probe* a = e.g.Add(std::make_unique<Probe>(nullptr, Rect{10, 10, 20, 20}));
  Probe* b = e.g.Add(std::make_unique<Probe>(nullptr, Rect{40, 5, 50, 15}));
  Probe* c = e.g.Add(std::make_unique<Probe>(nullptr, Rect{200, 200, 210, 210}));
  Rect area;
  ASSERT_TRUE(e.g.CollectDirtyArea(area));  // controls start dirty
  EXPECT_EQ(area, (Rect{10, 5, 210, 210}));
  e.g.RedrawArea({0, 0, 60, 60});  // a and b intersect it, c does not
  EXPECT_EQ(a->draws, 1);
  EXPECT_EQ(b->draws, 1);
  EXPECT_EQ(c->draws, 0);
  EXPECT_EQ(e.g.presented(), 1);
  EXPECT_EQ(e.g.last_presented(), (Rect{0, 0, 60, 60}));
  EXPECT_FALSE(e.g.CollectDirtyArea(area));  // every control was cleaned, drawn or not
  EXPECT_TRUE(area.IsEmpty());

  b->SetValueFromUser(0.5);  // a user change stays dirty for one more cycle
  ASSERT_TRUE(e.g.CollectDirtyArea(area));
  EXPECT_EQ(area, b->rect());
  e.g.RedrawArea(area);
  EXPECT_TRUE(e.g.CollectDirtyArea(area));
  e.g.RedrawArea(area);
  EXPECT_FALSE(e.g.CollectDirtyArea(area));
  EXPECT_EQ(b->draws, 3);
  EXPECT_EQ(a->draws, 1);

  // Hidden controls are not drawn but their area is, so the background covers them.
  a->SetHidden(true);
  ASSERT_TRUE(e.g.CollectDirtyArea(area));
  EXPECT_EQ(area, a->rect());
  e.g.RedrawArea(area);
  EXPECT_EQ(a->draws, 1);
}

TEST(DirtyTest, TwentyOneQuietTicksCallIdleTickOnce) {
  testing::CountingVantor plugin;
  GraphicsHeadless g(&plugin);
  Rect area;
  for (int tick = 1; tick <= 20; ++tick)
    g.CollectDirtyArea(area);
  EXPECT_EQ(plugin.idle_ticks, 0);
  g.CollectDirtyArea(area);
  EXPECT_EQ(plugin.idle_ticks, 1);
  for (int tick = 1; tick <= 20; ++tick)
    g.CollectDirtyArea(area);
  EXPECT_EQ(plugin.idle_ticks, 1);
  // A dirty control resets the count.
  g.PrepareDrawing();
  g.Add(std::make_unique<Probe>(&plugin, Rect{0, 0, 1, 1}));
  EXPECT_TRUE(g.CollectDirtyArea(area));
  g.RedrawAll();
  for (int tick = 1; tick <= 20; ++tick)
    g.CollectDirtyArea(area);
  EXPECT_EQ(plugin.idle_ticks, 1);
  g.CollectDirtyArea(area);
  EXPECT_EQ(plugin.idle_ticks, 2);
}

TEST(DrawBitmapTest, FramesAreChosenByValueAndCutFromTheStrip) {
  Editor e;
  e.g.ProvideBitmap(501, StripPng(4, 3, 5));
  const BitmapRef strip = e.g.LoadBitmapResource(501, "strip.png", 5);
  ASSERT_TRUE(strip.bitmap);
  EXPECT_EQ(strip.height, 15);
  auto* control = e.g.Add(std::make_unique<BitmapControl>(nullptr, 8, 9, -1, strip));
  EXPECT_EQ(control->rect(), (Rect{8, 9, 12, 12}));
  // trunc(4 * value + 0.5) + 1
  const std::pair<double, int> cases[] = {{0.0, 1}, {0.12, 1}, {0.13, 2}, {0.5, 3}, {1.0, 5}};
  for (auto [value, frame] : cases) {
    control->set_value(value);
    EXPECT_EQ(control->Frame(), frame) << value;
    e.g.RedrawAll();
    EXPECT_EQ(e.At(8, 9), FrameColour(frame));
    EXPECT_EQ(e.At(11, 11), FrameColour(frame));
    EXPECT_EQ(e.At(12, 11), 0u);
    EXPECT_EQ(e.At(8, 12), 0u);
  }

  // Side by side: three frames of 2 pixels, the offset runs to the right.
  testing::PngSpec desc;
  desc.width = 6;
  desc.colour_type = PNG_COLOR_TYPE_GRAY;
  desc.rows = {{1, 1, 2, 2, 3, 3}};
  e.g.ProvideBitmap(504, testing::WritePng(desc));
  BitmapRef wide = e.g.LoadBitmapResource(504, "wide.png", 3);
  wide.side_by_side = true;
  auto* beside = e.g.Add(std::make_unique<BitmapControl>(nullptr, 30, 0, -1, wide));
  EXPECT_EQ(beside->rect(), (Rect{30, 0, 32, 1}));
  beside->set_value(1.0);
  e.g.RedrawAll();
  EXPECT_EQ(e.At(30, 0), RasterMakePixel(255, 3, 3, 3));
  EXPECT_EQ(e.At(31, 0), RasterMakePixel(255, 3, 3, 3));
  EXPECT_EQ(e.At(32, 0), 0u);

  // Outside a redraw nothing is drawn.
  e.g.drawing_bitmap()->Clear(0);
  e.g.DrawBitmapFrame(wide, {0, 0, 2, 1}, 2, nullptr);
  EXPECT_EQ(e.At(0, 0), 0u);
}

TEST(DrawBitmapTest, RedrawIsClippedToTheAreaAndBlendsByAlphaAndGrayedWeight) {
  Editor e;
  e.g.ProvideBitmap(502, StripPng(10, 10, 1));
  e.g.ProvideBitmap(503, StripPng(10, 10, 1, 0));  // fully transparent
  const BitmapRef solid = e.g.LoadBitmapResource(502, "solid.PNG", 1);
  const BitmapRef clear = e.g.LoadBitmapResource(503, "clear.png", 1);
  auto* a = e.g.Add(std::make_unique<BitmapControl>(nullptr, 0, 0, -1, solid));
  e.g.Add(std::make_unique<BitmapControl>(nullptr, 0, 0, -1, clear));
  e.g.RedrawArea({2, 3, 5, 6});
  EXPECT_EQ(e.At(2, 3), FrameColour(1));
  EXPECT_EQ(e.At(4, 5), FrameColour(1));  // the transparent bitmap on top changed nothing
  EXPECT_EQ(e.At(1, 3), 0u);
  EXPECT_EQ(e.At(5, 5), 0u);
  EXPECT_EQ(e.At(2, 6), 0u);

  // Grayed: a quarter of the colour over white.
  e.g.drawing_bitmap()->Clear(RasterMakePixel(255, 255, 255, 255));
  a->SetGrayed(true);
  e.g.RedrawArea({0, 0, 10, 10});
  const RasterPixel p = e.At(0, 0);
  EXPECT_EQ(RasterRed(p), (10 * 64 + 255 * 192) / 256);
  EXPECT_EQ(RasterBlue(p), (200 * 64 + 255 * 192) / 256);
}

TEST(BitmapStoreTest, ResourcesAreDecodedOncePerProcessAndFailuresGiveNullBitmaps) {
  GraphicsHeadless one(nullptr);
  GraphicsHeadless two(nullptr);
  one.ProvideBitmap(601, StripPng(2, 2, 1));
  const BitmapRef first = one.LoadBitmapResource(601, "x.png", 1);
  const BitmapRef second = two.LoadBitmapResource(601, "x.png", 3);  // found, not loaded
  ASSERT_TRUE(first.bitmap);
  EXPECT_EQ(second.bitmap, first.bitmap);
  EXPECT_EQ(second.frames, 3);
  EXPECT_FALSE(second.side_by_side);

  one.ProvideBitmap(602, StripPng(2, 2, 1));
  EXPECT_FALSE(one.LoadBitmapResource(602, "x.bmp", 1).bitmap);  // not named .png
  one.ProvideBitmap(603, {0x89, 'P', 'N', 'G'});
  EXPECT_FALSE(one.LoadBitmapResource(603, "short.png", 1).bitmap);
  EXPECT_FALSE(one.LoadBitmapResource(604, "none.png", 1).bitmap);

  const auto path = std::filesystem::temp_directory_path() / "vantor_store_test.png";
  RasterMemBitmap image(3, 4);
  ASSERT_TRUE(SavePngFile(image, path.string().c_str()));
  const int before = BitmapStore::Instance().size();
  const BitmapRef file = one.LoadBitmapFile(path.string().c_str(), 2);
  ASSERT_TRUE(file.bitmap);
  EXPECT_EQ(file.height, 4);
  EXPECT_EQ(BitmapStore::Instance().size(), before + 1);
  EXPECT_TRUE(BitmapStore::Instance().Remove(file.bitmap));
  EXPECT_FALSE(BitmapStore::Instance().Remove(file.bitmap));
  std::filesystem::remove(path);
  EXPECT_FALSE(one.LoadBitmapFile(path.string().c_str(), 1).bitmap);

  // A control with a missing bitmap draws nothing.
  one.PrepareDrawing();
  one.drawing_bitmap()->Clear(7);
  one.Add(std::make_unique<BitmapControl>(nullptr, Rect{0, 0, 5, 5}, -1, BitmapRef{}));
  one.RedrawAll();
  EXPECT_EQ(one.drawing_bitmap()->At(2, 2), 7u);
}

TEST(TextTest, TextControlsDrawTheirTextAndMeasuringFollowsTheAlignment) {
  Editor e;
  TextStyle style("Arial", 14, Color{224, 255, 255, 255});
  auto* text = e.g.Add(std::make_unique<TextControl>(nullptr, Rect{10, 10, 110, 26}, style, "Hi"));
  e.g.RedrawAll();
  int inked = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 130; ++x) {
      const RasterPixel p = e.At(x, y);
      if (p == 0) continue;
      ++inked;
      EXPECT_GE(x, 10);
      EXPECT_LT(x, 110);
      EXPECT_EQ(RasterRed(p), RasterGreen(p));  // white, at most 224 / 255 of it
      EXPECT_LE(RasterRed(p), 225);
    }
  EXPECT_GT(inked, 10);
  ASSERT_TRUE(text->text_style().cached_font);
  EXPECT_EQ(FontCache::Instance().Find(14, 0, kStyleNormal, "Arial"),
            text->text_style().cached_font);

  text->SetText("Hi");
  EXPECT_FALSE(text->IsDirty());
  text->SetText("Longer text");
  EXPECT_TRUE(text->IsDirty());

  // A text a little wider than its control is drawn smaller, whole, within the control.
  const std::string wide = "Resonator 3 Frequency";
  Rect natural{0, 0, 0, 0};
  ASSERT_TRUE(e.g.MeasureText(style, wide.c_str(), natural));
  const Rect tight{10, 40, 10 + natural.Width() - 12, 56};
  e.g.Add(std::make_unique<TextControl>(nullptr, tight, style, wide));
  e.g.RedrawAll();
  int ink_left = 1000, ink_right = -1;
  for (int y = 30; y < 70; ++y)
    for (int x = 0; x < 300; ++x)
      if (e.At(x, y) != 0) {
        ink_left = std::min(ink_left, x);
        ink_right = std::max(ink_right, x);
        EXPECT_TRUE(tight.Contains(x, y)) << x << "," << y;
      }
  EXPECT_GT(ink_left, tight.left);  // not cut: ink ends short of both edges
  EXPECT_LT(ink_right, tight.right - 1);

  // A text far wider than its control is cut at the control's edges, so a later redraw of the
  // control alone leaves nothing behind.
  text->SetText("A text far wider than the control that shows it");
  e.g.drawing_bitmap()->Clear(0);
  e.g.RedrawAll();
  inked = 0;
  for (int y = 0; y < 40; ++y)
    for (int x = 0; x < 130; ++x)
      if (e.At(x, y) != 0) {
        ++inked;
        EXPECT_TRUE(text->rect().Contains(x, y)) << x << "," << y;
      }
  EXPECT_GT(inked, 10);

  Rect centred{100, 50, 200, 60};
  ASSERT_TRUE(e.g.MeasureText(style, "Hello", centred));
  const int w = centred.Width();
  EXPECT_GT(w, 20);
  EXPECT_EQ(centred.left, 150 - w / 2);
  EXPECT_EQ(centred.bottom, 50 + 14);
  style.align = kAlignRight;
  Rect right{100, 50, 200, 60};
  e.g.MeasureText(style, "Hello", right);
  EXPECT_EQ(right, (Rect{200 - w, 50, 200, 64}));
  style.align = kAlignLeft;
  Rect left{100, 50, 200, 60};
  e.g.MeasureText(style, "Hello", left);
  EXPECT_EQ(left, (Rect{100, 50, 100 + w, 64}));
  EXPECT_FALSE(e.g.DrawText(style, "", left));
}

TEST(TextTest, WithoutAnyFontTextIsNotDrawn) {
  const std::vector<std::string> folders = RasterFontFolders();
  SetRasterFontFolders({});
  Editor e;
  TextStyle style("Some Face Nobody Has", 13, Color{});
  Rect r{0, 0, 50, 20};
  e.g.RedrawArea(r);
  EXPECT_FALSE(e.g.DrawText(style, "text", r));
  EXPECT_FALSE(e.g.MeasureText(style, "text", r));
  SetRasterFontFolders(folders);
}

}  // namespace
}  // namespace vantor
