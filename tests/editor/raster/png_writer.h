// Builds PNG files in memory with libpng's writer, in any colour type and bit depth.
#pragma once

#include <png.h>

#include <cstdint>
#include <vector>

namespace vantor::testing {

struct PngSpec {
  int width = 1;
  int height = 1;
  int colour_type = PNG_COLOR_TYPE_RGB_ALPHA;
  int bit_depth = 8;
  bool interlaced = false;
  std::vector<png_color> palette;
  std::vector<png_byte> palette_alpha;  // tRNS for palette images
  bool has_colour_key = false;          // tRNS for grey or RGB images
  png_color_16 colour_key = {};
  // Packed rows exactly as PNG stores them (bytes per row as libpng computes them).
  std::vector<std::vector<png_byte>> rows;
};

inline std::vector<uint8_t> WritePng(const PngSpec& desc) {
  std::vector<uint8_t> out;
  std::vector<png_bytep> rows;
  for (const auto& row : desc.rows)
    rows.push_back(const_cast<png_bytep>(row.data()));
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_write_struct(&png, &info);
    return {};
  }
  png_set_write_fn(
      png, &out,
      [](png_structp p, png_bytep data, png_size_t length) {
        auto* o = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(p));
        o->insert(o->end(), data, data + length);
      },
      nullptr);
  png_set_IHDR(png, info, static_cast<png_uint_32>(desc.width),
               static_cast<png_uint_32>(desc.height), desc.bit_depth, desc.colour_type,
               desc.interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  if (!desc.palette.empty())
    png_set_PLTE(png, info, desc.palette.data(), static_cast<int>(desc.palette.size()));
  if (!desc.palette_alpha.empty())
    png_set_tRNS(png, info, desc.palette_alpha.data(), static_cast<int>(desc.palette_alpha.size()),
                 nullptr);
  if (desc.has_colour_key) png_set_tRNS(png, info, nullptr, 0, &desc.colour_key);
  png_write_info(png, info);
  png_write_image(png, rows.data());
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

}  // namespace vantor::testing
