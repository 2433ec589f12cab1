#include "gfx/Gfx_Blit.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "gfx/Gfx_BlendChannel.h"
#include "gfx/Gfx_BlendRows.h"
#include "gfx/Gfx_IBitmap.h"

// The plain pixel loops are written to vectorise; a release build at -O2 uses GCC's cheapest
// vectoriser cost model, which rejects most of them.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC optimize("tree-vectorize", "vect-cost-model=dynamic")
#endif

namespace
{
// Channel formulas as function objects, so each loop is instantiated with its formula inlined.
struct AddOp
{
  int operator()(int d, int s, int ia) const { return Gfx_AddChannel(d, s, ia); }
};
struct DodgeOp
{
  int operator()(int d, int s, int ia) const { return Gfx_DodgeChannel(d, s, ia); }
};
struct MultiplyOp
{
  int operator()(int d, int s, int ia) const { return Gfx_MultiplyChannel(d, s, ia); }
};
struct OverlayOp
{
  int operator()(int d, int s, int ia) const { return Gfx_OverlayChannel(d, s, ia); }
};

// A clipped blit: w x h pixels from src rows to dest rows.
struct BlitArea
{
  std::uint32_t* dest;
  const std::uint32_t* src;
  std::ptrdiff_t destStride;
  std::ptrdiff_t srcStride;
  int w;
  int h;
};

inline int Byte(std::uint32_t p, int n)
{
  return static_cast<int>((p >> (8 * n)) & 0xFF);
}

// Fetches the start of a row into the cache ahead of its use (for writing when write is set).
inline void PrefetchRowStart(const std::uint32_t* row, std::size_t bytes, bool write)
{
#if defined(__GNUC__) || defined(__clang__)
  const char* p = reinterpret_cast<const char*>(row);
  for (std::size_t offset = 0; offset < bytes; offset += 64)
  {
    if (write)
      __builtin_prefetch(p + offset, 1);
    else
      __builtin_prefetch(p + offset, 0);
  }
#else
  (void)row;
  (void)bytes;
  (void)write;
#endif
}

// Runs op(destRow, srcRow) for every row.
template <class RowOp> void ForRows(const BlitArea& a, RowOp op)
{
  // The rows of a bitmap the window's width lie a page or more apart, where the processor's own
  // prefetching does not follow: the start of a row a few ahead (all of a knob's row) is fetched
  // while this one is drawn. Within a wide row the processor streams on its own.
  constexpr int kAhead = 8;
  const std::size_t ahead = std::min<std::size_t>(std::size_t(a.w) * 4, 256);
  std::uint32_t* d = a.dest;
  const std::uint32_t* s = a.src;
  for (int y = 0; y < kAhead && y < a.h; ++y)
  {
    PrefetchRowStart(s + std::ptrdiff_t(y) * a.srcStride, ahead, false);
    PrefetchRowStart(d + std::ptrdiff_t(y) * a.destStride, ahead, true);
  }
  for (int y = 0; y < a.h; ++y, d += a.destStride, s += a.srcStride)
  {
    if (y + kAhead < a.h)
    {
      PrefetchRowStart(s + std::ptrdiff_t(kAhead) * a.srcStride, ahead, false);
      PrefetchRowStart(d + std::ptrdiff_t(kAhead) * a.destStride, ahead, true);
    }
    op(d, s);
  }
}

// The same channel formula on all four bytes of each pixel, with the source's own bytes as
// source values: a plain byte loop the compiler vectorises.
template <class ChannelOp> void BlitBytewise(const BlitArea& a, int ia, ChannelOp op)
{
  const int n = a.w * 4;
  ForRows(a,
          [&](std::uint32_t* drow, const std::uint32_t* srow)
          {
            auto* __restrict d = reinterpret_cast<std::uint8_t*>(drow);
            const auto* __restrict s = reinterpret_cast<const std::uint8_t*>(srow);
            for (int i = 0; i < n; ++i)
              d[i] = static_cast<std::uint8_t>(op(d[i], s[i], ia));
          });
}

// op(dest pixel, source pixel) -> new dest pixel, for every pixel.
template <class PixelOp> void BlitPixelwise(const BlitArea& a, PixelOp op)
{
  const int w = a.w;
  ForRows(a,
          [&](std::uint32_t* __restrict d, const std::uint32_t* __restrict s)
          {
            for (int i = 0; i < w; ++i)
              d[i] = op(d[i], s[i]);
          });
}

// Source alpha a scaled by the opacity: (a + 1) * ia / 256.
inline int WeightedAlpha(int a, int ia)
{
  return (a + 1) * ia / 256;
}

void BlitDispatch(const BlitArea& area, int m, int ia)
{
  switch (m)
  {
  case BlendCopy:
    if (ia == 256)
      ForRows(area, [w = area.w](std::uint32_t* d, const std::uint32_t* s)
              { std::memmove(d, s, std::size_t(w) * 4); });
    else
      ForRows(area,
              [w = area.w, ia, &rows = Gfx_BlendRows()](std::uint32_t* d, const std::uint32_t* s) {
                rows.crossFade(reinterpret_cast<std::uint8_t*>(d), reinterpret_cast<const std::uint8_t*>(s),
                               w * 4, ia);
              });
    break;
  case BlendAdd:
    ForRows(area,
            [w = area.w, ia, &rows = Gfx_BlendRows()](std::uint32_t* d, const std::uint32_t* s) {
              rows.add(reinterpret_cast<std::uint8_t*>(d), reinterpret_cast<const std::uint8_t*>(s), w * 4,
                       ia);
            });
    break;
  case BlendDodge:
    ForRows(area,
            [w = area.w, ia, &rows = Gfx_BlendRows()](std::uint32_t* d, const std::uint32_t* s) {
              rows.dodge(reinterpret_cast<std::uint8_t*>(d), reinterpret_cast<const std::uint8_t*>(s), w * 4,
                         ia);
            });
    break;
  case BlendMultiply:
    ForRows(area,
            [w = area.w, ia, &rows = Gfx_BlendRows()](std::uint32_t* d, const std::uint32_t* s) {
              rows.multiply(reinterpret_cast<std::uint8_t*>(d), reinterpret_cast<const std::uint8_t*>(s),
                            w * 4, ia);
            });
    break;
  case BlendOverlay:
    ForRows(area,
            [w = area.w, ia, &rows = Gfx_BlendRows()](std::uint32_t* d, const std::uint32_t* s) {
              rows.overlay(reinterpret_cast<std::uint8_t*>(d), reinterpret_cast<const std::uint8_t*>(s),
                           w * 4, ia);
            });
    break;
  case BlendHSVAdjust:
    BlitPixelwise(area, [ia](std::uint32_t d, std::uint32_t s)
                  { return Gfx_HSVAdjusted(d, Byte(s, 2), Byte(s, 1), Byte(s, 0), ia, Byte(s, 3)); });
    break;
  case BlendSourceAlpha | BlendCopy:
    ForRows(area, [w = area.w, ia, &rows = Gfx_BlendRows()](std::uint32_t* d, const std::uint32_t* s)
            { rows.sourceAlphaCopy(d, s, w, ia); });
    break;
  case BlendSourceAlpha | BlendAdd:
    ForRows(area, [w = area.w, ia, &rows = Gfx_BlendRows()](std::uint32_t* d, const std::uint32_t* s)
            { rows.sourceAlphaAdd(d, s, w, ia); });
    break;
  case BlendSourceAlpha | BlendDodge:
    ForRows(area, [w = area.w, ia, &rows = Gfx_BlendRows()](std::uint32_t* d, const std::uint32_t* s)
            { rows.sourceAlphaDodge(d, s, w, ia); });
    break;
  case BlendSourceAlpha | BlendMultiply:
    ForRows(area, [w = area.w, ia, &rows = Gfx_BlendRows()](std::uint32_t* d, const std::uint32_t* s)
            { rows.sourceAlphaMultiply(d, s, w, ia); });
    break;
  case BlendSourceAlpha | BlendOverlay:
    ForRows(area, [w = area.w, ia, &rows = Gfx_BlendRows()](std::uint32_t* d, const std::uint32_t* s)
            { rows.sourceAlphaOverlay(d, s, w, ia); });
    break;
  case BlendSourceAlpha | BlendHSVAdjust:
    BlitPixelwise(area,
                  [ia](std::uint32_t d, std::uint32_t s)
                  {
                    const int a = Byte(s, 3);
                    return Gfx_HSVAdjusted(d, Byte(s, 2), Byte(s, 1), Byte(s, 0), WeightedAlpha(a, ia), a);
                  });
    break;
  default: // low bytes 6..0xEF draw nothing
    break;
  }
}
} // namespace

