#include "framework/controls/IKnobMultiControl.h"

#include "framework/graphics/IGraphics.h"

#include <cmath>

IKnobMultiControl::IKnobMultiControl(IEffectBase* plug, int x, int y, int paramIdx, const IBitmapStrip& strip,
                                     int direction, double gearing)
    : IKnobControl(plug, IRectangle(x, y, x + strip.width, y + strip.height / strip.FrameCount()), paramIdx),
      mDirection(direction), mGearing(gearing), mStrip(strip)
{
}

void IKnobMultiControl::OnMouseDrag(int, int, int dx, int dy, const IMouseMod& mod)
{
  if (IsGreyed()) return;
  double g = mGearing;
  if (mod.S || mod.C) g *= 10.0;
  if (g == 0.0 || !std::isfinite(g)) return;
  double delta = 0.0;
  if (mDirection != kVertical)
  {
    const int size = mRect.R - mRect.L;
    if (size == 0) return;
    delta = dx / double(size) / g;
  }
  else
  {
    // Negative size: dragging up (dy < 0) raises the value.
    const int size = mRect.T - mRect.B;
    if (size == 0) return;
    delta = dy / double(size) / g;
  }
  SetValue(Value() + delta);
  RequestRedraw(true);
}

int IKnobMultiControl::FrameForValue() const
{
  return mStrip.FrameForValue(Value());
}

bool IKnobMultiControl::Draw(IGraphics* graphics)
{
  if (!graphics) return false;
  const IBlend blend = Blend();
  return graphics->DrawBitmapFrame(&mStrip, &mRect, FrameForValue(), &blend);
}
