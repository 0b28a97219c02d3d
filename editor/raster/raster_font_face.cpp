// RasterFontFace: finding a font file for a requested face and rasterising glyphs with FreeType.
#include "editor/raster/raster_font_face.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <numbers>

namespace vantor {
namespace {

// One FreeType library for the process. Faces share it through shared_ptr, so it outlives the
// last face even when caches are emptied late at unload; its lock guards face creation and
// destruction, which FreeType does not make thread-safe.
struct Library {
  FT_Library handle = nullptr;
  std::mutex lock;
  Library() {
    if (FT_Init_FreeType(&handle) != 0) handle = nullptr;
  }
  ~Library() {
    if (handle) FT_Done_FreeType(handle);
  }
};

std::shared_ptr<Library> SharedLibrary() {
  static std::mutex creation;
  static std::weak_ptr<Library> shared;
  std::lock_guard lock(creation);
  std::shared_ptr<Library> library = shared.lock();
  if (!library) {
    library = std::make_shared<Library>();
    shared = library;
  }
  return library;
}

std::mutex& FoldersLock() {
  static std::mutex lock;
  return lock;
}

std::vector<std::string>& Folders() {
  static std::vector<std::string> folders = {
      "/usr/share/fonts/truetype/dejavu",
      "/usr/share/fonts/dejavu",
      "/usr/share/fonts/TTF",
      "/usr/share/fonts/truetype",
      "/usr/share/fonts/dejavu-sans-fonts",
      "/usr/share/fonts/dejavu-sans-mono-fonts",
      "/usr/share/fonts/dejavu-serif-fonts",
      "/usr/local/share/fonts",
      "/usr/local/share/fonts/truetype/dejavu",
  };
  return folders;
}

bool Contains(const std::string& haystack, const char* needle) {
  std::string lower = haystack;
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower.find(needle) != std::string::npos;
}

bool FileExists(const std::string& path) {
  FILE* file = fopen(path.c_str(), "rb");
  if (!file) return false;
  fclose(file);
  return true;
}

struct Candidate {
  std::string path;
  bool synthetic_italic = false;
};

// The installed font closest to the request: the family class of the requested face (the
// Windows faces the editor names are not installed here), then the style, then any style of
// that family, then the sans family.
Candidate FindFontFile(const RasterFontSpec& desc) {
  std::string family = "DejaVuSans";
  if (Contains(desc.face, "mono") || Contains(desc.face, "courier") ||
      Contains(desc.face, "consol")) {
    family = "DejaVuSansMono";
  } else if ((Contains(desc.face, "serif") && !Contains(desc.face, "sans")) ||
             Contains(desc.face, "times") || Contains(desc.face, "georgia")) {
    family = "DejaVuSerif";
  }
  const char* italic = family == "DejaVuSerif" ? "Italic" : "Oblique";
  struct Try {
    std::string family;
    bool bold;
    bool italic;
  };
  std::vector<Try> tries = {
      {family, desc.bold, desc.italic}, {family, desc.bold, false}, {family, false, false}};
  if (family != "DejaVuSans") {
    tries.push_back({"DejaVuSans", desc.bold, false});
    tries.push_back({"DejaVuSans", false, false});
  }
  std::vector<std::string> folders = RasterFontFolders();
  for (const Try& t : tries) {
    std::string name = t.family;
    if (t.bold || t.italic) name += "-";
    if (t.bold) name += "Bold";
    if (t.italic) name += (t.bold && family == "DejaVuSerif") ? "Italic" : italic;
    name += ".ttf";
    for (const std::string& folder : folders) {
      const std::string path = folder + "/" + name;
      if (FileExists(path)) return {path, desc.italic && !t.italic};
    }
  }
  return {};
}

}  // namespace

struct RasterFontFace::Impl {
  std::shared_ptr<Library> library;
  FT_Face face = nullptr;
  std::mutex lock;  // one glyph at a time per face
  ~Impl() {
    if (face) {
      std::lock_guard guard(library->lock);
      FT_Done_Face(face);
    }
  }
};

void SetRasterFontFolders(std::vector<std::string> folders) {
  std::lock_guard lock(FoldersLock());
  Folders() = std::move(folders);
}

std::vector<std::string> RasterFontFolders() {
  std::lock_guard lock(FoldersLock());
  return Folders();
}

std::unique_ptr<RasterFontFace> RasterFontFace::Create(const RasterFontSpec& desc,
                                                       std::string* error) {
  auto fail = [error](std::string message) -> std::unique_ptr<RasterFontFace> {
    if (error) *error = std::move(message);
    return nullptr;
  };
  if (desc.size <= 0 || desc.size > 1000) return fail("The font size is out of range.");
  const Candidate file = FindFontFile(desc);
  if (file.path.empty())
    return fail(
        "No font for the editor's text was found. Install the DejaVu fonts (Debian package "
        "fonts-dejavu-core).");

  std::unique_ptr<RasterFontFace> font(new RasterFontFace());
  font->impl_ = std::make_unique<Impl>();
  Impl& impl = *font->impl_;
  impl.library = SharedLibrary();
  if (!impl.library->handle) return fail("The font engine could not be started.");
  {
    std::lock_guard guard(impl.library->lock);
    if (FT_New_Face(impl.library->handle, file.path.c_str(), 0, &impl.face) != 0) {
      impl.face = nullptr;
      return fail("The font file " + file.path + " could not be read.");
    }
  }
  // The requested size is the cell height, ascent plus descent, as the editor's sizes mean.
  FT_Size_RequestRec request = {};
  request.type = FT_SIZE_REQUEST_TYPE_REAL_DIM;
  request.height = desc.size * 64;
  if (FT_Request_Size(impl.face, &request) != 0)
    return fail("The font file " + file.path + " cannot be scaled.");

  const double angle = desc.orientation * std::numbers::pi / 180.0;
  const double shear = file.synthetic_italic ? 0.2 : 0.0;  // a common slant for oblique faces
  if (desc.orientation % 360 != 0 || shear != 0.0) {
    // Rotation times shear, in 16.16 fixed point.
    const double c = std::cos(angle);
    const double s = std::sin(angle);
    FT_Matrix matrix;
    matrix.xx = static_cast<FT_Fixed>(c * 65536.0);
    matrix.xy = static_cast<FT_Fixed>((c * shear - s) * 65536.0);
    matrix.yx = static_cast<FT_Fixed>(s * 65536.0);
    matrix.yy = static_cast<FT_Fixed>((s * shear + c) * 65536.0);
    FT_Set_Transform(impl.face, &matrix, nullptr);
  }
  // The cell is exactly the requested size, split as the font's design splits it (hinted
  // metrics round ascent and descent apart and can make it a pixel taller).
  const double ascender = impl.face->ascender;
  const double cell = ascender - impl.face->descender;
  font->spec_ = desc;
  font->file_path_ = file.path;
  font->line_height_ = desc.size;
  font->ascent_ = cell > 0 ? static_cast<int>(std::lround(desc.size * ascender / cell)) : desc.size;
  return font;
}

RasterFontFace::~RasterFontFace() = default;

// FreeType draws only glyph masks; all text goes through the glyph cache.
bool RasterFontFace::DrawNative(RasterBitmap*, const std::u32string&, int, int, RasterRect,
                                RasterPixel) {
  return false;
}

bool RasterFontFace::RenderGlyph(char32_t code, RasterGlyphImage* out) {
  std::lock_guard guard(impl_->lock);
  FT_Face face = impl_->face;
  const FT_Int32 target = spec_.antialiased ? FT_LOAD_TARGET_NORMAL : FT_LOAD_TARGET_MONO;
  if (FT_Load_Char(face, code, FT_LOAD_DEFAULT | target) != 0) return false;
  FT_GlyphSlot slot = face->glyph;
  if (FT_Render_Glyph(slot, spec_.antialiased ? FT_RENDER_MODE_NORMAL : FT_RENDER_MODE_MONO) != 0)
    return false;
  const FT_Bitmap& bitmap = slot->bitmap;
  out->width = static_cast<int>(bitmap.width);
  out->height = static_cast<int>(bitmap.rows);
  out->left = slot->bitmap_left;
  out->top = slot->bitmap_top;
  out->advance_x = static_cast<int>(slot->advance.x);
  out->advance_y = static_cast<int>(-slot->advance.y);
  out->coverage.assign(static_cast<size_t>(out->width) * static_cast<size_t>(out->height), 0);
  for (int y = 0; y < out->height; ++y) {
    // A negative pitch stores the rows bottom-up.
    const ptrdiff_t pitch = bitmap.pitch;
    const unsigned char* row =
        bitmap.buffer + (pitch >= 0 ? y * pitch : (out->height - 1 - y) * -pitch);
    uint8_t* dst = out->coverage.data() + static_cast<size_t>(y) * static_cast<size_t>(out->width);
    for (int x = 0; x < out->width; ++x) {
      if (bitmap.pixel_mode == FT_PIXEL_MODE_MONO) {
        dst[x] = (row[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
      } else if (bitmap.pixel_mode == FT_PIXEL_MODE_GRAY) {
        dst[x] = row[x];
      }
    }
  }
  return true;
}

}  // namespace vantor
