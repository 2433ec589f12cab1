#include "framework/controls/IBitmapControl.h"

#include "framework/graphics/IGraphics.h"

namespace
{
IRectangle StripRect(int x, int y, const IBitmapStrip& strip)
{
  return IRectangle(x, y, x + strip.width, y + strip.height / strip.FrameCount());
}
} // namespace

IBitmapControl::IBitmapControl(IEffectBase* plug, int x, int y, int paramIdx, const IBitmapStrip& strip,
                               int blendKind)
    : IControl(plug, StripRect(x, y, strip), paramIdx, IBlend(blendKind, 1.0f)), mStrip(strip)
{
}

int IBitmapControl::FrameForValue() const
{
  return mStrip.FrameForValue(Value());
}

bool IBitmapControl::Draw(IGraphics* graphics)
{
  if (!graphics) return false;
  const IBlend blend = Blend();
  return graphics->DrawBitmapFrame(&mStrip, &mRect, FrameForValue(), &blend);
}
