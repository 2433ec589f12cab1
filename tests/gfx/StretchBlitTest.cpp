#include <gtest/gtest.h>

#include <cstdint>

#include "gfx/Gfx_StretchBlit.h"
#include "tests/gfx/GfxTestBitmaps.h"

namespace
{
int Blue(std::uint32_t p)
{
  return int(p & 0xFF);
}

// Blue channel a checkerboard of 0 and 255, green the column, red the row; opaque.
Gfx_MemBitmap Checker(int w, int h)
{
  Gfx_MemBitmap b(w, h);
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      b.Row(y)[x] = 0xFF000000u | std::uint32_t(y & 0xFF) << 16 | std::uint32_t(x & 0xFF) << 8 |
                    std::uint32_t((x + y) % 2 ? 255 : 0);
  return b;
}

// Box average of the blue channel over the k x k taps around (cx, cy) inside the image.
int BoxBlue(const Gfx_IBitmap& b, int cx, int cy, int k)
{
  int sum = 0, n = 0;
  for (int y = cy - k / 2; y <= cy + k / 2; ++y)
    for (int x = cx - k / 2; x <= cx + k / 2; ++x)
      if (x >= 0 && y >= 0 && x < b.Width() && y < b.Height()) sum += Blue(At(b, x, y)), ++n;
  return sum / n;
}
} // namespace

TEST(StretchBlit, UnscaledShortcut)
{
  Gfx_MemBitmap src = Checker(100, 50);
  Gfx_MemBitmap dst = Filled(100, 50, 0u);
  Gfx_StretchBlit(&dst, &src, 0, 0, 100, 50, 0.0f, 0.0f, 100.0f, 50.0f, 1.0f);
  for (int y = 0; y < 50; ++y)
    for (int x = 0; x < 100; ++x)
      ASSERT_EQ(At(dst, x, y), At(src, x, y));

  // 0.02 off the pixel grid still copies from column 0; 0.04 interpolates.
  dst = Filled(100, 50, 0u);
  Gfx_StretchBlit(&dst, &src, 0, 0, 100, 50, 0.02f, 0.0f, 100.0f, 50.0f, 1.0f);
  EXPECT_EQ(At(dst, 0, 0), At(src, 0, 0));
  EXPECT_EQ(At(dst, 57, 20), At(src, 57, 20));
  Gfx_StretchBlit(&dst, &src, 0, 0, 100, 50, 0.04f, 0.0f, 100.0f, 50.0f, 1.0f);
  const int fx = int(double(0.04f) * 65536.0);
  EXPECT_EQ(Blue(At(dst, 0, 0)), (fx * 255) >> 16);           // between 0 and 255
  EXPECT_EQ(Blue(At(dst, 1, 0)), ((65536 - fx) * 255) >> 16); // between 255 and 0
  // Rounded to the nearest column: 1.98 copies from column 2.
  Gfx_StretchBlit(&dst, &src, 0, 0, 10, 10, 1.98f, 0.0f, 10.0f, 10.0f, 1.0f);
  EXPECT_EQ(At(dst, 0, 0), At(src, 2, 0));
}

