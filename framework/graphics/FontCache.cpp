#include "framework/graphics/FontCache.h"

#include "gfx/Gfx_CachedFont.h"

#include <cstring>

FontCache& FontCache::Instance()
{
  static FontCache cache;
  return cache;
}

FontCache::~FontCache()
{
  Clear();
  mEntries.Release();
}

FontCache::Entry* FontCache::FindEntry(int32_t size, int32_t orientation, int32_t style,
                                       const char* face) const
{
  if (!face) face = "";
  const int n = mEntries.Count();
  for (int i = 0; i < n; ++i)
  {
    Entry* e = mEntries.Get(i);
    if (e->size == size && e->orientation == orientation && e->style == style &&
        std::strcmp(e->face, face) == 0)
      return e;
  }
  return nullptr;
}

Gfx_CachedFont* FontCache::Find(int32_t size, int32_t orientation, int32_t style, const char* face)
{
  std::lock_guard<std::mutex> lock(mLock);
  Entry* e = FindEntry(size, orientation, style, face);
  return e ? e->font : nullptr;
}

Gfx_CachedFont* FontCache::Insert(int32_t size, int32_t orientation, int32_t style, const char* face,
                                  Gfx_CachedFont* font)
{
  if (!font) return nullptr;
  std::lock_guard<std::mutex> lock(mLock);
  if (Entry* e = FindEntry(size, orientation, style, face))
  {
    if (e->font != font) delete font;
    return e->font;
  }
  Entry* e = new Entry{size, orientation, style, {}, font};
  if (face) std::strncpy(e->face, face, kFaceLength - 1);
  if (!mEntries.Append(e))
  {
    delete e;
    delete font;
    return nullptr;
  }
  return font;
}

int FontCache::Count()
{
  std::lock_guard<std::mutex> lock(mLock);
  return mEntries.Count();
}

void FontCache::Clear()
{
  std::lock_guard<std::mutex> lock(mLock);
  const int n = mEntries.Count();
  for (int i = 0; i < n; ++i)
  {
    Entry* e = mEntries.Get(i);
    delete e->font;
    e->font = nullptr;
  }
  mEntries.DeleteAll();
}

void ReleaseFontCache()
{
  FontCache::Instance().Clear();
}
