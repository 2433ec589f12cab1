#pragma once

#include "framework/support/IRectangle.h"

#include <cstdint>

// What a walk of the controls over some areas does with each control that meets an area: draw it
// there (kDraw), or note it for that area, in drawing order, to be drawn afterwards (kCollect).
// Either way the walk ends the redraw requests as drawing does.
enum class DrawPass
{
  kDraw,
  kCollect
};

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

  // Every rectangle added is also kept as a control area (below).
  void Add(const IRectangle& rect);
  void Clear()
  {
    mCount = 0;
    mControlCount = 0;
    mControlSettled = true;
    mControlOverflow = false;
  }

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

  // The rectangles added, each kept apart unless it overlaps another (then their union): what a
  // frame must repaint, without the gaps between far-apart controls that the areas above take in.
  // Each pixel lies in at most one of them, so a control drawn once per control area it meets is
  // blended once. Usable unless more than kMaxControlAreas were needed.
  // They are merged when first asked for, sorted by their top.
  static constexpr int kMaxControlAreas = 1024;
  bool ControlAreasUsable() const { return !mControlOverflow && ControlCount() > 0; }
  int ControlCount() const
  {
    Settle();
    return mControlCount;
  }
  const IRectangle* ControlAreas() const
  {
    Settle();
    return mControlAreas;
  }
  // Sharing at least one pixel (touching edges do not).
  static bool Overlap(const IRectangle& a, const IRectangle& b);

private:
  void RemoveAt(int i);
  void AddArea(const IRectangle& rect);
  void AddControlArea(const IRectangle& rect);
  void Settle() const;

  IRectangle mAreas[kMaxAreas];
  int mCount = 0;
  mutable IRectangle mControlAreas[kMaxControlAreas];
  mutable int mControlCount = 0;
  mutable bool mControlSettled = true;
  bool mControlOverflow = false;
};
