// Fonts that draw UTF-8 text into bitmaps: the RasterFont interface and the glyph-caching font.
#pragma once

#include <array>
#include <cstdint>
#include <mutex>
#include <vector>

#include "editor/raster/raster_bitmap.h"
#include "editor/raster/raster_blit.h"
#include "editor/raster/raster_font_face.h"

namespace vantor {

enum RasterFontFlags : int {
  kRasterFontOwnsHandle = 0x200,  // the font deletes its face
  kRasterFontNative = 0x400,      // may use the system's own text drawing (Windows, not Wine)
};

enum RasterTextFlags : int {
  kRasterTextLeft = 0,
  kRasterTextCenter = 1,
  kRasterTextRight = 2,
  kRasterTextAlignMask = 3,
  kRasterTextCalcRect = 0x100,  // only measure: set the rectangle's right and bottom
  kRasterTextNoClip = 0x200,    // draw beyond the rectangle (still within the bitmap)
};

enum RasterBackgroundMode : int { kRasterTransparent = 0, kRasterOpaque = 1 };

class RasterFont {
 public:
  virtual ~RasterFont() = default;
  virtual void SetFontHandle(RasterFontFace* face, int flags) = 0;
  // Each setter returns the previous value.
  virtual RasterPixel SetTextColor(RasterPixel colour) = 0;
  virtual RasterPixel SetBackgroundColor(RasterPixel colour) = 0;
  // A colour with non-zero alpha draws a one-pixel shadow below and right of the text.
  virtual RasterPixel SetEffectColor(RasterPixel colour) = 0;
  virtual int SetBackgroundMode(int mode) = 0;
  // Blend mode (RasterBlendMode, optionally with kRasterUseSourceAlpha for the text colour's
  // alpha) and weight for putting the text colour down.
  virtual void SetCombineMode(int mode, float alpha) = 0;
  // Draws text (UTF-8; length -1: NUL-terminated) into rect, lines split at '\n', aligned
  // horizontally per flags and from the top. Returns the text's height in pixels.
  virtual int DrawText(RasterBitmap* bitmap, const char* text, int length, RasterRect* rect,
                       int flags) = 0;
  virtual RasterPixel GetTextColor() const = 0;
  virtual RasterFontFace* GetFontHandle() const = 0;
  virtual int GetFlags() const = 0;
  // Draws one character with its pen at (x, baseline y) within clip; returns the advance in
  // 1/64 pixel.
  virtual int DrawGlyph(RasterBitmap* bitmap, char32_t code, int x, int y,
                        const RasterRect& clip) = 0;
};

// Renders each character once into an 8-bit coverage mask and keeps it; drawing blends the text
// colour with the coverage as weight. Not thread-safe by itself: code that shares one font
// between threads holds Lock() around setting colours and drawing.
class RasterCachedFont : public RasterFont {
 public:
  RasterCachedFont() = default;
  RasterCachedFont(RasterFontFace* face, int flags) { SetFontHandle(face, flags); }
  ~RasterCachedFont() override;
  RasterCachedFont(const RasterCachedFont&) = delete;
  RasterCachedFont& operator=(const RasterCachedFont&) = delete;

  void SetFontHandle(RasterFontFace* face, int flags) override;
  RasterPixel SetTextColor(RasterPixel colour) override;
  RasterPixel SetBackgroundColor(RasterPixel colour) override;
  RasterPixel SetEffectColor(RasterPixel colour) override;
  int SetBackgroundMode(int mode) override;
  void SetCombineMode(int mode, float alpha) override;
  int DrawText(RasterBitmap* bitmap, const char* text, int length, RasterRect* rect,
               int flags) override;
  RasterPixel GetTextColor() const override { return text_colour_; }
  RasterFontFace* GetFontHandle() const override { return face_; }
  int GetFlags() const override { return flags_; }
  int DrawGlyph(RasterBitmap* bitmap, char32_t code, int x, int y, const RasterRect& clip) override;

  std::unique_lock<std::mutex> Lock() { return std::unique_lock(lock_); }
  // Limits all drawing to this rectangle as well (null: no limit); the caller keeps it alive.
  void set_clip(const RasterRect* clip) { extra_clip_ = clip; }
  int line_height() const { return line_height_; }
  // How many glyphs have been rasterised: each character costs one, however often drawn.
  int glyphs_rasterised() const { return glyphs_rasterised_; }

 private:
  struct Glyph {
    char32_t code = 0;
    bool ready = false;
    int16_t width = 0;
    int16_t height = 0;
    int16_t left = 0;
    int16_t top = 0;
    int32_t advance_x = 0;
    int32_t advance_y = 0;
    uint32_t offset = 0;  // into the pixel heap
  };

  const Glyph& FindGlyph(char32_t code);
  void FillGlyph(char32_t code, Glyph* glyph);
  void PutGlyph(RasterBitmap* bitmap, const Glyph& glyph, int x, int y, const RasterRect& clip,
                RasterPixel colour);
  void ReleaseFace();
  RasterRect Limit(RasterRect clip) const;

  RasterPixel text_colour_ = RasterMakePixel(255, 0, 0, 0);
  RasterPixel background_colour_ = RasterMakePixel(255, 255, 255, 255);
  RasterPixel effect_colour_ = 0;
  int background_mode_ = kRasterTransparent;
  int combine_mode_ = kRasterCopy;
  float combine_alpha_ = 1.0f;
  int flags_ = 0;
  int line_height_ = 0;
  std::array<Glyph, 256> first_glyphs_{};
  std::vector<Glyph> other_glyphs_;  // sorted by code
  std::vector<uint8_t> pixel_heap_;
  RasterFontFace* face_ = nullptr;
  const RasterRect* extra_clip_ = nullptr;
  int glyphs_rasterised_ = 0;
  std::mutex lock_;
};

}  // namespace vantor
