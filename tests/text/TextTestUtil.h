#pragma once
// Helpers shared by the text tests: bitmap filling and ink search.

#include <algorithm>
#include <cstdint>

#include "gfx/Gfx_IBitmap.h"

namespace texttest
{

inline void Fill(Gfx_IBitmap& b, std::uint32_t colour)
{
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x)
      b.Row(y)[x] = colour;
}

inline std::uint32_t Px(const Gfx_IBitmap& b, int x, int y)
{
  return b.Row(y)[x];
}

struct Box
{
  int left = 0, top = 0, right = 0, bottom = 0; // right and bottom exclusive
  bool empty = true;
};

// The bounding box of every pixel that differs from the background.
inline Box InkBox(const Gfx_IBitmap& b, std::uint32_t background)
{
  Box box;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x)
      if (b.Row(y)[x] != background)
      {
        if (box.empty)
        {
          box = {x, y, x + 1, y + 1, false};
        }
        else
        {
          box.left = std::min(box.left, x);
          box.top = std::min(box.top, y);
          box.right = std::max(box.right, x + 1);
          box.bottom = std::max(box.bottom, y + 1);
        }
      }
  return box;
}

inline int CountDiffering(const Gfx_IBitmap& b, std::uint32_t background)
{
  int n = 0;
  for (int y = 0; y < b.Height(); ++y)
    for (int x = 0; x < b.Width(); ++x)
      n += b.Row(y)[x] != background;
  return n;
}

} // namespace texttest
