// Fuzz target: PNG decoding. Any input yields either no bitmap or a bitmap within the size
// limits whose every pixel can be read.
#include <cstdint>
#include <cstdlib>

#include "editor/raster/raster_png.h"

// Where the pixels read go, so that the reading is not optimised away.
uint32_t pixel_sum = 0;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::unique_ptr<vantor::RasterMemBitmap> image = vantor::LoadPngMemory(data, size);
  if (!image) return 0;
  if (!vantor::RasterSizeAllowed(image->Width(), image->Height()) ||
      image->RowSpan() < image->Width())
    abort();
  // Reading every pixel lets the sanitizers see a buffer that is too small.
  uint32_t sum = 0;
  for (int y = 0; y < image->Height(); ++y)
    for (int x = 0; x < image->Width(); ++x)
      sum += image->At(x, y);
  pixel_sum = sum;
  return 0;
}
