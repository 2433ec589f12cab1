#include "gfx/Gfx_Blend.h"

#include "gfx/Gfx_BlendChannel.h"

namespace
{
inline int Channel(std::uint32_t p, int shift)
{
  return static_cast<int>((p >> shift) & 0xFF);
}
} // namespace

int Gfx_OpacityFromAlpha(float alpha)
{
  const double scaled = static_cast<double>(alpha) * 256.0;
  if (!(scaled > 0.0)) return 0; // also NaN
  if (scaled >= 256.0) return 256;
  return static_cast<int>(scaled);
}

std::uint32_t Gfx_PixelFromHSV(int h, int s, int v, int a)
{
  const int p = ((256 - s) * v) / 256;
  auto f = [s, v](int k) { return ((16384 - k * s) * v) / 16384; };
  int r, g, b;
  if (h < 64)
    r = v, g = f(64 - h), b = p;
  else if (h < 128)
    r = f(h - 64), g = v, b = p;
  else if (h < 192)
    r = p, g = v, b = f(192 - h);
  else if (h < 256)
    r = p, g = f(h - 192), b = v;
  else if (h < 320)
    r = f(320 - h), g = p, b = v;
  else
    r = v, g = p, b = f(h - 320);
  return (std::uint32_t(a & 0xFF) << 24) | (std::uint32_t(r & 0xFF) << 16) | (std::uint32_t(g & 0xFF) << 8) |
         std::uint32_t(b & 0xFF);
}

std::uint32_t Gfx_HSVAdjusted(std::uint32_t d, int rs, int gs, int bs, int opacity, int alphaByte)
{
  const int r = Channel(d, 16), g = Channel(d, 8), b = Channel(d, 0);
  int mx, mn, base, t;
  if (g <= r)
  {
    if (r > b)
    {
      mx = r;
      // The red-to-magenta side counts down from 383, not 384.
      if (g >= b)
        mn = b, base = 0;
      else
        mn = g, base = 383;
      t = g - b;
    }
    else
      mx = b, mn = g, base = 256, t = r - g;
  }
  else if (g > b)
    mx = g, mn = b < r ? b : r, base = 128, t = b - r;
  else
    mx = b, mn = r, base = 256, t = r - g;

  const int delta = mx - mn;
  const int sat = (HSVReciprocalTable[mx] * delta) / 256;
  int hue = base + ((HSVReciprocalTable[delta] + 1) * t) / 1024;

  hue += ((rs + rs / 2 - 192) * opacity) / 256;
  if (hue < 0)
    hue += 384;
  else if (hue >= 384)
    hue -= 384;
  const int s2 = Gfx_Clamp255(sat + ((gs - 128) * opacity) / 128);
  const int v2 = Gfx_Clamp255(mx + ((bs - 128) * opacity) / 128);
  return Gfx_PixelFromHSV(hue, s2, v2, alphaByte);
}

void Gfx_StoreClampedPixel(std::uint32_t* pixel, int r, int g, int b, int a)
{
  *pixel = (std::uint32_t(Gfx_Clamp255(a)) << 24) | (std::uint32_t(Gfx_Clamp255(r)) << 16) |
           (std::uint32_t(Gfx_Clamp255(g)) << 8) | std::uint32_t(Gfx_Clamp255(b));
}

void Gfx_DodgePixel(std::uint32_t* pixel, int r, int g, int b, int a, int opacity)
{
  const std::uint32_t d = *pixel;
  Gfx_StoreClampedPixel(
      pixel, Gfx_DodgeChannel(Channel(d, 16), r, opacity), Gfx_DodgeChannel(Channel(d, 8), g, opacity),
      Gfx_DodgeChannel(Channel(d, 0), b, opacity), Gfx_DodgeChannel(Channel(d, 24), a, opacity));
}

void Gfx_OverlayPixel(std::uint32_t* pixel, int r, int g, int b, int a, int opacity)
{
  const std::uint32_t d = *pixel;
  Gfx_StoreClampedPixel(
      pixel, Gfx_OverlayChannel(Channel(d, 16), r, opacity), Gfx_OverlayChannel(Channel(d, 8), g, opacity),
      Gfx_OverlayChannel(Channel(d, 0), b, opacity), Gfx_OverlayChannel(Channel(d, 24), a, opacity));
}

void Gfx_AdjustPixelHSV(std::uint32_t* pixel, int r, int g, int b, int a, int opacity)
{
  *pixel = Gfx_HSVAdjusted(*pixel, r, g, b, opacity, a);
}
