#include "framework/IBitmapControl.h"

#include "framework/IGraphics.h"

#include <cmath>

namespace
{
IRectangle StripRect(int x, int y, const IBitmapStrip& strip)
{
  return IRectangle(x, y, x + strip.width, y + strip.height / strip.FrameCount());
}
} // namespace

IBitmapControl::IBitmapControl(IEffectBase* plug, int x, int y, int paramIdx, const IBitmapStrip& strip, int blendKind)
  : IControl(plug, StripRect(x, y, strip), paramIdx, IBlend(blendKind, 1.0f)), mStrip(strip)
{
}

int IBitmapControl::FrameForValue() const
{
  const int frames = mStrip.frames;
  if (frames <= 1)
    return 1;
  const double v = Value();
  if (!std::isfinite(v))
    return 1;
  const double f = (frames - 1) * v + 0.5;
  if (f < 0.0)
    return 1;
  if (f >= frames)
    return frames;
  const int frame = int(f) + 1;
  return frame > frames ? frames : frame;
}

bool IBitmapControl::Draw(IGraphics* graphics)
{
  if (!graphics)
    return false;
  return graphics->DrawBitmapFrame(&mStrip, &mRect, FrameForValue(), &mBlend);
}
