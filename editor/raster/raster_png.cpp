// PNG reading and writing with libpng; every decoder error ends in a null result.
#include "editor/raster/raster_png.h"

#include <png.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "platform/platform.h"

namespace vantor {
namespace {

// Ancillary chunks (text, profiles) are never needed; this stops a compressed chunk from
// inflating into a huge allocation.
constexpr png_alloc_size_t kMaxChunkMemory = 1 << 20;
constexpr size_t kSignatureSize = 8;

struct MemoryReader {
  const uint8_t* data;
  size_t size;
  size_t position;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t length) {
  auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
  if (length > reader->size - reader->position) png_error(png, "truncated");
  memcpy(out, reader->data + reader->position, length);
  reader->position += length;
}

[[noreturn]] void OnPngError(png_structp png, png_const_charp /*message*/) {
  png_longjmp(png, 1);
}
void OnPngWarning(png_structp /*png*/, png_const_charp /*message*/) {}

// Sets up the conversions to 8-bit alpha, red, green, blue bytes per pixel and returns false
// when the image cannot become that.
bool ConfigureTransforms(png_structp png, png_infop info) {
  const int colour_type = png_get_color_type(png, info);
  const int bit_depth = png_get_bit_depth(png, info);
  if (colour_type == PNG_COLOR_TYPE_PALETTE) png_set_palette_to_rgb(png);
  if (colour_type == PNG_COLOR_TYPE_GRAY && bit_depth < 8) png_set_expand_gray_1_2_4_to_8(png);
  const bool transparency = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
  if (transparency) png_set_tRNS_to_alpha(png);
  if (bit_depth == 16) png_set_strip_16(png);
  if (colour_type == PNG_COLOR_TYPE_GRAY || colour_type == PNG_COLOR_TYPE_GRAY_ALPHA)
    png_set_gray_to_rgb(png);
  const bool has_alpha = (colour_type & PNG_COLOR_MASK_ALPHA) != 0 || transparency;
  if (has_alpha) {
    png_set_swap_alpha(png);
  } else {
    png_set_filler(png, 0xff, PNG_FILLER_BEFORE);
  }
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  return png_get_rowbytes(png, info) == size_t{png_get_image_width(png, info)} * 4;
}

// Decodes into `out`. Separate from its caller so that no object with a destructor lives in the
// frame that libpng's error handler jumps back to.
bool Decode(png_structp png, png_infop info, RasterMemBitmap* out, std::vector<png_bytep>* rows) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_read_info(png, info);
  const png_uint_32 width = png_get_image_width(png, info);
  const png_uint_32 height = png_get_image_height(png, info);
  if (width > static_cast<png_uint_32>(kRasterMaxDimension) ||
      height > static_cast<png_uint_32>(kRasterMaxDimension) ||
      !RasterSizeAllowed(static_cast<int>(width), static_cast<int>(height)))
    return false;
  if (!ConfigureTransforms(png, info)) return false;
  out->Resize(static_cast<int>(width), static_cast<int>(height));
  if (out->Width() != static_cast<int>(width) || out->Height() != static_cast<int>(height))
    return false;
  rows->resize(height);  // reserved by the caller, so this does not allocate
  for (png_uint_32 y = 0; y < height; ++y)
    (*rows)[y] = reinterpret_cast<png_bytep>(out->Row(static_cast<int>(y)));
  png_read_image(png, rows->data());
  png_read_end(png, nullptr);
  return true;
}

}  // namespace

