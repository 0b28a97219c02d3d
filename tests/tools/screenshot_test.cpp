// vantor_screenshot: both views, and a scripted click through the options menu.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "editor/raster/raster_png.h"
#include "support/test_home.h"

namespace vantor {
namespace {

// Runs the tool with `arguments` into `name` in the test folder; null when it failed.
std::unique_ptr<RasterMemBitmap> Shot(const std::string& name, const std::string& arguments) {
  const std::filesystem::path path = testing::TestRoot() / name;
  const std::string command = std::string("\"") + VANTOR_SCREENSHOT_TOOL + "\" -o \"" +
                              path.string() + "\" " + arguments + " 2> /dev/null";
  if (std::system(command.c_str()) != 0) return nullptr;
  return LoadPngFile(path.c_str());
}

bool SamePixels(const RasterBitmap& a, const RasterBitmap& b) {
  for (int y = 0; y < a.Height(); ++y)
    for (int x = 0; x < a.Width(); ++x)
      if (a.At(x, y) != b.At(x, y)) return false;
  return true;
}

TEST(ScreenshotTest, BothViewsAndAScriptedSwitchOfTheView) {
  const auto light = Shot("light.png", "");
  const auto dark = Shot("dark.png", "--alt-view");
  // "Switch View" is item 18 of the options menu, whose key is at 65,430.
  const auto switched = Shot("switched.png", "--menu 18 --click 65,430");
  ASSERT_TRUE(light && dark && switched);
  EXPECT_EQ(light->Width(), 924);
  EXPECT_EQ(light->Height(), 456);
  EXPECT_FALSE(SamePixels(*light, *dark));
  EXPECT_TRUE(SamePixels(*dark, *switched));
}

// At 2x the picture and the actions' coordinates are twice as large: the options key lies at
// 130, 860, and choosing "Switch View" there gives the alternative view at 2x.
TEST(ScreenshotTest, ZoomedPictureAndScriptInZoomedPixels) {
  const auto dark = Shot("dark2.png", "--zoom 2 --alt-view");
  const auto switched = Shot("switched2.png", "--zoom 2 --menu 18 --click 130,860");
  const auto middle = Shot("middle.png", "--zoom 1.5");
  ASSERT_TRUE(dark && switched && middle);
  EXPECT_EQ(dark->Width(), 1848);
  EXPECT_EQ(dark->Height(), 912);
  EXPECT_TRUE(SamePixels(*dark, *switched));
  EXPECT_EQ(middle->Width(), 1386);
  EXPECT_EQ(middle->Height(), 684);
}

TEST(ScreenshotTest, RefusesWhatItCannotDo) {
  EXPECT_EQ(Shot("none.png", "--click 10"), nullptr);
  EXPECT_EQ(Shot("none.png", "--bogus"), nullptr);
  EXPECT_EQ(Shot("none.png", "--zoom 1.25"), nullptr);
  const std::string no_output = std::string("\"") + VANTOR_SCREENSHOT_TOOL + "\" 2> /dev/null";
  EXPECT_NE(std::system(no_output.c_str()), 0);
}

}  // namespace
}  // namespace vantor
