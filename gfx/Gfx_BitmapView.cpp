#include "gfx/Gfx_BitmapView.h"

#include <algorithm>
#include <cstdint>

Gfx_BitmapView::Gfx_BitmapView(Gfx_IBitmap* bitmap, int x, int y, int w, int h)
{
  if (!bitmap || !bitmap->PixelData()) return;
  const std::int64_t l = std::max<std::int64_t>(x, 0), t = std::max<std::int64_t>(y, 0);
  const std::int64_t r = std::min<std::int64_t>(std::int64_t(x) + w, bitmap->Width());
  const std::int64_t b = std::min<std::int64_t>(std::int64_t(y) + h, bitmap->Height());
  left_ = int(l);
  top_ = int(t);
  if (r <= l || b <= t) return;
  width_ = int(r - l);
  height_ = int(b - t);
  span_ = bitmap->RowSpan();
  bottomUp_ = bitmap->IsBottomUp();
  // PixelData is the first row in memory: the view's bottom row when the bitmap is bottom-up.
  pixels_ = bitmap->Row(bottomUp_ ? int(b) - 1 : int(t)) + l;
}
