#include "framework/graphics/PanelPaint.h"

#include "gfx/Gfx_CachedFont.h"
#include "gfx/Gfx_IBitmap.h"

#include <algorithm>

void PanelPaint::FillRect(Gfx_IBitmap* bitmap, int left, int top, int right, int bottom, uint32_t colour)
{
  if (!bitmap || !bitmap->PixelData()) return;
  left = std::max(left, 0);
  top = std::max(top, 0);
  right = std::min(right, bitmap->Width());
  bottom = std::min(bottom, bitmap->Height());
  for (int y = top; y < bottom; ++y)
  {
    uint32_t* row = bitmap->Row(y);
    std::fill(row + left, row + std::max(left, right), colour);
  }
}

void PanelPaint::FrameRect(Gfx_IBitmap* bitmap, int left, int top, int right, int bottom, uint32_t colour)
{
  FillRect(bitmap, left, top, right, top + 1, colour);
  FillRect(bitmap, left, bottom - 1, right, bottom, colour);
  FillRect(bitmap, left, top, left + 1, bottom, colour);
  FillRect(bitmap, right - 1, top, right, bottom, colour);
}

int PanelPaint::TextWidth(Gfx_CachedFont* font, const char* text, int length)
{
  if (!font || !text || length == 0 || !*text) return 0;
  Gfx_Rect r{0, 0, 0, 0};
  font->DrawString(nullptr, text, length, &r, DT_CALCRECT | DT_SINGLELINE);
  return r.right - r.left;
}
