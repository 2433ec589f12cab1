#include <gtest/gtest.h>

#include <cstdint>
#include <random>

#include "gfx/Gfx_Blend.h"
#include "gfx/Gfx_Blit.h"
#include "tests/gfx/GfxTestBitmaps.h"

namespace
{
int Ch(std::uint32_t p, int n)
{
  return int((p >> (8 * n)) & 0xFF);
}
int Cl(int x)
{
  return x < 0 ? 0 : x > 255 ? 255 : x;
}
std::uint32_t Px(int b, int g, int r, int a)
{
  return std::uint32_t(b & 0xFF) | std::uint32_t(g & 0xFF) << 8 | std::uint32_t(r & 0xFF) << 16 |
         std::uint32_t(a & 0xFF) << 24;
}

// The blend formulas, channel by channel, written out for the tests.
int Formula(int m, int d, int s, int ia)
{
  switch (m)
  {
  case 0:
    return (s + (d - s) * (256 - ia) / 256) & 0xFF;
  case 1:
    return Cl(d + s * ia / 256);
  case 2:
  {
    const int q = 256 - s * ia / 256;
    return Cl(q > 1 ? d * 256 / q : d * 256);
  }
  case 3:
    return ((s - 256) * ia + 65536) * d / 65536;
  case 4:
  {
    const int c = s * ia + (256 - ia) * 128;
    return Cl(((32768 - c) * d / 256 + c) * d / 32768);
  }
  }
  return -1;
}

std::uint32_t BlitOne(std::uint32_t d, std::uint32_t s, float alpha, int mode)
{
  Gfx_MemBitmap dst = Filled(1, 1, d), src = Filled(1, 1, s);
  Gfx_BlitBitmap(&dst, &src, 0, 0, nullptr, alpha, mode);
  return At(dst, 0, 0);
}

std::uint32_t FillOne(std::uint32_t d, std::uint32_t colour, float alpha, int mode)
{
  Gfx_MemBitmap dst = Filled(1, 1, d);
  Gfx_FillArea(&dst, 0, 0, 1, 1, colour, alpha, mode);
  return At(dst, 0, 0);
}

const std::uint32_t kDests[] = {0x80C04020u, 0x00000000u, 0xFFFFFFFFu, 0x7F01FE33u};
const std::uint32_t kSources[] = {0x40FF1090u, 0xFF000000u, 0x01FFFFFFu, 0x00123456u, 0xFF7F80C8u};
const float kAlphas[] = {1.0f, 0.75f, 0.5f, 0.3f, 0.999f, 0.01f};
} // namespace

TEST(Blend, OpacityRule)
{
  EXPECT_EQ(Gfx_OpacityFromAlpha(1.0f), 256);
  EXPECT_EQ(Gfx_OpacityFromAlpha(0.5f), 128);
  EXPECT_EQ(Gfx_OpacityFromAlpha(0.999f), 255);
  EXPECT_EQ(Gfx_OpacityFromAlpha(0.003f), 0);
  EXPECT_EQ(Gfx_OpacityFromAlpha(-1.0f), 0);
  EXPECT_EQ(Gfx_OpacityFromAlpha(7.0f), 256);
  EXPECT_EQ(HSVReciprocalTable[0], 0);
  EXPECT_EQ(HSVReciprocalTable[1], 65535);
  EXPECT_EQ(HSVReciprocalTable[2], 32767);
  EXPECT_EQ(HSVReciprocalTable[255], 256);
}

TEST(Blit, PlainModesFollowTheFormulasOnEveryChannel)
{
  for (int m = 0; m <= 4; ++m)
    for (std::uint32_t d : kDests)
      for (std::uint32_t s : kSources)
        for (float alpha : kAlphas)
        {
          const int ia = int(double(alpha) * 256.0);
          std::uint32_t want;
          if (m == 0 && alpha == 0.5f)
            want = ((d >> 1) & 0x7F7F7F7F) + ((s >> 1) & 0x7F7F7F7F);
          else if (m == 0 && ia == 256)
            want = s;
          else
            want = Px(Formula(m, Ch(d, 0), Ch(s, 0), ia), Formula(m, Ch(d, 1), Ch(s, 1), ia),
                      Formula(m, Ch(d, 2), Ch(s, 2), ia), Formula(m, Ch(d, 3), Ch(s, 3), ia));
          EXPECT_EQ(BlitOne(d, s, alpha, m), want)
              << std::hex << "mode " << m << " d " << d << " s " << s << " alpha " << alpha;
        }
}