void Gfx_BlitBitmap(Gfx_IBitmap* dest, const Gfx_IBitmap* src, int x, int y, const Gfx_Rect* srcRect,
                    float alpha, int mode)
{
  if (!dest || !src || alpha == 0.0f) return;

  // Clip in 64-bit so extreme positions cannot overflow.
  std::int64_t l = 0, t = 0, r = src->Width(), b = src->Height();
  std::int64_t dx = x, dy = y;
  if (srcRect)
  {
    l = srcRect->left, t = srcRect->top;
    r = std::min<std::int64_t>(srcRect->right, src->Width());
    b = std::min<std::int64_t>(srcRect->bottom, src->Height());
    if (l < 0) dx -= l, l = 0;
    if (t < 0) dy -= t, t = 0;
  }
  if (dx < 0) l -= dx, dx = 0;
  if (dy < 0) t -= dy, dy = 0;
  if (r - l + dx > dest->Width()) r = dest->Width() + l - dx;
  if (b - t + dy > dest->Height()) b = dest->Height() + t - dy;
  if (r <= l || b <= t || !dest->PixelData() || !src->PixelData()) return;

  BlitArea area;
  area.w = static_cast<int>(r - l);
  area.h = static_cast<int>(b - t);
  area.dest = dest->Row(static_cast<int>(dy)) + dx;
  area.src = src->Row(static_cast<int>(t)) + l;
  area.destStride = dest->RowStride();
  area.srcStride = src->RowStride();

  const int low = mode & 0xFF;
  if (low >= BlendChannelCopy)
  {
    const int toShift = 8 * ((mode >> 2) & 3), fromShift = 8 * (mode & 3);
    const std::uint32_t keep = ~(0xFFu << toShift);
    BlitPixelwise(area, [=](std::uint32_t d, std::uint32_t s)
                  { return (d & keep) | (((s >> fromShift) & 0xFFu) << toShift); });
    return;
  }

  const int m = mode & (BlendSourceAlpha | 0xFF);
  if (m == BlendCopy && alpha == 0.5f)
  {
    BlitPixelwise(area, [](std::uint32_t d, std::uint32_t s)
                  { return ((d >> 1) & 0x7F7F7F7Fu) + ((s >> 1) & 0x7F7F7F7Fu); });
    return;
  }
  const int ia = Gfx_OpacityFromAlpha(alpha);
  if (ia == 0) return;
  BlitDispatch(area, m, ia);
}

