// Editor zoom: the factors the editor offers and the mapping between layout units and pixels.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>

#include "editor/editor_types.h"

namespace vantor {

// Zoom factors in percent. The editor's layout is in units of its 100% size; at a zoom every
// unit is zoom / 100 pixels, and the artwork is drawn at each factor.
inline constexpr int kZoomPercents[] = {100, 150, 200};
inline constexpr int kNumZooms = 3;

constexpr bool IsZoomPercent(int percent) {
  return percent == 100 || percent == 150 || percent == 200;
}

// The offered zoom nearest to a factor (1.0 = 100%); ties go to the smaller. 100% for anything
// that is not a positive number.
inline int NearestZoomPercent(double factor) {
  if (!(factor > 0.0) || !std::isfinite(factor)) return 100;
  int best = kZoomPercents[0];
  for (int percent : kZoomPercents) {
    if (std::fabs(factor * 100.0 - percent) < std::fabs(factor * 100.0 - best)) best = percent;
  }
  return best;
}

// "1", "1.5", "2": the factor as the configuration file keeps it.
inline std::string ZoomFactorText(int percent) {
  if (percent % 100 == 0) return std::to_string(percent / 100);
  return std::to_string(percent / 100) + "." + std::to_string(percent % 100 / 10);
}

// Units to pixels, rounding half up, so that a rectangle of an even number of units is always
// the same number of pixels wherever it lies; units are never negative in a layout.
constexpr int32_t UnitsToPixels(int32_t units, int percent) {
  const int64_t scaled = static_cast<int64_t>(units) * percent + 50;
  return static_cast<int32_t>(scaled >= 0 ? scaled / 100 : -((-scaled + 99) / 100));
}

// The unit a pixel lies in: the inverse of UnitsToPixels (pixel p lies in unit u when
// UnitsToPixels(u) <= p < UnitsToPixels(u + 1)).
constexpr int32_t PixelsToUnits(int32_t pixels, int percent) {
  const int64_t scaled = static_cast<int64_t>(pixels) * 100;
  return static_cast<int32_t>(scaled >= 0 ? scaled / percent
                                          : -((-scaled + percent - 1) / percent));
}

inline Rect UnitsToPixels(const Rect& r, int percent) {
  if (r.IsEmpty()) return r;
  return {UnitsToPixels(r.left, percent), UnitsToPixels(r.top, percent),
          UnitsToPixels(r.right, percent), UnitsToPixels(r.bottom, percent)};
}

// The units a pixel rectangle touches (rounded outwards).
inline Rect PixelsToUnits(const Rect& r, int percent) {
  if (r.IsEmpty()) return r;
  return {PixelsToUnits(r.left, percent), PixelsToUnits(r.top, percent),
          PixelsToUnits(r.right - 1, percent) + 1, PixelsToUnits(r.bottom - 1, percent) + 1};
}

}  // namespace vantor
