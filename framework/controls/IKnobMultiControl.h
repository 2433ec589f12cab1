#pragma once

#include "framework/controls/IKnobControl.h"

// A knob drawn from a multi-frame strip and turned by dragging: vertically (up raises the value)
// or horizontally. A full drag across the knob's size moves the value by 1 / gearing; shift or
// control gear it ten times finer. A knob of no size or zero gearing is not moved.
class IKnobMultiControl : public IKnobControl
{
public:
  enum Direction : int
  {
    kVertical = 0,
    kHorizontal = 1
  };

  static constexpr double kDefaultGearing = 4.0;

  // Covers (x, y, x + strip width, y + frame height).
  IKnobMultiControl(IEffectBase* plug, int x, int y, int paramIdx, const IBitmapStrip& strip,
                    int direction = kVertical, double gearing = kDefaultGearing);

  void OnMouseDrag(int x, int y, int dx, int dy, const IMouseMod& mod) override;
  bool Draw(IGraphics* graphics) override;

  const IBitmapStrip& Strip() const { return mStrip; }
  int Direction() const { return mDirection; }
  double Gearing() const { return mGearing; }
  void SetGearing(double gearing) { mGearing = gearing; }
  // The frame (from 1) the value selects.
  int FrameForValue() const;

protected:
  int mDirection = kVertical;
  double mGearing = kDefaultGearing;
  IBitmapStrip mStrip;
};
