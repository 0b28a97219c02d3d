// The artwork painter: distance functions, blending, FreeType text and PNG output.
#include "tools/artwork/painter.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include "editor/raster/raster_bitmap.h"
#include "editor/raster/raster_png.h"

namespace vantor::artwork {

float RoundBox(float x, float y, float left, float top, float right, float bottom, float radius) {
  const float cx = (left + right) * 0.5f;
  const float cy = (top + bottom) * 0.5f;
  const float qx = std::fabs(x - cx) - ((right - left) * 0.5f - radius);
  const float qy = std::fabs(y - cy) - ((bottom - top) * 0.5f - radius);
  const float outside = std::hypot(std::fmax(qx, 0.0f), std::fmax(qy, 0.0f));
  return outside + std::fmin(std::fmax(qx, qy), 0.0f) - radius;
}

float Circle(float x, float y, float cx, float cy, float radius) {
  return std::hypot(x - cx, y - cy) - radius;
}

float Capsule(float x, float y, float ax, float ay, float bx, float by, float w) {
  const float px = x - ax, py = y - ay, dx = bx - ax, dy = by - ay;
  const float length2 = dx * dx + dy * dy;
  const float h = length2 > 0 ? std::fmin(std::fmax((px * dx + py * dy) / length2, 0.0f), 1.0f) : 0;
  return std::hypot(px - dx * h, py - dy * h) - w * 0.5f;
}

Canvas::Canvas(int width, int height, Rgba fill, float scale)
    : width_(static_cast<int>(std::lround(width * scale))),
      height_(static_cast<int>(std::lround(height * scale))),
      scale_(scale),
      pixels_(static_cast<size_t>(width_ * height_), fill) {}

void Canvas::Blend(int x, int y, Rgba c, float coverage) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  Rgba& d = pixels_[static_cast<size_t>(y * width_ + x)];
  const float sa = c.a * coverage;
  const float out_a = sa + d.a * (1.0f - sa);
  if (out_a <= 0.0f) return;
  const float keep = d.a * (1.0f - sa);
  d.r = (c.r * sa + d.r * keep) / out_a;
  d.g = (c.g * sa + d.g * keep) / out_a;
  d.b = (c.b * sa + d.b * keep) / out_a;
  d.a = out_a;
}

void Canvas::Draw(const Canvas& other, int ux, int uy) {
  const int x = static_cast<int>(std::lround(ux * scale_));
  const int y = static_cast<int>(std::lround(uy * scale_));
  for (int j = 0; j < other.height_; ++j)
    for (int i = 0; i < other.width_; ++i) {
      const Rgba c = other.At(i, j);
      if (c.a > 0.0f) Blend(x + i, y + j, c, 1.0f);
    }
}

bool Canvas::SavePng(const std::string& path) const {
  RasterMemBitmap bitmap(width_, height_);
  auto byte = [](float v) {
    return static_cast<int>(std::lround(std::fmin(std::fmax(v, 0.0f), 1.0f) * 255.0f));
  };
  for (int y = 0; y < height_; ++y)
    for (int x = 0; x < width_; ++x) {
      const Rgba c = At(x, y);
      bitmap.Row(y)[x] = RasterMakePixel(byte(c.a), byte(c.r), byte(c.g), byte(c.b));
    }
  return SavePngFile(bitmap, path.c_str());
}

struct Font::Impl {
  FT_Library library = nullptr;
  FT_Face face = nullptr;
  float scale = 1.0f;
  ~Impl() {
    if (face) FT_Done_Face(face);
    if (library) FT_Done_FreeType(library);
  }
};

std::unique_ptr<Font> Font::Open(const std::string& path, float size, float scale) {
  std::unique_ptr<Font> font(new Font());
  font->impl_ = std::make_unique<Impl>();
  Impl& impl = *font->impl_;
  impl.scale = scale;
  const float pixel_size = size * scale;
  if (FT_Init_FreeType(&impl.library) != 0) return nullptr;
  if (FT_New_Face(impl.library, path.c_str(), 0, &impl.face) != 0) {
    impl.face = nullptr;
    return nullptr;
  }
  FT_Set_Char_Size(impl.face, 0, static_cast<FT_F26Dot6>(pixel_size * 64.0f), 72, 72);
  return font;
}

