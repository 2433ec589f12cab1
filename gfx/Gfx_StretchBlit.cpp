#include "gfx/Gfx_StretchBlit.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "gfx/Gfx_Blend.h"
#include "gfx/Gfx_BlendChannel.h"
#include "gfx/Gfx_Blit.h"
#include "gfx/Gfx_IBitmap.h"

namespace
{
// Destination area and 16.16 source walk after clipping.
struct StretchJob
{
  Gfx_IBitmap* dest;
  const Gfx_IBitmap* src;
  int x, y, w, h;
  std::int64_t startX, startY, stepX, stepY;
  int lastX, lastY; // source columns from lastX on and rows from lastY on are never read
  int ia;
};

inline int Byte(std::uint32_t p, int n)
{
  return static_cast<int>((p >> (8 * n)) & 0xFF);
}

template <bool Blend> inline void Put(std::uint32_t* d, const std::uint32_t (&c)[4], int ia)
{
  if constexpr (Blend)
  {
    const std::uint32_t old = *d;
    *d = std::uint32_t(Gfx_CrossFadeChannel(Byte(old, 0), int(c[0]), ia)) |
         (std::uint32_t(Gfx_CrossFadeChannel(Byte(old, 1), int(c[1]), ia)) << 8) |
         (std::uint32_t(Gfx_CrossFadeChannel(Byte(old, 2), int(c[2]), ia)) << 16) |
         (std::uint32_t(Gfx_CrossFadeChannel(Byte(old, 3), int(c[3]), ia)) << 24);
  }
  else
    *d = c[0] | (c[1] << 8) | (c[2] << 16) | (c[3] << 24);
}

template <bool Blend> void Bilinear(const StretchJob& j)
{
  for (int row = 0; row < j.h; ++row)
  {
    const std::int64_t sy = j.startY + row * j.stepY;
    const std::int64_t iy = sy >> 16;
    if (iy < 0 || iy > j.lastY - 1) continue;
    const std::uint32_t fy = static_cast<std::uint32_t>(sy & 0xFFFF);
    const std::uint32_t* r0 = j.src->Row(static_cast<int>(iy));
    const bool lastRow = iy == j.lastY - 1;
    const std::uint32_t* r1 = lastRow ? r0 : j.src->Row(static_cast<int>(iy + 1));
    std::uint32_t* d = j.dest->Row(j.y + row) + j.x;
    for (int col = 0; col < j.w; ++col)
    {
      const std::int64_t sx = j.startX + col * j.stepX;
      const std::int64_t ix = sx >> 16;
      if (ix < 0 || ix > j.lastX - 1) continue;
      const std::uint32_t fx = static_cast<std::uint32_t>(sx & 0xFFFF);
      const bool lastCol = ix == j.lastX - 1;
      std::uint32_t c[4];
      const std::uint32_t p00 = r0[ix];
      if (!lastRow && !lastCol)
      {
        const std::uint32_t w11 = (fx * fy) >> 16;
        const std::uint32_t w00 = 65536 - fx - fy + w11, w01 = fx - w11, w10 = fy - w11;
        const std::uint32_t p01 = r0[ix + 1], p10 = r1[ix], p11 = r1[ix + 1];
        for (int n = 0; n < 4; ++n)
          c[n] = (w00 * Byte(p00, n) + w01 * Byte(p01, n) + w10 * Byte(p10, n) + w11 * Byte(p11, n)) >> 16;
      }
      else if (!lastRow) // last sampled column: vertical interpolation only
      {
        const std::uint32_t p10 = r1[ix];
        for (int n = 0; n < 4; ++n)
          c[n] = ((65536 - fy) * Byte(p00, n) + fy * Byte(p10, n)) >> 16;
      }
      else if (!lastCol) // last sampled row: horizontal interpolation only
      {
        const std::uint32_t p01 = r0[ix + 1];
        for (int n = 0; n < 4; ++n)
          c[n] = ((65536 - fx) * Byte(p00, n) + fx * Byte(p01, n)) >> 16;
      }
      else
      {
        for (int n = 0; n < 4; ++n)
          c[n] = Byte(p00, n);
      }
      Put<Blend>(d + col, c, j.ia);
    }
  }
}

template <bool Blend> void Box(const StretchJob& j, int k, const std::uint32_t (&weights)[5][5])
{
  const int half = k / 2;
  for (int row = 0; row < j.h; ++row)
  {
    const std::int64_t iy = (j.startY + row * j.stepY) >> 16;
    if (iy < 0 || iy > j.lastY - 1) continue;
    std::uint32_t* d = j.dest->Row(j.y + row) + j.x;
    for (int col = 0; col < j.w; ++col)
    {
      const std::int64_t ix = (j.startX + col * j.stepX) >> 16;
      if (ix < 0 || ix > j.lastX - 1) continue;
      std::uint32_t sum[4] = {0, 0, 0, 0}, total = 0;
      for (int a = 0; a < k; ++a)
      {
        const std::int64_t ty = iy + a - half;
        if (ty < 0 || ty > j.lastY - 1) continue;
        const std::uint32_t* sr = j.src->Row(static_cast<int>(ty));
        for (int b = 0; b < k; ++b)
        {
          const std::int64_t tx = ix + b - half;
          if (tx < 0 || tx > j.lastX - 1) continue;
          const std::uint32_t p = sr[tx], wgt = weights[a][b];
          for (int n = 0; n < 4; ++n)
            sum[n] += wgt * Byte(p, n);
          total += wgt;
        }
      }
      if (total == 0) continue;
      const std::uint32_t c[4] = {sum[0] / total, sum[1] / total, sum[2] / total, sum[3] / total};
      Put<Blend>(d + col, c, j.ia);
    }
  }
}

void RunBox(const StretchJob& j)
{
  const std::int64_t larger = std::max(std::abs(j.stepX), std::abs(j.stepY));
  const int k = larger <= 0x30000 ? 3 : 5;
  std::uint32_t weights[5][5] = {};
  for (int a = 0; a < k; ++a)
    for (int b = 0; b < k; ++b)
    {
      const int da = a - k / 2, db = b - k / 2;
      if (da == 0 && db == 0)
      {
        weights[a][b] = 65536;
        continue;
      }
      const double v = (double(larger) - 1.0) / std::sqrt(double(da * da + db * db));
      weights[a][b] = v > 1.0 ? 65536 : (v < 0.0 ? 0 : static_cast<std::uint32_t>(v * 65536.0));
    }
  if (j.ia == 256)
    Box<false>(j, k, weights);
  else
    Box<true>(j, k, weights);
}

// Limits a positive 16.16 walk to the source: drops leading samples before 0 and trailing samples
// past the last source column. Answers false when nothing is left.
bool ClipWalk(std::int64_t& pos, std::int64_t& start, std::int64_t step, std::int64_t& count, int sourceSize)
{
  if (step <= 0) return count > 0;
  if (start < 0)
  {
    const std::int64_t n = (step - start - 1) / step;
    pos += n;
    count -= n;
    start += n * step;
  }
  if (count > 0 && (((count - 1) * step + start) >> 16) >= sourceSize)
  {
    // Keep every sample whose whole part is still a source column.
    const std::int64_t room = std::int64_t(sourceSize) * 65536 - 1 - start;
    count = room < 0 ? 0 : room / step + 1;
  }
  return count > 0;
}

bool Fits16(double v)
{
  return std::isfinite(v) && std::fabs(v) < 1e12;
}
} // namespace

