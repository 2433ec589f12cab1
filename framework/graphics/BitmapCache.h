#pragma once

#include "framework/support/PointerList.h"

#include <mutex>

class Gfx_IBitmap;

// The process-wide cache of scaled skin bitmaps, keyed by resource id and scale, so that editors
// at different sizes each get bitmaps of their own size. Entries are reference-counted: each
// editor holds one reference per key it uses and releases it when it goes, and a bitmap is
// deleted only when no editor holds it any more. Every operation takes the cache's lock.
class BitmapCache
{
public:
  static BitmapCache& Instance();

  // Takes a reference to the bitmap of (id, scale); null (no reference) when there is none.
  Gfx_IBitmap* Acquire(int id, double scale);
  // Adds the bitmap (the cache owns it) with one reference. When (id, scale) was added meanwhile,
  // the given bitmap is deleted and a reference to the cached one is answered instead. A bitmap
  // the list cannot take is deleted and null is answered.
  Gfx_IBitmap* Insert(int id, double scale, Gfx_IBitmap* bitmap);
  // Drops a reference; the last one deletes the bitmap.
  void Release(int id, double scale);

  int Count();
  // The references held on (id, scale); 0 when not cached.
  int References(int id, double scale);

  // Deletes every bitmap and entry, whatever their references (module unload).
  void Clear();

  ~BitmapCache();

private:
  BitmapCache() = default;

  struct Entry
  {
    int id;
    double scale;
    int references;
    Gfx_IBitmap* bitmap;
  };

  Entry* Find(int id, double scale) const;

  std::mutex mLock;
  PointerList<Entry> mEntries;
};

// Empties the bitmap cache (module unload).
void ReleaseBitmapCache();