TEST(StretchBlit, FilterChoice)
{
  Gfx_MemBitmap src = Checker(100, 100);

  // Step 2 both ways: 3 x 3 box average around each sample.
  Gfx_MemBitmap half = Filled(50, 50, 0x12345678u);
  Gfx_StretchBlit(&half, &src, 0, 0, 50, 50, 0, 0, 100, 100, 1.0f);
  EXPECT_EQ(Blue(At(half, 0, 0)), BoxBlue(src, 0, 0, 3)); // 510 / 4 at the corner
  EXPECT_EQ(Blue(At(half, 10, 7)), BoxBlue(src, 20, 14, 3));
  EXPECT_EQ(Blue(At(half, 10, 7)), 4 * 255 / 9);

  // Step 5: 5 x 5 box.
  Gfx_MemBitmap fifth = Filled(20, 20, 0x12345678u);
  Gfx_StretchBlit(&fifth, &src, 0, 0, 20, 20, 0, 0, 100, 100, 1.0f);
  EXPECT_EQ(Blue(At(fifth, 3, 4)), BoxBlue(src, 15, 20, 5));
  EXPECT_EQ(Blue(At(fifth, 3, 3)), BoxBlue(src, 15, 15, 5));
  EXPECT_NE(BoxBlue(src, 15, 20, 5), BoxBlue(src, 15, 20, 3));

  // Step 2 across but 1 down: bilinear, which at whole-pixel samples picks the pixel itself.
  Gfx_MemBitmap narrow = Filled(50, 100, 0x12345678u);
  Gfx_StretchBlit(&narrow, &src, 0, 0, 50, 100, 0, 0, 100, 100, 1.0f);
  for (int y = 0; y < 100; y += 7)
    for (int x = 0; x < 50; x += 3)
      EXPECT_EQ(At(narrow, x, y), At(src, 2 * x, y));

  // 0.85: bilinear with the 16.16 weights.
  Gfx_MemBitmap small = Filled(85, 85, 0x12345678u);
  Gfx_StretchBlit(&small, &src, 0, 0, 85, 85, 0, 0, 100, 100, 1.0f);
  const std::uint32_t step = std::uint32_t(double(100.0f / 85.0f) * 65536.0);
  const std::uint32_t f = step & 0xFFFF; // sample (1, 1) of the destination
  const std::uint32_t ix = step >> 16;
  const std::uint32_t w11 = (f * f) >> 16;
  auto b = [&](int x, int y) { return std::uint32_t(Blue(At(src, x, y))); };
  const std::uint32_t want = ((65536 - f - f + w11) * b(ix, ix) + (f - w11) * b(ix + 1, ix) +
                              (f - w11) * b(ix, ix + 1) + w11 * b(ix + 1, ix + 1)) >>
                             16;
  EXPECT_EQ(std::uint32_t(Blue(At(small, 1, 1))), want);
  EXPECT_GT(want, 0u);
  EXPECT_LT(want, 255u);
}

TEST(StretchBlit, EveryPixelWrittenWhenEnlargingOrShrinking)
{
  const std::uint32_t sentinel = 0x00ABCDEFu; // alpha 0: no interpolation of opaque pixels gives it
  for (auto [w, h] : {std::pair{100, 100}, std::pair{37, 23}, std::pair{1500, 8}})
    for (float scale : {1.15f, 0.85f})
    {
      Gfx_MemBitmap src = Checker(w, h);
      const int dw = int(w * scale), dh = int(h * scale);
      Gfx_MemBitmap dst = Filled(dw, dh, sentinel);
      Gfx_StretchBlit(&dst, &src, 0, 0, dw, dh, 0, 0, float(w), float(h), 1.0f);
      int unwritten = 0;
      for (int y = 0; y < dh; ++y)
        for (int x = 0; x < dw; ++x)
          unwritten += At(dst, x, y) == sentinel;
      EXPECT_EQ(unwritten, 0) << w << "x" << h << " at " << scale;
      // The last destination pixel comes from the last source pixel (one-axis interpolation ends there).
      if (scale > 1.0f)
      {
        EXPECT_EQ(At(dst, dw - 1, dh - 1), At(src, w - 1, h - 1));
      }
    }
}

TEST(StretchBlit, Mirroring)
{
  Gfx_MemBitmap src(4, 1);
  for (int x = 0; x < 4; ++x)
    src.Row(0)[x] = 0xFF000000u | std::uint32_t(x * 60);
  Gfx_MemBitmap dst = Filled(4, 1, 0u);
  Gfx_StretchBlit(&dst, &src, 4, 0, -4, 1, 0, 0, 4, 1, 1.0f); // extends left of x = 4
  for (int x = 0; x < 4; ++x)
    EXPECT_EQ(At(dst, x, 0), At(src, 3 - x, 0)) << x;

  // Mirrored enlargement is the plain enlargement reversed.
  Gfx_MemBitmap plain = Filled(8, 1, 0u), mirrored = Filled(8, 1, 0u);
  Gfx_StretchBlit(&plain, &src, 0, 0, 8, 1, 0, 0, 4, 1, 1.0f);
  Gfx_StretchBlit(&mirrored, &src, 8, 0, -8, 1, 0, 0, 4, 1, 1.0f);
  for (int x = 0; x < 8; ++x)
    EXPECT_EQ(At(mirrored, x, 0), At(plain, 7 - x, 0)) << x;

  // Vertical.
  Gfx_MemBitmap col(1, 4);
  for (int y = 0; y < 4; ++y)
    col.Row(y)[0] = 0xFF000000u | std::uint32_t(y * 60);
  Gfx_MemBitmap flipped = Filled(1, 4, 0u);
  Gfx_StretchBlit(&flipped, &col, 0, 4, 1, -4, 0, 0, 1, 4, 1.0f);
  for (int y = 0; y < 4; ++y)
    EXPECT_EQ(At(flipped, 0, y), At(col, 0, 3 - y)) << y;
}

