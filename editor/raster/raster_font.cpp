// RasterCachedFont: glyph cache, text layout and glyph blending.
#include "editor/raster/raster_font.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>

#include "editor/raster/raster_utf8.h"

namespace vantor {
namespace {

struct Line {
  size_t begin = 0;
  size_t end = 0;
  int width = 0;  // pixels along the baseline
};

// Control characters draw nothing; a line break is handled by the layout.
bool IsDrawn(char32_t c) {
  return c >= 0x20 && c != 0x7f;
}

}  // namespace

RasterCachedFont::~RasterCachedFont() {
  ReleaseFace();
}

void RasterCachedFont::ReleaseFace() {
  if (face_ && (flags_ & kRasterFontOwnsHandle)) delete face_;
  face_ = nullptr;
}

void RasterCachedFont::SetFontHandle(RasterFontFace* face, int flags) {
  if (face != face_) ReleaseFace();
  face_ = face;
  flags_ = flags;
  line_height_ = face ? face->line_height() : 0;
  first_glyphs_ = {};
  other_glyphs_.clear();
  pixel_heap_.clear();
}

RasterPixel RasterCachedFont::SetTextColor(RasterPixel colour) {
  return std::exchange(text_colour_, colour);
}
RasterPixel RasterCachedFont::SetBackgroundColor(RasterPixel colour) {
  return std::exchange(background_colour_, colour);
}
RasterPixel RasterCachedFont::SetEffectColor(RasterPixel colour) {
  return std::exchange(effect_colour_, colour);
}
int RasterCachedFont::SetBackgroundMode(int mode) {
  return std::exchange(background_mode_, mode);
}

void RasterCachedFont::SetCombineMode(int mode, float alpha) {
  combine_mode_ = mode;
  combine_alpha_ = alpha;
}

void RasterCachedFont::FillGlyph(char32_t code, Glyph* glyph) {
  glyph->code = code;
  glyph->ready = true;
  RasterGlyphImage image;
  if (!face_ || !face_->RenderGlyph(code, &image)) return;  // an empty glyph, kept as such
  ++glyphs_rasterised_;
  // Masks larger than a glyph can sensibly be are dropped rather than stored.
  if (image.width > 2048 || image.height > 2048) return;
  glyph->width = static_cast<int16_t>(image.width);
  glyph->height = static_cast<int16_t>(image.height);
  glyph->left = static_cast<int16_t>(std::clamp(image.left, -32768, 32767));
  glyph->top = static_cast<int16_t>(std::clamp(image.top, -32768, 32767));
  glyph->advance_x = image.advance_x;
  glyph->advance_y = image.advance_y;
  glyph->offset = static_cast<uint32_t>(pixel_heap_.size());
  pixel_heap_.insert(pixel_heap_.end(), image.coverage.begin(), image.coverage.end());
}

const RasterCachedFont::Glyph& RasterCachedFont::FindGlyph(char32_t code) {
  if (code < first_glyphs_.size()) {
    Glyph& glyph = first_glyphs_[code];
    if (!glyph.ready) FillGlyph(code, &glyph);
    return glyph;
  }
  auto it = std::lower_bound(other_glyphs_.begin(), other_glyphs_.end(), code,
                             [](const Glyph& g, char32_t c) { return g.code < c; });
  if (it != other_glyphs_.end() && it->code == code) return *it;
  Glyph glyph;
  FillGlyph(code, &glyph);
  return *other_glyphs_.insert(it, glyph);
}

void RasterCachedFont::PutGlyph(RasterBitmap* bitmap, const Glyph& glyph, int x, int y,
                                const RasterRect& clip, RasterPixel colour) {
  int w = RasterWeight(combine_alpha_);
  if (combine_mode_ & kRasterUseSourceAlpha) w = RasterScaleByAlpha(w, RasterAlpha(colour));
  if (w == 0 || glyph.width == 0) return;
  // The colour's alpha acts only through the weight; what is drawn is opaque colour.
  const RasterPixel source = colour | 0xff000000u;
  const int mode = combine_mode_ & kRasterModeMask;
  const int left = x + glyph.left;
  const int top = y - glyph.top;
  const int x0 = std::max({left, clip.left, 0});
  const int y0 = std::max({top, clip.top, 0});
  const int x1 = std::min({left + glyph.width, clip.right, bitmap->Width()});
  const int y1 = std::min({top + glyph.height, clip.bottom, bitmap->Height()});
  for (int py = y0; py < y1; ++py) {
    const uint8_t* coverage = pixel_heap_.data() + glyph.offset +
                              static_cast<size_t>(py - top) * static_cast<size_t>(glyph.width);
    RasterPixel* row = bitmap->Row(py);
    for (int px = x0; px < x1; ++px) {
      const int c = coverage[px - left];
      if (c == 0) continue;
      const int ew = (w * (c + 1)) >> 8;
      if (ew > 0) row[px] = RasterBlendPixel(row[px], source, ew, mode, true);
    }
  }
}

RasterRect RasterCachedFont::Limit(RasterRect clip) const {
  if (!extra_clip_) return clip;
  clip.left = std::max(clip.left, extra_clip_->left);
  clip.top = std::max(clip.top, extra_clip_->top);
  clip.right = std::min(clip.right, extra_clip_->right);
  clip.bottom = std::min(clip.bottom, extra_clip_->bottom);
  return clip;
}

int RasterCachedFont::DrawGlyph(RasterBitmap* bitmap, char32_t code, int x, int y,
                                const RasterRect& clip) {
  const Glyph& glyph = FindGlyph(code);
  if (bitmap && !bitmap->IsEmpty()) PutGlyph(bitmap, glyph, x, y, Limit(clip), text_colour_);
  return glyph.advance_x;
}

int RasterCachedFont::DrawText(RasterBitmap* bitmap, const char* text, int length, RasterRect* rect,
                               int flags) {
  if (!face_ || !text || !rect) return 0;
  const std::u32string chars = DecodeText(text, length);

  // Lines and their widths; the advances are summed in 1/64 pixel as vectors, so rotated text
  // measures its length along the baseline.
  std::vector<Line> lines;
  Line line;
  int64_t ax = 0;
  int64_t ay = 0;
  auto close_line = [&](size_t end) {
    line.end = end;
    line.width = static_cast<int>(std::lround(std::hypot(double(ax), double(ay)) / 64.0));
    lines.push_back(line);
    line = Line{end + 1, end + 1, 0};
    ax = ay = 0;
  };
  for (size_t i = 0; i < chars.size(); ++i) {
    if (chars[i] == U'\n') {
      close_line(i);
    } else if (IsDrawn(chars[i])) {
      const Glyph& glyph = FindGlyph(chars[i]);
      ax += glyph.advance_x;
      ay += glyph.advance_y;
    }
  }
  close_line(chars.size());
  const int height = static_cast<int>(lines.size()) * line_height_;

  if (flags & kRasterTextCalcRect) {
    int width = 0;
    for (const Line& l : lines)
      width = std::max(width, l.width);
    rect->right = rect->left + width;
    rect->bottom = rect->top + height;
    return height;
  }
  if (!bitmap || bitmap->IsEmpty()) return 0;

  const RasterRect clip = Limit(
      (flags & kRasterTextNoClip) ? RasterRect{0, 0, bitmap->Width(), bitmap->Height()} : *rect);
  // The system's own text routine, where there is one, draws plain single-colour text; shadows,
  // blending and backgrounds behind several lines need the glyph cache.
  const bool native = (flags_ & kRasterFontNative) && combine_mode_ == kRasterCopy &&
                      combine_alpha_ >= 1.0f && RasterAlpha(effect_colour_) == 0 &&
                      (background_mode_ == kRasterTransparent || lines.size() == 1);
  const int align = flags & kRasterTextAlignMask;
  for (size_t n = 0; n < lines.size(); ++n) {
    const Line& l = lines[n];
    int x = rect->left;
    if (align == kRasterTextCenter) x = rect->left + (rect->Width() - l.width) / 2;
    if (align == kRasterTextRight) x = rect->right - l.width;
    const int top = rect->top + static_cast<int>(n) * line_height_;
    if (background_mode_ == kRasterOpaque) {
      const int left = std::max(x, clip.left);
      const int right = std::min(x + l.width, clip.right);
      const int bottom = std::min(top + line_height_, clip.bottom);
      const int from = std::max(top, clip.top);
      FillRect(bitmap, left, from, right - left, bottom - from, background_colour_, 1.0f,
               kRasterCopy);
    }
    if (native) {
      std::u32string drawn;
      for (size_t i = l.begin; i < l.end; ++i)
        if (IsDrawn(chars[i])) drawn.push_back(chars[i]);
      if (face_->DrawNative(bitmap, drawn, x, top, clip, text_colour_)) continue;
    }
    const int baseline = top + face_->ascent();
    // The shadow first, then the text over it.
    const bool shadow = RasterAlpha(effect_colour_) != 0;
    for (int pass = shadow ? 0 : 1; pass < 2; ++pass) {
      const RasterPixel colour = pass == 0 ? effect_colour_ : text_colour_;
      const int offset = pass == 0 ? 1 : 0;
      int64_t pen_x = int64_t{x + offset} * 64;
      int64_t pen_y = int64_t{baseline + offset} * 64;
      for (size_t i = l.begin; i < l.end; ++i) {
        if (!IsDrawn(chars[i])) continue;
        const Glyph& glyph = FindGlyph(chars[i]);
        PutGlyph(bitmap, glyph, static_cast<int>((pen_x + 32) >> 6),
                 static_cast<int>((pen_y + 32) >> 6), clip, colour);
        pen_x += glyph.advance_x;
        pen_y += glyph.advance_y;
      }
    }
  }
  return height;
}

}  // namespace vantor
