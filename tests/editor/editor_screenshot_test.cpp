// A whole editor of stock controls bound to parameters: built, drawn into memory, saved as a PNG
// and operated from code.
#include <gtest/gtest.h>

#include <filesystem>

#include "editor/raster/raster_png.h"
#include "editor_test_support.h"
#include "engine/param_ids.h"

namespace vantor {
namespace {

using testing::FrameColour;
using testing::Left;
using testing::StripPng;
using testing::TestVantor;

constexpr RasterPixel kBackground = RasterMakePixel(255, 30, 40, 50);

std::vector<uint8_t> BackgroundPng() {
  testing::PngSpec desc;
  desc.width = 924;
  desc.height = 456;
  desc.colour_type = PNG_COLOR_TYPE_RGB;
  desc.rows.assign(456, {});
  for (auto& row : desc.rows)
    for (int x = 0; x < 924; ++x)
      row.insert(row.end(), {30, 40, 50});
  return testing::WritePng(desc);
}

struct Instrument {
  TestVantor plugin;
  GraphicsHeadless g{&plugin};
  FaderControl* volume;
  KnobMultiControl* knob;
  SwitchControl* clip;
  TextControl* info;

  Instrument() {
    g.ProvideBitmap(901, BackgroundPng());
    g.ProvideBitmap(903, StripPng(20, 20, 1));
    g.ProvideBitmap(904, StripPng(20, 20, 2));
    g.ProvideBitmap(905, StripPng(24, 24, 47));
    g.Add(std::make_unique<BitmapControl>(&plugin, 0, 0, -1,
                                          g.LoadBitmapResource(901, "background.png", 1)));
    volume = g.Add(std::make_unique<FaderControl>(&plugin, 44, 236, kMainVolume,
                                                  g.LoadBitmapResource(903, "handle.png", 1)));
    knob = g.Add(std::make_unique<KnobMultiControl>(&plugin, 766, 46, kPolyVolume,
                                                    g.LoadBitmapResource(905, "knob_seq.png", 47),
                                                    Direction::Vertical, 4.0));
    clip = g.Add(std::make_unique<SwitchControl>(&plugin, 845, 48, kSoftClipping,
                                                 g.LoadBitmapResource(904, "button.png", 2)));
    info = g.Add(std::make_unique<TextControl>(&plugin, Rect{736, 423, 904, 439},
                                               TextStyle("Arial", 14, Color{224, 255, 255, 255}),
                                               "Version 1.3.1.N"));
    g.set_handle_mouse_over(true);
    // Known values, whatever the factory programs hold.
    plugin.Param(kMainVolume)->set_value(0.25);
    plugin.Param(kPolyVolume)->SetFromNormalized(0.5);
    plugin.Param(kSoftClipping)->set_value(0);
    plugin.AttachEditor(&g);
    g.OpenEditorWindow(nullptr);
  }
  RasterPixel At(int x, int y) const { return g.drawing_bitmap()->At(x, y); }
};

TEST(EditorScreenshotTest, DrawnSavedAndOperatedFromCode) {
  Instrument in;
  ASSERT_TRUE(in.g.Tick());
  EXPECT_EQ(in.g.last_presented(), (Rect{0, 0, 924, 456}));

  // What the controls show for the attached values.
  const int knob_frame = in.knob->Frame();
  EXPECT_EQ(in.At(770, 50), FrameColour(knob_frame));
  EXPECT_EQ(in.At(850, 50), FrameColour(1));  // soft clipping off
  EXPECT_EQ(in.At(10, 10), kBackground);
  const Rect handle = in.volume->HandleRect();
  EXPECT_EQ(in.At(handle.left + 5, handle.top + 5), FrameColour(1));
  int text_pixels = 0;
  for (int y = 423; y < 439; ++y)
    for (int x = 736; x < 904; ++x)
      text_pixels += in.At(x, y) != kBackground;
  EXPECT_GT(text_pixels, 50);

  // Saved and read back, pixel for pixel.
  const auto path = std::filesystem::temp_directory_path() /
                    ("vantor_editor_" +
                     std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + ".png");
  ASSERT_TRUE(in.g.SaveScreenshot(path.string().c_str()));
  auto image = LoadPngFile(path.string().c_str());
  std::filesystem::remove(path);
  ASSERT_TRUE(image);
  ASSERT_EQ(image->Width(), 924);
  ASSERT_EQ(image->Height(), 456);
  int differing = 0;
  for (int y = 0; y < 456; ++y)
    for (int x = 0; x < 924; ++x)
      differing += image->At(x, y) != in.At(x, y);
  EXPECT_EQ(differing, 0);

  // The user turns the knob all the way up and switches clipping on.
  in.g.HandleMouseDown(770, 50, Left());
  in.g.HandleMouseDrag(770, 50 - 96, Left());
  in.g.HandleMouseUp(770, 50 - 96, Left());
  in.g.HandleMouseDown(850, 50, Left());
  in.g.HandleMouseUp(850, 50, Left());
  EXPECT_DOUBLE_EQ(in.plugin.Param(kPolyVolume)->ToNormalized(), 1.0);
  EXPECT_EQ(in.plugin.Param(kSoftClipping)->value(), 1.0);
  ASSERT_TRUE(in.g.Tick());
  EXPECT_EQ(in.At(770, 50), FrameColour(47));
  EXPECT_EQ(in.At(850, 50), FrameColour(2));
  EXPECT_NE(in.g.last_presented(), (Rect{0, 0, 924, 456}));  // only what changed

  // The host moves the volume fader to the top.
  in.plugin.Param(kMainVolume)->SetFromNormalized(1.0);
  in.g.SetControlsFromParameter(kMainVolume, 1.0, true);
  ASSERT_TRUE(in.g.Tick());
  EXPECT_EQ(in.At(50, 236 + 5), FrameColour(1));
  EXPECT_EQ(in.At(50, handle.top + 19), kBackground);  // the old handle is gone
  while (in.g.Tick()) {
  }
  EXPECT_FALSE(in.g.Tick());
}

}  // namespace
}  // namespace vantor
