#pragma once

#include <cstdint>

class Gfx_CachedFont;
class Gfx_IBitmap;

// The flat shapes the editor window paints itself (its popup menus and its drawn text entry) and
// the width of their text.
struct PanelPaint
{
  // Fills left..right-1 by top..bottom-1, clipped to the bitmap; nothing for a bitmap without pixels.
  static void FillRect(Gfx_IBitmap* bitmap, int left, int top, int right, int bottom, uint32_t colour);
  // A one-pixel frame just inside the rectangle.
  static void FrameRect(Gfx_IBitmap* bitmap, int left, int top, int right, int bottom, uint32_t colour);
  // The width of the first length bytes of the text on one line (-1: all of it); 0 without a font.
  static int TextWidth(Gfx_CachedFont* font, const char* text, int length);
};