void Gfx_StretchBlit(Gfx_IBitmap* dest, const Gfx_IBitmap* src, int x, int y, int w, int h, float sx,
                     float sy, float sw, float sh, float alpha)
{
  if (!dest || !src || w == 0 || h == 0 || alpha == 0.0f) return;
  if (!Fits16(sx) || !Fits16(sy) || !Fits16(sw) || !Fits16(sh)) return;

  // Unscaled and pixel-aligned: the plain blit does it exactly.
  const double rx = std::floor(double(sx) + 0.5), ry = std::floor(double(sy) + 0.5);
  if (w > 0 && h > 0 && std::fabs(double(sw) - w) < 0.001 && std::fabs(double(sh) - h) < 0.001 &&
      std::fabs(double(sx) - rx) < 0.03 && std::fabs(double(sy) - ry) < 0.03 && std::fabs(rx) < 1e9 &&
      std::fabs(ry) < 1e9)
  {
    // The far edge may pass the int range; the blit clips it to the source anyway.
    const auto edge = [](double start, int size) { return int(std::min(start + size, 2147483647.0)); };
    const Gfx_Rect r{int(rx), int(ry), edge(rx, w), edge(ry, h)};
    Gfx_BlitBitmap(dest, src, x, y, &r, alpha, BlendFiltered);
    return;
  }

  // Source columns and rows at or past the source rectangle's far edge are never read.
  const double edgeX = std::min<double>(src->Width(), std::max(double(sw), 0.0) + sx + 0.999999);
  const double edgeY = std::min<double>(src->Height(), std::max(double(sh), 0.0) + sy + 0.999999);
  if (edgeX < 1.0 || edgeY < 1.0) return;

  std::int64_t dx = x, dy = y, dw = w, dh = h;
  double fx = sx, fy = sy;
  const bool mirrorX = dw < 0, mirrorY = dh < 0;
  if (mirrorX) dw = -dw, dx -= dw;
  if (mirrorY) dh = -dh, dy -= dh;
  const float stepX = (mirrorX ? -sw : sw) / float(dw);
  const float stepY = (mirrorY ? -sh : sh) / float(dh);
  // A mirrored walk starts one step inside the far edge, so it visits the same sample positions
  // as the unmirrored one in reverse order.
  if (mirrorX) fx += double(sw) + stepX;
  if (mirrorY) fy += double(sh) + stepY;

  if (dx < 0) dw += dx, fx -= double(dx) * stepX, dx = 0;
  if (dy < 0) dh += dy, fy -= double(dy) * stepY, dy = 0;
  dw = std::min<std::int64_t>(dw, dest->Width() - dx);
  dh = std::min<std::int64_t>(dh, dest->Height() - dy);
  if (dw <= 0 || dh <= 0) return;

  StretchJob j;
  j.startX = static_cast<std::int64_t>(fx * 65536.0);
  j.startY = static_cast<std::int64_t>(fy * 65536.0);
  j.stepX = static_cast<std::int64_t>(double(stepX) * 65536.0);
  j.stepY = static_cast<std::int64_t>(double(stepY) * 65536.0);
  if (!ClipWalk(dx, j.startX, j.stepX, dw, src->Width()) ||
      !ClipWalk(dy, j.startY, j.stepY, dh, src->Height()))
    return;
  if (!dest->PixelData() || !src->PixelData()) return;

  j.dest = dest;
  j.src = src;
  j.x = int(dx), j.y = int(dy), j.w = int(dw), j.h = int(dh);
  j.lastX = int(edgeX);
  j.lastY = int(edgeY);
  j.ia = Gfx_OpacityFromAlpha(alpha);
  if (j.ia <= 0) return;

  if (std::fabs(stepX) >= 1.7f && std::fabs(stepY) >= 1.7f)
    RunBox(j);
  else if (j.ia == 256)
    Bilinear<false>(j);
  else
    Bilinear<true>(j);
}