TEST(Blit, ExamplesAndTruncations)
{
  EXPECT_EQ(BlitOne(0xFFFFFFFFu, 0xFFFFFFFFu, 0.5f, BlendCopy), 0xFEFEFEFEu); // both low bits dropped
  // ia 255: 1 + (0 - 1) * 1 / 256 truncates toward zero to 1 (flooring would give 0).
  EXPECT_EQ(BlitOne(0x00000000u, 0x01010101u, 0.999f, BlendCopy), 0x01010101u);
  // ia 128 through the general path (alpha not exactly 0.5): 200 + (100 - 200) * 128 / 256 = 150.
  EXPECT_EQ(BlitOne(0x64646464u, 0xC8C8C8C8u, 0.501f, BlendCopy), 0x96969696u);
  // Dodge with a source channel of 255 at full opacity: q = 1, non-zero channels saturate.
  EXPECT_EQ(BlitOne(0x00010080u, 0xFFFFFFFFu, 1.0f, BlendDodge), 0x00FF00FFu);
  EXPECT_EQ(BlitOne(0x1234ABCDu, 0x55667788u, 0.0f, BlendAdd), 0x1234ABCDu);
  // Undefined low bytes draw nothing, with or without source alpha.
  EXPECT_EQ(BlitOne(0x1234ABCDu, 0x55667788u, 1.0f, 6), 0x1234ABCDu);
  EXPECT_EQ(BlitOne(0x1234ABCDu, 0x55667788u, 1.0f, BlendSourceAlpha | 6), 0x1234ABCDu);
  EXPECT_EQ(BlitOne(0x1234ABCDu, 0x55667788u, 1.0f, 0xEF), 0x1234ABCDu);
  // BlendFiltered and unknown high bits are ignored by the unscaled blit.
  EXPECT_EQ(BlitOne(0x1234ABCDu, 0x55667788u, 1.0f, BlendFiltered | 0x20000), 0x55667788u);
}

TEST(Blit, SourceAlphaModes)
{
  // Copy at full opacity: alpha 0 skipped, 255 copies and makes opaque.
  EXPECT_EQ(BlitOne(0x11223344u, 0x00FFFFFFu, 1.0f, BlendSourceAlpha), 0x11223344u);
  EXPECT_EQ(BlitOne(0x00223344u, 0xFF102030u, 1.0f, BlendSourceAlpha), 0xFF102030u);
  for (std::uint32_t d : kDests)
    for (std::uint32_t s : kSources)
      for (float alpha : kAlphas)
      {
        const int ia = int(double(alpha) * 256.0);
        const int a = Ch(s, 3);
        const int w = (a + 1) * ia / 256;
        auto each = [&](auto f) { return Px(f(0), f(1), f(2), f(3)); };
        std::uint32_t copy, add, dodge, mult;
        if (a == 0)
          copy = d;
        else if (ia == 256)
          copy = a == 255 ? (s | 0xFF000000u)
                          : each(
                                [&](int n) {
                                  return n == 3 ? std::min(Ch(d, 3) + a, 255)
                                                : Ch(s, n) + (Ch(d, n) - Ch(s, n)) * (255 - a) / 256;
                                });
        else
          copy = each(
              [&](int n) {
                return n == 3 ? std::min(Ch(d, 3) + w, 255)
                              : Ch(s, n) + (Ch(d, n) - Ch(s, n)) * (256 - w) / 256;
              });
        add = a == 0
                  ? d
                  : each([&](int n)
                         { return n == 3 ? Cl(Ch(d, 3) + w * a / 256) : Cl(Ch(d, n) + Ch(s, n) * w / 256); });
        dodge = each([&](int n) { return Formula(2, Ch(d, n), Ch(s, n), w); });
        mult = a == 0 ? d : each([&](int n) { return (Ch(s, n) * w + (256 - w) * 256) * Ch(d, n) / 65536; });
        EXPECT_EQ(BlitOne(d, s, alpha, BlendSourceAlpha | BlendCopy), copy) << std::hex << d << " " << s;
        EXPECT_EQ(BlitOne(d, s, alpha, BlendSourceAlpha | BlendAdd), add) << std::hex << d << " " << s;
        EXPECT_EQ(BlitOne(d, s, alpha, BlendSourceAlpha | BlendDodge), dodge) << std::hex << d << " " << s;
        EXPECT_EQ(BlitOne(d, s, alpha, BlendSourceAlpha | BlendMultiply), mult) << std::hex << d << " " << s;

        std::uint32_t overlay = d;
        Gfx_OverlayPixel(&overlay, Ch(s, 2), Ch(s, 1), Ch(s, 0), a, w);
        EXPECT_EQ(overlay, each([&](int n) { return Formula(4, Ch(d, n), Ch(s, n), w); }));
        EXPECT_EQ(BlitOne(d, s, alpha, BlendSourceAlpha | BlendOverlay), overlay);
        EXPECT_EQ(BlitOne(d, s, alpha, BlendSourceAlpha | BlendHSVAdjust),
                  Gfx_HSVAdjusted(d, Ch(s, 2), Ch(s, 1), Ch(s, 0), w, a));
      }
}

