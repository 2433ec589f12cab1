#include <gtest/gtest.h>

#include <cstdint>

#include "gfx/Gfx_MemBitmap.h"
#include "gfx/Gfx_SysBitmap.h"

TEST(MemBitmap, RowsArePaddedToFourPixelsAndAligned)
{
  Gfx_MemBitmap five(5, 3);
  EXPECT_EQ(five.RowSpan(), 8);
  ASSERT_NE(five.PixelData(), nullptr);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(five.PixelData()) % 64, 0u);
  Gfx_MemBitmap eight(8, 1);
  EXPECT_EQ(eight.RowSpan(), 8);
  // Every pixel of the padded block is writable.
  for (int i = 0; i < five.RowSpan() * five.Height(); ++i)
    five.PixelData()[i] = 0x01020304u;
}

TEST(MemBitmap, ResizeRules)
{
  Gfx_MemBitmap empty;
  EXPECT_EQ(empty.PixelData(), nullptr);
  EXPECT_EQ(empty.Width(), 0);
  EXPECT_EQ(empty.Height(), 0);

  Gfx_MemBitmap b(10, 10);
  b.PixelData()[0] = 0xDEADBEEFu;
  EXPECT_FALSE(b.SetSize(10, 10)); // same size keeps the pixels
  EXPECT_EQ(b.PixelData()[0], 0xDEADBEEFu);

  // Shrinking keeps the block; growing within the 25% headroom of a regrown block keeps it too.
  std::uint32_t* before = b.PixelData();
  EXPECT_TRUE(b.SetSize(4, 4));
  EXPECT_EQ(b.PixelData(), before);
  EXPECT_TRUE(b.SetSize(20, 20)); // replaced, now with headroom: 20*20*4 * 1.25 = 2000 bytes
  std::uint32_t* grown = b.PixelData();
  EXPECT_TRUE(b.SetSize(20, 24)); // 1920 bytes fit
  EXPECT_EQ(b.PixelData(), grown);
  EXPECT_EQ(b.Height(), 24);

  // A zero side empties the bitmap.
  EXPECT_TRUE(b.SetSize(0, 10));
  EXPECT_EQ(b.PixelData(), nullptr);
  EXPECT_EQ(b.Width(), 0);
  EXPECT_EQ(b.Height(), 0);
}

TEST(MemBitmap, RefusesNegativeAndHugeSizes)
{
  Gfx_MemBitmap b(4, 4);
  std::uint32_t* p = b.PixelData();
  EXPECT_FALSE(b.SetSize(-1, 4));
  EXPECT_FALSE(b.SetSize(4, -8));
  EXPECT_FALSE(b.SetSize(16385, 1));
  EXPECT_FALSE(b.SetSize(1, 16385));
  EXPECT_FALSE(b.SetSize(0x7FFFFFFF, 0x7FFFFFFF)); // would overflow 32-bit byte counts
  EXPECT_EQ(b.Width(), 4);
  EXPECT_EQ(b.Height(), 4);
  EXPECT_EQ(b.PixelData(), p);

  Gfx_MemBitmap refused(-5, 10);
  EXPECT_EQ(refused.PixelData(), nullptr);
  EXPECT_EQ(refused.Width(), 0);

  EXPECT_TRUE(b.SetSize(16384, 1)); // the bound itself is accepted
  EXPECT_EQ(b.Width(), 16384);
}

TEST(SysBitmap, KeepsStorageWhileTheSizeFits)
{
  Gfx_SysBitmap b(100, 100);
  ASSERT_NE(b.PixelData(), nullptr);
  EXPECT_EQ(b.RowSpan(), 100);
  std::uint32_t* p = b.PixelData();
  EXPECT_TRUE(b.SetSize(50, 50));
  EXPECT_EQ(b.Width(), 50);
  EXPECT_EQ(b.RowSpan(), 100);
  EXPECT_EQ(b.PixelData(), p);
  EXPECT_FALSE(b.SetSize(50, 50));

  EXPECT_TRUE(b.SetSize(101, 10)); // wider than the storage: replaced
  EXPECT_EQ(b.RowSpan(), 104);
  EXPECT_EQ(b.Width(), 101);

  EXPECT_FALSE(b.SetSize(0, 10)); // no pixels at all
  EXPECT_EQ(b.PixelData(), nullptr);
  EXPECT_EQ(b.Width(), 0);
  EXPECT_EQ(b.Height(), 0);

  EXPECT_TRUE(b.SetSize(3, 2));
  EXPECT_EQ(b.RowSpan(), 4);
  EXPECT_FALSE(b.SetSize(-3, 2));
  EXPECT_FALSE(b.SetSize(3, 20000));
  EXPECT_EQ(b.Width(), 3);
  EXPECT_EQ(b.Height(), 2);
}