namespace
{
// The fill's channel loops: source values B, G, R of the colour, and ia itself for alpha.
template <class ChannelOp>
void FillChannels(std::uint32_t* row, std::ptrdiff_t stride, int w, int h, std::uint32_t colour, int ia,
                  ChannelOp op)
{
  const int k0 = Byte(colour, 0), k1 = Byte(colour, 1), k2 = Byte(colour, 2), k3 = ia;
  for (int y = 0; y < h; ++y, row += stride)
  {
    auto* __restrict d = reinterpret_cast<std::uint8_t*>(row);
    for (int i = 0; i < w; ++i, d += 4)
    {
      d[0] = static_cast<std::uint8_t>(op(d[0], k0, ia));
      d[1] = static_cast<std::uint8_t>(op(d[1], k1, ia));
      d[2] = static_cast<std::uint8_t>(op(d[2], k2, ia));
      d[3] = static_cast<std::uint8_t>(op(d[3], k3, ia));
    }
  }
}

// The same through a blit row loop, against a row of source pixels (B, G, R of the colour and ia as
// alpha). Only below full opacity: the alpha source value 256 does not fit a byte.
void FillThroughRows(std::uint32_t* row, std::ptrdiff_t stride, int w, int h, std::uint32_t colour, int ia,
                     void (*rowOp)(std::uint8_t*, const std::uint8_t*, int, int))
{
  constexpr int kChunk = 256;
  std::uint32_t source[kChunk];
  const std::uint32_t pixel = (colour & 0x00FFFFFFu) | (std::uint32_t(ia) << 24);
  for (std::uint32_t& p : source)
    p = pixel;
  for (int y = 0; y < h; ++y, row += stride)
    for (int x = 0; x < w; x += kChunk)
      rowOp(reinterpret_cast<std::uint8_t*>(row + x), reinterpret_cast<const std::uint8_t*>(source),
            4 * std::min(kChunk, w - x), ia);
}

template <class PixelOp> void FillWords(std::uint32_t* row, std::ptrdiff_t stride, int w, int h, PixelOp op)
{
  for (int y = 0; y < h; ++y, row += stride)
  {
    std::uint32_t* __restrict d = row;
    for (int i = 0; i < w; ++i)
      d[i] = op(d[i]);
  }
}
} // namespace

