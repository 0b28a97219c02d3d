// PNG decoding: every colour type and bit depth becomes ARGB; bad input yields no bitmap.
#include "editor/raster/raster_png.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "editor/raster/png_writer.h"

namespace vantor {
namespace {

using testing::PngSpec;
using testing::WritePng;

std::unique_ptr<RasterMemBitmap> Decode(const std::vector<uint8_t>& bytes) {
  return LoadPngMemory(bytes.data(), bytes.size());
}

PngSpec Rgba2x2() {
  PngSpec desc;
  desc.width = 2;
  desc.height = 2;
  desc.rows = {{255, 0, 0, 255, 0, 255, 0, 128}, {0, 0, 255, 0, 10, 20, 30, 40}};
  return desc;
}

TEST(PngTest, RgbaAndRgbKeepTheirChannelsWithAlphaInTheTopByte) {
  auto image = Decode(WritePng(Rgba2x2()));
  ASSERT_TRUE(image);
  EXPECT_EQ(image->Width(), 2);
  EXPECT_EQ(image->Height(), 2);
  EXPECT_EQ(image->At(0, 0), RasterMakePixel(255, 255, 0, 0));
  EXPECT_EQ(image->At(1, 0), RasterMakePixel(128, 0, 255, 0));
  EXPECT_EQ(image->At(0, 1), RasterMakePixel(0, 0, 0, 255));
  EXPECT_EQ(image->At(1, 1), RasterMakePixel(40, 10, 20, 30));

  PngSpec rgb;
  rgb.colour_type = PNG_COLOR_TYPE_RGB;
  rgb.rows = {{1, 2, 3}};
  image = Decode(WritePng(rgb));
  ASSERT_TRUE(image);
  EXPECT_EQ(image->At(0, 0), RasterMakePixel(255, 1, 2, 3));  // opaque alpha added in front
}

TEST(PngTest, SixteenBitChannelsAreStrippedToTheirHighByte) {
  PngSpec desc;
  desc.colour_type = PNG_COLOR_TYPE_RGB_ALPHA;
  desc.bit_depth = 16;
  desc.rows = {{0x12, 0x34, 0xab, 0xcd, 0x00, 0xff, 0x80, 0x01}};
  auto image = Decode(WritePng(desc));
  ASSERT_TRUE(image);
  EXPECT_EQ(image->At(0, 0), RasterMakePixel(0x80, 0x12, 0xab, 0x00));

  desc.colour_type = PNG_COLOR_TYPE_GRAY;
  desc.rows = {{0x7f, 0xff}};
  image = Decode(WritePng(desc));
  ASSERT_TRUE(image);
  EXPECT_EQ(image->At(0, 0), RasterMakePixel(255, 0x7f, 0x7f, 0x7f));
}

TEST(PngTest, GreyOfEveryDepthBecomesRgbWithLowDepthsScaledUp) {
  // Four pixels per row: the darkest, the brightest and two between at each depth.
  struct Case {
    int depth;
    std::vector<png_byte> row;
    int expected[4];
  };
  const Case cases[] = {
      {1, {0b10100000}, {255, 0, 255, 0}},
      {2, {0b00011011}, {0, 85, 170, 255}},
      {4, {0x0f, 0x58}, {0, 255, 85, 136}},
      {8, {0, 1, 254, 255}, {0, 1, 254, 255}},
  };
  for (const Case& c : cases) {
    PngSpec desc;
    desc.width = 4;
    desc.colour_type = PNG_COLOR_TYPE_GRAY;
    desc.bit_depth = c.depth;
    desc.rows = {c.row};
    auto image = Decode(WritePng(desc));
    ASSERT_TRUE(image) << "depth " << c.depth;
    for (int x = 0; x < 4; ++x) {
      const int v = c.expected[x];
      EXPECT_EQ(image->At(x, 0), RasterMakePixel(255, v, v, v))
          << "depth " << c.depth << " x " << x;
    }
  }

  PngSpec grey_alpha;
  grey_alpha.colour_type = PNG_COLOR_TYPE_GRAY_ALPHA;
  grey_alpha.rows = {{9, 77}};
  auto image = Decode(WritePng(grey_alpha));
  ASSERT_TRUE(image);
  EXPECT_EQ(image->At(0, 0), RasterMakePixel(77, 9, 9, 9));
}

TEST(PngTest, TransparencyChunksBecomeAlpha) {
  PngSpec palette;
  palette.width = 3;
  palette.colour_type = PNG_COLOR_TYPE_PALETTE;
  palette.bit_depth = 2;
  palette.palette = {{10, 20, 30}, {40, 50, 60}, {70, 80, 90}};
  palette.palette_alpha = {0, 200};  // entries past the list are opaque
  palette.rows = {{0b00011000}};
  auto image = Decode(WritePng(palette));
  ASSERT_TRUE(image);
  EXPECT_EQ(image->At(0, 0), RasterMakePixel(0, 10, 20, 30));
  EXPECT_EQ(image->At(1, 0), RasterMakePixel(200, 40, 50, 60));
  EXPECT_EQ(image->At(2, 0), RasterMakePixel(255, 70, 80, 90));

  PngSpec keyed;
  keyed.width = 2;
  keyed.colour_type = PNG_COLOR_TYPE_RGB;
  keyed.has_colour_key = true;
  keyed.colour_key.red = 1;
  keyed.colour_key.green = 2;
  keyed.colour_key.blue = 3;
  keyed.rows = {{1, 2, 3, 1, 2, 4}};
  image = Decode(WritePng(keyed));
  ASSERT_TRUE(image);
  EXPECT_EQ(RasterAlpha(image->At(0, 0)), 0);
  EXPECT_EQ(image->At(1, 0), RasterMakePixel(255, 1, 2, 4));

  PngSpec grey_key;
  grey_key.width = 2;
  grey_key.colour_type = PNG_COLOR_TYPE_GRAY;
  grey_key.bit_depth = 4;
  grey_key.has_colour_key = true;
  grey_key.colour_key.gray = 15;
  grey_key.rows = {{0xf7}};
  image = Decode(WritePng(grey_key));
  ASSERT_TRUE(image);
  EXPECT_EQ(RasterAlpha(image->At(0, 0)), 0);
  EXPECT_EQ(image->At(1, 0), RasterMakePixel(255, 119, 119, 119));
}

TEST(PngTest, InterlacedImagesDecodeLikePlainOnes) {
  PngSpec desc;
  desc.width = 9;
  desc.height = 9;
  desc.colour_type = PNG_COLOR_TYPE_RGB;
  for (int y = 0; y < 9; ++y) {
    std::vector<png_byte> row;
    for (int x = 0; x < 9; ++x)
      row.insert(row.end(), {png_byte(x * 20), png_byte(y * 20), png_byte(x + y)});
    desc.rows.push_back(row);
  }
  auto plain = Decode(WritePng(desc));
  desc.interlaced = true;
  auto interlaced = Decode(WritePng(desc));
  ASSERT_TRUE(plain && interlaced);
  for (int y = 0; y < 9; ++y)
    for (int x = 0; x < 9; ++x)
      ASSERT_EQ(interlaced->At(x, y), plain->At(x, y));
  EXPECT_EQ(plain->At(8, 7), RasterMakePixel(255, 160, 140, 15));
}

// Writes a PNG header for a width and height with a correct CRC, so only the size is wrong.
std::vector<uint8_t> HeaderOnly(uint32_t width, uint32_t height) {
  std::vector<uint8_t> bytes = WritePng(Rgba2x2());
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
      bytes[at + static_cast<size_t>(i)] = static_cast<uint8_t>(v >> (24 - 8 * i));
  };
  put32(16, width);
  put32(20, height);
  put32(29, static_cast<uint32_t>(crc32(0, bytes.data() + 12, 17)));
  return bytes;
}

TEST(PngTest, BadInputYieldsNoBitmap) {
  const std::vector<uint8_t> good = WritePng(Rgba2x2());
  ASSERT_TRUE(Decode(good));
  for (size_t length = 0; length < good.size(); ++length)
    EXPECT_FALSE(LoadPngMemory(good.data(), length)) << "truncated at " << length;

  std::vector<uint8_t> corrupt = good;
  corrupt[44] ^= 0x55;  // inside the image data: its CRC no longer matches
  EXPECT_FALSE(Decode(corrupt));

  const std::string text = "GIF89a, not a PNG at all";
  EXPECT_FALSE(LoadPngMemory(reinterpret_cast<const uint8_t*>(text.data()), text.size()));
  EXPECT_FALSE(LoadPngMemory(nullptr, 100));

  EXPECT_FALSE(Decode(HeaderOnly(1000000, 1000000)));
  EXPECT_FALSE(Decode(HeaderOnly(16000, 16000)));  // each side allowed, but not the area
  EXPECT_FALSE(Decode(HeaderOnly(0, 5)));
  // A plausible size whose image data is missing.
  EXPECT_FALSE(Decode(HeaderOnly(200, 200)));
}

class PngFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ =
        std::filesystem::temp_directory_path() /
        ("vantor_png_test_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
         "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(folder_);
  }
  void TearDown() override { std::filesystem::remove_all(folder_); }
  std::string Path(const char* name) const { return (folder_ / name).string(); }

