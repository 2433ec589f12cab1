// The flat shapes the editor window paints its menus and text entry with: clipped to the bitmap, and
// text widths measured over just the bytes asked for.
#include "framework/graphics/PanelPaint.h"
#include "gfx/Gfx_CachedFont.h"
#include "gfx/Gfx_MemBitmap.h"
#include "platform/text/SyntheticRasteriser.h"

#include <gtest/gtest.h>

#include <string>

namespace
{
constexpr uint32_t kInk = 0xFF102030;

// The bitmap as rows of '#' (ink) and '.' (anything else), for readable expectations.
std::string Picture(const Gfx_IBitmap& bitmap)
{
  std::string rows;
  for (int y = 0; y < bitmap.Height(); ++y)
  {
    for (int x = 0; x < bitmap.Width(); ++x)
      rows += bitmap.Row(y)[x] == kInk ? '#' : '.';
    rows += '\n';
  }
  return rows;
}
} // namespace

TEST(PanelPaint, FillsAndFramesStayInsideTheBitmap)
{
  Gfx_MemBitmap bitmap(6, 4);
  // Reaching past every edge fills the whole bitmap and writes nothing outside it (the sanitizer
  // builds would see a write past the rows).
  PanelPaint::FillRect(&bitmap, -3, -2, 9, 7, kInk);
  EXPECT_EQ(Picture(bitmap), "######\n######\n######\n######\n");

  Gfx_MemBitmap framed(6, 4);
  PanelPaint::FrameRect(&framed, 1, 0, 5, 4, kInk);
  EXPECT_EQ(Picture(framed), ".####.\n.#..#.\n.#..#.\n.####.\n");

  // A rectangle with its right or bottom before its left or top paints nothing, as does one wholly outside.
  Gfx_MemBitmap untouched(6, 4);
  PanelPaint::FillRect(&untouched, 4, 1, 2, 3, kInk);
  PanelPaint::FillRect(&untouched, 1, 3, 4, 1, kInk);
  PanelPaint::FillRect(&untouched, 7, 0, 9, 4, kInk);
  PanelPaint::FillRect(&untouched, 0, -5, 6, -1, kInk);
  EXPECT_EQ(Picture(untouched), "......\n......\n......\n......\n");

  // A bitmap without pixels or no bitmap at all is left alone.
  Gfx_MemBitmap empty;
  PanelPaint::FillRect(&empty, 0, 0, 4, 4, kInk);
  PanelPaint::FrameRect(nullptr, 0, 0, 4, 4, kInk);
}

TEST(PanelPaint, TextWidthMeasuresTheBytesAskedFor)
{
  SyntheticRasteriser synth;
  Gfx_CachedFont font;
  // Height 12: every printable character advances 6 pixels.
  font.AttachFont(synth.OpenFont(TextFontRequest("Panel", 12)).release(), FontOwnsHandle);
  EXPECT_EQ(PanelPaint::TextWidth(&font, "abcd", -1), 24);
  EXPECT_EQ(PanelPaint::TextWidth(&font, "abcd", 2), 12);
  EXPECT_EQ(PanelPaint::TextWidth(&font, "abcd", 0), 0);
  EXPECT_EQ(PanelPaint::TextWidth(&font, "", -1), 0);
  EXPECT_EQ(PanelPaint::TextWidth(&font, nullptr, -1), 0);
  EXPECT_EQ(PanelPaint::TextWidth(nullptr, "abcd", -1), 0);
}
