// PNG decoding into bitmaps (and encoding, for screenshots), through libpng.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "editor/raster/raster_bitmap.h"

namespace vantor {

// Files larger than this are not PNG images of ours; they are refused before being read.
static constexpr size_t kRasterMaxPngFileSize = size_t{64} << 20;

// Decodes a PNG image; null for anything that is not a complete, decodable PNG within the size
// limits. Every colour type and bit depth becomes 8-bit ARGB.
std::unique_ptr<RasterMemBitmap> LoadPngMemory(const uint8_t* bytes, size_t length);

// Reads and decodes a PNG file (path in UTF-8). With `reuse`, the image is decoded into that
// bitmap, which is resized, and the result holds no new bitmap: check the bool. On failure
// `reuse` is left untouched.
std::unique_ptr<RasterMemBitmap> LoadPngFile(const char* path);
bool LoadPngFile(const char* path, RasterBitmap* reuse);

// Writes the bitmap as an 8-bit RGBA PNG (RGB when every pixel is opaque). The file is written
// beside its final name and moved into place, so a failed write never leaves a half-written image.
bool SavePngFile(const RasterBitmap& bitmap, const char* path);

}  // namespace vantor