void Gfx_FillArea(Gfx_IBitmap* dest, int x, int y, int w, int h, std::uint32_t colour, float alpha, int mode)
{
  if (!dest) return;
  if (mode & BlendSourceAlpha) alpha *= static_cast<float>(colour >> 24) / 255.0f;

  std::int64_t fx = x, fy = y, fw = w, fh = h;
  if (fx < 0) fw += fx, fx = 0;
  if (fy < 0) fh += fy, fy = 0;
  if (fx + fw > dest->Width()) fw = dest->Width() - fx;
  if (fy + fh > dest->Height()) fh = dest->Height() - fy;
  if (alpha == 0.0f || !dest->PixelData() || fw < 1 || fh < 1 || dest->RowSpan() < 1) return;

  std::uint32_t* row = dest->Row(static_cast<int>(fy)) + fx;
  const std::ptrdiff_t stride = dest->RowStride();
  const int cw = static_cast<int>(fw), ch = static_cast<int>(fh);
  const int ia = Gfx_OpacityFromAlpha(alpha);
  const int low = mode & 0xFF;
  const std::uint32_t c = colour;

  if (low == BlendCopy)
  {
    // Whole-word shortcuts for the common opacities: halves and quarters of every byte at once.
    switch (ia)
    {
    case 256:
      FillWords(row, stride, cw, ch, [c](std::uint32_t) { return c; });
      return;
    case 128:
      FillWords(row, stride, cw, ch,
                [c](std::uint32_t d) { return ((d >> 1) & 0x7F7F7F7Fu) + ((c >> 1) & 0x7F7F7F7Fu); });
      return;
    case 64:
      FillWords(row, stride, cw, ch,
                [c](std::uint32_t d)
                { return ((d >> 1) & 0x7F7F7F7Fu) + ((d >> 2) & 0x3F3F3F3Fu) + ((c >> 2) & 0x3F3F3F3Fu); });
      return;
    case 192:
      FillWords(row, stride, cw, ch,
                [c](std::uint32_t d)
                { return ((d >> 2) & 0x3F3F3F3Fu) + ((c >> 2) & 0x3F3F3F3Fu) + ((c >> 1) & 0x7F7F7F7Fu); });
      return;
    default:
      break;
    }
  }
  if (ia == 0) return;

  switch (low)
  {
  case BlendCopy:
  {
    // The alpha byte fades toward the opacity itself (below 256 here: full opacity was a plain fill).
    const std::uint32_t source = (c & 0x00FFFFFFu) | (std::uint32_t(ia) << 24);
    const Gfx_BlendRowKernels& rows = Gfx_BlendRows();
    for (int y = 0; y < ch; ++y, row += stride)
      rows.crossFadeFill(row, cw, source, ia);
    break;
  }
  case BlendAdd:
    if (ia < 256)
      FillThroughRows(row, stride, cw, ch, c, ia, Gfx_BlendRows().add);
    else
      FillChannels(row, stride, cw, ch, c, ia, AddOp());
    break;
  case BlendDodge:
    if (ia < 256)
      FillThroughRows(row, stride, cw, ch, c, ia, Gfx_BlendRows().dodge);
    else
      FillChannels(row, stride, cw, ch, c, ia, DodgeOp());
    break;
  case BlendMultiply:
    if (ia < 256)
      FillThroughRows(row, stride, cw, ch, c, ia, Gfx_BlendRows().multiply);
    else
      FillChannels(row, stride, cw, ch, c, ia, MultiplyOp());
    break;
  case BlendOverlay:
    if (ia < 256)
      FillThroughRows(row, stride, cw, ch, c, ia, Gfx_BlendRows().overlay);
    else
      FillChannels(row, stride, cw, ch, c, ia, OverlayOp());
    break;
  case BlendHSVAdjust:
  {
    // At full opacity the alpha byte is 255: the low 8 bits of 256 would make the fill transparent.
    const int alphaByte = std::min(ia, 255);
    const int r = Byte(c, 2), g = Byte(c, 1), b = Byte(c, 0);
    FillWords(row, stride, cw, ch,
              [=](std::uint32_t d) { return Gfx_HSVAdjusted(d, r, g, b, ia, alphaByte); });
    break;
  }
  default:
    break;
  }
}
