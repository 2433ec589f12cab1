#pragma once

#include "framework/controls/IControl.h"

// Shows one frame of a bitmap strip, chosen by the value.
class IBitmapControl : public IControl
{
public:
  // Covers (x, y, x + strip width, y + frame height); blend (kind, 1.0).
  IBitmapControl(IEffectBase* plug, int x, int y, int paramIdx, const IBitmapStrip& strip,
                 int blendKind = IBlend::kSourceAlpha);

  bool Draw(IGraphics* graphics) override;

  const IBitmapStrip& Strip() const { return mStrip; }
  // The frame (from 1) the value selects.
  int FrameForValue() const;

protected:
  IBitmapStrip mStrip;
};
