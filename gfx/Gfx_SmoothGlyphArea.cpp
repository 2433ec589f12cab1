#include <algorithm>
#include <cstring>
#include <vector>

#include "gfx/Gfx_CachedFont.h"
#include "gfx/Gfx_IBitmap.h"

namespace
{

// Per-byte shifts of whole pixels: the masks keep bits from crossing into the next byte.
inline std::uint32_t Half(std::uint32_t p)
{
  return (p >> 1) & 0x7F7F7F7Fu;
}
inline std::uint32_t Quarter(std::uint32_t p)
{
  return (p >> 2) & 0x3F3F3F3Fu;
}
inline std::uint32_t Eighth(std::uint32_t p)
{
  return (p >> 3) & 0x1F1F1F1Fu;
}

// One neighbour pair along an axis: each /8, or /4 for the one present when the other is missing.
inline std::uint32_t Pair(const std::uint32_t* a, const std::uint32_t* b)
{
  if (a && b) return Eighth(*a) + Eighth(*b);
  return Quarter(a ? *a : *b);
}

} // namespace

void Gfx_SmoothGlyphArea(Gfx_IBitmap* bitmap, int width, int height)
{
  if (!bitmap || !bitmap->PixelData()) return;
  width = std::min(width, bitmap->Width());
  height = std::min(height, bitmap->Height());
  if (width < 2 || height < 2) return;

  // The filter reads unfiltered values: keep copies of the previous and current rows.
  constexpr int kStackWidth = 1024;
  std::uint32_t stackRows[2 * kStackWidth];
  std::vector<std::uint32_t> heapRows;
  std::uint32_t* rows = stackRows;
  if (width > kStackWidth)
  {
    heapRows.resize(2 * static_cast<std::size_t>(width));
    rows = heapRows.data();
  }
  std::uint32_t* prev = rows;
  std::uint32_t* cur = rows + width;

  std::memcpy(cur, bitmap->Row(0), static_cast<std::size_t>(width) * 4);
  for (int y = 0; y < height; ++y)
  {
    std::uint32_t* out = bitmap->Row(y);
    const std::uint32_t* below = y + 1 < height ? bitmap->Row(y + 1) : nullptr; // not yet filtered
    const std::uint32_t* above = y > 0 ? prev : nullptr;
    for (int x = 0; x < width; ++x)
    {
      const std::uint32_t* left = x > 0 ? &cur[x - 1] : nullptr;
      const std::uint32_t* right = x + 1 < width ? &cur[x + 1] : nullptr;
      out[x] =
          Half(cur[x]) + Pair(left, right) + Pair(above ? &above[x] : nullptr, below ? &below[x] : nullptr);
    }
    std::swap(prev, cur);
    if (below) std::memcpy(cur, below, static_cast<std::size_t>(width) * 4);
  }
}
