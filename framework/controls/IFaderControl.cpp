#include "framework/controls/IFaderControl.h"

#include "framework/graphics/IGraphics.h"

#include <cmath>

namespace
{
IRectangle TrackRect(int x, int y, int length, const IBitmapStrip& handle, int direction)
{
  if (direction != IFaderControl::kVertical) return IRectangle(x, y, x + length, y + handle.height);
  return IRectangle(x, y, x + handle.width, y + length);
}
} // namespace

IFaderControl::IFaderControl(IEffectBase* plug, int x, int y, int length, int paramIdx,
                             const IBitmapStrip& handle, int direction)
    : IControl(plug, TrackRect(x, y, length, handle, direction), paramIdx,
               IBlend(IBlend::kSourceAlpha, 1.0f)),
      mLength(length), mHandleExtent(direction != kVertical ? handle.width : handle.height), mStrip(handle),
      mDirection(direction)
{
}

void IFaderControl::OnMouseDown(int x, int y, const IMouseMod& mod)
{
  if (IsGreyed()) return;
  if (mod.R)
  {
    AskForValue();
    return;
  }
  SnapToPoint(x, y);
}

void IFaderControl::OnMouseDrag(int x, int y, int, int, const IMouseMod&)
{
  if (IsGreyed()) return;
  SnapToPoint(x, y);
}

void IFaderControl::SnapToPoint(int x, int y)
{
  const int travel = Travel();
  if (travel <= 0) return;
  const int half = mHandleExtent / 2;
  if (IsHorizontal())
    SetValue(double(x - mRect.L - half) / travel);
  else
    SetValue(1.0 - double(y - mRect.T - half) / travel);
  RequestRedraw(true);
}

IRectangle IFaderControl::HandleRect() const
{
  IRectangle handle(mRect.L, mRect.T, mRect.L + mStrip.width, mRect.T + mStrip.height);
  const int travel = Travel();
  const double v = Value();
  if (travel <= 0 || !std::isfinite(v)) return handle;
  const int offset = IsHorizontal() ? int(travel * v) : int(travel * (1.0 - v));
  if (IsHorizontal())
  {
    handle.L += offset;
    handle.R += offset;
  }
  else
  {
    handle.T += offset;
    handle.B += offset;
  }
  return handle;
}

bool IFaderControl::Draw(IGraphics* graphics)
{
  if (!graphics) return false;
  const IRectangle handle = HandleRect();
  const IBlend blend = Blend();
  return graphics->DrawBitmap(&mStrip, &handle, 0, 0, &blend);
}

bool IFaderControl::ContainsPoint(int x, int y)
{
  return mTargetRect.Contains(x, y);
}
