#pragma once

#include "framework/controls/IControl.h"

// A handle sliding along a track; 1.0 at the top of a vertical fader, at the right of a
// horizontal one. A track no longer than the handle has no travel: drags change nothing.
class IFaderControl : public IControl
{
public:
  enum Direction : int
  {
    kVertical = 0,
    kHorizontal = 1
  };

  IFaderControl(IEffectBase* plug, int x, int y, int length, int paramIdx, const IBitmapStrip& handle,
                int direction);

  void OnMouseDown(int x, int y, const IMouseMod& mod) override;
  void OnMouseDrag(int x, int y, int dx, int dy, const IMouseMod& mod) override;
  bool Draw(IGraphics* graphics) override;
  bool ContainsPoint(int x, int y) override;

  int Length() const { return mLength; }
  int HandleExtent() const { return mHandleExtent; }
  // length - handle extent (at most 0 when the handle fills the track).
  int Travel() const { return mLength - mHandleExtent; }
  bool IsHorizontal() const { return mDirection != kVertical; }
  // Where the handle is drawn for the current value.
  IRectangle HandleRect() const;

protected:
  // Moves the handle to the point (the drag deltas are not used).
  void SnapToPoint(int x, int y);

  int mLength = 0;
  int mHandleExtent = 0;
  IBitmapStrip mStrip;
  int mDirection = kVertical;
};
