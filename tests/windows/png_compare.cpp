// png_compare A.png B.png MAX_MEAN MIN_CLOSE: compares two pictures of the same size pixel by
// pixel. Prints the mean difference (0..255, over all channels) and the share of pixels whose
// channels all lie within 16 levels; exit code 1 when the mean exceeds MAX_MEAN or the share is
// below MIN_CLOSE, 2 when a picture cannot be read or the sizes differ.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "editor/raster/raster_png.h"

int main(int argc, char** argv) {
  using namespace vantor;
  if (argc != 5) {
    fprintf(stderr, "usage: png_compare A.png B.png MAX_MEAN MIN_CLOSE\n");
    return 2;
  }
  const std::unique_ptr<RasterMemBitmap> a = LoadPngFile(argv[1]);
  const std::unique_ptr<RasterMemBitmap> b = LoadPngFile(argv[2]);
  if (!a || !b) {
    fprintf(stderr, "png_compare: cannot read %s\n", !a ? argv[1] : argv[2]);
    return 2;
  }
  if (a->Width() != b->Width() || a->Height() != b->Height()) {
    fprintf(stderr, "png_compare: %d x %d against %d x %d\n", a->Width(), a->Height(), b->Width(),
            b->Height());
    return 2;
  }
  double sum = 0.0;
  long close = 0;
  for (int y = 0; y < a->Height(); ++y) {
    for (int x = 0; x < a->Width(); ++x) {
      const RasterPixel p = a->At(x, y), q = b->At(x, y);
      int largest = 0;
      for (int shift : {16, 8, 0}) {
        const int d =
            std::abs(static_cast<int>((p >> shift) & 0xff) - static_cast<int>((q >> shift) & 0xff));
        sum += d;
        largest = std::max(largest, d);
      }
      if (largest <= 16) ++close;
    }
  }
  const double pixels = static_cast<double>(a->Width()) * a->Height();
  const double mean = sum / (3.0 * pixels);
  const double share = close / pixels;
  printf("mean difference %.3f, %.2f%% of pixels within 16 levels\n", mean, 100.0 * share);
  return mean <= atof(argv[3]) && share >= atof(argv[4]) ? 0 : 1;
}
