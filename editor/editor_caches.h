// The process-wide caches of the editor: decoded bitmaps and fonts, each behind its own lock.
#pragma once

#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "editor/raster/raster_bitmap.h"
#include "editor/raster/raster_font.h"

namespace vantor {

// Bitmaps shared by every editor in the process, by resource identifier. Bitmaps loaded from
// files are kept under kFileBitmapId so that they too are freed when the library is unloaded.
class BitmapStore {
 public:
  static constexpr int kFileBitmapId = -1;

  static BitmapStore& Instance();

  RasterBitmap* Find(int id);
  // Stores the bitmap and returns it; when another editor stored the same identifier
  // meanwhile, that one is returned and this one is dropped. File bitmaps are always added.
  RasterBitmap* Add(int id, std::unique_ptr<RasterBitmap> bitmap);
  // Removes and deletes the bitmap; false when it is not in the store.
  bool Remove(const RasterBitmap* bitmap);
  int size();

 private:
  struct Entry {
    int id;
    std::unique_ptr<RasterBitmap> bitmap;
  };
  std::mutex lock_;
  std::vector<Entry> entries_;
};

// Fonts shared by every editor in the process, by (size, orientation, style, face).
class FontCache {
 public:
  static FontCache& Instance();

  RasterCachedFont* Find(int size, int orientation, int style, const char* face);
  // As BitmapStore::Add: an equal font stored meanwhile wins.
  RasterCachedFont* Add(int size, int orientation, int style, const char* face,
                        std::unique_ptr<RasterCachedFont> font);
  int size();

 private:
  struct Entry {
    int size;
    int orientation;
    int style;
    std::string face;
    std::unique_ptr<RasterCachedFont> font;
  };
  Entry* FindLocked(int size, int orientation, int style, const char* face);

  std::mutex lock_;
  std::vector<Entry> entries_;
};

}  // namespace vantor
