#include "framework/graphics/BitmapCache.h"

#include "gfx/Gfx_IBitmap.h"

BitmapCache& BitmapCache::Instance()
{
  static BitmapCache cache;
  return cache;
}

BitmapCache::~BitmapCache()
{
  Clear();
  mEntries.Release();
}

BitmapCache::Entry* BitmapCache::Find(int id, double scale) const
{
  const int n = mEntries.Count();
  for (int i = 0; i < n; ++i)
  {
    Entry* e = mEntries.Get(i);
    if (e->id == id && e->scale == scale) return e;
  }
  return nullptr;
}

Gfx_IBitmap* BitmapCache::Acquire(int id, double scale)
{
  std::lock_guard<std::mutex> lock(mLock);
  Entry* e = Find(id, scale);
  if (!e) return nullptr;
  ++e->references;
  return e->bitmap;
}

Gfx_IBitmap* BitmapCache::Insert(int id, double scale, Gfx_IBitmap* bitmap)
{
  if (!bitmap) return nullptr;
  std::lock_guard<std::mutex> lock(mLock);
  if (Entry* e = Find(id, scale))
  {
    if (e->bitmap != bitmap) delete bitmap;
    ++e->references;
    return e->bitmap;
  }
  Entry* e = new Entry{id, scale, 1, bitmap};
  if (!mEntries.Append(e))
  {
    delete e;
    delete bitmap;
    return nullptr;
  }
  return bitmap;
}

void BitmapCache::Release(int id, double scale)
{
  Gfx_IBitmap* dead = nullptr;
  {
    std::lock_guard<std::mutex> lock(mLock);
    const int n = mEntries.Count();
    for (int i = 0; i < n; ++i)
    {
      Entry* e = mEntries.Get(i);
      if (e->id != id || e->scale != scale) continue;
      if (--e->references <= 0)
      {
        dead = e->bitmap;
        mEntries.Remove(i);
        delete e;
      }
      break;
    }
  }
  delete dead;
}

int BitmapCache::Count()
{
  std::lock_guard<std::mutex> lock(mLock);
  return mEntries.Count();
}

int BitmapCache::References(int id, double scale)
{
  std::lock_guard<std::mutex> lock(mLock);
  Entry* e = Find(id, scale);
  return e ? e->references : 0;
}

void BitmapCache::Clear()
{
  std::lock_guard<std::mutex> lock(mLock);
  // Bitmaps first, then the entries from the last to the first.
  const int n = mEntries.Count();
  for (int i = 0; i < n; ++i)
  {
    Entry* e = mEntries.Get(i);
    delete e->bitmap;
    e->bitmap = nullptr;
  }
  mEntries.DeleteAll();
}

void ReleaseBitmapCache()
{
  BitmapCache::Instance().Clear();
}
