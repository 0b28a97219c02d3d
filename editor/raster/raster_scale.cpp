// ResampleBitmap: bilinear resampling with alpha-weighted colour, frame by frame.
#include "editor/raster/raster_scale.h"

#include <algorithm>
#include <cmath>

namespace vantor {
namespace {

// Where destination pixel i of n samples a source of m pixels: the two source pixels and the
// weight of the second.
struct Tap {
  int first;
  int second;
  float weight;
};

Tap TapFor(int i, int n, int m) {
  const float at = (i + 0.5f) * static_cast<float>(m) / static_cast<float>(n) - 0.5f;
  const float clamped = std::clamp(at, 0.0f, static_cast<float>(m - 1));
  const int first = static_cast<int>(std::floor(clamped));
  return {first, std::min(first + 1, m - 1), clamped - static_cast<float>(first)};
}

}  // namespace

std::unique_ptr<RasterMemBitmap> ResampleBitmap(const RasterBitmap& source, int width, int height,
                                                int frames) {
  if (source.IsEmpty() || frames < 1) return nullptr;
  if (source.Height() % frames != 0 || height % frames != 0) frames = 1;
  auto out = std::make_unique<RasterMemBitmap>(width, height);
  if (out->IsEmpty()) return nullptr;
  const int source_frame = source.Height() / frames;
  const int frame = height / frames;
  for (int y = 0; y < height; ++y) {
    const int f = y / frame;
    const Tap ty = TapFor(y % frame, frame, source_frame);
    const RasterPixel* rows[2] = {source.Row(f * source_frame + ty.first),
                                  source.Row(f * source_frame + ty.second)};
    RasterPixel* dst = out->Row(y);
    for (int x = 0; x < width; ++x) {
      const Tap tx = TapFor(x, width, source.Width());
      const RasterPixel corners[4] = {rows[0][tx.first], rows[0][tx.second], rows[1][tx.first],
                                      rows[1][tx.second]};
      const float weights[4] = {(1 - tx.weight) * (1 - ty.weight), tx.weight * (1 - ty.weight),
                                (1 - tx.weight) * ty.weight, tx.weight * ty.weight};
      float a = 0, r = 0, g = 0, b = 0;
      for (int k = 0; k < 4; ++k) {
        const float w = weights[k] * static_cast<float>(RasterAlpha(corners[k]));
        a += w;
        r += w * static_cast<float>(RasterRed(corners[k]));
        g += w * static_cast<float>(RasterGreen(corners[k]));
        b += w * static_cast<float>(RasterBlue(corners[k]));
      }
      if (a <= 0.0f) {
        dst[x] = 0;
        continue;
      }
      auto channel = [a](float v) { return static_cast<int>(std::lround(v / a)); };
      dst[x] =
          RasterMakePixel(static_cast<int>(std::lround(a)), channel(r), channel(g), channel(b));
    }
  }
  return out;
}

}  // namespace vantor
