#pragma once

#include "framework/support/IRectangle.h"

#include <cstdint>

// The areas of the window a frame repaints: a short list of rectangles. A rectangle added is
// merged with every listed one it overlaps or lies close to, so the list holds apart areas only;
// when the list is full it is merged with the one whose bounds grow least. All-zero rectangles
// (no rectangle) add nothing.
class DirtyRegion
{
public:
  static constexpr int kMaxAreas = 16;
  // Areas whose gap is at most this many pixels in both directions are merged: repainting a thin
  // strip twice over costs less than walking the controls once more. Being more than a pixel, it
  // also keeps a rectangle inside one area from meeting another (meeting counts touching edges).
  static constexpr int kNear = 16;

  void Add(const IRectangle& rect);
  void Clear() { mCount = 0; }

  int Count() const { return mCount; }
  const IRectangle& Area(int i) const { return mAreas[i]; }
  const IRectangle* Areas() const { return mAreas; }
  // The union of the areas (all zero when there are none).
  IRectangle Bounds() const;
  // Whether repainting the areas one by one is worth it: more than one, and their bounds cover
  // more than twice their summed area. Otherwise the bounds are repainted in one piece.
  bool WorthSplitting() const;

  static int64_t AreaOf(const IRectangle& r);
  static IRectangle Union(const IRectangle& a, const IRectangle& b);
  // Overlapping, touching or apart by at most kNear pixels in both directions.
  static bool Near(const IRectangle& a, const IRectangle& b);

private:
  void RemoveAt(int i);

  IRectangle mAreas[kMaxAreas];
  int mCount = 0;
};
