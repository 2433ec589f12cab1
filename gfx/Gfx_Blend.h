#pragma once

#include <array>
#include <cstdint>

// Blend mode word of the blit, fill, scaled blit and glyph operations. The low byte picks the
// combination; BlendSourceAlpha weights it by the source alpha (blit) or the colour's alpha (fill).
enum : int
{
  BlendCopy = 0,           // replace / cross-fade
  BlendAdd = 1,            // add, clamped
  BlendDodge = 2,          // colour dodge
  BlendMultiply = 3,       // multiply
  BlendOverlay = 4,        // overlay
  BlendHSVAdjust = 5,      // shift hue, saturation and value of the destination by the source
  BlendChannelCopy = 0xF0, // 0xF0..0xFF: destination byte (mode >> 2) & 3 = source byte mode & 3
  BlendFiltered = 0x100,   // filtered sampling: meaningful to the scaled blit only
  BlendSourceAlpha = 0x10000,
};

// Opacity on the 0..256 scale the pixel loops use: (int)(alpha * 256) truncated toward zero,
// limited to 0..256 (NaN gives 0).
int Gfx_OpacityFromAlpha(float alpha);

// 256 entries: 0, then floor(65536 / i) - 1 (65535, 32767, ..., 256).
inline constexpr std::array<std::uint16_t, 256> HSVReciprocalTable = []
{
  std::array<std::uint16_t, 256> t{};
  for (int i = 1; i < 256; ++i)
    t[i] = static_cast<std::uint16_t>(65536 / i - 1);
  return t;
}();

// Hue 0..383 (six sectors of 64 from red), saturation and value 0..255; the alpha's low 8 bits
// become the alpha byte.
std::uint32_t Gfx_PixelFromHSV(int hue, int saturation, int value, int alpha);

// The destination pixel d with its hue, saturation and value shifted by the source (r, g, b) at
// opacity (0..256); (128, 128, 128) shifts by nothing. The result carries alphaByte.
std::uint32_t Gfx_HSVAdjusted(std::uint32_t d, int r, int g, int b, int opacity, int alphaByte);

// Per-pixel operations over all four channels with (r, g, b, a) as source values at opacity
// 0..256; results are stored clamped to 0..255.
void Gfx_StoreClampedPixel(std::uint32_t* pixel, int r, int g, int b, int a);
void Gfx_DodgePixel(std::uint32_t* pixel, int r, int g, int b, int a, int opacity);
void Gfx_OverlayPixel(std::uint32_t* pixel, int r, int g, int b, int a, int opacity);
void Gfx_AdjustPixelHSV(std::uint32_t* pixel, int r, int g, int b, int a, int opacity);
