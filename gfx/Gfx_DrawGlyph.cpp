// Drawing one cached glyph: 18 loops, one per blend mode (copy, add, dodge, multiply,
// overlay, HSV) and glyph kind (anti-aliased, mono, effect), so that no inner loop tests a mode.

#include <algorithm>

#include "gfx/Gfx_Blend.h"
#include "gfx/Gfx_CachedFont.h"
#include "gfx/Gfx_IBitmap.h"

namespace
{

enum Kind
{
  kAntialiased,
  kMono,
  kEffect
};

inline int Clamp255(int v)
{
  return v < 0 ? 0 : (v > 255 ? 255 : v);
}

// Source values: the colour's R, G, B and 255 for the alpha channel.
template <int Mode> inline void Combine(std::uint32_t* px, int r, int g, int b, int a)
{
  const std::uint32_t d = *px;
  const int src[4] = {b, g, r, 255};
  if constexpr (Mode == BlendCopy || Mode == BlendAdd || Mode == BlendMultiply)
  {
    std::uint32_t out = 0;
    for (int i = 0; i < 4; ++i)
    {
      const int dc = static_cast<int>((d >> (8 * i)) & 0xFF);
      const int k = src[i];
      int v;
      if constexpr (Mode == BlendCopy)
        v = (k + (dc - k) * (256 - a) / 256) & 0xFF;
      else if constexpr (Mode == BlendAdd)
        v = Clamp255(dc + k * a / 256);
      else
        v = Clamp255(((k - 256) * a + 65536) * dc / 65536);
      out |= static_cast<std::uint32_t>(v) << (8 * i);
    }
    *px = out;
  }
  else if constexpr (Mode == BlendDodge)
  {
    Gfx_DodgePixel(px, r, g, b, 255, a);
  }
  else if constexpr (Mode == BlendOverlay)
  {
    Gfx_OverlayPixel(px, r, g, b, 255, a);
  }
  else
  {
    Gfx_AdjustPixelHSV(px, r, g, b, 255, a);
  }
}

struct GlyphJob
{
  std::uint32_t* row; // first destination pixel
  std::ptrdiff_t stride;
  const std::uint8_t* cov; // first coverage byte
  int covSpan;
  int w;
  int h;
  int ia;
  std::uint32_t text;
  std::uint32_t effect;
};

template <int K, int Mode> void GlyphLoop(const GlyphJob& j)
{
  const int tr = (j.text >> 16) & 0xFF, tg = (j.text >> 8) & 0xFF, tb = j.text & 0xFF;
  const int er = (j.effect >> 16) & 0xFF, eg = (j.effect >> 8) & 0xFF, eb = j.effect & 0xFF;
  std::uint32_t* row = j.row;
  const std::uint8_t* cov = j.cov;
  for (int y = 0; y < j.h; ++y, row += j.stride, cov += j.covSpan)
  {
    for (int x = 0; x < j.w; ++x)
    {
      const int c = cov[x];
      if (c == 0) continue;
      if constexpr (K == kAntialiased)
      {
        const int a = j.ia == 256 ? c + 1 : std::min(c * j.ia / 256, 256);
        Combine<Mode>(row + x, tr, tg, tb, a);
      }
      else if constexpr (K == kMono)
      {
        Combine<Mode>(row + x, tr, tg, tb, j.ia);
      }
      else
      {
        if (c == 255)
          Combine<Mode>(row + x, tr, tg, tb, j.ia);
        else
          Combine<Mode>(row + x, er, eg, eb, j.ia);
      }
    }
  }
}

template <int K> void DispatchMode(int mode, const GlyphJob& j)
{
  switch (mode)
  {
  case BlendCopy:
    GlyphLoop<K, BlendCopy>(j);
    break;
  case BlendAdd:
    GlyphLoop<K, BlendAdd>(j);
    break;
  case BlendDodge:
    GlyphLoop<K, BlendDodge>(j);
    break;
  case BlendMultiply:
    GlyphLoop<K, BlendMultiply>(j);
    break;
  case BlendOverlay:
    GlyphLoop<K, BlendOverlay>(j);
    break;
  case BlendHSVAdjust:
    GlyphLoop<K, BlendHSVAdjust>(j);
    break;
  default:
    break;
  }
}

} // namespace

bool Gfx_CachedFont::DrawGlyph(Gfx_IBitmap* bitmap, std::uint32_t code, int x, int y, const Gfx_Rect& clip)
{
  std::lock_guard<std::mutex> guard(Lock());
  const Gfx_GlyphRecord* g = FindGlyph(code);
  return g && DrawGlyphRecord(bitmap, *g, x, y, clip);
}

bool Gfx_CachedFont::DrawGlyphRecord(Gfx_IBitmap* bitmap, const Gfx_GlyphRecord& g, int x, int y,
                                     const Gfx_Rect& clipIn)
{
  const std::uint8_t* cov = GlyphCoverage(g);
  if (!cov || !bitmap || !bitmap->PixelData()) return false;
  // Never draw outside the bitmap, whatever clip the caller passes.
  const Gfx_Rect clip{std::max(clipIn.left, 0), std::max(clipIn.top, 0),
                      std::min(clipIn.right, bitmap->Width()), std::min(clipIn.bottom, bitmap->Height())};
  int w = g.width, h = g.height;
  if (static_cast<long long>(x) + w <= clip.left || x >= clip.right ||
      static_cast<long long>(y) + h <= clip.top || y >= clip.bottom)
    return false;

  if (x < clip.left)
  {
    cov += clip.left - x;
    w -= clip.left - x;
    x = clip.left;
  }
  if (y < clip.top)
  {
    cov += static_cast<std::ptrdiff_t>(clip.top - y) * g.width;
    h -= clip.top - y;
    y = clip.top;
  }
  w = std::min(w, clip.right - x);
  h = std::min(h, clip.bottom - y);
  if (w <= 0 || h <= 0) return false;

  const int mode = mBlendMode & ~BlendSourceAlpha;
  const float alpha = mAlpha;
  if (mBackMode == 2) Gfx_FillArea(bitmap, x, y, w, h, mBackColour, alpha, mode);

  GlyphJob job{bitmap->Row(y) + x, bitmap->RowStride(), cov, g.width, w, h, 0, mTextColour, mEffectColour};
  const bool mono = (mFlags & FontMono) != 0;
  const bool effect = !mono && (mFlags & (FontShadow | FontOutline)) != 0;

  if ((mono || effect) && alpha == 1.0f && mode == BlendCopy)
  {
    // Hard-edged glyphs at full opacity: store whole colour words.
    std::uint32_t* row = job.row;
    for (int r = 0; r < h; ++r, row += job.stride, cov += g.width)
      for (int c = 0; c < w; ++c)
      {
        const std::uint8_t v = cov[c];
        if (v) row[c] = (effect && v < 255) ? mEffectColour : mTextColour;
      }
    return true;
  }

  job.ia = Gfx_OpacityFromAlpha(alpha);
  if (job.ia <= 0 || (mode & 0xFF) > BlendHSVAdjust) return true;
  const int m = mode & 0xFF;
  if (mono)
    DispatchMode<kMono>(m, job);
  else if (effect)
    DispatchMode<kEffect>(m, job);
  else
    DispatchMode<kAntialiased>(m, job);
  return true;
}
