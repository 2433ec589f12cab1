#pragma once

#include <cstdint>

#include "gfx/Gfx_Blend.h"

class Gfx_IBitmap;

// Source rectangle of a blit; right and bottom are exclusive.
struct Gfx_Rect
{
  std::int32_t left;
  std::int32_t top;
  std::int32_t right;
  std::int32_t bottom;
};

// Copies the source rectangle (the whole source when null) to (x, y) in dest, combined by the
// blend mode word at opacity alpha (0..1). Both rectangles are clipped; nothing happens for a null
// bitmap, alpha 0 or an empty area. Source and destination areas must not overlap.
void Gfx_BlitBitmap(Gfx_IBitmap* dest, const Gfx_IBitmap* src, int x, int y, const Gfx_Rect* srcRect,
                    float alpha, int mode);

// Fills w x h at (x, y) with colour 0xAARRGGBB, combined by the mode's low byte at opacity alpha;
// with BlendSourceAlpha the opacity is multiplied by the colour's alpha.
void Gfx_FillArea(Gfx_IBitmap* dest, int x, int y, int w, int h, std::uint32_t colour, float alpha, int mode);