TEST(Blend, HSVModel)
{
  // Pure colours convert and come back exactly.
  for (std::uint32_t c : {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0xFFFFFFFFu, 0xFF000000u})
    EXPECT_EQ(Gfx_HSVAdjusted(c, 128, 128, 128, 256, 0xFF), c) << std::hex << c;
  // A neutral source (128 + 64 - 192 = 0 hue shift, 0 saturation and value shift) changes nothing
  // that a plain conversion at opacity 0 would not.
  for (std::uint32_t d : kDests)
    EXPECT_EQ(Gfx_HSVAdjusted(d, 128, 128, 128, 256, 0x40), Gfx_HSVAdjusted(d, 0, 0, 0, 0, 0x40));
  // Red 171 shifts the hue by (171 + 85 - 192) = 64, one sector: red becomes yellow.
  EXPECT_EQ(Gfx_HSVAdjusted(0xFFFF0000u, 171, 128, 128, 256, 0xFF), 0xFFFFFF00u);
  // Red 0 shifts by -192 at full opacity: red wraps to 192 (cyan).
  EXPECT_EQ(Gfx_HSVAdjusted(0xFFFF0000u, 0, 128, 128, 256, 0xFF), 0xFF00FFFFu);
  // Blue 0 at half opacity takes the value down by (0 - 128) * 128 / 128: 255 - 128 = 127.
  EXPECT_EQ(Gfx_HSVAdjusted(0xFFFF0000u, 128, 128, 0, 128, 0xFF), 0xFF7F0000u);
  // Yellow sits at hue 63 (the sector arithmetic truncates), so its green comes back as 251.
  EXPECT_EQ(Gfx_HSVAdjusted(0xFFFFFF00u, 128, 128, 128, 256, 0xFF), 0xFFFFFB00u);
  // Hue of pure magenta-side red (R 255, B 128) counts from 383: 383 + (257 * -128) / 1024 = 351.
  EXPECT_EQ(Gfx_PixelFromHSV(351, 255, 255, 0x12), Gfx_HSVAdjusted(0x00FF0080u, 128, 128, 128, 256, 0x12));
  EXPECT_EQ(Gfx_PixelFromHSV(0, 0, 200, 256) >> 24, 0u); // alpha taken as its low 8 bits
  // Blit mode 5: the result carries the source pixel's alpha.
  EXPECT_EQ(BlitOne(0x00FF0000u, 0x33AB8080u, 1.0f, BlendHSVAdjust), 0x33FFFF00u);

  std::uint32_t p = 0x80402010u;
  Gfx_StoreClampedPixel(&p, 300, -5, 128, 256);
  EXPECT_EQ(p, 0xFFFF0080u);
  p = 0x80402000u;
  Gfx_DodgePixel(&p, 255, 0, 128, 255, 256);
  EXPECT_EQ(p, Px(Formula(2, 0x00, 128, 256), Formula(2, 0x20, 0, 256), Formula(2, 0x40, 255, 256),
                  Formula(2, 0x80, 255, 256)));
}

TEST(Blit, ChannelCopy)
{
  // 0xF3: destination byte 0 (blue) = source byte 3 (alpha), whatever the alpha and other bits.
  EXPECT_EQ(BlitOne(0x11223344u, 0xABCDEF01u, 0.25f, 0xF3), 0x112233ABu);
  EXPECT_EQ(BlitOne(0x11223344u, 0xABCDEF01u, 1.0f, BlendSourceAlpha | 0xF3), 0x112233ABu);
  // 0xFE: byte 3 (alpha) = byte 2 (red).
  EXPECT_EQ(BlitOne(0x11223344u, 0xABCDEF01u, 1.0f, 0xFE), 0xCD223344u);
  // 0xF4: byte 1 (green) = byte 0 (blue).
  EXPECT_EQ(BlitOne(0x11223344u, 0xABCDEF01u, 1.0f, 0xF4), 0x11220144u);
}

