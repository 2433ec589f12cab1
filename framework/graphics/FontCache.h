#pragma once

#include "framework/support/PointerList.h"

#include <cstdint>
#include <mutex>

class Gfx_CachedFont;

// The process-wide cache of fonts, one per (size, orientation, style, face): styles that differ
// only in colour or quality share a font. The cache owns its fonts; they live until the module
// unloads. Every operation takes the cache's lock.
class FontCache
{
public:
  static constexpr int kFaceLength = 36;

  static FontCache& Instance();

  // The cached font of the key, or null.
  Gfx_CachedFont* Find(int32_t size, int32_t orientation, int32_t style, const char* face);
  // Adds the font (the cache owns it). When the key was added meanwhile, the given font is
  // deleted and the cached one answered; a font the list cannot take is deleted (null).
  Gfx_CachedFont* Insert(int32_t size, int32_t orientation, int32_t style, const char* face,
                         Gfx_CachedFont* font);

  int Count();
  // Deletes every font, then the entries (module unload).
  void Clear();

  ~FontCache();

private:
  FontCache() = default;

  struct Entry
  {
    int32_t size;
    int32_t orientation;
    int32_t style;
    char face[kFaceLength];
    Gfx_CachedFont* font;
  };

  Entry* FindEntry(int32_t size, int32_t orientation, int32_t style, const char* face) const;

  std::mutex mLock;
  PointerList<Entry> mEntries;
};

// Empties the font cache (module unload).
void ReleaseFontCache();
