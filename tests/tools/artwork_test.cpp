// The images in resources/img are the generator's drawing of the current layout at every zoom:
// a control moved in the layout without redrawing the artwork (./vantor.sh artwork) fails here.
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
  for (const int zoom : kZoomPercents) {
    for (const layout::BitmapSpec& desc : layout::kBitmaps) {
      const std::string name =
          std::filesystem::path(layout::ZoomedFile(desc.file, zoom)).filename().string();
      const auto committed =
          LoadPngFile((std::filesystem::path(VANTOR_IMAGE_FOLDER) / name).c_str());
      const auto fresh = LoadPngFile((drawn / name).c_str());
      ASSERT_TRUE(committed && fresh) << name;
      // Every frame of a strip is a whole number of pixels, so frames stay aligned.
      const int width = desc.width * zoom / 100;
      const int height = desc.height * zoom / 100;
      ASSERT_EQ(desc.width * zoom % 100, 0) << name;
      ASSERT_EQ(desc.height / desc.frames * zoom % 100, 0) << name;
      ASSERT_EQ(committed->Width(), width) << name;
      ASSERT_EQ(committed->Height(), height) << name;
      ASSERT_EQ(fresh->Width(), width) << name;
      ASSERT_EQ(fresh->Height(), height) << name;
      int worst = 0;
      for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
          worst = std::max(worst, Difference(committed->At(x, y), fresh->At(x, y)));
      EXPECT_LE(worst, kTolerance) << name
                                   << " differs from the generator's drawing: run "
                                      "./vantor.sh artwork and commit the images";
    }
  }
}

}  // namespace
}  // namespace vantor