TEST(Blit, Clipping)
{
  Gfx_MemBitmap src(10, 2);
  for (int y = 0; y < 2; ++y)
    for (int x = 0; x < 10; ++x)
      src.Row(y)[x] = 0xFF000000u | std::uint32_t(y * 16 + x);

  // A source rectangle with left -5 moves the drawn area 5 right.
  Gfx_MemBitmap dst = Filled(20, 2, 0xEEEEEEEEu);
  Gfx_Rect r{-5, 0, 10, 2};
  Gfx_BlitBitmap(&dst, &src, 0, 0, &r, 1.0f, BlendCopy);
  for (int x = 0; x < 20; ++x)
    EXPECT_EQ(At(dst, x, 1), x < 5 || x >= 15 ? 0xEEEEEEEEu : 0xFF000000u | std::uint32_t(16 + x - 5)) << x;

  // A negative destination position skips source columns and rows.
  dst = Filled(4, 4, 0xEEEEEEEEu);
  Gfx_BlitBitmap(&dst, &src, -3, -1, nullptr, 1.0f, BlendCopy);
  EXPECT_EQ(At(dst, 0, 0), 0xFF000000u | 19u);
  EXPECT_EQ(At(dst, 3, 0), 0xFF000000u | 22u);
  EXPECT_EQ(At(dst, 0, 1), 0xEEEEEEEEu);

  // Right and bottom edges of the destination.
  dst = Filled(4, 4, 0xEEEEEEEEu);
  Gfx_BlitBitmap(&dst, &src, 2, 3, nullptr, 0.75f, BlendAdd);
  EXPECT_EQ(At(dst, 1, 3), 0xEEEEEEEEu);
  EXPECT_EQ(At(dst, 2, 3), Px(Cl(0xEE + 0 * 192 / 256), 0xEE, 0xEE, 0xFF));
  EXPECT_EQ(At(dst, 3, 2), 0xEEEEEEEEu);

  // A rectangle beyond the source, a blit outside the destination, alpha 0: nothing.
  Gfx_MemBitmap before = Filled(4, 4, 0xEEEEEEEEu);
  dst = Filled(4, 4, 0xEEEEEEEEu);
  Gfx_Rect outside{10, 0, 20, 2};
  Gfx_BlitBitmap(&dst, &src, 0, 0, &outside, 1.0f, BlendCopy);
  Gfx_BlitBitmap(&dst, &src, 4, 0, nullptr, 1.0f, BlendCopy);
  Gfx_BlitBitmap(&dst, &src, -10, 0, nullptr, 1.0f, BlendCopy);
  Gfx_BlitBitmap(&dst, &src, 0, 0, nullptr, 0.0f, BlendCopy);
  Gfx_BlitBitmap(&dst, nullptr, 0, 0, nullptr, 1.0f, BlendCopy);
  Gfx_BlitBitmap(&dst, &src, 0x7FFFFFFF, 0x7FFFFFFF, nullptr, 1.0f, BlendCopy);
  Gfx_Rect extreme{-0x7FFFFFFF, 0, 0x7FFFFFFF, 2};
  Gfx_BlitBitmap(&dst, &src, 0x7FFFFFF0, 0, &extreme, 1.0f, BlendCopy);
  Gfx_MemBitmap empty;
  Gfx_BlitBitmap(&dst, &empty, 0, 0, nullptr, 1.0f, BlendCopy);
  Gfx_BlitBitmap(&empty, &src, 0, 0, nullptr, 1.0f, BlendCopy);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 4; ++x)
      EXPECT_EQ(At(dst, x, y), 0xEEEEEEEEu);
}

