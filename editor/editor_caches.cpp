// BitmapStore and FontCache.
#include "editor/editor_caches.h"

#include <cstring>

namespace vantor {

BitmapStore& BitmapStore::Instance() {
  static BitmapStore store;
  return store;
}

RasterBitmap* BitmapStore::Find(int id) {
  std::lock_guard guard(lock_);
  for (const Entry& entry : entries_)
    if (entry.id == id) return entry.bitmap.get();
  return nullptr;
}

RasterBitmap* BitmapStore::Add(int id, std::unique_ptr<RasterBitmap> bitmap) {
  if (!bitmap) return nullptr;
  std::lock_guard guard(lock_);
  if (id != kFileBitmapId) {
    for (const Entry& entry : entries_)
      if (entry.id == id) return entry.bitmap.get();
  }
  entries_.push_back({id, std::move(bitmap)});
  return entries_.back().bitmap.get();
}

bool BitmapStore::Remove(const RasterBitmap* bitmap) {
  std::unique_ptr<RasterBitmap> removed;  // deleted after the lock is released
  std::lock_guard guard(lock_);
  for (auto it = entries_.begin(); it != entries_.end(); ++it) {
    if (it->bitmap.get() == bitmap) {
      removed = std::move(it->bitmap);
      entries_.erase(it);
      return true;
    }
  }
  return false;
}

int BitmapStore::size() {
  std::lock_guard guard(lock_);
  return static_cast<int>(entries_.size());
}

FontCache& FontCache::Instance() {
  static FontCache cache;
  return cache;
}

FontCache::Entry* FontCache::FindLocked(int size, int orientation, int style, const char* face) {
  for (Entry& entry : entries_)
    if (entry.size == size && entry.orientation == orientation && entry.style == style &&
        entry.face == face)
      return &entry;
  return nullptr;
}

RasterCachedFont* FontCache::Find(int size, int orientation, int style, const char* face) {
  std::lock_guard guard(lock_);
  Entry* entry = FindLocked(size, orientation, style, face ? face : "");
  return entry ? entry->font.get() : nullptr;
}

RasterCachedFont* FontCache::Add(int size, int orientation, int style, const char* face,
                                 std::unique_ptr<RasterCachedFont> font) {
  if (!font) return nullptr;
  if (!face) face = "";
  std::lock_guard guard(lock_);
  if (Entry* entry = FindLocked(size, orientation, style, face)) return entry->font.get();
  entries_.push_back({size, orientation, style, face, std::move(font)});
  return entries_.back().font.get();
}

int FontCache::size() {
  std::lock_guard guard(lock_);
  return static_cast<int>(entries_.size());
}

}  // namespace vantor