  std::filesystem::path folder_;
};

TEST_F(PngFileTest, SavedBitmapsLoadBackAndReusedBitmapsSurviveFailures) {
  RasterMemBitmap original(3, 2);
  original.Clear(RasterMakePixel(255, 1, 2, 3));
  original.Row(1)[2] = RasterMakePixel(7, 200, 100, 50);
  const std::string path = Path("saved ü.png");  // a non-ASCII name on purpose
  ASSERT_TRUE(SavePngFile(original, path.c_str()));
  EXPECT_FALSE(std::filesystem::exists(path + ".partial"));

  auto loaded = LoadPngFile(path.c_str());
  ASSERT_TRUE(loaded);
  EXPECT_EQ(loaded->At(0, 0), RasterMakePixel(255, 1, 2, 3));
  EXPECT_EQ(loaded->At(2, 1), RasterMakePixel(7, 200, 100, 50));

  RasterMemBitmap reuse(1, 1);
  reuse.Clear(42);
  EXPECT_FALSE(LoadPngFile(Path("missing.png").c_str(), &reuse));
  FILE* junk = fopen(Path("junk.png").c_str(), "wb");
  fputs("\x89PNG\r\n\x1a\nthen nothing useful", junk);
  fclose(junk);
  EXPECT_FALSE(LoadPngFile(Path("junk.png").c_str(), &reuse));
  EXPECT_EQ(reuse.Width(), 1);
  EXPECT_EQ(reuse.At(0, 0), 42u);

  ASSERT_TRUE(LoadPngFile(path.c_str(), &reuse));
  EXPECT_EQ(reuse.Width(), 3);
  EXPECT_EQ(reuse.At(2, 1), RasterMakePixel(7, 200, 100, 50));

  EXPECT_FALSE(LoadPngFile(folder_.string().c_str()));  // a folder is no image
  EXPECT_FALSE(SavePngFile(original, Path("no/such/folder/x.png").c_str()));
  EXPECT_FALSE(SavePngFile(RasterMemBitmap(), Path("empty.png").c_str()));
}

}  // namespace
}  // namespace vantor
