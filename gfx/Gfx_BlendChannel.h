#pragma once

// One channel of the blend formulas: d the destination byte, s the source value, ia the opacity
// on the 0..256 scale. Integer division truncates toward zero; the truncations are part of the
// result. Inline so the row loops of the blit, fill and glyph operations vectorise.

constexpr int Gfx_Clamp255(int x)
{
  return x < 0 ? 0 : (x > 255 ? 255 : x);
}

// s + (d - s) * (256 - ia) / 256, kept as its low 8 bits. Written with the magnitude of d - s so
// the product fits 16 bits (|d - s| * (256 - ia) <= 65280 for ia 1..256) and the loops vectorise
// on 16-bit lanes; the result is the same as the signed division truncating toward zero.
constexpr int Gfx_CrossFadeChannel(int d, int s, int ia)
{
  const auto magnitude = static_cast<unsigned short>(
      static_cast<unsigned short>(static_cast<unsigned short>(d > s ? d - s : s - d) * (256 - ia)) >> 8);
  return static_cast<unsigned char>(d > s ? s + magnitude : s - magnitude);
}

constexpr int Gfx_AddChannel(int d, int s, int ia)
{
  return Gfx_Clamp255(d + s * ia / 256);
}

constexpr int Gfx_DodgeChannel(int d, int s, int ia)
{
  const int q = 256 - s * ia / 256;
  return Gfx_Clamp255(q > 1 ? d * 256 / q : d * 256);
}

// Equal to d * (s * ia + 256 * (256 - ia)) / 65536.
constexpr int Gfx_MultiplyChannel(int d, int s, int ia)
{
  return ((s - 256) * ia + 65536) * d / 65536;
}

constexpr int Gfx_OverlayChannel(int d, int s, int ia)
{
  const int c = s * ia + (256 - ia) * 128;
  return Gfx_Clamp255(((32768 - c) * d / 256 + c) * d / 32768);
}