TEST(StretchBlit, OpacityClippingAndNothingCases)
{
  Gfx_MemBitmap src = Filled(10, 10, 0xFF808080u);
  Gfx_MemBitmap dst = Filled(20, 20, 0x00000000u);
  Gfx_StretchBlit(&dst, &src, 0, 0, 20, 20, 0, 0, 10, 10, 0.5f);
  // r + (d - r) * 128 / 256 with d = 0: 0x80 gives 0x40; alpha 255 gives 255 - 127 (toward zero).
  EXPECT_EQ(At(dst, 5, 5), 0x80404040u);

  // Destination clipping: the part left of 0 is skipped, the walk starts further into the source.
  Gfx_MemBitmap ramp(4, 1);
  for (int x = 0; x < 4; ++x)
    ramp.Row(0)[x] = 0xFF000000u | std::uint32_t(x * 80);
  dst = Filled(4, 1, 0u);
  Gfx_StretchBlit(&dst, &ramp, -4, 0, 8, 1, 0, 0, 4, 1, 1.0f);
  EXPECT_EQ(At(dst, 0, 0), At(ramp, 2, 0));
  EXPECT_EQ(At(dst, 2, 0), At(ramp, 3, 0));
  EXPECT_EQ(At(dst, 3, 0), At(ramp, 3, 0));

  // A source rectangle partly outside the source reads only inside it.
  dst = Filled(4, 1, 0x11111111u);
  Gfx_StretchBlit(&dst, &ramp, 0, 0, 4, 1, 2.5f, 0, 4, 1, 1.0f);
  EXPECT_EQ(At(dst, 0, 0), 0xFF000000u | std::uint32_t((65536 / 2 * 160 + 65536 / 2 * 240) >> 16));
  EXPECT_EQ(At(dst, 1, 0), At(ramp, 3, 0)); // sample 3.5: the last column itself
  EXPECT_EQ(At(dst, 2, 0), 0x11111111u);
  EXPECT_EQ(At(dst, 3, 0), 0x11111111u);

  const Gfx_MemBitmap before = Filled(20, 20, 0x01020304u);
  dst = Filled(20, 20, 0x01020304u);
  Gfx_StretchBlit(&dst, &src, 0, 0, 0, 20, 0, 0, 10, 10, 1.0f);
  Gfx_StretchBlit(&dst, &src, 0, 0, 20, 20, 0, 0, 10, 10, 0.0f);
  Gfx_StretchBlit(&dst, nullptr, 0, 0, 20, 20, 0, 0, 10, 10, 1.0f);
  Gfx_StretchBlit(&dst, &src, 30, 0, 20, 20, 0, 0, 10, 10, 1.0f);
  Gfx_StretchBlit(&dst, &src, 0, 0, 20, 20, 50, 50, 10, 10, 1.0f);
  Gfx_StretchBlit(&dst, &src, 0, 0, 20, 20, -1e30f, 0, 10, 10, 1.0f);
  // Unscaled with a far edge beyond the int range: the shortcut clips it (the source is far left).
  Gfx_StretchBlit(&dst, &src, 0, 0, 2000000000, 1, 5e8f, 0, 2e9f, 1.0f, 1.0f);
  Gfx_MemBitmap empty;
  Gfx_StretchBlit(&dst, &empty, 0, 0, 20, 20, 0, 0, 10, 10, 1.0f);
  Gfx_StretchBlit(&empty, &src, 0, 0, 20, 20, 0, 0, 10, 10, 1.0f);
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x)
      ASSERT_EQ(At(dst, x, y), At(before, x, y));
}