TEST(Blit, HonoursBottomUpBitmaps)
{
  Gfx_MemBitmap src(2, 2);
  src.Row(0)[0] = 1, src.Row(0)[1] = 2, src.Row(1)[0] = 3, src.Row(1)[1] = 4;
  BottomUpBitmap dst(2, 3, 0);
  Gfx_BlitBitmap(&dst, &src, 0, 0, nullptr, 1.0f, BlendCopy);
  EXPECT_EQ(dst.Memory(0, 2), 1u); // logical row 0 is the last memory row
  EXPECT_EQ(dst.Memory(1, 1), 4u);
  EXPECT_EQ(dst.Memory(0, 0), 0u);

  Gfx_FillArea(&dst, 0, 0, 2, 1, 0xFFABCDEFu, 1.0f, BlendCopy);
  EXPECT_EQ(dst.Memory(1, 2), 0xFFABCDEFu);
  EXPECT_EQ(dst.Memory(1, 1), 4u);

  Gfx_MemBitmap back = Filled(2, 3, 0);
  Gfx_BlitBitmap(&back, &dst, 0, 0, nullptr, 1.0f, BlendCopy);
  EXPECT_EQ(At(back, 0, 0), 0xFFABCDEFu);
  EXPECT_EQ(At(back, 0, 1), 3u);
}

TEST(Fill, ModesFollowTheFormulas)
{
  // Source values: the colour's B, G, R, and the opacity itself for the alpha channel.
  const std::uint32_t colours[] = {0x40FF1090u, 0xFF000000u, 0x80C8C8C8u};
  for (int m = 0; m <= 4; ++m)
    for (std::uint32_t d : kDests)
      for (std::uint32_t c : colours)
        for (float alpha : {0.7f, 0.3f, 0.999f, 0.1f}) // not the word shortcuts of the copy
        {
          const int ia = int(double(alpha) * 256.0);
          const std::uint32_t want =
              Px(Formula(m, Ch(d, 0), Ch(c, 0), ia), Formula(m, Ch(d, 1), Ch(c, 1), ia),
                 Formula(m, Ch(d, 2), Ch(c, 2), ia), Formula(m, Ch(d, 3), ia, ia));
          EXPECT_EQ(FillOne(d, c, alpha, m), want) << std::hex << "mode " << m << " d " << d << " c " << c;
        }
  // Whole-word shortcuts of the copy at 256, 128, 64 and 192.
  const std::uint32_t d = 0x80C04021u, c = 0x40FF1093u;
  EXPECT_EQ(FillOne(d, c, 1.0f, BlendCopy), c);
  EXPECT_EQ(FillOne(d, c, 0.5f, BlendCopy), ((d >> 1) & 0x7F7F7F7Fu) + ((c >> 1) & 0x7F7F7F7Fu));
  EXPECT_EQ(FillOne(d, c, 0.25f, BlendCopy),
            ((d >> 1) & 0x7F7F7F7Fu) + ((d >> 2) & 0x3F3F3F3Fu) + ((c >> 2) & 0x3F3F3F3Fu));
  EXPECT_EQ(FillOne(d, c, 0.75f, BlendCopy),
            ((d >> 2) & 0x3F3F3F3Fu) + ((c >> 2) & 0x3F3F3F3Fu) + ((c >> 1) & 0x7F7F7F7Fu));
  // Colour alpha 0x80 with BlendSourceAlpha at 1.0: ia 128, the averaging path, alpha bytes too.
  EXPECT_EQ(FillOne(0xFFFFFFFFu, 0x80FFFFFFu, 1.0f, BlendSourceAlpha | BlendCopy), 0xBFFEFEFEu);
  // Colour alpha 0 with BlendSourceAlpha draws nothing; low bytes above 5 draw nothing.
  EXPECT_EQ(FillOne(0x12345678u, 0x00FFFFFFu, 1.0f, BlendSourceAlpha | BlendAdd), 0x12345678u);
  EXPECT_EQ(FillOne(0x12345678u, 0xFFFFFFFFu, 1.0f, 6), 0x12345678u);
  EXPECT_EQ(FillOne(0x12345678u, 0xFFFFFFFFu, 1.0f, 0xF3), 0x12345678u);
}

TEST(Fill, HSVModeWritesOpaqueAlphaAtFullOpacity)
{
  // Neutral colour at full opacity: the pixel keeps its colour and becomes opaque (not alpha 0).
  EXPECT_EQ(FillOne(0x00FF0000u, 0xFF808080u, 1.0f, BlendHSVAdjust), 0xFFFF0000u);
  // Below full opacity the alpha byte is the opacity.
  EXPECT_EQ(FillOne(0x00FF0000u, 0xFF808080u, 0.5f, BlendHSVAdjust), 0x80FF0000u);
  EXPECT_EQ(FillOne(0x00FF0000u, 0xFFAB8080u, 1.0f, BlendHSVAdjust), 0xFFFFFF00u);
}

