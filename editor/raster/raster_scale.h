// Smooth resampling of bitmaps, for images drawn for one size and shown at another.
#pragma once

#include <memory>

#include "editor/raster/raster_bitmap.h"

namespace vantor {

// `source` resampled to width x height pixels, bilinearly, with the colour weighted by alpha
// so that transparent pixels do not darken the edges. With `frames` > 1 the source is a strip
// of that many frames stacked top to bottom (its height a multiple of `frames`, and `height` one
// as well): each frame is resampled on its own, so that no frame bleeds into the next. Null for
// an empty source or a size that cannot be made.
std::unique_ptr<RasterMemBitmap> ResampleBitmap(const RasterBitmap& source, int width, int height,
                                                int frames = 1);

}  // namespace vantor
