// Text drawing of the editor graphics: fonts from the font cache, drawn through the cached
// font's DrawString into the draw bitmap.
#include "framework/graphics/FontCache.h"
#include "framework/graphics/IGraphics.h"
#include "gfx/Gfx_BitmapView.h"
#include "gfx/Gfx_CachedFont.h"
#include "gfx/Gfx_SysBitmap.h"
#include "platform/text/TextRasteriser.h"

#include <memory>
#include <mutex>

namespace
{
// Taken around setting a shared font's colour and drawing with it.
std::mutex sFontColourLock;

// Rotated text: 90 degrees runs upward, 270 (or -90) downward; other angles draw upright.
uint32_t OrientationFlags(int32_t orientation)
{
  int32_t a = orientation % 360;
  if (a < 0) a += 360;
  if (a == 90) return FontVertical | FontVerticalUp;
  if (a == 270) return FontVertical;
  return 0;
}
} // namespace

Gfx_CachedFont* IGraphics::MakeCachedFont(ITextStyle* style)
{
  if (!style) return nullptr;
  FontCache& cache = FontCache::Instance();
  Gfx_CachedFont* font = cache.Find(style->size, style->orientation, style->style, style->face);
  if (!font)
  {
    const int quality = (style->quality >= 0 && style->quality <= 3) ? style->quality : 0;
    const TextFontRequest request(style->face, style->size, style->style == ITextStyle::kBold ? 700 : 400,
                                  style->style == ITextStyle::kItalic, quality);
    std::unique_ptr<TextFont> handle = TextRasteriser::Default().OpenFont(request);
    if (!handle) return nullptr;
    Gfx_CachedFont* made = new Gfx_CachedFont();
    made->AttachFont(handle.release(),
                     FontOwnsHandle | FontPreferNative | OrientationFlags(style->orientation));
    font = cache.Insert(style->size, style->orientation, style->style, style->face, made);
    if (!font) return nullptr;
  }
  style->font = font;
  return font;
}

void IGraphics::DrawFontString(Gfx_CachedFont* font, uint32_t colour, Gfx_IBitmap* bitmap, const char* text,
                               int left, int top, int right, int bottom, uint32_t flags)
{
  if (!font) return;
  Gfx_Rect r{left, top, right, bottom};
  std::lock_guard<std::mutex> guard(sFontColourLock);
  font->SetTextColour(colour);
  font->DrawString(bitmap, text, -1, &r, flags);
}

bool IGraphics::DrawTextInRect(ITextStyle* style, const char* text, IRectangle* rect, bool measure)
{
  if (!text || !*text) return true;
  if (!style || !rect) return false;
  Gfx_CachedFont* font = style->font ? style->font : MakeCachedFont(style);
  if (!font) return false;

  uint32_t flags = DT_NOCLIP;
  if (style->colour.A < 255) flags |= DrawUseColourAlpha;
  if (style->hAlign == ITextStyle::kAlignCentre)
    flags |= DT_CENTER;
  else if (style->hAlign == ITextStyle::kAlignRight)
    flags |= DT_RIGHT;
  if (style->vAlign == ITextStyle::kAlignBottom)
    flags |= DT_BOTTOM;
  else if (style->vAlign == ITextStyle::kAlignMiddle)
    flags |= DT_VCENTER | DT_SINGLELINE;

  if (!measure)
  {
    if (mDrawRect.Empty() || !mDrawBitmap)
    {
      DrawFontString(font, style->colour.Word(), mDrawBitmap, text, rect->L, rect->T, rect->R, rect->B,
                     flags);
      return true;
    }
    // Text may run past its rectangle (no clipping by the text rectangle), but never past the
    // area being repainted: drawn again over pixels that were not repainted, its edges would
    // darken with every frame.
    Gfx_BitmapView area(mDrawBitmap, mDrawRect.L, mDrawRect.T, mDrawRect.W(), mDrawRect.H());
    DrawFontString(font, style->colour.Word(), &area, text, rect->L - area.Left(), rect->T - area.Top(),
                   rect->R - area.Left(), rect->B - area.Top(), flags);
    return true;
  }

  Gfx_Rect extent{0, 0, 0, 0};
  font->DrawString(nullptr, text, -1, &extent, flags | DT_CALCRECT);
  const int w = extent.right - extent.left;
  const int h = extent.bottom - extent.top;
  if (style->hAlign == ITextStyle::kAlignRight)
    rect->L = rect->R - w;
  else if (style->hAlign == ITextStyle::kAlignCentre)
  {
    rect->L = int((rect->L + rect->R) * 0.5) - w / 2;
    rect->R = rect->L + w;
  }
  else
    rect->R = rect->L + w;
  rect->B = rect->T + h;
  return true;
}
