// A small antialiased painter for the editor artwork: shapes given as signed distances, fills,
// gradients, soft shadows and FreeType text, on a canvas of straight-alpha float pixels. Shapes
// and text are placed in units of the editor's 100% size and drawn at the canvas's scale, so
// one drawing gives sharp pixels at every zoom.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace vantor::artwork {

struct Rgba {
  float r = 0, g = 0, b = 0, a = 0;
};

// 0xRRGGBB with an alpha of 0 .. 1.
constexpr Rgba Hex(uint32_t rgb, float a = 1.0f) {
  return {((rgb >> 16) & 0xff) / 255.0f, ((rgb >> 8) & 0xff) / 255.0f, (rgb & 0xff) / 255.0f, a};
}
inline Rgba Mix(Rgba x, Rgba y, float t) {
  return {x.r + (y.r - x.r) * t, x.g + (y.g - x.g) * t, x.b + (y.b - x.b) * t,
          x.a + (y.a - x.a) * t};
}
inline Rgba WithAlpha(Rgba c, float a) {
  c.a = a;
  return c;
}

// Signed distance from a point to a shape: negative inside, in units.
float RoundBox(float x, float y, float left, float top, float right, float bottom, float radius);
float Circle(float x, float y, float cx, float cy, float radius);
// A stroke of width `w` with round ends from (ax, ay) to (bx, by).
float Capsule(float x, float y, float ax, float ay, float bx, float by, float w);

struct Box {
  float left, top, right, bottom;
};

class Font;

class Canvas {
 public:
  // `width` x `height` units at `scale` pixels per unit.
  Canvas(int width, int height, Rgba fill = {}, float scale = 1.0f);

  // In pixels.
  int width() const { return width_; }
  int height() const { return height_; }
  float scale() const { return scale_; }
  Rgba At(int x, int y) const { return pixels_[static_cast<size_t>(y * width_ + x)]; }
  // Source-over blend of `c` at `coverage` (0 .. 1) into pixel (x, y).
  void Blend(int x, int y, Rgba c, float coverage);

  // Fills the shape whose distance function is `sdf` with the colour `paint`(x, y) gives, over
  // the units of `bounds`; the edge is antialiased over one pixel.
  template <typename Sdf, typename Paint>
  void Fill(Box bounds, Sdf sdf, Paint paint) {
    ForEach(bounds, 1.0f, [&](int x, int y, float px, float py) {
      const float d = sdf(px, py) * scale_;
      const float coverage = std::fmin(std::fmax(0.5f - d, 0.0f), 1.0f);
      if (coverage > 0.0f) Blend(x, y, paint(px, py), coverage);
    });
  }
  template <typename Sdf>
  void FillColour(Box bounds, Sdf sdf, Rgba colour) {
    Fill(bounds, sdf, [colour](float, float) { return colour; });
  }
  // A soft shadow of the shape, fading out over `blur` units outside it.
  template <typename Sdf>
  void Shadow(Box bounds, Sdf sdf, Rgba colour, float blur) {
    ForEach(bounds, blur + 1.0f, [&](int x, int y, float px, float py) {
      const float t = std::fmin(std::fmax(0.5f - sdf(px, py) / blur, 0.0f), 1.0f);
      const float coverage = t * t * (3.0f - 2.0f * t);
      if (coverage > 0.0f) Blend(x, y, colour, coverage);
    });
  }

  // Text with its baseline at y; `align` -1 left of x, 0 centred on x, 1 right of x. `tracking`
  // adds space between letters. Returns the width drawn.
  float Text(Font& font, const std::string& text, float x, float y, int align, Rgba colour,
             float tracking = 0.0f);
  // The same text turned a quarter counter-clockwise (reading upwards), centred on (cx, cy).
  void TextUpwards(Font& font, const std::string& text, float cx, float cy, Rgba colour,
                   float tracking = 0.0f);
  // Copies `other` (of the same scale) with its top left at unit (x, y), blending by its alpha.
  void Draw(const Canvas& other, int x, int y);

  bool SavePng(const std::string& path) const;

 private:
  // Calls f(pixel x, pixel y, unit x, unit y) for the centre of every pixel of the box.
  template <typename F>
  void ForEach(Box b, float margin, F f) {
    const int x0 = std::max(0, static_cast<int>(std::floor((b.left - margin) * scale_)));
    const int y0 = std::max(0, static_cast<int>(std::floor((b.top - margin) * scale_)));
    const int x1 = std::min(width_, static_cast<int>(std::ceil((b.right + margin) * scale_)));
    const int y1 = std::min(height_, static_cast<int>(std::ceil((b.bottom + margin) * scale_)));
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x)
        f(x, y, (x + 0.5f) / scale_, (y + 0.5f) / scale_);
  }

  int width_;
  int height_;
  float scale_;
  std::vector<Rgba> pixels_;
};

// One font file at one size, through FreeType: rasterised at `size` x `scale` pixels per em and
// measured in units, so that text is drawn sharp at the canvas's scale rather than scaled.
class Font {
 public:
  // Null when the file cannot be opened.
  static std::unique_ptr<Font> Open(const std::string& path, float size, float scale = 1.0f);
  ~Font();

  float Measure(const std::string& text, float tracking = 0.0f);
  // Height of capital letters above the baseline.
  float CapHeight();
  float scale() const;

 private:
  friend class Canvas;
  Font() = default;
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace vantor::artwork
