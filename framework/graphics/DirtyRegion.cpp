#include "framework/graphics/DirtyRegion.h"

#include <algorithm>

int64_t DirtyRegion::AreaOf(const IRectangle& r)
{
  const int64_t w = int64_t(r.R) - r.L, h = int64_t(r.B) - r.T;
  return w > 0 && h > 0 ? w * h : 0;
}

IRectangle DirtyRegion::Union(const IRectangle& a, const IRectangle& b)
{
  if (a.Empty()) return b;
  if (b.Empty()) return a;
  return IRectangle(std::min(a.L, b.L), std::min(a.T, b.T), std::max(a.R, b.R), std::max(a.B, b.B));
}

bool DirtyRegion::Near(const IRectangle& a, const IRectangle& b)
{
  const int64_t gapX = std::max(int64_t(a.L) - b.R, int64_t(b.L) - a.R);
  const int64_t gapY = std::max(int64_t(a.T) - b.B, int64_t(b.T) - a.B);
  return gapX <= kNear && gapY <= kNear;
}

void DirtyRegion::RemoveAt(int i)
{
  for (int k = i + 1; k < mCount; ++k)
    mAreas[k - 1] = mAreas[k];
  --mCount;
}

bool DirtyRegion::Overlap(const IRectangle& a, const IRectangle& b)
{
  return a.L < b.R && b.L < a.R && a.T < b.B && b.T < a.B;
}

void DirtyRegion::AddControlArea(const IRectangle& rect)
{
  if (mControlOverflow || rect.R <= rect.L || rect.B <= rect.T) return;
  if (mControlCount == kMaxControlAreas)
  {
    mControlOverflow = true;
    return;
  }
  mControlAreas[mControlCount++] = rect;
  mControlSettled = false;
}

void DirtyRegion::Settle() const
{
  if (mControlSettled) return;
  mControlSettled = true;
  IRectangle* a = mControlAreas;
  auto byTop = [](const IRectangle& x, const IRectangle& y) { return x.T < y.T; };
  // Sorted by top, an area can only overlap those after it that start above its bottom. A union can
  // overlap areas that neither part did: sweep again until nothing merges.
  for (bool merged = true; merged;)
  {
    merged = false;
    std::sort(a, a + mControlCount, byTop);
    for (int i = 0; i < mControlCount; ++i)
      for (int k = i + 1; k < mControlCount && a[k].T < a[i].B; ++k)
        if (Overlap(a[i], a[k]))
        {
          a[i] = Union(a[i], a[k]);
          a[k] = a[--mControlCount];
          merged = true;
          k = i; // the grown area looks at the rest again
        }
  }
}

void DirtyRegion::Add(const IRectangle& rect)
{
  if (rect.Empty()) return;
  AddControlArea(rect);
  AddArea(rect);
}

void DirtyRegion::AddArea(const IRectangle& rect)
{
  IRectangle merged = rect;
  // A merge can bring the grown rectangle near others: repeat until it stands apart.
  for (bool again = true; again;)
  {
    again = false;
    for (int i = 0; i < mCount; ++i)
    {
      if (Near(merged, mAreas[i]))
      {
        merged = Union(merged, mAreas[i]);
        RemoveAt(i);
        again = true;
        break;
      }
    }
  }
  if (mCount == kMaxAreas)
  {
    // Full: fold the rectangle into the area whose bounds grow least, then settle that area.
    int best = 0;
    int64_t bestGrowth = -1;
    for (int i = 0; i < mCount; ++i)
    {
      const int64_t growth = AreaOf(Union(merged, mAreas[i])) - AreaOf(mAreas[i]);
      if (bestGrowth < 0 || growth < bestGrowth) best = i, bestGrowth = growth;
    }
    merged = Union(merged, mAreas[best]);
    RemoveAt(best);
    AddArea(merged);
    return;
  }
  mAreas[mCount++] = merged;
}

IRectangle DirtyRegion::Bounds() const
{
  IRectangle bounds;
  for (int i = 0; i < mCount; ++i)
    bounds = Union(bounds, mAreas[i]);
  return bounds;
}

bool DirtyRegion::WorthSplitting() const
{
  if (mCount < 2) return false;
  int64_t sum = 0;
  for (int i = 0; i < mCount; ++i)
    sum += AreaOf(mAreas[i]);
  return AreaOf(Bounds()) > 2 * sum;
}