std::unique_ptr<RasterMemBitmap> LoadPngMemory(const uint8_t* bytes, size_t length) {
  if (!bytes || length < kSignatureSize || png_sig_cmp(bytes, 0, kSignatureSize) != 0)
    return nullptr;
  // Everything with a destructor is made before decoding starts (see Decode).
  auto bitmap = std::make_unique<RasterMemBitmap>();
  std::vector<png_bytep> rows;
  rows.reserve(kRasterMaxDimension);
  MemoryReader reader{bytes, length, 0};

  png_structp png =
      png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
  if (!png) return nullptr;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return nullptr;
  }
  png_set_user_limits(png, kRasterMaxDimension, kRasterMaxDimension);
  png_set_chunk_malloc_max(png, kMaxChunkMemory);
  png_set_read_fn(png, &reader, ReadFromMemory);
  const bool ok = Decode(png, info, bitmap.get(), &rows);
  png_destroy_read_struct(&png, &info, nullptr);
  if (!ok) return nullptr;

  // libpng wrote alpha, red, green, blue bytes; turn each group into one pixel value.
  for (int y = 0; y < bitmap->Height(); ++y) {
    RasterPixel* row = bitmap->Row(y);
    for (int x = 0; x < bitmap->Width(); ++x) {
      uint8_t b[4];
      memcpy(b, row + x, 4);
      row[x] = RasterMakePixel(b[0], b[1], b[2], b[3]);
    }
  }
  return bitmap;
}

std::unique_ptr<RasterMemBitmap> LoadPngFile(const char* path) {
  // Through the platform layer, which takes UTF-8 paths on every system.
  std::vector<uint8_t> bytes;
  if (!path || !platform::ReadWholeFile(path, &bytes, kRasterMaxPngFileSize)) return nullptr;
  return LoadPngMemory(bytes.data(), bytes.size());
}

bool LoadPngFile(const char* path, RasterBitmap* reuse) {
  if (!reuse) return false;
  std::unique_ptr<RasterMemBitmap> image = LoadPngFile(path);
  if (!image) return false;
  reuse->Resize(image->Width(), image->Height());
  if (reuse->Width() != image->Width() || reuse->Height() != image->Height()) return false;
  for (int y = 0; y < image->Height(); ++y)
    memcpy(reuse->Row(y), image->Row(y), static_cast<size_t>(image->Width()) * 4);
  return true;
}

namespace {

void AppendBytes(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

void FlushNothing(png_structp) {}

bool Opaque(const RasterBitmap& bitmap) {
  for (int y = 0; y < bitmap.Height(); ++y) {
    const RasterPixel* pixels = bitmap.Row(y);
    for (int x = 0; x < bitmap.Width(); ++x)
      if (RasterAlpha(pixels[x]) != 255) return false;
  }
  return true;
}

bool Encode(png_structp png, png_infop info, const RasterBitmap& bitmap, std::vector<uint8_t>* out,
            std::vector<png_byte>* row) {
  if (setjmp(png_jmpbuf(png))) return false;
  // An image without transparency is written without its alpha channel, and every image as
  // small as the encoder can make it: the editor's bitmaps are embedded in the plug-in.
  const bool opaque = Opaque(bitmap);
  const int channels = opaque ? 3 : 4;
  png_set_write_fn(png, out, AppendBytes, FlushNothing);
  png_set_compression_level(png, 9);
  png_set_IHDR(png, info, static_cast<png_uint_32>(bitmap.Width()),
               static_cast<png_uint_32>(bitmap.Height()), 8,
               opaque ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_RGB_ALPHA, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  for (int y = 0; y < bitmap.Height(); ++y) {
    const RasterPixel* pixels = bitmap.Row(y);
    for (int x = 0; x < bitmap.Width(); ++x) {
      png_byte* p = row->data() + channels * x;
      p[0] = static_cast<png_byte>(RasterRed(pixels[x]));
      p[1] = static_cast<png_byte>(RasterGreen(pixels[x]));
      p[2] = static_cast<png_byte>(RasterBlue(pixels[x]));
      if (!opaque) p[3] = static_cast<png_byte>(RasterAlpha(pixels[x]));
    }
    png_write_row(png, row->data());
  }
  png_write_end(png, info);
  return true;
}

}  // namespace

bool SavePngFile(const RasterBitmap& bitmap, const char* path) {
  if (!path || !*path || bitmap.IsEmpty()) return false;
  std::vector<png_byte> row(static_cast<size_t>(bitmap.Width()) * 4);
  std::vector<uint8_t> encoded;
  png_structp png =
      png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, OnPngError, OnPngWarning);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  const bool ok = info && Encode(png, info, bitmap, &encoded, &row);
  png_destroy_write_struct(&png, &info);
  // The file appears whole or not at all.
  return ok && platform::WriteWholeFile(path, encoded.data(), encoded.size());
}

}  // namespace vantor
