#include <gtest/gtest.h>

#include <cstdint>

#include "gfx/Gfx_BitmapView.h"
#include "gfx/Gfx_Blit.h"
#include "tests/gfx/GfxTestBitmaps.h"

// Drawing into a view reaches exactly its rectangle of the bitmap, top-down or bottom-up, and a
// rectangle reaching past the bitmap is cut to it.
TEST(BitmapView, DrawsOnlyIntoItsRectangle)
{
  Gfx_MemBitmap topDown = Filled(10, 8, 0x11111111u);
  BottomUpBitmap bottomUp(10, 8, 0x11111111u);
  for (Gfx_IBitmap* bitmap : {static_cast<Gfx_IBitmap*>(&topDown), static_cast<Gfx_IBitmap*>(&bottomUp)})
  {
    Gfx_BitmapView view(bitmap, 2, 3, 5, 4);
    ASSERT_EQ(view.Width(), 5);
    ASSERT_EQ(view.Height(), 4);
    EXPECT_EQ(view.Row(0), bitmap->Row(3) + 2);
    EXPECT_EQ(view.Row(3), bitmap->Row(6) + 2);
    Gfx_FillArea(&view, -5, -5, 100, 100, 0xFF00FF00u, 1.0f, BlendCopy);
    for (int y = 0; y < 8; ++y)
      for (int x = 0; x < 10; ++x)
      {
        const bool inside = x >= 2 && x < 7 && y >= 3 && y < 7;
        ASSERT_EQ(At(*bitmap, x, y), inside ? 0xFF00FF00u : 0x11111111u) << x << "," << y;
      }
  }

  Gfx_BitmapView cut(&topDown, 8, -2, 10, 4);
  EXPECT_EQ(cut.Width(), 2);
  EXPECT_EQ(cut.Height(), 2);
  EXPECT_EQ(cut.Left(), 8);
  EXPECT_EQ(cut.Top(), 0);
  Gfx_BitmapView outside(&topDown, 20, 0, 5, 5);
  EXPECT_EQ(outside.PixelData(), nullptr);
  Gfx_FillArea(&outside, 0, 0, 5, 5, 0, 1.0f, BlendCopy); // draws nothing
  Gfx_BitmapView none(nullptr, 0, 0, 5, 5);
  EXPECT_EQ(none.PixelData(), nullptr);
  EXPECT_FALSE(none.SetSize(3, 3));
}