Font::~Font() = default;

float Font::scale() const {
  return impl_->scale;
}

namespace {

// The advance of a text in pixels of the font's size, `tracking` pixels between letters.
float PixelWidth(FT_Face face, const std::string& text, float tracking) {
  float width = 0.0f;
  for (size_t i = 0; i < text.size(); ++i) {
    if (FT_Load_Char(face, static_cast<unsigned char>(text[i]), FT_LOAD_DEFAULT) != 0) continue;
    width += face->glyph->advance.x / 64.0f + (i + 1 < text.size() ? tracking : 0.0f);
  }
  return width;
}

}  // namespace

float Font::Measure(const std::string& text, float tracking) {
  return PixelWidth(impl_->face, text, tracking * impl_->scale) / impl_->scale;
}

float Font::CapHeight() {
  if (FT_Load_Char(impl_->face, 'H', FT_LOAD_DEFAULT) != 0) return 0.0f;
  return impl_->face->glyph->metrics.horiBearingY / 64.0f / impl_->scale;
}

float Canvas::Text(Font& font, const std::string& text, float ux, float uy, int align, Rgba colour,
                   float tracking) {
  // Placed in pixels: the font is rasterised at this canvas's scale.
  const float x = ux * scale_;
  const float y = uy * scale_;
  tracking *= scale_;
  FT_Face face = font.impl_->face;
  const float width = PixelWidth(face, text, tracking);
  float pen = x - (align == 0 ? width * 0.5f : align > 0 ? width : 0.0f);
  for (unsigned char ch : text) {
    // Each glyph is placed at its fractional pen position.
    FT_Vector shift{static_cast<FT_Pos>((pen - std::floor(pen)) * 64.0f), 0};
    FT_Set_Transform(face, nullptr, &shift);
    if (FT_Load_Char(face, ch, FT_LOAD_RENDER | FT_LOAD_TARGET_LIGHT) != 0) continue;
    const FT_GlyphSlot g = face->glyph;
    const int left = static_cast<int>(std::floor(pen)) + g->bitmap_left;
    const int top = static_cast<int>(std::lround(y)) - g->bitmap_top;
    for (unsigned row = 0; row < g->bitmap.rows; ++row)
      for (unsigned col = 0; col < g->bitmap.width; ++col) {
        const uint8_t coverage =
            g->bitmap.buffer[row * static_cast<unsigned>(g->bitmap.pitch) + col];
        if (coverage)
          Blend(left + static_cast<int>(col), top + static_cast<int>(row), colour,
                coverage / 255.0f);
      }
    pen += g->advance.x / 64.0f + tracking;
  }
  FT_Set_Transform(face, nullptr, nullptr);
  return width / scale_;
}

void Canvas::TextUpwards(Font& font, const std::string& text, float cx, float cy, Rgba colour,
                         float tracking) {
  const int length = static_cast<int>(std::ceil(font.Measure(text, tracking))) + 4;
  const int thickness = static_cast<int>(std::ceil(font.CapHeight())) + 6;
  Canvas strip(length, thickness, {}, scale_);
  strip.Text(font, text, length * 0.5f, thickness - 3.0f, 0, colour, tracking);
  // Turned a quarter counter-clockwise: the strip's x runs up the canvas.
  const int x0 = static_cast<int>(std::lround((cx - thickness * 0.5f) * scale_));
  const int y0 = static_cast<int>(std::lround((cy + length * 0.5f) * scale_));
  for (int j = 0; j < strip.height_; ++j)
    for (int i = 0; i < strip.width_; ++i) {
      const Rgba c = strip.At(i, j);
      if (c.a > 0.0f) Blend(x0 + j, y0 - i, c, 1.0f);
    }
}

}  // namespace vantor::artwork