TEST(Fill, Clipping)
{
  Gfx_MemBitmap dst = Filled(5, 4, 0u);
  Gfx_FillArea(&dst, -2, -1, 4, 3, 0xFF112233u, 1.0f, BlendCopy);
  for (int y = 0; y < 4; ++y)
    for (int x = 0; x < 5; ++x)
      EXPECT_EQ(At(dst, x, y), x < 2 && y < 2 ? 0xFF112233u : 0u) << x << "," << y;
  Gfx_FillArea(&dst, 3, 2, 100, 100, 0xFF445566u, 1.0f, BlendCopy);
  EXPECT_EQ(At(dst, 4, 3), 0xFF445566u);
  EXPECT_EQ(At(dst, 2, 3), 0u);
  // Nothing for empty or outside areas, alpha 0 and null bitmaps.
  Gfx_FillArea(&dst, 5, 0, 3, 3, 0xFFFFFFFFu, 1.0f, BlendCopy);
  Gfx_FillArea(&dst, 0, 0, 0, 3, 0xFFFFFFFFu, 1.0f, BlendCopy);
  Gfx_FillArea(&dst, 0, 0, 3, 3, 0xFFFFFFFFu, 0.0f, BlendCopy);
  Gfx_FillArea(&dst, -0x7FFFFFFF, 0, 0x7FFFFFFF, 1, 0xFFFFFFFFu, 1.0f, BlendCopy);
  Gfx_FillArea(nullptr, 0, 0, 3, 3, 0xFFFFFFFFu, 1.0f, BlendCopy);
  EXPECT_EQ(At(dst, 2, 2), 0u);
  EXPECT_EQ(At(dst, 0, 0), 0xFF112233u);
  Gfx_FillArea(&dst, 0x7FFFFFF0, 0, 0x7FFFFFFF, 1, 0xFFFFFFFFu, 1.0f, BlendCopy);
  EXPECT_EQ(At(dst, 4, 0), 0u);
}

// The row loops are written to vectorise: on rows wider than any vector, at unaligned offsets,
// every pixel must come out as the same operation on that pixel alone.
TEST(Blit, WideRowsMatchSinglePixels)
{
  std::mt19937 rng(11);
  const int w = 67, h = 2;
  Gfx_MemBitmap src(w, h), start(w + 3, h);
  for (int y = 0; y < h; ++y)
  {
    for (int x = 0; x < w; ++x)
      src.Row(y)[x] = x % 5 == 0   ? (rng() & 0x00FFFFFFu)
                      : x % 7 == 0 ? (rng() | 0xFF000000u)
                                   : std::uint32_t(rng());
    for (int x = 0; x < w + 3; ++x)
      start.Row(y)[x] = std::uint32_t(rng());
  }
  const Gfx_Rect from{1, 0, w, h};
  for (int mode : {0, 1, 2, 3, 4, 5, 0x10000, 0x10001, 0x10002, 0x10003, 0x10004, 0x10005, 0xF6})
    for (float alpha : {1.0f, 0.5f, 0.7f, 0.999f})
    {
      Gfx_MemBitmap dst = Filled(w + 3, h, 0);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w + 3; ++x)
          dst.Row(y)[x] = At(start, x, y);
      Gfx_BlitBitmap(&dst, &src, 2, 0, &from, alpha, mode);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w + 3; ++x)
        {
          const bool inside = x >= 2 && x < w + 1;
          const std::uint32_t want =
              inside ? BlitOne(At(start, x, y), At(src, x - 1, y), alpha, mode) : At(start, x, y);
          ASSERT_EQ(At(dst, x, y), want)
              << std::hex << "mode " << mode << std::dec << " alpha " << alpha << " at " << x << "," << y;
        }
    }

  for (int mode : {0, 1, 2, 3, 4, 5})
    for (float alpha : {1.0f, 0.5f, 0.25f, 0.75f, 0.3f})
    {
      Gfx_MemBitmap dst = Filled(w + 3, h, 0);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w + 3; ++x)
          dst.Row(y)[x] = At(start, x, y);
      Gfx_FillArea(&dst, 1, 0, w, h, 0xC0806040u, alpha, mode);
      for (int y = 0; y < h; ++y)
        for (int x = 0; x < w + 3; ++x)
        {
          const bool inside = x >= 1 && x < w + 1;
          const std::uint32_t want =
              inside ? FillOne(At(start, x, y), 0xC0806040u, alpha, mode) : At(start, x, y);
          ASSERT_EQ(At(dst, x, y), want)
              << "fill mode " << mode << " alpha " << alpha << " at " << x << "," << y;
        }
    }
}
