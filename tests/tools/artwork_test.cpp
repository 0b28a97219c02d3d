// The images in resources/img are the generator's drawing of the current layout: a control
// moved in the layout without redrawing the artwork (./vantor.sh artwork) fails here.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "editor/raster/raster_png.h"
#include "editor/vantor_layout.h"
#include "support/test_home.h"

namespace vantor {
namespace {

// Channels may differ by rounding between optimised and unoptimised builds, no more.
constexpr int kTolerance = 2;

int Difference(RasterPixel a, RasterPixel b) {
  return std::max({std::abs(RasterAlpha(a) - RasterAlpha(b)), std::abs(RasterRed(a) - RasterRed(b)),
                   std::abs(RasterGreen(a) - RasterGreen(b)),
                   std::abs(RasterBlue(a) - RasterBlue(b))});
}

TEST(ArtworkTest, TheCommittedImagesAreTheGeneratorsDrawingOfTheLayout) {
  const std::filesystem::path drawn = testing::TestRoot() / "artwork";
  std::filesystem::create_directories(drawn);
  const std::string command =
      std::string("\"") + VANTOR_ARTWORK_TOOL + "\" \"" + drawn.string() + "\" > /dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0) << "the generator failed (are the DejaVu fonts, "
                                                "fonts-dejavu-extra among them, installed?)";
  for (const layout::BitmapSpec& desc : layout::kBitmaps) {
    const std::string name = std::filesystem::path(desc.file).filename().string();
    const auto committed = LoadPngFile((std::filesystem::path(VANTOR_IMAGE_FOLDER) / name).c_str());
    const auto fresh = LoadPngFile((drawn / name).c_str());
    ASSERT_TRUE(committed && fresh) << name;
    ASSERT_EQ(committed->Width(), desc.width) << name;
    ASSERT_EQ(committed->Height(), desc.height) << name;
    ASSERT_EQ(fresh->Width(), desc.width) << name;
    ASSERT_EQ(fresh->Height(), desc.height) << name;
    int worst = 0;
    for (int y = 0; y < desc.height; ++y)
      for (int x = 0; x < desc.width; ++x)
        worst = std::max(worst, Difference(committed->At(x, y), fresh->At(x, y)));
    EXPECT_LE(worst, kTolerance) << name
                                 << " differs from the generator's drawing: run "
                                    "./vantor.sh artwork and commit the images";
  }
}

}  // namespace
}  // namespace vantor
